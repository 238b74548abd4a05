#include "comun/cncpty.h"
#include "comun/ficheros.h"
#include "comun/junta.h"
#include "comun/ser2net.h"
#include "dnc/lineacnc.h"
#include "port/bloqueopuerto.h"
#include "port/mscomm.h"
#include "settings/varsfuncsglobales.h"
#include "transfer/registro.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>
#include <memory>
#include <poll.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/un.h>

namespace {

using VarsFuncsGlobales::Texto;

int argc = 1;
char nombre[] = "dnc_test";
char *argv[] = {nombre, nullptr};
QCoreApplication aplicacion(argc, argv);

void escribe(const QString &ruta, const QByteArray &datos)
{
    QFile f(ruta);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(datos) == datos.size());
}

// A program as the CNC punches it (LF) and as it is saved and sent (CR LF).
QByteArray programa(int numero, int lineas, const char *fin = "\n")
{
    QByteArray p = "%" + QByteArray(fin) + "O" + QByteArray::number(numero) + fin;
    for (const QByteArray &l : ::programa(lineas))
        p += l + fin;
    return p + "M30" + fin + "%" + fin;
}

struct Dnc : ::testing::Test
{
    void SetUp() override
    {
        QByteArray ini;
        for (const char *m : {"A", "B", "C", "D"}) {
            const QString carpeta = dir.filePath(m);
            QDir().mkpath(carpeta);
            ini += QStringLiteral("[%1]\nCom=%2\nVt=9600\nPar=N\nBd=8\nBs=1\nServicio=Si\n"
                                  "DirRecepcion=%3\n")
                       .arg(m, lineas[*m - 'A'].ruta, carpeta)
                       .toUtf8();
        }
        escribe(dir.filePath("MAQUINAS.INI"), ini + "[Z]\nCom=/dev/null\n");
        VarsFuncsGlobales::EstableceDirectorioPrograma(dir.path());
    }
    // keldan-dnc with the arguments; its exit status.
    int dnc(const QStringList &args, QByteArray *salida = nullptr, QString config = {})
    {
        QProcess p;
        comoNadie(p);
        p.start(
            KELDAN_DNC, QStringList {"--config", config.isEmpty() ? dir.path() : config} + args);
        const bool fin = espera([&] { return p.state() == QProcess::NotRunning; }, 30000);
        if (salida)
            *salida = p.readAllStandardOutput() + p.readAllStandardError();
        return fin ? p.exitCode() : -1;
    }
    // Waits until status says the text on the machine's line.
    bool estado(const char *maquina, const QString &texto, const QString &config = {})
    {
        return espera(
            [&] {
                QByteArray s;
                dnc({"status"}, &s, config);
                for (const QByteArray &l : s.split('\n'))
                    if (l.startsWith(maquina + QByteArray("\t")) && l.contains(texto.toUtf8()))
                        return true;
                return false;
            },
            15000);
    }
    // A machine's section on line i; extra keys after.
    QByteArray maquina(const char *nombre, int i, const char *extra = "Servicio=Si\n")
    {
        return QStringLiteral("[%1]\nCom=%2\nVt=9600\nPar=N\nBd=8\nBs=1\nDirRecepcion=%3\n")
                   .arg(nombre, lineas[i].ruta, dir.path())
                   .toUtf8()
            + extra;
    }
    QProcess *sirve(const QString &config = {})
    {
        auto *p = new QProcess;
        comoNadie(*p);
        p->start(KELDAN_DNC, {"--config", config.isEmpty() ? dir.path() : config, "serve"});
        return p;
    }
    // Run as nobody where the tests run as root, so that a folder's
    // permissions apply; the machines' lines are opened to it.
    bool nadie = false;
    void comoNadie(QProcess &p)
    {
        if (!nadie || ::geteuid() != 0)
            return;
        for (const LineaCnc &l : lineas)
            ::chmod(QFile::encodeName(l.ruta).constData(), 0666);
        ::chmod(QFile::encodeName(dir.path()).constData(), 0777);
        p.setChildProcessModifier([] {
            if (::setgid(65534) != 0 || ::setuid(65534) != 0)
                ::_exit(2);
        });
    }
    static void senal(QProcess &p, int s) { ::kill(pid_t(p.processId()), s); }
    static bool fin(QProcess &p, int ms = 20000)
    {
        return espera([&] { return p.state() == QProcess::NotRunning; }, ms);
    }
    QList<EntradaRegistro> registro()
    {
        return RegistroTransferencias(dir.filePath("KELDAN.LOG")).lee().entradas;
    }
    QTemporaryDir dir;
    LineaCnc lineas[4];
};

// A CNC that lets a few characters through now and then, far slower than
// the line: 50 ms of every 450, holding the rest with DC3.
struct CncLento : QObject
{
    explicit CncLento(int maestro) : fd(maestro)
    {
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
        connect(&latido, &QTimer::timeout, this, [this] {
            char buf[4096];
            for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) > 0;)
                recibido.append(buf, n);
            const int f = ++paso % 9;
            if (f == 1 || f == 2) [[maybe_unused]]
                const ssize_t n = ::write(fd, f == 1 ? "\x11" : "\x13", 1);
        });
        latido.start(50);
    }
    int fd;
    int paso = 0;
    QByteArray recibido;
    QTimer latido;
};

TEST_F(Dnc, ServesEveryMachineAtOnceAnswersRequestsAndStopsCleanly)
{
    // The window holds D: the service names it and takes D once it is free.
    MSComm ventana;
    ventana.setDispositivo(lineas[3].ruta);
    ASSERT_TRUE(ventana.setPortOpen(true));
    EXPECT_EQ(dnc({"status"}), 3); // no service yet
    QProcess servicio;
    servicio.start(KELDAN_DNC, {"--config", dir.path(), "serve"});
    ASSERT_TRUE(estado("D", "in use by dnc_test, PID " + QString::number(getpid())));
    ventana.setPortOpen(false);
    ASSERT_TRUE(estado("D", "listening"));

    // The service's port is told to the window, naming the holder.
    ventana.setDispositivo(lineas[0].ruta);
    EXPECT_FALSE(ventana.setPortOpen(true));
    EXPECT_TRUE(
        ventana.ultimoError().contains("keldan-dnc, PID " + QString::number(servicio.processId())))
        << ventana.ultimoError().toStdString();

    // A and B punch programs at once while C is sent one on command; B then
    // asks for a program it gets back, and for one that is not there.
    escribe(dir.filePath("a.nc"), programa(1001, 40));
    escribe(dir.filePath("b.nc"), programa(2002, 40));
    escribe(dir.filePath("c.nc"), programa(3003, 40));
    escribe(dir.filePath("B/O77.Nc"), programa(77, 5, "\r\n"));
    escribe(dir.filePath("pide.nc"), "%\n(SEND o77)\n%\n");
    escribe(dir.filePath("pide2.nc"), "%\n(SEND O99)\n%\n");
    std::unique_ptr<QProcess> a(lineas[0].cnc(KELDAN_CNC, {"--send", dir.filePath("a.nc")}));
    std::unique_ptr<QProcess> b(lineas[1].cnc(KELDAN_CNC, {"--send", dir.filePath("b.nc")}));
    std::unique_ptr<QProcess> c(lineas[2].cnc(KELDAN_CNC, {"--receive", dir.filePath("c.out")}));
    EXPECT_EQ(dnc({"send", "c", dir.filePath("c.nc")}), 0);
    ASSERT_TRUE(c->waitForFinished(10000));
    EXPECT_EQ(c->exitCode(), 0);
    EXPECT_EQ(leeBytes(dir.filePath("c.out")), programa(3003, 40, "\r\n"));
    ASSERT_TRUE(espera([&] { return QFile::exists(dir.filePath("B/O2002.TXT")); }, 10000));
    b.reset(lineas[1].cnc(KELDAN_CNC, {"--send", dir.filePath("pide.nc")}));
    ASSERT_TRUE(b->waitForFinished(10000));
    b.reset(lineas[1].cnc(KELDAN_CNC, {"--receive", dir.filePath("b.out")}));
    ASSERT_TRUE(b->waitForFinished(10000));
    EXPECT_EQ(leeBytes(dir.filePath("b.out")), programa(77, 5, "\r\n"));
    b.reset(lineas[1].cnc(KELDAN_CNC, {"--send", dir.filePath("pide2.nc")}));
    ASSERT_TRUE(b->waitForFinished(10000));
    ASSERT_TRUE(estado("B", "O99 failed (Requested program O99 is not in " + dir.filePath("B")));
    // Saved as the window's continuous receive saves: the frame's last line end too.
    EXPECT_EQ(leeBytes(dir.filePath("A/O1001.TXT")), programa(1001, 40, "\r\n") + "\r\n");
    EXPECT_EQ(leeBytes(dir.filePath("B/O2002.TXT")), programa(2002, 40, "\r\n") + "\r\n");
    EXPECT_EQ(QDir(dir.filePath("A")).entryList(QDir::Files).size(), 1);
    EXPECT_EQ(QDir(dir.filePath("B")).entryList(QDir::Files).size(), 2);

    // A CNC that holds the line for good (it never takes a character): stop cuts the send.
    c.reset(lineas[3].cnc(
        KELDAN_CNC, {"--receive", dir.filePath("d.out"), "--consume", "0", "--overrun", "0"}));
    QProcess retenido;
    retenido.start(KELDAN_DNC, {"--config", dir.path(), "send", "D", dir.filePath("c.nc")});
    ASSERT_TRUE(estado("D", "sending"));
    QThread::msleep(1000);
    EXPECT_EQ(dnc({"stop", "D"}), 0);
    ASSERT_TRUE(retenido.waitForFinished(30000));
    EXPECT_EQ(retenido.exitCode(), 1);
    EXPECT_TRUE(retenido.readAllStandardError().contains("D: incomplete"));

    // C's device vanishes: A goes on receiving.
    lineas[2].cierra();
    ASSERT_TRUE(estado("C", "port failed"));
    escribe(dir.filePath("a.nc"), programa(1002, 400));
    a.reset(lineas[0].cnc(KELDAN_CNC, {"--send", dir.filePath("a.nc")}));
    ASSERT_TRUE(estado("A", "receiving"));

    // Stopped mid-program: what came is kept apart, every port is let go.
    QThread::msleep(1000);
    ::kill(pid_t(servicio.processId()), SIGTERM);
    ASSERT_TRUE(servicio.waitForFinished(10000));
    EXPECT_EQ(servicio.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(servicio.exitCode(), 0);
    const QByteArray parte = leeBytes(dir.filePath("A/O1002-INCOMPLETO.TXT"));
    EXPECT_GT(parte.count('\n'), 10);
    EXPECT_TRUE(programa(1002, 400, "\r\n").startsWith(parte.chopped(2)));
    EXPECT_TRUE(ventana.setPortOpen(true));
    ventana.setPortOpen(false);
    a->kill(), a->waitForFinished();

    // Without the service, send does the work itself; all went into one log.
    c.reset(lineas[3].cnc(KELDAN_CNC, {"--receive", dir.filePath("d.out")}));
    EXPECT_EQ(dnc({"send", "D", dir.filePath("c.nc")}), 0);
    ASSERT_TRUE(c->waitForFinished(10000));
    EXPECT_EQ(leeBytes(dir.filePath("d.out")), programa(3003, 40, "\r\n"));
    const auto log = RegistroTransferencias(dir.filePath("KELDAN.LOG")).lee();
    EXPECT_EQ(log.ilegibles, 0);
    EXPECT_EQ(log.entradas.size(), 8);
}

TEST_F(Dnc, StoppingTheServiceLetsASendFinishOrCutsItWithoutItsEnd)
{
    // A's CNC reads at the line's pace and gets its program whole; B's reads
    // so slowly that its send is cut, without "%" and DC4, so that the
    // control sees a program cut short.
    escribe(dir.filePath("MAQUINAS.INI"), maquina("A", 0) + maquina("B", 1));
    escribe(dir.filePath("p.nc"), programa(1001, 120));
    std::unique_ptr<QProcess> servicio(sirve());
    ASSERT_TRUE(estado("A", "listening") && estado("B", "listening"));
    std::unique_ptr<QProcess> a(
        lineas[0].cnc(KELDAN_CNC, {"--receive", dir.filePath("a.out"), "--consume", "5000"}));
    CncLento b(lineas[1].maestro);
    QProcess envioA, envioB;
    envioA.start(KELDAN_DNC, {"--config", dir.path(), "send", "A", dir.filePath("p.nc")});
    envioB.start(KELDAN_DNC, {"--config", dir.path(), "send", "B", dir.filePath("p.nc")});
    ASSERT_TRUE(estado("A", "sending") && estado("B", "sending"));
    senal(*servicio, SIGTERM);
    ASSERT_TRUE(fin(envioA) && fin(envioB) && fin(*servicio) && fin(*a));
    EXPECT_EQ(envioA.exitCode(), 0);
    EXPECT_EQ(leeBytes(dir.filePath("a.out")), programa(1001, 120, "\r\n"));
    EXPECT_EQ(envioB.exitCode(), 1);
    EXPECT_TRUE(envioB.readAllStandardError().contains(
        "B: incomplete: " + Texto("DncParadaServicio").toUtf8()));
    EXPECT_FALSE(b.recibido.contains('\x14') || b.recibido.contains("M30")) << b.recibido.size();
    EXPECT_EQ(servicio->exitCode(), 0);
    const auto log = registro();
    ASSERT_EQ(log.size(), 2);
    for (const EntradaRegistro &e : log)
        EXPECT_EQ(e.resultado,
            e.maquina == "A" ? ResultadoTransferencia::Estado::Completa
                             : ResultadoTransferencia::Estado::SinFin);
}

TEST_F(Dnc, ADirectSendEndsAHoldBeyondItsLimitAndIsLoggedWhenEnded)
{
    // No service. C may be held 2 s, D as long as it likes; their CNCs, in
    // alarm, take a buffer's worth and never another character.
    escribe(dir.filePath("MAQUINAS.INI"),
        maquina("C", 2, "RetencionMax=2\n") + maquina("D", 3, "RetencionMax=0\n"));
    escribe(dir.filePath("p.nc"), programa(1001, 100));
    escribe(dir.filePath("vacio.nc"), "\r\n \t\r\n");
    QByteArray salida;
    EXPECT_EQ(dnc({"send", "C", dir.filePath("vacio.nc")}, &salida), 2);
    EXPECT_TRUE(salida.contains("holds no program")) << salida.constData();
    std::unique_ptr<QProcess> c(lineas[2].cnc(
        KELDAN_CNC, {"--receive", dir.filePath("c.out"), "--consume", "0", "--overrun", "0"}));
    std::unique_ptr<QProcess> d(lineas[3].cnc(
        KELDAN_CNC, {"--receive", dir.filePath("d.out"), "--consume", "0", "--overrun", "0"}));
    EXPECT_EQ(dnc({"send", "C", dir.filePath("p.nc")}, &salida), 1);
    EXPECT_TRUE(salida.contains("C: not complete: " + Texto("DncRetencionMax").arg(2).toUtf8()))
        << salida.constData();
    // Ended by SIGTERM: what went is logged.
    QProcess envio;
    envio.start(KELDAN_DNC, {"--config", dir.path(), "send", "D", dir.filePath("p.nc")});
    ASSERT_FALSE(fin(envio, 1500));
    senal(envio, SIGTERM);
    ASSERT_TRUE(fin(envio));
    EXPECT_EQ(envio.exitCode(), 1);
    const auto log = registro();
    ASSERT_EQ(log.size(), 2);
    const int sinFin = int(ResultadoTransferencia::Estado::SinFin);
    EXPECT_EQ(junta(log[0].maquina, int(log[0].resultado), log[1].maquina, int(log[1].resultado),
                  log[1].motivo.startsWith(Texto("DncParadaServicio"))),
        junta("C", sinFin, "D", sinFin, true));
    c->kill(), d->kill(), c->waitForFinished(), d->waitForFinished();
}

// A client of the service's socket that says nothing.
int conecta(const QString &ruta)
{
    const int s = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un a {AF_UNIX, {}};
    qstrncpy(a.sun_path, QFile::encodeName(ruta).constData(), sizeof a.sun_path);
    ::connect(s, reinterpret_cast<sockaddr *>(&a), sizeof a);
    return s;
}

TEST_F(Dnc, TheControlSocketOutlivesFloodsAndLackOfDescriptorsAndTellsOnlyWhatIsTrue)
{
    // A served, its last transfer logged before the start; N on a network
    // port nobody answers yet; Z not served, on D's line. 64 descriptors.
    sockaddr_in red;
    const int servidorN = enlazaLocal(red);
    escribe(dir.filePath("MAQUINAS.INI"),
        maquina("A", 0)
            + QStringLiteral("[N]\nCom=tcp://127.0.0.1:%1\nServicio=Si\nDirRecepcion=%2\n")
                  .arg(ntohs(red.sin_port))
                  .arg(dir.path())
                  .toUtf8()
            + maquina("Z", 3, ""));
    EntradaRegistro anterior;
    anterior.inicio = QDateTime::currentDateTime().addDays(-1);
    anterior.sentido = EntradaRegistro::Sentido::Recepcion;
    anterior.maquina = "A";
    anterior.fichero = dir.filePath("O55.TXT");
    ASSERT_TRUE(RegistroTransferencias(dir.filePath("KELDAN.LOG")).anade(anterior));
    QProcess servicio;
    servicio.setChildProcessModifier([] {
        const rlimit r {64, 64};
        ::setrlimit(RLIMIT_NOFILE, &r);
    });
    servicio.start(KELDAN_DNC, {"--config", dir.path(), "serve"});
    QElapsedTimer reloj;
    reloj.start();
    ASSERT_TRUE(estado("A", "listening"));
    QByteArray s;
    dnc({"status"}, &s);
    EXPECT_TRUE(s.contains("receive O55.TXT complete")) << s.constData();

    // Z is sent to directly.
    escribe(dir.filePath("p.nc"), programa(7, 10));
    std::unique_ptr<QProcess> z(
        lineas[3].cnc(KELDAN_CNC, {"--receive", dir.filePath("z.out"), "--consume", "5000"}));
    EXPECT_EQ(dnc({"send", "Z", dir.filePath("p.nc")}), 0);
    ASSERT_TRUE(fin(*z));
    EXPECT_EQ(leeBytes(dir.filePath("z.out")), programa(7, 10, "\r\n"));

    // An endless request line costs its connection; a hundred idle clients
    // cost the oldest of them theirs, and status is answered.
    const QString ruta = dir.filePath("keldan-dnc.sock");
    const int largo = conecta(ruta);
    const QByteArray relleno(1 << 20, 'x');
    qint64 enviados = 0;
    for (pollfd p {largo, POLLOUT, 0}; enviados < 200 << 20 && ::poll(&p, 1, 5000) == 1;) {
        const ssize_t n = ::send(largo, relleno.constData(), relleno.size(), MSG_NOSIGNAL);
        if (n < 0)
            break;
        enviados += n;
    }
    ::close(largo);
    EXPECT_LT(enviados, 16 << 20);
    std::vector<int> clientes;
    for (int i = 0; i < 100; ++i)
        clientes.push_back(conecta(ruta));
    EXPECT_EQ(dnc({"status"}, &s), 0) << s.constData();

    // A request punched with a terminal's escapes is shown written out.
    escribe(dir.filePath("pide.nc"), "%\n(SEND O\x1b]0;PWNED\x07X)\n%\n");
    std::unique_ptr<QProcess> a(lineas[0].cnc(KELDAN_CNC, {"--send", dir.filePath("pide.nc")}));
    ASSERT_TRUE(estado("A", "send O\\x1B]0;PWNED\\x07X failed"));
    dnc({"status"}, &s);
    EXPECT_FALSE(s.contains('\x1b') || s.contains('\x07'));
    for (const int c : clientes)
        ::close(c);

    // Two retries of N: its failure told once; "open again" only once it is.
    espera([] { return false; }, int(11500 - reloj.elapsed()));
    listen(servidorN, 4);
    QByteArray diario;
    EXPECT_TRUE(espera(
        [&] { return (diario += servicio.readAllStandardError()).contains("N: port open again"); },
        10000));
    EXPECT_EQ(junta(diario.count("\nN: "), diario.count("open again")), junta(2, 1))
        << diario.constData();

    // Out of descriptors, the listener closes itself; it is made again.
    const int usados = int(QDir(QStringLiteral("/proc/%1/fd").arg(servicio.processId()))
                               .entryList(QDir::NoDotAndDotDot | QDir::AllEntries)
                               .size());
    rlimit r {rlim_t(usados + 2), 64};
    ASSERT_EQ(::prlimit(pid_t(servicio.processId()), RLIMIT_NOFILE, &r, nullptr), 0);
    for (int i = 0; i < 8; ++i)
        clientes[i] = conecta(ruta);
    espera([] { return false; }, 500);
    r.rlim_cur = 64;
    ::prlimit(pid_t(servicio.processId()), RLIMIT_NOFILE, &r, nullptr);
    for (int i = 0; i < 8; ++i)
        ::close(clientes[i]);
    EXPECT_TRUE(estado("A", "listening"));
    senal(servicio, SIGTERM);
    ASSERT_TRUE(fin(servicio));
    diario += servicio.readAllStandardError();
    EXPECT_TRUE(diario.contains("listening again on " + ruta.toUtf8())) << diario.constData();
    EXPECT_FALSE(diario.contains('\x1b') || diario.contains('\x07'));
    EXPECT_EQ(servicio.exitCode(), 0);
    ::close(servidorN);
}

TEST_F(Dnc, AReadOnlyOrDeepSettingsFolderIsServedAndSighupReadsTheMachinesAgain)
{
    // 120 characters and more, read-only: the socket goes to a short path.
    nadie = true;
    const QString ajustes = dir.filePath(QString(100, 'k'));
    QDir().mkpath(ajustes);
    escribe(ajustes + "/MAQUINAS.INI", maquina("A", 0));
    ::chmod(QFile::encodeName(ajustes).constData(), 0555);
    std::unique_ptr<QProcess> servicio(sirve(ajustes));
    ASSERT_TRUE(estado("A", "listening", ajustes));

    // Read again while A receives: B is added, A's program comes in whole.
    ::chmod(QFile::encodeName(ajustes).constData(), 0755);
    escribe(dir.filePath("p.nc"), programa(1001, 120));
    std::unique_ptr<QProcess> a(lineas[0].cnc(KELDAN_CNC, {"--send", dir.filePath("p.nc")}));
    ASSERT_TRUE(estado("A", "receiving", ajustes));
    escribe(ajustes + "/MAQUINAS.INI", maquina("A", 0) + maquina("B", 1));
    senal(*servicio, SIGHUP);
    ASSERT_TRUE(estado("B", "listening", ajustes));
    ASSERT_TRUE(espera([&] { return QFile::exists(dir.filePath("O1001.TXT")); }, 10000));
    EXPECT_TRUE(leeBytes(dir.filePath("O1001.TXT")).startsWith(programa(1001, 120, "\r\n")));
    senal(*servicio, SIGTERM);
    ASSERT_TRUE(fin(*servicio));
    EXPECT_EQ(servicio->exitCode(), 0);
}

TEST(Bloqueo, AnotherProgramsLockIsRespectedAStaleOneTakenAndOursReadByAll)
{
    LineaCnc linea;
    const QString lck = BloqueoPuerto::rutaBloqueo(linea.ruta);
    QProcess vivo, muerto;
    vivo.start("sleep", {"30"});
    muerto.start("true");
    ASSERT_TRUE(vivo.waitForStarted() && muerto.waitForStarted());
    const qint64 ido = muerto.processId();
    ASSERT_TRUE(muerto.waitForFinished());
    MSComm puerto;
    puerto.setDispositivo(linea.ruta);
    // As minicom writes it: the PID in ten characters and a line end.
    for (const qint64 pid : {vivo.processId(), ido}) {
        escribe(lck, QByteArray::number(pid).rightJustified(10, ' ') + '\n');
        EXPECT_EQ(puerto.setPortOpen(true), pid == ido);
        if (pid == vivo.processId()) {
            EXPECT_TRUE(puerto.ultimoError().endsWith(QStringLiteral("sleep, PID %1.").arg(pid)))
                << puerto.ultimoError().toStdString();
        }
    }
    EXPECT_EQ(leeBytes(lck).left(11), QByteArray::number(getpid()).rightJustified(10, ' ') + '\n');
    puerto.setPortOpen(false);
    EXPECT_FALSE(QFile::exists(lck));
    vivo.kill(), vivo.waitForFinished();
}

} // namespace
