#include "transfer/tablaiso.h"

#include <gtest/gtest.h>

#include <bit>

namespace {

TEST(TablaIso, LookupsBothWays)
{
    TablaIso t;
    CargaTablaIso(t);
    // Both lookups are inverse on every entry, which also makes codes and
    // texts unique; every code carries even parity.
    for (const EntradaIso &e : t) {
        EXPECT_EQ(std::popcount(unsigned(e.Codigo)) % 2, 0) << e.Codigo;
        EXPECT_EQ(CaracterIso(t, CodigoIso(t, e.Caracter)), e.Caracter);
        EXPECT_EQ(CodigoIso(t, CaracterIso(t, e.Codigo)), e.Codigo);
    }
    // Not carried: small letters, tab; names only match as whole texts.
    const std::pair<const char *, int> codigos[] = {{"1", 177}, {"3", 51}, {" ", 160}, {"%", 165},
        {"C", 195}, {"]", 221}, {"a", 0}, {"\t", 0}, {"NUL", 0}, {"DEL", 255}, {"", 141}};
    for (const auto &[caracter, codigo] : codigos)
        EXPECT_EQ(CodigoIso(t, caracter), codigo) << caracter;
    const std::pair<int, const char *> caracteres[]
        = {{177, "1"}, {49, ""}, {0, "NUL"}, {136, "Bs"}, {141, ""}, {27, ""}, {256, ""}};
    for (const auto &[codigo, caracter] : caracteres)
        EXPECT_EQ(CaracterIso(t, codigo), caracter) << codigo;

    // The per-byte lookups agree with the table; exactly its 60 one-character
    // entries can be sent.
    int transmisibles = 0;
    for (int b = 0; b < 256; ++b) {
        EXPECT_EQ(IsoRapido::codigo(quint8(b)), CodigoIso(t, QString(QChar(b)))) << b;
        EXPECT_EQ(QString::fromLatin1(IsoRapido::caracter(quint8(b))), CaracterIso(t, b)) << b;
        transmisibles += IsoRapido::codigo(quint8(b)) != 0;
    }
    EXPECT_EQ(transmisibles, 60);
}

} // namespace
