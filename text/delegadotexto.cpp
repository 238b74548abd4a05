#include "text/delegadotexto.h"

#include "text/textoprograma.h"

QSize DelegadoTexto::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const auto *texto = qobject_cast<const TextoPrograma *>(index.model());
    if (texto && texto->filaMasLarga() >= 0)
        return QStyledItemDelegate::sizeHint(option, texto->index(int(texto->filaMasLarga())));
    return QStyledItemDelegate::sizeHint(option, index);
}
