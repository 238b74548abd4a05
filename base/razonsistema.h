#pragma once

#include <QString>

// Why a system call failed (an errno value), for the end of a message to the
// operator: in the operator's language when this PC's C library has it (the
// language's name, as the settings file names it, matched to an installed
// locale), else in the C library's own short words.
QString RazonSistema(int codigo);
