#include "languages/valoridioma.h"

namespace ValorIdioma {

namespace {

bool esSaltoLinea(QChar c)
{
    return c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QChar(0x2028)
        || c == QChar(0x2029);
}

} // namespace

QString ajusta(const QString &texto, int *cursor)
{
    QString resultado;
    resultado.reserve(texto.size());
    int posicion = cursor ? *cursor : int(texto.size());
    for (qsizetype i = 0; i < texto.size(); ++i) {
        const QChar c = texto.at(i);
        if (c == QLatin1Char('\r') && i + 1 < texto.size()
            && texto.at(i + 1) == QLatin1Char('\n')) {
            // CR LF is one break: one blank, and the cursor moves back by one.
            if (i < posicion)
                --posicion;
            continue;
        }
        resultado += esSaltoLinea(c) ? QChar(QLatin1Char(' ')) : c;
    }
    posicion = qBound(0, posicion, int(resultado.size()));

    const int sobra = int(resultado.size()) - kLargoMaximo;
    if (sobra > 0) {
        if (posicion >= sobra) {
            posicion -= sobra;
            resultado.remove(posicion, sobra);
        } else {
            resultado.truncate(kLargoMaximo);
        }
    }
    if (cursor)
        *cursor = posicion;
    return resultado;
}

bool nombreValido(const QString &nombre)
{
    const QString limpio = nombre.trimmed();
    if (limpio.isEmpty())
        return false;
    for (QChar c : limpio) {
        if (c == QLatin1Char('[') || c == QLatin1Char(']') || esSaltoLinea(c))
            return false;
    }
    return QString::compare(limpio, QLatin1String("General"), Qt::CaseInsensitive) != 0;
}

} // namespace ValorIdioma
