#pragma once

#include "plot/recorrido.h"

#include <QColor>
#include <QSize>

#include <optional>

class QImage;
class QPainter;

// Draws a toolpath into an image: feed moves solid, rapids dashed in a
// second colour, G28's reference moves as marks, the origin of the
// program's coordinates as axes. A million moves are drawn straight into
// the image's pixels, one pixel wide: a general painter would take ten
// times as long over lines of a pixel or two.
namespace DibujoTrayectoria {

inline const QColor kFondo {Qt::black};
inline const QColor kAvance {0, 192, 0};
inline const QColor kRapido {255, 170, 0};
inline const QColor kSeleccion {Qt::white};
inline const QColor kHerramienta {0, 200, 255};

// The whole toolpath as seen in the view, filling the image (RGB32).
void dibuja(QImage &imagen, const Trazado::Trayectoria &t, const Trazado::Vista &vista);

// One move drawn over it, thick; and the tool standing at a point
// (relative to the toolpath's origin), along Z.
void dibujaMovimiento(QPainter &p, const Trazado::Trayectoria &t, std::size_t mov,
    const Trazado::Vista &vista, QSize tamano);
void dibujaHerramienta(QPainter &p, const Trazado::Punto &punto, const Trazado::Vista &vista);

} // namespace DibujoTrayectoria
