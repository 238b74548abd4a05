#include "browser/logicaexaminar.h"

#include "comun/sinprivilegios.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
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

TEST(Patrones, TypePatternsMatchWithoutRegardToCase)
{
    EXPECT_TRUE(CoincidePatron("O1.TXT", "*.txt"));
    EXPECT_TRUE(CoincidePatron("o1.Txt", "*.TXT"));
    EXPECT_FALSE(CoincidePatron("O1.TXT.BAK", "*.txt"));
    EXPECT_FALSE(CoincidePatron("O1.DCN", "*.txt"));
    EXPECT_TRUE(CoincidePatron("SINPUNTO", "*.*"));
    EXPECT_TRUE(CoincidePatron("no", "NO"));
    EXPECT_FALSE(CoincidePatron("NOT", "NO"));

    QTemporaryDir dir;
    for (const char *n : {"b.txt", "A.TXT", "c.Dcn", "d.dgn", "sin"})
        tocar(dir.filePath(n));
    ASSERT_TRUE(QDir(dir.path()).mkdir("sub.txt"));
    EXPECT_EQ(Ficheros(dir.path(), "*.txt"), (QStringList {"A.TXT", "b.txt"}));
    EXPECT_EQ(Ficheros(dir.path(), "*.dcn"), QStringList {"c.Dcn"});
    EXPECT_EQ(
        Ficheros(dir.path(), "*.*"), (QStringList {"A.TXT", "b.txt", "c.Dcn", "d.dgn", "sin"}));
    EXPECT_EQ(Subdirectorios(dir.path()), QStringList {"sub.txt"});
}

TEST(Nombres, UpperCasedNamesFindTheFilesTheyWereTakenFrom)
{
    QTemporaryDir dir;
    const QString base = dir.path();
    ASSERT_TRUE(QDir(base).mkpath("Progs/Torno"));
    tocar(base + "/Progs/Torno/o1234.txt");
    tocar(base + "/Progs/Torno/O77.TXT");

    const QString torno = base + "/Progs/Torno";
    EXPECT_EQ(ResuelveNombre(torno, "O1234.TXT"), "o1234.txt");
    EXPECT_EQ(ResuelveNombre(torno, "O77.TXT"), "O77.TXT");
    EXPECT_EQ(ResuelveNombre(torno, "NUEVO.TXT"), "NUEVO.TXT");

    // The exact name wins where both spellings exist.
    tocar(base + "/Progs/Torno/O1234.TXT");
    EXPECT_EQ(ResuelveNombre(torno, "O1234.TXT"), "O1234.TXT");
    EXPECT_EQ(ResuelveNombre(torno, "o1234.txt"), "o1234.txt");

    EXPECT_EQ(ResuelveRuta(base + "/PROGS/TORNO/"), torno);
    EXPECT_EQ(ResuelveRuta(base + "/PROGS/FALTA/X"), base + "/Progs/FALTA/X");
    EXPECT_EQ(ConBarra("/a"), "/a/");
    EXPECT_EQ(ConBarra("/"), "/");
}

TEST(Unidades, RootIsFirstAndFailuresFallIntoTheirClasses)
{
    const QStringList unidades = Unidades();
    ASSERT_FALSE(unidades.isEmpty());
    EXPECT_EQ(unidades.first(), "/");
    EXPECT_EQ(unidades.count("/"), 1);

    QTemporaryDir dir;
    EXPECT_TRUE(unidades.contains(UnidadDe(dir.path())));
    EXPECT_TRUE(unidades.contains(UnidadDe(dir.path() + "/no/such/dir")));

    EXPECT_EQ(CompruebaDirectorio(dir.path()), Fallo::Ninguno);
    EXPECT_EQ(CompruebaDirectorio(dir.path() + "/none"), Fallo::RutaNoEncontrada);
    tocar(dir.filePath("f"));
    EXPECT_EQ(CompruebaDirectorio(dir.filePath("f")), Fallo::RutaNoEncontrada);
    EXPECT_EQ(CompruebaUnidad("/"), Fallo::Ninguno);
    EXPECT_EQ(CompruebaUnidad("/no-such-volume-here/"), Fallo::DispositivoNoDisponible);

    // A directory its user may not enter (root runs this as nobody).
    const QString cerrado = dir.filePath("cerrado");
    ASSERT_TRUE(QDir().mkdir(cerrado));
    QFile::setPermissions(dir.path(),
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
            | QFileDevice::ReadOther | QFileDevice::ExeOther);
    QFile::setPermissions(cerrado, QFileDevice::Permissions());
    EXPECT_TRUE(SinPrivilegios([&] { return CompruebaDirectorio(cerrado) == Fallo::Otro; }));
    QFile::setPermissions(
        cerrado, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

} // namespace
