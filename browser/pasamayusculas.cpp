#include "browser/pasamayusculas.h"

#include <QLineEdit>

namespace VarsFuncsGlobales {

void PasaMayusculas(QLineEdit *caja)
{
    const QString mayusculas = caja->text().toUpper();
    // Writing the same text back would only raise the change handling again.
    if (mayusculas == caja->text())
        return;
    const int caret = caja->hasSelectedText() ? caja->selectionStart() : caja->cursorPosition();
    caja->setText(mayusculas);
    caja->setCursorPosition(qMin(caret, int(mayusculas.size())));
}

} // namespace VarsFuncsGlobales
