#include "app/windows/KQContactCellDelegate.h"

#include "app/windows/KQContactListModel.h"

#include <QApplication>
#include <QPainter>

void KQContactCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QWidget* widget = option.widget;
    QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
    // Background and selection only; the text is laid out here.
    opt.text.clear();
    opt.icon = QIcon();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

    const QRect area = option.rect.adjusted(8, 4, -8, -4);
    const QPixmap icon = index.data(Qt::DecorationRole).value<QPixmap>();
    const int iconSize = area.height();
    if (!icon.isNull())
        painter->drawPixmap(QRect(area.left(), area.top(), iconSize, iconSize), icon);
    const QRect textArea = area.adjusted(iconSize + 8, 0, 0, 0);
    const bool selected = option.state & QStyle::State_Selected;
    const QPalette::ColorGroup group = option.state & QStyle::State_Active ? QPalette::Active : QPalette::Inactive;
    const QColor main = option.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text);
    QColor dim = main;
    dim.setAlphaF(0.65);

    const QString subtitle = index.data(KQContactListModel::SubtitleRole).toString();
    QFont nameFont = option.font;
    nameFont.setBold(true);
    painter->save();
    painter->setFont(nameFont);
    painter->setPen(main);
    const QFontMetrics nameMetrics(nameFont);
    const QString name =
        nameMetrics.elidedText(index.data(Qt::DisplayRole).toString(), Qt::ElideRight, textArea.width());
    if (subtitle.isEmpty()) {
        painter->drawText(textArea, Qt::AlignVCenter | Qt::AlignLeft, name);
    } else {
        const QRect top(textArea.left(), textArea.top(), textArea.width(), textArea.height() / 2);
        const QRect bottom(textArea.left(), top.bottom() + 1, textArea.width(), textArea.height() - top.height());
        painter->drawText(top, Qt::AlignBottom | Qt::AlignLeft, name);
        painter->setFont(option.font);
        painter->setPen(dim);
        painter->drawText(bottom, Qt::AlignTop | Qt::AlignLeft,
                          option.fontMetrics.elidedText(subtitle, Qt::ElideRight, textArea.width()));
    }
    painter->restore();
}

QSize KQContactCellDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    Q_UNUSED(index);
    const int line = option.fontMetrics.height();
    return {200, std::max(40, line * 2 + 10)};
}
