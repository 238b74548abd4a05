// Times opening, spacing and saving a large CAM program, with `wc -l` on the
// same file as the floor, and reports the peak memory of the run.
#include "text/espaciado.h"
#include "text/ficheroprograma.h"
#include "text/textoprograma.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>

namespace {

long picoRssKb()
{
    rusage uso {};
    getrusage(RUSAGE_SELF, &uso);
    return uso.ru_maxrss;
}

bool generaPrograma(const QString &ruta, int lineas)
{
    QFile f(ruta);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    QByteArray trozo;
    trozo.reserve(1 << 20);
    for (int i = 0; i < lineas; ++i) {
        const int n = i % 1000000;
        trozo += 'N' + QByteArray::number(n).rightJustified(6, '0') + "G01X"
            + QByteArray::number((n % 100000) / 1000.0, 'f', 3) + 'Y'
            + QByteArray::number(-((n * 7) % 100000) / 1000.0, 'f', 3) + "Z-1.000F1200\r\n";
        if (trozo.size() > (1 << 20) - 64) {
            f.write(trozo);
            trozo.resize(0);
        }
    }
    f.write(trozo);
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    const int lineas = argc > 1 ? std::atoi(argv[1]) : 1000000;
    QTemporaryDir dir;
    const QString ruta = dir.filePath("PROGRAMA.TXT");
    if (!generaPrograma(ruta, lineas)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(ruta));
        return 1;
    }
    const qint64 tamano = QFileInfo(ruta).size();
    const long rssInicio = picoRssKb();

    QElapsedTimer reloj;
    reloj.start();
    QProcess wc;
    wc.start(QStringLiteral("wc"), {QStringLiteral("-l"), ruta});
    wc.waitForFinished(-1);
    const qint64 msWc = reloj.elapsed();

    TextoPrograma modelo;
    reloj.restart();
    QList<QByteArray> leidas;
    QString error;
    if (!FicheroPrograma::lee(ruta, leidas, &error)) {
        std::fprintf(stderr, "read failed: %s\n", qPrintable(error));
        return 1;
    }
    modelo.setLineas(std::move(leidas));
    const qint64 msAbrir = reloj.elapsed();

    reloj.restart();
    QList<QByteArray> espaciadas = modelo.lineas();
    modelo.clear();
    Espaciado::espaciaLineas(espaciadas);
    modelo.setLineas(std::move(espaciadas));
    const qint64 msEspaciar = reloj.elapsed();

    reloj.restart();
    if (!FicheroPrograma::escribe(dir.filePath("ESPACIADO.TXT"), modelo.lineas(), &error)) {
        std::fprintf(stderr, "write failed: %s\n", qPrintable(error));
        return 1;
    }
    const qint64 msGuardar = reloj.elapsed();

    const long rssPico = picoRssKb();
    std::printf("file: %lld lines, %.1f MB (wc -l: %s)\n", static_cast<long long>(modelo.count()),
        tamano / 1e6, wc.readAllStandardOutput().split(' ').value(0).constData());
    std::printf("wc -l:   %6lld ms\n", static_cast<long long>(msWc));
    std::printf("open:    %6lld ms (goal 1000)\n", static_cast<long long>(msAbrir));
    std::printf("spacing: %6lld ms (goal 1000)\n", static_cast<long long>(msEspaciar));
    std::printf("save:    %6lld ms (goal 500)\n", static_cast<long long>(msGuardar));
    std::printf("peak RSS: %.1f MB = %.2f x file size (goal 5; %.1f MB before opening)\n",
        rssPico / 1024.0, rssPico * 1024.0 / double(tamano), rssInicio / 1024.0);
    return 0;
}
