#include "languages/listaidiomas.h"

#include <QFile>
#include <QStringDecoder>

namespace ListaIdiomas {

QStringList lee(const QString &rutaIni)
{
    QStringList idiomas;
    QFile archivo(rutaIni);
    if (!archivo.open(QIODevice::ReadOnly))
        return idiomas;
    const QByteArray datos = archivo.readAll();
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString texto = utf8(datos);
    if (utf8.hasError())
        texto = QString::fromLatin1(datos);
    if (texto.startsWith(QChar(0xFEFF)))
        texto.remove(0, 1);
    const QStringList lineas = texto.split(QLatin1Char('\n'));
    for (QString linea : lineas) {
        if (linea.endsWith(QLatin1Char('\r')))
            linea.chop(1);
        if (!linea.startsWith(QLatin1Char('[')) || !linea.contains(QLatin1Char(']')))
            continue;
        if (linea == QLatin1String("[General]"))
            continue;
        idiomas.append(linea.mid(1, linea.size() - 2));
    }
    return idiomas;
}

} // namespace ListaIdiomas
