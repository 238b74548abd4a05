#include "line/parametroslinea.h"

#include "line/direccionred.h"

#include <QStringList>

std::optional<ParametrosLinea> ParametrosLinea::interpreta(const QString &texto)
{
    const QStringList partes = texto.split(QLatin1Char(','));
    if (partes.size() != 4)
        return std::nullopt;
    ParametrosLinea p;
    bool ok = false;
    p.velocidad = partes.at(0).trimmed().toInt(&ok);
    if (!ok || p.velocidad <= 0)
        return std::nullopt;
    const QString paridad = partes.at(1).trimmed().toUpper();
    if (paridad.size() != 1 || !QStringLiteral("NOEMS").contains(paridad))
        return std::nullopt;
    p.paridad = paridad.at(0).toLatin1();
    p.bitsDatos = partes.at(2).trimmed().toInt(&ok);
    if (!ok || p.bitsDatos < 5 || p.bitsDatos > 8)
        return std::nullopt;
    const QString stop = partes.at(3).trimmed();
    if (stop == QLatin1String("1"))
        p.bitsStop = 1;
    else if (stop == QLatin1String("1.5"))
        p.bitsStop = 1.5;
    else if (stop == QLatin1String("2"))
        p.bitsStop = 2;
    else
        return std::nullopt;
    return p;
}

double ParametrosLinea::bitsPorCaracter() const
{
    return 1 + bitsDatos + (paridad == 'N' ? 0 : 1) + bitsStop;
}

QString RutaPuerto(int puertoCom, const QString &dispositivo)
{
    if (!dispositivo.isEmpty())
        return dispositivo;
    if (puertoCom <= 0)
        return {};
    return QStringLiteral("/dev/ttyS%1").arg(puertoCom - 1);
}

QString NombreCortoPuerto(const QString &ruta)
{
    // A /dev/serial/by-id name runs to 50 characters; its end tells ports apart.
    constexpr qsizetype kLargoMaximo = 20;
    // A network port keeps its scheme and port: "host:4001" alone would not
    // say how the line is reached.
    if (DireccionRed::esDeRed(ruta))
        return DireccionRed::nombreCorto(ruta);
    const QStringList partes = ruta.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (partes.isEmpty())
        return ruta;
    QString nombre = partes.last();
    bool numero = false;
    nombre.toInt(&numero);
    if (numero && partes.size() > 1)
        nombre = partes.at(partes.size() - 2) + QLatin1Char('/') + nombre;
    if (nombre.size() > kLargoMaximo)
        nombre = QChar(0x2026) + nombre.right(kLargoMaximo - 1);
    return nombre;
}
