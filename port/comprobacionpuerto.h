#pragma once

#include "line/direccionred.h"
#include "line/parametroslinea.h"
#include "port/clienterfc2217.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>
#include <sys/types.h>

class QHostInfo;
class QTcpSocket;
class QTimer;

// One thing the port check found: how it stands, what it is in plain words,
// and the command or step that mends it (empty when nothing is to be done).
struct Hallazgo
{
    enum class Estado { Bien, Aviso, Problema };
    Estado estado = Estado::Bien;
    QString texto;
    QString remedio;

    bool operator==(const Hallazgo &) const = default;
};

// Where the check looks and for whom. The directories are the system's own;
// tests put small trees of their own in their place to stand for hardware
// and services this machine lacks.
struct EntornoComprobacion
{
    QString dev = QStringLiteral("/dev");
    QString sys = QStringLiteral("/sys");
    QString proc = QStringLiteral("/proc");
    QString etc = QStringLiteral("/etc");
    QStringList bloqueos = {QStringLiteral("/run/lock"), QStringLiteral("/var/lock")};
    QStringList reglasUdev
        = {QStringLiteral("/etc/udev/rules.d"), QStringLiteral("/run/udev/rules.d"),
            QStringLiteral("/usr/lib/udev/rules.d"), QStringLiteral("/lib/udev/rules.d")};
    QStringList programas = {QStringLiteral("/usr/bin"), QStringLiteral("/usr/sbin"),
        QStringLiteral("/bin"), QStringLiteral("/sbin")};

    // Who asks: the user and the groups this session really has (a group
    // added since the login is in /etc/group but not here).
    uid_t uid = 0;
    QString usuario;
    QList<gid_t> gruposSesion;

    // How the port is to be used: an RFC 2217 server is asked for this
    // line and flow control, as a transfer would ask it.
    ParametrosLinea linea {9600, 'N', 8, 1};
    bool xonXoff = true;
    bool xonXoffEnPuerto = false;
    bool rtsCts = false;

    // Time allowed to each network step (name, connection, the RFC 2217
    // answer; that one no longer than a transfer gives it).
    int msRed = 5000;

    // The running user and session, on the system's own directories.
    static EntornoComprobacion delSistema();
    // Every directory under raiz (tests); the user as given.
    static EntornoComprobacion bajo(const QString &raiz);
};

// Checks a port before a transfer needs it, and says in the operator's
// language what is right and what to do. A device is looked at at once; a
// network port (tcp://HOST:PORT, rfc2217://HOST:PORT) takes a name lookup, a
// connection and for RFC 2217 the server's answer to the line settings, each
// within msRed, without blocking the caller's thread: terminada() tells when
// the findings are complete.
class ComprobacionPuerto : public QObject
{
    Q_OBJECT

public:
    explicit ComprobacionPuerto(QObject *parent = nullptr);
    ~ComprobacionPuerto() override;

    // Starts the check of the port (a device path or a network address); a
    // check under way is dropped.
    void inicia(const QString &puerto, const EntornoComprobacion &entorno);
    // Drops the check under way; terminada() is not emitted for it.
    void cancela();
    bool enCurso() const { return m_enCurso; }
    QList<Hallazgo> hallazgos() const { return m_hallazgos; }

    // The findings for a device, at once.
    static QList<Hallazgo> dispositivo(const QString &ruta, const EntornoComprobacion &entorno);

signals:
    void terminada();

private:
    void nombreResuelto(const QHostInfo &info);
    void conecta(const QString &direccion);
    void negocia();
    void leeServidor();
    // What the server's answers (or its silence) say of RFC 2217.
    void juzgaNegociacion();
    // Tells the findings from the event loop, unless another check began since.
    void terminaLuego();
    void termina();
    void suelta();

    QList<Hallazgo> m_hallazgos;
    bool m_enCurso = false;
    DireccionRed m_red;
    int m_msRed = 5000;
    ParametrosLinea m_linea;
    bool m_rtsCts = false;
    std::optional<ClienteRfc2217> m_cliente;
    // What the server said as data meanwhile: a refusal in words, perhaps.
    QByteArray m_dichos;
    int m_busqueda = -1;
    int m_generacion = 0;
    QTcpSocket *m_socket = nullptr;
    QTimer *m_limite = nullptr;
};
