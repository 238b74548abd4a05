#pragma once

#include "transfer/controlflujo.h"

#include <QByteArray>
#include <QObject>
#include <QString>

class QSerialPort;
class QSocketNotifier;
class TemporizadorFino;

// The serial control MSComm1: the one class that touches the serial device.
// The port is opened for a transfer and closed at its end. Output is paced in
// the program so that only a few characters wait in the driver: a DC3 from the
// CNC then stops the line within a few characters, and a Stop or a lost cable
// never leaves a large queue behind.
class MSComm : public QObject
{
    Q_OBJECT

public:
    enum class Negociacion { Ninguna, XonXoff, RtsCts };
    enum class Fallo { NoExiste, Ocupado, SinPermiso, ParametrosRechazados, Perdido, Otro };
    Q_ENUM(Fallo)

    explicit MSComm(QObject *parent = nullptr);
    ~MSComm() override;

    // Port n opens /dev/ttyS<n-1>; a device path, when set, is used instead.
    void setCommPort(int puerto) { m_commPort = puerto; }
    int CommPort() const { return m_commPort; }
    void setDispositivo(const QString &ruta) { m_dispositivo = ruta; }
    QString Dispositivo() const;

    // Speed, parity letter, data bits and stop bits, as "4800,N,8,2"; checked at open.
    void setSettings(const QString &settings) { m_settings = settings; }
    QString Settings() const { return m_settings; }

    void setHandshaking(Negociacion negociacion) { m_negociacion = negociacion; }
    Negociacion Handshaking() const { return m_negociacion; }
    // "XonXoff" (also for an unknown text), "RtsCts" or "Ninguno".
    static Negociacion negociacionDeTexto(const QString &nego);

    // Pacing by the line speed (default). Off, output goes to the driver in
    // large blocks: for links without a real line speed, such as a pty.
    void setAcompasado(bool acompasado) { m_acompasado = acompasado; }
    bool acompasado() const { return m_acompasado; }

    // Opening reports a failure through fallo() and returns false. Closing
    // discards what has not left yet; cierraTrasVaciar() closes without loss.
    bool setPortOpen(bool abrir);
    bool PortOpen() const { return m_puerto != nullptr; }

    // Queues bytes to send, in order.
    void Output(const QByteArray &datos);
    qint64 OutBufferCount() const { return m_salida.size() - m_posicionSalida; }
    // Bytes handed to the device since the port opened.
    qint64 bytesEnviados() const { return m_enviados; }
    // How long what is queued takes on the line at its speed, in ms.
    qint64 msParaVaciar() const;

    qint64 InBufferCount() const { return m_entrada.size(); }
    QByteArray Input();
    // Takes into the input buffer what the device holds and has not yet
    // reported, so that closing right after loses none of it.
    void recogeEntrada();

    bool detenidoPorCnc() const { return m_flujo.detenido(); }
    qint64 pausasCnc() const { return m_flujo.pausas(); }

    // Closes once every queued byte has left the PC; emits cerrado().
    void cierraTrasVaciar();

    Fallo ultimoFallo() const { return m_ultimoFallo; }
    QString ultimoError() const { return m_ultimoError; }

signals:
    // Received bytes wait in the input buffer.
    void OnComm();
    // Everything queued has been handed on: the sender may queue more.
    void salidaLista();
    void flujoCambiado(bool detenido);
    void cerrado();
    // A failure of the device, once per opening; the port is closed by then.
    void fallo(MSComm::Fallo tipo, const QString &dispositivo, const QString &mensaje);

private:
    void alLeer();
    void alError(int error);
    void bombea();
    void programaBombeo();
    void revisaVaciado();
    void cierra(bool descartar);
    void informa(Fallo tipo, const QString &ruta, const QString &detalle);
    qint64 caracteresEnCola(qint64 ahora) const;
    qint64 colaDriver() const;
    qint64 escribe(const char *datos, qint64 n);

    QSerialPort *m_puerto = nullptr;
    TemporizadorFino *m_temporizador = nullptr;
    QSocketNotifier *m_notificadorEscritura = nullptr;
    ControlFlujo m_flujo;

    int m_commPort = 1;
    QString m_dispositivo;
    QString m_settings = QStringLiteral("4800,N,8,2");
    Negociacion m_negociacion = Negociacion::XonXoff;
    bool m_acompasado = true;

    QByteArray m_salida;
    qsizetype m_posicionSalida = 0;
    QByteArray m_entrada;
    qint64 m_enviados = 0;

    qint64 m_nsPorCaracter = 1000000;
    qint64 m_libreNs = 0; // when the modelled line queue is empty
    qint64 m_ventana = 4;
    qint64 m_marcaBaja = 2;

    bool m_bombeando = false;
    bool m_bombeoProgramado = false;
    bool m_avisadoVacio = true;
    bool m_cerrando = false;

    Fallo m_ultimoFallo = Fallo::Otro;
    QString m_ultimoError;
    QString m_rutaAbierta;
};
