#include "problems/KQConflictGroup.h"

#include "platform/KQDispatch.h"
#include "platform/KQNotificationCenter.h"
#include "store/KQListOps.h"

namespace KQConflictNotification {
const QString SolutionDidChange = QStringLiteral("KQConflictSolutionDidChange");
const QString GroupExpandStateDidChanged = QStringLiteral("KQConflictGroupExpandStateDidChanged");
const QString GroupSelectionDidChanged = QStringLiteral("KQConflictGroupSelectionDidChanged");
const QString GroupItemsDidChanged = QStringLiteral("KQConflictGroupItemsDidChanged");
} // namespace KQConflictNotification

KQConflictGroup::KQConflictGroup(KQConflictMetaPtr meta) : m_meta(std::move(meta)) {}
KQConflictGroup::~KQConflictGroup() = default;

KQConflictGroupPtr KQConflictGroup::initWithConflictMeta(const KQConflictMetaPtr& meta)
{
    if (!meta)
        return nullptr;
    return std::make_shared<KQConflictGroup>(meta);
}

KQConflictItemPtr KQConflictGroup::conflictItemAtIndex(int index) const
{
    if (index < 0 || index >= countOfConflictItems())
        return nullptr;
    return m_items[static_cast<size_t>(index)];
}

void KQConflictGroup::adopt(const KQConflictItemPtr& item)
{
    if (item)
        item->setOwner(this);
}

// The review list observes the item list; a scan builds it on its own thread before anyone looks,
// so only changes made on the main thread are announced to the centre.
void KQConflictGroup::itemsChanged()
{
    Q_EMIT titleChanged();
    if (KQDispatch::isMainThread())
        KQNotificationCenter::defaultCenter()->post(KQConflictNotification::GroupItemsDidChanged);
}

void KQConflictGroup::insertObjectInConflictItemsAtIndex(const KQConflictItemPtr& item, int index)
{
    if (!KQListOps::insertAt(m_items, item, index))
        return;
    adopt(item);
    Q_EMIT conflictItemsInserted({index});
    itemsChanged();
}

void KQConflictGroup::insertConflictItemsAtIndexes(const std::vector<KQConflictItemPtr>& items,
                                                   const QList<int>& indexes)
{
    const QList<int> done = KQListOps::insertAtIndexes(m_items, items, indexes);
    if (done.isEmpty())
        return;
    for (int index : done)
        adopt(m_items[static_cast<size_t>(index)]);
    Q_EMIT conflictItemsInserted(done);
    itemsChanged();
}

void KQConflictGroup::removeObjectFromConflictItemsAtIndex(int index)
{
    removeConflictItemsAtIndexes({index});
}

void KQConflictGroup::removeConflictItemsAtIndexes(const QList<int>& indexes)
{
    const KQConflictItemPtr selected = selectedItem();
    const QList<int> done = KQListOps::removeAtIndexes(m_items, indexes);
    if (done.isEmpty())
        return;
    // The selection follows its item; a removed selected item leaves none selected.
    if (selected) {
        const int now = indexOfConflictItem(selected.get());
        if (now < 0)
            selected->setSelected(false);
        m_selectedIndex = now;
        Q_EMIT selectedIndexChanged();
    }
    Q_EMIT conflictItemsRemoved(done);
    itemsChanged();
}

void KQConflictGroup::replaceObjectInConflictItemsAtIndex(int index, const KQConflictItemPtr& item)
{
    if (!KQListOps::replaceAt(m_items, index, item))
        return;
    adopt(item);
    Q_EMIT conflictItemsReplaced({index});
    itemsChanged();
}

void KQConflictGroup::addConflictItemsObject(const KQConflictItemPtr& item)
{
    insertObjectInConflictItemsAtIndex(item, countOfConflictItems());
}

void KQConflictGroup::removeConflictItemsObject(const KQConflictItem* item)
{
    const int index = indexOfConflictItem(item);
    if (index >= 0)
        removeObjectFromConflictItemsAtIndex(index);
}

int KQConflictGroup::indexOfConflictItem(const KQConflictItem* item) const
{
    return KQListOps::indexOf(m_items, item);
}

QList<int> KQConflictGroup::indexesOfConflictItems(const std::vector<KQConflictItemPtr>& items) const
{
    QList<int> indexes;
    for (size_t i = 0; i < m_items.size(); ++i) {
        if (std::find(items.begin(), items.end(), m_items[i]) != items.end())
            indexes.append(static_cast<int>(i));
    }
    return indexes;
}

void KQConflictGroup::cleanConflictItems()
{
    removeConflictItemsAtIndexes(KQListOps::range(countOfConflictItems()));
}

void KQConflictGroup::setConflictItems(const std::vector<KQConflictItemPtr>& items)
{
    cleanConflictItems();
    std::vector<KQConflictItemPtr> present;
    for (const auto& item : items) {
        if (item)
            present.push_back(item);
    }
    insertConflictItemsAtIndexes(present, KQListOps::range(static_cast<int>(present.size())));
}

void KQConflictGroup::setSelectedIndex(int index)
{
    if (const KQConflictItemPtr old = conflictItemAtIndex(m_selectedIndex))
        old->setSelected(false);
    m_selectedIndex = index;
    if (const KQConflictItemPtr now = conflictItemAtIndex(index))
        now->setSelected(true);
    Q_EMIT selectedIndexChanged();
}

void KQConflictGroup::userSelectItemAtIndex(int index)
{
    setSelectedIndex(index);
    KQNotificationCenter::defaultCenter()->post(KQConflictNotification::GroupSelectionDidChanged, this);
}

void KQConflictGroup::setExpanded(bool expanded)
{
    if (m_expanded == expanded)
        return;
    m_expanded = expanded;
    Q_EMIT expandedChanged();
}

void KQConflictGroup::toggleExpanded()
{
    setExpanded(!m_expanded);
    KQNotificationCenter::defaultCenter()->post(KQConflictNotification::GroupExpandStateDidChanged, this);
}

QString KQConflictGroup::title() const
{
    return QStringLiteral("%1(%2)").arg(m_meta ? m_meta->name() : QString()).arg(countOfConflictItems());
}

bool KQConflictGroup::isLastConflictItem(const KQConflictItem* item) const
{
    return item != nullptr && !m_items.empty() && m_items.back().get() == item;
}

KQConflictItemPtr KQConflictGroup::conflictItemNextItem(const KQConflictItem* item) const
{
    const int index = indexOfConflictItem(item);
    return index < 0 ? nullptr : conflictItemAtIndex(index + 1);
}

int KQConflictGroup::heightOfContent() const
{
    return m_expanded ? heightOfHeader + KQConflictItem::height * countOfConflictItems() : heightOfHeader;
}

QString KQConflictGroup::expandImage() const
{
    return m_expanded ? QStringLiteral("disexpanded") : QStringLiteral("expanded");
}
