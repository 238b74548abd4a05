#pragma once

#include "port/transporte.h"

// A raw TCP port of a serial device server: bytes in, bytes out; the line
// itself is set on the server. The name is looked up and the connection made
// on the engine's thread, both given up at once on Stop.
class TransporteTcp : public Transporte
{
public:
    // How long a server has to take the connection.
    static constexpr int kSegundosConexion = 5;
    // What a device server may hold ahead of its line and drops when the
    // connection ends (ser2net takes up to about 16 KB; waiting for all of
    // it at 110 baud would keep every send open for half an hour).
    static constexpr qint64 kRetencionServidor = 4096;

    ~TransporteTcp() override;

    bool abreAlInstante() const override { return false; }
    bool abre(const AjustesLinea &ajustes, int cancelar, Reloj::time_point limite,
        FalloTransporte &fallo) override;
    qint64 colaDriver() const override;
    qint64 sinConfirmar() const override;
    qint64 retenidosServidor() const override { return kRetencionServidor; }

protected:
    // What the protocol needs once connected, before the data flow.
    virtual bool prepara(const AjustesLinea &, int, Reloj::time_point, FalloTransporte &)
    {
        return true;
    }
    enum class Espera { Lista, Plazo, Cancelada };
    // Waits until fd is ready for `eventos`, Stop comes or the time is up.
    static Espera espera(int fd, short eventos, int cancelar, Reloj::time_point limite);
    // Writes all of a short text on the connection, within the time.
    bool escribeTodo(const QByteArray &datos, int cancelar, Reloj::time_point limite);
};
