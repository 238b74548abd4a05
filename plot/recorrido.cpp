#include "plot/recorrido.h"

#include <algorithm>
#include <numbers>

namespace Trazado {

namespace {

constexpr double kPi = std::numbers::pi;
// A part of an arc with more chords than this is cut in two first, so that
// the halves out of sight are skipped.
constexpr int kCuerdasTramo = 256;
// What is drawn keeps within half the merge (half a pixel) of the toolpath:
// an arc's chords stray a quarter, merging lines on the screen another
// quarter; a level of detail may take up to four fifths of the half, the
// merging on the screen what it leaves.
constexpr double kCuarto = 0.25;
constexpr double kParteDetalle = 0.8;

// The pen over the screen: joins what connects, merges what is closer than
// `fusion` pixels, lifts at what is out of sight.
class Recorrido
{
public:
    Recorrido(const Trayectoria &t, const Vista &vista, const Ventana &ventana, double fusion,
        Receptor &r)
        : m_t(t),
          m_vista(vista),
          m_ventana(ventana),
          m_fusion(fusion),
          m_tolerancia(fusion * kCuarto),
          m_r(r)
    { }
    // How far merging on the screen may move a line from the points it passes.
    void setTolerancia(double pixeles) { m_tolerancia = pixeles; }

    void nodo(std::size_t nivel, std::size_t k);
    // Walks a level of detail instead of the moves.
    void detalle(const Trayectoria::Detalle &d);
    void movimiento(std::size_t i);
    void levanta()
    {
        descarga();
        m_bajado = false;
    }

private:
    // Whether what the box holds must be walked: false when it is out of
    // sight (the pen lifts) or within a pixel (drawn as one point).
    bool caja(const Trayectoria::Caja &c, std::size_t primero);
    void segmento(double su, double sv, double eu, double ev, bool rapido, std::size_t mov);
    void arco(std::size_t i, double su, double sv);
    void tramo(const GeometriaArco &g, double t0, double t1, const double inicio[2],
        const double fin[2], std::size_t mov);
    void extiende(double eu, double ev, std::size_t mov);
    void pendiente(double u, double v, std::size_t mov, double distancia)
    {
        m_pendiente = true;
        m_pu = u;
        m_pv = v;
        m_pmov = mov;
        m_distancia = distancia;
    }
    void descarga()
    {
        m_hayCono = false;
        if (!m_pendiente)
            return;
        m_pendiente = false;
        m_r.sigue(m_pu, m_pv, m_pmov);
        m_lu = m_pu;
        m_lv = m_pv;
    }
    // A long line whose box holds the window may still pass it by: then
    // all its corners are on one side of it.
    bool pasaDeLado(double su, double sv, double eu, double ev) const
    {
        const double du = eu - su, dv = ev - sv;
        const auto lado = [&](double u, double v) { return du * (v - sv) - dv * (u - su); };
        const double a = lado(m_ventana.u0, m_ventana.v0), b = lado(m_ventana.u1, m_ventana.v0);
        const double c = lado(m_ventana.u0, m_ventana.v1), d = lado(m_ventana.u1, m_ventana.v1);
        return (a > 0 && b > 0 && c > 0 && d > 0) || (a < 0 && b < 0 && c < 0 && d < 0);
    }
    bool fuera(double u0, double v0, double u1, double v1) const
    {
        return std::max(u0, u1) < m_ventana.u0 || std::min(u0, u1) > m_ventana.u1
            || std::max(v0, v1) < m_ventana.v0 || std::min(v0, v1) > m_ventana.v1;
    }

    const Trayectoria &m_t;
    const Vista &m_vista;
    const Ventana m_ventana;
    const double m_fusion;
    double m_tolerancia;
    Receptor &m_r;
    bool m_bajado = false;
    bool m_rapido = false;
    double m_lu = 0, m_lv = 0;
    bool m_pendiente = false;
    double m_pu = 0, m_pv = 0;
    std::size_t m_pmov = 0;
    double m_distancia = 0;
    // The cone of directions from the last vertex, left and right edge.
    bool m_hayCono = false;
    double m_izqU = 0, m_izqV = 0, m_derU = 0, m_derV = 0;
    // The screen point of the last move's end, for the next move's start.
    std::size_t m_ultimo = std::size_t(-1);
    double m_uu = 0, m_uv = 0;
};

void Recorrido::segmento(double su, double sv, double eu, double ev, bool rapido, std::size_t mov)
{
    const bool dentro
        = eu >= m_ventana.u0 && eu <= m_ventana.u1 && ev >= m_ventana.v0 && ev <= m_ventana.v1;
    if (!dentro && (fuera(su, sv, eu, ev) || pasaDeLado(su, sv, eu, ev))) {
        levanta();
        return;
    }
    if (!m_bajado || rapido != m_rapido) {
        descarga();
        m_r.empieza(su, sv, rapido, mov);
        m_bajado = true;
        m_rapido = rapido;
        m_lu = su;
        m_lv = sv;
        m_hayCono = false;
    }
    if (m_fusion <= 0) {
        m_r.sigue(eu, ev, mov);
        m_lu = eu;
        m_lv = ev;
        return;
    }
    extiende(eu, ev, mov);
}

void Recorrido::extiende(double eu, double ev, std::size_t mov)
{
    // The line from the last vertex is stretched over what follows while
    // every point passed stays within a quarter of the merge of it: the points
    // still allowed lie in a cone of directions that narrows with each.
    const double tolerancia = m_tolerancia;
    const double du = eu - m_lu, dv = ev - m_lv;
    const double d2 = du * du + dv * dv;
    if (d2 <= tolerancia * tolerancia) {
        if (!m_hayCono)
            pendiente(eu, ev, mov, 0);
        return;
    }
    const double d = std::sqrt(d2);
    const auto cruz = [](double au, double av, double bu, double bv) { return au * bv - av * bu; };
    if (m_hayCono
        && (cruz(m_derU, m_derV, du, dv) < 0 || cruz(du, dv, m_izqU, m_izqV) < 0
            || d < m_distancia - tolerancia)) {
        descarga();
        m_hayCono = false;
        extiende(eu, ev, mov);
        return;
    }
    const double s = tolerancia / d, c = std::sqrt(1 - s * s);
    const double iu = c * du - s * dv, iv = s * du + c * dv;
    const double ru = c * du + s * dv, rv = -s * du + c * dv;
    // Each edge narrows to the new point's own where that one is tighter.
    if (!m_hayCono || cruz(iu, iv, m_izqU, m_izqV) > 0) {
        m_izqU = iu;
        m_izqV = iv;
    }
    if (!m_hayCono || cruz(m_derU, m_derV, ru, rv) > 0) {
        m_derU = ru;
        m_derV = rv;
    }
    m_hayCono = true;
    pendiente(eu, ev, mov, d);
}

bool Recorrido::caja(const Trayectoria::Caja &c, std::size_t primero)
{
    if (c.vacia()) {
        levanta();
        return false;
    }
    double hu = 0, hv = 0;
    Punto centro;
    for (int j = 0; j < 3; ++j) {
        centro[j] = (double(c.min[j]) + c.max[j]) / 2;
        const double h = (double(c.max[j]) - c.min[j]) / 2;
        hu += std::abs(m_vista.ex[j]) * h;
        hv += std::abs(m_vista.ey[j]) * h;
    }
    const double cu = m_vista.u(centro), cv = m_vista.v(centro);
    // Float boxes round: a pixel of slack.
    hu = hu * m_vista.escala + 1;
    hv = hv * m_vista.escala + 1;
    if (fuera(cu - hu, cv - hv, cu + hu, cv + hv)) {
        levanta();
        return false;
    }
    if (2 * hu < m_fusion + 2 && 2 * hv < m_fusion + 2 && m_fusion > 0) {
        // All of it within a pixel: one point, joined to what came before.
        if (m_bajado)
            segmento(m_lu, m_lv, cu, cv, m_rapido, primero);
        else
            segmento(cu, cv, cu, cv, false, primero);
        m_ultimo = std::size_t(-1);
        return false;
    }
    return true;
}

void Recorrido::nodo(std::size_t nivel, std::size_t k)
{
    std::size_t primero = k * Trayectoria::kHoja;
    for (std::size_t n = 0; n < nivel; ++n)
        primero *= Trayectoria::kRama;
    if (!caja(m_t.niveles[nivel][k], primero))
        return;
    if (nivel == 0) {
        const std::size_t fin = std::min(m_t.size(), (k + 1) * Trayectoria::kHoja);
        for (std::size_t i = k * Trayectoria::kHoja; i < fin; ++i)
            movimiento(i);
        return;
    }
    const std::size_t fin = std::min(m_t.niveles[nivel - 1].size(), (k + 1) * Trayectoria::kRama);
    for (std::size_t j = k * Trayectoria::kRama; j < fin; ++j)
        nodo(nivel - 1, j);
}

void Recorrido::detalle(const Trayectoria::Detalle &d)
{
    using T = Trayectoria;
    const auto &v = d.vertices;
    double pu = 0, pv = 0;
    bool previo = false;
    const auto proyecta = [&](const T::Vertice &x, double &u, double &w) {
        const Punto p {x.p[0], x.p[1], x.p[2]};
        u = m_vista.u(p);
        w = m_vista.v(p);
    };
    for (std::size_t b = 0; b < d.cajas.size(); ++b) {
        const std::size_t desde = b * T::kBloqueDetalle;
        if (!caja(d.cajas[b], v[desde].mov & T::kMovVertice)) {
            previo = false;
            continue;
        }
        const std::size_t hasta = std::min(v.size(), desde + T::kBloqueDetalle);
        for (std::size_t j = desde; j < hasta; ++j) {
            const T::Vertice &x = v[j];
            double u, w;
            proyecta(x, u, w);
            if (x.mov & T::kCorte) {
                levanta();
            } else {
                if (!previo)
                    proyecta(v[j - 1], pu, pv);
                segmento(pu, pv, u, w, x.mov & T::kRapidoVertice, x.mov & T::kMovVertice);
            }
            pu = u;
            pv = w;
            previo = true;
        }
    }
    levanta();
    for (const std::uint32_t i : m_t.referencias) {
        const Punto p = m_t.inicio(i);
        const double u = m_vista.u(p), w = m_vista.v(p);
        if (!fuera(u, w, u, w))
            m_r.marca(u, w, i);
    }
}

void Recorrido::movimiento(std::size_t i)
{
    const Movimiento &m = m_t.movimientos[i];
    if (m.tipo == Tipo::Salto) {
        levanta();
        return;
    }
    double su, sv;
    if (m_ultimo == i - 1 && i > 0) {
        su = m_uu;
        sv = m_uv;
    } else {
        const Punto inicio = m_t.inicio(i);
        if (!conocido(inicio)) {
            levanta();
            return;
        }
        su = m_vista.u(inicio);
        sv = m_vista.v(inicio);
    }
    if (m.tipo == Tipo::Referencia) {
        levanta();
        if (!fuera(su, sv, su, sv))
            m_r.marca(su, sv, i);
        return;
    }
    const Punto fin {m.fin[0], m.fin[1], m.fin[2]};
    if (!conocido(fin)) {
        levanta();
        return;
    }
    m_uu = m_vista.u(fin);
    m_uv = m_vista.v(fin);
    m_ultimo = i;
    if (m.tipo != Tipo::Horario && m.tipo != Tipo::Antihorario) {
        segmento(su, sv, m_uu, m_uv, m.tipo == Tipo::Rapido, i);
        return;
    }
    // An arc whose whole circle is within the merge, or out of sight, needs
    // no geometry: its chord says as much.
    const std::array<int, 3> ejes = ejesPlano(m.plano);
    const int a = ejes[0], b = ejes[1];
    const auto &c = m_t.centros[m.arco];
    const double da = double(m.fin[a]) - c[0], db = double(m.fin[b]) - c[1];
    const double radio = std::sqrt(da * da + db * db) * m_vista.escala;
    const Punto centro = [&] {
        Punto p = fin;
        p[a] = c[0];
        p[b] = c[1];
        return p;
    }();
    const double cu = m_vista.u(centro), cv = m_vista.v(centro);
    if (2 * radio < m_fusion) {
        segmento(su, sv, m_uu, m_uv, false, i);
        return;
    }
    const double alcance = radio + std::abs(m_uu - su) + std::abs(m_uv - sv) + 1;
    if (fuera(cu - alcance, cv - alcance, cu + alcance, cv + alcance)) {
        levanta();
        return;
    }
    arco(i, su, sv);
}

void Recorrido::arco(std::size_t i, double su, double sv)
{
    const GeometriaArco g = m_t.arco(i);
    const double inicio[2] = {su, sv};
    const double final[2] = {m_uu, m_uv};
    const double radio = g.radioMayor() * m_vista.escala;
    // Shorter than the merge: a chord.
    if (radio * std::abs(g.barrido) < m_fusion) {
        segmento(su, sv, final[0], final[1], false, i);
        return;
    }
    tramo(g, 0, 1, inicio, final, i);
}

void Recorrido::tramo(const GeometriaArco &g, double t0, double t1, const double inicio[2],
    const double fin[2], std::size_t mov)
{
    const double radio = g.radioMayor() * m_vista.escala;
    const double angulo = std::abs(g.barrido) * (t1 - t0);
    // The chord angle whose sagitta is a quarter of a pixel.
    const double paso
        = radio <= kCuarto ? kPi / 2 : std::min(kPi / 4, 2 * std::acos(1 - kCuarto / radio));
    const double cuerdas = std::ceil(angulo / paso);
    // The part's screen box: its chord's, widened by its sagitta, or the
    // whole circle's past half a turn.
    double hu, hv;
    double cu, cv;
    if (angulo < kPi) {
        const double flecha = radio * (1 - std::cos(angulo / 2)) + 1;
        cu = (inicio[0] + fin[0]) / 2;
        cv = (inicio[1] + fin[1]) / 2;
        hu = std::abs(fin[0] - inicio[0]) / 2 + flecha;
        hv = std::abs(fin[1] - inicio[1]) / 2 + flecha;
    } else {
        Punto c = g.punto(t0);
        c[g.ejes[0]] = g.centro[0];
        c[g.ejes[1]] = g.centro[1];
        cu = m_vista.u(c);
        cv = m_vista.v(c);
        // A helix moves the circle along its axis meanwhile.
        const double avance = std::abs(g.normal1 - g.normal0) * (t1 - t0) * m_vista.escala;
        hu = hv = radio + avance + 1;
    }
    if (fuera(cu - hu, cv - hv, cu + hu, cv + hv)) {
        levanta();
        return;
    }
    if (cuerdas > kCuerdasTramo) {
        const double tm = (t0 + t1) / 2;
        const Punto pm = g.punto(tm);
        const double medio[2] = {m_vista.u(pm), m_vista.v(pm)};
        tramo(g, t0, tm, inicio, medio, mov);
        tramo(g, tm, t1, medio, fin, mov);
        return;
    }
    const int n = std::max(1, int(cuerdas));
    // Chord by chord, the angle turned by a rotation rather than a sine each.
    const double a0 = g.angulo0 + g.barrido * t0;
    const double da = g.barrido * (t1 - t0) / n;
    const double cd = std::cos(da), sd = std::sin(da);
    double c = std::cos(a0), s = std::sin(a0);
    double pu = inicio[0], pv = inicio[1];
    Punto p;
    for (int k = 1; k < n; ++k) {
        const double cn = c * cd - s * sd;
        s = s * cd + c * sd;
        c = cn;
        const double t = t0 + (t1 - t0) * k / n;
        const double r = g.radio0 + (g.radio1 - g.radio0) * t;
        p[g.ejes[0]] = g.centro[0] + r * c;
        p[g.ejes[1]] = g.centro[1] + r * s;
        p[g.ejes[2]] = g.normal0 + (g.normal1 - g.normal0) * t;
        const double u = m_vista.u(p), v = m_vista.v(p);
        segmento(pu, pv, u, v, false, mov);
        pu = u;
        pv = v;
    }
    segmento(pu, pv, fin[0], fin[1], false, mov);
}

// The nearest of what is handed out to a point.
class Busqueda : public Receptor
{
public:
    Busqueda(double u, double v) : m_u(u), m_v(v) { }

    void empieza(double u, double v, bool, std::size_t) override
    {
        m_lu = u;
        m_lv = v;
    }
    void sigue(double u, double v, std::size_t mov) override
    {
        const double du = u - m_lu, dv = v - m_lv;
        const double l2 = du * du + dv * dv;
        const double t
            = l2 > 0 ? std::clamp(((m_u - m_lu) * du + (m_v - m_lv) * dv) / l2, 0.0, 1.0) : 0;
        considera(m_lu + t * du, m_lv + t * dv, mov);
        m_lu = u;
        m_lv = v;
    }
    void marca(double u, double v, std::size_t mov) override { considera(u, v, mov); }

    std::ptrdiff_t mejor = -1;
    double distancia = 0;

private:
    void considera(double u, double v, std::size_t mov)
    {
        const double d = std::hypot(u - m_u, v - m_v);
        if (mejor < 0 || d < distancia) {
            mejor = std::ptrdiff_t(mov);
            distancia = d;
        }
    }

    double m_u, m_v, m_lu = 0, m_lv = 0;
};

} // namespace

Vista Vista::de(Tipo tipo)
{
    Vista v;
    const auto pon = [&v](std::array<double, 3> x, std::array<double, 3> y) {
        std::copy(x.begin(), x.end(), v.ex);
        std::copy(y.begin(), y.end(), v.ey);
    };
    switch (tipo) {
    case XZ:
        pon({1, 0, 0}, {0, 0, 1});
        break;
    case YZ:
        pon({0, 1, 0}, {0, 0, 1});
        break;
    case Isometrica: {
        // Seen from X+, Y-, Z+ above: Z stays upright.
        const double a = 1 / std::sqrt(2.0), b = 1 / std::sqrt(6.0);
        pon({a, a, 0}, {-b, b, 2 * b});
        break;
    }
    case XY:
        break;
    }
    return v;
}

Punto Vista::punto(double u, double v) const
{
    const double a = (u - ox) / escala, b = (oy - v) / escala;
    return {a * ex[0] + b * ey[0], a * ex[1] + b * ey[1], a * ex[2] + b * ey[2]};
}

void Vista::encuadra(const Trayectoria::Caja &caja, double ancho, double alto)
{
    double umin = 0, umax = 0, vmin = 0, vmax = 0;
    if (!caja.vacia()) {
        umin = vmin = 1e300;
        umax = vmax = -1e300;
        for (int esquina = 0; esquina < 8; ++esquina) {
            Punto p;
            for (int j = 0; j < 3; ++j)
                p[j] = esquina & (1 << j) ? caja.max[j] : caja.min[j];
            const double pu = ex[0] * p[0] + ex[1] * p[1] + ex[2] * p[2];
            const double pv = ey[0] * p[0] + ey[1] * p[1] + ey[2] * p[2];
            umin = std::min(umin, pu);
            umax = std::max(umax, pu);
            vmin = std::min(vmin, pv);
            vmax = std::max(vmax, pv);
        }
    }
    const double margen = std::min(ancho, alto) / 20 + 4;
    const double du = umax - umin, dv = vmax - vmin;
    // A single point shows 20 mm across.
    double s = du < 1e-6 && dv < 1e-6 ? std::min(ancho, alto) / 20
                                      : std::min((ancho - 2 * margen) / std::max(du, 1e-9),
                                          (alto - 2 * margen) / std::max(dv, 1e-9));
    escala = std::clamp(s, kEscalaMinima, kEscalaMaxima);
    ox = ancho / 2 - escala * (umin + umax) / 2;
    oy = alto / 2 + escala * (vmin + vmax) / 2;
}

void Vista::amplia(double factor, double u, double v)
{
    const double nueva = std::clamp(escala * factor, kEscalaMinima, kEscalaMaxima);
    const double f = nueva / escala;
    escala = nueva;
    ox = u - (u - ox) * f;
    oy = v - (v - oy) * f;
}

void recorre(const Trayectoria &t, const Vista &vista, const Ventana &ventana, double fusion,
    Receptor &receptor)
{
    if (t.niveles.empty())
        return;
    Recorrido r(t, vista, ventana, fusion, receptor);
    // The coarsest level of detail within its part of the half merge; a
    // close view, or a walk that must see every move, goes through the moves.
    const Trayectoria::Detalle *nivel = nullptr;
    if (fusion > 0)
        for (const Trayectoria::Detalle &d : t.detalles)
            if (d.error * vista.escala <= kParteDetalle * fusion / 2)
                nivel = &d;
    if (nivel) {
        r.setTolerancia(fusion / 2 - nivel->error * vista.escala);
        r.detalle(*nivel);
    } else
        r.nodo(t.niveles.size() - 1, 0);
    r.levanta();
}

void recorreMovimiento(const Trayectoria &t, std::size_t mov, const Vista &vista,
    const Ventana &ventana, Receptor &receptor)
{
    if (mov >= t.size())
        return;
    Recorrido r(t, vista, ventana, 0, receptor);
    r.movimiento(mov);
    r.levanta();
}

std::ptrdiff_t busca(const Trayectoria &t, const Vista &vista, double u, double v, double radio)
{
    Busqueda b(u, v);
    recorre(t, vista, {u - radio, v - radio, u + radio, v + radio}, 0, b);
    return b.distancia <= radio ? b.mejor : -1;
}

} // namespace Trazado
