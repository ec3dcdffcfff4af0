#pragma once
// The sidebar's upper pane: the refresh bar (shown when another program changed the store) above
// the tree of accounts, groups, Last Import and Trash. Keeps exactly one selected node; its
// context menu creates, renames and deletes groups and starts imports, exports and mail; rows take
// contact drops by the drop rules.

#include "store/KQGroupTreeNode.h"

#include <QWidget>
#include <functional>

class KQContactManager;
class KQContactMover;
class KQGroupTreeModel;
class KQGroupTreeView;
class QFrame;
class QLabel;
class QMenu;
class QPushButton;

class KQGroupViewController : public QWidget
{
    Q_OBJECT
public:
    KQGroupViewController(KQContactManager* manager, KQContactMover* mover, QWidget* parent = nullptr);
    ~KQGroupViewController() override;

    KQGroupTreeView* groupTree() const { return m_tree; }
    KQGroupTreeModel* groupTreeModel() const { return m_model; }
    KQGroupTreeNodePtr selectedGroupTreeNode() const { return m_selected; }
    // Selects the row of node (expanding its parents); false when the tree does not show it.
    bool selectGroupTreeNode(const KQGroupTreeNode* node);
    bool isRefreshBarVisible() const;

    // ---- commands on a node (the clicked one from the context menu)
    void addAGroup(const KQGroupTreeNodePtr& parent);
    void renameGroup(const KQGroupTreeNodePtr& group);
    // Asks first; the contacts stay in the account.
    void deleteGroup(const KQGroupTreeNodePtr& group);
    // Writes the group's new name (an empty one after the alert as "Untitled").
    void groupNameEdited(const KQGroupTreeNodePtr& group, const QString& name);
    // The contacts of node, sorted ascending.
    KQContactHelperList contactsOfNode(const KQGroupTreeNodePtr& node) const;
    // The refresh bar's button: reloads every account and selects the same node again.
    void refreshContactsStore();
    QMenu* contextMenuForNode(const KQGroupTreeNodePtr& node);

Q_SIGNALS:
    void selectedGroupTreeNodeChanged(const KQGroupTreeNodePtr& node);
    // Import into target; lastImport is the Last Import mark.
    void importRequested(const KQGroupTreeNodePtr& target, bool lastImport);
    void exportRequested(const KQContactHelperList& contacts);
    void addContactRequested();
    // A drop or delete is about to change the listed contacts, and has ended.
    void willRearrangeContacts();
    void didRearrangeContacts(bool needUpdateContactList);
    void storeDidChange();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void refreshSelection();
    void setSelectedNode(const KQGroupTreeNodePtr& node);
    void rowExpanded(const QModelIndex& index);
    void showContextMenu(const QPoint& position);
    void dropOnNode(const KQGroupTreeNodePtr& target);
    void storeChanged();
    void manualRefresh();
    void reselectAfterReload(const QString& accountIdentifier, const QString& nodeIdentifier);

    KQContactManager* m_manager;
    KQContactMover* m_mover;
    KQGroupTreeModel* m_model;
    KQGroupTreeView* m_tree;
    QFrame* m_refreshBar;
    QLabel* m_refreshText;
    QPushButton* m_refreshButton;
    KQGroupTreeNodePtr m_selected;
    bool m_selectingFirstRow = false;
    bool m_firstRowSelectedByWindow = false;
};
