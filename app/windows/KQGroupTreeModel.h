#pragma once
// The sidebar's tree as an item model: the contact manager's root list (accounts, then Last Import
// and Trash), and under each node its subgroups in name order, recursively.
//
// The model keeps its own mirror of the tree and brings it in line with the nodes after their
// lists change (coalesced on the event loop), so that a list replaced by "remove all, insert all"
// keeps the rows, their expansion and their selection. A node replaced by a new object with the
// same identifier (as happens on every reload of the accounts) keeps its row too.

#include "store/KQGroupTreeNode.h"

#include <QAbstractItemModel>
#include <QHash>
#include <QSet>
#include <functional>
#include <memory>
#include <vector>

class KQContactManager;

class KQGroupTreeModel : public QAbstractItemModel
{
    Q_OBJECT
public:
    enum Role
    {
        NodeRole = Qt::UserRole + 1, // KQGroupTreeNode*
        GroupNameRole,
        IdentifierRole,
        ImageNameRole,
    };

    explicit KQGroupTreeModel(KQContactManager* manager, QObject* parent = nullptr);
    ~KQGroupTreeModel() override;

    QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;
    // Group rows are renamed in place; rows take contact drops (the sidebar decides which).
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    // Called with the group and the edited name; the sidebar writes it to the store.
    void setRenameHandler(std::function<void(const KQGroupTreeNodePtr&, const QString&)> handler)
    {
        m_rename = std::move(handler);
    }

    KQGroupTreeNodePtr nodeForIndex(const QModelIndex& index) const;
    // The first row showing node, or an invalid index.
    QModelIndex indexForNode(const KQGroupTreeNode* node) const;

    // Brings every row in line with the nodes now instead of on the next turn of the event loop.
    void syncNow();

private:
    struct Item;

    Item* itemForIndex(const QModelIndex& index) const;
    QModelIndex indexForItem(const Item* item) const;
    int rowOfItem(const Item* item) const;
    std::unique_ptr<Item> makeItem(const KQGroupTreeNodePtr& node, Item* parent);
    void bindNode(Item* item, const KQGroupTreeNodePtr& node);
    void forgetItem(Item* item);
    void markDirty(quint64 id);
    void syncDirty();
    void syncChildren(Item* item);
    KQGroupTreeNodeList wantedChildren(const Item* item) const;
    Item* findItem(const Item* from, const KQGroupTreeNode* node) const;

    KQContactManager* m_manager;
    std::unique_ptr<Item> m_root;
    QHash<quint64, Item*> m_items; // every live item by its id; connections look items up here
    QSet<quint64> m_dirty;
    quint64 m_nextId = 1;
    bool m_syncQueued = false;
    std::function<void(const KQGroupTreeNodePtr&, const QString&)> m_rename;
};
