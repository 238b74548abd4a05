#include "transfer/tablaiso.h"

#include <gtest/gtest.h>

#include <QSet>

namespace {

TablaIso tabla()
{
    TablaIso t;
    CargaTablaIso(t);
    return t;
}

int unos(int v)
{
    int n = 0;
    for (; v; v >>= 1)
        n += v & 1;
    return n;
}

TEST(TablaIso, EveryCodeHasEvenParityAndIsUnique)
{
    const TablaIso t = tabla();
    QSet<int> codigos;
    QSet<QString> textos;
    for (const EntradaIso &e : t) {
        EXPECT_EQ(unos(e.Codigo) % 2, 0) << e.Codigo;
        EXPECT_GE(e.Codigo, 0);
        EXPECT_LE(e.Codigo, 255);
        codigos.insert(e.Codigo);
        textos.insert(e.Caracter);
    }
    EXPECT_EQ(codigos.size(), 66);
    EXPECT_EQ(textos.size(), 66);
}

TEST(TablaIso, LooksUpCodesOfCharacters)
{
    const TablaIso t = tabla();
    EXPECT_EQ(CodigoIso(t, "1"), 177);
    EXPECT_EQ(CodigoIso(t, "3"), 51);
    EXPECT_EQ(CodigoIso(t, " "), 160);
    EXPECT_EQ(CodigoIso(t, "%"), 165);
    EXPECT_EQ(CodigoIso(t, "A"), 65);
    EXPECT_EQ(CodigoIso(t, "C"), 195);
    EXPECT_EQ(CodigoIso(t, "\""), 34);
    EXPECT_EQ(CodigoIso(t, "]"), 221);
    // Not carried: small letters, tab; the names only match as whole texts.
    EXPECT_EQ(CodigoIso(t, "a"), 0);
    EXPECT_EQ(CodigoIso(t, "\t"), 0);
    EXPECT_EQ(CodigoIso(t, "NUL"), 0);
    EXPECT_EQ(CodigoIso(t, "DEL"), 255);
    EXPECT_EQ(CodigoIso(t, ""), 141);
}

TEST(TablaIso, LooksUpCharactersOfCodes)
{
    const TablaIso t = tabla();
    EXPECT_EQ(CaracterIso(t, 177), "1");
    EXPECT_EQ(CaracterIso(t, 49), "");
    EXPECT_EQ(CaracterIso(t, 165), "%");
    EXPECT_EQ(CaracterIso(t, 0), "NUL");
    EXPECT_EQ(CaracterIso(t, 136), "Bs");
    EXPECT_EQ(CaracterIso(t, 141), "");
    EXPECT_EQ(CaracterIso(t, 27), "");
    EXPECT_EQ(CaracterIso(t, 256), "");
}

TEST(TablaIso, LookupsAreInverseOnAllEntries)
{
    const TablaIso t = tabla();
    for (const EntradaIso &e : t) {
        EXPECT_EQ(CaracterIso(t, CodigoIso(t, e.Caracter)), e.Caracter);
        EXPECT_EQ(CodigoIso(t, CaracterIso(t, e.Codigo)), e.Codigo);
    }
}

TEST(TablaIso, ByteLookupsAgreeWithTheTable)
{
    const TablaIso t = tabla();
    for (int b = 0; b < 256; ++b) {
        EXPECT_EQ(IsoRapido::codigo(quint8(b)), CodigoIso(t, QString(QChar(b)))) << b;
        EXPECT_EQ(QString::fromLatin1(IsoRapido::caracter(quint8(b))), CaracterIso(t, b)) << b;
    }
    // Exactly the one-character entries can be sent: 60 of the 66.
    int transmisibles = 0;
    for (int b = 0; b < 256; ++b)
        transmisibles += IsoRapido::codigo(quint8(b)) != 0;
    EXPECT_EQ(transmisibles, 60);
}

} // namespace
