#pragma once

#include "port/clienterfc2217.h"
#include "port/transportetcp.h"

#include <optional>

// A serial device server's port under Telnet COM Port Control: the program
// sets speed, data bits, parity, stop bits and flow control on the remote
// port, and the link opens only once the server has confirmed each.
class TransporteRfc2217 : public TransporteTcp
{
public:
    // How long the server has to confirm the settings once connected.
    static constexpr int kSegundosAjustes = 3;
    // Data the line can carry in that time is far less: a server that sends
    // more before it confirms the settings is no device server, and loses
    // the connection rather than the program its memory.
    static constexpr qsizetype kPreviosMaximos = 1 << 20;

    bool codifica(const char *datos, qsizetype n, QByteArray &destino) override;
    void decodifica(
        const char *leido, qsizetype n, QByteArray &datos, QByteArray &respuesta) override;
    void descartaSalida() override;

protected:
    bool prepara(const AjustesLinea &ajustes, int cancelar, Reloj::time_point limite,
        FalloTransporte &fallo) override;

private:
    std::optional<ClienteRfc2217> m_cliente;
    // Data that came while the settings were being made.
    QByteArray m_previos;
};
