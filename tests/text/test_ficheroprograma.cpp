#include "text/ficheroprograma.h"

#include "comun/ficheros.h"
#include "settings/varsfuncsglobales.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdlib>

#include <gtest/gtest.h>

namespace {

using Lineas = QList<QByteArray>;

TEST(LecturaPrograma, LineEndsLfPiecesAndDc4)
{
    const Lineas programa {"%", "O1234", "N10G01X5", "", "M30"};
    const std::pair<const char *, Lineas> casos[] = {
        {"%\r\nO1234\r\nN10G01X5\r\n\r\nM30\r\n", programa},
        {"%\rO1234\rN10G01X5\r\rM30\r", programa},
        {"%\r\nO1234\rN10G01X5\r\n\rM30", programa}, // last line without end
        {"", {}}, {"\r\n", {""}},
        // LF only: one line a piece, no phantom line after the final LF.
        {"%\nO1\nN10X5\n", {"%", "O1", "N10X5"}}, {"%\nO1\nN10X5", {"%", "O1", "N10X5"}},
        {"A\n\nB\n", {"A", "", "B"}}, {"\n", {""}},
        // Two pieces joined by an LF, then further lines.
        {"N1X1\nN2X2\r\nN3X3\r\nN4\r\n", {"N1X1", "N2X2", "N3X3", "N4"}},
        {"N1\n\r\nN2\r\n", {"N1", "N2"}},
        // DC4 after the last LF drops the rest of that physical line only.
        {"N1\nN2\n\x14junk\nmore\r\nN3\r\n", {"N1", "N2", "N3"}},
        // A line beginning with DC4: kept without LF, dropped whole with one.
        {"\x14N1\r\nN2\r\n", {"\x14N1", "N2"}}, {"\x14N1\nN5\r\nN2\r\n", {"N2"}},
        {"N1\x14\nN2\n", {"N1\x14", "N2"}}, // inside a piece it is text
    };
    for (const auto &[datos, lineas] : casos)
        EXPECT_EQ(FicheroPrograma::separaLineas(QByteArrayView(datos)), lineas) << datos;
}

TEST(FicheroPrograma, EveryByteValueRoundTripsAndCrLfFilesComeBackIdentical)
{
    QTemporaryDir dir;
    QByteArray todos; // every byte but the line ends
    for (int b = 0; b < 256; ++b)
        todos.append(b == '\r' || b == '\n' ? 'x' : char(b));
    const Lineas lineas {todos, "", todos.left(20), QByteArray(1, '\0'), "\xff\xfe"};
    const QString ruta = dir.filePath("bytes.txt"), copia = dir.filePath("copia.txt");
    QString error;
    ASSERT_TRUE(FicheroPrograma::escribe(ruta, lineas, &error)) << error.toStdString();
    Lineas leidas;
    ASSERT_TRUE(FicheroPrograma::lee(ruta, leidas, &error)) << error.toStdString();
    EXPECT_EQ(leidas, lineas);
    EXPECT_EQ(leeBytes(ruta), lineas.join("\r\n") + "\r\n");

    // A CR-only file with a last line without end comes back with CR LF everywhere.
    ASSERT_TRUE(escribeBytes(ruta, "N1\rN2\rN3"));
    ASSERT_TRUE(FicheroPrograma::lee(ruta, leidas));
    ASSERT_TRUE(FicheroPrograma::escribe(copia, leidas));
    EXPECT_EQ(leeBytes(copia), QByteArray("N1\r\nN2\r\nN3\r\n"));

    // An empty window writes an empty file over an old one.
    ASSERT_TRUE(FicheroPrograma::escribe(copia, {}));
    EXPECT_EQ(leeBytes(copia), QByteArray());
}

TEST(FicheroPrograma, LongLinesManyLinesAndReadingInPieces)
{
    QTemporaryDir dir;
    const QString ruta = dir.filePath("largo.txt");
    // Longer than any 16-bit index and than the write buffer.
    Lineas lineas;
    for (int i = 0; i < 70000; ++i)
        lineas.append(i == 3 ? QByteArray(5 * 1024 * 1024 + 3, 'X') : QByteArray::number(i));
    ASSERT_TRUE(FicheroPrograma::escribe(ruta, lineas));
    Lineas leidas;
    ASSERT_TRUE(FicheroPrograma::lee(ruta, leidas));
    EXPECT_EQ(leidas, lineas);

    // A CR LF split across the first megabyte, then mixed line ends and DC4s
    // over a few megabytes: read in pieces as it would be at once.
    QByteArray datos(1024 * 1024 - 1, 'A');
    datos += "\r\nN1\nN2\r";
    const char *finales[] = {"\r\n", "\r", "\n", "\n\x14X\n", "\r\n\x14Y\r\n"};
    for (int i = 0; datos.size() < 3 * 1024 * 1024; ++i)
        datos += "N" + QByteArray::number(i) + QByteArray(i % 97, 'G') + finales[i % 5];
    ASSERT_TRUE(escribeBytes(ruta, datos));
    ASSERT_TRUE(FicheroPrograma::lee(ruta, leidas));
    EXPECT_EQ(leidas, FicheroPrograma::separaLineas(datos));
    EXPECT_EQ(leidas.mid(0, 2), (Lineas {QByteArray(1024 * 1024 - 1, 'A'), "N1"}));
}

// The reason for a failure is the C library's, in the operator's language
// where this PC has it: a Spanish locale is made for the test.
TEST(FicheroPrograma, TheReasonForAFailureIsInTheOperatorsLanguage)
{
    QTemporaryDir dir;
    const QString ruta = dir.filePath("es_ES.UTF-8");
    if (std::system(qPrintable("localedef -i es_ES -f UTF-8 '" + ruta + "' 2>/dev/null")) != 0)
        GTEST_SKIP() << "no locale sources";
    qputenv("LOCPATH", QFile::encodeName(dir.path()));
    VarsFuncsGlobales::IdiomaActual = QStringLiteral("Español");
    Lineas lineas;
    QString error;
    EXPECT_FALSE(FicheroPrograma::lee(dir.filePath("no.txt"), lineas, &error));
    EXPECT_EQ(error, QStringLiteral("No existe el fichero o el directorio"));
}

} // namespace
