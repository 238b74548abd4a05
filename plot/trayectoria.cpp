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
    for (std::size_t i = 0; i < movimientos.size(); ++i)
        une(hojas[i / kHoja], cajaMovimiento(i));
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

std::size_t Trayectoria::memoria() const
{
    std::size_t n = movimientos.capacity() * sizeof(Movimiento)
        + centros.capacity() * sizeof(centros[0])
        + primerMovimiento.capacity() * sizeof(std::uint32_t);
    for (const auto &nivel : niveles)
        n += nivel.capacity() * sizeof(Caja);
    return n + sizeof(*this);
}

} // namespace Trazado
