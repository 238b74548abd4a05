#include "plot/vistatrazado.h"

#include "plot/dibujotrayectoria.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <utility>

using namespace Trazado;

namespace {

// A press that moves less than this is a click, not a drag.
constexpr int kArrastre = 4;
// One notch of the wheel.
constexpr double kPasoRueda = 1.25;
// A line's moves highlighted at most: a canned cycle of thousands of holes
// would otherwise hold the paint.
constexpr std::size_t kMaxResaltados = 2000;

} // namespace

VistaTrazado::VistaTrazado(QWidget *parent) : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(60, 60);
    m_vista = Vista::de(m_tipo);
}

void VistaTrazado::muestra(std::shared_ptr<const Lectura> lectura)
{
    bool igual = m_lectura && lectura;
    if (igual) {
        const Trayectoria::Caja a = m_lectura->trayectoria.cajaTotal();
        const Trayectoria::Caja b = lectura->trayectoria.cajaTotal();
        igual = std::equal(a.min, a.min + 3, b.min) && std::equal(a.max, a.max + 3, b.max);
    }
    m_lectura = std::move(lectura);
    // An edit that leaves the extents as they were keeps the operator's zoom.
    if (!igual || !m_encuadrada)
        encuadra();
    cambiaVista();
    if (m_linea >= 0)
        marcaLinea(m_linea);
}

void VistaTrazado::setTipoVista(Vista::Tipo tipo)
{
    m_tipo = tipo;
    encuadra();
}

void VistaTrazado::encuadra()
{
    m_vista = Vista::de(m_tipo);
    if (m_lectura)
        m_vista.encuadra(m_lectura->trayectoria.cajaTotal(), width(), height());
    m_encuadrada = true;
    cambiaVista();
}

void VistaTrazado::cambiaVista()
{
    m_sucia = true;
    update();
}

void VistaTrazado::marcaLinea(qsizetype linea)
{
    m_linea = linea;
    if (m_lectura && linea >= 0) {
        // The tool stays in sight: when it leaves the area, the view centres on it.
        const Punto h = m_lectura->trayectoria.herramientaEnLinea(std::size_t(linea));
        if (conocido(h)) {
            const double u = m_vista.u(h), v = m_vista.v(h);
            if (u < 0 || v < 0 || u > width() || v > height()) {
                m_vista.ox += width() / 2.0 - u;
                m_vista.oy += height() / 2.0 - v;
                m_sucia = true;
            }
        }
    }
    update();
}

void VistaTrazado::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    if (!m_lectura) {
        p.fillRect(rect(), DibujoTrayectoria::kFondo);
        return;
    }
    if (m_sucia || m_imagen.size() != size()) {
        m_imagen = QImage(size(), QImage::Format_RGB32);
        DibujoTrayectoria::dibuja(m_imagen, m_lectura->trayectoria, m_vista);
        m_sucia = false;
    }
    p.drawImage(0, 0, m_imagen);
    if (m_linea < 0)
        return;
    const Trayectoria &t = m_lectura->trayectoria;
    const auto [primero, ultimo] = t.movimientosDeLinea(std::size_t(m_linea));
    for (std::size_t i = primero; i < ultimo && i < primero + kMaxResaltados; ++i)
        DibujoTrayectoria::dibujaMovimiento(p, t, i, m_vista, size());
    DibujoTrayectoria::dibujaHerramienta(p, t.herramientaEnLinea(std::size_t(m_linea)), m_vista);
}

void VistaTrazado::resizeEvent(QResizeEvent *)
{
    // Until the operator zooms, the whole program stays in sight.
    if (m_encuadrada)
        encuadra();
    cambiaVista();
}

void VistaTrazado::wheelEvent(QWheelEvent *evento)
{
    const double pasos = evento->angleDelta().y() / 120.0;
    if (pasos == 0)
        return;
    m_vista.amplia(std::pow(kPasoRueda, pasos), evento->position().x(), evento->position().y());
    m_encuadrada = false;
    cambiaVista();
    evento->accept();
}

void VistaTrazado::mousePressEvent(QMouseEvent *evento)
{
    if (evento->button() != Qt::LeftButton)
        return;
    m_pulsado = evento->position().toPoint();
    m_anterior = evento->position();
    m_arrastrando = false;
}

void VistaTrazado::mouseMoveEvent(QMouseEvent *evento)
{
    if (!(evento->buttons() & Qt::LeftButton))
        return;
    if (!m_arrastrando && (evento->position().toPoint() - m_pulsado).manhattanLength() < kArrastre)
        return;
    m_arrastrando = true;
    const QPointF d = evento->position() - m_anterior;
    m_anterior = evento->position();
    m_vista.ox += d.x();
    m_vista.oy += d.y();
    m_encuadrada = false;
    cambiaVista();
}

void VistaTrazado::mouseReleaseEvent(QMouseEvent *evento)
{
    if (evento->button() != Qt::LeftButton || std::exchange(m_arrastrando, false) || !m_lectura)
        return;
    const std::ptrdiff_t mov
        = busca(m_lectura->trayectoria, m_vista, evento->position().x(), evento->position().y());
    if (mov >= 0)
        emit lineaElegida(qsizetype(m_lectura->trayectoria.movimientos[std::size_t(mov)].linea));
}

void VistaTrazado::keyPressEvent(QKeyEvent *evento)
{
    if (evento->key() == Qt::Key_Home) {
        encuadra();
        return;
    }
    QWidget::keyPressEvent(evento);
}
