#pragma once

#include <QAbstractListModel>
#include <QByteArray>
#include <QList>

// The lines of the text window: program lines are 8-bit text, one byte a
// character, kept as bytes so that every byte value survives and a program
// of millions of lines stays small. Shown through a list view.
class TextoPrograma : public QAbstractListModel
{
    Q_OBJECT

public:
    explicit TextoPrograma(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    // A line is shown cut to this many characters and "…": converting and
    // drawing megabytes on every repaint would freeze the window. The line
    // itself stays whole.
    static constexpr qsizetype kMostrado = 4096;

    qsizetype count() const { return m_lineas.size(); }
    // The row of the longest line (by characters; the font is fixed-pitch),
    // -1 when there are none: the view makes every row as wide as that one.
    qsizetype filaMasLarga() const { return m_masLarga; }
    const QByteArray &linea(qsizetype i) const { return m_lineas.at(i); }
    const QList<QByteArray> &lineas() const { return m_lineas; }

    // Appends the lines with one insertion signal.
    void append(const QList<QByteArray> &lineas);
    void setLinea(qsizetype i, const QByteArray &linea);
    // Replaces all lines at once (one model reset, not one signal a line).
    void setLineas(QList<QByteArray> lineas);
    void clear();

private:
    void buscaMasLarga();

    QList<QByteArray> m_lineas;
    qsizetype m_masLarga = -1;
};
