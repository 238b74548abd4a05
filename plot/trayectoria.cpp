#include "plot/trayectoria.h"

#include <numbers>

namespace Trazado {

namespace {

constexpr double kPi = std::numbers::pi;

void anade(Trayectoria::Caja &c, const Punto &p)
{
    for (int k = 0; k < 3; ++k) {
        c.min[k] = std::min(c.min[k], float(p[k]));
        c.max[k] = std::max(c.max[k], float(p[k]));
    }
}

void une(Trayectoria::Caja &c, const Trayectoria::Caja &o)
{
    for (int k = 0; k < 3; ++k) {
        c.min[k] = std::min(c.min[k], o.min[k]);
        c.max[k] = std::max(c.max[k], o.max[k]);
    }
}

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr Trayectoria::Caja kVacia {{kInf, kInf, kInf}, {-kInf, -kInf, -kInf}};

} // namespace

GeometriaArco GeometriaArco::calcula(const Punto &inicio, const Punto &fin,
    const std::array<double, 2> &centro, Plano plano, bool antihorario, int vueltas)
{
    GeometriaArco g;
    g.ejes = ejesPlano(plano);
    const auto [a, b, n] = g.ejes;
    g.centro[0] = centro[0];
    g.centro[1] = centro[1];
    const double sa = inicio[a] - centro[0], sb = inicio[b] - centro[1];
    const double ea = fin[a] - centro[0], eb = fin[b] - centro[1];
    g.radio0 = std::hypot(sa, sb);
    g.radio1 = std::hypot(ea, eb);
    g.angulo0 = std::atan2(sb, sa);
    double d = std::atan2(eb, ea) - g.angulo0;
    if (std::hypot(fin[a] - inicio[a], fin[b] - inicio[b]) < kCerrado)
        d = 0;
    else if (antihorario)
        d = d <= 0 ? d + 2 * kPi : d;
    else
        d = d >= 0 ? d - 2 * kPi : d;
    // A closed arc is a full circle, and each turn asked for one more.
    const int turnos = vueltas + (d == 0 ? 1 : 0);
    g.barrido = d + (antihorario ? 2 * kPi : -2 * kPi) * turnos;
    g.normal0 = inicio[n];
    g.normal1 = fin[n];
    return g;
}

Punto GeometriaArco::punto(double t) const
{
    const double ang = angulo0 + barrido * t;
    const double r = radio0 + (radio1 - radio0) * t;
    Punto p;
    p[ejes[0]] = centro[0] + r * std::cos(ang);
    p[ejes[1]] = centro[1] + r * std::sin(ang);
    p[ejes[2]] = normal0 + (normal1 - normal0) * t;
    return p;
}

double GeometriaArco::longitud() const
{
    const double enPlano = std::abs(barrido) * (radio0 + radio1) / 2;
    return std::hypot(enPlano, normal1 - normal0);
}

void GeometriaArco::extremos(Punto &minimo, Punto &maximo) const
{
    const auto anadePunto = [&](const Punto &p) {
        for (int k = 0; k < 3; ++k) {
            minimo[k] = std::min(minimo[k], p[k]);
            maximo[k] = std::max(maximo[k], p[k]);
        }
    };
    const double desde = std::min(angulo0, angulo0 + barrido);
    const double hasta = std::max(angulo0, angulo0 + barrido);
    if (hasta - desde >= 2 * kPi) {
        const double r = radioMayor();
        Punto p = punto(0);
        for (const double d : {r, -r}) {
            p[ejes[0]] = centro[0] + d;
            p[ejes[1]] = centro[1] + d;
            anadePunto(p);
        }
        return;
    }
    for (double k = std::ceil(desde / (kPi / 2)); k * (kPi / 2) <= hasta; k += 1)
        anadePunto(punto((k * (kPi / 2) - angulo0) / barrido));
}

GeometriaArco Trayectoria::arco(std::size_t i) const
{
    const Movimiento &m = movimientos[i];
    return GeometriaArco::calcula(
        inicio(i), fin(i), centros[m.arco], m.plano, m.tipo == Tipo::Antihorario, m.vueltas);
}

bool Trayectoria::visible(std::size_t i) const
{
    const Tipo t = movimientos[i].tipo;
    return t != Tipo::Salto && t != Tipo::Referencia && conocido(inicio(i)) && conocido(fin(i));
}

double Trayectoria::longitud(std::size_t i) const
{
    if (!visible(i))
        return 0;
    if (esArco(i))
        return arco(i).longitud();
    const Punto a = inicio(i), b = fin(i);
    return std::hypot(b[0] - a[0], b[1] - a[1], b[2] - a[2]);
}

std::pair<std::size_t, std::size_t> Trayectoria::movimientosDeLinea(std::size_t linea) const
{
    if (linea >= primerMovimiento.size() || primerMovimiento[linea] == kNunca)
        return {0, 0};
    const std::size_t p = primerMovimiento[linea];
    std::size_t q = p;
    while (q < movimientos.size() && movimientos[q].linea == linea)
        ++q;
    return {p, q};
}

Punto Trayectoria::herramientaEnLinea(std::size_t linea) const
{
    const auto [p, q] = movimientosDeLinea(linea);
    if (linea >= primerMovimiento.size() || primerMovimiento[linea] == kNunca || q == 0)
        return {kDesconocido, kDesconocido, kDesconocido};
    return fin(q - 1);
}

Trayectoria::Caja Trayectoria::cajaMovimiento(std::size_t i) const
{
    Caja c = kVacia;
    const Movimiento &m = movimientos[i];
    if (m.tipo == Tipo::Referencia) {
        if (conocido(inicio(i)))
            anade(c, inicio(i));
        return c;
    }
    if (!visible(i))
        return c;
    anade(c, inicio(i));
    anade(c, fin(i));
    if (!esArco(i))
        return c;
    Punto minimo = fin(i), maximo = fin(i);
    arco(i).extremos(minimo, maximo);
    anade(c, minimo);
    anade(c, maximo);
    return c;
}

void Trayectoria::construyeIndice()
{
    niveles.clear();
    std::vector<Caja> hojas((movimientos.size() + kHoja - 1) / kHoja, kVacia);
    for (std::size_t i = 0; i < movimientos.size(); ++i) {
        const Movimiento &m = movimientos[i];
        Caja &c = hojas[i / kHoja];
        // A line's box is its two ends, straight from the floats.
        if ((m.tipo == Tipo::Rapido || m.tipo == Tipo::Avance) && i > 0) {
            const float *a = movimientos[i - 1].fin, *b = m.fin;
            if (a[0] == a[0] && a[1] == a[1] && a[2] == a[2] && b[0] == b[0] && b[1] == b[1]
                && b[2] == b[2]) {
                for (int k = 0; k < 3; ++k) {
                    c.min[k] = std::min({c.min[k], a[k], b[k]});
                    c.max[k] = std::max({c.max[k], a[k], b[k]});
                }
            }
            continue;
        }
        une(c, cajaMovimiento(i));
    }
    niveles.push_back(std::move(hojas));
    while (niveles.back().size() > 1) {
        const std::vector<Caja> &abajo = niveles.back();
        std::vector<Caja> arriba((abajo.size() + kRama - 1) / kRama, kVacia);
        for (std::size_t i = 0; i < abajo.size(); ++i)
            une(arriba[i / kRama], abajo[i]);
        niveles.push_back(std::move(arriba));
    }
}

Trayectoria::Caja Trayectoria::cajaTotal() const
{
    Caja c = kVacia;
    if (!niveles.empty())
        for (const Caja &k : niveles.back())
            une(c, k);
    return c;
}

namespace {

// Merges a stream of vertices into fewer: the line from the last vertex
// kept follows the first point more than half the tolerance away, and points
// are passed over while they lie within half the tolerance of that line,
// going on. How far the points passed over lie from the lines kept is
// measured, so that a level is used as close as it allows.
class Simplificador
{
public:
    Simplificador(double tolerancia, std::vector<Trayectoria::Vertice> &salida)
        : m_mitad(tolerancia / 2), m_salida(salida)
    { }

    void anade(const Punto &p, std::uint32_t mov)
    {
        if ((mov & Trayectoria::kCorte) || !m_abierto) {
            termina();
            m_salida.push_back(vertice(p, mov | Trayectoria::kCorte));
            m_ancla = m_ultimo = p;
            m_abierto = true;
            m_rapido = mov & Trayectoria::kRapidoVertice;
            return;
        }
        // A change of kind goes on from where the last line ended, which is
        // kept; unless all of it is still within the tolerance, where the
        // kinds cannot be told apart anyway.
        if ((mov & Trayectoria::kRapidoVertice) != m_rapido) {
            const double d = std::hypot(p[0] - m_ancla[0], p[1] - m_ancla[1], p[2] - m_ancla[2]);
            if (!m_conDireccion && d <= m_mitad) {
                pendiente(p, (mov & ~Trayectoria::kRapidoVertice) | m_rapido);
                return;
            }
            termina();
            m_rapido = mov & Trayectoria::kRapidoVertice;
        }
        sigue(p, mov);
    }

    void termina() { emite(); }
    double error() const { return m_error; }

private:
    static constexpr std::size_t kMaxPasados = 4096;

    static Trayectoria::Vertice vertice(const Punto &p, std::uint32_t mov)
    {
        return {{float(p[0]), float(p[1]), float(p[2])}, mov};
    }

    void sigue(const Punto &p, std::uint32_t mov)
    {
        if (m_pasados.size() >= kMaxPasados)
            emite();
        const double d[3] = {p[0] - m_ancla[0], p[1] - m_ancla[1], p[2] - m_ancla[2]};
        if (!m_conDireccion) {
            const double l = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
            if (l > m_mitad) {
                for (int k = 0; k < 3; ++k)
                    m_direccion[k] = d[k] / l;
                m_conDireccion = true;
                m_avance = l;
            }
            pendiente(p, mov);
            return;
        }
        const double a = d[0] * m_direccion[0] + d[1] * m_direccion[1] + d[2] * m_direccion[2];
        const double lado2 = d[0] * d[0] + d[1] * d[1] + d[2] * d[2] - a * a;
        if (lado2 <= m_mitad * m_mitad && a >= m_avance - m_mitad) {
            m_avance = std::max(m_avance, a);
            pendiente(p, mov);
            return;
        }
        emite();
        sigue(p, mov);
    }

    void pendiente(const Punto &p, std::uint32_t mov)
    {
        if (m_pendiente)
            m_pasados.push_back(m_ultimo);
        m_ultimo = p;
        m_movUltimo = mov;
        m_pendiente = true;
    }

    // Keeps the pending point as a vertex, measuring the points passed over.
    void emite()
    {
        if (m_pendiente) {
            const double c[3]
                = {m_ultimo[0] - m_ancla[0], m_ultimo[1] - m_ancla[1], m_ultimo[2] - m_ancla[2]};
            const double l2 = c[0] * c[0] + c[1] * c[1] + c[2] * c[2];
            for (const Punto &q : m_pasados) {
                const double d[3] = {q[0] - m_ancla[0], q[1] - m_ancla[1], q[2] - m_ancla[2]};
                const double t = l2 > 0
                    ? std::clamp((d[0] * c[0] + d[1] * c[1] + d[2] * c[2]) / l2, 0.0, 1.0)
                    : 0;
                m_error = std::max(
                    m_error, std::hypot(d[0] - t * c[0], d[1] - t * c[1], d[2] - t * c[2]));
            }
            m_salida.push_back(vertice(m_ultimo, m_movUltimo));
        }
        m_pasados.clear();
        m_pendiente = false;
        m_conDireccion = false;
        m_ancla = m_ultimo;
    }

    const double m_mitad;
    std::vector<Trayectoria::Vertice> &m_salida;
    std::vector<Punto> m_pasados;
    double m_error = 0;
    bool m_abierto = false;
    bool m_pendiente = false;
    bool m_conDireccion = false;
    std::uint32_t m_rapido = 0;
    Punto m_ancla {}, m_ultimo {};
    std::uint32_t m_movUltimo = 0;
    double m_direccion[3] = {};
    double m_avance = 0;
};

void cajasDetalle(Trayectoria::Detalle &d)
{
    const auto &v = d.vertices;
    d.cajas.assign(
        (v.size() + Trayectoria::kBloqueDetalle - 1) / Trayectoria::kBloqueDetalle, kVacia);
    for (std::size_t i = 0; i < v.size(); ++i) {
        Trayectoria::Caja &c = d.cajas[i / Trayectoria::kBloqueDetalle];
        // The line to the block's first vertex starts in the block before.
        const std::size_t desde
            = i % Trayectoria::kBloqueDetalle == 0 && i > 0 && !(v[i].mov & Trayectoria::kCorte)
            ? i - 1
            : i;
        for (std::size_t j = desde; j <= i; ++j)
            anade(c, {v[j].p[0], v[j].p[1], v[j].p[2]});
    }
}

// Levels from an 8192th of the program's size to a 1024th: the coarsest
// still draws the program within half a pixel at 400 pixels across.
constexpr double kFraccionDetalle = 1.0 / 8192;
constexpr int kNivelesDetalle = 4;
// The sagitta of the finest level's arc chords, in its tolerance.
constexpr double kFlechaDetalle = 0.25;

} // namespace

void Trayectoria::construyeDetalle()
{
    detalles.clear();
    referencias.clear();
    const Caja total = cajaTotal();
    if (total.vacia())
        return;
    const double diagonal = std::hypot(double(total.max[0]) - total.min[0],
        double(total.max[1]) - total.min[1], double(total.max[2]) - total.min[2]);
    if (diagonal <= 0)
        return;
    double tolerancia = diagonal * kFraccionDetalle;
    // The finest level from the moves, arcs in chords.
    Detalle base {0, {}, {}};
    base.vertices.reserve(movimientos.size() / 4);
    Simplificador s(tolerancia, base.vertices);
    bool corte = true;
    for (std::size_t i = 0; i < movimientos.size(); ++i) {
        const Movimiento &m = movimientos[i];
        if (m.tipo == Tipo::Referencia && conocido(inicio(i)))
            referencias.push_back(std::uint32_t(i));
        if (!visible(i)) {
            corte = true;
            continue;
        }
        const std::uint32_t marca
            = std::uint32_t(i) | (m.tipo == Tipo::Rapido ? kRapidoVertice : 0);
        if (corte)
            s.anade(inicio(i), marca | kCorte);
        corte = false;
        if (esArco(i)) {
            const GeometriaArco g = arco(i);
            const double r = g.radioMayor();
            const double paso = r <= kFlechaDetalle * tolerancia
                ? kPi
                : 2 * std::acos(1 - kFlechaDetalle * tolerancia / r);
            const int n = std::max(1, int(std::ceil(std::abs(g.barrido) / paso)));
            for (int k = 1; k < n; ++k)
                s.anade(g.punto(double(k) / n), marca);
        }
        s.anade(fin(i), marca);
    }
    s.termina();
    // Its arcs' chords stray their sagitta from the arcs, its merges what was measured.
    base.error = kFlechaDetalle * tolerancia + s.error();
    // A level that leaves most vertices is not worth its memory: holes, or
    // moves each longer than the tolerance, are walked as moves.
    const auto vale
        = [](std::size_t vertices, std::size_t antes) { return vertices <= antes / 4 * 3; };
    if (!vale(base.vertices.size(), movimientos.size()))
        return;
    base.vertices.shrink_to_fit();
    cajasDetalle(base);
    detalles.push_back(std::move(base));
    // Each coarser level from the one before; their errors add up.
    for (int nivel = 1; nivel < kNivelesDetalle; ++nivel) {
        tolerancia *= 2;
        const Detalle &fino = detalles.back();
        Detalle grueso {0, {}, {}};
        Simplificador g(tolerancia, grueso.vertices);
        for (const Vertice &v : fino.vertices)
            g.anade({v.p[0], v.p[1], v.p[2]}, v.mov);
        g.termina();
        grueso.error = fino.error + g.error();
        if (!vale(grueso.vertices.size(), fino.vertices.size()))
            break;
        grueso.vertices.shrink_to_fit();
        cajasDetalle(grueso);
        detalles.push_back(std::move(grueso));
    }
}

std::size_t Trayectoria::memoria() const
{
    std::size_t n = movimientos.capacity() * sizeof(Movimiento)
        + centros.capacity() * sizeof(centros[0])
        + primerMovimiento.capacity() * sizeof(std::uint32_t);
    for (const auto &nivel : niveles)
        n += nivel.capacity() * sizeof(Caja);
    for (const Detalle &d : detalles)
        n += d.vertices.capacity() * sizeof(Vertice) + d.cajas.capacity() * sizeof(Caja);
    n += referencias.capacity() * sizeof(std::uint32_t);
    return n + sizeof(*this);
}

} // namespace Trazado
