#pragma once

#include "line/direccionremota.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>

// How a remote machine is reached beyond its address.
struct OpcionesRemotas
{
    bool ftpActivo = false; // active FTP mode (PORT/EPRT) instead of passive
    QString netrc; // the file with the password; empty for ~/.netrc
    // Certificates to trust for FTPS besides the system's (a control's own,
    // self-signed one); empty for the system's alone. Verification is never off.
    QString ficheroCa;
    int conexionS = 15; // to connect and log in
    // A transfer that moves fewer than 1 byte a second for this long fails.
    int sinDatosS = 30;
};

// The programs of a remote machine: a control's FTP server or a folder.
// The calls block and are made from a worker thread; every one is bounded in
// time and in what the peer may send (listings, downloads, replies), and
// ends false with the reason in words (the server's reply or the system's
// reason), never as a success. cancela() may be called from any thread:
// the call in progress ends false soon after.
class AlmacenRemoto
{
public:
    struct Entrada
    {
        QString nombre;
        qint64 tamano = -1; // -1 when the server does not say
        QDateTime fecha; // invalid when the server does not say
        bool operator==(const Entrada &) const = default;
    };

    // Programs a listing may hold; a longer one fails rather than being cut,
    // as a program left out would never be seen.
    static constexpr int kMaxEntradas = 100000;
    // A program name: one path component, no control characters, no more
    // than this many characters.
    static constexpr int kMaxNombre = 255;

    virtual ~AlmacenRemoto() = default;

    // Logs in (FTP) or finds the folder.
    virtual bool conecta(QString *error) = 0;
    // The plain files of the folder, in the order the server gives them.
    virtual bool lista(QList<Entrada> *entradas, QString *error) = 0;
    virtual bool existe(const QString &nombre, bool *hay, QString *error) = 0;
    // Atomic: written under a temporary name in the same folder, then renamed
    // over `nombre`; a failure at any point leaves nothing half-written under
    // `nombre` (what was there stays) and the temporary file is removed when
    // the peer still allows it.
    virtual bool sube(const QString &nombre, const QByteArray &datos, QString *error) = 0;
    // Fails past `limite` bytes, keeping none of them.
    virtual bool baja(const QString &nombre, QByteArray *datos, QString *error, qint64 limite) = 0;
    virtual bool tamano(const QString &nombre, qint64 *bytes, QString *error) = 0;
    virtual bool borra(const QString &nombre, QString *error) = 0;

    void cancela() { m_cancelado = true; }
    bool cancelado() const { return m_cancelado; }
    // Called on the worker thread as an upload or a download moves: bytes
    // so far and in all (0 when not known).
    void setProgreso(std::function<void(qint64 hecho, qint64 total)> progreso)
    {
        m_progreso = std::move(progreso);
    }

    // The temporary name of an upload in progress, and whether a name is one:
    // listings leave them out.
    static QString nombreTemporal();
    static bool esTemporal(const QString &nombre);

    // Whether a name may be used on the remote side: a single component,
    // not "." or "..", no "/" or control characters, not too long.
    static bool nombreValido(const QString &nombre);

    static std::unique_ptr<AlmacenRemoto> crea(
        const DireccionRemota &dir, bool ftpActivo, const QString &netrc = {});
    static std::unique_ptr<AlmacenRemoto> crea(
        const DireccionRemota &dir, const OpcionesRemotas &opciones);

protected:
    std::atomic<bool> m_cancelado {false};
    std::function<void(qint64, qint64)> m_progreso;
};
