#pragma once
// All found problems of one kind, as the review list shows them: the items, which one is selected,
// and whether the group is expanded.

#include "problems/KQConflictItem.h"
#include "problems/KQConflictMeta.h"

#include <QObject>
#include <QString>

// The names of the review model's notifications (posted on the default centre).
namespace KQConflictNotification {
extern const QString SolutionDidChange;
extern const QString GroupExpandStateDidChanged;
extern const QString GroupSelectionDidChanged;
extern const QString GroupItemsDidChanged;
} // namespace KQConflictNotification

class KQConflictGroup;
using KQConflictGroupPtr = std::shared_ptr<KQConflictGroup>;

class KQConflictGroup : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString title READ title NOTIFY titleChanged)
    Q_PROPERTY(int selectedIndex READ selectedIndex WRITE setSelectedIndex NOTIFY selectedIndexChanged)
    Q_PROPERTY(bool expanded READ expanded WRITE setExpanded NOTIFY expandedChanged)
public:
    static constexpr int heightOfHeader = 30;

    explicit KQConflictGroup(KQConflictMetaPtr meta);
    ~KQConflictGroup() override;
    // None without a kind.
    static KQConflictGroupPtr initWithConflictMeta(const KQConflictMetaPtr& meta);

    const KQConflictMetaPtr& conflictMeta() const { return m_meta; }

    // --- the items (observable list; every inserted item gets this group as its owner)
    std::vector<KQConflictItemPtr> conflictItems() const { return m_items; }
    int countOfConflictItems() const { return static_cast<int>(m_items.size()); }
    // None for a negative or too large index.
    KQConflictItemPtr conflictItemAtIndex(int index) const;
    void insertObjectInConflictItemsAtIndex(const KQConflictItemPtr& item, int index);
    void insertConflictItemsAtIndexes(const std::vector<KQConflictItemPtr>& items, const QList<int>& indexes);
    void removeObjectFromConflictItemsAtIndex(int index);
    void removeConflictItemsAtIndexes(const QList<int>& indexes);
    void replaceObjectInConflictItemsAtIndex(int index, const KQConflictItemPtr& item);
    void addConflictItemsObject(const KQConflictItemPtr& item);
    void removeConflictItemsObject(const KQConflictItem* item);
    int indexOfConflictItem(const KQConflictItem* item) const;
    QList<int> indexesOfConflictItems(const std::vector<KQConflictItemPtr>& items) const;
    void cleanConflictItems();
    void setConflictItems(const std::vector<KQConflictItemPtr>& items);

    // --- selection (-1: none)
    int selectedIndex() const { return m_selectedIndex; }
    void setSelectedIndex(int index);
    KQConflictItemPtr selectedItem() const { return conflictItemAtIndex(m_selectedIndex); }
    // What the review list does when the user picks a row: select it, then post the notification.
    void userSelectItemAtIndex(int index);

    bool expanded() const { return m_expanded; }
    void setExpanded(bool expanded);
    // What the expand control does: flip, then post the notification.
    void toggleExpanded();

    QString title() const;
    bool isLastConflictItem(const KQConflictItem* item) const;
    KQConflictItemPtr conflictItemNextItem(const KQConflictItem* item) const;

    int heightOfContent() const;
    QString expandImage() const;

Q_SIGNALS:
    void conflictItemsInserted(const QList<int>& indexes);
    void conflictItemsRemoved(const QList<int>& indexes);
    void conflictItemsReplaced(const QList<int>& indexes);
    void titleChanged();
    void selectedIndexChanged();
    void expandedChanged();

private:
    void adopt(const KQConflictItemPtr& item);
    void itemsChanged();

    KQConflictMetaPtr m_meta;
    std::vector<KQConflictItemPtr> m_items;
    int m_selectedIndex = -1;
    bool m_expanded = false;
};
