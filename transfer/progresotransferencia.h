#pragma once

#include <QList>
#include <QMetaType>
#include <QString>
#include <QtGlobal>

// How far a send or a reception has come, for the status line.
struct ProgresoTransferencia
{
    qint64 linea = 0; // lines sent or received so far (the one on the line when sending)
    qint64 lineas = 0; // lines of the whole send; 0 when receiving
    qint64 bytes = 0;
    qint64 bytesTotales = 0; // 0 when receiving
    double caracteresPorSegundo = 0;
    double segundosRestantes = -1; // -1 when unknown
    double segundosRetenido = -1; // how long the CNC has held the line; -1 when it does not
};

// How a transfer ended. error holds the operator's message of a failure.
struct ResultadoTransferencia
{
    // SinFin: stopped, but the CNC held the line and never got "%" and DC4.
    enum class Estado { Completa, Detenida, Fallida, SinFin };
    Estado estado = Estado::Completa;
    QString error;
    // ISO characters received with a wrong parity bit, and the first lines
    // (from 0) that held one.
    qint64 ilegibles = 0;
    QList<qint64> lineasIlegibles;
};

Q_DECLARE_METATYPE(ProgresoTransferencia)
Q_DECLARE_METATYPE(ResultadoTransferencia)
