#include "text/textoprograma.h"

#include <QString>

#include <limits>

TextoPrograma::TextoPrograma(QObject *parent) : QAbstractListModel(parent) { }

int TextoPrograma::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid())
        return 0;
    return int(qMin<qsizetype>(m_lineas.size(), std::numeric_limits<int>::max()));
}

QVariant TextoPrograma::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_lineas.size())
        return {};
    if (role == Qt::DisplayRole)
        return QString::fromLatin1(m_lineas.at(index.row()));
    return {};
}

void TextoPrograma::append(const QByteArray &linea)
{
    const int fila = int(m_lineas.size());
    beginInsertRows(QModelIndex(), fila, fila);
    m_lineas.append(linea);
    endInsertRows();
}

void TextoPrograma::append(const QList<QByteArray> &lineas)
{
    if (lineas.isEmpty())
        return;
    const int fila = int(m_lineas.size());
    beginInsertRows(QModelIndex(), fila, fila + int(lineas.size()) - 1);
    m_lineas.append(lineas);
    endInsertRows();
}

void TextoPrograma::setLinea(qsizetype i, const QByteArray &linea)
{
    m_lineas[i] = linea;
    const QModelIndex indice = index(int(i));
    emit dataChanged(indice, indice, {Qt::DisplayRole});
}

void TextoPrograma::setLineas(QList<QByteArray> lineas)
{
    beginResetModel();
    m_lineas = std::move(lineas);
    endResetModel();
}

void TextoPrograma::clear()
{
    setLineas({});
}
