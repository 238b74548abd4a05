#pragma once

#include <QList>
#include <QString>

// A serial device the port list can offer besides COM1 to COM10.
struct DispositivoSerie
{
    QString ruta;
    QString descripcion;
};

namespace ListaPuertos {

// The serial devices found now: those the system reports, then the stable
// names under /dev/serial/by-id, which survive a USB adapter moving from
// ttyUSB0 to ttyUSB1 and which the system's list does not carry.
QList<DispositivoSerie> dispositivos();

// "/dev/ttyUSB0 - FT232R USB UART", or the path alone without a description.
QString textoElemento(const DispositivoSerie &dispositivo);

// Tests point the stable names at a directory of their own; empty restores
// /dev/serial/by-id.
void EstableceDirectorioPorId(const QString &directorio);

} // namespace ListaPuertos
