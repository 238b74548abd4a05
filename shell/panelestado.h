#pragma once

#include <QLabel>

// A panel of the status bar. When the bar is short of room it loses the
// middle of a name (a machine's, a port's), never the caption before it nor
// the marker after it ("(modified)"); the other panels keep their whole text
// and do not shrink. text() is always the whole text (the caller gives the
// tooltip that says it whole).
class PanelEstado : public QLabel
{
public:
    explicit PanelEstado(const QString &texto = {}, QWidget *parent = nullptr);

    // The whole text; the name is the part of largo characters from inicio
    // (none with largo 0: the panel is never narrower than its text).
    void EstableceTexto(const QString &texto, qsizetype inicio = 0, qsizetype largo = 0);
    // The text as it reads at the present width.
    QString TextoMostrado() const;
    // Whether it has a name that may lose its middle.
    bool Recortable() const;

    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *evento) override;

private:
    qsizetype m_inicio = 0;
    qsizetype m_largo = 0;
};

// The panels of the status bar side by side, close together. The panels
// that keep their text whole get the width it needs; the room left is shared
// fairly among those whose name may lose its middle: a short name stays
// whole, the longer ones get equal parts of the rest.
class FilaPaneles : public QWidget
{
public:
    explicit FilaPaneles(QWidget *parent = nullptr);
    void Agrega(PanelEstado *panel);
    // Lays the panels out again at the present width.
    void Coloca();

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    bool event(QEvent *evento) override;
    void resizeEvent(QResizeEvent *evento) override;

private:
    QList<PanelEstado *> m_paneles;
};
