#include "app/windows/KQGroupTreeModel.h"

#include "store/KQContactManager.h"
#include "store/KQGroupHelper.h"

#include <QApplication>
#include <QIcon>
#include <QStyle>

struct KQGroupTreeModel::Item
{
    quint64 id = 0;
    KQGroupTreeNodePtr node; // none for the invisible root
    Item* parent = nullptr;
    std::vector<std::unique_ptr<Item>> children;
    std::vector<QMetaObject::Connection> connections;
};

namespace {

// Stand-ins for the sidebar artwork, chosen by the node's image name.
QIcon iconForImageName(const QString& name)
{
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (app == nullptr)
        return {};
    QStyle* style = QApplication::style();
    if (name.isEmpty())
        return style->standardIcon(QStyle::SP_DirIcon);
    if (name.startsWith(QLatin1String("containerRecyle")))
        return style->standardIcon(QStyle::SP_TrashIcon);
    if (name.startsWith(QLatin1String("containerImport")))
        return style->standardIcon(QStyle::SP_DialogOpenButton);
    if (name.startsWith(QLatin1String("containerLocal")))
        return style->standardIcon(QStyle::SP_ComputerIcon);
    return style->standardIcon(QStyle::SP_DriveNetIcon);
}

} // namespace

KQGroupTreeModel::KQGroupTreeModel(KQContactManager* manager, QObject* parent)
    : QAbstractItemModel(parent), m_manager(manager), m_root(std::make_unique<Item>())
{
    m_items.insert(m_root->id, m_root.get());
    const quint64 rootId = m_root->id;
    connect(m_manager, &KQContactManager::allRootContainersInserted, this, [this, rootId] { markDirty(rootId); });
    connect(m_manager, &KQContactManager::allRootContainersRemoved, this, [this, rootId] { markDirty(rootId); });
    syncChildren(m_root.get());
}

KQGroupTreeModel::~KQGroupTreeModel()
{
    forgetItem(m_root.get());
}

// ---------------------------------------------------------------- item model

QModelIndex KQGroupTreeModel::index(int row, int column, const QModelIndex& parent) const
{
    if (!hasIndex(row, column, parent))
        return {};
    const Item* item = itemForIndex(parent);
    return createIndex(row, column, item->children[static_cast<size_t>(row)].get());
}

QModelIndex KQGroupTreeModel::parent(const QModelIndex& child) const
{
    if (!child.isValid())
        return {};
    const Item* item = static_cast<const Item*>(child.internalPointer());
    return indexForItem(item->parent);
}

int KQGroupTreeModel::rowCount(const QModelIndex& parent) const
{
    if (parent.column() > 0)
        return 0;
    return static_cast<int>(itemForIndex(parent)->children.size());
}

int KQGroupTreeModel::columnCount(const QModelIndex& parent) const
{
    Q_UNUSED(parent);
    return 1;
}

QVariant KQGroupTreeModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    const KQGroupTreeNodePtr& node = itemForIndex(index)->node;
    switch (role) {
    case Qt::DisplayRole:
        return node->displayGroupName();
    case Qt::DecorationRole:
        if (const auto* account = qobject_cast<const KQContainerHelper*>(node.get());
            account != nullptr && account->hasLoadError())
            return QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning);
        return iconForImageName(node->image());
    case Qt::ToolTipRole:
    case Qt::StatusTipRole:
        // An account that could not be read completely says so where it is listed.
        if (const auto* account = qobject_cast<const KQContainerHelper*>(node.get()))
            return account->loadErrorMessage().isEmpty() ? QVariant() : QVariant(account->loadErrorMessage());
        return {};
    case NodeRole:
        return QVariant::fromValue(node.get());
    case GroupNameRole:
    case Qt::EditRole:
        return node->groupName();
    case Qt::AccessibleTextRole:
        return node->displayGroupName();
    case IdentifierRole:
        return node->identifier();
    case ImageNameRole:
        return node->image();
    default:
        return {};
    }
}

Qt::ItemFlags KQGroupTreeModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags flags = QAbstractItemModel::flags(index);
    if (!index.isValid())
        return flags;
    flags |= Qt::ItemIsDropEnabled;
    if (qobject_cast<KQGroupHelper*>(itemForIndex(index)->node.get()) != nullptr)
        flags |= Qt::ItemIsEditable;
    return flags;
}

bool KQGroupTreeModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || !checkIndex(index, CheckIndexOption::IndexIsValid))
        return false;
    const KQGroupTreeNodePtr node = itemForIndex(index)->node;
    if (qobject_cast<KQGroupHelper*>(node.get()) == nullptr || !m_rename)
        return false;
    m_rename(node, value.toString());
    Q_EMIT dataChanged(index, index);
    return true;
}

QHash<int, QByteArray> KQGroupTreeModel::roleNames() const
{
    QHash<int, QByteArray> names = QAbstractItemModel::roleNames();
    names.insert(NodeRole, "node");
    names.insert(GroupNameRole, "groupName");
    names.insert(IdentifierRole, "identifier");
    names.insert(ImageNameRole, "image");
    return names;
}

KQGroupTreeNodePtr KQGroupTreeModel::nodeForIndex(const QModelIndex& index) const
{
    // No selection is an ordinary question here, not a misuse of the model.
    if (!index.isValid() || index.model() != this)
        return nullptr;
    return itemForIndex(index)->node;
}

QModelIndex KQGroupTreeModel::indexForNode(const KQGroupTreeNode* node) const
{
    if (node == nullptr)
        return {};
    return indexForItem(findItem(m_root.get(), node));
}

// ---------------------------------------------------------------- mirror tree

KQGroupTreeModel::Item* KQGroupTreeModel::itemForIndex(const QModelIndex& index) const
{
    return index.isValid() ? static_cast<Item*>(index.internalPointer()) : m_root.get();
}

QModelIndex KQGroupTreeModel::indexForItem(const Item* item) const
{
    if (item == nullptr || item == m_root.get())
        return {};
    return createIndex(rowOfItem(item), 0, const_cast<Item*>(item));
}

int KQGroupTreeModel::rowOfItem(const Item* item) const
{
    const auto& siblings = item->parent->children;
    for (size_t row = 0; row < siblings.size(); ++row) {
        if (siblings[row].get() == item)
            return static_cast<int>(row);
    }
    return -1;
}

KQGroupTreeModel::Item* KQGroupTreeModel::findItem(const Item* from, const KQGroupTreeNode* node) const
{
    for (const auto& child : from->children) {
        if (child->node.get() == node)
            return child.get();
        if (Item* found = findItem(child.get(), node))
            return found;
    }
    return nullptr;
}

std::unique_ptr<KQGroupTreeModel::Item> KQGroupTreeModel::makeItem(const KQGroupTreeNodePtr& node, Item* parent)
{
    auto item = std::make_unique<Item>();
    item->id = m_nextId++;
    item->parent = parent;
    m_items.insert(item->id, item.get());
    bindNode(item.get(), node);
    return item;
}

void KQGroupTreeModel::bindNode(Item* item, const KQGroupTreeNodePtr& node)
{
    for (const auto& connection : item->connections)
        disconnect(connection);
    item->connections.clear();
    item->node = node;

    // Connections look their item up by id: a queued signal may arrive after the row is gone.
    const quint64 id = item->id;
    const auto refreshRow = [this, id] {
        if (const Item* live = m_items.value(id)) {
            const QModelIndex index = indexForItem(live);
            Q_EMIT dataChanged(index, index);
        }
    };
    KQGroupTreeNode* raw = node.get();
    item->connections.push_back(
        connect(raw, &KQGroupTreeNode::subGroupsForSortChanged, this, [this, id] { markDirty(id); }));
    item->connections.push_back(connect(raw, &KQGroupTreeNode::displayGroupNameChanged, this, refreshRow));
    // The store only tells the account about renamed groups; a nested group's parent re-sorts too.
    item->connections.push_back(connect(raw, &KQGroupTreeNode::groupNameChanged, this, [this, id] {
        if (const Item* live = m_items.value(id); live != nullptr && live->parent != nullptr)
            markDirty(live->parent->id);
    }));
    item->connections.push_back(connect(raw, &KQGroupTreeNode::selectedChanged, this, refreshRow));
    if (auto* account = qobject_cast<KQContainerHelper*>(raw))
        item->connections.push_back(connect(account, &KQContainerHelper::loadErrorChanged, this, refreshRow));
}

void KQGroupTreeModel::forgetItem(Item* item)
{
    for (const auto& child : item->children)
        forgetItem(child.get());
    for (const auto& connection : item->connections)
        disconnect(connection);
    item->connections.clear();
    m_items.remove(item->id);
    m_dirty.remove(item->id);
}

void KQGroupTreeModel::markDirty(quint64 id)
{
    m_dirty.insert(id);
    if (m_syncQueued)
        return;
    m_syncQueued = true;
    QMetaObject::invokeMethod(this, &KQGroupTreeModel::syncDirty, Qt::QueuedConnection);
}

void KQGroupTreeModel::syncNow()
{
    syncDirty();
}

void KQGroupTreeModel::syncDirty()
{
    m_syncQueued = false;
    while (!m_dirty.isEmpty()) {
        const quint64 id = *m_dirty.constBegin();
        m_dirty.remove(id);
        if (Item* item = m_items.value(id))
            syncChildren(item);
    }
}

KQGroupTreeNodeList KQGroupTreeModel::wantedChildren(const Item* item) const
{
    KQGroupTreeNodeList wanted = item == m_root.get() ? m_manager->allRootContainers() : item->node->subGroupsForSort();
    std::erase(wanted, nullptr);
    return wanted;
}

// Brings item's rows in line with its node's list: rows whose node left are removed, the others
// are moved into the node's order, and new nodes are inserted. A row is kept for the same node
// object, or else for a node with the same identifier, which then takes the row over.
void KQGroupTreeModel::syncChildren(Item* item)
{
    const KQGroupTreeNodeList wanted = wantedChildren(item);
    const QModelIndex parentIndex = indexForItem(item);
    auto& children = item->children;

    std::vector<Item*> match(wanted.size(), nullptr);
    QSet<const Item*> used;
    for (size_t k = 0; k < wanted.size(); ++k) {
        for (const auto& child : children) {
            if (!used.contains(child.get()) && child->node == wanted[k]) {
                match[k] = child.get();
                used.insert(child.get());
                break;
            }
        }
    }
    for (size_t k = 0; k < wanted.size(); ++k) {
        if (match[k] != nullptr)
            continue;
        const QString identifier = wanted[k]->identifier();
        for (const auto& child : children) {
            if (!used.contains(child.get()) && child->node->identifier() == identifier) {
                match[k] = child.get();
                used.insert(child.get());
                break;
            }
        }
    }

    for (int row = static_cast<int>(children.size()) - 1; row >= 0; --row) {
        if (used.contains(children[static_cast<size_t>(row)].get()))
            continue;
        beginRemoveRows(parentIndex, row, row);
        forgetItem(children[static_cast<size_t>(row)].get());
        children.erase(children.begin() + row);
        endRemoveRows();
    }

    for (size_t k = 0; k < wanted.size(); ++k) {
        const int target = static_cast<int>(k);
        Item* matched = match[k];
        if (matched == nullptr) {
            beginInsertRows(parentIndex, target, target);
            children.insert(children.begin() + target, makeItem(wanted[k], item));
            endInsertRows();
            syncChildren(children[k].get());
            continue;
        }
        const int from = rowOfItem(matched); // rows before target already hold their final nodes
        if (from != target) {
            beginMoveRows(parentIndex, from, from, parentIndex, target);
            std::unique_ptr<Item> moved = std::move(children[static_cast<size_t>(from)]);
            children.erase(children.begin() + from);
            children.insert(children.begin() + target, std::move(moved));
            endMoveRows();
        }
        if (matched->node != wanted[k]) {
            bindNode(matched, wanted[k]);
            const QModelIndex changed = index(target, 0, parentIndex);
            Q_EMIT dataChanged(changed, changed);
            syncChildren(matched);
        }
    }
}
