// Times comparing the text window with a file: reading the file as the
// command does, then the comparison, for the cases an operator meets (the
// program came back whole, with one or a hundred changes, or is another
// program altogether). Prints the figures and the peak memory.
#include "text/comparacion.h"
#include "text/ficheroprograma.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <cstdio>
#include <functional>

namespace {

long picoRssKb()
{
    rusage uso {};
    getrusage(RUSAGE_SELF, &uso);
    return uso.ru_maxrss;
}

QByteArray linea(int n, const char *eje)
{
    return 'N' + QByteArray::number(n) + "G01" + eje
        + QByteArray::number((n % 100000) / 1000.0, 'f', 3) + 'Y'
        + QByteArray::number(-((n * 7) % 100000) / 1000.0, 'f', 3) + "F1200";
}

QList<QByteArray> programa(int lineas, const char *eje = "X")
{
    QList<QByteArray> l;
    l.reserve(lineas);
    for (int i = 0; i < lineas; ++i)
        l.append(linea(i * 10, eje));
    return l;
}

bool escribe(const QString &ruta, const QList<QByteArray> &lineas, const QByteArray &fin)
{
    QFile f(ruta);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    QByteArray todo;
    for (const QByteArray &l : lineas)
        todo += l + fin;
    return f.write(todo) == todo.size();
}

void mide(const char *caso, const QList<QByteArray> &texto, const QList<QByteArray> &fichero,
    const QByteArray &fin)
{
    QTemporaryDir dir;
    const QString ruta = dir.filePath("P.TXT");
    if (!escribe(ruta, fichero, fin)) {
        std::printf("%s: cannot write the file\n", caso);
        return;
    }
    QElapsedTimer reloj;
    reloj.start();
    QList<QByteArray> leidas;
    FicheroPrograma::lee(ruta, leidas);
    const qint64 lectura = reloj.elapsed();
    reloj.restart();
    const Comparacion::Resultado r = Comparacion::compara(texto, leidas);
    const qint64 comparacion = reloj.elapsed();
    std::printf("%-34s read %5lld ms  compare %5lld ms  total %5lld ms  stretches %6lld  "
                "lines %lld/%lld  peak %ld MB\n",
        caso, lectura, comparacion, lectura + comparacion, qlonglong(r.bloques.size()),
        qlonglong(r.lineasTexto), qlonglong(r.lineasFichero), picoRssKb() / 1024);
}

} // namespace

int main()
{
    const int kMillon = 1000000;
    const QList<QByteArray> texto = programa(kMillon);
    mide("identical 1M (file LF only)", texto, texto, "\n");

    QList<QByteArray> uno = texto;
    uno[kMillon / 2] = "N5000000G00Z50";
    mide("one changed line in 1M", texto, uno, "\r\n");

    // A hundred changes spread over the program: changed, added and removed lines.
    QList<QByteArray> cien = texto;
    for (int c = 99; c >= 0; --c) {
        const qsizetype i = 5000 + qsizetype(c) * (kMillon - 10000) / 100;
        if (c % 3 == 0)
            cien[i] = "N" + QByteArray::number(i) + "M01";
        else if (c % 3 == 1)
            cien.insert(i, "M00");
        else
            cien.removeAt(i);
    }
    mide("100 scattered changes in 1M", texto, cien, "\r\n");

    mide("fully different 10k", programa(10000), programa(10000, "Z"), "\r\n");
    mide("fully different 100k", programa(100000), programa(100000, "Z"), "\r\n");
    return 0;
}
