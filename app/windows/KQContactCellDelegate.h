#pragma once
// Draws a contact row: round picture, name, and the job line or full name below it in a dimmer tone.

#include <QStyledItemDelegate>

class KQContactCellDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};
