// Scale of keldan-dnc: N machines at once (keldan-cnc on pseudo-terminals,
// 9600 bit/s), each punching programs to the service and being sent others
// on command, round after round for a set time, the receiving CNC holding
// the line with DC3/DC1 as its buffer fills. Reports whether every program
// came byte-exact, the CNC's overflows and characters after DC3, and the
// service's processor time and memory.
// Every second machine is reached through ser2net in raw TCP on 127.0.0.1.
// Usage: bench_dnc [--ptys] [seconds per run, 60] [N ..., 1 8 32]

#include "comun/espera.h"
#include "comun/ser2net.h"
#include "dnc/lineacnc.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <memory>
#include <unistd.h>

namespace {

constexpr int kLineas = 60;

QByteArray programa(int numero, const char *fin)
{
    QByteArray p = "%" + QByteArray(fin) + "O" + QByteArray::number(numero) + fin;
    for (int i = 0; i < kLineas; ++i)
        p += QStringLiteral("N%1 G01 X%2.125 Y-%3.5 F1200")
                 .arg(i)
                 .arg(numero % 997)
                 .arg(i)
                 .toLatin1()
            + fin;
    return p + "M30" + fin + "%" + fin;
}

QByteArray lee(const QString &ruta)
{
    QFile f(ruta);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void escribe(const QString &ruta, const QByteArray &datos)
{
    QFile f(ruta);
    if (f.open(QIODevice::WriteOnly))
        f.write(datos);
}

// Processor seconds (user and system) of a process.
double cpu(qint64 pid)
{
    const QByteArray stat = lee(QStringLiteral("/proc/%1/stat").arg(pid));
    const QList<QByteArray> campos = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    return (campos.value(11).toDouble() + campos.value(12).toDouble()) / sysconf(_SC_CLK_TCK);
}

double memoriaMb(qint64 pid, const char *clave)
{
    for (const QByteArray &l : lee(QStringLiteral("/proc/%1/status").arg(pid)).split('\n')) {
        if (l.startsWith(clave))
            return l.mid(qstrlen(clave)).trimmed().split(' ').value(0).toDouble() / 1024;
    }
    return -1;
}

struct Cuenta
{
    int recibidos = 0, recibidosBien = 0, enviados = 0, enviadosBien = 0;
    int desbordes = 0, finesMalos = 0, alarmas = 0;
    long maxTrasDc3 = 0, maxTrasDc3Red = 0; // on its own line, through ser2net
};

// One machine's rounds: the CNC punches a program, then is sent one.
struct Maquina
{
    QString nombre, dir;
    LineaCnc linea;
    std::unique_ptr<Ser2net> red; // every second machine is reached through ser2net
    int numero = 0, ronda = 0;
    bool ocupada = false;
    std::unique_ptr<QProcess> cnc, cliente;
    std::unique_ptr<QSocketNotifier> vaciador;
    QList<int> punzados;
};

void ronda(Maquina &m, const QString &base, Cuenta &c, const bool &seguir);

void recibeEnCnc(Maquina &m, const QString &base, Cuenta &c, const bool &seguir)
{
    const QString sale = QStringLiteral("%1/envia-%2-%3.nc").arg(base, m.nombre).arg(m.ronda);
    const QString llega = QStringLiteral("%1/llega-%2-%3.nc").arg(base, m.nombre).arg(m.ronda);
    escribe(sale, programa(m.numero + 500, "\n"));
    // The control asks for the program with DC1 once it reads (the machines
    // wait for it): what a line carries while nobody listens is lost, and a
    // pty would hand it over in one burst.
    m.cnc.reset(m.linea.cnc(KELDAN_CNC, {"--receive", llega, "--request-dc1"}));
    m.cliente = std::make_unique<QProcess>();
    m.cliente->start(KELDAN_DNC, {"--config", base, "send", m.nombre, sale});
    auto fin = [&m, &c, &seguir, base, llega, esperado = programa(m.numero + 500, "\r\n")] {
        // A CNC that took the whole program may end before the send does: a
        // network link stays open while the device server can still be
        // putting the tail on its line. Only an alarm stops the send.
        if (m.cnc->state() == QProcess::NotRunning && m.cnc->exitCode() != 0
            && m.cliente->state() != QProcess::NotRunning && !m.vaciador) {
            std::fprintf(stderr, "%s round %d: CNC ended (exit %d) before the send\n",
                qPrintable(m.nombre), m.ronda, m.cnc->exitCode());
            // As an operator does when the control is in alarm: the send is stopped.
            QProcess::startDetached(KELDAN_DNC, {"--config", base, "stop", m.nombre});
            // A control in alarm reads no more, but a real line still takes
            // the rest at its speed: the pty is emptied so the send can end.
            m.vaciador = std::make_unique<QSocketNotifier>(m.linea.maestro, QSocketNotifier::Read);
            QObject::connect(m.vaciador.get(), &QSocketNotifier::activated, [&m] {
                char buf[4096];
                while (::read(m.linea.maestro, buf, sizeof buf) > 0) { }
            });
        }
        if (m.cnc->state() != QProcess::NotRunning || m.cliente->state() != QProcess::NotRunning
            || !m.ocupada)
            return;
        m.vaciador.reset();
        const QByteArray salida = m.cnc->readAllStandardOutput() + m.cnc->readAllStandardError();
        const auto r = QRegularExpression(QStringLiteral("at most (\\d+) characters after DC3"))
                           .match(QString::fromLatin1(salida));
        long &maximo = m.red ? c.maxTrasDc3Red : c.maxTrasDc3;
        maximo = qMax(maximo, r.captured(1).toLong());
        c.desbordes += m.cnc->exitCode() == 3;
        if (m.cnc->exitCode() != 0)
            std::fprintf(stderr, "%s round %d: keldan-cnc exit %d\n%s", qPrintable(m.nombre),
                m.ronda, m.cnc->exitCode(), salida.constData());
        c.finesMalos += m.cnc->exitCode() == 4;
        c.alarmas += m.cnc->exitCode() == 5; // keldan-cnc's overrun alarm
        ++c.enviados;
        c.enviadosBien += m.cliente->exitCode() == 0 && lee(llega) == esperado;
        m.ocupada = false;
        ++m.ronda;
        if (seguir)
            ronda(m, base, c, seguir);
    };
    QObject::connect(m.cnc.get(), &QProcess::finished, fin);
    QObject::connect(m.cliente.get(), &QProcess::finished, fin);
}

void ronda(Maquina &m, const QString &base, Cuenta &c, const bool &seguir)
{
    m.ocupada = true;
    m.numero = m.nombre.mid(1).toInt() * 1000 + m.ronda;
    const QString punza = QStringLiteral("%1/punza-%2-%3.nc").arg(base, m.nombre).arg(m.ronda);
    escribe(punza, programa(m.numero, "\n"));
    m.punzados.append(m.numero);
    m.cnc.reset(m.linea.cnc(KELDAN_CNC, {"--send", punza, "--delay-ms", "100"}));
    QObject::connect(m.cnc.get(), &QProcess::finished,
        [&m, &c, &seguir, base] { recibeEnCnc(m, base, c, seguir); });
}

void mide(int n, int segundos, bool red)
{
    QTemporaryDir dir;
    const QString base = dir.path();
    std::vector<std::unique_ptr<Maquina>> maquinas;
    QByteArray ini;
    for (int i = 1; i <= n; ++i) {
        auto m = std::make_unique<Maquina>();
        m->nombre = QStringLiteral("M%1").arg(i);
        m->dir = base + QLatin1Char('/') + m->nombre;
        QString com = m->linea.ruta;
        if (red && i % 2 == 0) {
            m->red = std::make_unique<Ser2net>(m->linea.ruta, false);
            if (m->red->escucha())
                com = m->red->direccion();
        }
        QDir().mkpath(m->dir);
        ini += QStringLiteral("[%1]\nCom=%2\nVt=9600\nPar=N\nBd=8\nBs=1\nServicio=Si\n"
                              "DirRecepcion=%3\nEsperaDc1=Si\n")
                   .arg(m->nombre, com, m->dir)
                   .toUtf8();
        maquinas.push_back(std::move(m));
    }
    escribe(base + QStringLiteral("/MAQUINAS.INI"), ini);
    QProcess servicio;
    servicio.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    servicio.start(KELDAN_DNC, {"--config", base, "serve"});
    const bool listo = espera(
        [&] {
            QProcess s;
            s.start(KELDAN_DNC, {"--config", base, "status"});
            s.waitForFinished();
            return s.exitCode() == 0 && !s.readAllStandardOutput().contains("port failed");
        },
        20000);
    if (!listo) {
        std::printf("N=%d: the service did not start\n", n);
        return;
    }
    const qint64 pid = servicio.processId();
    const double cpu0 = cpu(pid);
    QElapsedTimer reloj;
    reloj.start();
    Cuenta c;
    bool seguir = true;
    for (auto &m : maquinas)
        ronda(*m, base, c, seguir);
    espera([&] { return reloj.elapsed() >= segundos * 1000; }, segundos * 1000 + 1000);
    seguir = false;
    espera(
        [&] {
            return std::none_of(
                maquinas.begin(), maquinas.end(), [](const auto &m) { return m->ocupada; });
        },
        120000);
    // A machine whose round did not end is told, with what the service says of it.
    QProcess estado;
    estado.start(KELDAN_DNC, {"--config", base, "status"});
    estado.waitForFinished();
    const QList<QByteArray> lineasEstado = estado.readAllStandardOutput().split('\n');
    for (const auto &m : maquinas) {
        if (m->ocupada)
            std::fprintf(stderr, "%s round %d did not end (CNC %s, send %s): %s\n",
                qPrintable(m->nombre), m->ronda,
                m->cnc->state() == QProcess::Running ? "running" : "ended",
                m->cliente && m->cliente->state() == QProcess::Running ? "running" : "ended",
                lineasEstado.value(m->nombre.mid(1).toInt() - 1).constData());
    }
    const double pared = reloj.elapsed() / 1000.0;
    for (auto &m : maquinas) {
        for (QProcess *p : {m->cnc.get(), m->cliente.get()}) {
            if (p)
                p->disconnect(), p->kill(), p->waitForFinished();
        }
    }
    const double cpuServicio = cpu(pid) - cpu0;
    const double rss = memoriaMb(pid, "VmRSS:"), pico = memoriaMb(pid, "VmHWM:");
    ::kill(pid_t(pid), SIGTERM);
    servicio.waitForFinished(30000);
    for (auto &m : maquinas) {
        for (int numero : std::as_const(m->punzados)) {
            ++c.recibidos;
            c.recibidosBien += lee(QStringLiteral("%1/O%2.TXT").arg(m->dir).arg(numero))
                == programa(numero, "\r\n") + "\r\n";
        }
    }
    std::printf(
        "N=%2d (%s): %.0f s; programs punched to the service %d, byte-exact %d; sent to the "
        "CNC %d, byte-exact %d; overflows %d, overrun alarms %d, bad line ends %d, at most "
        "%ld characters "
        "after DC3 (%ld through ser2net); service CPU %.2f s (%.1f ms per machine per second, %.2f "
        "%% of a "
        "core), RSS %.1f MB (peak %.1f MB); exit %d\n",
        n, red ? "half through ser2net" : "ptys", pared, c.recibidos, c.recibidosBien, c.enviados,
        c.enviadosBien, c.desbordes, c.alarmas, c.finesMalos, c.maxTrasDc3, c.maxTrasDc3Red,
        cpuServicio, 1000 * cpuServicio / n / pared, 100 * cpuServicio / pared, rss, pico,
        servicio.exitCode());
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // --ptys: every machine on its pseudo-terminal, none through ser2net.
    const bool red = argc < 2 || qstrcmp(argv[1], "--ptys") != 0;
    const int primero = red ? 1 : 2;
    const int segundos = argc > primero ? std::atoi(argv[primero]) : 60;
    QList<int> tamanos;
    for (int i = primero + 1; i < argc; ++i)
        tamanos.append(std::atoi(argv[i]));
    if (tamanos.isEmpty())
        tamanos = {1, 8, 32};
    for (int n : std::as_const(tamanos))
        mide(n, segundos, red);
    return 0;
}
