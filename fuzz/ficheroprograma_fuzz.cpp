// Random bytes as a program file: reading never fails on content, a read
// line never holds a line end, and what is saved reads back as the same
// lines, byte for byte (so a CR LF file saved back is identical).
#include "text/ficheroprograma.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

namespace {

QByteArray comoFichero(const QList<QByteArray> &lineas)
{
    QByteArray datos;
    for (const QByteArray &l : lineas)
        datos += l + "\r\n";
    return datos;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *datos, size_t tamano)
{
    static QTemporaryDir dir;
    const QByteArray entrada(reinterpret_cast<const char *>(datos), qsizetype(tamano));

    const QList<QByteArray> lineas = FicheroPrograma::separaLineas(entrada);
    for (const QByteArray &l : lineas) {
        if (l.contains('\r') || l.contains('\n'))
            abort();
    }
    const QByteArray guardado = comoFichero(lineas);
    if (FicheroPrograma::separaLineas(guardado) != lineas)
        abort();

    // Through the disk: write, read back, and the bytes of a CR LF file survive.
    const QString ruta = dir.filePath(QStringLiteral("O1.TXT"));
    if (!FicheroPrograma::escribe(ruta, lineas))
        abort();
    QList<QByteArray> leidas;
    if (!FicheroPrograma::lee(ruta, leidas) || leidas != lineas)
        abort();
    QFile f(ruta);
    if (!f.open(QIODevice::ReadOnly) || f.readAll() != guardado)
        abort();
    return 0;
}
