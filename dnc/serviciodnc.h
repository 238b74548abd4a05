#pragma once

#include "dnc/maquinadnc.h"

#include <QList>
#include <QObject>
#include <QString>

class QLocalServer;
class QLocalSocket;
class QSocketNotifier;

// keldan-dnc serve: every machine marked for the service in one event loop,
// and a local socket (user-only) through which send and status reach it.
//
// The socket speaks lines of UTF-8 text. A client writes one request:
//   status
//   send<TAB>MACHINE<TAB>ABSOLUTE-FILE-PATH
//   stop<TAB>MACHINE     (the send on its way, as the window's Stop; 1 when none)
// and reads lines until the service closes the connection; the last line is
// "exit N", the status the client ends with (0 done, 1 the transfer failed
// or was cut, 2 a wrong request: unknown machine, unreadable file).
class ServicioDnc : public QObject
{
    Q_OBJECT

public:
    // How long a stop waits for sends to finish their end before it leaves anyway.
    static constexpr int kPlazoCierreMs = 60000;

    ServicioDnc(const QList<ConfigMaquinaDnc> &maquinas, const QString &rutaRegistro,
        QObject *parent = nullptr);

    // The socket in the settings folder, so that the service and its
    // commands, run by the same user on the same settings, always meet.
    static QString rutaSocket(const QString &dirAjustes);

    // Listens and starts every machine; false with the reason when the
    // socket cannot be made or another service already answers on it.
    bool arranca(const QString &rutaSocket, QString *error);
    // SIGTERM and SIGINT stop the service cleanly and end the event loop with 0.
    void atiendeSenales();
    void detiene();

    const QList<MaquinaDnc *> &maquinas() const { return m_maquinas; }
    MaquinaDnc *maquina(const QString &nombre) const;

    // One status line per machine: name, port, state, last transfer.
    static QString lineaEstado(const QString &nombre, const QString &puerto, const QString &estado,
        const std::optional<EntradaRegistro> &ultima);

signals:
    void terminado();

private:
    void atiende(QLocalSocket *cliente);
    void responde(QLocalSocket *cliente, const QString &texto, int salida);
    void alTerminarMaquina();

    QList<MaquinaDnc *> m_maquinas;
    // Machines marked for the service that it refused: status names them.
    QList<ConfigMaquinaDnc> m_rechazadas;
    QLocalServer *m_servidor = nullptr;
    QString m_rutaSocket;
    QSocketNotifier *m_senal = nullptr;
    int m_pendientes = 0;
    bool m_parando = false;
};
