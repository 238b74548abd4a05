#pragma once

#include <QString>
#include <QStringList>

namespace ListaIdiomas {

// The languages the settings file offers: every section header line (first
// character "[" and a "]" somewhere) other than exactly "[General]", with its
// first and last character taken off, in file order. No file gives no language.
QStringList lee(const QString &rutaIni);

} // namespace ListaIdiomas
