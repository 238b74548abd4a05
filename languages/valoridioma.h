#pragma once

#include <QString>

// Rules for what the translation editor may write into a language section.
namespace ValorIdioma {

// The settings reader gives back no more than this of a value: a longer
// text would come back cut the next time its key is shown.
constexpr int kLargoMaximo = 126;

// The text made fit for one value of the settings file: every line break
// becomes a blank, and characters beyond the maximum are dropped just before
// the cursor (where they were typed or pasted), or from the end without one.
// The cursor, when given, follows the change.
QString ajusta(const QString &texto, int *cursor = nullptr);

// Whether a name can head a section of its own: not blank, no brackets or
// line breaks (which would break the header line), and not General.
bool nombreValido(const QString &nombre);

} // namespace ValorIdioma
