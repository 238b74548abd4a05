#include "text/comparacion.h"
#include "text/ficheroprograma.h"

#include <gtest/gtest.h>

using Bloques = QList<Comparacion::Bloque>;

// Each stretch: window line, file line, the window's lines, the file's. The
// file side is split as the program-file reader splits a file.
TEST(Comparacion, StretchesCarryExactLineNumbersOnBothSides)
{
    const QList<QByteArray> abcde = {"A", "B", "C", "D", "E"};
    const std::tuple<const char *, QList<QByteArray>, QByteArray, Bloques> casos[] = {
        {"line ends aside", abcde, "A\nB\r\nC\rD\r\nE", {}},
        {"changed line", abcde, "A\r\nB\r\nX\r\nD\r\nE\r\n", {{3, 3, {"C"}, {"X"}}}},
        {"inserted lines", abcde, "A\r\nB\r\nX\r\nY\r\nC\r\nD\r\nE\r\n", {{3, 3, {}, {"X", "Y"}}}},
        {"deleted lines", abcde, "A\r\nE\r\n", {{2, 2, {"B", "C", "D"}, {}}}},
        {"first line", abcde, "X\r\nB\r\nC\r\nD\r\nE\r\n", {{1, 1, {"A"}, {"X"}}}},
        {"last line", abcde, "A\r\nB\r\nC\r\nD\r\nX\r\n", {{5, 5, {"E"}, {"X"}}}},
        {"numbers shift", abcde, "A\nX\nB\nC\nE\n", {{2, 2, {}, {"X"}}, {4, 5, {"D"}, {}}}},
        {"an empty last line is a line", {"A", "B", ""}, "A\r\nB\r\n", {{3, 3, {""}, {}}}},
        {"trailing blank counts", {"N1 X1"}, "N1 X1 \r\n", {{1, 1, {"N1 X1"}, {"N1 X1 "}}}},
    };
    for (const auto &[caso, texto, fichero, esperado] : casos)
        EXPECT_EQ(
            Comparacion::compara(texto, FicheroPrograma::separaLineas(fichero)).bloques, esperado)
            << caso;
}
