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

    qsizetype count() const { return m_lineas.size(); }
    const QByteArray &linea(qsizetype i) const { return m_lineas.at(i); }
    const QList<QByteArray> &lineas() const { return m_lineas; }

    void append(const QByteArray &linea);
    // Appends many lines with one insertion signal.
    void append(const QList<QByteArray> &lineas);
    void setLinea(qsizetype i, const QByteArray &linea);
    // Replaces all lines at once (one model reset, not one signal a line).
    void setLineas(QList<QByteArray> lineas);
    void clear();

private:
    QList<QByteArray> m_lineas;
};
