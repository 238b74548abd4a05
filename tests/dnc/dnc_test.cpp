#include "comun/cncpty.h"
#include "comun/ficheros.h"
#include "comun/junta.h"
#include "comun/partcp.h"
#include "comun/ser2net.h"
#include "comun/servidorftp.h"
#include "dnc/lineacnc.h"
#include "dnc/maquinadnc.h"
#include "port/bloqueopuerto.h"
#include "port/mscomm.h"
#include "settings/varsfuncsglobales.h"
#include "transfer/registro.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <QThread>

#include <atomic>
#include <csignal>
#include <memory>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>

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
    // keldan-dnc on `config` (dir by default); as nobody when `nadie` and the
    // tests run as root, so that a folder's permissions apply.
    QProcess *lanza(const QStringList &args, const QString &config = {})
    {
        auto *p = new QProcess;
        if (nadie && ::geteuid() == 0) {
            for (const QString &r : {lineas[0].ruta, lineas[1].ruta, dir.path()})
                ::chmod(QFile::encodeName(r).constData(), 0777);
            p->setChildProcessModifier([] {
                if (::setgid(65534) != 0 || ::setuid(65534) != 0)
                    ::_exit(2);
            });
        }
        p->setWorkingDirectory(dir.path());
        p->setProcessEnvironment(entorno);
        p->start(
            KELDAN_DNC, QStringList {"--config", config.isEmpty() ? dir.path() : config} + args);
        return p;
    }
    int dnc(const QStringList &args, QByteArray *salida = nullptr, const QString &config = {})
    {
        std::unique_ptr<QProcess> p(lanza(args, config));
        const bool fin = Dnc::fin(*p, 30000);
        if (salida)
            *salida = p->readAllStandardOutput() + p->readAllStandardError();
        return fin ? p->exitCode() : -1;
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
    static bool fin(QProcess &p, int ms = 20000)
    {
        return espera([&] { return p.state() == QProcess::NotRunning; }, ms);
    }
    bool nadie = false;
    QProcessEnvironment entorno = QProcessEnvironment::systemEnvironment();
    // The log's records: machine, file, result, hundreds of MB, reason.
    QStringList registro()
    {
        QStringList r;
        for (const EntradaRegistro &e :
            RegistroTransferencias(dir.filePath("KELDAN.LOG")).lee().entradas)
            r.append(junta(e.maquina, QFileInfo(e.fichero).fileName(), int(e.resultado),
                e.bytes / 100000000, e.motivo));
        return r;
    }
    QTemporaryDir dir;
    LineaCnc lineas[4];
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
    // asks for a program it gets back, and for one that is not there. The
    // receiving CNCs' buffers take a whole program: a CNC that wakes late on
    // a busy machine then neither overflows nor raises its alarm.
    escribe(dir.filePath("a.nc"), programa(1001, 40));
    escribe(dir.filePath("b.nc"), programa(2002, 40));
    escribe(dir.filePath("c.nc"), programa(3003, 40));
    escribe(dir.filePath("B/O77.Nc"), programa(77, 5, "\r\n"));
    escribe(dir.filePath("pide.nc"), "%\n(SEND o77)\n%\n");
    escribe(dir.filePath("pide2.nc"), "%\n(SEND O99)\n%\n");
    std::unique_ptr<QProcess> a(lineas[0].cnc(KELDAN_CNC, {"--send", dir.filePath("a.nc")}));
    std::unique_ptr<QProcess> b(lineas[1].cnc(KELDAN_CNC, {"--send", dir.filePath("b.nc")}));
    std::unique_ptr<QProcess> c(
        lineas[2].cnc(KELDAN_CNC, {"--receive", dir.filePath("c.out"), "--buffer", "4096"}));
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
    // Saved as the window's continuous receive saves: as the CNC sent it.
    EXPECT_EQ(leeBytes(dir.filePath("A/O1001.TXT")), programa(1001, 40, "\r\n"));
    EXPECT_EQ(leeBytes(dir.filePath("B/O2002.TXT")), programa(2002, 40, "\r\n"));
    EXPECT_EQ(QDir(dir.filePath("A")).entryList(QDir::Files).size(), 1);
    EXPECT_EQ(QDir(dir.filePath("B")).entryList(QDir::Files).size(), 2);

    // A CNC that holds the line for good: stop cuts the send.
    c.reset(lineas[3].cnc(
        KELDAN_CNC, {"--receive", dir.filePath("d.out"), "--hold-at", "100", "--overrun", "0"}));
    QProcess retenido;
    retenido.start(KELDAN_DNC, {"--config", dir.path(), "send", "D", dir.filePath("c.nc")});
    ASSERT_TRUE(
        espera([&] { return c->canReadLine() && c->readLine().startsWith("holding"); }, 15000));
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
    c.reset(lineas[3].cnc(KELDAN_CNC, {"--receive", dir.filePath("d.out"), "--buffer", "4096"}));
    EXPECT_EQ(dnc({"send", "D", dir.filePath("c.nc")}), 0);
    ASSERT_TRUE(c->waitForFinished(10000));
    EXPECT_EQ(leeBytes(dir.filePath("d.out")), programa(3003, 40, "\r\n"));
    const auto log = RegistroTransferencias(dir.filePath("KELDAN.LOG")).lee();
    EXPECT_EQ(log.ilegibles, 0);
    EXPECT_EQ(log.entradas.size(), 8);
}

// One service for a machine on a serial line and one on a control's FTP
// server: programs come in from both, a send goes up to the FTP one (directly
// and through the service, a name it has replaced only with --replace), and
// the FTP server going away costs the serial machine nothing.
TEST_F(Dnc, ServesASerialAndAnFtpMachineAtOnce)
{
    ServidorFtp ftp;
    ASSERT_TRUE(ftp.arrancado());
    // The password in the user's own .netrc, as FTP clients read it.
    const QString casa = dir.filePath("casa");
    QDir().mkpath(casa);
    ASSERT_TRUE(QFile::copy(ftp.netrc(), casa + "/.netrc"));
    QFile(casa + "/.netrc").setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    entorno.insert("HOME", casa);
    QDir().mkpath(dir.filePath("F"));
    escribe(dir.filePath("MAQUINAS.INI"),
        maquina("A", 0)
            + QStringLiteral("[F]\nCom=%1\nServicio=Si\nSondeo=1\nNombreO=Si\n"
                             "Verificar=Si\nFinBloque=Lf\nDirRecepcion=%2\n")
                  .arg(ftp.com(), dir.filePath("F"))
                  .toUtf8());
    escribe(dir.filePath("p.nc"), programa(1234, 3, "\r\n"));
    escribe(ftp.carpeta() + "/O0001", programa(1, 2)); // there before: not taken

    // Without the service, send does the work itself.
    QByteArray salida;
    EXPECT_EQ(dnc({"send", "F", dir.filePath("p.nc")}, &salida), 0) << salida.toStdString();
    EXPECT_EQ(leeBytes(ftp.carpeta() + "/O1234"), programa(1234, 3));

    std::unique_ptr<QProcess> servicio(lanza({"serve"}));
    ASSERT_TRUE(estado("A", "listening"));
    ASSERT_TRUE(estado("F", "listening, last look"));
    escribe(ftp.carpeta() + "/O0002", programa(2, 2, "\r\n"));
    escribe(dir.filePath("a.nc"), programa(1001, 40));
    std::unique_ptr<QProcess> a(lineas[0].cnc(KELDAN_CNC, {"--send", dir.filePath("a.nc")}));
    EXPECT_EQ(dnc({"send", "F", dir.filePath("p.nc")}, &salida), 1);
    EXPECT_TRUE(salida.contains("already has O1234") && salida.contains("--replace"))
        << salida.toStdString();
    escribe(dir.filePath("p.nc"), programa(1234, 5, "\r\n"));
    EXPECT_EQ(dnc({"send", "F", dir.filePath("p.nc"), "--replace"}, &salida), 0)
        << salida.toStdString();
    EXPECT_EQ(leeBytes(ftp.carpeta() + "/O1234"), programa(1234, 5));
    const auto llega = [&](const char *ruta, const QByteArray &datos) {
        return espera([&] { return leeBytes(dir.filePath(ruta)) == datos; }, 20000);
    };
    EXPECT_TRUE(llega("F/O2.TXT", programa(2, 2, "\r\n")));
    EXPECT_TRUE(llega("O1001.TXT", programa(1001, 40, "\r\n")));
    EXPECT_EQ(QDir(dir.filePath("F")).entryList(QDir::Files), QStringList {"O2.TXT"});

    // The FTP server goes away: said in status, A goes on.
    ftp.para();
    ASSERT_TRUE(estado("F", "server failed ("));
    escribe(dir.filePath("a.nc"), programa(1002, 4));
    a.reset(lineas[0].cnc(KELDAN_CNC, {"--send", dir.filePath("a.nc")}));
    EXPECT_TRUE(llega("O1002.TXT", programa(1002, 4, "\r\n")));
    EXPECT_EQ(dnc({"send", "F", dir.filePath("p.nc"), "--replace"}, &salida), 1);

    ::kill(pid_t(servicio->processId()), SIGTERM);
    ASSERT_TRUE(servicio->waitForFinished(10000));
    EXPECT_EQ(servicio->exitCode(), 0);
    const QStringList r = registro();
    EXPECT_EQ(r.filter("F|").size(), 5) << r.join("\n").toStdString();
    EXPECT_TRUE(r.contains(junta("F", "O2.TXT", 0, 0, ""))) << r.join("\n").toStdString();
    EXPECT_EQ(r.filter("A|O100").size(), 2);
    a->kill(), a->waitForFinished();
}

TEST_F(Dnc, AStopOrAHeldLineEndsASendWholeOrWithoutItsEndAndLogged)
{
    // Served: A, whose CNC reads at the line's pace and holds the line near
    // the end until the service is told to stop (a busy machine may send
    // slower than the line: the rest then still goes within the time it is
    // given), and B, whose CNC takes 100 characters a second: too slow for
    // its send to end in time, it is cut without "%" and DC4 (and
    // keldan-cnc, no DC4, goes on waiting).
    // Not served, so sent to directly: C and D, whose CNCs (in alarm) take a
    // buffer's worth and no more; C may be held 2 s, D as long as it likes.
    escribe(dir.filePath("MAQUINAS.INI"),
        maquina("A", 0) + maquina("B", 1) + maquina("C", 2, "RetencionMax=2\n")
            + maquina("D", 3, "RetencionMax=0\n"));
    escribe(dir.filePath("p.nc"), programa(1001, 120));
    escribe(dir.filePath("vacio.nc"), "\r\n \t\r\n");
    std::shared_ptr<QProcess> servicio(lanza({"serve"}));
    QList<std::shared_ptr<QProcess>> cnc, envio;
    for (const char *consumo : {"5000", "100", "0", "0"})
        cnc << std::shared_ptr<QProcess>(lineas[cnc.size()].cnc(KELDAN_CNC,
            {"--receive", dir.filePath("o%1").arg(cnc.size()), "--consume", consumo, "--overrun",
                "0", "--hold-at", cnc.isEmpty() ? "3000" : "0",
                // A's CNC, late awake on a busy machine, must not overflow before it holds.
                "--buffer", cnc.isEmpty() ? "8192" : "256"}));
    ASSERT_TRUE(estado("A", "listening") && estado("B", "listening"));
    QByteArray salida;
    EXPECT_EQ(dnc({"send", "C", dir.filePath("vacio.nc")}, &salida), 2);
    EXPECT_TRUE(salida.contains("holds no program")) << salida.constData();
    for (const char *m : {"A", "B", "C", "D"})
        envio << std::shared_ptr<QProcess>(lanza({"send", m, dir.filePath("p.nc")}));
    QByteArray dichoA;
    ASSERT_TRUE(espera([&] { return (dichoA += cnc[0]->readAll()).contains("holding"); }, 15000))
        << cnc[0]->state() << " " << cnc[0]->exitCode();
    ASSERT_TRUE(estado("B", "sending"));
    ASSERT_FALSE(fin(*envio[3], 1500));
    ::kill(pid_t(servicio->processId()), SIGTERM);
    ::kill(pid_t(envio[3]->processId()), SIGTERM);
    cnc[0]->write("\n");
    for (const auto &p : envio + QList {servicio, cnc[0]})
        ASSERT_TRUE(fin(*p));
    EXPECT_FALSE(fin(*cnc[1], 2000));
    EXPECT_EQ(leeBytes(dir.filePath("o0")), programa(1001, 120, "\r\n"));
    QStringList log; // machine and result; C held for its 2 s, B paused again and again
    for (const auto &e : RegistroTransferencias(dir.filePath("KELDAN.LOG")).lee().entradas)
        log << e.maquina + QString::number(int(e.resultado))
                + (e.maquina == "C" && e.duracionMs < 1900 ? " early" : "")
                + (e.maquina == "B" && e.pausas < 2 ? " once" : "");
    log.sort();
    EXPECT_EQ(junta(envio[0]->exitCode(), envio[1]->exitCode(), envio[2]->exitCode(),
                  envio[3]->exitCode(), servicio->exitCode(), log.join(' ')),
        junta(0, 1, 1, 1, 0, "A0 B3 C3 D3"));
    EXPECT_TRUE(envio[1]->readAllStandardError().contains(Texto("DncParadaServicio").toUtf8()));
    EXPECT_TRUE(
        envio[2]->readAllStandardError().contains(Texto("DncRetencionMax").arg(2).toUtf8()));
    for (const auto &p : cnc)
        p->kill(), p->waitForFinished();
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
    // A served, its last transfer (of two) logged before the start; N on a network
    // port nobody answers yet. 64 descriptors.
    sockaddr_in red;
    const int servidorN = enlazaLocal(red);
    escribe(dir.filePath("MAQUINAS.INI"),
        maquina("A", 0) + "[N]\nServicio=Si\nCom=tcp://127.0.0.1:"
            + QByteArray::number(ntohs(red.sin_port)) + "\n");
    EntradaRegistro e;
    e.maquina = "A", e.fichero = "O54.TXT", e.inicio = QDateTime::currentDateTime();
    ASSERT_TRUE(RegistroTransferencias(dir.filePath("KELDAN.LOG")).anade(e));
    e.fichero = "O55.TXT";
    ASSERT_TRUE(RegistroTransferencias(dir.filePath("KELDAN.LOG")).anade(e));
    std::unique_ptr<QProcess> servicio(lanza({"serve"}));
    const pid_t pid = pid_t(servicio->processId());
    rlimit r {64, 64};
    ::prlimit(pid, RLIMIT_NOFILE, &r, nullptr);
    QElapsedTimer reloj;
    reloj.start();
    ASSERT_TRUE(estado("A", "listening") && estado("A", "send O55.TXT complete"));
    const QString ruta = dir.filePath("keldan-dnc.sock");
    EXPECT_FALSE(QFile::permissions(ruta) & QFileDevice::Permissions(0x0077)); // the user's only

    // A path straight into the socket is taken only absolute, even one that
    // names a file where the service runs.
    escribe(dir.filePath("p.nc"), programa(1, 3));
    QLocalSocket pide;
    pide.connectToServer(ruta);
    pide.write("send\tA\tp.nc\n");
    espera([&] { return pide.state() == QLocalSocket::UnconnectedState; });
    EXPECT_EQ(pide.readAll(), "cannot read p.nc\nexit 2\n");

    // An endless request line costs its connection; a hundred idle clients
    // cost the oldest of them theirs, and status is answered.
    const int largo = conecta(ruta);
    const QByteArray relleno(1 << 20, 'x');
    const timeval plazo {5, 0};
    ::setsockopt(largo, SOL_SOCKET, SO_SNDTIMEO, &plazo, sizeof plazo);
    qint64 enviados = 0;
    for (ssize_t n = 0; n >= 0 && enviados < 200 << 20; enviados += n)
        n = ::send(largo, relleno.constData(), relleno.size(), MSG_NOSIGNAL);
    EXPECT_LT(enviados, 16 << 20);
    std::vector<int> clientes {largo};
    for (int i = 0; i < 100; ++i)
        clientes.push_back(conecta(ruta));
    EXPECT_EQ(dnc({"status"}), 0);

    // A request punched with a terminal's escapes is shown written out.
    escribe(dir.filePath("pide.nc"), "%\n(SEND O\x1b]0;PWNED\x07X)\n%\n");
    std::unique_ptr<QProcess> a(lineas[0].cnc(KELDAN_CNC, {"--send", dir.filePath("pide.nc")}));
    ASSERT_TRUE(estado("A", "send O\\x1B]0;PWNED\\x07X failed"));
    for (const int c : clientes)
        ::close(c);

    // Two retries of N: its failure told once; "open again" only once it is.
    espera([] { return false; }, int(11500 - reloj.elapsed()));
    listen(servidorN, 4);
    QByteArray diario;
    EXPECT_TRUE(espera(
        [&] { return (diario += servicio->readAllStandardError()).contains("N: port open again"); },
        10000));
    EXPECT_EQ(junta(diario.count("\nN: "), diario.count("open again")), junta(2, 1))
        << diario.constData();

    // Out of descriptors, the listener closes itself; it is made again.
    // (Not below those open: poll() refuses more descriptors than the limit.)
    r.rlim_cur = QDir(QStringLiteral("/proc/%1/fd").arg(pid), {}, {}, QDir::System).count() + 2;
    ::prlimit(pid, RLIMIT_NOFILE, &r, nullptr);
    for (int &c : clientes)
        c = conecta(ruta);
    EXPECT_TRUE(espera([&] { return !QFile::exists(ruta); }));
    for (const int c : clientes)
        ::close(c);
    r.rlim_cur = 64;
    ::prlimit(pid, RLIMIT_NOFILE, &r, nullptr);
    EXPECT_TRUE(estado("A", "listening"));
    ::kill(pid, SIGTERM);
    ASSERT_TRUE(fin(*servicio));
    diario += servicio->readAllStandardError();
    EXPECT_TRUE(diario.contains("listening again on " + ruta.toUtf8())) << diario.constData();
    EXPECT_FALSE(diario.contains('\x1b') || diario.contains('\x07'));
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
    std::unique_ptr<QProcess> servicio(lanza({"serve"}, ajustes));
    ASSERT_TRUE(estado("A", "listening", ajustes));

    // Read again while A receives: B is added, A's program comes in whole.
    ::chmod(QFile::encodeName(ajustes).constData(), 0755);
    escribe(dir.filePath("p.nc"), programa(1001, 120));
    std::unique_ptr<QProcess> a(lineas[0].cnc(KELDAN_CNC, {"--send", dir.filePath("p.nc")}));
    ASSERT_TRUE(estado("A", "receiving", ajustes));
    escribe(ajustes + "/MAQUINAS.INI", maquina("A", 0) + maquina("B", 1));
    ::kill(pid_t(servicio->processId()), SIGHUP);
    ASSERT_TRUE(estado("B", "listening", ajustes));
    // The name is taken empty before the text replaces it: wait for the text.
    EXPECT_TRUE(espera(
        [&] { return leeBytes(dir.filePath("O1001.TXT")).startsWith(programa(1001, 120, "\r\n")); },
        10000));
    ::kill(pid_t(servicio->processId()), SIGTERM);
    ASSERT_TRUE(fin(*servicio));
    EXPECT_EQ(servicio->exitCode(), 0);
}

// A machine whose port or line is written amiss gets no port of another:
// not served, nothing sent to it, and every command says why.
TEST_F(Dnc, RefusedMachinesAreNeitherServedNorSentTo)
{
    const QString maquinas = dir.filePath("MAQUINAS.INI");
    const QByteArray malas = "[Mal]\nCom=tcp://127.0.0.1\nServicio=Si\n"
                             "[Lento]\nCom=/dev/null\nVt=12345\nServicio=Si\n";
    escribe(maquinas, malas);
    QByteArray salida;
    EXPECT_EQ(dnc({"serve"}, &salida), 3);
    EXPECT_TRUE(salida.contains("Lento: not served: Vt=\"12345\" cannot be used"))
        << salida.toStdString();

    escribe(maquinas,
        leeBytes(maquinas)
            + QStringLiteral("[A]\nCom=%1\nServicio=Si\n").arg(lineas[0].ruta).toUtf8());
    escribe(dir.filePath("p.nc"), programa(1, 3));
    const QByteArray rechazo
        = "Mal of " + maquinas.toUtf8() + ": Com=\"tcp://127.0.0.1\" cannot be used; nothing sent";
    EXPECT_EQ(dnc({"send", "mal", dir.filePath("p.nc")}, &salida), 2);
    EXPECT_TRUE(salida.contains(rechazo)) << salida.toStdString();
    EXPECT_EQ(dnc({"status"}, &salida), 3);
    EXPECT_TRUE(salida.contains("Mal\ttcp://127.0.0.1\trefused: Com=")) << salida.toStdString();

    QProcess servicio;
    servicio.start(KELDAN_DNC, {"--config", dir.path(), "serve"});
    ASSERT_TRUE(estado("A", "listening"));
    EXPECT_TRUE(estado("Lento", "/dev/null\trefused: Vt=\"12345\" cannot be used"));
    EXPECT_EQ(dnc({"send", "Mal", dir.filePath("p.nc")}, &salida), 2);
    EXPECT_TRUE(salida.contains(rechazo)) << salida.toStdString();
    ::kill(pid_t(servicio.processId()), SIGTERM);
    ASSERT_TRUE(servicio.waitForFinished(10000));
    EXPECT_EQ(servicio.exitCode(), 0);
    EXPECT_TRUE(servicio.readAllStandardError().contains(
        "Mal: not served: Com=\"tcp://127.0.0.1\" cannot be used"));
    EXPECT_FALSE(QFile::exists(dir.filePath("KELDAN.LOG")));
}

TEST_F(Dnc, ASendThatEndsWholeWhileTheServiceStopsReachesTheCncWhole)
{
    // The CNC reads nothing until the service has ended: the program (10 KB,
    // 2.7 s on the line) waits in the device, its end too, and is not
    // dropped when the port closes.
    CncPty cnc;
    escribe(dir.filePath("MAQUINAS.INI"),
        QStringLiteral("[R]\nCom=%1\nVt=38400\nPar=N\nBd=8\nBs=1\nServicio=Si\nDirRecepcion=%2\n")
            .arg(cnc.ruta(), dir.path())
            .toUtf8());
    escribe(dir.filePath("O1.NC"), programa(1, 300, "\r\n"));
    QProcess servicio;
    servicio.start(KELDAN_DNC, {"--config", dir.path(), "serve"});
    ASSERT_TRUE(estado("R", "listening"));
    cnc.sordo(true);
    std::unique_ptr<QProcess> envio(lanza({"send", "R", dir.filePath("O1.NC")}));
    ASSERT_TRUE(estado("R", "sending"));
    ::kill(pid_t(servicio.processId()), SIGTERM);
    ASSERT_TRUE(fin(servicio) && fin(*envio));
    cnc.sordo(false);
    EXPECT_EQ(std::pair(envio->exitCode(), cnc.recibido()),
        std::pair(0, "\x12" + programa(1, 300, "\r\n") + "\x14"));
}

TEST_F(Dnc, ARequestPunchedRightAfterTheAnswerToTheLastIsAnsweredToo)
{
    // A CNC behind ser2net: after a send the connection is kept while the
    // server's line still empties, and what the CNC punches meanwhile counts.
    CncPty cnc;
    Ser2net servidor(cnc.ruta(), false);
    ASSERT_TRUE(servidor.escucha());
    escribe(dir.filePath("MAQUINAS.INI"),
        QStringLiteral("[R]\nCom=%1\nVt=9600\nPar=N\nBd=8\nBs=1\nServicio=Si\nDirRecepcion=%2\n")
            .arg(servidor.direccion(), dir.path())
            .toUtf8());
    escribe(dir.filePath("O1.NC"), programa(1, 3, "\r\n"));
    escribe(dir.filePath("O2.NC"), programa(2, 3, "\r\n"));
    QProcess servicio;
    servicio.start(KELDAN_DNC, {"--config", dir.path(), "serve"});
    ASSERT_TRUE(estado("R", "listening"));
    const auto respuestas = [&] { return cnc.recibido().count('\x14'); };
    cnc.escribe("\x12%\n(SEND O1)\n%\n\x14");
    ASSERT_TRUE(espera([&] { return respuestas() == 1; }, 15000));
    QElapsedTimer reloj;
    reloj.start();
    espera([&] { return reloj.elapsed() >= 300; });
    cnc.escribe("\x12%\n(SEND O2)\n%\n\x14");
    ASSERT_TRUE(espera([&] { return respuestas() == 2; }, 15000));
    EXPECT_EQ(cnc.recibido(),
        "\x12" + programa(1, 3, "\r\n") + "\x14\x12" + programa(2, 3, "\r\n") + "\x14");
    ::kill(pid_t(servicio.processId()), SIGTERM);
    ASSERT_TRUE(servicio.waitForFinished(10000));
    EXPECT_EQ(registro(), (QStringList {"R|O1.NC|0|0|", "R|O2.NC|0|0|"})); // both complete
}

TEST_F(Dnc, AFloodingPeerCostsItsOwnMachineOnlyAndTheServiceStillStopsAtOnce)
{
    // A peer at one machine's address starts a program and never ends it.
    ParTcp par;
    escribe(dir.filePath("MAQUINAS.INI"),
        QStringLiteral("[F]\nCom=%1\nServicio=Si\nDirRecepcion=%2\nMaxPrograma=16\n"
                       "[A]\nCom=%3\nVt=9600\nPar=N\nBd=8\nBs=1\nServicio=Si\nDirRecepcion=%4\n")
            .arg(par.direccion(), dir.filePath("B"), lineas[0].ruta, dir.filePath("A"))
            .toUtf8());
    QProcess servicio;
    servicio.start(KELDAN_DNC, {"--config", dir.path(), "serve"});
    const int conexion = par.acepta(15000);
    ASSERT_GE(conexion, 0);
    std::atomic<qint64> enviados = 0;
    std::thread inunda([&] {
        QByteArray bloque;
        while (bloque.size() < 65536)
            bloque += "N1 G01 X1.000 Y2.000\n";
        ParTcp::envia(conexion, "\x12%\nO1\n");
        while (ParTcp::envia(conexion, bloque))
            enviados += bloque.size();
    });
    // The other machines go on meanwhile.
    escribe(dir.filePath("a.nc"), programa(1001, 40));
    std::unique_ptr<QProcess> a(lineas[0].cnc(KELDAN_CNC, {"--send", dir.filePath("a.nc")}));
    // 200 MB read, beyond what the sockets may hold on their way.
    const bool inundado = espera([&] { return enviados > 212000000; }, 120000);
    const bool otra = espera([&] { return QFile::exists(dir.filePath("A/O1001.TXT")); }, 20000);
    QFile estado(QStringLiteral("/proc/%1/status").arg(servicio.processId()));
    estado.open(QIODevice::ReadOnly);
    const QByteArray todo = estado.readAll();
    const QByteArray pico = todo.mid(todo.indexOf("VmHWM:")).split('\n').value(0); // kB
    QElapsedTimer reloj;
    reloj.start();
    ::kill(pid_t(servicio.processId()), SIGTERM);
    const bool parado = servicio.waitForFinished(10000);
    const qint64 ms = reloj.elapsed();
    ::shutdown(conexion, SHUT_RDWR);
    inunda.join();
    ::close(conexion);
    a->kill(), a->waitForFinished();
    EXPECT_TRUE(inundado && otra && parado && servicio.exitCode() == 0);
    EXPECT_LT(pico.mid(6).trimmed().chopped(3).toLongLong(), 100 * 1024) << pico.toStdString();
    EXPECT_LT(ms, 5000); // a few ms here; room for a loaded machine
    // The first 16 MiB, their LF written as CR LF.
    EXPECT_NEAR(
        leeBytes(dir.filePath("B/O1-INCOMPLETO.TXT")).size(), 16 * 1024 * 1024 * 22 / 21, 1000);
    QStringList r = registro();
    std::sort(r.begin(), r.end());
    // All it sent counted, 200 MB or more.
    EXPECT_TRUE(r.size() == 2 && r[0] == "A|O1001.TXT|0|0|"
        && r[1].startsWith("F|O1-INCOMPLETO.TXT|2|") && r[1].section('|', 3, 3).toInt() >= 2
        && r[1].section('|', 4).startsWith("Longer than 16 MiB"))
        << r.join('\n').toStdString();
}

// With neither a machine's folder nor a save folder, programs go to the
// user's documents, never to the root of the disk.
TEST(ConfigDnc, AMachineWithoutAFolderReceivesIntoTheUsersFolder)
{
    QTemporaryDir dir;
    escribe(dir.filePath("KELDAN.INI"), "[General]\nIdioma=English\n");
    escribe(dir.filePath("MAQUINAS.INI"), "[M]\nCom=/dev/null\nServicio=Si\n");
    const QList<ConfigMaquinaDnc> maquinas = ConfigMaquinaDnc::lee(dir.filePath("KELDAN.INI"));
    ASSERT_EQ(maquinas.size(), 1);
    EXPECT_TRUE(QDir::isAbsolutePath(maquinas[0].carpeta) && maquinas[0].carpeta != "/")
        << maquinas[0].carpeta.toStdString();
}

TEST(Bloqueo, AnotherProgramsLockIsRespectedAStaleOneTakenAndOursReadByAll)
{
    LineaCnc linea;
    const QString lck = BloqueoPuerto::rutaBloqueo(linea.ruta);
    // Named as every serial program names it: /dev/pts/7 is LCK..pts_7.
    EXPECT_TRUE(lck.endsWith("/LCK..pts_" + linea.ruta.section('/', -1))) << lck.toStdString();
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
    // An unreadable lock may be one being written: respected while fresh, taken once old.
    for (const int edad : {0, 10}) {
        escribe(lck, "");
        QFile f(lck);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        f.setFileTime(
            QDateTime::currentDateTime().addSecs(-edad), QFileDevice::FileModificationTime);
        f.close();
        EXPECT_EQ(puerto.setPortOpen(true), edad > 0) << edad;
        puerto.setPortOpen(false);
    }
    vivo.kill(), vivo.waitForFinished();
}

} // namespace
