#pragma once

#include <QString>

// Where the settings files live. A program directory the operator can write
// (the build directory, a copy on a USB stick) keeps them beside the program,
// as always. Installed (the Debian package, cmake --install), the program
// directory holds the file INSTALADO and is never written, root included:
// each user gets $XDG_CONFIG_HOME/keldan (~/.config/keldan), filled at the
// first start from the copies beside the program.
namespace UbicacionAjustes {

// The file an installation lays beside the program.
inline constexpr char kMarcaInstalado[] = "INSTALADO";

// $XDG_CONFIG_HOME/keldan, or ~/.config/keldan when the variable is unset or
// not an absolute path.
QString directorioUsuario();

// The directory to use. The program directory when it holds no INSTALADO and
// it, or the KELDAN.INI in it, can be written; otherwise dirUsuario, created
// user-only (0700, with any folder above it that is missing) when missing,
// with KELDAN.INI and MAQUINAS.INI copied from the program directory when
// they are not there yet. A KELDAN.INI copied so is set to the language of
// the user's locale when it has a section for it. A copy that fails gives
// its reason in error; the user's directory is still the answer, so that
// nothing is written beside the program.
QString elige(const QString &dirPrograma, const QString &dirUsuario, QString *error = nullptr);

// The section of KELDAN.INI (at rutaIni) for the language of a locale name
// as LANG holds it ("es_ES.UTF-8"): the one named, in any letter case, by
// the language's own name ("Español") or its English one ("Spanish");
// empty when the file has none or the locale names no language ("C").
QString idiomaDeLocale(const QString &locale, const QString &rutaIni);

} // namespace UbicacionAjustes
