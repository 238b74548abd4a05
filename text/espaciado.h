#pragma once

#include <QByteArray>
#include <QList>

#include <functional>

// Spacing of address words: N10G01X100 becomes N10 G01 X100. A space goes in
// front of the words that start with one of a fixed set of upper-case
// characters; existing spaces are neither looked at nor removed, so a second
// run doubles them.
namespace Espaciado {

// The start characters in the order they are worked through; "(" first.
inline constexpr char kCaracteresInicio[]
    = {'(', 'C', 'F', 'G', 'M', 'P', 'R', 'S', 'T', 'U', 'V', 'W', 'X', 'Y', 'Z', '/'};

QByteArray espaciaLinea(const QByteArray &linea);

// Spaces every line in place, telling now and then how many are done.
void espaciaLineas(QList<QByteArray> &lineas,
    const std::function<void(qint64 hecho, qint64 total)> &progreso = {});

} // namespace Espaciado
