#pragma once

#include "dnc/maquinadnc.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <optional>

class QLocalServer;
class QLocalSocket;

// keldan-dnc serve: every machine marked for the service in one event loop,
// and a local socket (user-only) through which send and status reach it.
//
// The socket speaks lines of UTF-8 text. A client writes one request:
//   status
//   send<TAB>MACHINE<TAB>ABSOLUTE-FILE-PATH[<TAB>replace]
//                        (replace: a remote machine's program of that name too)
//   stop<TAB>MACHINE     (the send on its way, as the window's Stop; 1 when none)
// and reads lines until the service closes the connection; the last line is
// "exit N", the status the client ends with (0 done, 1 the transfer failed
// or was cut, 2 a wrong request: unknown machine, unreadable file), or 4 for
// a send to a machine the service does not serve (the client sends it itself).
// A request line is at most kLineaMaxima bytes; a client that has not sent
// its request within kInactividadMs is let go; at most kClientesMax at once.
class ServicioDnc : public QObject
{
    Q_OBJECT

public:
    // How long a stop lets sends on their way finish before they are cut.
    static constexpr int kPlazoCierreMs = 60000;
    static constexpr int kInactividadMs = 30000;
    static constexpr int kClientesMax = 32;
    static constexpr qsizetype kLineaMaxima = 64 * 1024;
    // How often the listener is looked at, and made again when it failed.
    static constexpr int kVigilanciaMs = 2000;
    static constexpr int kNoServida = 4;

    ServicioDnc(const QList<ConfigMaquinaDnc> &maquinas, const QString &rutaRegistro,
        QObject *parent = nullptr);

    // Where the service of these settings listens, in the order a client
    // tries them: the settings folder, unless the path would be too long for
    // a socket; then a folder of the user's own under /run/user or /tmp.
    static QStringList rutasSocket(const QString &dirAjustes);

    // Listens and starts every machine; false with the reason when no socket
    // can be made or another service already answers on one.
    bool arranca(const QString &dirAjustes, QString *error);
    QString rutaSocket() const { return m_rutaSocket; }
    // Cuts cleanly (see MaquinaDnc::detiene); terminado() once every port is closed.
    void detiene();
    // MAQUINAS.INI read again: machines added are started, removed ones
    // stopped, changed ones restarted, each by itself; the others go on.
    void recarga(const QList<ConfigMaquinaDnc> &maquinas);

    MaquinaDnc *maquina(const QString &nombre) const;

    // One status line per machine: name, port, state, last transfer.
    static QString lineaEstado(const QString &nombre, const QString &puerto, const QString &estado,
        const std::optional<EntradaRegistro> &ultima);
    // The machine's last record in the log's entries.
    static std::optional<EntradaRegistro> ultimaDe(
        const QList<EntradaRegistro> &entradas, const QString &maquina);
    // A line for the journal or a terminal: on one line, control characters written out.
    static QString visible(const QString &texto);

signals:
    void terminado();

private:
    QList<ConfigMaquinaDnc> apartaRechazadas(const QList<ConfigMaquinaDnc> &maquinas);
    MaquinaDnc *crea(const ConfigMaquinaDnc &config);
    bool escucha(QString *error);
    void vigila();
    void acepta();
    void atiende(QLocalSocket *cliente);
    void responde(QLocalSocket *cliente, const QString &texto, int salida);
    void alTerminarMaquina(MaquinaDnc *m);

    QString m_rutaRegistro;
    QString m_dirAjustes;
    QList<MaquinaDnc *> m_maquinas;
    // Machines stopping for a re-read, with what takes their place.
    QHash<MaquinaDnc *, std::optional<ConfigMaquinaDnc>> m_relevos;
    // Machines marked for the service that it refused: status names them.
    QList<ConfigMaquinaDnc> m_rechazadas;
    QLocalServer *m_servidor = nullptr;
    QString m_rutaSocket;
    QTimer m_vigilancia;
    bool m_sinSocketAvisado = false;
    // Connected clients, oldest first.
    QList<QLocalSocket *> m_clientes;
    int m_pendientes = 0;
    bool m_parando = false;
};
