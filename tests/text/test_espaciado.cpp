#include "text/espaciado.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

namespace {

// The table-driven rewrite, step by step: each start character in turn,
// reading the line back after every change.
QByteArray espaciaPasoAPaso(QByteArray t)
{
    bool terminado = false;
    for (size_t k = 0; k < sizeof(Espaciado::kCaracteresInicio) && !terminado; ++k) {
        const char c = Espaciado::kCaracteresInicio[k];
        qsizetype p = t.indexOf(c) + 1;
        if (p <= 1)
            continue;
        QByteArray r;
        QByteArray s = t;
        while (p > 1) {
            r += s.left(p - 1) + ' ' + c;
            s = s.mid(p);
            if (k == 0) {
                terminado = true;
                break;
            }
            p = s.indexOf(c) + 1;
        }
        t = r + s;
    }
    return t;
}

TEST(Espaciado, ExampleLinesBecomeTheirSpacedForms)
{
    const std::pair<const char *, const char *> ejemplos[] = {
        {"N10G01X100Y200F500", "N10 G01 X100 Y200 F500"},
        {"N5T1M6S1200M3", "N5 T1 M6 S1200 M3"},
        {"N1G01G90", "N1 G01 G90"},
        {"N20G02X10Y5I3J4", "N20 G02 X10 Y5I3J4"},
        {"/N30G00Z5", "/N30 G00 Z5"},
        {"G01X10G90", "G01 X10G90"},
        {"N10XX5X6", "N10 XX5X6"},
        {"N10G01X10(TOOL CHANGE)", "N10G01X10 (TOOL CHANGE)"},
        {"(TOOL CHANGE)", "( TOOL  CHAN GE)"},
        {"N10 G01 X100", "N10  G01  X100"},
        {"N10g01x5", "N10g01x5"},
        {"", ""},
        {"%", "%"},
        {"X", "X"},
        {"NX", "N X"},
    };
    for (const auto &[antes, despues] : ejemplos)
        EXPECT_EQ(Espaciado::espaciaLinea(antes), QByteArray(despues)) << antes;
}

TEST(Espaciado, SecondRunDoublesEverySpaceOfTheFirst)
{
    QList<QByteArray> lineas {"N10G01X100Y200F500", "N5T1M6S1200M3", "n10g01", "%", ""};
    Espaciado::espaciaLineas(lineas);
    Espaciado::espaciaLineas(lineas);
    EXPECT_EQ(lineas,
        (QList<QByteArray> {
            "N10  G01  X100  Y200  F500", "N5  T1  M6  S1200  M3", "n10g01", "%", ""}));
}

TEST(Espaciado, AgreesWithTheStepwiseRewriteOnRandomLines)
{
    // Start characters, a few others, space, lower case and bytes above 127.
    const QByteArray alfabeto("(CFGMPRSTUVWXYZ/N01 .-xg)\xe9\x14");
    QRandomGenerator azar(20240611);
    for (int i = 0; i < 20000; ++i) {
        QByteArray linea;
        const int largo = int(azar.bounded(14));
        for (int j = 0; j < largo; ++j)
            linea.append(alfabeto.at(azar.bounded(int(alfabeto.size()))));
        ASSERT_EQ(Espaciado::espaciaLinea(linea), espaciaPasoAPaso(linea)) << linea.constData();
    }
}

TEST(Espaciado, LinesLongerThan32767CharactersAreSpacedThroughout)
{
    QByteArray linea;
    QByteArray esperado;
    for (int i = 0; i < 10000; ++i) {
        linea += "N1X2Y3";
        esperado += "N1 X2 Y3";
    }
    EXPECT_EQ(Espaciado::espaciaLinea(linea), esperado);
}

} // namespace
