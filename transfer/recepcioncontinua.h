#pragma once

#include "line/formatolinea.h"
#include "transfer/recepcionpuerto.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include <functional>
#include <utility>

class DecodificadorRecepcion;

// Receives program after program with the port kept open, each saved by
// itself into a folder the moment it ends (end mark, or the format's silence
// once text has come). A program cut off by Stop or a lost port is saved too,
// under a name that says it is incomplete. A program that cannot be saved
// ends the mode: it stays in lineasPendientes() with whatever came after it,
// so that nothing received is lost.
class RecepcionContinua : public RecepcionPuerto
{
    Q_OBJECT

public:
    explicit RecepcionContinua(MSComm &puerto, QObject *parent = nullptr);

    // Opens the port. On a port failure terminado() is emitted before this
    // returns false.
    bool inicia(const QString &carpeta, bool iso, const FormatoLinea &formato = {});
    // Stop: what has arrived is decoded and a program in progress is saved
    // as incomplete.
    void detiene();
    // A whole program the filter takes (a request to a service rather than a
    // program) is handed to it instead of being saved.
    void setFiltro(std::function<bool(const QList<QByteArray> &)> filtro)
    {
        m_filtro = std::move(filtro);
    }
    // The program that could not be saved, and what came after it.
    const QList<QByteArray> &lineasPendientes() const { return m_lineas; }

    // Saves the lines in the folder under the name the save dialog proposes
    // (else a dated one), never over an existing file: a counter is added.
    // The path written, or empty with the reason in error.
    static QString guarda(const QString &carpeta, const QList<QByteArray> &lineas, bool incompleto,
        QString *error, const QDateTime &ahora = QDateTime::currentDateTime());

signals:
    // The first text of a new program; the one before it is saved.
    void programaNuevo();
    void lineasRecibidas(const QList<QByteArray> &lineas);
    // A program saved: Completa, or Detenida when cut off; its unreadable characters.
    void guardado(
        const QString &ruta, qint64 lineas, qint64 bytes, const ResultadoTransferencia &programa);
    // The mode has ended because this program could not be saved.
    void errorGuardado(const QString &carpeta, const QString &motivo);
    void terminado(const ResultadoTransferencia &resultado);

private:
    void nuevoDecodificador();
    void alLlegar() override;
    void procesa(const QByteArray &datos);
    void alDecodificar(const QList<QByteArray> &lineas);
    // Saves the program in progress; false when it could not be saved.
    bool cierraPrograma(bool incompleto);
    void termina(ResultadoTransferencia::Estado estado, const QString &error = {}) override;

    DecodificadorRecepcion *m_decodificador = nullptr;
    QString m_carpeta;
    bool m_iso = false;
    FormatoLinea m_formato;
    // Text has come for the program in progress.
    bool m_empezado = false;
    // A program has ended and nothing but its tail has come since.
    bool m_entreProgramas = false;
    // A program could not be saved: everything after it is only kept.
    bool m_falloGuardado = false;
    qint64 m_bytes = 0;
    QList<QByteArray> m_lineas;
    std::function<bool(const QList<QByteArray> &)> m_filtro;
};
