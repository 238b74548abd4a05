// The port check over small trees standing for /dev, /sys, /proc, /etc and
// the lock folders, and against ser2net on 127.0.0.1 for network ports.

#include "transfer/comprobacionpuerto.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <pty.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int argc = 1;
char nombre[] = "transfer_comprobacion_test";
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
                e.velocidad = 110;
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

QList<Hallazgo> comprueba(const QString &puerto)
{
    EntornoComprobacion e;
    e.msRed = 2000;
    ComprobacionPuerto c;
    QSignalSpy fin(&c, &ComprobacionPuerto::terminada);
    c.inicia(puerto, e);
    EXPECT_TRUE(fin.wait(10000));
    return c.hallazgos();
}

TEST(Comprobacion, NetworkPortsAgainstSer2net)
{
    int maestro = -1, esclavo = -1;
    ASSERT_EQ(openpty(&maestro, &esclavo, nullptr, nullptr, nullptr), 0);
    const QString pty = QString::fromLocal8Bit(ttyname(esclavo));
    const quint16 raw = puertoLibre(), rfc = puertoLibre();
    QTemporaryDir dir;
    QProcess ser2net;
    const QString conexion = QStringLiteral(
        "connection: &%1#  accepter: %2tcp,127.0.0.1,%3#  connector: serialdev,%4,9600n81,local#");
    ser2net.start(QStringLiteral("ser2net"),
        {"-n", "-u", "-P", dir.filePath("ser2net.pid"), "-Y",
            conexion.arg("a", "").arg(raw).arg(pty)
                + conexion.arg("b", "telnet(rfc2217),").arg(rfc).arg(pty)});
    ASSERT_TRUE(ser2net.waitForStarted());
    QTcpSocket listo; // ser2net listens a moment after it starts
    for (int i = 0; i < 50 && !listo.waitForConnected(100); ++i, ::usleep(100000))
        listo.connectToHost(QHostAddress::LocalHost, rfc);
    // A listener whose queue is full lets the next connection hang.
    const int lleno = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in local {AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t largo = sizeof local;
    ASSERT_EQ(::bind(lleno, reinterpret_cast<sockaddr *>(&local), largo) + ::listen(lleno, 0)
            + ::getsockname(lleno, reinterpret_cast<sockaddr *>(&local), &largo),
        0);
    QTcpSocket primero;
    primero.connectToHost(QHostAddress::LocalHost, ntohs(local.sin_port));
    ASSERT_TRUE(primero.waitForConnected(1000));
    const std::pair<QString, std::string> casos[] = {
        {QStringLiteral("tcp://127.0.0.1:%1").arg(raw), "B: Connected to 127.0.0.1, port"},
        {QStringLiteral("tcp://127.0.0.1:%1").arg(ntohs(local.sin_port)),
            "P: No answer from 127.0.0.1:"},
        {QStringLiteral("RFC2217://localhost:%1").arg(rfc), "B: The name localhost was found"},
        {QStringLiteral("tcp://127.0.0.1:%1").arg(puertoLibre()),
            "P: 127.0.0.1 refused the connection"},
        {QStringLiteral("tcp://nohay.invalid:5000"), "P: "},
        {QStringLiteral("tcp://cnc"), "P: tcp://cnc is not a network port"},
    };
    for (const auto &[puerto, esperado] : casos) {
        const std::string r = resumen(comprueba(puerto));
        EXPECT_EQ(r.find(esperado), 0u) << puerto.toStdString() << "\n" << r;
    }
    ser2net.kill();
    ser2net.waitForFinished();
    ::close(lleno);
    ::close(maestro);
    ::close(esclavo);
}

} // namespace
