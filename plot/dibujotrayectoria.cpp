#include "plot/dibujotrayectoria.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <vector>

using namespace Trazado;

namespace DibujoTrayectoria {

namespace {

// Draws what the walk hands out into the pixels: lines one pixel wide,
// stepped along their longer axis; rapids in dashes that run on from one
// move to the next. G28's marks are kept for the painter.
class Rasterizador : public Receptor
{
public:
    explicit Rasterizador(QImage &imagen)
        : m_bits(reinterpret_cast<quint32 *>(imagen.bits())),
          m_paso(imagen.bytesPerLine() / 4),
          m_ancho(imagen.width()),
          m_alto(imagen.height())
    { }

    void empieza(double u, double v, bool rapido, std::size_t) override
    {
        m_color = rapido ? kRapido.rgb() : kAvance.rgb();
        m_rapido = rapido;
        m_u = u;
        m_v = v;
        pon(u, v);
    }
    void sigue(double u, double v, std::size_t) override
    {
        linea(m_u, m_v, u, v);
        m_u = u;
        m_v = v;
    }
    void marca(double u, double v, std::size_t) override { marcas.push_back(QPointF(u, v)); }

    std::vector<QPointF> marcas;

private:
    void pon(double u, double v)
    {
        const int x = int(std::floor(u)), y = int(std::floor(v));
        if (x >= 0 && y >= 0 && x < m_ancho && y < m_alto)
            m_bits[y * m_paso + x] = m_color;
    }

    void linea(double x0, double y0, double x1, double y1)
    {
        // Clipped to the image first (Liang-Barsky), so that a line of a
        // huge zoom costs its visible pixels only.
        double t0 = 0, t1 = 1;
        const double dx = x1 - x0, dy = y1 - y0;
        const auto recorta = [&](double p, double q) {
            if (p == 0)
                return q >= 0;
            const double r = q / p;
            if (p < 0) {
                if (r > t1)
                    return false;
                t0 = std::max(t0, r);
            } else {
                if (r < t0)
                    return false;
                t1 = std::min(t1, r);
            }
            return true;
        };
        const double xmax = m_ancho - 0.001, ymax = m_alto - 0.001;
        if (!recorta(-dx, x0) || !recorta(dx, xmax - x0) || !recorta(-dy, y0)
            || !recorta(dy, ymax - y0)) {
            m_fase += int(std::max(std::abs(dx), std::abs(dy)));
            return;
        }
        const double ax = x0 + t0 * dx, ay = y0 + t0 * dy;
        const double bx = x0 + t1 * dx, by = y0 + t1 * dy;
        const int n = int(std::max(std::abs(bx - ax), std::abs(by - ay)));
        const double sx = n ? (bx - ax) / n : 0, sy = n ? (by - ay) / n : 0;
        double x = ax, y = ay;
        for (int i = 0; i <= n; ++i, x += sx, y += sy) {
            // Dashes of five pixels on, four off.
            if (!m_rapido || (m_fase + i) % 9 < 5)
                m_bits[int(y) * m_paso + int(x)] = m_color;
        }
        m_fase += n;
    }

    quint32 *m_bits;
    const qsizetype m_paso;
    const int m_ancho, m_alto;
    quint32 m_color = 0;
    bool m_rapido = false;
    int m_fase = 0;
    double m_u = 0, m_v = 0;
};

// Gathers one move as a path.
class Camino : public Receptor
{
public:
    void empieza(double u, double v, bool, std::size_t) override { camino.moveTo(u, v); }
    void sigue(double u, double v, std::size_t) override { camino.lineTo(u, v); }
    void marca(double u, double v, std::size_t) override { camino.addEllipse(QPointF(u, v), 3, 3); }
    QPainterPath camino;
};

Ventana ventana(QSize tamano)
{
    // A few pixels beyond the edges, so that a line leaving the area is
    // drawn to its edge.
    return {-4, -4, tamano.width() + 4.0, tamano.height() + 4.0};
}

} // namespace

void dibuja(QImage &imagen, const Trayectoria &t, const Vista &vista)
{
    imagen.fill(kFondo);
    {
        // The program's zero, where the work offsets' origins are; under the path.
        QPainter p(&imagen);
        const Punto cero {-t.origen[0], -t.origen[1], -t.origen[2]};
        const QPointF o(vista.u(cero), vista.v(cero));
        p.setPen(QPen(QColor(110, 110, 110), 0));
        const char *const ejes = "XYZ";
        for (int k = 0; k < 3; ++k) {
            Punto e = cero;
            e[k] += 1;
            QPointF d(vista.u(e) - o.x(), vista.v(e) - o.y());
            const double l = std::hypot(d.x(), d.y());
            // An axis along the line of sight shows as a point.
            if (l < 1e-6 * vista.escala)
                continue;
            d *= 24 / l;
            p.drawLine(o, o + d);
            p.drawText(o + d * 1.2 + QPointF(-3, 4), QString(QLatin1Char(ejes[k])));
        }
    }
    Rasterizador r(imagen);
    recorre(t, vista, ventana(imagen.size()), 1.0, r);
    // The reference point is up the machine's axes: an arrow up.
    QPainter p(&imagen);
    p.setPen(QPen(kRapido, 0));
    for (const QPointF &m : r.marcas) {
        const QPointF f[] = {m + QPointF(-4, -6), m + QPointF(0, -10), m + QPointF(4, -6)};
        p.drawLine(m, m + QPointF(0, -10));
        p.drawPolyline(f, 3);
    }
}

void dibujaMovimiento(
    QPainter &p, const Trayectoria &t, std::size_t mov, const Vista &vista, QSize tamano)
{
    Camino c;
    recorreMovimiento(t, mov, vista, ventana(tamano), c);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.strokePath(c.camino, QPen(kSeleccion, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setRenderHint(QPainter::Antialiasing, false);
}

void dibujaHerramienta(QPainter &p, const Punto &punto, const Vista &vista)
{
    if (!conocido(punto))
        return;
    const QPointF a(vista.u(punto), vista.v(punto));
    Punto arriba = punto;
    arriba[2] += 1;
    QPointF eje(vista.u(arriba) - a.x(), vista.v(arriba) - a.y());
    const double l = std::hypot(eje.x(), eje.y());
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(kHerramienta, 2));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(a, 6, 6);
    // The tool's shank up from its tip, where Z is not along the line of sight.
    if (l > 1e-12) {
        eje *= 30 / l;
        p.drawLine(a, a + eje);
    }
    p.setRenderHint(QPainter::Antialiasing, false);
}

} // namespace DibujoTrayectoria
