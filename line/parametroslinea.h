#pragma once

#include <QString>
#include <optional>

// The values a machine's line may be set to: the settings dialog offers
// exactly these, and a machine whose file holds another is refused rather
// than used with a guess.
namespace ValoresLinea {
inline constexpr qint32 kVelocidades[]
    = {110, 300, 600, 1200, 2400, 4800, 9600, 14400, 19200, 28800, 38400, 57600, 115200};
inline constexpr char kParidades[] = {'N', 'O', 'E', 'M', 'S'};
inline constexpr int kBitsDatos[] = {5, 6, 7, 8};
// A serial port takes 1.5 only with 5 data bits (it says so when it opens);
// a device server may take it with more.
inline constexpr double kBitsStop[] = {1, 1.5, 2};
inline constexpr const char *kModos[] = {"Ascii", "Iso"};
inline constexpr const char *kNegos[] = {"XonXoff", "RtsCts", "Ninguno"};
} // namespace ValoresLinea

// The line parameters of a port, read from a settings text like "4800,N,8,2".
struct ParametrosLinea
{
    qint32 velocidad = 4800;
    char paridad = 'N'; // N, O, E, M or S
    int bitsDatos = 8;
    double bitsStop = 2;

    // Nothing when the text is not a valid setting (speed, a known parity
    // letter, 5 to 8 data bits, 1, 1.5 or 2 stop bits).
    static std::optional<ParametrosLinea> interpreta(const QString &texto);

    // Bits on the line for one character: start, data, parity, stop.
    double bitsPorCaracter() const;
};

// The device of port n (/dev/ttyS<n-1>), or the device path given instead.
QString RutaPuerto(int puertoCom, const QString &dispositivo);

// The device as the status bar names it: its last part (with the folder when
// that part is a bare number, as in pts/3), long names cut to their end; a
// network port as "tcp://host:4001".
QString NombreCortoPuerto(const QString &ruta);
