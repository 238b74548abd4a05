#pragma once

#include <QString>

// Where the settings files live. A program directory the operator can write
// (the build directory, a copy on a USB stick) keeps them beside the program,
// as always. Installed for every user, the program directory is read-only:
// then each user gets $XDG_CONFIG_HOME/keldan (~/.config/keldan), filled at
// the first start from the copies beside the program.
namespace UbicacionAjustes {

// $XDG_CONFIG_HOME/keldan, or ~/.config/keldan when the variable is unset or
// not an absolute path.
QString directorioUsuario();

// The directory to use. The program directory when it, or the KELDAN.INI in
// it, can be written; otherwise dirUsuario, created when missing, with
// KELDAN.INI and MAQUINAS.INI copied from the program directory when they
// are not there yet. A copy that fails gives its reason in error; the user's
// directory is still the answer, so that nothing is written beside the program.
QString elige(const QString &dirPrograma, const QString &dirUsuario, QString *error = nullptr);

} // namespace UbicacionAjustes
