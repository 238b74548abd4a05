#include "settings/ubicacionajustes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>

#include <unistd.h>

namespace {

const char *const kFicheros[] = {"KELDAN.INI", "MAQUINAS.INI"};

// access() asks the kernel with the user's own rights, read-only mounts
// included, which the permission bits alone do not tell.
bool escribible(const QString &ruta)
{
    return ::access(QFile::encodeName(ruta).constData(), W_OK) == 0;
}

} // namespace

namespace UbicacionAjustes {

QString directorioUsuario()
{
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.config");
    return QDir::cleanPath(base + QStringLiteral("/keldan"));
}

QString elige(const QString &dirPrograma, const QString &dirUsuario, QString *error)
{
    const QString ini = dirPrograma + QStringLiteral("/KELDAN.INI");
    if (escribible(dirPrograma) || (QFileInfo::exists(ini) && escribible(ini)))
        return dirPrograma;

    if (!QDir().mkpath(dirUsuario)) {
        if (error)
            *error = qt_error_string(errno);
        return dirUsuario;
    }
    for (const char *nombre : kFicheros) {
        const QString origen = dirPrograma + QLatin1Char('/') + QLatin1String(nombre);
        const QString destino = dirUsuario + QLatin1Char('/') + QLatin1String(nombre);
        if (!QFileInfo::exists(origen) || QFileInfo::exists(destino))
            continue;
        QFile copia(origen);
        // The template of a package is read-only; the user's copy must not be.
        if (!copia.copy(destino)
            || !QFile::setPermissions(destino, QFile::ReadOwner | QFile::WriteOwner)) {
            if (error)
                *error = copia.errorString();
        }
    }
    return dirUsuario;
}

} // namespace UbicacionAjustes
