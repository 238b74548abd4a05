#pragma once

// A link to the CNC as the port engine drives it. What a link must do:
// - abre() makes the link and leaves descriptor() open and non-blocking. It
//   runs on the engine's thread when abreAlInstante() is false, and must then
//   give up as soon as `cancelar` becomes readable or `limite` passes, so that
//   Stop while connecting never hangs the window.
// - codifica()/decodifica() turn bytes of the program into what goes on the
//   link and back (a Telnet link doubles 0xFF, takes its commands out of the
//   data and answers them); a link keeps its own state between calls.
// - colaDriver(), descartaSalida() and cierra() act on the link's own queue.
// The engine itself paces the output at the line speed, whatever the link.

#include "line/parametroslinea.h"
#include "port/mscomm.h"

#include <QByteArray>
#include <QString>

#include <chrono>
#include <memory>

// What the link is asked to set up.
struct AjustesLinea
{
    QString dispositivo;
    ParametrosLinea parametros;
    // As the settings text gave them, for messages.
    QString settings;
    MSComm::Negociacion negociacion = MSComm::Negociacion::XonXoff;
    // XON/XOFF done by the driver or the adapter, with these codes.
    bool xonXoffEnPuerto = false;
    // ...but only its answer to our own input (IXOFF) until activaXonXoff():
    // the CNC's first DC1 must reach a send that waits for it.
    bool xonXoffDiferido = false;
    char paro = 0x13;
    char sigue = 0x11;
};

// Why a link could not open or went away. A link with texts of its own puts
// the whole sentence in `mensaje`; otherwise the kind's text names the device.
struct FalloTransporte
{
    MSComm::Fallo tipo = MSComm::Fallo::Otro;
    QString detalle;
    QString mensaje;
};

class Transporte
{
public:
    using Reloj = std::chrono::steady_clock;

    virtual ~Transporte();

    // The link for a port name: a device path, for anything without a known scheme.
    static std::unique_ptr<Transporte> crea(const QString &dispositivo);

    // True when abre() takes no noticeable time and may run on the caller's thread.
    virtual bool abreAlInstante() const = 0;
    virtual bool abre(
        const AjustesLinea &ajustes, int cancelar, Reloj::time_point limite, FalloTransporte &fallo)
        = 0;
    int descriptor() const { return m_fd; }

    // Data as it goes on the link; false when it goes as it is.
    virtual bool codifica(const char *datos, qsizetype n, QByteArray &destino);
    // Data as read from the link, into `datos`; what the link must answer, into `respuesta`.
    virtual void decodifica(
        const char *leido, qsizetype n, QByteArray &datos, QByteArray &respuesta);
    // Why the link is gone, given errno of the failed call (0 for end of file).
    virtual QString razonPerdida(int codigo);
    // Bytes written but still held by the driver or the OS.
    virtual qint64 colaDriver() const;
    // Bytes written that the far end has not acknowledged yet (0 where the
    // link cannot tell), and how many characters a device server may still
    // hold for its line once it has acknowledged them all.
    virtual qint64 sinConfirmar() const { return 0; }
    virtual qint64 retenidosServidor() const { return 0; }
    virtual void descartaSalida();
    virtual void cierra();
    // The port's XON/XOFF, put off at opening, answers the CNC's DC3 from now
    // on; false when the driver would not take it.
    virtual bool activaXonXoff(const AjustesLinea &) { return true; }

protected:
    // What an ioctl that counts queued bytes (TIOCOUTQ, SIOCOUTQ...) says; 0 when closed or
    // refused.
    qint64 cuentaCola(unsigned long peticion) const;

    int m_fd = -1;
};
