#pragma once

#include <QStyledItemDelegate>

// Draws the text window's lines. The rows share one size, measured once for
// speed; Qt takes it from the first row, so a longer line further down was
// cut and could not be scrolled to. Every row is given the size of the
// longest line instead.
class DelegadoTexto : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
};
