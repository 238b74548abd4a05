// The receive decoder fed random byte streams in random chunk sizes, in both
// modes: the same lines, the same end and the same partial line come out
// whatever the chunking.
#include "transfer/decodificadorrecepcion.h"

#include <cstdint>
#include <cstdlib>

namespace {

struct Salida
{
    QList<QByteArray> lineas;
    int finales = 0;
    qsizetype lineasAlFinal = -1;
    bool operator==(const Salida &) const = default;
};

Salida decodifica(bool iso, const QByteArray &flujo, const QByteArray &cortes)
{
    Salida salida;
    DecodificadorRecepcion decodificador(iso);
    QObject::connect(&decodificador, &DecodificadorRecepcion::lineasRecibidas,
        [&](const QList<QByteArray> &l) { salida.lineas += l; });
    QObject::connect(&decodificador, &DecodificadorRecepcion::finRecepcion, [&] {
        ++salida.finales;
        salida.lineasAlFinal = salida.lineas.size();
    });
    qsizetype i = 0;
    qsizetype c = 0;
    while (i < flujo.size()) {
        const qsizetype trozo
            = cortes.isEmpty() ? flujo.size() : 1 + uchar(cortes[c++ % cortes.size()]) % 64;
        decodificador.feed(flujo.mid(i, trozo));
        i += trozo;
    }
    decodificador.terminaParcial();
    return salida;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *datos, size_t tamano)
{
    if (tamano < 2)
        return 0;
    const bool iso = datos[0] & 1;
    const qsizetype largoCortes = datos[1] % 16;
    const QByteArray resto(reinterpret_cast<const char *>(datos + 2), qsizetype(tamano - 2));
    const QByteArray cortes = resto.left(largoCortes);
    const QByteArray flujo = resto.mid(largoCortes);

    const Salida entero = decodifica(iso, flujo, {});
    if (entero.finales > 1)
        abort();
    if (!(decodifica(iso, flujo, cortes) == entero))
        abort();
    if (!(decodifica(iso, flujo, QByteArray(1, '\0')) == entero)) // byte by byte
        abort();
    for (const QByteArray &l : entero.lineas) {
        if (l.contains('\n'))
            abort();
    }
    return 0;
}
