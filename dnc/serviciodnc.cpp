#include "dnc/serviciodnc.h"

#include "base/textovisible.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QTextStream>

#include <algorithm>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// The longest path Qt makes a local socket of (the NUL and one byte more
// than the kernel's own limit).
constexpr qsizetype kRutaSocketMax = sizeof(sockaddr_un::sun_path) - 2;

void diario(const QString &texto)
{
    QTextStream(stderr) << ServicioDnc::visible(texto) << Qt::endl;
}

// A folder only this user can enter, made when missing: a socket in a shared
// place (/tmp) must not be one another user put there.
bool carpetaPropia(const QString &ruta)
{
    const QByteArray r = QFile::encodeName(ruta);
    ::mkdir(r.constData(), 0700);
    struct stat st
    {
    };
    if (::lstat(r.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid())
        return false;
    return (st.st_mode & 077) == 0 || ::chmod(r.constData(), 0700) == 0;
}

} // namespace

ServicioDnc::ServicioDnc(
    const QList<ConfigMaquinaDnc> &maquinas, const QString &rutaRegistro, QObject *parent)
    : QObject(parent), m_rutaRegistro(rutaRegistro)
{
    // What status says of each machine survives a restart: the log has it.
    const QList<EntradaRegistro> entradas = RegistroTransferencias(rutaRegistro).lee().entradas;
    for (const ConfigMaquinaDnc &c : apartaRechazadas(maquinas))
        crea(c)->setUltima(ultimaDe(entradas, c.maquina.nombre));
    m_vigilancia.setInterval(kVigilanciaMs);
    connect(&m_vigilancia, &QTimer::timeout, this, &ServicioDnc::vigila);
}

QList<ConfigMaquinaDnc> ServicioDnc::apartaRechazadas(const QList<ConfigMaquinaDnc> &maquinas)
{
    // A machine whose file holds values no port could use has no port: no
    // default may stand in for it. Status names it with its reasons.
    m_rechazadas.clear();
    QList<ConfigMaquinaDnc> usables;
    for (const ConfigMaquinaDnc &c : maquinas)
        (c.maquina.rechazada() ? m_rechazadas : usables).append(c);
    return usables;
}

MaquinaDnc *ServicioDnc::crea(const ConfigMaquinaDnc &config)
{
    auto *m = new MaquinaDnc(config, m_rutaRegistro, this);
    connect(m, &MaquinaDnc::mensaje, this, &diario);
    connect(m, &MaquinaDnc::terminada, this, [this, m] { alTerminarMaquina(m); });
    m_maquinas.append(m);
    return m;
}

QStringList ServicioDnc::rutasSocket(const QString &dirAjustes)
{
    const QString dir = QDir::cleanPath(QFileInfo(dirAjustes).absoluteFilePath());
    QStringList rutas;
    const QString propia = QDir(dir).absoluteFilePath(QStringLiteral("keldan-dnc.sock"));
    if (QFile::encodeName(propia).size() <= kRutaSocketMax)
        rutas.append(propia);
    // Named after the settings folder, so that two services of one user on
    // different settings do not meet.
    const QString nombre = QStringLiteral("dnc-%1.sock")
                               .arg(QString::fromLatin1(QCryptographicHash::hash(
                                   QFile::encodeName(dir), QCryptographicHash::Sha1)
                                                            .toHex()
                                                            .left(16)));
    const QString uid = QString::number(::getuid());
    QStringList carpetas;
    const QString xdg = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (QDir::isAbsolutePath(xdg))
        carpetas.append(xdg + QStringLiteral("/keldan"));
    carpetas.append(QStringLiteral("/run/user/%1/keldan").arg(uid));
    carpetas.append(QStringLiteral("/tmp/keldan-%1").arg(uid));
    for (const QString &c : std::as_const(carpetas)) {
        const QString ruta = c + QLatin1Char('/') + nombre;
        if (!rutas.contains(ruta) && QFile::encodeName(ruta).size() <= kRutaSocketMax)
            rutas.append(ruta);
    }
    return rutas;
}

MaquinaDnc *ServicioDnc::maquina(const QString &nombre) const
{
    // One stopping for a re-read is found only while nothing replaces it yet.
    MaquinaDnc *saliente = nullptr;
    for (MaquinaDnc *m : m_maquinas) {
        if (m->nombre().compare(nombre.trimmed(), Qt::CaseInsensitive) != 0)
            continue;
        if (!m_relevos.contains(m))
            return m;
        saliente = m;
    }
    return saliente;
}

QString ServicioDnc::visible(const QString &texto)
{
    return TextoVisible(QString(texto).replace(QLatin1Char('\n'), QLatin1Char(' ')));
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
    // Names and reasons may hold what a CNC sent: never a tab or an escape.
    return QStringLiteral("%1\t%2\t%3\t%4")
        .arg(visible(nombre), visible(puerto), visible(estado), visible(u));
}

std::optional<EntradaRegistro> ServicioDnc::ultimaDe(
    const QList<EntradaRegistro> &entradas, const QString &maquina)
{
    for (auto e = entradas.crbegin(); e != entradas.crend(); ++e) {
        if (e->maquina.compare(maquina, Qt::CaseInsensitive) == 0)
            return *e;
    }
    return std::nullopt;
}

bool ServicioDnc::arranca(const QString &dirAjustes, QString *error)
{
    m_dirAjustes = dirAjustes;
    for (const QString &ruta : rutasSocket(dirAjustes)) {
        QLocalSocket otro;
        otro.connectToServer(ruta);
        if (otro.waitForConnected(1000)) {
            *error = QStringLiteral("another keldan-dnc already serves %1").arg(ruta);
            return false;
        }
    }
    if (!escucha(error))
        return false;
    m_vigilancia.start();
    for (MaquinaDnc *m : std::as_const(m_maquinas))
        m->arranca();
    return true;
}

bool ServicioDnc::escucha(QString *error)
{
    delete std::exchange(m_servidor, nullptr);
    QString motivo = QStringLiteral("no socket path fits");
    for (const QString &ruta : rutasSocket(m_dirAjustes)) {
        const QString carpeta = QFileInfo(ruta).path();
        // A settings folder that is only read (--config) lends no place to the socket.
        const bool usable = carpeta == QDir::cleanPath(QFileInfo(m_dirAjustes).absoluteFilePath())
            ? QFileInfo(carpeta).isWritable()
            : carpetaPropia(carpeta);
        if (!usable) {
            motivo = QStringLiteral("%1 cannot be written").arg(carpeta);
            continue;
        }
        // A socket left by a service that died answers nobody: it is replaced.
        QLocalServer::removeServer(ruta);
        auto *servidor = new QLocalServer(this);
        servidor->setSocketOptions(QLocalServer::UserAccessOption);
        if (!servidor->listen(ruta)) {
            motivo = QStringLiteral("cannot listen on %1: %2").arg(ruta, servidor->errorString());
            delete servidor;
            continue;
        }
        ::chmod(QFile::encodeName(ruta).constData(), 0600);
        m_servidor = servidor;
        m_rutaSocket = ruta;
        connect(m_servidor, &QLocalServer::newConnection, this, &ServicioDnc::acepta);
        return true;
    }
    if (error)
        *error = motivo;
    return false;
}

void ServicioDnc::vigila()
{
    // The listener closes itself (and removes its socket) when a connection
    // cannot be taken, out of descriptors; the socket may also be removed
    // under it (/run/user at logout). Commands must find the service again.
    if (m_parando || (m_servidor && m_servidor->isListening() && QFileInfo::exists(m_rutaSocket)))
        return;
    QString error;
    if (escucha(&error)) {
        diario(QStringLiteral("keldan-dnc: listening again on ") + m_rutaSocket);
        m_sinSocketAvisado = false;
    } else if (!std::exchange(m_sinSocketAvisado, true))
        diario(QStringLiteral("keldan-dnc: the control socket is lost (%1); tried again every "
                              "%2 s")
                   .arg(error)
                   .arg(kVigilanciaMs / 1000));
}

void ServicioDnc::acepta()
{
    while (QLocalSocket *c = m_servidor->nextPendingConnection()) {
        // Ours, not the listener's: a listener made again must not take it along.
        c->setParent(this);
        connect(c, &QLocalSocket::disconnected, this, [this, c] {
            m_clientes.removeOne(c);
            c->deleteLater();
        });
        c->setReadBufferSize(kLineaMaxima + 1);
        if (m_clientes.size() >= kClientesMax) {
            // Room is made by the oldest that has not said what it wants yet.
            const auto viejo = std::find_if(m_clientes.begin(), m_clientes.end(),
                [](const QLocalSocket *s) { return !s->property("pedido").toBool(); });
            if (viejo == m_clientes.end()) {
                responde(c, QStringLiteral("the service is busy: too many connections"), 1);
                continue;
            }
            QLocalSocket *v = *viejo;
            m_clientes.erase(viejo);
            v->abort();
            v->deleteLater();
        }
        m_clientes.append(c);
        auto *plazo = new QTimer(c);
        plazo->setSingleShot(true);
        connect(plazo, &QTimer::timeout, this, [this, c] {
            m_clientes.removeOne(c);
            c->abort();
            c->deleteLater();
        });
        plazo->start(kInactividadMs);
        connect(c, &QLocalSocket::readyRead, this, [this, c] { atiende(c); });
        if (c->bytesAvailable() > 0)
            atiende(c);
    }
}

void ServicioDnc::atiende(QLocalSocket *cliente)
{
    const bool linea = cliente->canReadLine();
    if (!linea && cliente->bytesAvailable() <= kLineaMaxima)
        return;
    // Said what it wants: no longer idle, its answer may take a whole send.
    disconnect(cliente, &QLocalSocket::readyRead, this, nullptr);
    cliente->setProperty("pedido", true);
    delete cliente->findChild<QTimer *>();
    if (!linea) {
        responde(cliente, QStringLiteral("request too long"), 2);
        return;
    }
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
            responde(
                cliente, QStringLiteral("no machine %1 is served").arg(visible(partes.at(1))), 2);
        else
            responde(cliente, {}, m->detieneEnvio() ? 0 : 1);
        return;
    }
    const bool reemplazar = partes.size() == 4 && partes.at(3) == QLatin1String("replace");
    if (orden != QLatin1String("send") || (partes.size() != 3 && !reemplazar)) {
        responde(cliente, QStringLiteral("unknown request"), 2);
        return;
    }
    MaquinaDnc *m = maquina(partes.at(1));
    if (!m) {
        responde(cliente, QStringLiteral("no machine %1 is served").arg(visible(partes.at(1))),
            kNoServida);
        return;
    }
    const QString fichero = partes.at(2);
    if (!QFileInfo(fichero).isAbsolute() || !QFileInfo(fichero).isReadable()) {
        responde(cliente, QStringLiteral("cannot read %1").arg(visible(fichero)), 2);
        return;
    }
    if (m_parando) {
        responde(cliente, QStringLiteral("the service is stopping"), 1);
        return;
    }
    // The answer waits for the end of the send; a client that has gone is not told.
    QPointer<QLocalSocket> c(cliente);
    m->envia(
        fichero,
        [this, c, m](const ResultadoTransferencia &r) {
            if (!c)
                return;
            const QString texto
                = QStringLiteral("%1: %2%3")
                      .arg(m->nombre(), MaquinaDnc::textoResultado(r.estado),
                          r.error.isEmpty() ? QString() : QStringLiteral(": ") + r.error);
            responde(
                c, visible(texto), r.estado == ResultadoTransferencia::Estado::Completa ? 0 : 1);
        },
        reemplazar);
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
    m_vigilancia.stop();
    if (m_servidor) {
        m_servidor->close();
        QLocalServer::removeServer(m_rutaSocket);
    }
    m_pendientes = int(m_maquinas.size());
    if (m_pendientes == 0) {
        QTimer::singleShot(0, this, &ServicioDnc::terminado);
        return;
    }
    // Every send is cut by then; a port that will not even close is left.
    QTimer::singleShot(kPlazoCierreMs + 5000, this, &ServicioDnc::terminado);
    for (MaquinaDnc *m : std::as_const(m_maquinas))
        m->detiene(kPlazoCierreMs);
}

void ServicioDnc::recarga(const QList<ConfigMaquinaDnc> &leidas)
{
    if (m_parando)
        return;
    // A machine refused now is stopped as one removed.
    const QList<ConfigMaquinaDnc> maquinas = apartaRechazadas(leidas);
    QStringList anadidas, quitadas, cambiadas;
    const QString motivo = QStringLiteral("the machine's settings are being read again");
    for (MaquinaDnc *m : std::as_const(m_maquinas)) {
        const auto nueva = std::find_if(maquinas.begin(), maquinas.end(), [m](const auto &c) {
            return c.maquina.nombre.compare(m->nombre(), Qt::CaseInsensitive) == 0;
        });
        if (m_relevos.contains(m)) {
            // Read again before it has stopped: the latest settings take its place.
            m_relevos[m]
                = nueva == maquinas.end() ? std::nullopt : std::optional<ConfigMaquinaDnc>(*nueva);
            continue;
        }
        if (nueva != maquinas.end() && *nueva == m->config())
            continue;
        (nueva == maquinas.end() ? quitadas : cambiadas).append(m->nombre());
        m_relevos.insert(
            m, nueva == maquinas.end() ? std::nullopt : std::optional<ConfigMaquinaDnc>(*nueva));
        m->detiene(kPlazoCierreMs, motivo);
    }
    std::optional<QList<EntradaRegistro>> entradas;
    for (const ConfigMaquinaDnc &c : maquinas) {
        if (maquina(c.maquina.nombre))
            continue;
        if (!entradas)
            entradas = RegistroTransferencias(m_rutaRegistro).lee().entradas;
        MaquinaDnc *m = crea(c);
        m->setUltima(ultimaDe(*entradas, c.maquina.nombre));
        m->arranca();
        anadidas.append(c.maquina.nombre);
    }
    const auto lista = [](const QStringList &l) {
        return l.isEmpty() ? QStringLiteral("none") : l.join(QStringLiteral(", "));
    };
    diario(QStringLiteral("keldan-dnc: machines read again: added %1; removed %2; restarted %3")
               .arg(lista(anadidas), lista(quitadas), lista(cambiadas)));
}

void ServicioDnc::alTerminarMaquina(MaquinaDnc *m)
{
    if (m_relevos.contains(m)) {
        const std::optional<ConfigMaquinaDnc> relevo = m_relevos.take(m);
        m_maquinas.removeOne(m);
        m->deleteLater();
        if (relevo && !m_parando) {
            MaquinaDnc *nueva = crea(*relevo);
            nueva->setUltima(m->ultima());
            nueva->arranca();
        }
    }
    if (m_parando && --m_pendientes == 0)
        emit terminado();
}
