#include "transfer/envioparcial.h"

#include <algorithm>

namespace EnvioParcial {

namespace {

QByteArray sinBlancos(const QByteArray &linea)
{
    QByteArray s;
    for (char c : linea) {
        if (c != ' ' && c != '\t')
            s.append(c);
    }
    return s;
}

bool esNumeroPrograma(const QByteArray &linea)
{
    const QByteArray s = linea.trimmed();
    return s.size() >= 2 && (s[0] == 'O' || s[0] == ':') && s[1] >= '0' && s[1] <= '9';
}

// Digits without leading zeros, so that N0120 and N120 are the same block
// (as the CNC reads them) whatever their length.
QByteArray numero(QByteArrayView digitos)
{
    while (digitos.size() > 1 && digitos.front() == '0')
        digitos = digitos.sliced(1);
    return digitos.toByteArray();
}

bool sonDigitos(QByteArrayView s)
{
    return !s.isEmpty()
        && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

} // namespace

qsizetype Seleccion::lineaVentana(qint64 enviadas) const
{
    if (enviadas <= cabecera)
        return enviadas - 1;
    if (enviadas <= cabecera + inicio)
        return cabecera - 1;
    return desde + (enviadas - cabecera - inicio) - 1;
}

void Seleccion::anadeInicio(const QList<QByteArray> &bloque)
{
    lineas = lineas.first(cabecera) + bloque + lineas.sliced(cabecera + inicio);
    inicio = bloque.size();
}

qsizetype lineasCabecera(const QList<QByteArray> &lineas)
{
    qsizetype n = 0;
    if (!lineas.isEmpty() && lineas.first().trimmed().startsWith('%'))
        n = 1;
    if (n < lineas.size() && esNumeroPrograma(lineas.at(n)))
        ++n;
    return n;
}

Seleccion desde(const QList<QByteArray> &lineas, qsizetype linea)
{
    Seleccion s;
    const qsizetype cabecera = lineasCabecera(lineas);
    if (linea <= cabecera || linea >= lineas.size()) {
        s.lineas = lineas;
        return s;
    }
    s.cabecera = cabecera;
    s.desde = linea;
    s.lineas = lineas.first(cabecera) + lineas.sliced(linea);
    return s;
}

qsizetype buscaLinea(const QList<QByteArray> &lineas, const QString &entrada)
{
    const QByteArray e = sinBlancos(entrada.toLatin1()).toUpper();
    if (sonDigitos(e)) {
        bool ok = false;
        const qsizetype n = e.toLongLong(&ok);
        return ok && n >= 1 && n <= lineas.size() ? n - 1 : -1;
    }
    if (e.size() < 2 || e[0] != 'N' || !sonDigitos(QByteArrayView(e).sliced(1)))
        return -1;
    const QByteArray buscado = numero(QByteArrayView(e).sliced(1));
    for (qsizetype i = 0; i < lineas.size(); ++i) {
        const QByteArray linea = sinBlancos(lineas.at(i));
        QByteArrayView l(linea);
        // A block skipped with "/" keeps its number.
        while (l.startsWith('/'))
            l = l.sliced(1);
        if (!l.startsWith('N') && !l.startsWith('n'))
            continue;
        qsizetype fin = 1;
        while (fin < l.size() && l[fin] >= '0' && l[fin] <= '9')
            ++fin;
        if (fin > 1 && numero(l.sliced(1, fin - 1)) == buscado)
            return i;
    }
    return -1;
}

} // namespace EnvioParcial
