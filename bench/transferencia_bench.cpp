// Transfer benchmarks: throughput over a pty against cat, line use and DC3
// reaction against keldan-cnc at real speeds, CPU while waiting for a CNC.
// Usage: bench_transfer [throughput] [line] [line-tcp] [idle]   (all when none given)

#include "line/codificadorenvio.h"
#include "port/mscomm.h"
#include "transfer/envio.h"
#include "transfer/recepcion.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>

#include <arpa/inet.h>
#include <atomic>
#include <cstdio>
#include <fcntl.h>
#include <netinet/in.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

struct Pty
{
    Pty()
    {
        termios t {};
        cfmakeraw(&t);
        openpty(&maestro, &esclavo, nullptr, &t, nullptr);
        ruta = QString::fromLocal8Bit(ttyname(esclavo));
    }
    ~Pty()
    {
        ::close(maestro);
        ::close(esclavo);
    }
    int maestro = -1;
    int esclavo = -1;
    QString ruta;
};

QList<QByteArray> generaPrograma(int lineas)
{
    QList<QByteArray> l;
    l.reserve(lineas);
    char buf[64];
    for (int i = 0; i < lineas; ++i) {
        std::snprintf(buf, sizeof buf, "N%06dG01X%02d.%03dY-%02d.%03dZ-1.000F1200", i % 1000000,
            (i / 7) % 100, i % 1000, (i / 3) % 100, (i * 7) % 1000);
        l.append(QByteArray(buf));
    }
    return l;
}

// Reads the master side until the count is reached, as fast as it comes.
std::thread lector(int fd, qint64 total, std::atomic<qint64> &leidos)
{
    return std::thread([fd, total, &leidos] {
        char buf[1 << 16];
        while (leidos < total) {
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n <= 0)
                break;
            leidos += n;
        }
    });
}

template<typename Senal, typename Objeto> void esperaSenal(Objeto *o, Senal s)
{
    QEventLoop bucle;
    QObject::connect(o, s, &bucle, &QEventLoop::quit);
    bucle.exec();
}

// Writes the whole stream to the pty's CNC side, as fast as it takes it.
void escribeTodo(int fd, const QByteArray &flujo)
{
    for (qsizetype i = 0; i < flujo.size();) {
        const ssize_t n
            = ::write(fd, flujo.constData() + i, std::min<qsizetype>(1 << 16, flujo.size() - i));
        if (n <= 0)
            break;
        i += n;
    }
}

double mbps(qint64 bytes, qint64 ns)
{
    return bytes / 1e6 / (ns / 1e9);
}

void throughput()
{
    const QList<QByteArray> lineas
        = generaPrograma(qEnvironmentVariableIntValue("KELDAN_BENCH_LINEAS") > 0
                ? qEnvironmentVariableIntValue("KELDAN_BENCH_LINEAS")
                : 1000000);
    const QByteArray flujo = CodificadorEnvio::codificaPrograma(lineas, false);
    std::printf("throughput: 1,000,000 lines, %lld bytes (ASCII)\n", qlonglong(flujo.size()));

    {
        // Send through MSComm without pacing (a pty has no line speed).
        Pty pty;
        MSComm puerto;
        puerto.setDispositivo(pty.ruta);
        puerto.setSettings("115200,N,8,1");
        puerto.setAcompasado(false);
        Envio envio(puerto);
        envio.setAdelanto(256 * 1024);
        std::atomic<qint64> leidos {0};
        std::thread t = lector(pty.maestro, flujo.size(), leidos);
        QElapsedTimer reloj;
        reloj.start();
        envio.inicia(lineas, false);
        esperaSenal(&envio, &Envio::terminado);
        t.join();
        const qint64 ns = reloj.nsecsElapsed();
        std::printf("  send    Keldan: %8.2f MB/s (%.2f s, %lld bytes arrived)\n",
            mbps(flujo.size(), ns), ns / 1e9, qlonglong(leidos.load()));
    }
    QTemporaryDir dir;
    const QString fichero = dir.filePath("programa.txt");
    {
        QFile f(fichero);
        f.open(QIODevice::WriteOnly);
        f.write(flujo);
    }
    {
        Pty pty;
        std::atomic<qint64> leidos {0};
        std::thread t = lector(pty.maestro, flujo.size(), leidos);
        QElapsedTimer reloj;
        reloj.start();
        QProcess::execute("sh", {"-c", QStringLiteral("cat '%1' > '%2'").arg(fichero, pty.ruta)});
        t.join();
        const qint64 ns = reloj.nsecsElapsed();
        std::printf("  send    cat:    %8.2f MB/s (%.2f s)\n", mbps(flujo.size(), ns), ns / 1e9);
    }
    {
        Pty pty;
        MSComm puerto;
        puerto.setDispositivo(pty.ruta);
        puerto.setSettings("115200,N,8,1");
        Recepcion recepcion(puerto);
        qint64 nLineas = 0;
        QObject::connect(&recepcion, &Recepcion::lineasRecibidas,
            [&](const QList<QByteArray> &l) { nLineas += l.size(); });
        recepcion.inicia(false);
        QElapsedTimer reloj;
        reloj.start();
        std::thread t([&] { escribeTodo(pty.maestro, flujo); });
        esperaSenal(&recepcion, &Recepcion::terminado);
        t.join();
        const qint64 ns = reloj.nsecsElapsed();
        std::printf("  receive Keldan: %8.2f MB/s (%.2f s, %lld lines)\n", mbps(flujo.size(), ns),
            ns / 1e9, nLineas);
    }
    {
        Pty pty;
        QElapsedTimer reloj;
        reloj.start();
        std::thread t([&] { escribeTodo(pty.maestro, flujo); });
        QProcess::execute("sh",
            {"-c", QStringLiteral("head -c %1 '%2' > /dev/null").arg(flujo.size()).arg(pty.ruta)});
        t.join();
        const qint64 ns = reloj.nsecsElapsed();
        std::printf("  receive cat:    %8.2f MB/s (%.2f s)\n", mbps(flujo.size(), ns), ns / 1e9);
    }
}

// `red`: the same line reached as a raw TCP device server's port, over loopback.
void linea(int velocidad, int lineas, bool iso, bool red)
{
    const QString cnc = QCoreApplication::applicationDirPath() + "/keldan-cnc";
    QTemporaryDir dir;
    QProcess proceso;
    QStringList args = {"--speed", QString::number(velocidad), "--receive",
        dir.filePath("recibido"), "--buffer", "256", "--high", "80", "--low", "20", "--consume",
        QString::number(velocidad / 10 * 0.7)};
    if (iso)
        args << "--iso"
             << "--dc3-iso";
    QString ruta;
    if (red) {
        // keldan-cnc inherits the listening socket and takes its first connection.
        const int escucha = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a {};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t largo = sizeof a;
        if (::bind(escucha, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0
            || ::listen(escucha, 1) != 0
            || ::getsockname(escucha, reinterpret_cast<sockaddr *>(&a), &largo) != 0) {
            ::close(escucha);
            std::printf("  no loopback port\n");
            return;
        }
        ruta = QStringLiteral("tcp://127.0.0.1:%1").arg(ntohs(a.sin_port));
        proceso.start(cnc, args << "--fd" << QString::number(escucha));
        const bool arrancado = proceso.waitForReadyRead(5000);
        ::close(escucha);
        proceso.readLine();
        if (!arrancado) {
            std::printf("  keldan-cnc did not start\n");
            return;
        }
    } else {
        proceso.start(cnc, args);
        if (!proceso.waitForReadyRead(5000)) {
            std::printf("  keldan-cnc did not start\n");
            return;
        }
        ruta = QString::fromLocal8Bit(proceso.readLine()).trimmed();
    }
    const QList<QByteArray> programa = generaPrograma(lineas);
    MSComm puerto;
    puerto.setDispositivo(ruta);
    puerto.setSettings(QStringLiteral("%1,N,8,1").arg(velocidad));
    Envio envio(puerto);
    envio.inicia(programa, iso);
    esperaSenal(&envio, &Envio::terminado);
    proceso.waitForFinished(10000);
    const QString salida = QString::fromLocal8Bit(proceso.readAllStandardOutput());
    // The summary is the line that starts with "received" (the end-of-block
    // line follows it), or the overrun alarm that ended the reception.
    const QStringList filas
        = salida.split('\n', Qt::SkipEmptyParts)
              .filter(QRegularExpression(QStringLiteral("^(received|OVERRUN)")));
    QFile f(dir.filePath("recibido"));
    f.open(QIODevice::ReadOnly);
    QByteArray esperado = CodificadorEnvio::codificaPrograma(programa, iso);
    esperado = esperado.mid(1, esperado.size() - 2);
    std::printf("  %s %6d bit/s %s, %d lines: %s; program %s\n", red ? "tcp" : "pty", velocidad,
        iso ? "ISO  " : "ASCII", lineas, filas.isEmpty() ? "no report" : qPrintable(filas.last()),
        f.readAll() == esperado ? "byte-exact" : "DIFFERS");
}

void espera()
{
    Pty pty;
    MSComm puerto;
    puerto.setDispositivo(pty.ruta);
    puerto.setSettings("9600,N,8,1");
    Recepcion recepcion(puerto);
    recepcion.inicia(false);
    rusage antes {}, despues {};
    getrusage(RUSAGE_SELF, &antes);
    QElapsedTimer reloj;
    reloj.start();
    QEventLoop bucle;
    QTimer::singleShot(10000, &bucle, &QEventLoop::quit);
    bucle.exec();
    getrusage(RUSAGE_SELF, &despues);
    auto us = [](const timeval &t) { return t.tv_sec * 1e6 + t.tv_usec; };
    const double cpu
        = us(despues.ru_utime) - us(antes.ru_utime) + us(despues.ru_stime) - us(antes.ru_stime);
    std::printf("idle: waiting %.1f s for a silent CNC used %.3f %% of a core\n",
        reloj.elapsed() / 1000.0, 100.0 * cpu / (reloj.elapsed() * 1000.0));
    recepcion.detiene();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList que = app.arguments().mid(1);
    if (que.isEmpty())
        que = {"throughput", "line", "line-tcp", "idle"};
    if (que.contains("throughput"))
        throughput();
    if (que.contains("line") || que.contains("line-tcp")) {
        std::printf("line: keldan-cnc 8N1, 256-byte buffer, DC3 at 80 %%, DC1 at 20 %%, "
                    "taking 70 %% of the line speed\n");
        for (const bool red : {false, true}) {
            if (!que.contains(red ? "line-tcp" : "line"))
                continue;
            for (const bool iso : {false, true}) {
                linea(9600, 100, iso, red);
                linea(38400, 400, iso, red);
                linea(115200, 1200, iso, red);
            }
        }
    }
    if (que.contains("idle"))
        espera();
    return 0;
}
