// The port check over small trees standing for /dev, /sys, /proc, /etc and
// the lock folders, and against ser2net on 127.0.0.1 for network ports.

#include "comun/cncpty.h"
#include "comun/ser2net.h"
#include "port/comprobacionpuerto.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

int argc = 1;
char nombre[] = "port_comprobacion_test";
char *argv[] = {nombre, nullptr};
QCoreApplication aplicacion(argc, argv);

// The findings as "state letter: text / remedy" lines.
std::string resumen(const QList<Hallazgo> &hallazgos)
{
    QString s;
    for (const Hallazgo &h : hallazgos)
        s += QStringLiteral("%1: %2 / %3\n")
                 .arg(QString(QLatin1Char("BAP"[int(h.estado)])), h.texto, h.remedio);
    return s.toStdString();
}

class Arbol
{
public:
    QTemporaryDir dir;
    QString raiz = dir.path();

    void fichero(const QString &ruta, const QByteArray &datos = {})
    {
        QDir().mkpath(QFileInfo(raiz + ruta).path());
        QFile f(raiz + ruta);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(datos) == datos.size());
    }
    void enlace(const QString &ruta, const QString &destino)
    {
        QDir().mkpath(QFileInfo(raiz + ruta).path());
        ASSERT_EQ(::symlink(QFile::encodeName(destino), QFile::encodeName(raiz + ruta)), 0);
    }
    // A USB adapter on ttyNAME: its sysfs device, driver and ids.
    void adaptador(
        const QString &tty, const char *driver, const char *vendedor, const char *producto)
    {
        const QString usb = QStringLiteral("/sys/devices/usb1/1-1");
        fichero(usb + QStringLiteral("/idVendor"), vendedor);
        fichero(usb + QStringLiteral("/idProduct"), producto);
        enlace(usb + QStringLiteral("/1-1:1.0/") + tty + QStringLiteral("/driver"),
            QStringLiteral("../../../../../bus/usb-serial/drivers/") + driver);
        enlace(QStringLiteral("/sys/class/tty/") + tty + QStringLiteral("/device"),
            QStringLiteral("../../../devices/usb1/1-1/1-1:1.0/") + tty);
    }
    void proceso(int pid, const char *comando, const QString &abierto = {})
    {
        fichero(QStringLiteral("/proc/%1/comm").arg(pid), QByteArray(comando) + '\n');
        if (!abierto.isEmpty())
            enlace(QStringLiteral("/proc/%1/fd/3").arg(pid), abierto);
    }
};

struct Caso
{
    const char *nombre;
    std::function<void(Arbol &, EntornoComprobacion &)> prepara;
    QString puerto;
    std::string estados; // one letter a finding, in order
    QStringList textos; // each must be in the findings
};

TEST(Comprobacion, DevicesOverSmallTrees)
{
    const uid_t otro = ::getuid() + 1;
    const QString grupo = QStringLiteral("dialout:x:%1:").arg(::getegid());
    const auto ftdi = [&](Arbol &a, EntornoComprobacion &e) {
        a.fichero("/dev/ttyUSB0");
        a.enlace("/dev/serial/by-id/usb-FTDI_FT232R-if00-port0", "../../ttyUSB0");
        a.adaptador("ttyUSB0", "ftdi_sio", "0403", "6001");
        a.fichero("/sys/bus/usb-serial/devices/ttyUSB0/latency_timer", "16\n");
        a.fichero("/etc/group", grupo.toUtf8() + "ana\n");
        e.uid = otro;
        e.gruposSesion = {::getegid()};
    };
    const Caso casos[] = {
        {"FTDI by its stable name, default latency, user in the group", ftdi,
            "/dev/serial/by-id/usb-FTDI_FT232R-if00-port0", "BBBBA",
            {"; it is /dev/ttyUSB0.", "group dialout and you are in it", "ftdi_sio: it does",
                "choose that the port does", "16 ms late, over 15 characters at 9600 baud",
                R"(DRIVER=="ftdi_sio", ATTR{latency_timer}="1")"}},
        // At 110 baud 16 ms is less than a character.
        {"FTDI at 110 baud, in the port",
            [&](Arbol &a, EntornoComprobacion &e) {
                ftdi(a, e);
                e.linea.velocidad = 110;
                e.xonXoffEnPuerto = true;
            },
            "/dev/ttyUSB0", "BBBBB",
            {"chip and stops the line within a character or two. / \n", "timer is 16 ms. / \n"}},
        {"CH341 set to the port, brltty lists it, ModemManager runs",
            [&](Arbol &a, EntornoComprobacion &e) {
                a.fichero("/dev/ttyUSB1");
                a.adaptador("ttyUSB1", "ch341", "1a86", "7523");
                a.fichero("/usr/lib/udev/rules.d/85-brltty.rules",
                    "# Device: 1A86:7523\nENV{PRODUCT}==\"1a86/7523/*\", "
                    "GOTO=\"brltty_usb_run\"\n");
                a.proceso(412, "ModemManager");
                e.xonXoffEnPuerto = true;
            },
            "/dev/ttyUSB1", "BBBPAP",
            {"administrator", "like this one (1a86:7523)", "sudo apt remove brltty",
                "systemctl disable --now ModemManager", "ch341: it does not",
                "choose that the program does"}},
        {"Held open by one process, locked by another; /var/lock is /run/lock",
            [&](Arbol &a, EntornoComprobacion &) {
                a.fichero("/dev/ttyUSB0");
                a.proceso(555, "cu", "/dev/ttyUSB0");
                a.proceso(777, "minicom", "/dev/null");
                a.fichero("/run/lock/LCK..ttyUSB0", "       777\n");
                a.enlace("/var/lock", "../run/lock");
            },
            "/dev/ttyUSB0", "BBPP",
            {"in use by cu (process 555", "close cu; if it does not close: sudo kill 555",
                "LCK..ttyUSB0 says process 777 (minicom)"}},
        {"A device in a folder is locked as serial programs name it",
            [&](Arbol &a, EntornoComprobacion &) {
                a.fichero("/dev/pts/7");
                a.proceso(778, "minicom", "/dev/null");
                a.fichero("/run/lock/LCK..pts_7", "       778\n");
            },
            "/dev/pts/7", "BBP", {"LCK..pts_7 says process 778 (minicom)"}},
        {"User not in the port's group",
            [&](Arbol &a, EntornoComprobacion &e) {
                a.fichero("/dev/ttyS0");
                a.fichero("/sys/class/tty/ttyS0/type", "0\n");
                a.fichero("/etc/group", grupo.toUtf8() + "\n");
                e.uid = otro;
            },
            "/dev/ttyS0", "BPBP",
            {"user ana is not in it", "sudo adduser ana dialout", "ttyS0 has no serial port chip"}},
        {"In the group since this session began",
            [&](Arbol &a, EntornoComprobacion &e) {
                a.fichero("/dev/ttyS0");
                a.fichero("/etc/group", grupo.toUtf8() + "pepe,ana\n");
                e.uid = otro;
            },
            "/dev/ttyS0", "BPB", {"this session began before", "log out and in again"}},
        {"Built-in port with a lock left by an ended process",
            [&](Arbol &a, EntornoComprobacion &) {
                a.fichero("/dev/ttyS0");
                // tty, serial-base port and ctrl, the UART's own driver above them
                const QString uart = "/sys/devices/pnp0/00:04";
                a.enlace(uart + "/driver", "../../../bus/pnp/drivers/serial");
                a.enlace(uart + "/00:04:0/driver", "../../../../bus/serial-base/drivers/ctrl");
                a.enlace(uart + "/00:04:0/00:04:0.0/driver",
                    "../../../../../bus/serial-base/drivers/port");
                a.enlace(
                    "/sys/class/tty/ttyS0/device", "../../../devices/pnp0/00:04/00:04:0/00:04:0.0");
                a.fichero("/var/lock/LCK..ttyS0", "99999\nkeldan\n");
            },
            "/dev/ttyS0", "BBABB",
            {"left by process 99999", "sudo rm ", "driver is serial: it does not"}},
        {"Missing adapter with brltty installed",
            [&](Arbol &a, EntornoComprobacion &) { a.fichero("/usr/bin/brltty"); }, "/dev/ttyUSB9",
            "PA", {"/dev/ttyUSB9 does not exist", "FTDI, CP210x, CH341"}},
    };
    for (const Caso &c : casos) {
        SCOPED_TRACE(c.nombre);
        Arbol a;
        EntornoComprobacion e = EntornoComprobacion::bajo(a.raiz);
        e.usuario = QStringLiteral("ana");
        c.prepara(a, e);
        if (e.uid != 0)
            ::chmod(QFile::encodeName(e.dev + c.puerto.mid(4)), 0660);
        const std::string r = resumen(ComprobacionPuerto::dispositivo(c.puerto, e));
        std::string estados;
        for (size_t i = 0; i < r.size(); i = r.find('\n', i) + 1)
            estados += r[i];
        EXPECT_EQ(estados, c.estados) << r;
        for (const QString &texto : c.textos)
            EXPECT_NE(r.find(texto.toStdString()), std::string::npos) << texto.toStdString() << r;
    }
}

// A free port on 127.0.0.1 that nothing listens on.
quint16 puertoLibre()
{
    QTcpServer s;
    return s.listen(QHostAddress::LocalHost) ? s.serverPort() : 0;
}

TEST(Comprobacion, NetworkPortsAgainstSer2net)
{
    CncPty cnc;
    Ser2net raw(cnc.ruta(), false), rfc(cnc.ruta(), true);
    ASSERT_TRUE(raw.escucha() && rfc.escucha());
    // A listener whose queue is full lets the next connection hang.
    sockaddr_in local;
    const int lleno = enlazaLocal(local);
    ASSERT_EQ(::listen(lleno, 0), 0);
    QTcpSocket primero;
    primero.connectToHost(QHostAddress::LocalHost, ntohs(local.sin_port));
    ASSERT_TRUE(primero.waitForConnected(1000));
    const QString crudo = QString::number(raw.puerto());
    const struct
    {
        QString puerto;
        std::string esperado; // a finding, whole or its start
        const char *linea = "9600,N,8,1";
    } casos[] = {
        {raw.direccion(), "B: Connected to 127.0.0.1, port " + crudo.toStdString() + ". / \n"},
        {QStringLiteral("tcp://127.0.0.1:%1").arg(ntohs(local.sin_port)),
            "P: No answer from 127.0.0.1:"},
        {QStringLiteral("RFC2217://localhost:%1").arg(rfc.puerto()),
            "B: localhost:" + std::to_string(rfc.puerto())
                + " answers RFC 2217 (COM port control) and took the line settings: speed 19200, "
                  "7 data bits, parity E, 2 stop bits, no flow control on its port.",
            "19200,E,7,2"},
        // ser2net leaves 1.5 stop bits unanswered.
        {rfc.direccion(),
            "P: 127.0.0.1:" + std::to_string(rfc.puerto())
                + " takes COM port control (RFC 2217) but did not accept: 1.5 stop bits (no "
                  "answer).",
            "9600,N,8,1.5"},
        {"rfc2217://127.0.0.1:" + crudo,
            "P: 127.0.0.1:" + crudo.toStdString()
                + " does not answer RFC 2217 (COM port control): this port speaks raw TCP. / use "
                  "tcp://127.0.0.1:"
                + crudo.toStdString() + ", or set the server's port to RFC 2217 (in ser2net: "
                + "accepter: telnet(rfc2217),tcp," + crudo.toStdString() + ")."},
        {QStringLiteral("tcp://127.0.0.1:%1").arg(puertoLibre()),
            "P: 127.0.0.1 refused the connection"},
        {QStringLiteral("tcp://nohay.invalid:5000"), "P: "},
        // Refused as the port refuses them, even where a server listens.
        {QStringLiteral("tcp://cnc"), "P: tcp://cnc is not a network port"},
        {raw.direccion() + '/', "/ is not a network port"},
    };
    const auto comprueba = [](const QString &puerto, const char *linea) {
        EntornoComprobacion e;
        e.linea = *ParametrosLinea::interpreta(QLatin1String(linea));
        e.msRed = 1500;
        ComprobacionPuerto c;
        QSignalSpy fin(&c, &ComprobacionPuerto::terminada);
        QElapsedTimer reloj;
        reloj.start();
        c.inicia(puerto, e);
        // Only one step of a check ever waits here: for its time limit at most.
        return fin.wait(10000) && reloj.elapsed() < 2500 ? resumen(c.hallazgos()) : "too slow";
    };
    for (const auto &c : casos) {
        // ser2net turns a client away while it still closes the last one.
        ASSERT_TRUE(espera([&] { return raw.libre() && rfc.libre(); }));
        const std::string r = comprueba(c.puerto, c.linea);
        EXPECT_NE(r.find(c.esperado), std::string::npos) << c.puerto.toStdString() << "\n" << r;
    }
    // Serving another client, ser2net says so and hangs up.
    QTcpSocket otro;
    otro.connectToHost(QHostAddress::LocalHost, rfc.puerto());
    ASSERT_TRUE(otro.waitForConnected(1000));
    EXPECT_NE(comprueba(rfc.direccion(), "9600,N,8,1")
                  .find(" closed the connection, saying: Port already in use / a server's port "
                        "takes one client at a time"),
        std::string::npos);
    ::close(lleno);
}

} // namespace
