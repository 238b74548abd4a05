#pragma once

#include "plot/lectorprograma.h"
#include "plot/recorrido.h"

#include <QImage>
#include <QWidget>

#include <memory>

// The backplot: the toolpath in one view, zoomed with the wheel about the
// pointer, panned by dragging, fitted with Home. A click on a move names its
// line; a marked line shows its moves and the tool where they end.
class VistaTrazado : public QWidget
{
    Q_OBJECT

public:
    explicit VistaTrazado(QWidget *parent = nullptr);

    // A new reading: the view is fitted to it unless it has the same extents.
    void muestra(std::shared_ptr<const Trazado::Lectura> lectura);
    const Trazado::Lectura *lectura() const { return m_lectura.get(); }

    void setTipoVista(Trazado::Vista::Tipo tipo);
    Trazado::Vista::Tipo tipoVista() const { return m_tipo; }
    const Trazado::Vista &vista() const { return m_vista; }
    void encuadra();

    // -1 for none. The view follows the tool when it leaves the area.
    void marcaLinea(qsizetype linea);
    qsizetype lineaMarcada() const { return m_linea; }

signals:
    void lineaElegida(qsizetype linea);

protected:
    void paintEvent(QPaintEvent *evento) override;
    void resizeEvent(QResizeEvent *evento) override;
    void wheelEvent(QWheelEvent *evento) override;
    void mousePressEvent(QMouseEvent *evento) override;
    void mouseMoveEvent(QMouseEvent *evento) override;
    void mouseReleaseEvent(QMouseEvent *evento) override;
    void keyPressEvent(QKeyEvent *evento) override;

private:
    void cambiaVista();

    std::shared_ptr<const Trazado::Lectura> m_lectura;
    Trazado::Vista::Tipo m_tipo = Trazado::Vista::XY;
    Trazado::Vista m_vista;
    // The toolpath drawn for the present view; the marks go over it.
    QImage m_imagen;
    bool m_sucia = true;
    bool m_encuadrada = false;
    qsizetype m_linea = -1;
    QPoint m_pulsado;
    QPointF m_anterior;
    bool m_arrastrando = false;
};
