#pragma once

#include "plot/lectorprograma.h"

#include <QByteArray>
#include <QList>

#include <cstdint>

// A safe restart part-way through a program: the control has lost the
// program's tool, offsets, spindle, coolant and modes, so the blocks sent
// before the chosen line give them back, as the program had them there,
// and bring the tool to the line's start point from above.
namespace Trazado {

struct BloqueReinicio
{
    QList<QByteArray> lineas;
    enum Nota : std::uint32_t {
        // The program never runs the line: there is no state to give back.
        SinEstado = 1,
        // The line's start point is not known: the blocks do not move the tool.
        SinPosicion = 2,
        // Cutter compensation is on at the line: the blocks do not restore it.
        ConCompensacion = 4,
    };
    std::uint32_t notas = 0;
};

// In this order: the last T and M6 (and the tool prepared after it), the
// work offset, the plane, units and feed mode the program set, S with M3 or
// M4, coolant, a rapid up to a safe Z (the highest the tool has been, with
// the length offset), to X Y of the line's start, down to its Z (a canned
// cycle's initial level), G91 if the program was incremental, and the
// motion mode with F (or the canned cycle's block without a hole).
BloqueReinicio bloqueReinicio(
    const QList<QByteArray> &lineas, qsizetype linea, const Opciones &opciones = {});

} // namespace Trazado
