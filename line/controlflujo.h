#pragma once

#include <QtGlobal>

// XON/XOFF seen from the sender: DC3 stops the output, DC1 lets it go on.
// Both are taken with or without the parity bit, as ISO controls send DC3 as 0x93.
class ControlFlujo
{
public:
    // Looks at received bytes; true when the state changed.
    bool observa(const char *datos, qsizetype n);
    bool detenido() const { return m_detenido; }
    qint64 pausas() const { return m_pausas; }
    void reinicia();

private:
    bool m_detenido = false;
    qint64 m_pausas = 0;
};
