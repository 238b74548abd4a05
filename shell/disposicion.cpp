#include "shell/disposicion.h"

#include <cmath>

namespace {

constexpr std::array<Disposicion::Rect, Disposicion::NumControles> kDiseno = {{
    {120, 0, 1320, 195}, // lblTituloTexto
    {120, 240, 7935, 5040}, // lstTexto
    {8280, 240, 756, 660}, // picAnagrama
    {8160, 1200, 495, 495}, // cmdLimpiar
    {8760, 1200, 495, 495}, // cmdSalir
    {8160, 1800, 495, 495}, // cmdConfig
    {8760, 1800, 495, 495}, // cmdEdit
    {8160, 2400, 495, 495}, // cmdAbrir
    {8760, 2400, 495, 495}, // cmdGuardar
    {8160, 3000, 1095, 375}, // cmdCncPc
    {8160, 3480, 1095, 375}, // cmdPcCnc
    {8160, 3960, 1095, 375}, // cmdSpace
    {8160, 4440, 1095, 375}, // cmdManual
    {8160, 5040, 1095, 255}, // chkModo
    {8160, 5400, 1095, 615}, // cmdStop
    {120, 5520, 1410, 195}, // lblTituloEstado
    {120, 5760, 7935, 255}, // lblEstado
    {0, 6084, 9324, 252}, // StatusBar1
}};

// The column at the right edge, in the order the layout moves it.
constexpr Disposicion::Control kColumna[] = {Disposicion::picAnagrama, Disposicion::cmdLimpiar,
    Disposicion::cmdSalir, Disposicion::cmdConfig, Disposicion::cmdEdit, Disposicion::cmdAbrir,
    Disposicion::cmdGuardar, Disposicion::cmdCncPc, Disposicion::cmdPcCnc, Disposicion::chkModo,
    Disposicion::cmdSpace, Disposicion::cmdManual, Disposicion::cmdStop};

qint32 redondea(double twips)
{
    return qint32(std::nearbyint(twips));
}

} // namespace

Disposicion::Disposicion(double alto, double ancho)
    : m_geometria(kDiseno), m_altoAnterior(redondea(alto)), m_anchoAnterior(redondea(ancho))
{ }

Disposicion::Rect Disposicion::diseno(Control c)
{
    return kDiseno[c];
}

Disposicion::Ajuste Disposicion::Form_Resize(double alto, double ancho, bool minimizado)
{
    Ajuste ajuste;
    if (minimizado)
        return ajuste;

    if (alto < kAltoMinimo) {
        ajuste.alto = kAltoMinimo;
    } else if (redondea(alto) != m_altoAnterior) {
        const qint32 dy = redondea(alto - m_altoAnterior);
        m_geometria[lblTituloEstado].top += dy;
        m_geometria[lblEstado].top += dy;
        Rect &texto = m_geometria[lstTexto];
        texto.height += dy;
        if (texto.height < kAltoMinimoTexto)
            texto.height = kAltoMinimoTexto;
        else if (texto.height < alto - kMargenTexto)
            texto.height = redondea(alto - kMargenTexto);
        m_altoAnterior = redondea(alto);
    }

    if (ancho < kAnchoMinimo) {
        ajuste.ancho = kAnchoMinimo;
        return ajuste;
    }
    if (redondea(ancho) == m_anchoAnterior)
        return ajuste;
    const qint32 dx = redondea(ancho - m_anchoAnterior);
    for (Control c : kColumna)
        m_geometria[c].left += dx;
    m_geometria[lblEstado].width += dx;
    m_geometria[lstTexto].width += dx;
    m_anchoAnterior = redondea(ancho);
    return ajuste;
}
