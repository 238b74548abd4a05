#include "port/bloqueopuerto.h"

#include <QByteArray>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

QString directorioBloqueos()
{
    for (const char *d : {"/run/lock", "/var/lock"}) {
        if (::access(d, W_OK | X_OK) == 0)
            return QString::fromLatin1(d);
    }
    return {};
}

// The holder's PID and name from a lock file: ten-character ASCII (also the
// Qt serial library's "PID\nname\nhost"), or the old binary int of some tools.
qint64 leeTitular(const QString &ruta, QString *nombre)
{
    QFile f(ruta);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray datos = f.read(4096);
    if (datos.size() == int(sizeof(int)) && !datos.contains('\n')) {
        int pid = 0;
        std::memcpy(&pid, datos.constData(), sizeof pid);
        return pid;
    }
    const QList<QByteArray> lineas = datos.split('\n');
    bool ok = false;
    const qint64 pid = lineas.value(0).trimmed().toLongLong(&ok);
    if (nombre && lineas.size() > 1)
        *nombre = QString::fromUtf8(lineas.at(1).trimmed());
    return ok ? pid : 0;
}

bool vivo(qint64 pid)
{
    return pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
}

QString nombreProceso(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/comm").arg(pid));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll().trimmed()) : QString();
}

QByteArray contenido()
{
    const QString programa
        = QFileInfo(QFile::symLinkTarget(QStringLiteral("/proc/self/exe"))).fileName();
    return QByteArray::number(qint64(::getpid())).rightJustified(10, ' ') + '\n' + programa.toUtf8()
        + '\n' + QSysInfo::machineHostName().toUtf8() + '\n';
}

} // namespace

QString BloqueoPuerto::rutaBloqueo(const QString &dispositivo)
{
    if (dispositivo.contains(QStringLiteral("://")))
        return {};
    // A link such as /dev/serial/by-id/... locks the device it points to, as
    // other programs name it: LCK..ttyUSB0, LCK..pts_3.
    QString real = QFileInfo(dispositivo).canonicalFilePath();
    if (real.isEmpty())
        real = dispositivo;
    if (real.startsWith(QStringLiteral("/dev/")))
        real = real.mid(5);
    const QString dir = directorioBloqueos();
    if (dir.isEmpty() || real.isEmpty())
        return {};
    return dir + QStringLiteral("/LCK..") + real.replace(QLatin1Char('/'), QLatin1Char('_'));
}

bool BloqueoPuerto::libre(const QString &dispositivo)
{
    m_titular.clear();
    const QString ruta = rutaBloqueo(dispositivo);
    if (ruta.isEmpty() || !QFileInfo::exists(ruta))
        return true;
    QString nombre;
    const qint64 pid = leeTitular(ruta, &nombre);
    if (pid > 0 && !vivo(pid)) {
        QFile::remove(ruta); // left by a program that has gone
        return true;
    }
    if (pid > 0) {
        const QString proceso = nombreProceso(pid);
        m_titular = QStringLiteral("%1, PID %2").arg(proceso.isEmpty() ? nombre : proceso).arg(pid);
    }
    // An unreadable lock may be one being written this instant: left alone,
    // unless it has stayed unreadable for a while.
    const QDateTime escrito = QFileInfo(ruta).lastModified();
    if (pid <= 0 && escrito.isValid() && escrito.secsTo(QDateTime::currentDateTime()) > 2) {
        QFile::remove(ruta);
        return true;
    }
    return false;
}

void BloqueoPuerto::toma(const QString &dispositivo)
{
    suelta();
    const QString ruta = rutaBloqueo(dispositivo);
    if (ruta.isEmpty())
        return;
    const QByteArray nombre = QFile::encodeName(ruta);
    int fd = ::open(nombre.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd >= 0) {
        // Held locked too, as Qt's serial library holds its own: a reader
        // that takes an old lock for stale cannot remove a held one.
        m_propio = ruta;
        ::flock(fd, LOCK_EX | LOCK_NB);
    } else if (errno == EEXIST && leeTitular(ruta, nullptr) == ::getpid()) {
        // A lock this process already made through Qt's serial library: rewritten in the format
        // every serial program reads, and removed by the library on closing.
        fd = ::open(nombre.constData(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    }
    if (fd < 0)
        return;
    const QByteArray datos = contenido();
    [[maybe_unused]] const ssize_t n = ::write(fd, datos.constData(), size_t(datos.size()));
    if (m_propio.isEmpty())
        ::close(fd);
    else
        m_fd = fd;
}

void BloqueoPuerto::suelta()
{
    if (m_propio.isEmpty())
        return;
    if (leeTitular(m_propio, nullptr) == ::getpid())
        QFile::remove(m_propio);
    m_propio.clear();
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}
