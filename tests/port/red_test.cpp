// Network ports: the address as written, the RFC 2217 client on recorded
// bytes, and whole transfers through Debian's ser2net on 127.0.0.1.

#include "comun/cncpty.h"
#include "comun/junta.h"
#include "comun/ser2net.h"
#include "line/codificadorenvio.h"
#include "line/direccionred.h"
#include "port/clienterfc2217.h"
#include "port/mscomm.h"
#include "settings/varsfuncsglobales.h"
#include "transfer/envio.h"
#include "transfer/recepcion.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QSignalSpy>

#include <numeric>
#include <thread>

namespace {

using Control = ClienteRfc2217::Control;
using F = MSComm::Fallo;
using VarsFuncsGlobales::Texto;

int argc = 1;
char nombre[] = "port_red_test";
char *argv[] = {nombre, nullptr};
QCoreApplication aplicacion(argc, argv);

TEST(DireccionRed_, WrittenFormsAndTheShortName)
{
    const std::pair<const char *, const char *> casos[]
        = {{" TCP://nport-3.taller:4001 ", "tcp://nport-3.taller:4001"},
            {"rfc2217://[fe80::1]:65535", "rfc2217://[fe80::1]:65535"},
            {"tcp://dispositivo-de-red.planta2.example:4001", "tcp://dispositivo-de-red.…:4001"},
            {"tcp://host:65536", ""}, {"tcp://fe80::1:4001", ""}, {"tcp://host:+80", ""},
            {"tcp://ho st:80", ""}, {"tcp://host:80/x", ""}, {"rfc2217://[zz]:80", ""}};
    for (const auto &[texto, corto] : casos)
        EXPECT_EQ(DireccionRed::esDeRed(texto) && DireccionRed::interpreta(texto)
                ? DireccionRed::nombreCorto(texto).toStdString()
                : "",
            corto);
    EXPECT_FALSE(DireccionRed::esDeRed("/dev/ttyS0") || DireccionRed::esDeRed("tcp:host:1"));
}

// A server's stream decodes the same whole, cut anywhere, or a byte at a time.
std::string decodifica(const QByteArray &flujo, const char *ajustes, QList<qsizetype> cortes = {})
{
    ClienteRfc2217 c(*ParametrosLinea::interpreta(QLatin1String(ajustes)), Control::Ninguno);
    QByteArray d, r = c.inicio();
    cortes.append(flujo.size());
    for (qsizetype desde = 0; const qsizetype hasta : cortes)
        c.recibe(flujo.constData() + desde, hasta - desde, d, r), desde = hasta;
    return junta(c.listo(), c.rechazados().size(), c.sinComPort(), d.toHex(), r.toHex())
        .toStdString();
}

TEST(Rfc2217, RecordedAndOddServersDecodeTheSameHoweverCut)
{
    // ser2net confirming 19200 7O2 without flow control, the CNC's data
    // with 0xFF doubled, a purge answered. Then a server keeping another
    // speed (0x0001FFFF, doubled inside the answer), offering echo, asking
    // for a terminal type, an oversized subnegotiation, data, the option dropped.
    const std::pair<std::string, std::string> casos[]
        = {{"fffb03fffd03fffb01fffe01fffd00fffb00fffd2cfffa2c6b00fff0fffd03fffa2c6500004b00fff0fffa"
            "2c6607fff0fffa2c6702fff0fffa2c6802fff0fffa2c6901fff0250d0a4f31ffffffff0d0a93fffa2c700"
            "3fff0f0f1f2f3f4f5f6f7f8f9fafbfcfdfeffff",
               "true|0|false|250d0a4f31ffff0d0a93f0f1f2f3f4f5f6f7f8f9fafbfcfdfeff|*"},
            {"fffd2cfffa2c650001fffffffffff0fffb01fffd18fffa2c" + std::string(2000, 'a')
                    + "fff041ffff42fffe2c",
                "false|1|true|41ff42|*fffe01fffc18fffc2c"}};
    for (const auto &[hex, esperado] : casos) {
        const QByteArray flujo = QByteArray::fromHex(QByteArray::fromStdString(hex));
        const std::string entero = decodifica(flujo, "19200,O,7,2");
        // Echo and terminal type refused, the dropped option let go.
        EXPECT_TRUE(entero.starts_with(esperado.substr(0, esperado.find('*')))
            && entero.ends_with(esperado.substr(esperado.find('*') + 1)))
            << entero;
        QList<qsizetype> uno;
        for (qsizetype i = 1; i < flujo.size(); ++i) {
            ASSERT_EQ(decodifica(flujo, "19200,O,7,2", {i}), entero) << "cut at " << i;
            uno.append(i);
        }
        EXPECT_EQ(decodifica(flujo, "19200,O,7,2", uno), entero);
    }
}

// A CNC behind ser2net, the program's port pointed at it.
struct Red : ::testing::Test
{
    void monta(bool rfc2217, const char *ajustes = "38400,O,7,2")
    {
        cnc = std::make_unique<CncPty>();
        servidor = std::make_unique<Ser2net>(cnc->ruta(), rfc2217);
        ASSERT_TRUE(servidor->escucha());
        puerto.setDispositivo(servidor->direccion());
        puerto.setSettings(ajustes);
    }
    // Opens a port that fails: its kind and message; ms, the time it took.
    QString fallo(const QString &dispositivo)
    {
        QSignalSpy fallo(&puerto, &MSComm::fallo);
        puerto.setDispositivo(dispositivo);
        reloj.start();
        EXPECT_TRUE(!puerto.setPortOpen(true) || fallo.wait(10000));
        return junta(puerto.ultimoFallo(), puerto.ultimoError());
    }

    std::unique_ptr<CncPty> cnc;
    std::unique_ptr<Ser2net> servidor;
    MSComm puerto;
    QElapsedTimer reloj;
};

// A peer that floods, before it confirms the settings (data) or after
// (Telnet commands whose answers it never reads), loses its connection;
// the program's memory does not pay for it.
TEST_F(Red, AFloodingServerLosesItsConnection)
{
    // COM port control taken, 4800 8N2 without flow control confirmed.
    const QByteArray si = QByteArray::fromHex("fffd2c fffa2c65000012c0fff0 fffa2c6608fff0"
                                              "fffa2c6701fff0 fffa2c6802fff0 fffa2c6901fff0");
    for (const auto &[inicio, trozo] : {std::pair(QByteArray(), QByteArray(60000, 'x')),
             std::pair(si, QByteArray::fromHex("fffd63").repeated(20000))}) {
        sockaddr_in a;
        const int s = enlazaLocal(a);
        listen(s, 1);
        qint64 enviados = 0;
        std::thread par([&] {
            const int c = accept(s, nullptr, nullptr);
            for (ssize_t n = ::send(c, inicio.constData(), inicio.size(), MSG_NOSIGNAL);
                 n >= 0 && enviados < 200 << 20; enviados += n)
                n = ::send(c, trozo.constData(), trozo.size(), MSG_NOSIGNAL);
            ::close(c), ::close(s);
        });
        EXPECT_TRUE(fallo("rfc2217://127.0.0.1:" + QString::number(ntohs(a.sin_port)))
                        .startsWith(junta(F::Perdido)));
        par.join();
        EXPECT_LT(enviados, 64 << 20);
    }
}

TEST_F(Red, RoundTripsByteExactThroughPausesWithTheRemoteLineSet)
{
    QByteArray todos(512, 0);
    std::iota(todos.begin(), todos.end(), 0);
    const QList<QByteArray> lineas = programa(100) << "N9999 (\x7f)"; // DEL: 0xFF in ISO
    for (const bool rfc2217 : {false, true}) {
        for (const bool iso : {false, true}) {
            monta(rfc2217);
            puerto.setXonXoffEnPuerto(iso); // the program's all the same
            cnc->pausaCadaTrozo(iso, 5, 600, 3);
            // Read while the link is up: the server may hang the line up
            // (speed 0) once the connection ends.
            termios t {};
            cnc->alRecibir = [&, pausa = cnc->alRecibir](const QByteArray &datos) {
                if (cfgetospeed(&t) == B0)
                    t = cnc->ajustes();
                pausa(datos);
            };
            Envio envio(puerto);
            QSignalSpy fin(&envio, &Envio::terminado);
            ASSERT_TRUE(envio.inicia(lineas, iso) && fin.wait(20000));
            espera([&] { return cnc->recibido().size() >= puerto.bytesEnviados(); }, 500);
            cnc->alRecibir = nullptr;
            // The server's port set as asked, flow control left to the program.
            EXPECT_EQ(std::tuple(fin[0][0].value<ResultadoTransferencia>().estado,
                          cnc->recibido() == CodificadorEnvio::codificaPrograma(lineas, iso),
                          puerto.pausasCnc(), cfgetospeed(&t),
                          t.c_cflag & (PARODD | CSTOPB | CRTSCTS), t.c_iflag & IXON),
                std::tuple(ResultadoTransferencia::Estado::Completa, true, 5,
                    speed_t(rfc2217 ? B38400 : B9600), tcflag_t(rfc2217 ? PARODD | CSTOPB : 0),
                    tcflag_t(0)));

            // Every byte value from the CNC, once ser2net, which drops what
            // waited on the device when it opens it, has passed a byte on.
            ASSERT_TRUE(espera([&] { return servidor->libre(); }) && puerto.setPortOpen(true));
            puerto.Output("\x11");
            ASSERT_TRUE(espera([&] { return cnc->recibido().endsWith('\x11'); }));
            cnc->escribe(todos);
            EXPECT_TRUE(espera([&] { return puerto.InBufferCount() >= todos.size(); }));
            EXPECT_EQ(puerto.Input(), todos);
            puerto.setPortOpen(false);
        }
    }
    // RTS/CTS is set on the server's port; settings ser2net leaves
    // unanswered (1.5 stop bits) are refused.
    monta(true, "9600,N,8,1");
    puerto.setHandshaking(MSComm::Negociacion::RtsCts);
    ASSERT_TRUE(puerto.setPortOpen(true) && espera([&] { return puerto.enLinea(); }));
    EXPECT_TRUE(cnc->ajustes().c_cflag & CRTSCTS);
    puerto.setPortOpen(false);
    monta(true, "9600,N,5,1.5");
    EXPECT_EQ(fallo(servidor->direccion()),
        junta(F::ParametrosRechazados,
            Texto("PrinErrorRedAjustes")
                .arg("127.0.0.1", QString::number(servidor->puerto()), "9600,N,5,1.5")));
}

TEST_F(Red, TheEndHeldByTheServerReachesTheCncBeforeTheLinkCloses)
{
    // The CNC reads nothing until the program has written its last byte
    // and 600 ms more: its pty fills, ser2net holds the tail, and drops it
    // if the connection ends meanwhile.
    monta(false);
    const QByteArray esperado = CodificadorEnvio::codificaPrograma(programa(250), false);
    cnc->sordo(true);
    Envio envio(puerto);
    QSignalSpy fin(&envio, &Envio::terminado);
    ASSERT_TRUE(envio.inicia(programa(250), false)
        && espera([&] { return puerto.bytesEnviados() == esperado.size(); }, 20000));
    QTimer::singleShot(600, cnc.get(), [&] { cnc->sordo(false); });
    ASSERT_TRUE(fin.wait(20000));
    EXPECT_TRUE(espera([&] { return cnc->recibido() == esperado; }, 2000))
        << cnc->recibido().size();
    EXPECT_EQ(
        fin[0][0].value<ResultadoTransferencia>().estado, ResultadoTransferencia::Estado::Completa);
}

TEST_F(Red, TheServerGoneMidReceptionKeepsWhatArrived)
{
    for (const bool rfc2217 : {false, true}) {
        monta(rfc2217);
        Recepcion recepcion(puerto);
        QSignalSpy fin(&recepcion, &Recepcion::terminado);
        ASSERT_TRUE(recepcion.inicia(false) && espera([&] { return puerto.enLinea(); }));
        cnc->escribe("O1\nG1 X");
        ASSERT_TRUE(espera([&] { return recepcion.lineas() == 1; }));
        servidor->mata();
        ASSERT_TRUE(fin.wait(3000));
        EXPECT_EQ(junta(fin[0][0].value<ResultadoTransferencia>().error, recepcion.lineas()),
            junta(Texto("PrinErrorRedCerrada")
                        .arg("127.0.0.1", QString::number(servidor->puerto()), "")
                        .chopped(2)
                    + '.',
                2));
    }
}

TEST_F(Red, OpenFailuresNameHostAndPortAndStopWhileConnectingReturnsAtOnce)
{
    // A port nobody listens on; a name the resolver refuses without asking
    // any server (a label over 63 characters).
    sockaddr_in a;
    const int s = enlazaLocal(a);
    const QString p = QString::number(ntohs(a.sin_port)), nombre = QString(64, 'n') + ".example";
    EXPECT_EQ(fallo("rfc2217://127.0.0.1:" + p),
        junta(F::ConexionRechazada, Texto("PrinErrorRedRechazada").arg("127.0.0.1", p)));
    EXPECT_EQ(fallo("tcp://" + nombre + ":4001"),
        junta(F::NombreDesconocido, Texto("PrinErrorRedNombre").arg(nombre, "4001")));

    // Listening with its one place in the queue taken: never answered.
    listen(s, 0);
    const int relleno = socket(AF_INET, SOCK_STREAM, 0);
    ::connect(relleno, reinterpret_cast<sockaddr *>(&a), sizeof a);
    puerto.setDispositivo("tcp://127.0.0.1:" + p);
    ASSERT_TRUE(puerto.setPortOpen(true));
    reloj.start();
    puerto.setPortOpen(false);
    EXPECT_LT(reloj.elapsed(), 100);
    EXPECT_EQ(fallo("tcp://127.0.0.1:" + p),
        junta(F::SinRespuesta, Texto("PrinErrorRedSinRespuesta").arg("127.0.0.1", p, "5")));
    EXPECT_TRUE(reloj.elapsed() > 4900 && reloj.elapsed() < 6500) << reloj.elapsed();
    ::close(relleno);
    ::close(s);
}

} // namespace
