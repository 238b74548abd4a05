#include "transfer/progresoestado.h"

#include "transfer/progresotransferencia.h"

#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>

#include <cmath>

namespace {

// The bar counts in thousandths: byte counts do not fit its int range.
constexpr int kEscalaBarra = 1000;

QLabel *panel(QWidget *padre)
{
    auto *etiqueta = new QLabel(padre);
    etiqueta->setFrameShape(QFrame::Panel);
    etiqueta->setFrameShadow(QFrame::Sunken);
    return etiqueta;
}

} // namespace

ProgresoEstado::ProgresoEstado(QFrame *linea)
    : QWidget(linea),
      m_lineaEstado(linea),
      m_linea(panel(this)),
      m_barra(new QProgressBar(this)),
      m_cifras(panel(this))
{
    linea->installEventFilter(this);
    setObjectName(QStringLiteral("ProgresoEstado"));
    auto *disposicion = new QHBoxLayout(this);
    disposicion->setContentsMargins(0, 0, 0, 0);
    disposicion->setSpacing(2);
    disposicion->addWidget(m_linea);
    disposicion->addWidget(m_barra);
    disposicion->addWidget(m_cifras);
    m_barra->setRange(0, kEscalaBarra);
    m_barra->setTextVisible(false);
    m_barra->setFixedWidth(60);
    m_barra->setMaximumHeight(14);
}

void ProgresoEstado::muestra(bool visible)
{
    setVisible(visible);
    coloca();
}

void ProgresoEstado::coloca()
{
    const int marco = m_lineaEstado->frameWidth();
    // The status text keeps at least two fifths of the line.
    const int ancho = isHidden() ? 0 : qMin(sizeHint().width(), m_lineaEstado->width() * 3 / 5);
    setGeometry(
        m_lineaEstado->width() - marco - ancho, marco, ancho, m_lineaEstado->height() - 2 * marco);
    m_lineaEstado->setContentsMargins(0, 0, isHidden() ? 0 : ancho + 4, 0);
}

bool ProgresoEstado::eventFilter(QObject *objeto, QEvent *evento)
{
    if (objeto == m_lineaEstado && evento->type() == QEvent::Resize)
        coloca();
    return QWidget::eventFilter(objeto, evento);
}

void ProgresoEstado::empiezaEnvio()
{
    m_envio = true;
    m_barra->show();
    m_barra->setValue(0);
    actualiza({});
}

void ProgresoEstado::empiezaRecepcion()
{
    m_envio = false;
    m_barra->hide();
    actualiza({});
}

void ProgresoEstado::actualiza(const ProgresoTransferencia &p)
{
    // Figures and unit symbols only: they read the same in every language.
    const QString cifras = QString::number(p.bytes) + QStringLiteral(" B  ")
        + QString::number(qRound64(p.caracteresPorSegundo)) + QStringLiteral(" B/s");
    if (m_envio) {
        m_linea->setText(
            QString::number(p.linea) + QStringLiteral(" / ") + QString::number(p.lineas));
        m_barra->setValue(p.bytesTotales > 0
                ? int(qMin<qint64>(kEscalaBarra, p.bytes * kEscalaBarra / p.bytesTotales))
                : 0);
        m_cifras->setText(cifras + QStringLiteral("  -") + tiempo(p.segundosRestantes));
    } else {
        m_linea->setText(QString::number(p.linea));
        m_cifras->setText(cifras);
    }
    if (!isHidden())
        coloca();
}

QString ProgresoEstado::tiempo(double segundos)
{
    if (!(segundos >= 0) || !std::isfinite(segundos))
        return QStringLiteral("--:--");
    const qint64 s = qint64(std::ceil(segundos));
    const qint64 h = s / 3600;
    const QString ms = QStringLiteral("%1:%2")
                           .arg(h > 0 ? (s / 60 % 60) : s / 60, h > 0 ? 2 : 1, 10, QLatin1Char('0'))
                           .arg(s % 60, 2, 10, QLatin1Char('0'));
    return h > 0 ? QString::number(h) + QLatin1Char(':') + ms : ms;
}

QString ProgresoEstado::textoLinea() const
{
    return m_linea->text();
}

QString ProgresoEstado::textoCifras() const
{
    return m_cifras->text();
}
