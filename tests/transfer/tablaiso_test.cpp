#include "transfer/tablaiso.h"

#include <gtest/gtest.h>

#include <bit>

namespace {

TEST(TablaIso, EveryCodeIsTheAsciiCodeWithItsEvenParityBit)
{
    TablaIso t;
    CargaTablaIso(t);
    // The reference: each entry's 7-bit character, its parity bit computed here.
    std::vector<std::pair<QString, int>> referencia
        = {{"NUL", 0x00}, {"Bs", 0x08}, {"HT", 0x09}, {"LF", 0x0A}, {"", 0x0D}, {"DEL", 0x7F}};
    for (char c : QByteArray("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ %()+-:/.#$&'*,;<=>?@\"[]"))
        referencia.emplace_back(QString(QLatin1Char(c)), c);
    ASSERT_EQ(referencia.size(), t.size());
    for (const auto &[caracter, ascii] : referencia) {
        const int codigo = ascii | (std::popcount(unsigned(ascii)) % 2 ? 0x80 : 0);
        EXPECT_EQ(CodigoIso(t, caracter), codigo) << caracter.toStdString();
        EXPECT_EQ(CaracterIso(t, codigo), caracter) << codigo;
    }
    // Not carried: small letters, tab; names only match as whole texts;
    // the "1" without its parity bit, ESC and codes beyond a byte read as nothing.
    for (const char *ninguno : {"a", "\t", "NU", "1 "})
        EXPECT_EQ(CodigoIso(t, ninguno), 0) << ninguno;
    for (int codigo : {0x31, 0x1B, 0x100})
        EXPECT_EQ(CaracterIso(t, codigo), "") << codigo;
    // The per-byte lookups agree with the table.
    for (int b = 0; b < 256; ++b) {
        EXPECT_EQ(IsoRapido::codigo(quint8(b)), CodigoIso(t, QString(QChar(b)))) << b;
        EXPECT_EQ(QString::fromLatin1(IsoRapido::caracter(quint8(b))), CaracterIso(t, b)) << b;
    }
}

} // namespace
