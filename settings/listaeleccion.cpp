#include "settings/listaeleccion.h"

#include <QAbstractItemView>

ListaEleccion::ListaEleccion(QWidget *parent) : QComboBox(parent)
{
    setEditable(false);
}

void ListaEleccion::showPopup()
{
    if (alDesplegar)
        alDesplegar();
    // Device names are longer than the list is wide: let the drop-down show them whole.
    view()->setMinimumWidth(qMax(width(), view()->sizeHintForColumn(0) + 24));
    QComboBox::showPopup();
}
