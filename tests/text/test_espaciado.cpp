#include "text/espaciado.h"

#include <gtest/gtest.h>

namespace {

// Random lines against a naive table walk are the fuzzer's job; these are the
// worked examples.
TEST(Espaciado, ExampleLinesBecomeTheirSpacedForms)
{
    const std::pair<const char *, const char *> ejemplos[] = {
        {"N10G01X100Y200F500", "N10 G01 X100 Y200 F500"},
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
        {"X", "X"},
        {"NX", "N X"},
    };
    for (const auto &[antes, despues] : ejemplos)
        EXPECT_EQ(Espaciado::espaciaLinea(antes), QByteArray(despues)) << antes;

    // Past any 16-bit index, spaced throughout.
    EXPECT_EQ(Espaciado::espaciaLinea(QByteArray("N1X2Y3").repeated(10000)),
        QByteArray("N1 X2 Y3").repeated(10000));
}

} // namespace
