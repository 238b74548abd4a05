#include "remote/almacencarpeta.h"

#include "base/razonsistema.h"
#include "settings/varsfuncsglobales.h"

#include <QFile>
#include <QTimeZone>

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using VarsFuncsGlobales::Texto;

namespace {

bool falla(QString *error, const QString &texto)
{
    if (error)
        *error = texto;
    return false;
}

bool fallaSistema(QString *error, const QString &que, int codigo)
{
    return falla(error, QStringLiteral("%1: %2").arg(que, RazonSistema(codigo)));
}

// A file descriptor closed on every way out.
struct Fd
{
    int fd = -1;
    ~Fd()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

} // namespace

AlmacenCarpeta::AlmacenCarpeta(const QString &carpeta) : m_carpeta(carpeta)
{
    if (!m_carpeta.endsWith(QLatin1Char('/')))
        m_carpeta += QLatin1Char('/');
}

QByteArray AlmacenCarpeta::ruta(const QString &nombre) const
{
    return QFile::encodeName(m_carpeta + nombre);
}

bool AlmacenCarpeta::conecta(QString *error)
{
    struct stat st
    {
    };
    if (::stat(QFile::encodeName(m_carpeta).constData(), &st) != 0)
        return fallaSistema(error, m_carpeta, errno);
    if (!S_ISDIR(st.st_mode))
        return falla(error, Texto(QStringLiteral("RemotaMotivoNoCarpeta")).arg(m_carpeta));
    return true;
}

bool AlmacenCarpeta::lista(QList<Entrada> *entradas, QString *error)
{
    entradas->clear();
    DIR *d = ::opendir(QFile::encodeName(m_carpeta).constData());
    if (!d)
        return fallaSistema(error, m_carpeta, errno);
    bool ok = true;
    while (dirent *e = ::readdir(d)) {
        if (m_cancelado) {
            ok = falla(error, Texto(QStringLiteral("RemotaMotivoDetenida")));
            break;
        }
        const QString nombre = QFile::decodeName(e->d_name);
        if (!nombreValido(nombre) || esTemporal(nombre))
            continue;
        struct stat st
        {
        };
        if (::stat(ruta(nombre).constData(), &st) != 0 || !S_ISREG(st.st_mode))
            continue; // gone since, or no program
        if (entradas->size() >= kMaxEntradas) {
            ok = falla(error,
                Texto(QStringLiteral("RemotaMotivoDemasiados")).arg(m_carpeta).arg(kMaxEntradas));
            break;
        }
        entradas->append({nombre, qint64(st.st_size),
            QDateTime::fromSecsSinceEpoch(st.st_mtim.tv_sec, QTimeZone::utc())
                .addMSecs(st.st_mtim.tv_nsec / 1000000)});
    }
    ::closedir(d);
    if (!ok)
        entradas->clear();
    return ok;
}

bool AlmacenCarpeta::existe(const QString &nombre, bool *hay, QString *error)
{
    // Letter case aside, as the control's share may be case-blind.
    QList<Entrada> entradas;
    if (!lista(&entradas, error))
        return false;
    *hay = std::any_of(entradas.cbegin(), entradas.cend(),
        [&](const Entrada &e) { return e.nombre.compare(nombre, Qt::CaseInsensitive) == 0; });
    return true;
}

bool AlmacenCarpeta::sube(const QString &nombre, const QByteArray &datos, QString *error)
{
    if (!nombreValido(nombre))
        return falla(error, Texto(QStringLiteral("RemotaMotivoNombre")).arg(nombre));
    const QString temporal = nombreTemporal();
    const QByteArray rutaTemporal = ruta(temporal);
    Fd f;
    f.fd = ::open(rutaTemporal.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (f.fd < 0)
        return fallaSistema(error, m_carpeta + temporal, errno);
    const auto deshaz = [&](int codigo) {
        ::close(f.fd);
        f.fd = -1;
        ::unlink(rutaTemporal.constData());
        return fallaSistema(error, m_carpeta + nombre, codigo);
    };
    qint64 hecho = 0;
    while (hecho < datos.size()) {
        if (m_cancelado) {
            ::close(f.fd);
            f.fd = -1;
            ::unlink(rutaTemporal.constData());
            return falla(error, Texto(QStringLiteral("RemotaMotivoDetenida")));
        }
        const qint64 parte = std::min<qint64>(datos.size() - hecho, 1024 * 1024);
        const ssize_t n = ::write(f.fd, datos.constData() + hecho, size_t(parte));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return deshaz(n < 0 ? errno : ENOSPC);
        hecho += n;
        if (m_progreso)
            m_progreso(hecho, datos.size());
    }
    // On the disk (the share's server) before the name points at it.
    if (::fsync(f.fd) != 0)
        return deshaz(errno);
    const int cierre = ::close(f.fd);
    f.fd = -1;
    if (cierre != 0) {
        const int codigo = errno;
        ::unlink(rutaTemporal.constData());
        return fallaSistema(error, m_carpeta + nombre, codigo);
    }
    if (::rename(rutaTemporal.constData(), ruta(nombre).constData()) != 0) {
        const int codigo = errno;
        ::unlink(rutaTemporal.constData());
        return fallaSistema(error, m_carpeta + nombre, codigo);
    }
    Fd carpeta;
    carpeta.fd
        = ::open(QFile::encodeName(m_carpeta).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (carpeta.fd >= 0)
        ::fsync(carpeta.fd); // the rename itself; some shares cannot, which costs nothing
    return true;
}

bool AlmacenCarpeta::baja(const QString &nombre, QByteArray *datos, QString *error, qint64 limite)
{
    datos->clear();
    if (!nombreValido(nombre))
        return falla(error, Texto(QStringLiteral("RemotaMotivoNombre")).arg(nombre));
    Fd f;
    f.fd = ::open(ruta(nombre).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (f.fd < 0)
        return fallaSistema(error, m_carpeta + nombre, errno);
    struct stat st
    {
    };
    if (::fstat(f.fd, &st) != 0)
        return fallaSistema(error, m_carpeta + nombre, errno);
    if (!S_ISREG(st.st_mode))
        return falla(
            error, Texto(QStringLiteral("RemotaMotivoNoPrograma")).arg(m_carpeta + nombre));
    if (st.st_size > limite)
        return falla(
            error, Texto(QStringLiteral("RemotaMotivoGrande")).arg(m_carpeta + nombre).arg(limite));
    // Read to the end, not to the size seen: the file may still grow, and
    // what passes the limit then is refused all the same.
    QByteArray b;
    b.reserve(qsizetype(st.st_size));
    char trozo[65536];
    for (;;) {
        if (m_cancelado)
            return falla(error, Texto(QStringLiteral("RemotaMotivoDetenida")));
        const ssize_t n = ::read(f.fd, trozo, sizeof trozo);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return fallaSistema(error, m_carpeta + nombre, errno);
        if (n == 0)
            break;
        if (b.size() + n > limite)
            return falla(error,
                Texto(QStringLiteral("RemotaMotivoGrande")).arg(m_carpeta + nombre).arg(limite));
        b.append(trozo, n);
        if (m_progreso)
            m_progreso(b.size(), st.st_size);
    }
    *datos = b;
    return true;
}

bool AlmacenCarpeta::tamano(const QString &nombre, qint64 *bytes, QString *error)
{
    struct stat st
    {
    };
    if (!nombreValido(nombre))
        return falla(error, Texto(QStringLiteral("RemotaMotivoNombre")).arg(nombre));
    if (::stat(ruta(nombre).constData(), &st) != 0)
        return fallaSistema(error, m_carpeta + nombre, errno);
    *bytes = st.st_size;
    return true;
}

bool AlmacenCarpeta::borra(const QString &nombre, QString *error)
{
    if (!nombreValido(nombre))
        return falla(error, Texto(QStringLiteral("RemotaMotivoNombre")).arg(nombre));
    if (::unlink(ruta(nombre).constData()) != 0)
        return fallaSistema(error, m_carpeta + nombre, errno);
    return true;
}
