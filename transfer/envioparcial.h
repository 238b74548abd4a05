#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// Restarting a long program part-way through: the CNC still needs the
// program's header ("%" and the program number) before the block it resumes at.
namespace EnvioParcial {

// What goes out when sending from one line of the text window.
struct Seleccion
{
    QList<QByteArray> lineas;
    // Header lines at the head of `lineas`, then `inicio` lines of a start
    // block that are no line of the window; the rest follow from `desde`.
    qsizetype cabecera = 0;
    qsizetype inicio = 0;
    qsizetype desde = 0;
    // Lines of the window left out.
    qsizetype saltadas() const { return desde - cabecera; }
    // Line of the window (from 0) the n-th line sent (from 1) comes from;
    // for a line of the start block, the header's last (-1 without one).
    qsizetype lineaVentana(qint64 enviadas) const;
    // Puts the start block between the header and the chosen line.
    void anadeInicio(const QList<QByteArray> &bloque);
};

// The leading "%" line and the program number ("O" or ":" and a digit) right
// after it, or first when there is no "%" line.
qsizetype lineasCabecera(const QList<QByteArray> &lineas);

// From the first line, or from within the header, the whole program goes.
Seleccion desde(const QList<QByteArray> &lineas, qsizetype linea);

// The line (from 0) an operator's entry names: "N1200" is the first block
// numbered 1200, blanks ignored; "57" is line 57 counted from 1. -1 when
// there is none.
qsizetype buscaLinea(const QList<QByteArray> &lineas, const QString &entrada);

} // namespace EnvioParcial
