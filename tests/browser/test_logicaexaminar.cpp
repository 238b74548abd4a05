#include "browser/logicaexaminar.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace LogicaExaminar;

namespace {

void tocar(const QString &ruta)
{
    QFile f(ruta);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << ruta.toStdString();
}

TEST(PropuestaNombre, ProgramNumberOfTheSecondOrThirdLine)
{
    EXPECT_EQ(PropuestaNombre("O1234 (EJE)", ""), "O1234.txt");
    EXPECT_EQ(PropuestaNombre("o77", ""), "o77.txt");
    EXPECT_EQ(PropuestaNombre("  O5  ", ""), ""); // first character is a blank
    EXPECT_EQ(PropuestaNombre("O5  ", ""), "O5.txt");
    EXPECT_EQ(PropuestaNombre("", ":12 (X)"), "12.txt");
    EXPECT_EQ(PropuestaNombre(":12 ", ""), "12 .txt");
    EXPECT_EQ(PropuestaNombre(":12 ", "O9"), "12 .txt");
    // Lines past the end read as empty: nothing to propose.
    EXPECT_EQ(PropuestaNombre("", ""), "");
    EXPECT_EQ(PropuestaNombre("N10 G0 X0", ":5"), "");
    EXPECT_EQ(PropuestaNombre("", "N10"), "");
    EXPECT_EQ(PropuestaNombre("", "O12"), "");
}

TEST(Nombres, PatternsAndUpperCasedNamesIgnoreLetterCase)
{
    EXPECT_TRUE(CoincidePatron("o1.Txt", "*.TXT"));
    EXPECT_FALSE(CoincidePatron("O1.TXT.BAK", "*.txt"));
    EXPECT_TRUE(CoincidePatron("SINPUNTO", "*.*"));
    EXPECT_TRUE(CoincidePatron("no", "NO"));
    EXPECT_FALSE(CoincidePatron("NOT", "NO"));

    QTemporaryDir dir;
    const QString torno = dir.filePath("Progs/Torno");
    ASSERT_TRUE(QDir().mkpath(torno + "/sub.txt"));
    for (const char *n : {"b.txt", "A.TXT", "c.Dcn", "o1234.txt"})
        tocar(torno + "/" + n);
    EXPECT_EQ(Ficheros(torno, "*.txt"), (QStringList {"A.TXT", "b.txt", "o1234.txt"}));
    EXPECT_EQ(Ficheros(torno, "*.dcn"), QStringList {"c.Dcn"});
    EXPECT_EQ(Subdirectorios(torno), QStringList {"sub.txt"});

    EXPECT_EQ(ResuelveNombre(torno, "O1234.TXT"), "o1234.txt");
    EXPECT_EQ(ResuelveNombre(torno, "NUEVO.TXT"), "NUEVO.TXT");
    tocar(torno + "/O1234.TXT"); // the exact name wins where both spellings exist
    EXPECT_EQ(ResuelveNombre(torno, "O1234.TXT"), "O1234.TXT");
    EXPECT_EQ(ResuelveNombre(torno, "o1234.txt"), "o1234.txt");
    EXPECT_EQ(ResuelveRuta(dir.path() + "/PROGS/TORNO/"), torno);
    EXPECT_EQ(ResuelveRuta(dir.path() + "/PROGS/FALTA/X"), dir.path() + "/Progs/FALTA/X");
}

} // namespace
