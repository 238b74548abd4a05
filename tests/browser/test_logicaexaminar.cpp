#include "browser/logicaexaminar.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace LogicaExaminar;

namespace {

void tocar(const QString &ruta)
{
    QFile f(ruta);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << ruta.toStdString();
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
    const char *const casos[][3] = {
        {"O1234 (EJE)", "", "O1234.txt"},
        {"O1234(EJE)", "", "O1234.txt"},
        {"o77", "", "o77.txt"},
        {"  O5  ", "", ""}, // first character is a blank
        {"O5  ", "", "O5.txt"},
        {"", ":12 (X)", "12.txt"},
        {":12 ", "O9", "12 .txt"},
        {"", "", ""}, // lines past the end read as empty
        {"N10 G0 X0", ":5", ""},
        {"", "O12", ""},
    };
    for (const auto &c : casos)
        EXPECT_EQ(PropuestaNombre(c[0], c[1]), QLatin1String(c[2])) << c[0] << "|" << c[1];
}

TEST(Nombres, PatternsAndUpperCasedNamesIgnoreLetterCase)
{
    EXPECT_TRUE(CoincidePatron("o1.Txt", "*.TXT"));
    EXPECT_FALSE(CoincidePatron("O1.TXT.BAK", "*.txt"));
    EXPECT_TRUE(CoincidePatron("SINPUNTO", "*.*"));
    EXPECT_FALSE(CoincidePatron("NOT", "NO"));

    QTemporaryDir dir;
    const QString torno = dir.filePath("Progs/Torno");
    ASSERT_TRUE(QDir().mkpath(torno + "/sub.txt"));
    for (const char *n : {"b.txt", "A.TXT", "c.Dcn", "o1234.txt", ".oculto.txt"})
        tocar(torno + "/" + n);
    EXPECT_EQ(nombres(Ficheros(torno, "*.txt")), (QStringList {"A.TXT", "b.txt", "o1234.txt"}));
    EXPECT_EQ(nombres(Ficheros(torno, "*.dcn")), QStringList {"c.Dcn"});
    EXPECT_EQ(nombres(Subdirectorios(torno)), QStringList {"sub.txt"});

    EXPECT_EQ(ResuelveNombre(torno, "O1234.TXT"), "o1234.txt");
    EXPECT_EQ(ResuelveNombre(torno, "NUEVO.TXT"), "NUEVO.TXT");
    tocar(torno + "/O1234.TXT"); // the exact name wins where both spellings exist
    EXPECT_EQ(ResuelveNombre(torno, "O1234.TXT"), "O1234.TXT");
    EXPECT_EQ(ResuelveNombre(torno, "o1234.txt"), "o1234.txt");
    EXPECT_EQ(ResuelveRuta(dir.path() + "/PROGS/TORNO/"), torno);
    EXPECT_EQ(ResuelveRuta(dir.path() + "/PROGS/FALTA/X"), dir.path() + "/Progs/FALTA/X");
}

TEST(Nombres, NamesThatAreNotUtf8AreListedAndReachTheirFile)
{
    // A Latin-1 folder and file, made by their bytes, beside a UTF-8 name shown alike.
    QTemporaryDir dir;
    const QByteArray raiz = QFile::encodeName(dir.path());
    ASSERT_EQ(mkdir((raiz + "/Viejo\xC9").constData(), 0700), 0);
    tocar(dir.filePath("PIÑA.txt"));
    {
        QFile f;
        const int fd = ::open((raiz
                                  + "/Viejo\xC9/PI\xD1"
                                    "A.txt")
                                  .constData(),
            O_CREAT | O_WRONLY, 0600);
        ASSERT_TRUE(f.open(fd, QIODevice::WriteOnly, QFile::AutoCloseHandle));
        f.write("O1\r\n");
    }
    const QList<Entrada> subs = Subdirectorios(dir.path());
    ASSERT_EQ(subs, (QList<Entrada> {{"ViejoÉ", "Viejo\xC9"}}));
    const QString viejo = RutaEntrada(dir.path(), subs.first());
    const QList<Entrada> ficheros = Ficheros(viejo, "*.TXT");
    ASSERT_EQ(ficheros,
        (QList<Entrada> {{"PIÑA.txt",
            "PI\xD1"
            "A.txt"}}));
    QFile f(RutaEntrada(viejo, ficheros.first()));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << f.fileName().toStdString();
    EXPECT_EQ(f.readAll(), "O1\r\n");
    EXPECT_TRUE(EsEnlacePropio(f.fileName()) && !EsEnlacePropio(dir.path()));
    // The UTF-8 name is reached by itself.
    const Entrada utf8 = Ficheros(dir.path(), "*.txt").value(0);
    EXPECT_EQ(RutaEntrada(dir.path(), utf8), dir.filePath("PIÑA.txt"));
    // QTemporaryDir cannot see the Latin-1 names to remove them.
    ::unlink((raiz
        + "/Viejo\xC9/PI\xD1"
          "A.txt")
                 .constData());
    ::rmdir((raiz + "/Viejo\xC9").constData());
}

} // namespace
