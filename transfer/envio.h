#pragma once

#include "line/formatolinea.h"
#include "transfer/medidaprogreso.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>

#include <deque>

class MSComm;
class QTimer;

// Sends a program to the CNC on the event loop, framed as the machine's line
// format says (by default DC2, the lines, DC4). The port is opened at the
// start and closed once the last byte has left.
class Envio : public QObject
{
    Q_OBJECT

public:
    explicit Envio(MSComm &puerto, QObject *parent = nullptr);
    ~Envio() override;

    // Opens the port and starts. On a port failure terminado() is emitted
    // before this returns false.
    bool inicia(const QList<QByteArray> &lineas, bool iso, const FormatoLinea &formato = {});
    // Stop: the line on its way is finished, then "%" and the end of the
    // frame (DC4, trailer) go out, however
    // long that takes at the line's speed. Only when nothing has moved for a
    // while past the time they need (the CNC holds the line) is the port
    // closed without them, and the send ends as SinFin. While the send still
    // waits for the CNC's DC1, nothing has gone and it ends at once.
    void detiene();
    // Ends the send now, however far it has come, without "%" or the end of
    // the frame: what has not left is dropped, so that the CNC holds a
    // program visibly cut rather than one that looks whole. Ends as SinFin
    // once bytes have gone (Fallida when none have), with the reason.
    void abandona(const QString &motivo);
    bool activo() const { return m_activo; }
    bool esperandoDc1() const { return m_esperandoDc1; }
    // How long the rest takes on the line at its speed, pauses after lines included.
    qint64 msRestantes();
    // The margin a Stop gives the CNC beyond the line time of the end.
    static constexpr int kMargenMs = 1500;

    // Bytes kept queued ahead of the line at least. Lines beyond the one on
    // the line are taken back at Stop, so a Stop still ends after the
    // current line.
    void setAdelanto(qint64 bytes) { m_adelanto = bytes; }

    // The port stays open once the send is over (a Stop's end included), for
    // a reception to follow at once on the same link: what the CNC sends
    // once the end is queued is left in the port's input for it. A send
    // that fails or whose end the CNC never takes closes the port all the same.
    void setMantienePuerto(bool mantiene) { m_mantienePuerto = mantiene; }
signals:
    void progreso(const ProgresoTransferencia &progreso);
    void pausaCnc(bool detenido);
    void terminado(const ResultadoTransferencia &resultado);

private:
    void alimenta();
    void alLlegar();
    void esperaDc1(bool esperando);
    void alCerrar();
    // The end is queued: the port closes, or stays for what follows, once it has left.
    void cierraTrasFin();
    void alFallar(const QString &mensaje);
    void termina(ResultadoTransferencia::Estado estado, const QString &error = {});
    void informaProgreso(bool forzado);
    void armaPlazo();
    void alVencerPlazo();
    void alCambiarFlujo(bool detenido);
    QString sinFin() const;
    // Lines wholly handed to the device.
    qint64 lineasSalidas();
    // Cuts the queue after the line on the line and queues `fin` there;
    // false when there is nothing behind it to cut.
    bool cortaTrasLinea(bool finEncolado, const QByteArray &fin);

    MSComm &m_puerto;
    QTimer *m_plazoParada;
    // Ticks the held time while the CNC holds the line.
    QTimer *m_retencion;
    // The pause after each line, for controls without flow control.
    QTimer *m_pausaLinea;
    QList<QByteArray> m_lineas;
    bool m_iso = false;
    FormatoLinea m_formato;
    bool m_esperandoDc1 = false;
    // A line is queued and its pause starts once it has left.
    bool m_lineaEnCurso = false;
    bool m_activo = false;
    bool m_detenido = false;
    bool m_finEncolado = false;
    bool m_parando = false;
    bool m_abierto = false;
    bool m_mantienePuerto = false;
    qint64 m_enviadosAlArmar = 0;
    qint64 m_siguiente = 0;
    qint64 m_adelanto = 1;
    qint64 m_bytesTotales = 0;
    // Where each line queued and not yet handed to the device ends, in the
    // port's bytesEncolados() terms: Stop cuts the queue at the first.
    std::deque<qint64> m_finesLinea;
    MedidaProgreso m_medida;
    QElapsedTimer m_reloj;
    qint64 m_ultimoInforme = -1000;
    QList<QMetaObject::Connection> m_conexiones;
};
