#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// One key of the language sections. The original keys have no built-in text:
// a missing key shows nothing. Keys added later for new messages carry an
// English text used when a settings file predates them.
struct ClaveIdioma
{
    QString nombre;
    QString textoPorDefecto;
};

namespace CatalogoClaves {

// Every key in load order: the 67 original keys first, then the newer ones.
const QList<ClaveIdioma> &todas();

// The names of the 67 original keys, in load order.
QStringList originales();

// The built-in text of a key (empty for the original keys).
QString textoPorDefecto(const QString &clave);

} // namespace CatalogoClaves
