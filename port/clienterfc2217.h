#pragma once

#include "line/parametroslinea.h"

#include <QByteArray>
#include <QList>

#include <array>

// The client side of Telnet COM Port Control (RFC 2217), on bytes alone: what
// the server sends goes in, the line's data and the replies for the server
// come out, so any transport (and a test) can drive it. It asks for binary
// transmission both ways and no go-ahead, refuses every other option, sets
// the remote line once the server takes the COM port option, and checks each
// answer against what it asked. Notifications of line and modem state are
// taken as they come; nothing here waits for them.
class ClienteRfc2217
{
public:
    enum class Control : quint8 { Ninguno = 1, XonXoff = 2, RtsCts = 3 };
    enum class Purga : quint8 { Recepcion = 1, Envio = 2, Ambas = 3 };
    // The settings asked, in the order they are sent.
    enum class Ajuste { Velocidad, BitsDatos, Paridad, BitsStop, Control };
    enum class Respuesta { SinPedir, Pendiente, Aceptado, Rechazado };

    ClienteRfc2217(const ParametrosLinea &linea, Control control);

    // The offers that open the session, to send once connected.
    QByteArray inicio();

    // Takes bytes from the server, cut anywhere: the line's data go to
    // datos, what must go back to the server to respuesta.
    void recibe(const char *bytes, qsizetype n, QByteArray &datos, QByteArray &respuesta);

    // Data for the line, with IAC (0xFF) doubled.
    static void codifica(const char *bytes, qsizetype n, QByteArray &salida);

    // Asks the server to discard what its port buffers.
    static QByteArray purga(Purga cual);

    // Every setting confirmed with the value asked.
    bool listo() const;
    // A setting answered with another value, or the COM port option refused.
    bool rechazado() const { return m_sinComPort || !rechazados().isEmpty(); }
    bool sinComPort() const { return m_sinComPort; }
    // The server took the COM port option and the settings have been asked.
    bool comPortAceptado() const { return m_ajustesPedidos && !m_sinComPort; }
    QList<Ajuste> rechazados() const;
    // Asked and not answered yet: after a time limit, as good as refused.
    QList<Ajuste> pendientes() const;

    quint8 estadoLinea() const { return m_estadoLinea; }
    quint8 estadoModem() const { return m_estadoModem; }
    // The server asked to hold the data (FLOWCONTROL-SUSPEND) and has not
    // let go yet.
    bool suspendido() const { return m_suspendido; }

private:
    enum class Fase { Datos, Iac, Opcion, Sub, SubIac };
    struct Peticion
    {
        quint8 orden = 0;
        QByteArray valor;
        Respuesta respuesta = Respuesta::SinPedir;
    };

    void opcion(quint8 verbo, quint8 opcion, QByteArray &respuesta);
    void subnegociacion(QByteArray &respuesta);
    void pideAjustes(QByteArray &respuesta);

    Fase m_fase = Fase::Datos;
    quint8 m_verbo = 0;
    QByteArray m_sub;
    bool m_subDesbordada = false;

    // Telnet options each way: enabled, and offered by us awaiting a reply.
    std::array<bool, 256> m_nuestra {};
    std::array<bool, 256> m_suya {};
    std::array<bool, 256> m_ofrecidaNuestra {};
    std::array<bool, 256> m_pedidaSuya {};

    std::array<Peticion, 5> m_peticiones;
    bool m_ajustesPedidos = false;
    bool m_sinComPort = false;
    quint8 m_estadoLinea = 0;
    quint8 m_estadoModem = 0;
    bool m_suspendido = false;
};
