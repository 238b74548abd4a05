#include "shell/disposicion.h"

#include <gtest/gtest.h>

namespace {

using D = Disposicion;

constexpr D::Control kColumna[]
    = {D::picAnagrama, D::cmdLimpiar, D::cmdSalir, D::cmdConfig, D::cmdEdit, D::cmdAbrir,
        D::cmdGuardar, D::cmdCncPc, D::cmdPcCnc, D::chkModo, D::cmdSpace, D::cmdManual, D::cmdStop};

TEST(Disposicion, TallerAndWiderWindowMoveTheStatusLineAndTheColumn)
{
    D d(6800, 9450);
    EXPECT_FALSE(d.Form_Resize(6800.2, 9449.8, false).alto); // the recorded size, rounded
    for (int c = 0; c < D::NumControles; ++c)
        EXPECT_EQ(d.geometria(D::Control(c)), D::diseno(D::Control(c)));

    d.Form_Resize(7100, 9750, false);
    EXPECT_EQ(d.geometria(D::lblTituloEstado).top, 5520 + 300);
    EXPECT_EQ(d.geometria(D::lblEstado).top, 5760 + 300);
    EXPECT_EQ(d.geometria(D::lblEstado).width, 7935 + 300);
    EXPECT_EQ(d.geometria(D::lstTexto).height, 5040 + 300 + 60); // lifted to height - 1700
    EXPECT_EQ(d.geometria(D::lstTexto).width, 7935 + 300);
    for (D::Control c : kColumna) {
        EXPECT_EQ(d.geometria(c).left, D::diseno(c).left + 300);
        EXPECT_EQ(d.geometria(c).top, D::diseno(c).top);
    }
    for (D::Control c : {D::lblTituloTexto, D::StatusBar1})
        EXPECT_EQ(d.geometria(c), D::diseno(c));
    EXPECT_EQ(d.AltoAnterior(), 7100);
}

TEST(Disposicion, TextWindowHeightFloors)
{
    // {start height, heights resized to, text window height}
    const std::tuple<int, std::vector<int>, int> casos[] = {
        {9000, {6750}, 5175}, // below 5175 after the change: raised to it
        {6800, {8000}, 8000 - 1700}, // below height - 1700: raised to it
        {6800, {9000, 8900}, 7200}, // 7300 - 100 = 7200 >= 8900 - 1700: kept
    };
    for (const auto &[inicio, altos, esperado] : casos) {
        D d(inicio, 9450);
        for (int alto : altos)
            d.Form_Resize(alto, 9450, false);
        EXPECT_EQ(d.geometria(D::lstTexto).height, esperado) << inicio;
    }
}

TEST(Disposicion, BelowMinimumSnapsBackAndMinimisedLeavesEverything)
{
    D d(6800, 9450);
    auto ajuste = d.Form_Resize(5000, 9450, false);
    EXPECT_TRUE(ajuste.alto == 6750 && !ajuste.ancho);
    EXPECT_EQ(d.geometria(D::lstTexto), D::diseno(D::lstTexto));
    ajuste = d.Form_Resize(6800, 8000, false);
    EXPECT_TRUE(ajuste.ancho == 9000 && d.AnchoAnterior() == 9450);

    d.Form_Resize(7000, 9800, false);
    const auto antes = d.geometria(D::lstTexto);
    d.Form_Resize(300, 2000, true);
    d.Form_Resize(7000, 9800, false);
    EXPECT_EQ(d.geometria(D::lstTexto), antes);
    EXPECT_EQ(d.geometria(D::cmdStop).left, 8160 + 350);
}

} // namespace
