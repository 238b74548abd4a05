#pragma once

#include "line/formatolinea.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QObject>

// Turns the bytes the CNC sends into program lines. Lines are cut at LF (a CR
// right before it is part of the line end), and in ASCII also at CR for
// controls that end blocks with CR alone; DC4 ends the program, and so does
// the "%" code 165 once program text has come (in ISO code a leading "%" only
// opens the program). Without the DC2/DC4 frame an ASCII "%" at the start of
// a line ends the program too once text has come, as the closing mark of a
// program sent between "%" lines. In ISO code, tape feed (NUL) and rub-out
// (DEL) carry no text (in ASCII too: leader and trailer), and a byte with a
// wrong parity bit adds nothing but is counted. The result does not depend
// on how the bytes are split into chunks.
//
// What the line brings and the program holds differ in two places only: DC4
// right after the last line end adds no empty line (a line the CNC ended
// itself, empty or not, is kept), and a closing "%" ends its own line, so
// the line end that follows it adds none either.
class DecodificadorRecepcion : public QObject
{
    Q_OBJECT

public:
    explicit DecodificadorRecepcion(
        bool iso, const FormatoLinea &formato = {}, QObject *parent = nullptr);

    // Decodes the bytes; completed lines are emitted once per call.
    void feed(QByteArrayView bytes);
    // The same up to the end mark: the bytes after it are left for the next
    // program. Returns how many were taken.
    qsizetype feedHastaFin(QByteArrayView bytes);
    // The line being assembled becomes the last line (Stop, lost port).
    void terminaParcial();

    bool terminado() const { return m_terminado; }
    // The program's start has come: DC2 with the frame; the opening "%"
    // line without it.
    bool conInicio() const { return m_conInicio; }
    // Text other than blanks and the opening "%" has come.
    bool hayTexto() const { return m_hayTexto; }
    qint64 lineasCompletas() const { return m_lineas; }
    // Bytes dropped for a wrong parity bit, and the first lines (from 0) holding one.
    qint64 ilegibles() const { return m_ilegibles; }
    const QList<qint64> &lineasIlegibles() const { return m_lineasIlegibles; }

signals:
    void lineasRecibidas(const QList<QByteArray> &lineas);
    // DC2: the CNC starts its program.
    void inicioPrograma();
    // The end mark arrived; emitted once, after the lines before it.
    void finRecepcion();

private:
    qsizetype decodifica(QByteArrayView bytes, bool hastaFin);
    void completaLinea(QList<QByteArray> &lista);
    void marcaFin(QList<QByteArray> &lista);
    // The closing "%": its own line, and the end.
    void cierraConPorCiento(QList<QByteArray> &lista, const QByteArray &porCiento);

    bool m_iso;
    bool m_finCr;
    bool m_marco;
    // The last byte ended a line at CR: an LF right after it belongs to it.
    bool m_trasCr = false;
    // A closing "%" has ended its line: its CR and LF add nothing.
    bool m_trasPorCiento = false;
    bool m_terminado = false;
    bool m_hayTexto = false;
    bool m_conInicio = false;
    qint64 m_lineas = 0;
    qint64 m_ilegibles = 0;
    QList<qint64> m_lineasIlegibles;
    QByteArray m_linea;
};
