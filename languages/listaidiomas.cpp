#include "languages/listaidiomas.h"

#include "base/perfilini.h"

#include <QFile>

namespace ListaIdiomas {

QStringList lee(const QString &rutaIni)
{
    QStringList idiomas;
    QFile archivo(rutaIni);
    if (!archivo.open(QIODevice::ReadOnly))
        return idiomas;
    const QStringList lineas = PerfilIni::decodifica(archivo.readAll()).split(QLatin1Char('\n'));
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
