#include "base/textovisible.h"

#include <gtest/gtest.h>

TEST(TextoVisible_, ControlAndReorderingCharactersAreWrittenOutTheRestKept)
{
    // A title-setting escape, tab and line ends, DEL, C1's CSI (0x9B from
    // Latin-1 text), NUL, a right-to-left override; backslashes and letters stay.
    EXPECT_EQ(TextoVisible(QString::fromLatin1("O\x1b]0;X\x07\t\r\n\x7f\x9b") + QChar(0)
                  + QChar(0x202E) + QString::fromUtf8("C:\\Año")),
        QString::fromUtf8("O\\x1B]0;X\\x07\\t\\r\\n\\x7F\\x9B\\x00\\u202EC:\\Año"));
}
