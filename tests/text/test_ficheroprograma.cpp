#include "text/ficheroprograma.h"

#include "comun/sinprivilegios.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using Lineas = QList<QByteArray>;

QList<QByteArray> separa(const char *datos)
{
    return FicheroPrograma::separaLineas(QByteArrayView(datos));
}

QByteArray leeBytes(const QString &ruta)
{
    QFile f(ruta);
    if (!f.open(QIODevice::ReadOnly))
        return "<no se pudo leer>";
    return f.readAll();
}

void escribeBytes(const QString &ruta, const QByteArray &datos)
{
    QFile f(ruta);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(datos), datos.size());
}

TEST(LecturaPrograma, LineEndsCrCrLfAndLastLineWithoutEndGiveTheSameLines)
{
    const Lineas esperadas {"%", "O1234", "N10G01X5", "", "M30"};
    EXPECT_EQ(separa("%\r\nO1234\r\nN10G01X5\r\n\r\nM30\r\n"), esperadas);
    EXPECT_EQ(separa("%\rO1234\rN10G01X5\r\rM30\r"), esperadas);
    EXPECT_EQ(separa("%\r\nO1234\rN10G01X5\r\n\rM30"), esperadas);
    EXPECT_TRUE(separa("").isEmpty());
    EXPECT_EQ(separa("\r\n"), Lineas {""});
}

TEST(LecturaPrograma, LfOnlyFileGivesOneLinePerPieceWithoutPhantomLastLine)
{
    EXPECT_EQ(separa("%\nO1\nN10X5\n"), (Lineas {"%", "O1", "N10X5"}));
    EXPECT_EQ(separa("%\nO1\nN10X5"), (Lineas {"%", "O1", "N10X5"}));
    // Empty pieces inside stay empty lines; only the piece after the final LF goes.
    EXPECT_EQ(separa("A\n\nB\n"), (Lineas {"A", "", "B"}));
    EXPECT_EQ(separa("\n"), Lineas {""});
}

TEST(LecturaPrograma, TwoPiecesJoinedByLfBeforeFurtherLines)
{
    EXPECT_EQ(separa("N1X1\nN2X2\r\nN3X3\r\nN4\r\n"), (Lineas {"N1X1", "N2X2", "N3X3", "N4"}));
    EXPECT_EQ(separa("N1\n\r\nN2\r\n"), (Lineas {"N1", "N2"}));
}

TEST(LecturaPrograma, Dc4EndsTheSplitOfALineAndIsKeptInALineWithoutLf)
{
    // DC4 after the last LF drops the rest of that physical line only.
    EXPECT_EQ(separa("N1\nN2\n\x14junk\nmore\r\nN3\r\n"), (Lineas {"N1", "N2", "N3"}));
    // A line beginning with DC4: kept without LF, dropped whole with one.
    EXPECT_EQ(separa("\x14N1\r\nN2\r\n"), (Lineas {"\x14N1", "N2"}));
    EXPECT_EQ(separa("\x14N1\nN5\r\nN2\r\n"), (Lineas {"N2"}));
    // DC4 inside a piece is ordinary text.
    EXPECT_EQ(separa("N1\x14\nN2\n"), (Lineas {"N1\x14", "N2"}));
}

TEST(FicheroPrograma, EveryByteValueRoundTripsAndCrLfFilesComeBackIdentical)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // Every byte except the line ends, in one line and spread over lines.
    QByteArray todos;
    for (int b = 0; b < 256; ++b) {
        if (b != '\r' && b != '\n')
            todos.append(char(b));
    }
    const Lineas lineas {todos, "", todos.left(20), QByteArray(1, '\0'), "\xff\xfe"};
    const QString ruta = dir.filePath("bytes.txt");
    QString error;
    ASSERT_TRUE(FicheroPrograma::escribe(ruta, lineas, &error)) << error.toStdString();
    Lineas leidas;
    ASSERT_TRUE(FicheroPrograma::lee(ruta, leidas, &error)) << error.toStdString();
    EXPECT_EQ(leidas, lineas);

    const QByteArray original = leeBytes(ruta);
    const QString copia = dir.filePath("copia.txt");
    ASSERT_TRUE(FicheroPrograma::escribe(copia, leidas));
    EXPECT_EQ(leeBytes(copia), original);

    // A CR-only file and a last line without end come back with CR LF everywhere.
    escribeBytes(ruta, "N1\rN2\rN3");
    ASSERT_TRUE(FicheroPrograma::lee(ruta, leidas));
    ASSERT_TRUE(FicheroPrograma::escribe(copia, leidas));
    EXPECT_EQ(leeBytes(copia), QByteArray("N1\r\nN2\r\nN3\r\n"));
}

TEST(FicheroPrograma, LongLinesAndManyLinesAreKeptWhole)
{
    QTemporaryDir dir;
    const QString ruta = dir.filePath("largo.txt");
    // Longer than any 16-bit index and than the write buffer.
    const QByteArray larga(5 * 1024 * 1024 + 3, 'X');
    Lineas lineas {"N1", larga, "N2"};
    for (int i = 0; i < 70000; ++i)
        lineas.append(QByteArray::number(i));
    ASSERT_TRUE(FicheroPrograma::escribe(ruta, lineas));
    Lineas leidas;
    ASSERT_TRUE(FicheroPrograma::lee(ruta, leidas));
    ASSERT_EQ(leidas.size(), lineas.size());
    EXPECT_EQ(leidas, lineas);
}

TEST(FicheroPrograma, ReadingInPiecesGivesTheSameLinesAsReadingAtOnce)
{
    QTemporaryDir dir;
    const QString ruta = dir.filePath("mezcla.txt");
    // A CR LF split across the first megabyte, then mixed line ends and DC4s
    // over a few megabytes.
    QByteArray datos(1024 * 1024 - 1, 'A');
    datos += "\r\nN1\nN2\r";
    const char *finales[] = {"\r\n", "\r", "\n", "\n\x14X\n", "\r\n\x14Y\r\n"};
    for (int i = 0; datos.size() < 3 * 1024 * 1024; ++i)
        datos += "N" + QByteArray::number(i) + QByteArray(i % 97, 'G') + finales[i % 5];
    escribeBytes(ruta, datos);
    Lineas leidas;
    ASSERT_TRUE(FicheroPrograma::lee(ruta, leidas));
    EXPECT_EQ(leidas, FicheroPrograma::separaLineas(datos));
    EXPECT_EQ(leidas.at(0).size(), 1024 * 1024 - 1);
    EXPECT_EQ(leidas.at(1), "N1");
}

TEST(FicheroPrograma, EmptyWindowWritesAnEmptyFileOverAnOldOne)
{
    QTemporaryDir dir;
    const QString ruta = dir.filePath("vacio.txt");
    escribeBytes(ruta, "old content\r\n");
    ASSERT_TRUE(FicheroPrograma::escribe(ruta, {}));
    EXPECT_EQ(QFileInfo(ruta).size(), 0);
    Lineas leidas {"x"};
    ASSERT_TRUE(FicheroPrograma::lee(ruta, leidas));
    EXPECT_TRUE(leidas.isEmpty());
}

TEST(FicheroPrograma, FailuresGiveTheReasonAndLeaveLinesAndOldFileAlone)
{
    QTemporaryDir dir;
    Lineas lineas {"keep"};
    QString error;
    EXPECT_FALSE(FicheroPrograma::lee(dir.filePath("missing.txt"), lineas, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(lineas, Lineas {"keep"});

    // A directory that cannot be written (root runs this as nobody): the
    // save fails with its reason and the old file stays whole.
    const QString sub = dir.filePath("ro");
    ASSERT_TRUE(QDir().mkdir(sub));
    const QString ruta = sub + "/p.txt";
    escribeBytes(ruta, "N1\r\n");
    const auto lectura = QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadOther
        | QFileDevice::ExeOther;
    QFile::setPermissions(dir.path(), lectura | QFileDevice::WriteOwner);
    QFile::setPermissions(sub, lectura);
    QFile::setPermissions(ruta, QFileDevice::ReadOwner | QFileDevice::ReadOther);
    EXPECT_TRUE(SinPrivilegios([&] {
        QString motivo;
        return !FicheroPrograma::escribe(ruta, {"N2", "N3"}, &motivo) && !motivo.isEmpty()
            && leeBytes(ruta) == "N1\r\n";
    }));
    EXPECT_EQ(leeBytes(ruta), QByteArray("N1\r\n"));
    QFile::setPermissions(sub, lectura | QFileDevice::WriteOwner);
}

} // namespace
