#pragma once

#include <QByteArray>
#include <QList>

// The text window's lines against a file's, line by line. Both sides are
// lines as the program-file reader gives them, so CR LF against LF and a last
// line with or without its line end compare the same; every other byte counts.
namespace Comparacion {

// One stretch where the sides differ: the window's lines from lineaTexto
// (1-based) stand where the file has its lines from lineaFichero. One side may
// have none; its number is then where the other side's lines would go.
struct Bloque
{
    qsizetype lineaTexto = 0;
    qsizetype lineaFichero = 0;
    QList<QByteArray> texto;
    QList<QByteArray> fichero;

    bool operator==(const Bloque &) const = default;
};

struct Resultado
{
    QList<Bloque> bloques; // in line order; none when identical
    qsizetype lineasTexto = 0; // the window's lines that differ
    qsizetype lineasFichero = 0; // the file's lines that differ
};

Resultado compara(const QList<QByteArray> &texto, const QList<QByteArray> &fichero);

} // namespace Comparacion
