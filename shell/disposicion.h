#pragma once

#include <QtGlobal>

#include <array>
#include <optional>

// The main window's layout, in twips (1/1440 inch), kept apart from the
// widgets so the arithmetic is tested directly. Each size change moves and
// stretches the controls by the difference from the size recorded at the
// previous layout step.
class Disposicion
{
public:
    enum Control {
        lblTituloTexto,
        lstTexto,
        picAnagrama,
        cmdLimpiar,
        cmdSalir,
        cmdConfig,
        cmdEdit,
        cmdAbrir,
        cmdGuardar,
        cmdCncPc,
        cmdPcCnc,
        cmdSpace,
        cmdManual,
        chkModo,
        cmdStop,
        lblTituloEstado,
        lblEstado,
        StatusBar1,
        NumControles
    };

    struct Rect
    {
        qint32 left = 0;
        qint32 top = 0;
        qint32 width = 0;
        qint32 height = 0;
        bool operator==(const Rect &) const = default;
    };

    // What the window must do after a layout step: a size below the minimum
    // is set to the minimum, which raises another size change.
    struct Ajuste
    {
        std::optional<qint32> alto;
        std::optional<qint32> ancho;
    };

    static constexpr qint32 kAltoMinimo = 6750;
    static constexpr qint32 kAnchoMinimo = 9000;
    static constexpr qint32 kAltoMinimoTexto = 5175;
    static constexpr qint32 kMargenTexto = 1700;
    static constexpr qint32 kAnchoCliente = 9324;
    static constexpr qint32 kAltoCliente = 6336;

    // Design geometry; the outer size of the window at load is recorded.
    Disposicion(double alto, double ancho);

    // The layout step run on every resize of the window (outer size in twips).
    Ajuste Form_Resize(double alto, double ancho, bool minimizado);

    const Rect &geometria(Control c) const { return m_geometria[c]; }
    qint32 AltoAnterior() const { return m_altoAnterior; }
    qint32 AnchoAnterior() const { return m_anchoAnterior; }

    static Rect diseno(Control c);

private:
    std::array<Rect, NumControles> m_geometria;
    qint32 m_altoAnterior;
    qint32 m_anchoAnterior;
};
