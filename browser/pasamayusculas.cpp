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
    // Upper case can be longer than the text ("ß" gives "SS"): the caret goes
    // behind the upper case of what stood before it.
    const int nuevo = int(caja->text().left(caret).toUpper().size());
    caja->setText(mayusculas);
    caja->setCursorPosition(qMin(nuevo, int(mayusculas.size())));
}

} // namespace VarsFuncsGlobales
