#include "text/espaciado.h"

#include <array>

namespace Espaciado {

namespace {

// Index of each start character in the table, -1 for the others.
constexpr std::array<signed char, 256> construyeIndices()
{
    std::array<signed char, 256> indices {};
    for (auto &i : indices)
        i = -1;
    for (size_t k = 0; k < sizeof(kCaracteresInicio); ++k)
        indices[static_cast<unsigned char>(kCaracteresInicio[k])] = static_cast<signed char>(k);
    return indices;
}

constexpr std::array<signed char, 256> kIndices = construyeIndices();
constexpr int kNumCaracteres = int(sizeof(kCaracteresInicio));

} // namespace

// The words are spaced one start character after the other: each occurrence
// of a character gets a space, scanning from the left, until one stands at
// the head of what is left (the line's first character, or right behind the
// previous occurrence). A "(" after the first character gets the only space
// of its line: the comment and the words before it stay as they are. Spaces
// never create or move a start character, so one pass over the line that
// marks where spaces go gives the same text as working through the table.
QByteArray espaciaLinea(const QByteArray &linea)
{
    const qsizetype n = linea.size();
    if (n < 2)
        return linea;
    const char *datos = linea.constData();

    const qsizetype parentesis = linea.indexOf('(');
    if (parentesis > 0) {
        QByteArray r;
        r.reserve(n + 1);
        r.append(datos, parentesis);
        r.append(' ');
        r.append(datos + parentesis, n - parentesis);
        return r;
    }

    // Per start character: still scanning, and where its last occurrence was.
    std::array<bool, kNumCaracteres> terminado {};
    std::array<qsizetype, kNumCaracteres> ultimo;
    ultimo.fill(-2);
    // "(" at the head (or nowhere) is never spaced.
    terminado[0] = true;
    const int primero = kIndices[static_cast<unsigned char>(datos[0])];
    if (primero >= 0)
        terminado[primero] = true;

    QByteArray r;
    qsizetype desde = 0; // first character of the line not yet copied to r
    for (qsizetype i = 1; i < n; ++i) {
        const int k = kIndices[static_cast<unsigned char>(datos[i])];
        if (k < 0 || terminado[k])
            continue;
        if (ultimo[k] == i - 1) {
            terminado[k] = true;
            continue;
        }
        ultimo[k] = i;
        if (desde == 0)
            r.reserve(n + 16);
        r.append(datos + desde, i - desde);
        r.append(' ');
        desde = i;
    }
    if (desde == 0)
        return linea;
    r.append(datos + desde, n - desde);
    return r;
}

void espaciaLineas(
    QList<QByteArray> &lineas, const std::function<void(qint64 hecho, qint64 total)> &progreso)
{
    constexpr qsizetype kLineasPorAviso = 65536;
    const qsizetype total = lineas.size();
    for (qsizetype i = 0; i < total; ++i) {
        lineas[i] = espaciaLinea(lineas.at(i));
        if (progreso && i % kLineasPorAviso == kLineasPorAviso - 1)
            progreso(i + 1, total);
    }
}

} // namespace Espaciado
