#include "browser/logicaexaminar.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace LogicaExaminar;

namespace {

QStringList nombres(const QList<Entrada> &entradas)
{
    QStringList n;
    for (const Entrada &e : entradas)
        n << e.nombre;
    return n;
}

TEST(PropuestaNombre, ProgramNumberOfTheFirstOfTheFirstThreeLinesThatHoldsOne)
{
    const char *const casos[][4]
        = {{"%", "O1234 (EJE)", "", "O1234.txt"}, {"%", "O1234(EJE)", "", "O1234.txt"},
            {"%", "o77", "", "o77.txt"}, {"%", "  O5  ", "", ""}, // first character is a blank
            {"%", "O5  ", "", "O5.txt"}, {"%", "", ":12 (X)", "12.txt"},
            {"%", ":12 ", "O9", "12 .txt"}, {"", "", "", ""}, // lines past the end read as empty
            {"%", "N10 G0 X0", ":5", "5.txt"}, {"O0301", "N10", "", "O0301.txt"},
            {"O0301 (A)", "O2", "", "O0301.txt"}, {"%", "OK", "O7", "O7.txt"},
            {"%", "N10", "G0", ""}, {"%", "", "", ""}};
    for (const auto &c : casos)
        EXPECT_EQ(PropuestaNombre(c[0], c[1], c[2]), QLatin1String(c[3]))
            << c[0] << "|" << c[1] << "|" << c[2];
}

TEST(Nombres, PatternsAndUpperCasedNamesIgnoreLetterCase)
{
    EXPECT_TRUE(CoincidePatron("o1.Txt", "*.TXT") && CoincidePatron("SINPUNTO", "*.*"));
    EXPECT_FALSE(CoincidePatron("O1.TXT.BAK", "*.txt") || CoincidePatron("NOT", "NO"));
    QTemporaryDir dir;
    const QString torno = dir.filePath("Progs/Torno");
    ASSERT_TRUE(QDir().mkpath(torno + "/sub.txt"));
    for (const char *n : {"b.txt", "A.TXT", "c.Dcn", "o1234.txt", ".oculto.txt"})
        ASSERT_TRUE(QFile(torno + "/" + n).open(QIODevice::WriteOnly));
    EXPECT_EQ(nombres(Ficheros(torno, "*.txt")), (QStringList {"A.TXT", "b.txt", "o1234.txt"}));
    EXPECT_EQ(nombres(Ficheros(torno, "*.dcn")), QStringList {"c.Dcn"});
    EXPECT_EQ(nombres(Subdirectorios(torno)), QStringList {"sub.txt"});
    EXPECT_EQ(ResuelveNombre(torno, "O1234.TXT") + ResuelveNombre(torno, "NUEVO.TXT"),
        "o1234.txtNUEVO.TXT");
    ASSERT_TRUE(QFile(torno + "/O1234.TXT").open(QIODevice::WriteOnly)); // the exact name wins
    EXPECT_EQ(ResuelveNombre(torno, "O1234.TXT") + ResuelveNombre(torno, "o1234.txt"),
        "O1234.TXTo1234.txt");
    EXPECT_EQ(ResuelveRuta(dir.path() + "/PROGS/TORNO/"), torno);
    EXPECT_EQ(ResuelveRuta(dir.path() + "/PROGS/FALTA/X"), dir.path() + "/Progs/FALTA/X");
}

} // namespace
