#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>

// Turns the bytes the CNC sends into program lines. Lines are cut at LF (a CR
// right before it is part of the line end), and in ASCII also at CR for
// controls that end blocks with CR alone; DC4 ends the program, and so does
// the "%" code 165 once program text has come (in ISO code a leading "%" only
// opens the program). In ISO code, tape feed (NUL) and rub-out (DEL) carry no
// text (in ASCII too: leader and trailer), and a byte with a wrong parity bit adds nothing but is
// counted. The result does not depend on how the bytes are split into chunks.
class DecodificadorRecepcion : public QObject
{
    Q_OBJECT

public:
    explicit DecodificadorRecepcion(bool iso, bool finCr = false, QObject *parent = nullptr);

    // Decodes the bytes; completed lines are emitted once per call.
    void feed(const QByteArray &bytes);
    // The line being assembled becomes the last line (Stop, lost port).
    void terminaParcial();

    bool terminado() const { return m_terminado; }
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
    void completaLinea(QList<QByteArray> &lista);
    void marcaFin(QList<QByteArray> &lista);

    bool m_iso;
    bool m_finCr;
    // The last byte ended a line at CR: an LF right after it belongs to it.
    bool m_trasCr = false;
    bool m_terminado = false;
    bool m_hayTexto = false;
    qint64 m_lineas = 0;
    qint64 m_ilegibles = 0;
    QList<qint64> m_lineasIlegibles;
    QByteArray m_linea;
};
