#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <utility>
#include <vector>

// A program's toolpath as the reader builds it: the moves in the order the
// control runs them. Memory is what limits a million-line program, so a move
// keeps only its end point (it starts where the move before it ends), in
// floats relative to an origin, and an arc its centre by index.
namespace Trazado {

enum class Tipo : std::uint8_t {
    Rapido,
    Avance,
    Horario, // G2
    Antihorario, // G3
    // G28: the reference point, where the program's coordinates do not say;
    // drawn as a mark where the tool leaves for it.
    Referencia,
    // The position changes without a drawn move: unknown after a tool change
    // or G53, set by G92.
    Salto,
};

// The arc planes by their two axes, in the order in which G2 turns clockwise
// seen from the third axis' positive side.
enum class Plano : std::uint8_t { XY, ZX, YZ };

// The axes (0 X, 1 Y, 2 Z) of a plane: its first, its second and its normal.
inline std::array<int, 3> ejesPlano(Plano p)
{
    switch (p) {
    case Plano::ZX:
        return {2, 0, 1};
    case Plano::YZ:
        return {1, 2, 0};
    case Plano::XY:
        break;
    }
    return {0, 1, 2};
}

using Punto = std::array<double, 3>;

inline bool conocido(const Punto &p)
{
    return !std::isnan(p[0]) && !std::isnan(p[1]) && !std::isnan(p[2]);
}

constexpr double kDesconocido = std::numeric_limits<double>::quiet_NaN();

// Flags of a move.
enum : std::uint8_t {
    kCiclo = 1, // part of a canned cycle's hole
    kCompensacion = 2, // cutter compensation G41/G42 on: drawn as programmed
};

struct Movimiento
{
    // Relative to Trayectoria::origen; NaN for an axis the program has not
    // placed yet (nothing is drawn to or from such a point).
    float fin[3];
    std::uint32_t linea; // in the text (from 0)
    Tipo tipo;
    Plano plano;
    std::uint8_t marcas;
    // Arcs: whole turns beyond the one the end point gives.
    std::uint8_t vueltas;
    // Arcs: the centre in Trayectoria::centros.
    std::uint32_t arco;
};
static_assert(sizeof(Movimiento) == 24);

// An arc's geometry in the plane: the angle at its start, the signed sweep
// and the radius at both ends (they differ when the end point is off its
// circle: the path then spirals, as controls that accept it do).
struct GeometriaArco
{
    std::array<int, 3> ejes;
    double centro[2];
    double angulo0, barrido, radio0, radio1;
    double normal0, normal1;

    // An end point within kCerrado of the start closes a full circle.
    static constexpr double kCerrado = 1e-4;
    static GeometriaArco calcula(const Punto &inicio, const Punto &fin,
        const std::array<double, 2> &centro, Plano plano, bool antihorario, int vueltas);

    Punto punto(double t) const;
    double longitud() const;
    // Widens the box by the arc's bulge: where it crosses its plane's axes
    // through the centre (the end points are the caller's).
    void extremos(Punto &minimo, Punto &maximo) const;
    // The radius the drawing must follow to the pixel.
    double radioMayor() const { return std::max(radio0, radio1); }
};

class Trayectoria
{
public:
    // Program coordinates of the point the floats are relative to, in mm.
    Punto origen {0, 0, 0};
    std::vector<Movimiento> movimientos;
    // Arc centres in their plane's two axes, relative to origen: doubles, so
    // that an arc of a huge radius is still drawn to the pixel.
    std::vector<std::array<double, 2>> centros;

    static constexpr std::uint32_t kNunca = std::numeric_limits<std::uint32_t>::max();

    std::size_t size() const { return movimientos.size(); }
    bool empty() const { return movimientos.empty(); }

    // Where move i ends and starts, relative to origen (NaN where unknown).
    Punto fin(std::size_t i) const
    {
        const Movimiento &m = movimientos[i];
        return {m.fin[0], m.fin[1], m.fin[2]};
    }
    Punto inicio(std::size_t i) const
    {
        return i == 0 ? Punto {kDesconocido, kDesconocido, kDesconocido} : fin(i - 1);
    }
    bool esArco(std::size_t i) const
    {
        return movimientos[i].tipo == Tipo::Horario || movimientos[i].tipo == Tipo::Antihorario;
    }
    // Only for an arc whose start is known.
    GeometriaArco arco(std::size_t i) const;
    // Whether move i is drawn: a line or an arc between known points.
    bool visible(std::size_t i) const;
    // The length of move i in mm, 0 when it is not drawn.
    double longitud(std::size_t i) const;

    // Per line of the text, the number of moves made before it first ran (so
    // its own moves start there), or kNunca when the program never runs it.
    std::vector<std::uint32_t> primerMovimiento;
    // The moves line l made when it first ran: [first, second).
    std::pair<std::size_t, std::size_t> movimientosDeLinea(std::size_t linea) const;
    // Where the tool is after line l first ran; NaN when unknown or never run.
    Punto herramientaEnLinea(std::size_t linea) const;

    // The bounding boxes over runs of moves, from kHoja moves up by kRama a
    // level, each holding its moves' whole geometry (start points and arcs'
    // bulges too): the drawing and the picking skip what is out of sight.
    struct Caja
    {
        float min[3];
        float max[3];
        bool vacia() const { return min[0] > max[0]; }
    };
    static constexpr std::size_t kHoja = 32;
    static constexpr std::size_t kRama = 16;
    std::vector<std::vector<Caja>> niveles;
    // Builds niveles; the reader calls it when it is done.
    void construyeIndice();
    // Everything drawn, relative to origen; empty without moves.
    Caja cajaTotal() const;
    // The box of move i's geometry, relative to origen; empty when not drawn.
    Caja cajaMovimiento(std::size_t i) const;

    // The level of detail for views that show much of the program: the path
    // again, with lines of a few moves and arcs of a few chords merged
    // where they stay within the level's tolerance, so that a whole view
    // walks a fraction of the moves. Each level is twice as coarse as the
    // one before; closer views walk the moves themselves, the boxes leaving
    // out what is not in sight.
    struct Vertice
    {
        float p[3];
        // The move the line to this vertex belongs to, with the flags below.
        std::uint32_t mov;
    };
    static constexpr std::uint32_t kCorte = 1u << 31; // no line to it: a new start
    static constexpr std::uint32_t kRapidoVertice = 1u << 30; // the line to it is a rapid
    static constexpr std::uint32_t kMovVertice = kRapidoVertice - 1;
    static constexpr std::size_t kBloqueDetalle = 64;
    struct Detalle
    {
        // How far (mm) the level may stray from the moves.
        double error;
        std::vector<Vertice> vertices;
        // Per block of kBloqueDetalle vertices, with the one before it.
        std::vector<Caja> cajas;
    };
    std::vector<Detalle> detalles;
    // G28's reference moves: few, walked apart from the levels.
    std::vector<std::uint32_t> referencias;
    // Builds detalles and referencias; the reader calls it after construyeIndice.
    void construyeDetalle();

    // Bytes the toolpath takes.
    std::size_t memoria() const;
};

} // namespace Trazado
