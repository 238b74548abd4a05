#pragma once

#include <QString>

namespace VarsFuncsGlobales {

// The language in use, as the settings file names its section (key Idioma
// of section General). Part of the settings record, kept on the ground floor
// because the reasons of the system are told in it at every layer.
extern QString IdiomaActual;

} // namespace VarsFuncsGlobales
