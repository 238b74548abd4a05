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
    if (role != Qt::DisplayRole)
        return {};
    const QByteArray &linea = m_lineas.at(index.row());
    if (linea.size() <= kMostrado)
        return QString::fromLatin1(linea);
    return QString::fromLatin1(linea.left(kMostrado)) + QChar(0x2026);
}

void TextoPrograma::append(const QList<QByteArray> &lineas)
{
    if (lineas.isEmpty())
        return;
    const int fila = int(m_lineas.size());
    beginInsertRows(QModelIndex(), fila, fila + int(lineas.size()) - 1);
    m_lineas.append(lineas);
    for (qsizetype i = fila; i < m_lineas.size(); ++i) {
        if (m_masLarga < 0 || m_lineas.at(i).size() > m_lineas.at(m_masLarga).size())
            m_masLarga = i;
    }
    endInsertRows();
}

void TextoPrograma::setLinea(qsizetype i, const QByteArray &linea)
{
    const bool eraLaMasLarga = i == m_masLarga;
    m_lineas[i] = linea;
    if (eraLaMasLarga)
        buscaMasLarga();
    else if (linea.size() > m_lineas.at(m_masLarga).size())
        m_masLarga = i;
    const QModelIndex indice = index(int(i));
    emit dataChanged(indice, indice, {Qt::DisplayRole});
}

void TextoPrograma::setLineas(QList<QByteArray> lineas)
{
    beginResetModel();
    m_lineas = std::move(lineas);
    buscaMasLarga();
    endResetModel();
}

void TextoPrograma::buscaMasLarga()
{
    m_masLarga = -1;
    for (qsizetype i = 0; i < m_lineas.size(); ++i) {
        if (m_masLarga < 0 || m_lineas.at(i).size() > m_lineas.at(m_masLarga).size())
            m_masLarga = i;
    }
}

void TextoPrograma::clear()
{
    setLineas({});
}
