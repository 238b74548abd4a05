#include "browser/logicaexaminar.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

using namespace LogicaExaminar;

namespace {

// Makes a file by the bytes of its path, with that content.
bool crea(const QByteArray &ruta, const QByteArray &contenido = {})
{
    const int fd = ::open(ruta.constData(), O_CREAT | O_WRONLY | O_TRUNC, 0600);
    const bool escrito = fd >= 0 && ::write(fd, contenido.constData(), contenido.size()) >= 0;
    return ::close(fd) == 0 && escrito;
}

QStringList nombres(const QList<Entrada> &entradas)
{
    QStringList n;
    for (const Entrada &e : entradas)
        n << e.nombre;
    return n;
}

TEST(PropuestaNombre, ProgramNumberOfTheSecondOrThirdLine)
{
    const char *const casos[][3]
        = {{"O1234 (EJE)", "", "O1234.txt"}, {"O1234(EJE)", "", "O1234.txt"},
            {"o77", "", "o77.txt"}, {"  O5  ", "", ""}, // first character is a blank
            {"O5  ", "", "O5.txt"}, {"", ":12 (X)", "12.txt"}, {":12 ", "O9", "12 .txt"},
            {"", "", ""}, // lines past the end read as empty
            {"N10 G0 X0", ":5", ""}, {"", "O12", ""}};
    for (const auto &c : casos)
        EXPECT_EQ(PropuestaNombre(c[0], c[1]), QLatin1String(c[2])) << c[0] << "|" << c[1];
}

TEST(Nombres, PatternsAndUpperCasedNamesIgnoreLetterCase)
{
    EXPECT_TRUE(CoincidePatron("o1.Txt", "*.TXT") && CoincidePatron("SINPUNTO", "*.*"));
    EXPECT_FALSE(CoincidePatron("O1.TXT.BAK", "*.txt") || CoincidePatron("NOT", "NO"));
    QTemporaryDir dir;
    const QString torno = dir.filePath("Progs/Torno");
    ASSERT_TRUE(QDir().mkpath(torno + "/sub.txt"));
    for (const char *n : {"b.txt", "A.TXT", "c.Dcn", "o1234.txt", ".oculto.txt"})
        ASSERT_TRUE(crea(QFile::encodeName(torno) + "/" + n));
    EXPECT_EQ(nombres(Ficheros(torno, "*.txt")), (QStringList {"A.TXT", "b.txt", "o1234.txt"}));
    EXPECT_EQ(nombres(Ficheros(torno, "*.dcn")), QStringList {"c.Dcn"});
    EXPECT_EQ(nombres(Subdirectorios(torno)), QStringList {"sub.txt"});
    EXPECT_EQ(ResuelveNombre(torno, "O1234.TXT") + ResuelveNombre(torno, "NUEVO.TXT"),
        "o1234.txtNUEVO.TXT");
    ASSERT_TRUE(crea(QFile::encodeName(torno) + "/O1234.TXT")); // the exact name wins
    EXPECT_EQ(ResuelveNombre(torno, "O1234.TXT") + ResuelveNombre(torno, "o1234.txt"),
        "O1234.TXTo1234.txt");
    EXPECT_EQ(ResuelveRuta(dir.path() + "/PROGS/TORNO/"), torno);
    EXPECT_EQ(ResuelveRuta(dir.path() + "/PROGS/FALTA/X"), dir.path() + "/Progs/FALTA/X");
}

TEST(Nombres, NamesThatAreNotUtf8AreListedAndReachTheirFile)
{
    // A Latin-1 folder and file, made by their bytes, beside a UTF-8 name shown alike.
    QTemporaryDir dir;
    const QByteArray viejo = QFile::encodeName(dir.path()) + "/Viejo\xC9";
    ASSERT_TRUE(QDir().mkdir(dir.filePath("x"))
        && ::rename(QFile::encodeName(dir.filePath("x")), viejo) == 0);
    ASSERT_TRUE(crea(viejo
                        + "/PI\xD1"
                          "A.txt",
                    "O1\r\n")
        && crea(QFile::encodeName(dir.filePath("PIÑA.txt"))));
    const QList<Entrada> subs = Subdirectorios(dir.path());
    ASSERT_EQ(subs, (QList<Entrada> {{"ViejoÉ", "Viejo\xC9"}}));
    const QString enlace = RutaEntrada(dir.path(), subs.first());
    const QList<Entrada> ficheros = Ficheros(enlace, "*.TXT");
    ASSERT_EQ(ficheros,
        (QList<Entrada> {{"PIÑA.txt",
            "PI\xD1"
            "A.txt"}}));
    QFile f(RutaEntrada(enlace, ficheros.first()));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly) && f.readAll() == "O1\r\n")
        << f.fileName().toStdString();
    EXPECT_TRUE(EsEnlacePropio(f.fileName()) && !EsEnlacePropio(dir.path()));
    EXPECT_EQ(
        RutaEntrada(dir.path(), Ficheros(dir.path(), "*.txt").value(0)), dir.filePath("PIÑA.txt"));
    // QTemporaryDir cannot see the Latin-1 names to remove them.
    ::unlink(viejo
        + "/PI\xD1"
          "A.txt");
    ::rmdir(viejo);
}

} // namespace
