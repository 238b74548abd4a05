#pragma once

#include "line/controlflujo.h"
#include "port/bloqueopuerto.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>
#include <vector>

class MotorPuerto;

// The serial control MSComm1: the one class that touches the serial device.
// The port is opened for a transfer and closed at its end. Output is paced
// by a thread of its own so that only a few characters wait in the driver: a
// DC3 from the CNC then stops the line within a few characters, and a Stop or
// a lost cable never leaves a large queue behind. Signals come on the
// thread that owns the object.
class MSComm : public QObject
{
    Q_OBJECT

public:
    enum class Negociacion { Ninguna, XonXoff, RtsCts };
    // The last three are a network port's: the server's name unknown, the
    // connection refused, no answer within the time.
    enum class Fallo {
        NoExiste,
        Ocupado,
        SinPermiso,
        ParametrosRechazados,
        Perdido,
        Otro,
        NombreDesconocido,
        ConexionRechazada,
        SinRespuesta
    };
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

    // XON/XOFF done by the driver or the adapter instead of the program (with
    // XonXoff handshaking); in ISO code with 8 data bits its codes carry the
    // parity bit.
    void setXonXoffEnPuerto(bool enPuerto) { m_xonXoffEnPuerto = enPuerto; }
    bool xonXoffEnPuerto() const { return m_xonXoffEnPuerto; }
    void setIso(bool iso) { m_iso = iso; }
    // For the next opening only: the port's XON/XOFF leaves the CNC's DC1
    // and DC3 to the program until activaXonXoffPuerto(), so that a send
    // waiting for the CNC's DC1 sees it.
    void setXonXoffPuertoDiferido(bool diferido) { m_xonXoffDiferido = diferido; }
    // False (the reason in ultimoError()) when the driver refuses it.
    bool activaXonXoffPuerto();

    // Settings no port may take (a value written amiss in the settings file):
    // while this text is set, opening fails with it and touches no device,
    // so that no default stands in for what the file says. Empty: none.
    void setRechazo(const QString &mensaje) { m_rechazo = mensaje; }

    // Opening a device reports a failure through fallo() and returns false. A
    // link that takes time to open returns true and reports a failure later;
    // what is queued meanwhile goes out once it is up. Closing discards what
    // has not left yet; cierraTrasVaciar() closes without loss.
    bool setPortOpen(bool abrir);
    bool PortOpen() const { return m_motor != nullptr; }
    // Open and the link made: false while a slow link is still being made.
    bool enLinea() const;

    // salidaLista() comes while this much line time is still queued (from
    // the next opening on), so a sender can keep the line busy; 0: once
    // everything has been handed on.
    void setAvisoSalidaMs(int ms) { m_avisoSalidaMs = ms; }
    // That time in bytes at the open port's speed.
    qint64 avisoSalida() const { return m_avisoSalida; }

    // Queues bytes to send, in order.
    void Output(const QByteArray &datos);
    // Bytes queued since the port opened, sent or not.
    qint64 bytesEncolados() const { return m_encolados; }
    // Drops what is queued past the first of these ends (in bytesEncolados()
    // terms) not yet handed to the device and queues `tras` in its place;
    // returns that end, or -1 when none is left (nothing done).
    qint64 recortaSalida(const std::vector<qint64> &fines, const QByteArray &tras);
    qint64 OutBufferCount() const;
    // Bytes handed to the device since the port opened.
    qint64 bytesEnviados() const;
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
    // Emits vaciado() once every queued byte has left the PC, as closing
    // would wait, and stays open: a reception may follow on the same link
    // without losing what the CNC sends meanwhile (it waits in the input).
    void avisaTrasVaciar();

    Fallo ultimoFallo() const { return m_ultimoFallo; }
    QString ultimoError() const { return m_ultimoError; }

signals:
    // Received bytes wait in the input buffer.
    void OnComm();
    // Everything queued has been handed on: the sender may queue more.
    void salidaLista();
    void flujoCambiado(bool detenido);
    // A link that takes time to open (a network port) is made.
    void conectado();
    void cerrado();
    void vaciado();
    // A failure of the device, once per opening; the port is closed by then.
    void fallo(MSComm::Fallo tipo, const QString &dispositivo, const QString &mensaje);

private:
    void procesaEventos();
    void procesaLuego(quint64 generacion);
    void cierra(bool descartar);
    void informa(
        Fallo tipo, const QString &ruta, const QString &detalle, const QString &texto = {});

    std::unique_ptr<MotorPuerto> m_motor;
    // Counts the openings, so that events of an engine already closed are not taken for the new
    // one's.
    quint64 m_generacion = 0;
    ControlFlujo m_flujo;
    BloqueoPuerto m_bloqueo;

    int m_commPort = 1;
    QString m_dispositivo;
    QString m_settings = QStringLiteral("4800,N,8,2");
    Negociacion m_negociacion = Negociacion::XonXoff;
    bool m_acompasado = true;

    bool m_xonXoffEnPuerto = false;
    QString m_rechazo;
    bool m_xonXoffDiferido = false;
    // The program watches for DC3 and DC1 on the link open now.
    bool m_flujoEnPrograma = true;
    bool m_iso = false;

    QByteArray m_entrada;
    // The input holds as much as it may: the engine's events wait (and its
    // reading stops) until Input() takes it.
    bool m_entradaLlena = false;
    qint64 m_enviados = 0;
    qint64 m_encolados = 0;
    int m_avisoSalidaMs = 0;
    qint64 m_avisoSalida = 0;
    bool m_avisadoVacio = true;

    Fallo m_ultimoFallo = Fallo::Otro;
    QString m_ultimoError;
    QString m_rutaAbierta;
};
