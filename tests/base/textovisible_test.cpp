#include "base/textovisible.h"

#include <gtest/gtest.h>

TEST(TextoVisible_, ControlAndReorderingCharactersAreWrittenOutTheRestKept)
{
    // A title-setting escape, C1's CSI (0x9B from Latin-1 CNC text), DEL,
    // a right-to-left override; a path with its backslash and accents.
    const std::pair<QString, QString> casos[] = {
        {QString::fromLatin1("O\x1b]0;PWNED\x07X\t\r\n"), "O\\x1B]0;PWNED\\x07X\\t\\r\\n"},
        {QString::fromLatin1("O12\x7f"
                             "34\x9b"
                             "2J\x00",
             10),
            "O12\\x7F34\\x9B2J\\x00"},
        {QString::fromUtf8("abc\u202Etxt.exe"), "abc\\u202Etxt.exe"},
        {QString::fromUtf8("C:\\cnc\\Año ß €"), QString::fromUtf8("C:\\cnc\\Año ß €")},
    };
    for (const auto &[texto, visible] : casos)
        EXPECT_EQ(TextoVisible(texto), visible);
}
