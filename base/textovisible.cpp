#include "base/textovisible.h"

namespace {

bool reordena(char16_t c)
{
    return c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E)
        || (c >= 0x2066 && c <= 0x2069);
}

QString hex(char16_t c, int cifras)
{
    return QString::number(c, 16).toUpper().rightJustified(cifras, QLatin1Char('0'));
}

} // namespace

QString TextoVisible(QStringView texto)
{
    QString visible;
    visible.reserve(texto.size());
    for (const QChar qc : texto) {
        const char16_t c = qc.unicode();
        if (c == u'\t')
            visible += QLatin1String("\\t");
        else if (c == u'\n')
            visible += QLatin1String("\\n");
        else if (c == u'\r')
            visible += QLatin1String("\\r");
        else if (c < 0x20 || (c >= 0x7F && c <= 0x9F))
            visible += QLatin1String("\\x") + hex(c, 2);
        else if (reordena(c))
            visible += QLatin1String("\\u") + hex(c, 4);
        else
            visible += qc;
    }
    return visible;
}
