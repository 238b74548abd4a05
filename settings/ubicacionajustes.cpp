#include "settings/ubicacionajustes.h"

#include "base/perfilini.h"
#include "languages/listaidiomas.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include <cerrno>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const char *const kFicheros[] = {"KELDAN.INI", "MAQUINAS.INI"};

// access() asks the kernel with the user's own rights, read-only mounts
// included, which the permission bits alone do not tell.
bool escribible(const QString &ruta)
{
    return ::access(QFile::encodeName(ruta).constData(), W_OK) == 0;
}

// Every folder made on the way is the user's alone, as the XDG base
// directory rules ask of ~/.config; folders already there keep their mode.
bool creaPrivada(const QString &dir)
{
    if (QFileInfo(dir).isDir())
        return true;
    const QString padre = QFileInfo(dir).path();
    if (padre != dir && !creaPrivada(padre))
        return false;
    return ::mkdir(QFile::encodeName(dir).constData(), 0700) == 0 || errno == EEXIST;
}

// The locale that messages follow, as the C library reads it.
QString localeMensajes()
{
    for (const char *variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const QString valor = qEnvironmentVariable(variable);
        if (!valor.isEmpty())
            return valor;
    }
    return {};
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

QString idiomaDeLocale(const QString &locale, const QString &rutaIni)
{
    // "es_ES.UTF-8@euro": the language and territory only.
    const QString nombre = locale.section(QLatin1Char('.'), 0, 0).section(QLatin1Char('@'), 0, 0);
    const QLocale l(nombre);
    if (nombre.isEmpty() || l.language() == QLocale::C || l.language() == QLocale::AnyLanguage)
        return {};
    // Qt names the language with its country ("español de España",
    // "American English"): a section named as the start of that name, or as
    // the language in English, is the one.
    const QString nombres[] = {l.nativeLanguageName(), QLocale(l.language()).nativeLanguageName(),
        QLocale::languageToString(l.language())};
    for (const QString &seccion : ListaIdiomas::lee(rutaIni)) {
        for (const QString &n : nombres) {
            if (n.compare(seccion, Qt::CaseInsensitive) == 0
                || n.startsWith(seccion + QLatin1Char(' '), Qt::CaseInsensitive))
                return seccion;
        }
    }
    return {};
}

QString elige(const QString &dirPrograma, const QString &dirUsuario, QString *error)
{
    const QString ini = dirPrograma + QStringLiteral("/KELDAN.INI");
    const bool instalado
        = QFileInfo::exists(dirPrograma + QLatin1Char('/') + QLatin1String(kMarcaInstalado));
    if (!instalado && (escribible(dirPrograma) || (QFileInfo::exists(ini) && escribible(ini))))
        return dirPrograma;

    if (!creaPrivada(QDir::cleanPath(dirUsuario))) {
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
            continue;
        }
        // The first start speaks the user's language when the template has it.
        const QString idioma = QLatin1String(nombre) == QLatin1String("KELDAN.INI")
            ? idiomaDeLocale(localeMensajes(), destino)
            : QString();
        const QString general = QStringLiteral("General");
        const QString clave = QStringLiteral("Idioma");
        if (!idioma.isEmpty() && PerfilIni::lee(destino, general, clave, QString()) != idioma)
            PerfilIni::escribe(destino, general, clave, idioma, error);
    }
    return dirUsuario;
}

} // namespace UbicacionAjustes
