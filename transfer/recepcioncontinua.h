#pragma once

#include "line/formatolinea.h"
#include "transfer/recepcionpuerto.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QList>
#include <QString>

#include <functional>
#include <utility>

class DecodificadorRecepcion;

// Receives program after program with the port kept open, each saved by
// itself into a folder the moment it ends (end mark, or the format's silence
// once text has come). Saved apart, under a name that says it is
// incomplete: a program cut off by Stop or a lost port, one whose start
// never came (no DC2 with the frame, no leading "%" without it), and the
// first MaxPrograma of one that is longer (the rest of it, up to its end, is
// dropped and counted). A program that cannot be saved ends the mode before
// anything after it is read into it: it is kept in sinGuardar(), and so is
// whatever had already come after it, as programs of their own.
class RecepcionContinua : public RecepcionPuerto
{
    Q_OBJECT

public:
    // A program as it is kept until it is saved: each line followed by LF
    // (no line holds one), so that a long program takes no more memory than
    // its text.
    struct SinGuardar
    {
        QByteArray texto;
        bool incompleto = false;
    };

    explicit RecepcionContinua(MSComm &puerto, QObject *parent = nullptr);

    // Opens the port (or goes on with it when a send has left it open, with
    // what came meanwhile). On a port failure terminado() is emitted before
    // this returns false.
    bool inicia(const QString &carpeta, bool iso, const FormatoLinea &formato = {});
    // Stop: what has arrived is decoded and a program in progress is saved
    // as incomplete.
    void detiene();
    // A whole program the filter takes (a request to a service rather than a
    // program) is handed to it instead of being saved.
    void setFiltro(std::function<bool(QByteArrayView texto)> filtro)
    {
        m_filtro = std::move(filtro);
    }
    // The programs that could not be saved, in the order they came.
    const QList<SinGuardar> &sinGuardar() const { return m_sinGuardar; }

    // Saves the text (lines each followed by LF) in the folder under the
    // name the save dialog proposes, made safe for any file system, else a
    // dated one, never over an existing file: a counter is added. The path
    // written, or empty with the reason in error.
    static QString guarda(const QString &carpeta, QByteArrayView texto, bool incompleto,
        QString *error, const QDateTime &ahora = QDateTime::currentDateTime());
    // The name a program's first lines give, only letters, digits, "-", "_"
    // and "." kept (FAT and Windows shares take no other), without the
    // counter and the incomplete mark; empty when they give none.
    static QString nombrePrograma(QByteArrayView texto);

signals:
    // The first text of a new program; the one before it is saved.
    void programaNuevo();
    void lineasRecibidas(const QList<QByteArray> &lineas);
    // A program saved: Completa, or the reason it is incomplete (Detenida by
    // Stop, Fallida with the reason); its unreadable characters.
    void guardado(
        const QString &ruta, qint64 lineas, qint64 bytes, const ResultadoTransferencia &programa);
    // A program that could not be saved; the mode ends.
    void errorGuardado(const QString &carpeta, const QString &motivo, qint64 lineas, qint64 bytes);
    // A network server's own text, right after the connection was made and
    // before any program (a device server turning it away): no program.
    void respuestaServidor(const QString &texto);
    void terminado(const ResultadoTransferencia &resultado);

private:
    void nuevoDecodificador();
    void alLlegar() override;
    // Decodes the bytes program by program; false when a program could not
    // be saved and `parar` asked to stop there (the rest is kept unread).
    bool procesa(QByteArrayView datos, bool parar);
    // Past the limit: only looks for the end of the program; how many bytes it took.
    qsizetype salta(QByteArrayView datos);
    void terminaSalto();
    void alDecodificar(const QList<QByteArray> &lineas);
    // The text held as a server's possible answer is a program after all.
    void sueltaRespuesta();
    // The program in progress was a server's answer: dropped, its text.
    QString tomaRespuesta();
    // Ends the program in progress as the state says (Completa turns into
    // Fallida when its start never came) and saves it; false when it could
    // not be saved.
    // With `largo` the rest of the program is then dropped up to its end,
    // and the program told once that is done.
    bool cierraPrograma(
        ResultadoTransferencia::Estado estado, const QString &motivo = {}, bool largo = false);
    void siguientePrograma();
    void termina(ResultadoTransferencia::Estado estado, const QString &error = {}) override;

    DecodificadorRecepcion *m_decodificador = nullptr;
    QString m_carpeta;
    bool m_iso = false;
    FormatoLinea m_formato;
    // The program in progress: its text (lines each followed by LF), lines and bytes.
    QByteArray m_texto;
    qint64 m_lineas = 0;
    qint64 m_bytes = 0;
    // Text has come for the program in progress; it has been told (programaNuevo()).
    bool m_empezado = false;
    bool m_anunciado = false;
    // A program has ended and nothing but its tail has come since.
    bool m_entreProgramas = false;
    // Past the limit: the program's rest is dropped up to its end.
    bool m_saltando = false;
    bool m_saltoInicioLinea = false;
    qint64 m_descartados = 0;
    QString m_rutaSalto;
    ResultadoTransferencia m_resultadoSalto;
    qint64 m_lineasSalto = 0;
    qint64 m_bytesSalto = 0;
    // What came since a network link was made, before any program start:
    // if the server then hangs up, it was its answer, not a program.
    bool m_quizaRespuesta = false;
    // A program could not be saved: the reason, and what came after it.
    QString m_falloGuardado;
    ResultadoTransferencia m_ilegiblesFallo;
    QByteArray m_resto;
    QList<SinGuardar> m_sinGuardar;
    std::function<bool(QByteArrayView)> m_filtro;
};
