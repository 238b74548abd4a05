#include "shell/disposicion.h"

#include <gtest/gtest.h>

namespace {

using D = Disposicion;

constexpr D::Control kColumna[]
    = {D::picAnagrama, D::cmdLimpiar, D::cmdSalir, D::cmdConfig, D::cmdEdit, D::cmdAbrir,
        D::cmdGuardar, D::cmdCncPc, D::cmdPcCnc, D::chkModo, D::cmdSpace, D::cmdManual, D::cmdStop};

TEST(Disposicion, FirstResizeAtTheRecordedSizeChangesNothing)
{
    D d(6800, 9450);
    const auto ajuste = d.Form_Resize(6800.2, 9449.8, false);
    EXPECT_FALSE(ajuste.alto || ajuste.ancho);
    for (int c = 0; c < D::NumControles; ++c)
        EXPECT_EQ(d.geometria(D::Control(c)), D::diseno(D::Control(c)));
}

TEST(Disposicion, TallerWindowGivesHeightToTextAndMovesStatusLine)
{
    D d(6800, 9450);
    d.Form_Resize(7100, 9450, false);
    EXPECT_EQ(d.geometria(D::lblTituloEstado).top, 5520 + 300);
    EXPECT_EQ(d.geometria(D::lblEstado).top, 5760 + 300);
    EXPECT_EQ(d.geometria(D::lstTexto).height, 5040 + 300 + 60); // lifted to height - 1700
    for (D::Control c : kColumna)
        EXPECT_EQ(d.geometria(c), D::diseno(c));
    EXPECT_EQ(d.geometria(D::lblTituloTexto), D::diseno(D::lblTituloTexto));
    EXPECT_EQ(d.AltoAnterior(), 7100);
}

TEST(Disposicion, WiderWindowMovesTheColumnAndWidensText)
{
    D d(6800, 9450);
    d.Form_Resize(6800, 9750, false);
    for (D::Control c : kColumna) {
        EXPECT_EQ(d.geometria(c).left, D::diseno(c).left + 300);
        EXPECT_EQ(d.geometria(c).top, D::diseno(c).top);
    }
    EXPECT_EQ(d.geometria(D::lstTexto).width, 7935 + 300);
    EXPECT_EQ(d.geometria(D::lblEstado).width, 7935 + 300);
    EXPECT_EQ(d.geometria(D::StatusBar1), D::diseno(D::StatusBar1));
}

TEST(Disposicion, TextWindowHeightFloors)
{
    // Below 5175 after the change: raised to 5175.
    D bajo(9000, 9450);
    bajo.Form_Resize(6750, 9450, false);
    EXPECT_EQ(bajo.geometria(D::lstTexto).height, 5175);

    // Below height - 1700: raised to it.
    D medio(6800, 9450);
    medio.Form_Resize(8000, 9450, false);
    EXPECT_EQ(medio.geometria(D::lstTexto).height, 8000 - 1700);

    // Taller than both: kept.
    D alto(6800, 9450);
    alto.Form_Resize(9000, 9450, false); // 5040 + 2200 = 7240 < 7300: lifted
    alto.Form_Resize(8900, 9450, false); // 7300 - 100 = 7200 >= 8900 - 1700
    EXPECT_EQ(alto.geometria(D::lstTexto).height, 7200);
}

TEST(Disposicion, BelowMinimumSnapsBack)
{
    D d(6800, 9450);
    auto ajuste = d.Form_Resize(5000, 9450, false);
    EXPECT_EQ(ajuste.alto, 6750);
    EXPECT_FALSE(ajuste.ancho);
    EXPECT_EQ(d.geometria(D::lstTexto), D::diseno(D::lstTexto));

    ajuste = d.Form_Resize(6800, 8000, false);
    EXPECT_EQ(ajuste.ancho, 9000);
    EXPECT_EQ(d.AnchoAnterior(), 9450);
}

TEST(Disposicion, MinimisedAndRestoredLeavesEverything)
{
    D d(6800, 9450);
    d.Form_Resize(7000, 9800, false);
    const auto antes = d.geometria(D::lstTexto);
    d.Form_Resize(300, 2000, true);
    d.Form_Resize(7000, 9800, false);
    EXPECT_EQ(d.geometria(D::lstTexto), antes);
    EXPECT_EQ(d.geometria(D::cmdStop).left, 8160 + 350);
}

} // namespace
