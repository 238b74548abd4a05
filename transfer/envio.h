#pragma once

#include "transfer/progresotransferencia.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>

class MSComm;
class QTimer;

// Sends a program to the CNC: DC2, the lines, DC4, on the event loop. The
// port is opened at the start and closed once the last byte has left.
class Envio : public QObject
{
    Q_OBJECT

public:
    explicit Envio(MSComm &puerto, QObject *parent = nullptr);
    ~Envio() override;

    // Opens the port and starts. On a port failure terminado() is emitted
    // before this returns false.
    bool inicia(const QList<QByteArray> &lineas, bool iso);
    // Stop: the line on its way is finished, then "%" and DC4 go out. If the
    // CNC holds the line or it is gone, the port is closed within 2 s.
    void detiene();
    bool activo() const { return m_activo; }

    // Sends a line to the port only once the previous one has gone, so that
    // Stop cuts right after the current line; a larger value favours speed.
    void setAdelanto(qint64 bytes) { m_adelanto = bytes; }

signals:
    void progreso(const ProgresoTransferencia &progreso);
    void pausaCnc(bool detenido);
    void terminado(const ResultadoTransferencia &resultado);

private:
    void alimenta();
    void alCerrar();
    void alFallar(const QString &mensaje);
    void termina(ResultadoTransferencia::Estado estado, const QString &error = {});
    void informaProgreso(bool forzado);

    MSComm &m_puerto;
    QTimer *m_plazoParada;
    QList<QByteArray> m_lineas;
    bool m_iso = false;
    bool m_activo = false;
    bool m_detenido = false;
    bool m_finEncolado = false;
    qint64 m_siguiente = 0;
    qint64 m_adelanto = 1;
    qint64 m_bytesTotales = 0;
    QElapsedTimer m_reloj;
    qint64 m_ultimoInforme = -1000;
    QList<QMetaObject::Connection> m_conexiones;
};
