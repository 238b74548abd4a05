#include "remote/netrc.h"

#include "base/razonsistema.h"
#include "settings/varsfuncsglobales.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStringList>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

using VarsFuncsGlobales::Texto;

namespace {

// No .netrc of a workshop comes near this; a bigger one is no .netrc.
constexpr qint64 kMaxBytes = 1024 * 1024;

QString modo(mode_t m)
{
    return QStringLiteral("%1").arg(m & 07777, 4, 8, QLatin1Char('0'));
}

} // namespace

namespace Netrc {

QString ruta(const QString &netrc)
{
    return netrc.isEmpty() ? QDir::homePath() + QStringLiteral("/.netrc") : netrc;
}

bool comprueba(const QString &ruta, const QString &host, const QString &usuario, QString *error)
{
    const auto falla = [error](const QString &texto) {
        if (error)
            *error = texto;
        return false;
    };
    struct stat st
    {
    };
    if (::stat(QFile::encodeName(ruta).constData(), &st) != 0) {
        return falla(
            Texto(QStringLiteral("RemotaNetrcFalta")).arg(ruta, RazonSistema(errno), host));
    }
    if (!S_ISREG(st.st_mode))
        return falla(Texto(QStringLiteral("RemotaNetrcNoFichero")).arg(ruta));
    if (st.st_uid != geteuid())
        return falla(Texto(QStringLiteral("RemotaNetrcAjeno")).arg(ruta).arg(st.st_uid));
    if (st.st_mode & 077) {
        return falla(Texto(QStringLiteral("RemotaNetrcPermisos")).arg(ruta, modo(st.st_mode)));
    }
    if (st.st_size > kMaxBytes)
        return falla(Texto(QStringLiteral("RemotaNetrcGrande")).arg(ruta).arg(kMaxBytes));
    QFile f(ruta);
    if (!f.open(QIODevice::ReadOnly))
        return falla(QStringLiteral("%1: %2").arg(ruta, f.errorString()));
    // Tokens as FTP clients split them; a macro definition runs to an empty line.
    const QString texto = QString::fromUtf8(f.read(kMaxBytes));
    QStringList tokens;
    for (const QString &linea : texto.split(QLatin1Char('\n')))
        tokens += linea.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    bool enMaquina = false;
    bool hay = false;
    for (qsizetype i = 0; i < tokens.size(); ++i) {
        const QString &t = tokens.at(i);
        if (t == QLatin1String("default")) {
            enMaquina = true;
            hay = hay || usuario.isEmpty();
        } else if (t == QLatin1String("machine") && i + 1 < tokens.size()) {
            enMaquina = tokens.at(++i).compare(host, Qt::CaseInsensitive) == 0;
            hay = hay || (enMaquina && usuario.isEmpty());
        } else if (t == QLatin1String("login") && i + 1 < tokens.size()) {
            hay = hay || (enMaquina && tokens.at(++i) == usuario);
        }
    }
    if (!hay) {
        return falla(usuario.isEmpty()
                ? Texto(QStringLiteral("RemotaNetrcSinMaquina")).arg(ruta, host)
                : Texto(QStringLiteral("RemotaNetrcSinClave")).arg(ruta, host, usuario));
    }
    return true;
}

} // namespace Netrc
