#pragma once

class QLineEdit;

namespace VarsFuncsGlobales {

// Turns the box's text to upper case, the caret staying where it was.
void PasaMayusculas(QLineEdit *caja);

} // namespace VarsFuncsGlobales
