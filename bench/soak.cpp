// Soak: sends and receives in a row of a program through keldan-cnc, with the
// CNC pausing the line by DC3/DC1 at random and random Stops. Reports lost or
// reordered bytes in the transfers that were not stopped, resident memory at
// the start and the end, and open file descriptors.
// Usage: bench_soak [transfers each way, 100] [lines, 10000] [bit/s, 2000000]

#include "line/codificadorenvio.h"
#include "port/mscomm.h"
#include "transfer/envio.h"
#include "transfer/progresotransferencia.h"
#include "transfer/recepcion.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <unistd.h>

namespace {

qint64 residenteKb()
{
    QFile f(QStringLiteral("/proc/self/statm"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> campos = f.readAll().split(' ');
    return campos.size() > 1 ? campos[1].toLongLong() * sysconf(_SC_PAGESIZE) / 1024 : -1;
}

int descriptores()
{
    return int(QDir(QStringLiteral("/proc/self/fd"))
                   .entryList(QDir::NoDotAndDotDot | QDir::System)
                   .size());
}

QList<QByteArray> programa(int lineas)
{
    QList<QByteArray> l;
    for (int i = 0; i < lineas; ++i)
        l.append(QStringLiteral("N%1G01X%2Y-%3Z-1.000F1200")
                     .arg(i)
                     .arg((i * 37) % 1000 / 10.0, 0, 'f', 3)
                     .arg((i * 53) % 1000 / 10.0, 0, 'f', 3)
                     .toLatin1());
    return l;
}

// Starts keldan-cnc and returns the pty it created.
QString arrancaCnc(QProcess &cnc, const QStringList &args)
{
    cnc.start(QCoreApplication::applicationDirPath() + QStringLiteral("/keldan-cnc"), args);
    if (!cnc.waitForReadyRead(5000))
        return {};
    return QString::fromLocal8Bit(cnc.readLine()).trimmed();
}

template<typename Sesion> ResultadoTransferencia espera(Sesion &sesion, int pararTrasMs)
{
    ResultadoTransferencia resultado;
    QEventLoop bucle;
    QObject::connect(&sesion, &Sesion::terminado, &bucle, [&](const ResultadoTransferencia &r) {
        resultado = r;
        bucle.quit();
    });
    if (pararTrasMs >= 0)
        QTimer::singleShot(pararTrasMs, &sesion, [&sesion] { sesion.detiene(); });
    QTimer::singleShot(600000, &bucle, &QEventLoop::quit);
    bucle.exec();
    return resultado;
}

void informaDiferencia(
    const char *que, int n, const QByteArray &llegado, const QByteArray &esperado)
{
    qsizetype i = 0;
    while (i < llegado.size() && i < esperado.size() && llegado[i] == esperado[i])
        ++i;
    std::printf("%s %d: %lld bytes arrived, %lld expected, first difference at %lld: arrived "
                "\"%s\", expected \"%s\"\n",
        que, n, qint64(llegado.size()), qint64(esperado.size()), qint64(i),
        llegado.mid(qMax<qsizetype>(0, i - 10), 30).toPercentEncoding().constData(),
        esperado.mid(qMax<qsizetype>(0, i - 10), 30).toPercentEncoding().constData());
}

bool esPrefijo(const QList<QByteArray> &parte, const QList<QByteArray> &todo)
{
    if (parte.size() > todo.size())
        return false;
    for (qsizetype i = 0; i < parte.size(); ++i) {
        const bool ultima = i == parte.size() - 1;
        if (ultima ? !todo[i].startsWith(parte[i]) : parte[i] != todo[i])
            return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int veces = argc > 1 ? atoi(argv[1]) : 100;
    const int lineas = argc > 2 ? atoi(argv[2]) : 10000;
    const int velocidad = argc > 3 ? atoi(argv[3]) : 2000000;
    QRandomGenerator azar(20261206);
    QTemporaryDir dir;
    const QList<QByteArray> prog = programa(lineas);
    QByteArray esperado = CodificadorEnvio::codificaPrograma(prog, false);
    esperado = esperado.mid(1, esperado.size() - 2); // between DC2 and DC4
    const QString fichero = dir.filePath(QStringLiteral("prog.nc"));
    {
        QFile f(fichero);
        f.open(QIODevice::WriteOnly);
        for (const QByteArray &l : prog)
            f.write(l + '\n');
    }

    qint64 rssInicio = -1;
    int fdInicio = -1;
    int completas[2] = {}, detenidas[2] = {}, malas[2] = {}, fallidas[2] = {};
    for (int n = 0; n < veces; ++n) {
        const bool parar = azar.bounded(10) == 0;
        const int duracionMs = int(qint64(esperado.size()) * 10 * 1000 / velocidad);

        // Send: the CNC empties its 256-byte buffer at a random 30-90 % of
        // the line speed, so it pauses the line by DC3/DC1 all the time.
        {
            QProcess cnc;
            const QString recibido = dir.filePath(QStringLiteral("recibido"));
            const QString ruta = arrancaCnc(cnc,
                {"--speed", QString::number(velocidad), "--receive", recibido, "--buffer", "256",
                    "--consume", QString::number(velocidad / 10 * (30 + azar.bounded(61)) / 100)});
            MSComm puerto;
            puerto.setDispositivo(ruta);
            puerto.setSettings(QStringLiteral("%1,N,8,1").arg(velocidad));
            Envio envio(puerto);
            envio.inicia(prog, false);
            const auto r = espera(envio, parar ? azar.bounded(qMax(1, duracionMs)) : -1);
            // The CNC drains its buffer at as little as 30 % of the line speed.
            cnc.waitForFinished(60000);
            cnc.kill();
            cnc.waitForFinished(1000);
            QFile f(recibido);
            f.open(QIODevice::ReadOnly);
            const QByteArray llegado = f.readAll();
            if (r.estado == ResultadoTransferencia::Estado::Fallida) {
                ++fallidas[0];
                std::printf("send %d failed: %s\n", n + 1, qPrintable(r.error));
            } else if (r.estado == ResultadoTransferencia::Estado::Detenida) {
                ++detenidas[0];
                // Whole lines, then "%".
                if (!llegado.endsWith('%') || !esperado.startsWith(llegado.chopped(1))) {
                    ++malas[0];
                    informaDiferencia("stopped send", n + 1, llegado, esperado);
                }
            } else {
                ++completas[0];
                if (llegado != esperado) {
                    ++malas[0];
                    informaDiferencia("send", n + 1, llegado, esperado);
                }
            }
        }

        // Receive: the CNC pauses every few lines for a random while.
        {
            QProcess cnc;
            const QString ruta = arrancaCnc(cnc,
                {"--speed", QString::number(velocidad), "--send", fichero, "--delay-ms", "100",
                    "--pause-every", QString::number(1 + azar.bounded(2000)), "--pause-ms",
                    QString::number(azar.bounded(50))});
            MSComm puerto;
            puerto.setDispositivo(ruta);
            puerto.setSettings(QStringLiteral("%1,N,8,1").arg(velocidad));
            Recepcion recepcion(puerto);
            QList<QByteArray> llegadas;
            QObject::connect(&recepcion, &Recepcion::lineasRecibidas,
                [&](const QList<QByteArray> &l) { llegadas += l; });
            recepcion.inicia(false);
            const auto r = espera(recepcion, parar ? 100 + azar.bounded(qMax(1, duracionMs)) : -1);
            cnc.kill();
            cnc.waitForFinished(1000);
            if (r.estado == ResultadoTransferencia::Estado::Fallida) {
                ++fallidas[1];
                std::printf("receive %d failed: %s\n", n + 1, qPrintable(r.error));
            } else if (r.estado == ResultadoTransferencia::Estado::Detenida) {
                ++detenidas[1];
                if (!esPrefijo(llegadas, prog))
                    ++malas[1];
            } else {
                ++completas[1];
                // DC4 right after the last LF completes one more, empty line.
                if (llegadas != prog + QList<QByteArray> {QByteArray()})
                    ++malas[1];
            }
        }
        QCoreApplication::processEvents();
        if (n == 0) {
            rssInicio = residenteKb();
            fdInicio = descriptores();
        }
        if ((n + 1) % 10 == 0)
            std::printf("%d/%d  resident %lld kB  descriptors %d\n", n + 1, veces, residenteKb(),
                descriptores());
        std::fflush(stdout);
    }
    std::printf("sends:    %d complete, %d stopped, %d failed, %d with lost or reordered bytes\n",
        completas[0], detenidas[0], fallidas[0], malas[0]);
    std::printf("receives: %d complete, %d stopped, %d failed, %d with lost or reordered bytes\n",
        completas[1], detenidas[1], fallidas[1], malas[1]);
    std::printf("resident memory after the first round %lld kB, at the end %lld kB\n", rssInicio,
        residenteKb());
    std::printf(
        "open descriptors after the first round %d, at the end %d\n", fdInicio, descriptores());
    return (malas[0] || malas[1] || fallidas[0] || fallidas[1]) ? 1 : 0;
}
