#pragma once

#include <QString>
#include <optional>

// A port reached over the network through a serial device server, written
// "tcp://HOST:PORT" (raw bytes; the line is set on the server) or
// "rfc2217://HOST:PORT" (the program sets the remote line itself). HOST is a
// name, an IPv4 address or an IPv6 address in brackets.
struct DireccionRed
{
    enum class Protocolo { Tcp, Rfc2217 };

    Protocolo protocolo = Protocolo::Tcp;
    QString host; // an IPv6 address without its brackets
    quint16 puerto = 0;

    // Whether the text is written as a network port, well formed or not:
    // such a text is never a device under /dev.
    static bool esDeRed(const QString &texto);

    // The address the text names; nothing for a malformed one (no host, no
    // port, a port outside 1..65535, anything after it).
    static std::optional<DireccionRed> interpreta(const QString &texto);

    // The address as the status bar shows it: scheme, host and port, a long
    // host cut at its end.
    static QString nombreCorto(const QString &texto);

    // Characters of a host name; the resolver refuses the rest anyway, but a
    // blank or a slash typed by mistake is better refused while typing.
    static bool hostValido(const QString &host);
};
