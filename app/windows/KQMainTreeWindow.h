#pragma once
// The main window as far as the sidebar goes: the tree of accounts and groups, and a status line
// about the selected node. Selecting or expanding a node loads its contacts and subgroups.

#include "store/KQGroupTreeNode.h"

#include <QMainWindow>
#include <QPointer>

class KQContactManager;
class KQGroupTreeModel;
class QLabel;
class QTreeView;

class KQMainTreeWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit KQMainTreeWindow(KQContactManager* manager, QWidget* parent = nullptr);
    ~KQMainTreeWindow() override;

    QTreeView* groupTree() const { return m_tree; }
    KQGroupTreeModel* groupTreeModel() const { return m_model; }
    KQGroupTreeNodePtr selectedGroupTreeNode() const { return m_selected; }
    // Selects the row of node; false when the tree does not show it.
    bool selectGroupTreeNode(const KQGroupTreeNode* node);
    QString statusText() const;

Q_SIGNALS:
    void selectedGroupTreeNodeChanged(KQGroupTreeNode* node);
    // A node's contacts finished loading after it was selected or expanded.
    void groupTreeNodeLoaded(KQGroupTreeNode* node);

private:
    // Follows the tree's selection; an empty selection selects the first root row.
    void refreshSelection();
    void setSelectedNode(const KQGroupTreeNodePtr& node);
    void rowExpanded(const QModelIndex& index);
    void loadNode(const KQGroupTreeNodePtr& node, bool withSubGroups);
    void updateStatus();

    KQContactManager* m_manager;
    KQGroupTreeModel* m_model;
    QTreeView* m_tree;
    QLabel* m_status;
    KQGroupTreeNodePtr m_selected;
    bool m_selectingFirstRow = false;
    bool m_firstRowSelectedByWindow = false; // cleared once another row is chosen
    std::vector<QMetaObject::Connection> m_selectedConnections;
};
