#pragma once

#include <QString>
#include <QStringList>

// Reads and writes single values of an INI-style profile file, opening the
// file afresh on every call so each read sees what the file holds now.
//
// Section and key names match without regard to letter case; blanks around
// names and around "=" are ignored; lines that are not entries (comments,
// blank lines) survive writes byte for byte; the file's own line end (CR LF
// or LF) and text encoding (each line UTF-8 when it is valid UTF-8, Latin-1
// otherwise) are kept. Writes replace the file atomically where the folder
// allows it, so a crash or a full disk never leaves it half written.
namespace PerfilIni {

// The text of a settings file's bytes, line by line UTF-8 when the line is
// valid UTF-8, Latin-1 otherwise (a leading byte-order mark skipped).
QString decodifica(const QByteArray &datos);

// The value of the key, or porDefecto when the file, section or key is absent.
// A key present with an empty value gives the empty text.
QString lee(
    const QString &ruta, const QString &seccion, const QString &clave, const QString &porDefecto);

// The names of all keys of the section in file order; empty when absent.
QStringList claves(const QString &ruta, const QString &seccion);

// Whether a section of that name (in any letter case) exists.
bool existeSeccion(const QString &ruta, const QString &seccion);

// Sets the key to the value, creating file, section and key when missing.
// Returns false with a reason in error when the file cannot be written or the
// value holds a line break (which one entry cannot carry).
bool escribe(const QString &ruta, const QString &seccion, const QString &clave,
    const QString &valor, QString *error = nullptr);

// Removes the section with all its entries; a missing section is no error.
bool borraSeccion(const QString &ruta, const QString &seccion, QString *error = nullptr);

} // namespace PerfilIni
