#include "line/direccionremota.h"
#include "line/direccionred.h"

#include <QUrl>

#include <arpa/inet.h>

namespace {

constexpr QLatin1String kFtp("ftp://");
constexpr QLatin1String kFtps("ftps://");
constexpr QLatin1String kFile("file://");

// Percent escapes decoded; nothing when an escape is broken or the result
// holds a control character (a line break would reach the server's commands).
std::optional<QString> decodifica(const QString &texto)
{
    for (qsizetype i = 0; i < texto.size(); ++i) {
        if (texto.at(i) != QLatin1Char('%'))
            continue;
        if (i + 2 >= texto.size() || !isxdigit(texto.at(i + 1).toLatin1())
            || !isxdigit(texto.at(i + 2).toLatin1()))
            return std::nullopt;
    }
    const QString d = QUrl::fromPercentEncoding(texto.toUtf8());
    for (const QChar c : d) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return std::nullopt;
    }
    return d;
}

// The part after the scheme's "//" split at the first "/": authority and path.
std::pair<QString, QString> parte(const QString &resto)
{
    const qsizetype barra = resto.indexOf(QLatin1Char('/'));
    if (barra < 0)
        return {resto, QString()};
    return {resto.left(barra), resto.mid(barra)};
}

std::optional<QString> carpetaValida(const QString &ruta)
{
    if (ruta.contains(QLatin1Char('?')) || ruta.contains(QLatin1Char('#')))
        return std::nullopt;
    std::optional<QString> c = decodifica(ruta.isEmpty() ? QStringLiteral("/") : ruta);
    if (!c || !c->startsWith(QLatin1Char('/')))
        return std::nullopt;
    if (!c->endsWith(QLatin1Char('/')))
        c->append(QLatin1Char('/'));
    // ".." would leave the folder written for another one.
    for (const QString &s : c->split(QLatin1Char('/'))) {
        if (s == QLatin1String(".."))
            return std::nullopt;
    }
    return c;
}

} // namespace

bool DireccionRemota::esRemota(const QString &com)
{
    const QString t = com.trimmed();
    return t.startsWith(kFtp, Qt::CaseInsensitive) || t.startsWith(kFtps, Qt::CaseInsensitive)
        || t.startsWith(kFile, Qt::CaseInsensitive)
        || (t.size() > 1 && t.endsWith(QLatin1Char('/')));
}

bool DireccionRemota::llevaContrasena(const QString &com)
{
    const QString t = com.trimmed();
    const qsizetype inicio = t.indexOf(QLatin1String("://"));
    if (inicio < 0)
        return false;
    const QString autoridad = parte(t.mid(inicio + 3)).first;
    const qsizetype arroba = autoridad.lastIndexOf(QLatin1Char('@'));
    return arroba >= 0 && autoridad.left(arroba).contains(QLatin1Char(':'));
}

QString DireccionRemota::sinContrasena(const QString &com)
{
    if (!llevaContrasena(com))
        return com;
    const QString t = com.trimmed();
    const qsizetype inicio = t.indexOf(QLatin1String("://")) + 3;
    const auto [autoridad, ruta] = parte(t.mid(inicio));
    const qsizetype arroba = autoridad.lastIndexOf(QLatin1Char('@'));
    const QString usuario = autoridad.left(autoridad.indexOf(QLatin1Char(':')));
    return t.left(inicio) + usuario + QLatin1String(":***") + autoridad.mid(arroba) + ruta;
}

std::optional<DireccionRemota> DireccionRemota::interpreta(const QString &com)
{
    const QString t = com.trimmed();
    DireccionRemota d;
    if (t.startsWith(QLatin1Char('/')) && t.endsWith(QLatin1Char('/'))) {
        d.tipo = Tipo::Carpeta;
        d.puerto = 0;
        // A plain path is taken as written: a "%" in a folder name is no escape.
        for (const QChar c : t) {
            if (c.unicode() < 0x20 || c.unicode() == 0x7f)
                return std::nullopt;
        }
        if (t.split(QLatin1Char('/')).contains(QLatin1String("..")))
            return std::nullopt;
        d.carpeta = t;
        return d;
    }
    if (t.startsWith(kFile, Qt::CaseInsensitive)) {
        d.tipo = Tipo::Carpeta;
        d.puerto = 0;
        const auto [host, ruta] = parte(t.mid(kFile.size()));
        // Another host's folder is reached by mounting it, not by naming it here.
        if (!host.isEmpty() && host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) != 0)
            return std::nullopt;
        if (ruta.isEmpty())
            return std::nullopt;
        const std::optional<QString> c = carpetaValida(ruta);
        if (!c)
            return std::nullopt;
        d.carpeta = *c;
        return d;
    }
    QString resto;
    if (t.startsWith(kFtp, Qt::CaseInsensitive)) {
        d.tipo = Tipo::Ftp;
        resto = t.mid(kFtp.size());
    } else if (t.startsWith(kFtps, Qt::CaseInsensitive)) {
        d.tipo = Tipo::Ftps;
        resto = t.mid(kFtps.size());
    } else
        return std::nullopt;
    if (llevaContrasena(t))
        return std::nullopt;

    auto [autoridad, ruta] = parte(resto);
    const qsizetype arroba = autoridad.lastIndexOf(QLatin1Char('@'));
    if (arroba >= 0) {
        const std::optional<QString> u = decodifica(autoridad.left(arroba));
        if (!u || u->isEmpty())
            return std::nullopt;
        d.usuario = *u;
        autoridad = autoridad.mid(arroba + 1);
    }
    QString host = autoridad;
    if (autoridad.startsWith(QLatin1Char('['))) {
        const qsizetype cierre = autoridad.indexOf(QLatin1Char(']'));
        if (cierre < 0)
            return std::nullopt;
        host = autoridad.mid(1, cierre - 1);
        in6_addr a {};
        if (inet_pton(AF_INET6, host.toLatin1().constData(), &a) != 1)
            return std::nullopt;
        const QString tras = autoridad.mid(cierre + 1);
        if (!tras.isEmpty() && !tras.startsWith(QLatin1Char(':')))
            return std::nullopt;
        autoridad = tras.isEmpty() ? QString() : QStringLiteral("h") + tras;
    } else if (!DireccionRed::hostValido(autoridad.section(QLatin1Char(':'), 0, 0)))
        return std::nullopt;
    else
        host = autoridad.section(QLatin1Char(':'), 0, 0);
    const qsizetype dosPuntos = autoridad.indexOf(QLatin1Char(':'));
    if (dosPuntos >= 0) {
        const QString puerto = autoridad.mid(dosPuntos + 1);
        if (puerto.isEmpty() || puerto.size() > 5)
            return std::nullopt;
        for (const QChar c : puerto) {
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return std::nullopt;
        }
        const uint n = puerto.toUInt();
        if (n < 1 || n > 65535)
            return std::nullopt;
        d.puerto = quint16(n);
    }
    d.host = host;
    const std::optional<QString> c = carpetaValida(ruta);
    if (!c)
        return std::nullopt;
    d.carpeta = *c;
    return d;
}

QString DireccionRemota::texto() const
{
    if (tipo == Tipo::Carpeta)
        return carpeta;
    QString t = tipo == Tipo::Ftps ? QString(kFtps) : QString(kFtp);
    if (!usuario.isEmpty())
        t += QString::fromLatin1(QUrl::toPercentEncoding(usuario)) + QLatin1Char('@');
    t += host.contains(QLatin1Char(':')) ? QLatin1Char('[') + host + QLatin1Char(']') : host;
    if (puerto != 21)
        t += QLatin1Char(':') + QString::number(puerto);
    return t + QString::fromUtf8(QUrl::toPercentEncoding(carpeta, "/"));
}
