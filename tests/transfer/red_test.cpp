// Network ports: the address as written, and the RFC 2217 client against
// Debian's ser2net serving a pseudo-terminal on 127.0.0.1.

#include "cncpty.h"
#include "comun/junta.h"
#include "ser2net.h"
#include "settings/varsfuncsglobales.h"
#include "transfer/clienterfc2217.h"
#include "transfer/codificadorenvio.h"
#include "transfer/direccionred.h"
#include "transfer/envio.h"
#include "transfer/mscomm.h"
#include "transfer/recepcion.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QSignalSpy>

#include <arpa/inet.h>

namespace {

using Control = ClienteRfc2217::Control;
using Ajuste = ClienteRfc2217::Ajuste;
using Estado = ResultadoTransferencia::Estado;
using F = MSComm::Fallo;
using VarsFuncsGlobales::Texto;

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

TEST(Rfc2217, ARecordedSessionAndAServerOutOfTheOrdinary)
{
    // ser2net answering 19200 7O2 with no flow control, data from the CNC
    // with DEL doubled, a purge answered, all of 0xF0 to 0xFF.
    const QByteArray grabado = QByteArray::fromHex(
        "fffb03fffd03fffb01fffe01fffd00fffb00fffd2cfffa2c6b00fff0fffd03fffa2c6500004b00fff0fffa2c66"
        "07fff0fffa2c6702fff0fffa2c6802fff0fffa2c6901fff0250d0a4f31ffffffff0d0a93fffa2c7003fff0f0f1"
        "f2f3f4f5f6f7f8f9fafbfcfdfeffff");
    ClienteRfc2217 c(*ParametrosLinea::interpreta("19200,O,7,2"), Control::Ninguno);
    QByteArray d, r = c.inicio();
    c.recibe(grabado.constData(), grabado.size(), d, r);
    EXPECT_EQ(junta(c.listo(), d.toHex(), r.contains(QByteArray::fromHex("fffe01"))),
        "true|250d0a4f31ffff0d0a93f0f1f2f3f4f5f6f7f8f9fafbfcfdfeff|true");
    mismoCortado(grabado, "19200,O,7,2", Control::Ninguno);

    // A server that keeps another speed, offers echo, asks for a terminal
    // type, sends an oversized subnegotiation, then drops the option.
    c = ClienteRfc2217(*ParametrosLinea::interpreta("19200,N,8,1"), Control::XonXoff);
    c.inicio();
    d.clear();
    r.clear();
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

// A CNC behind ser2net, and the program's port pointed at it.
class Red : public ::testing::Test
{
protected:
    void monta(bool rfc2217, const char *ajustes)
    {
        cnc = std::make_unique<CncPty>();
        servidor = std::make_unique<Ser2net>(cnc->ruta(), rfc2217);
        ASSERT_TRUE(servidor->escucha());
        puerto.setDispositivo(servidor->direccion());
        puerto.setSettings(ajustes);
    }
    ResultadoTransferencia envia(
        const QList<QByteArray> &lineas, bool iso, const std::function<void(Envio &)> &durante = {})
    {
        Envio envio(puerto);
        QSignalSpy fin(&envio, &Envio::terminado);
        if (envio.inicia(lineas, iso) && durante)
            durante(envio);
        EXPECT_TRUE(!fin.isEmpty() || fin.wait(20000));
        cnc->alRecibir = nullptr;
        espera([this] { return cnc->recibido().size() >= puerto.bytesEnviados(); }, 500);
        return fin.isEmpty() ? ResultadoTransferencia {}
                             : fin.at(0).at(0).value<ResultadoTransferencia>();
    }
    // Opens a port that fails; its kind and message.
    std::pair<F, QString> fallaAlAbrir(const QString &dispositivo, int *ms = nullptr)
    {
        QSignalSpy fallo(&puerto, &MSComm::fallo);
        puerto.setDispositivo(dispositivo);
        QElapsedTimer reloj;
        reloj.start();
        const bool abierto = puerto.setPortOpen(true);
        EXPECT_TRUE(!abierto || !fallo.isEmpty() || fallo.wait(10000));
        if (ms)
            *ms = int(reloj.elapsed());
        return {puerto.ultimoFallo(), puerto.ultimoError()};
    }

    std::unique_ptr<CncPty> cnc;
    std::unique_ptr<Ser2net> servidor;
    MSComm puerto;
};

TEST_F(Red, RoundTripsByteExactThroughPausesWithTheRemoteLineSet)
{
    QByteArray todos;
    for (int i = 0; i < 512; ++i)
        todos.append(char(i));
    // DEL goes out as 0xFF in ISO code.
    const QList<QByteArray> lineas = programa(100) << "N9999 (\x7f)";
    for (const bool rfc2217 : {false, true}) {
        for (const bool iso : {false, true}) {
            monta(rfc2217, "38400,O,7,2");
            cnc->pausaCadaTrozo(iso, 5, 600, 3);
            const ResultadoTransferencia r = envia(lineas, iso);
            EXPECT_EQ(r.estado, Estado::Completa) << r.error.toStdString();
            EXPECT_EQ(std::tuple(cnc->recibido() == CodificadorEnvio::codificaPrograma(lineas, iso),
                          cnc->pausas, puerto.pausasCnc()),
                std::tuple(true, 5, 5))
                << rfc2217 << iso;
            // The server's port set as asked, flow control left to the program.
            const termios t = cnc->ajustes();
            EXPECT_EQ(std::tuple(cfgetospeed(&t), t.c_cflag & (PARODD | CSTOPB | CRTSCTS),
                          t.c_iflag & IXON),
                rfc2217 ? std::tuple(speed_t(B38400), tcflag_t(PARODD | CSTOPB), tcflag_t(0))
                        : std::tuple(speed_t(B9600), tcflag_t(0), tcflag_t(0)));

            // From the CNC: every byte value, twice.
            ASSERT_TRUE(espera([&] { return servidor->libre(); }));
            ASSERT_TRUE(puerto.setPortOpen(true));
            // ser2net opens the device on a connection, dropping what
            // waited there: the CNC answers once the first byte is through.
            const qsizetype antes = cnc->recibido().size();
            puerto.Output("\x11");
            ASSERT_TRUE(espera([&] { return cnc->recibido().size() > antes; }));
            cnc->escribe(todos);
            EXPECT_TRUE(espera([&] { return puerto.InBufferCount() >= todos.size(); }));
            EXPECT_EQ(puerto.Input(), todos);
            puerto.setPortOpen(false);
        }
    }
    // RTS/CTS is set on the server's port; settings it leaves unanswered are refused.
    monta(true, "9600,N,8,1");
    puerto.setHandshaking(MSComm::Negociacion::RtsCts);
    ASSERT_TRUE(puerto.setPortOpen(true));
    ASSERT_TRUE(espera([&] { return puerto.enLinea(); }));
    EXPECT_TRUE(cnc->ajustes().c_cflag & CRTSCTS);
    puerto.setPortOpen(false);
    ASSERT_TRUE(espera([&] { return servidor->libre(); }));
    puerto.setSettings("9600,N,5,1.5");
    EXPECT_EQ(fallaAlAbrir(servidor->direccion()),
        std::pair(F::ParametrosRechazados,
            Texto("PrinErrorRedAjustes")
                .arg("127.0.0.1", QString::number(servidor->puerto()), "9600,N,5,1.5")));
}

TEST_F(Red, TheServerGoneMidTransferKeepsWhatArrived)
{
    for (const bool rfc2217 : {false, true}) {
        monta(rfc2217, "9600,N,8,1");
        const QString cerrada = Texto("PrinErrorRedCerrada")
                                    .arg("127.0.0.1", QString::number(servidor->puerto()), "")
                                    .chopped(2);
        const ResultadoTransferencia r = envia(programa(200), false, [this](Envio &) {
            cnc->alRecibir = [this](const QByteArray &) {
                if (cnc->recibido().size() >= 300)
                    servidor->mata();
            };
        });
        EXPECT_TRUE(r.estado == Estado::Fallida && r.error.startsWith(cerrada))
            << r.error.toStdString();
        EXPECT_TRUE(
            CodificadorEnvio::codificaPrograma(programa(200), false).startsWith(cnc->recibido()));

        monta(rfc2217, "9600,N,8,1");
        Recepcion recepcion(puerto);
        QSignalSpy fin(&recepcion, &Recepcion::terminado);
        QList<QByteArray> lineas;
        QObject::connect(
            &recepcion, &Recepcion::lineasRecibidas, [&](const auto &l) { lineas += l; });
        ASSERT_TRUE(recepcion.inicia(false));
        ASSERT_TRUE(espera([&] { return puerto.enLinea(); }));
        cnc->escribe("O1\nG1 X");
        ASSERT_TRUE(espera([&] { return recepcion.lineas() == 1; }));
        servidor->mata();
        ASSERT_TRUE(fin.wait(3000));
        EXPECT_EQ(lineas, (QList<QByteArray> {"O1", "G1 X"}));
    }
}

TEST_F(Red, OpenFailuresNameHostAndPortAndStopWhileConnectingReturnsAtOnce)
{
    // A port nobody listens on; a name the resolver refuses without asking
    // any server (a label over 63 characters).
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a {AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t largo = sizeof a;
    bind(s, reinterpret_cast<sockaddr *>(&a), sizeof a);
    getsockname(s, reinterpret_cast<sockaddr *>(&a), &largo);
    const QString puertoLibre = QString::number(ntohs(a.sin_port));
    EXPECT_EQ(fallaAlAbrir("rfc2217://127.0.0.1:" + puertoLibre),
        std::pair(
            F::ConexionRechazada, Texto("PrinErrorRedRechazada").arg("127.0.0.1", puertoLibre)));
    const QString nombre = QString(64, 'n') + ".example";
    EXPECT_EQ(fallaAlAbrir("tcp://" + nombre + ":4001"),
        std::pair(F::NombreDesconocido, Texto("PrinErrorRedNombre").arg(nombre, "4001")));

    // Listening with its one place in the queue taken: a connection is never answered.
    listen(s, 0);
    const int relleno = socket(AF_INET, SOCK_STREAM, 0);
    ::connect(relleno, reinterpret_cast<sockaddr *>(&a), sizeof a);
    puerto.setDispositivo("tcp://127.0.0.1:" + puertoLibre);
    ASSERT_TRUE(puerto.setPortOpen(true));
    QElapsedTimer reloj;
    reloj.start();
    puerto.setPortOpen(false);
    EXPECT_LT(reloj.elapsed(), 100);
    int ms = 0;
    EXPECT_EQ(fallaAlAbrir("tcp://127.0.0.1:" + puertoLibre, &ms),
        std::pair(
            F::SinRespuesta, Texto("PrinErrorRedSinRespuesta").arg("127.0.0.1", puertoLibre, "5")));
    EXPECT_TRUE(ms > 4900 && ms < 6500) << ms;
    ::close(relleno);
    ::close(s);
}

} // namespace
