#pragma once

#include <QByteArray>
#include <QList>

// How program lines become bytes on the line to the CNC.
namespace CodificadorEnvio {

// Appends one line as sent: ASCII with CR LF, or ISO codes with LF.
void codificaLinea(const QByteArray &linea, bool iso, QByteArray &destino);

// Bytes one line takes on the line, without encoding it.
qint64 longitudCodificada(const QByteArray &linea, bool iso);

// The whole send: DC2, every line, DC4.
QByteArray codificaPrograma(const QList<QByteArray> &lineas, bool iso);

// The "%" that tells the CNC the program was cut short.
char porCiento(bool iso);

// Characters ISO code cannot carry go out as 0 bytes; the operator is warned
// beforehand with their number and the first line (from 0) holding one.
struct Intransmisibles
{
    qint64 cuenta = 0;
    qint64 primeraLinea = -1;
};
Intransmisibles buscaIntransmisibles(const QList<QByteArray> &lineas);

} // namespace CodificadorEnvio
