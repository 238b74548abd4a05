#include "line/direccionred.h"

#include <arpa/inet.h>

namespace {

constexpr QLatin1String kTcp("tcp://");
constexpr QLatin1String kRfc2217("rfc2217://");

} // namespace

bool DireccionRed::esDeRed(const QString &texto)
{
    const QString t = texto.trimmed();
    return t.startsWith(kTcp, Qt::CaseInsensitive) || t.startsWith(kRfc2217, Qt::CaseInsensitive);
}

std::optional<DireccionRed> DireccionRed::interpreta(const QString &texto)
{
    const QString t = texto.trimmed();
    DireccionRed d;
    QString resto;
    if (t.startsWith(kTcp, Qt::CaseInsensitive)) {
        d.protocolo = Protocolo::Tcp;
        resto = t.mid(kTcp.size());
    } else if (t.startsWith(kRfc2217, Qt::CaseInsensitive)) {
        d.protocolo = Protocolo::Rfc2217;
        resto = t.mid(kRfc2217.size());
    } else
        return std::nullopt;

    const qsizetype dosPuntos = resto.lastIndexOf(QLatin1Char(':'));
    if (dosPuntos < 0)
        return std::nullopt;
    const QString puerto = resto.mid(dosPuntos + 1);
    d.host = resto.left(dosPuntos);
    // Digits only: no sign, no blanks, no leading "+" that toUInt would take.
    if (puerto.isEmpty() || puerto.size() > 5)
        return std::nullopt;
    for (const QChar c : puerto) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
    }
    const uint numero = puerto.toUInt();
    if (numero < 1 || numero > 65535)
        return std::nullopt;
    d.puerto = quint16(numero);

    if (d.host.startsWith(QLatin1Char('['))) {
        if (!d.host.endsWith(QLatin1Char(']')))
            return std::nullopt;
        d.host = d.host.mid(1, d.host.size() - 2);
        in6_addr a {};
        if (inet_pton(AF_INET6, d.host.toLatin1().constData(), &a) != 1)
            return std::nullopt;
    } else if (!hostValido(d.host))
        return std::nullopt; // an IPv6 address without brackets falls here too
    return d;
}

QString DireccionRed::nombreCorto(const QString &texto)
{
    constexpr qsizetype kHostMaximo = 20;
    const std::optional<DireccionRed> d = interpreta(texto);
    if (!d)
        return texto.trimmed();
    QString host = d->host;
    if (host.size() > kHostMaximo)
        host = host.left(kHostMaximo - 1) + QChar(0x2026);
    if (d->host.contains(QLatin1Char(':')))
        host = QLatin1Char('[') + host + QLatin1Char(']');
    return (d->protocolo == Protocolo::Tcp ? kTcp : kRfc2217) + host + QLatin1Char(':')
        + QString::number(d->puerto);
}

bool DireccionRed::hostValido(const QString &host)
{
    if (host.isEmpty() || host.size() > 253 || host.startsWith(QLatin1Char('-'))
        || host.startsWith(QLatin1Char('.')))
        return false;
    for (const QChar c : host) {
        if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != QLatin1Char('-')
            && c != QLatin1Char('.') && c != QLatin1Char('_'))
            return false;
    }
    return true;
}
