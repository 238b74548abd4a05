// The receive decoder fed random byte streams in random chunk sizes, in both
// codes, framed or not: the same lines, the same end, the same partial line
// and the same count of unreadable bytes come out whatever the chunking.
#include "line/decodificadorrecepcion.h"

#include <cstdint>
#include <cstdlib>

namespace {

// Lines, then for each end mark the number of lines before it, then the
// unreadable bytes and their lines.
QList<QList<qint64>> decodifica(bool iso, const FormatoLinea &formato, const QByteArray &flujo,
    const QByteArray &cortes, QList<QByteArray> &lineas)
{
    QList<qint64> fines;
    DecodificadorRecepcion d(iso, formato);
    QObject::connect(&d, &DecodificadorRecepcion::lineasRecibidas,
        [&](const QList<QByteArray> &l) { lineas += l; });
    QObject::connect(
        &d, &DecodificadorRecepcion::finRecepcion, [&] { fines.append(lineas.size()); });
    for (qsizetype i = 0, c = 0, trozo; i < flujo.size(); i += trozo) {
        trozo = cortes.isEmpty() ? flujo.size() : 1 + uchar(cortes[c++ % cortes.size()]) % 64;
        d.feed(flujo.mid(i, trozo));
    }
    d.terminaParcial();
    return {fines, {d.ilegibles()}, d.lineasIlegibles()};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *datos, size_t tamano)
{
    if (tamano < 2)
        return 0;
    const bool iso = datos[0] & 1;
    FormatoLinea formato;
    formato.marco = !(datos[0] & 2);
    if (datos[0] & 4)
        formato.finBloque = FormatoLinea::FinBloque::Cr;
    const QByteArray resto(reinterpret_cast<const char *>(datos + 2), qsizetype(tamano - 2));
    const QByteArray cortes = resto.left(datos[1] % 16);
    const QByteArray flujo = resto.mid(cortes.size());
    QList<QByteArray> entero, troceado, unoAUno;
    const auto salida = decodifica(iso, formato, flujo, {}, entero);
    if (salida.at(0).size() > 1 || decodifica(iso, formato, flujo, cortes, troceado) != salida
        || troceado != entero
        || decodifica(iso, formato, flujo, QByteArray(1, '\0'), unoAUno) != salida
        || unoAUno != entero)
        abort();
    // LF always cuts; ISO lines hold only the table's printable texts.
    for (const QByteArray &l : entero)
        for (char c : l)
            if (c == '\n' || (iso && (c < 0x20 || c > 0x7E)))
                abort();
    return 0;
}
