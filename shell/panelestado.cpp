#include "shell/panelestado.h"

#include <QEvent>
#include <QHash>
#include <QPainter>
#include <QStyle>

#include <algorithm>

namespace {

const QString kElipsis = QStringLiteral("…");
// Between two panels, in pixels.
constexpr int kHueco = 2;

} // namespace

PanelEstado::PanelEstado(const QString &texto, QWidget *parent) : QLabel(texto, parent)
{
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Sunken);
}

void PanelEstado::EstableceTexto(const QString &texto, qsizetype inicio, qsizetype largo)
{
    m_inicio = qBound(qsizetype(0), inicio, texto.size());
    m_largo = qBound(qsizetype(0), largo, texto.size() - m_inicio);
    setText(texto);
    updateGeometry();
    update();
}

QString PanelEstado::TextoMostrado() const
{
    const QString todo = text();
    const int ancho = contentsRect().width();
    const QFontMetrics fm = fontMetrics();
    if (m_largo == 0 || fm.horizontalAdvance(todo) <= ancho)
        return todo;
    const QString antes = todo.left(m_inicio);
    const QString despues = todo.mid(m_inicio + m_largo);
    const int resto = ancho - fm.horizontalAdvance(antes) - fm.horizontalAdvance(despues);
    // A name already cut at its start (a long device's end) loses more of
    // its start, the part that tells it apart staying.
    QString nombre = todo.mid(m_inicio, m_largo);
    nombre = nombre.startsWith(kElipsis) ? fm.elidedText(nombre.mid(1), Qt::ElideLeft, resto)
                                         : fm.elidedText(nombre, Qt::ElideMiddle, resto);
    // Too narrow even for the ellipsis: the mark that something is left out stays.
    if (nombre.isEmpty())
        nombre = kElipsis;
    return antes + nombre + despues;
}

bool PanelEstado::Recortable() const
{
    return m_largo > 0;
}

QSize PanelEstado::minimumSizeHint() const
{
    const QSize entero = QLabel::minimumSizeHint();
    if (m_largo == 0)
        return sizeHint();
    const QString todo = text();
    const QString minimo = todo.left(m_inicio) + kElipsis + todo.mid(m_inicio + m_largo);
    const QMargins m = contentsMargins();
    return {fontMetrics().horizontalAdvance(minimo) + m.left() + m.right() + 2 * margin(),
        entero.height()};
}

void PanelEstado::paintEvent(QPaintEvent *)
{
    QPainter pintor(this);
    drawFrame(&pintor);
    style()->drawItemText(&pintor, contentsRect().adjusted(margin(), 0, -margin(), 0),
        int(alignment()), palette(), isEnabled(), TextoMostrado(), foregroundRole());
}

FilaPaneles::FilaPaneles(QWidget *parent) : QWidget(parent) { }

void FilaPaneles::Agrega(PanelEstado *panel)
{
    panel->setParent(this);
    m_paneles.append(panel);
}

void FilaPaneles::Coloca()
{
    QList<PanelEstado *> visibles;
    for (PanelEstado *p : std::as_const(m_paneles)) {
        if (!p->isHidden())
            visibles.append(p);
    }
    // The room the whole panels, the gaps and the least of the others leave.
    int resto = width() - kHueco * int(qMax(qsizetype(0), visibles.size() - 1));
    QList<PanelEstado *> recortables;
    for (PanelEstado *p : std::as_const(visibles)) {
        resto -= p->Recortable() ? p->minimumSizeHint().width() : p->sizeHint().width();
        if (p->Recortable())
            recortables.append(p);
    }
    // Shared out fairly: a name that needs less than its share is whole,
    // and what it leaves goes to the longer ones.
    const auto falta
        = [](const PanelEstado *p) { return p->sizeHint().width() - p->minimumSizeHint().width(); };
    std::stable_sort(recortables.begin(), recortables.end(),
        [&](const PanelEstado *a, const PanelEstado *b) { return falta(a) < falta(b); });
    QHash<const PanelEstado *, int> anchos;
    for (qsizetype i = 0; i < recortables.size(); ++i) {
        const PanelEstado *p = recortables.at(i);
        const int parte = qBound(0, falta(p), qMax(0, resto) / int(recortables.size() - i));
        anchos.insert(p, p->minimumSizeHint().width() + parte);
        resto -= parte;
    }
    int x = 0;
    for (PanelEstado *p : std::as_const(visibles)) {
        const int ancho = anchos.value(p, p->sizeHint().width());
        p->setGeometry(x, 0, ancho, height());
        x += ancho + kHueco;
    }
}

QSize FilaPaneles::sizeHint() const
{
    int ancho = 0;
    int alto = 0;
    for (const PanelEstado *p : m_paneles) {
        if (!p->isHidden()) {
            ancho += p->sizeHint().width() + kHueco;
            alto = qMax(alto, p->sizeHint().height());
        }
    }
    return {ancho, alto};
}

QSize FilaPaneles::minimumSizeHint() const
{
    return {0, sizeHint().height()};
}

bool FilaPaneles::event(QEvent *evento)
{
    // A panel's new text or its showing asks its parent to lay it out again.
    if (evento->type() == QEvent::LayoutRequest) {
        updateGeometry();
        Coloca();
    }
    return QWidget::event(evento);
}

void FilaPaneles::resizeEvent(QResizeEvent *evento)
{
    QWidget::resizeEvent(evento);
    Coloca();
}
