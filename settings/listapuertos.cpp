#include "settings/listapuertos.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>
#include <QSet>

namespace ListaPuertos {

namespace {

QString g_directorioPorId;

QString directorioPorId()
{
    return g_directorioPorId.isEmpty() ? QStringLiteral("/dev/serial/by-id") : g_directorioPorId;
}

} // namespace

QList<DispositivoSerie> dispositivos()
{
    QList<DispositivoSerie> lista;
    QSet<QString> vistas;
    const QList<QSerialPortInfo> sistema = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : sistema) {
        const QString ruta = info.systemLocation();
        if (ruta.isEmpty() || vistas.contains(ruta))
            continue;
        vistas.insert(ruta);
        lista.append({ruta, info.description()});
    }

    const QDir dir(directorioPorId());
    const QFileInfoList enlaces
        = dir.entryInfoList(QDir::Files | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo &enlace : enlaces) {
        const QString ruta = enlace.absoluteFilePath();
        if (vistas.contains(ruta))
            continue;
        vistas.insert(ruta);
        // Name the device the link stands for now, so the operator can tell
        // which adapter it is.
        const QString destino = enlace.canonicalFilePath();
        QString descripcion;
        if (!destino.isEmpty() && destino != ruta) {
            descripcion = destino;
            for (const QSerialPortInfo &info : sistema) {
                if (info.systemLocation() == destino && !info.description().isEmpty()) {
                    descripcion
                        = info.description() + QStringLiteral(" (") + destino + QLatin1Char(')');
                    break;
                }
            }
        }
        lista.append({ruta, descripcion});
    }
    return lista;
}

QString textoElemento(const DispositivoSerie &dispositivo)
{
    if (dispositivo.descripcion.isEmpty())
        return dispositivo.ruta;
    return dispositivo.ruta + QStringLiteral(" - ") + dispositivo.descripcion;
}

void EstableceDirectorioPorId(const QString &directorio)
{
    g_directorioPorId = directorio;
}

} // namespace ListaPuertos
