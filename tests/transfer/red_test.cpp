// Network ports: the address as written, and the RFC 2217 client against
// Debian's ser2net serving a pseudo-terminal on 127.0.0.1.

#include "cncpty.h"
#include "comun/junta.h"
#include "ser2net.h"
#include "transfer/clienterfc2217.h"
#include "transfer/direccionred.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>

namespace {

using Control = ClienteRfc2217::Control;
using Ajuste = ClienteRfc2217::Ajuste;

int argc = 1;
char nombre[] = "transfer_red_test";
char *argv[] = {nombre, nullptr};
QCoreApplication aplicacion(argc, argv);

TEST(DireccionRed_, WrittenFormsAndTheShortName)
{
    const std::pair<const char *, const char *> casos[]
        = {{" TCP://nport-3.taller:4001 ", "tcp://nport-3.taller:4001"},
            {"rfc2217://10.0.0.7:65535", "rfc2217://10.0.0.7:65535"},
            {"rfc2217://[fe80::1]:2217", "rfc2217://[fe80::1]:2217"},
            {"tcp://dispositivo-de-red.planta2.example:4001", "tcp://dispositivo-de-red.…:4001"},
            {"tcp://host", ""}, {"tcp://host:", ""}, {"tcp://host:0", ""}, {"tcp://host:65536", ""},
            {"tcp://:4001", ""}, {"tcp://fe80::1:4001", ""}, {"tcp://host:+80", ""},
            {"tcp://ho st:80", ""}, {"tcp://host:80/x", ""}, {"rfc2217://[zz]:80", ""}};
    for (const auto &[texto, corto] : casos) {
        EXPECT_TRUE(DireccionRed::esDeRed(texto));
        EXPECT_EQ(
            DireccionRed::interpreta(texto) ? DireccionRed::nombreCorto(texto).toStdString() : "",
            corto)
            << texto;
    }
    EXPECT_FALSE(DireccionRed::esDeRed("/dev/ttyS0") || DireccionRed::esDeRed("tcp:host:1"));
}

// A client session over a socket to ser2net, pumped from the test's loop.
struct Sesion
{
    Sesion(quint16 puerto, const char *ajustes, Control control)
        : cliente(*ParametrosLinea::interpreta(QLatin1String(ajustes)), control)
    {
        sockaddr_in a {AF_INET, htons(puerto), {htonl(INADDR_LOOPBACK)}, {}};
        fd = socket(AF_INET, SOCK_STREAM, 0);
        EXPECT_EQ(::connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a), 0);
        envia(cliente.inicio());
    }
    ~Sesion() { ::close(fd); }
    void envia(const QByteArray &b) { EXPECT_EQ(::send(fd, b.data(), b.size(), 0), b.size()); }
    // False, to be called in a waiting condition.
    bool bombea()
    {
        char buf[4096];
        for (ssize_t n; (n = ::recv(fd, buf, sizeof buf, MSG_DONTWAIT)) > 0;) {
            QByteArray respuesta;
            recibido.append(buf, n);
            cliente.recibe(buf, n, datos, respuesta);
            envia(respuesta);
        }
        return false;
    }

    int fd = -1;
    ClienteRfc2217 cliente;
    QByteArray recibido, datos;
};

// A server's stream cut anywhere, or fed a byte at a time, decodes as whole.
void mismoCortado(const QByteArray &flujo, const char *ajustes, Control control)
{
    const auto decodifica = [&](const QList<qsizetype> &cortes) {
        ClienteRfc2217 c(*ParametrosLinea::interpreta(QLatin1String(ajustes)), control);
        QByteArray d, r = c.inicio();
        for (qsizetype i = 0, desde = 0; i <= cortes.size(); ++i) {
            const qsizetype hasta = i < cortes.size() ? cortes[i] : flujo.size();
            c.recibe(flujo.constData() + desde, hasta - desde, d, r);
            desde = hasta;
        }
        return junta(d.toHex(), r.toHex(), c.listo(), c.rechazados().size(), c.sinComPort(),
            c.estadoModem(), c.estadoLinea())
            .toStdString();
    };
    const std::string entero = decodifica({});
    QList<qsizetype> unoAUno;
    for (qsizetype i = 0; i < flujo.size(); ++i) {
        ASSERT_EQ(decodifica({i}), entero) << ajustes << " cut at " << i;
        unoAUno.append(i);
    }
    EXPECT_EQ(decodifica(unoAUno), entero);
}

TEST(Rfc2217, LineSettingsReachThePtyAndBytesPassExactlyBothWays)
{
    QByteArray todos;
    for (int i = 0; i < 512; ++i)
        todos.append(char(i));
    const std::tuple<const char *, Control, speed_t, tcflag_t, tcflag_t> casos[]
        = {{"19200,O,7,2", Control::XonXoff, B19200, PARODD | CSTOPB, IXON},
            {"110,M,8,1", Control::RtsCts, B110, CMSPAR | PARODD | CRTSCTS, 0},
            {"115200,E,8,1", Control::Ninguno, B115200, 0, 0}};
    for (const auto &[ajustes, control, velocidad, cflag, iflag] : casos) {
        CncPty cnc;
        Ser2net servidor(cnc.ruta(), true);
        ASSERT_TRUE(servidor.escucha());
        Sesion s(servidor.puerto(), ajustes, control);
        EXPECT_TRUE(espera([&] { return s.bombea() || s.cliente.listo(); }, 3000)) << ajustes;
        s.envia(ClienteRfc2217::purga(ClienteRfc2217::Purga::Ambas));
        EXPECT_TRUE(espera([&] {
            return s.bombea() || s.recibido.contains(QByteArray::fromHex("fffa2c7003fff0"));
        }));
        const termios t = cnc.ajustes();
        constexpr tcflag_t kVistos = PARODD | CMSPAR | CSTOPB | CRTSCTS;
        EXPECT_EQ(std::tuple(cfgetospeed(&t), t.c_cflag & kVistos, t.c_iflag & (IXON | IXOFF)),
            std::tuple(velocidad, cflag, tcflag_t(iflag ? IXON | IXOFF : 0)))
            << ajustes;
        // Flow control on the server would eat DC3 and DC1: the data avoid them there.
        const QByteArray datos
            = iflag ? QByteArray(todos).replace('\x13', 'a').replace('\x11', 'b') : todos;
        QByteArray salida;
        ClienteRfc2217::codifica(datos.constData(), datos.size(), salida);
        s.envia(salida);
        cnc.escribe(datos);
        EXPECT_TRUE(espera(
            [&] { return s.bombea() || (cnc.recibido() == datos && s.datos == datos); }, 3000))
            << ajustes;

        mismoCortado(s.recibido, ajustes, control);
    }
}

TEST(Rfc2217, RefusedAndUnansweredSettingsAndOtherOptions)
{
    // ser2net leaves 1.5 stop bits unanswered: after a time it is as refused.
    CncPty cnc;
    Ser2net servidor(cnc.ruta(), true);
    ASSERT_TRUE(servidor.escucha());
    Sesion s(servidor.puerto(), "9600,N,5,1.5", Control::Ninguno);
    espera([&] { return s.bombea(); }, 1500);
    EXPECT_EQ(junta(s.cliente.listo(), s.cliente.rechazado()), "false|false");
    EXPECT_EQ(s.cliente.pendientes(), QList {Ajuste::BitsStop});

    // A server that keeps another speed, offers echo, asks for a terminal
    // type, sends an oversized subnegotiation, then drops the option.
    ClienteRfc2217 c(*ParametrosLinea::interpreta("19200,N,8,1"), Control::XonXoff);
    c.inicio();
    QByteArray d, r;
    const QByteArray servido
        = QByteArray::fromHex("fffd2c fffa2c650001ffffffff fff0 fffb01 fffd18 fffa2c")
        + QByteArray(1000, 'x') + QByteArray::fromHex("fff0 41ffff42 fffe2c");
    c.recibe(servido.constData(), servido.size(), d, r);
    EXPECT_EQ(junta(c.rechazados() == QList {Ajuste::Velocidad}, c.sinComPort(), d.toHex()),
        "true|true|41ff42");
    EXPECT_TRUE(
        r.contains(QByteArray::fromHex("fffe01")) && r.contains(QByteArray::fromHex("fffc18")));
    mismoCortado(servido, "19200,N,8,1", Control::XonXoff);
}

} // namespace
