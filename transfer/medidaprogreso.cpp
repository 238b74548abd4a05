#include "transfer/medidaprogreso.h"

void MedidaProgreso::empieza(qint64 ahoraMs, qint64 lineas, qint64 bytesTotales)
{
    m_inicio = ahoraMs;
    m_lineas = lineas;
    m_bytesTotales = bytesTotales;
    m_msRetenido = 0;
    m_inicioRetencion = -1;
}

void MedidaProgreso::retiene(bool retenido, qint64 ahoraMs)
{
    if (retenido == this->retenido())
        return;
    if (retenido) {
        m_inicioRetencion = ahoraMs;
    } else {
        m_msRetenido += ahoraMs - m_inicioRetencion;
        m_inicioRetencion = -1;
    }
}

ProgresoTransferencia MedidaProgreso::figuras(qint64 ahoraMs, qint64 linea, qint64 bytes) const
{
    ProgresoTransferencia p;
    p.linea = linea;
    p.lineas = m_lineas;
    p.bytes = bytes;
    p.bytesTotales = m_bytesTotales;
    const qint64 retenidoAhora = retenido() ? ahoraMs - m_inicioRetencion : 0;
    const qint64 activos = ahoraMs - m_inicio - m_msRetenido - retenidoAhora;
    if (activos > 0)
        p.caracteresPorSegundo = bytes * 1000.0 / activos;
    if (m_bytesTotales > 0 && p.caracteresPorSegundo > 0)
        p.segundosRestantes = qMax<qint64>(0, m_bytesTotales - bytes) / p.caracteresPorSegundo;
    if (retenido())
        p.segundosRetenido = retenidoAhora / 1000.0;
    return p;
}
