#include "text/comparacion.h"

#include <dtl/dtl.hpp>

#include <QHashFunctions>

#include <vector>

namespace Comparacion {

namespace {

using Linea = const QByteArray *;

class MismaLinea : public dtl::Compare<Linea>
{
public:
    bool impl(const Linea &a, const Linea &b) const override { return *a == *b; }
};

} // namespace

Resultado compara(const QList<QByteArray> &texto, const QList<QByteArray> &fichero)
{
    // A program back from the machine is mostly the one that went out: the
    // equal head and tail are taken off cheaply and only the middle is diffed.
    qsizetype inicio = 0;
    const qsizetype comun = std::min(texto.size(), fichero.size());
    while (inicio < comun && texto.at(inicio) == fichero.at(inicio))
        ++inicio;
    qsizetype finTexto = texto.size(), finFichero = fichero.size();
    while (finTexto > inicio && finFichero > inicio
        && texto.at(finTexto - 1) == fichero.at(finFichero - 1)) {
        --finTexto;
        --finFichero;
    }

    Resultado resultado;
    auto bloque = [&](qsizetype t, qsizetype finT, qsizetype f, qsizetype finF) {
        if (t == finT && f == finF)
            return;
        resultado.bloques.append({t + 1, f + 1, texto.mid(t, finT - t), fichero.mid(f, finF - f)});
        resultado.lineasTexto += finT - t;
        resultado.lineasFichero += finF - f;
    };
    if (finTexto == inicio || finFichero == inicio) {
        bloque(inicio, finTexto, inicio, finFichero);
        return resultado;
    }

    // A line found on one side only never pairs up: it is a difference
    // wherever it falls. Leaving such lines out of the search keeps a wholly
    // different file (the wrong program picked) from the search's worst case.
    // Three bits for each line's hash in a table of 32 bits a line tell the
    // other side's lines apart; the few lines that merely share their bits
    // stay in the search, which costs only time.
    const qsizetype mayor = std::max(finTexto, finFichero) - inicio;
    int potencia = 16;
    while (potencia < 28 && (qsizetype(1) << potencia) < mayor * 32)
        ++potencia;
    const size_t mascara = (size_t(1) << potencia) - 1;
    std::vector<size_t> hashA, hashB;
    std::vector<quint64> bitsA(size_t(1) << (potencia - 6)), bitsB(bitsA.size());
    auto bit = [mascara](size_t h, int k) { return (h + size_t(k) * (h >> 32)) & mascara; };
    auto marca = [&bit](const QList<QByteArray> &lineas, qsizetype desde, qsizetype hasta,
                     std::vector<size_t> &hashes, std::vector<quint64> &bits) {
        hashes.reserve(size_t(hasta - desde));
        for (qsizetype i = desde; i < hasta; ++i) {
            const size_t h = qHash(QByteArrayView(lineas.at(i)));
            hashes.push_back(h);
            for (int k = 0; k < 3; ++k)
                bits[bit(h, k) >> 6] |= quint64(1) << (bit(h, k) & 63);
        }
    };
    marca(texto, inicio, finTexto, hashA, bitsA);
    marca(fichero, inicio, finFichero, hashB, bitsB);
    auto esta = [&bit](const std::vector<quint64> &bits, size_t h) {
        for (int k = 0; k < 3; ++k) {
            if (!((bits[bit(h, k) >> 6] >> (bit(h, k) & 63)) & 1))
                return false;
        }
        return true;
    };
    // The lines searched, as pointers (the diff copies its sequences), and
    // where each stands.
    std::vector<Linea> a, b;
    std::vector<qsizetype> filaA, filaB;
    for (qsizetype i = inicio; i < finTexto; ++i) {
        if (esta(bitsB, hashA[size_t(i - inicio)]))
            a.push_back(&texto.at(i)), filaA.push_back(i);
    }
    for (qsizetype i = inicio; i < finFichero; ++i) {
        if (esta(bitsA, hashB[size_t(i - inicio)]))
            b.push_back(&fichero.at(i)), filaB.push_back(i);
    }

    // Between two lines the sides share, whatever else stands on either side
    // is one stretch of differences.
    qsizetype t = inicio, f = inicio;
    if (!a.empty() && !b.empty()) {
        dtl::Diff<Linea, std::vector<Linea>, MismaLinea> diff(a, b);
        diff.compose();
        size_t x = 0, y = 0;
        for (const auto &paso : diff.getSes().getSequence()) {
            if (paso.second.type == dtl::SES_DELETE) {
                ++x;
            } else if (paso.second.type == dtl::SES_ADD) {
                ++y;
            } else {
                bloque(t, filaA[x], f, filaB[y]);
                t = filaA[x++] + 1;
                f = filaB[y++] + 1;
            }
        }
    }
    bloque(t, finTexto, f, finFichero);
    return resultado;
}

} // namespace Comparacion
