// Remote machines on loopback: a 10 MB program uploaded and verified, and a
// listing of 1,000 programs, against curl doing the same.
// Usage: bench_remoto [runs]   (3 when not given; the best run of each is printed)

#include "comun/servidorftp.h"
#include "remote/almacencarpeta.h"
#include "transfer/envioremoto.h"
#include "transfer/recepcionremota.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>

namespace {

double mejorMs(int veces, const std::function<bool()> &paso)
{
    double mejor = 1e300;
    for (int i = 0; i < veces; ++i) {
        QElapsedTimer t;
        t.start();
        if (!paso()) {
            std::printf("  (a run failed)\n");
            return -1;
        }
        mejor = std::min(mejor, t.nsecsElapsed() / 1e6);
    }
    return mejor;
}

bool curl(const QStringList &args)
{
    QProcess p;
    p.start(QStringLiteral("curl"), QStringList {"-sS", "--fail"} + args);
    if (!p.waitForFinished(60000) || p.exitCode() != 0) {
        std::printf("  curl: %s\n", p.readAllStandardError().constData());
        return false;
    }
    return true;
}

QList<QByteArray> programa(qint64 bytes)
{
    QList<QByteArray> l;
    qint64 total = 0;
    char buf[64];
    for (int i = 0; total < bytes; ++i) {
        const int n = std::snprintf(buf, sizeof buf, "N%06dG01X%02d.%03dY-%02d.%03dF1200",
            i % 1000000, (i / 7) % 100, i % 1000, (i / 3) % 100, (i * 7) % 1000);
        l.append(QByteArray(buf, n));
        total += n + 2;
    }
    return l;
}

// One send to the machine, waited for; false (with the reason printed) unless complete.
bool envia(const Maquina &m, const OpcionesRemotas &opciones, const QList<QByteArray> &lineas)
{
    EnvioRemoto e;
    e.setOpciones(opciones);
    bool bien = false;
    QEventLoop bucle;
    QObject::connect(&e, &EnvioRemoto::terminado, &bucle, [&](const ResultadoTransferencia &r) {
        bien = r.estado == ResultadoTransferencia::Estado::Completa;
        if (!bien)
            std::printf("  %s\n", qPrintable(r.error));
        bucle.quit();
    });
    if (e.inicia(m, QStringLiteral("O1000"), lineas, true))
        bucle.exec();
    return bien;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int veces = argc > 1 ? std::max(1, atoi(argv[1])) : 3;
    ServidorFtp servidor;
    if (!servidor.arrancado()) {
        std::printf("no FTP server (python3-pyftpdlib)\n");
        return 1;
    }
    const QList<QByteArray> lineas = programa(10 * 1000 * 1000);
    const QByteArray datos = EnvioRemoto::contenido(lineas, FormatoLinea::FinBloque::CrLf);
    std::printf("10 MB program (%lld bytes, %lld lines), loopback, best of %d\n",
        qlonglong(datos.size()), qlonglong(lineas.size()), veces);

    Maquina m;
    m.nombre = QStringLiteral("Banco");
    m.com = servidor.com();
    m.verificar = true;
    const double envio = mejorMs(veces, [&] { return envia(m, servidor.opciones(), lineas); });
    std::printf("  Keldan send, login to verified byte for byte: %8.1f ms (goal < 1000)\n", envio);
    m.verificar = false;
    const double soloTamano = mejorMs(veces, [&] { return envia(m, servidor.opciones(), lineas); });
    std::printf("  Keldan send, size checked only:               %8.1f ms\n", soloTamano);

    QTemporaryDir tmp;
    const QString fichero = tmp.filePath(QStringLiteral("O1000"));
    {
        QFile f(fichero);
        f.open(QIODevice::WriteOnly);
        f.write(datos);
    }
    const QString url = QStringLiteral("ftp://cnc@127.0.0.1:%1/").arg(servidor.puerto());
    const double curlEnvio = mejorMs(veces, [&] {
        return curl({"--netrc-file", servidor.netrc(), "-T", fichero, url + "C1000"})
            && curl(
                {"--netrc-file", servidor.netrc(), "-o", tmp.filePath("vuelta"), url + "C1000"});
    });
    std::printf("  curl upload, then download to compare:        %8.1f ms\n", curlEnvio);

    QTemporaryDir carpeta;
    Maquina enCarpeta = m;
    enCarpeta.com = carpeta.path() + QLatin1Char('/');
    enCarpeta.verificar = true;
    const double envioCarpeta = mejorMs(veces, [&] { return envia(enCarpeta, {}, lineas); });
    std::printf("  Keldan send into a folder, fsync'd, verified: %8.1f ms\n", envioCarpeta);

    for (int i = 0; i < 1000; ++i) {
        QFile f(servidor.carpeta() + QStringLiteral("/O%1").arg(2000 + i));
        f.open(QIODevice::WriteOnly);
        f.write("%\nO1\nM30\n%\n");
    }
    std::printf("listing of 1,000 programs (1,002 files), best of %d\n", veces);
    const double lista = mejorMs(veces, [&] {
        RecepcionRemota r;
        r.setOpciones(servidor.opciones());
        if (!r.prepara(m))
            return false;
        int n = 0;
        QEventLoop bucle;
        QObject::connect(
            &r, &RecepcionRemota::listado, &bucle, [&](const QList<AlmacenRemoto::Entrada> &e) {
                n = int(e.size());
                bucle.quit();
            });
        QObject::connect(&r, &RecepcionRemota::terminado, &bucle, [&] { bucle.quit(); });
        r.lista();
        bucle.exec();
        return n == 1002;
    });
    std::printf("  Keldan list, login to sorted newest first:    %8.1f ms (goal < 1000)\n", lista);
    const double curlLista = mejorMs(veces, [&] {
        return curl({"--netrc-file", servidor.netrc(), "-X", "MLSD", "-o", tmp.filePath("l"), url});
    });
    std::printf("  curl MLSD listing:                            %8.1f ms\n", curlLista);
    const double curlList = mejorMs(veces, [&] {
        return curl({"--netrc-file", servidor.netrc(), "-o", tmp.filePath("l"), url});
    });
    std::printf("  curl LIST listing:                            %8.1f ms\n", curlList);
    return 0;
}
