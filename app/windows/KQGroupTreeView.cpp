#include "app/windows/KQGroupTreeView.h"

#include "app/windows/KQGroupTreeModel.h"
#include "store/KQContactPasteDataStore.h"

#include <QDragMoveEvent>
#include <QMimeData>

KQGroupTreeView::KQGroupTreeView(QWidget* parent) : QTreeView(parent)
{
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDropIndicatorShown(true);
    setDragDropMode(QAbstractItemView::DropOnly);
}

void KQGroupTreeView::setDropHandlers(OperationForRow operation, DropOnRow drop)
{
    m_operation = std::move(operation);
    m_drop = std::move(drop);
}

KQGroupTreeNodePtr KQGroupTreeView::nodeAtPosition(const QPoint& position) const
{
    const QModelIndex index = indexAt(position);
    const auto* tree = qobject_cast<const KQGroupTreeModel*>(model());
    if (!index.isValid() || tree == nullptr)
        return nullptr;
    return tree->nodeForIndex(index);
}

std::optional<Qt::DropAction> KQGroupTreeView::actionAt(const QPoint& position, const QMimeData* mime) const
{
    if (mime == nullptr || !mime->hasFormat(KQContactPasteboardType) || !m_operation)
        return std::nullopt;
    const KQGroupTreeNodePtr target = nodeAtPosition(position);
    if (!target)
        return std::nullopt;
    switch (m_operation(target)) {
    case KQDropOperation::Copy:
        return Qt::CopyAction;
    case KQDropOperation::Move:
    case KQDropOperation::Delete:
        return Qt::MoveAction;
    case KQDropOperation::None:
        break;
    }
    return std::nullopt;
}

void KQGroupTreeView::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasFormat(KQContactPasteboardType))
        event->acceptProposedAction();
    else
        event->ignore();
}

void KQGroupTreeView::dragMoveEvent(QDragMoveEvent* event)
{
    const QPoint position = event->position().toPoint();
    const auto action = actionAt(position, event->mimeData());
    if (!action) {
        // The no-drop cursor.
        event->ignore(visualRect(indexAt(position)));
        return;
    }
    event->setDropAction(*action);
    event->accept(visualRect(indexAt(position)));
    setCurrentIndex(currentIndex()); // keeps the selection; the highlight shows where it lands
}

void KQGroupTreeView::dragLeaveEvent(QDragLeaveEvent* event)
{
    QTreeView::dragLeaveEvent(event);
}

void KQGroupTreeView::dropEvent(QDropEvent* event)
{
    const QPoint position = event->position().toPoint();
    const auto action = actionAt(position, event->mimeData());
    if (!action || !m_drop) {
        event->ignore();
        return;
    }
    event->setDropAction(*action);
    event->accept();
    m_drop(nodeAtPosition(position));
}
