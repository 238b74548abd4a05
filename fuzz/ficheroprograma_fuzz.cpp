// Random bytes as a program file: a read line never holds a line end, and
// the lines saved with CR LF read back as the same lines, byte for byte.
#include "text/ficheroprograma.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *datos, size_t tamano)
{
    const QByteArray entrada(reinterpret_cast<const char *>(datos), qsizetype(tamano));

    const QList<QByteArray> lineas = FicheroPrograma::separaLineas(entrada);
    QByteArray guardado;
    for (const QByteArray &l : lineas) {
        if (l.contains('\r') || l.contains('\n'))
            abort();
        guardado += l + "\r\n";
    }
    if (FicheroPrograma::separaLineas(guardado) != lineas)
        abort();

    return 0;
}
