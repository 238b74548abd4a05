#pragma once

#include <QString>

// The file with the passwords of the remote machines, as FTP clients read
// it ("machine HOST login USER password SECRET"); MAQUINAS.INI never holds
// one. libcurl reads the password itself; this tells the operator in words
// what is wrong before a login fails for it.
namespace Netrc {

// The file given, or ~/.netrc when none is.
QString ruta(const QString &netrc = {});

// Whether the file may be used for the host: it exists, is a regular file of
// this user, neither group nor others may read or write it (mode 0600, as
// FTP clients demand of a file that holds passwords), and it has an entry for
// the host (and the user, when one is given) or a default entry. False with
// the reason, naming the file and its mode.
bool comprueba(const QString &ruta, const QString &host, const QString &usuario, QString *error);

} // namespace Netrc
