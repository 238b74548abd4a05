#pragma once

#include "transfer/progresotransferencia.h"

// The figures of a running transfer from its byte counts and its clock.
// Time the CNC holds the line does not count: the speed is that of the line
// while it moves, so the time left stands still during a hold.
class MedidaProgreso
{
public:
    void empieza(qint64 ahoraMs, qint64 lineas = 0, qint64 bytesTotales = 0);
    void setBytesTotales(qint64 bytesTotales) { m_bytesTotales = bytesTotales; }
    void retiene(bool retenido, qint64 ahoraMs);
    bool retenido() const { return m_inicioRetencion >= 0; }
    ProgresoTransferencia figuras(qint64 ahoraMs, qint64 linea, qint64 bytes) const;

private:
    qint64 m_inicio = 0;
    qint64 m_lineas = 0;
    qint64 m_bytesTotales = 0;
    qint64 m_msRetenido = 0;
    qint64 m_inicioRetencion = -1;
};
