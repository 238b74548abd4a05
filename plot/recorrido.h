#pragma once

#include "plot/trayectoria.h"

#include <cstddef>

// The toolpath as a view shows it: an orthographic projection onto the
// screen, and a walk over what is in sight that hands out polylines in
// screen coordinates. What is smaller than a pixel is merged on the way
// (level of detail follows the zoom), what is out of sight is skipped a
// box of moves at a time, and arcs are cut into chords that stay within
// half a pixel of the arc at any zoom.
namespace Trazado {

struct Vista
{
    enum Tipo { XY, XZ, YZ, Isometrica };

    // Screen right and up, as unit vectors of program space.
    double ex[3] = {1, 0, 0};
    double ey[3] = {0, 1, 0};
    // Pixels per mm, and where the toolpath's origin shows.
    double escala = 1;
    double ox = 0;
    double oy = 0;

    static Vista de(Tipo tipo);

    double u(const Punto &p) const
    {
        return ox + escala * (ex[0] * p[0] + ex[1] * p[1] + ex[2] * p[2]);
    }
    double v(const Punto &p) const
    {
        return oy - escala * (ey[0] * p[0] + ey[1] * p[1] + ey[2] * p[2]);
    }
    // The point of the view's plane through the origin under pixel (u, v).
    Punto punto(double u, double v) const;

    // The box (relative to the toolpath's origin) in the middle of an area
    // of ancho x alto pixels, with a margin.
    void encuadra(const Trayectoria::Caja &caja, double ancho, double alto);
    // Zooms by the factor keeping the point under pixel (u, v) where it is,
    // within kEscalaMinima and kEscalaMaxima.
    void amplia(double factor, double u, double v);

    static constexpr double kEscalaMinima = 1e-6;
    // A micrometre a pixel: floats still place points of a part metres
    // long to the pixel.
    static constexpr double kEscalaMaxima = 1e3;
};

struct Ventana
{
    double u0, v0, u1, v1;
};

// What the walk hands out: polylines, each of rapids or of feed moves (lines
// and arcs), and the marks of G28's reference moves. `mov` is the move a
// vertex belongs to.
class Receptor
{
public:
    virtual ~Receptor() = default;
    virtual void empieza(double u, double v, bool rapido, std::size_t mov) = 0;
    virtual void sigue(double u, double v, std::size_t mov) = 0;
    virtual void marca(double u, double v, std::size_t mov) = 0;
};

// Walks everything in the window. Vertices closer than `fusion` pixels to
// the last one are merged; 0 hands out every chord (for picking).
void recorre(const Trayectoria &t, const Vista &vista, const Ventana &ventana, double fusion,
    Receptor &receptor);

// Walks one move alone, every chord of it.
void recorreMovimiento(const Trayectoria &t, std::size_t mov, const Vista &vista,
    const Ventana &ventana, Receptor &receptor);

// The move drawn within `radio` pixels of (u, v), the nearest; -1 when none.
std::ptrdiff_t busca(
    const Trayectoria &t, const Vista &vista, double u, double v, double radio = 4);

} // namespace Trazado
