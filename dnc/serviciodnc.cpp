#include "dnc/serviciodnc.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QSocketNotifier>
#include <QTextStream>
#include <QTimer>

#include <csignal>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The signal handler only writes a byte; the event loop does the rest.
int g_tuberiaSenal[2] = {-1, -1};

void alRecibirSenal(int)
{
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_tuberiaSenal[1], &c, 1);
}

} // namespace

ServicioDnc::ServicioDnc(
    const QList<ConfigMaquinaDnc> &maquinas, const QString &rutaRegistro, QObject *parent)
    : QObject(parent)
{
    for (const ConfigMaquinaDnc &c : maquinas) {
        // A machine whose file holds values no port could use has no port:
        // no default may stand in for it.
        if (c.maquina.rechazada()) {
            m_rechazadas.append(c);
            continue;
        }
        auto *m = new MaquinaDnc(c, rutaRegistro, this);
        connect(m, &MaquinaDnc::mensaje, this,
            [](const QString &texto) { QTextStream(stderr) << texto << Qt::endl; });
        connect(m, &MaquinaDnc::terminada, this, &ServicioDnc::alTerminarMaquina);
        m_maquinas.append(m);
    }
}

QString ServicioDnc::rutaSocket(const QString &dirAjustes)
{
    return QDir(dirAjustes).absoluteFilePath(QStringLiteral("keldan-dnc.sock"));
}

MaquinaDnc *ServicioDnc::maquina(const QString &nombre) const
{
    for (MaquinaDnc *m : m_maquinas) {
        if (m->nombre().compare(nombre.trimmed(), Qt::CaseInsensitive) == 0)
            return m;
    }
    return nullptr;
}

QString ServicioDnc::lineaEstado(const QString &nombre, const QString &puerto,
    const QString &estado, const std::optional<EntradaRegistro> &ultima)
{
    QString u = QStringLiteral("no transfer yet");
    if (ultima) {
        u = QStringLiteral("%1 %2 %3 %4")
                .arg(ultima->inicio.toString(Qt::ISODate),
                    ultima->sentido == EntradaRegistro::Sentido::Envio ? QStringLiteral("send")
                                                                       : QStringLiteral("receive"),
                    ultima->fichero.isEmpty() ? QStringLiteral("-")
                                              : QFileInfo(ultima->fichero).fileName(),
                    MaquinaDnc::textoResultado(ultima->resultado));
        if (!ultima->motivo.isEmpty())
            u += QStringLiteral(" (") + ultima->motivo + QLatin1Char(')');
    }
    return QStringLiteral("%1\t%2\t%3\t%4").arg(nombre, puerto, estado, u);
}

bool ServicioDnc::arranca(const QString &rutaSocket, QString *error)
{
    {
        QLocalSocket otro;
        otro.connectToServer(rutaSocket);
        if (otro.waitForConnected(1000)) {
            *error = QStringLiteral("another keldan-dnc already serves %1").arg(rutaSocket);
            return false;
        }
    }
    // A socket left by a service that died answers nobody: it is replaced.
    QLocalServer::removeServer(rutaSocket);
    m_servidor = new QLocalServer(this);
    m_servidor->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_servidor->listen(rutaSocket)) {
        *error
            = QStringLiteral("cannot listen on %1: %2").arg(rutaSocket, m_servidor->errorString());
        return false;
    }
    ::chmod(QFile::encodeName(rutaSocket).constData(), 0600);
    m_rutaSocket = rutaSocket;
    connect(m_servidor, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *c = m_servidor->nextPendingConnection()) {
            connect(c, &QLocalSocket::disconnected, c, &QObject::deleteLater);
            connect(c, &QLocalSocket::readyRead, this, [this, c] { atiende(c); });
        }
    });
    for (MaquinaDnc *m : std::as_const(m_maquinas))
        m->arranca();
    return true;
}

void ServicioDnc::atiendeSenales()
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_tuberiaSenal) != 0)
        return;
    m_senal = new QSocketNotifier(g_tuberiaSenal[0], QSocketNotifier::Read, this);
    connect(m_senal, &QSocketNotifier::activated, this, [this] {
        char c;
        [[maybe_unused]] const ssize_t n = ::read(g_tuberiaSenal[0], &c, 1);
        QTextStream(stderr) << "keldan-dnc: stopping" << Qt::endl;
        detiene();
    });
    struct sigaction sa
    {
    };
    sa.sa_handler = alRecibirSenal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &sa, nullptr);
    ::sigaction(SIGINT, &sa, nullptr);
    ::signal(SIGPIPE, SIG_IGN);
}

void ServicioDnc::atiende(QLocalSocket *cliente)
{
    if (!cliente->canReadLine())
        return;
    disconnect(cliente, &QLocalSocket::readyRead, this, nullptr);
    const QStringList partes
        = QString::fromUtf8(cliente->readLine()).chopped(1).split(QLatin1Char('\t'));
    const QString orden = partes.value(0).trimmed();
    if (orden == QLatin1String("status")) {
        QStringList lineas;
        for (const MaquinaDnc *m : std::as_const(m_maquinas))
            lineas.append(lineaEstado(m->nombre(), m->puerto(), m->textoEstado(), m->ultima()));
        for (const ConfigMaquinaDnc &c : std::as_const(m_rechazadas))
            lineas.append(lineaEstado(c.maquina.nombre, c.puertoEscrito(),
                QStringLiteral("refused: ") + c.rechazo(), std::nullopt));
        responde(cliente, lineas.join(QLatin1Char('\n')), 0);
        return;
    }
    if (orden == QLatin1String("stop") && partes.size() == 2) {
        MaquinaDnc *m = maquina(partes.at(1));
        if (!m)
            responde(cliente, QStringLiteral("no machine %1 is served").arg(partes.at(1)), 2);
        else
            responde(cliente, {}, m->detieneEnvio() ? 0 : 1);
        return;
    }
    if (orden != QLatin1String("send") || partes.size() != 3) {
        responde(cliente, QStringLiteral("unknown request"), 2);
        return;
    }
    MaquinaDnc *m = maquina(partes.at(1));
    if (!m) {
        responde(cliente, QStringLiteral("no machine %1 is served").arg(partes.at(1)), 2);
        return;
    }
    const QString fichero = partes.at(2);
    if (!QFileInfo(fichero).isAbsolute() || !QFileInfo(fichero).isReadable()) {
        responde(cliente, QStringLiteral("cannot read %1").arg(fichero), 2);
        return;
    }
    if (m_parando) {
        responde(cliente, QStringLiteral("the service is stopping"), 1);
        return;
    }
    // The answer waits for the end of the send; a client that has gone is not told.
    QPointer<QLocalSocket> c(cliente);
    m->envia(fichero, [this, c, m](const ResultadoTransferencia &r) {
        if (!c)
            return;
        const QString texto
            = QStringLiteral("%1: %2%3")
                  .arg(m->nombre(), MaquinaDnc::textoResultado(r.estado),
                      r.error.isEmpty() ? QString() : QStringLiteral(": ") + r.error);
        responde(c, texto, r.estado == ResultadoTransferencia::Estado::Completa ? 0 : 1);
    });
}

void ServicioDnc::responde(QLocalSocket *cliente, const QString &texto, int salida)
{
    QByteArray datos = texto.toUtf8();
    if (!datos.isEmpty())
        datos += '\n';
    datos += "exit " + QByteArray::number(salida) + '\n';
    cliente->write(datos);
    // Out now: the answer to a send cut by a stop must not wait for an event
    // loop that is about to end.
    cliente->flush();
    cliente->disconnectFromServer();
}

void ServicioDnc::detiene()
{
    if (m_parando)
        return;
    m_parando = true;
    if (m_servidor) {
        m_servidor->close();
        QLocalServer::removeServer(m_rutaSocket);
    }
    m_pendientes = int(m_maquinas.size());
    if (m_pendientes == 0) {
        QTimer::singleShot(0, this, &ServicioDnc::terminado);
        return;
    }
    QTimer::singleShot(kPlazoCierreMs, this, &ServicioDnc::terminado);
    for (MaquinaDnc *m : std::as_const(m_maquinas))
        m->detiene();
}

void ServicioDnc::alTerminarMaquina()
{
    if (m_parando && --m_pendientes == 0)
        emit terminado();
}
