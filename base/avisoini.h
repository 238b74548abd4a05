#pragma once

#include <QList>
#include <QString>

// A value of a settings file that could not be used as it stands and was
// replaced by its default, or a section that was passed over. The readers
// that take a list of these keep working with the default; the caller decides
// whether to show them.
struct AvisoIni
{
    QString seccion;
    // The key of the value; empty when the whole section was passed over
    // (a duplicate name in other letter case, or a name no section may have).
    QString clave;
    // The text as found in the file. For a section passed over: the name of
    // the section before it that the reads find instead, or empty.
    QString valor;

    bool operator==(const AvisoIni &) const = default;
};

using AvisosIni = QList<AvisoIni>;
