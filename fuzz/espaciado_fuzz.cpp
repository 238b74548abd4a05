// Address spacing on random lines gives what the character-by-character
// table walk gives.
#include "text/espaciado.h"

#include <cstdint>
#include <cstdlib>

namespace {

// The table walk as the operators' manual describes it, kept naive on purpose.
QByteArray referencia(QByteArray t)
{
    for (int k = 0; k < 16; ++k) {
        const char c = Espaciado::kCaracteresInicio[k];
        qsizetype p = t.indexOf(c) + 1;
        if (p <= 1)
            continue;
        QByteArray r, s = t;
        while (p > 1) {
            r += s.left(p - 1) + ' ' + c;
            s = s.mid(p);
            p = k == 0 ? 0 : s.indexOf(c) + 1; // the first character ends the walk
        }
        t = r + s;
        if (k == 0)
            break;
    }
    return t;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *datos, size_t tamano)
{
    const QByteArray linea(reinterpret_cast<const char *>(datos), qsizetype(tamano));
    const QByteArray espaciada = Espaciado::espaciaLinea(linea);
    if (espaciada != referencia(linea))
        abort();
    return 0;
}
