#pragma once

#include <QString>
#include <optional>

// A machine without a serial line: a control's FTP server or a folder the
// control reads or writes (typically a mounted share), written in Com as
//   ftp://USER@HOST[:PORT]/FOLDER/    ftps://USER@HOST[:PORT]/FOLDER/ (explicit TLS)
//   file:///PATH/                     or a plain absolute path ending in "/"
// The password never goes into the text: it comes from the user's ~/.netrc.
// FOLDER is taken from the login folder as FTP clients take it ("%2F" first
// for one from the server's root).
struct DireccionRemota
{
    enum class Tipo { Ftp, Ftps, Carpeta };

    Tipo tipo = Tipo::Ftp;
    QString usuario; // empty: the one .netrc gives for the host
    QString host; // an IPv6 address without its brackets
    quint16 puerto = 21;
    // Decoded, beginning and ending with "/"; for a folder, its absolute path.
    QString carpeta;

    bool operator==(const DireccionRemota &) const = default;

    // Whether the text is written as a remote machine, well formed or not:
    // such a text is never a serial device.
    static bool esRemota(const QString &com);

    // The address the text names; nothing for one written amiss (no host, a
    // port outside 1..65535, a password in it, a relative folder, a query or
    // fragment), which refuses the machine rather than standing in for it.
    static std::optional<DireccionRemota> interpreta(const QString &com);

    // Whether the text carries a password ("user:pass@"), which is refused.
    static bool llevaContrasena(const QString &com);
    // The text with any password replaced by "***", fit for a log or a message.
    static QString sinContrasena(const QString &com);

    // The address as written for the operator (never with a password).
    QString texto() const;
};
