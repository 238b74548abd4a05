#include "remote/almacenremoto.h"

#include "remote/almacencarpeta.h"
#include "remote/almacenftp.h"

#include <QRandomGenerator>

bool AlmacenRemoto::nombreValido(const QString &nombre)
{
    if (nombre.isEmpty() || nombre.size() > kMaxNombre || nombre == QLatin1String(".")
        || nombre == QLatin1String(".."))
        return false;
    for (const QChar c : nombre) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f || c == QLatin1Char('/')
            || c == QLatin1Char('\\'))
            return false;
    }
    return true;
}

QString AlmacenRemoto::nombreTemporal()
{
    return QStringLiteral(".keldan-%1.tmp")
        .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
}

bool AlmacenRemoto::esTemporal(const QString &nombre)
{
    return nombre.size() == 20 && nombre.startsWith(QLatin1String(".keldan-"))
        && nombre.endsWith(QLatin1String(".tmp"));
}

std::unique_ptr<AlmacenRemoto> AlmacenRemoto::crea(
    const DireccionRemota &dir, bool ftpActivo, const QString &netrc)
{
    OpcionesRemotas o;
    o.ftpActivo = ftpActivo;
    o.netrc = netrc;
    return crea(dir, o);
}

std::unique_ptr<AlmacenRemoto> AlmacenRemoto::crea(
    const DireccionRemota &dir, const OpcionesRemotas &opciones)
{
    if (dir.tipo == DireccionRemota::Tipo::Carpeta)
        return std::make_unique<AlmacenCarpeta>(dir.carpeta);
    return std::make_unique<AlmacenFtp>(dir, opciones);
}
