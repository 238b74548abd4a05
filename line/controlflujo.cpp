#include "line/controlflujo.h"

#include "line/caracterescontrol.h"

bool ControlFlujo::observa(const char *datos, qsizetype n)
{
    using namespace CaracteresControl;
    const bool antes = m_detenido;
    for (qsizetype i = 0; i < n; ++i) {
        const quint8 b = quint8(datos[i]) & 0x7F;
        if (b == kDc3) {
            if (!m_detenido)
                ++m_pausas;
            m_detenido = true;
        } else if (b == kDc1) {
            m_detenido = false;
        }
    }
    return antes != m_detenido;
}

void ControlFlujo::reinicia()
{
    m_detenido = false;
    m_pausas = 0;
}
