// Any text read as a program: the reader ends, within its bounds, and what
// it builds holds together (every move's line is a line of the text, the
// time is a number), as does the restart block from its middle line.
#include "plot/lectorprograma.h"
#include "plot/reinicio.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *datos, size_t tamano)
{
    const QList<QByteArray> lineas
        = QByteArray(reinterpret_cast<const char *>(datos), qsizetype(tamano)).split('\n');
    const Trazado::Lectura l = Trazado::lee(lineas);
    const Trazado::Trayectoria &t = l.trayectoria;
    if (!std::isfinite(l.segundos) || l.segundos < 0 || t.size() > Trazado::kMaxMovimientos
        || t.primerMovimiento.size() != std::size_t(lineas.size()))
        abort();
    for (const Trazado::Movimiento &m : t.movimientos)
        if (m.linea >= std::uint32_t(lineas.size())
            || (t.esArco(&m - t.movimientos.data()) && m.arco >= t.centros.size()))
            abort();
    Trazado::bloqueReinicio(lineas, lineas.size() / 2);
    return 0;
}
