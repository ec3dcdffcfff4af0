#pragma once
// The sidebar's tree view. It takes drops of the contact pasteboard type on rows only (never
// between rows); the sidebar says which operation a row offers and carries the drop out.

#include "app/windows/KQDropRules.h"
#include "store/KQGroupTreeNode.h"

#include <QTreeView>
#include <functional>

class KQGroupTreeView : public QTreeView
{
    Q_OBJECT
public:
    using OperationForRow = std::function<KQDropOperation(const KQGroupTreeNodePtr& target)>;
    using DropOnRow = std::function<void(const KQGroupTreeNodePtr& target)>;

    explicit KQGroupTreeView(QWidget* parent = nullptr);
    void setDropHandlers(OperationForRow operation, DropOnRow drop);
    // The node under a viewport position, none between rows and outside them.
    KQGroupTreeNodePtr nodeAtPosition(const QPoint& position) const;
    // A row's name is being edited in place.
    bool isEditing() const { return state() == QAbstractItemView::EditingState; }

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // The action to offer at position, or none.
    std::optional<Qt::DropAction> actionAt(const QPoint& position, const QMimeData* mime) const;

    OperationForRow m_operation;
    DropOnRow m_drop;
};
