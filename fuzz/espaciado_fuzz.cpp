// Address spacing on random lines: the result is the line with spaces put in,
// nothing else (taking out the added spaces gives the line back), and it is
// what the character-by-character table walk gives.
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
        QByteArray r;
        QByteArray s = t;
        bool terminada = false;
        while (p > 1) {
            r += s.left(p - 1) + ' ' + c;
            s = s.mid(p);
            if (k == 0) {
                terminada = true;
                break;
            }
            p = s.indexOf(c) + 1;
        }
        t = r + s;
        if (terminada)
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
    // Every added character is a space in front of a start character.
    qsizetype i = 0;
    for (qsizetype j = 0; j < espaciada.size(); ++j) {
        if (i < linea.size() && espaciada[j] == linea[i]) {
            ++i;
            continue;
        }
        if (espaciada[j] != ' ' || j + 1 >= espaciada.size())
            abort();
    }
    if (i != linea.size())
        abort();
    return 0;
}
