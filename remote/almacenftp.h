#pragma once

#include "remote/almacenremoto.h"

#include <QByteArray>
#include <QStringList>

#include <mutex>

typedef void CURL;

// A control's FTP server through libcurl: plain FTP or FTPS with explicit
// TLS (AUTH TLS on port 21, control and data encrypted, the certificate
// verified), passive mode unless the machine asks for active. One
// connection is kept between calls. The password comes from the .netrc.
class AlmacenFtp : public AlmacenRemoto
{
public:
    AlmacenFtp(const DireccionRemota &dir, const OpcionesRemotas &opciones);
    ~AlmacenFtp() override;

    bool conecta(QString *error) override;
    bool lista(QList<Entrada> *entradas, QString *error) override;
    bool existe(const QString &nombre, bool *hay, QString *error) override;
    bool sube(const QString &nombre, const QByteArray &datos, QString *error) override;
    bool baja(const QString &nombre, QByteArray *datos, QString *error, qint64 limite) override;
    bool tamano(const QString &nombre, qint64 *bytes, QString *error) override;
    bool borra(const QString &nombre, QString *error) override;

    // A listing's text, MLSD facts or LIST lines (Unix or DOS style); false
    // with the line that cannot be read. `ahora` dates LIST lines without a year.
    static bool interpretaMlsd(const QByteArray &texto, QList<Entrada> *entradas, QString *error);
    static bool interpretaList(const QByteArray &texto, QList<Entrada> *entradas, QString *error,
        const QDateTime &ahora = QDateTime::currentDateTimeUtc());

    // Largest listing and server reply taken; a longer one fails.
    static constexpr qint64 kMaxListado = 64 * 1024 * 1024;
    static constexpr int kMaxLineaListado = 4096;

private:
    struct Peticion;
    // One request on the kept connection; false with the reason in words.
    bool ejecuta(Peticion &p, QString *error);
    QByteArray url(const QString &nombre = {}) const;
    bool listaCon(const char *orden, QByteArray *texto, QString *error, int *codigo);

    DireccionRemota m_dir;
    OpcionesRemotas m_opciones;
    CURL *m_curl = nullptr;
    bool m_sinMlsd = false;
};
