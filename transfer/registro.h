#pragma once

#include "transfer/progresotransferencia.h"

#include <QByteArrayView>
#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

// One transfer as the log keeps it.
struct EntradaRegistro
{
    enum class Sentido { Envio, Recepcion };

    QDateTime inicio; // written with its offset from UTC, read back with it
    Sentido sentido = Sentido::Envio;
    QString maquina;
    QString puerto;
    QString fichero;
    qint64 lineas = 0;
    qint64 bytes = 0;
    qint64 duracionMs = 0;
    ResultadoTransferencia::Estado resultado = ResultadoTransferencia::Estado::Completa;
    QString motivo; // why it failed, or why the end did not get there
    qint64 pausas = 0; // times the CNC held the line
    qint64 ilegibles = 0; // characters dropped for a wrong parity bit
};

// The transfer log: a UTF-8 text file, tab-separated, a header line and one
// record per line, that a spreadsheet opens as it is. Each record goes out
// in one append so that two programs writing the same log never mix their
// lines; past a size limit the file becomes the old generation (".1") and a
// new one starts, so the log never grows without bound.
class RegistroTransferencias
{
public:
    static constexpr qint64 kLimitePorDefecto = 1024 * 1024;
    static const QByteArray kCabecera; // without its line end

    explicit RegistroTransferencias(const QString &ruta, qint64 limite = kLimitePorDefecto);

    QString ruta() const { return m_ruta; }
    QString rutaAnterior() const { return m_ruta + QStringLiteral(".1"); }

    // False with the reason when the record could not be written.
    bool anade(const EntradaRegistro &entrada, QString *error = nullptr) const;

    struct Lectura
    {
        QList<EntradaRegistro> entradas; // oldest first, the old generation's before
        qint64 ilegibles = 0; // lines that are not records
        QString error; // a file that exists but could not be read
    };
    Lectura lee() const;

    // The record's line, with its line end.
    static QByteArray linea(const EntradaRegistro &entrada);
    // A line without its end; nothing when it is not a whole record.
    static std::optional<EntradaRegistro> interpreta(QByteArrayView linea);

private:
    static void leeFichero(const QString &ruta, Lectura &lectura);

    QString m_ruta;
    qint64 m_limite;
};
