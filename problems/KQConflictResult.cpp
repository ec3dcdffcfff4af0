#include "problems/KQConflictResult.h"

#include "store/KQListOps.h"

KQConflictResult::KQConflictResult() = default;
KQConflictResult::~KQConflictResult() = default;

KQConflictGroupPtr KQConflictResult::conflictGroupAtIndex(int index) const
{
    if (index < 0 || index >= countOfConflictGroups())
        return nullptr;
    return m_groups[static_cast<size_t>(index)];
}

void KQConflictResult::insertObjectInConflictGroupsAtIndex(const KQConflictGroupPtr& group, int index)
{
    if (!KQListOps::insertAt(m_groups, group, index))
        return;
    Q_EMIT conflictGroupsInserted({index});
    Q_EMIT conflictGroupsChanged();
}

void KQConflictResult::insertConflictGroupsAtIndexes(const std::vector<KQConflictGroupPtr>& groups,
                                                     const QList<int>& indexes)
{
    const QList<int> done = KQListOps::insertAtIndexes(m_groups, groups, indexes);
    if (done.isEmpty())
        return;
    Q_EMIT conflictGroupsInserted(done);
    Q_EMIT conflictGroupsChanged();
}

void KQConflictResult::removeObjectFromConflictGroupsAtIndex(int index)
{
    removeConflictGroupsAtIndexes({index});
}

void KQConflictResult::removeConflictGroupsAtIndexes(const QList<int>& indexes)
{
    const QList<int> done = KQListOps::removeAtIndexes(m_groups, indexes);
    if (done.isEmpty())
        return;
    Q_EMIT conflictGroupsRemoved(done);
    Q_EMIT conflictGroupsChanged();
}

void KQConflictResult::replaceObjectInConflictGroupsAtIndex(int index, const KQConflictGroupPtr& group)
{
    if (!KQListOps::replaceAt(m_groups, index, group))
        return;
    Q_EMIT conflictGroupsReplaced({index});
    Q_EMIT conflictGroupsChanged();
}

void KQConflictResult::addConflictGroupsObject(const KQConflictGroupPtr& group)
{
    insertObjectInConflictGroupsAtIndex(group, countOfConflictGroups());
}

void KQConflictResult::removeConflictGroupsObject(const KQConflictGroup* group)
{
    const int index = indexOfConflictGroup(group);
    if (index >= 0)
        removeObjectFromConflictGroupsAtIndex(index);
}

int KQConflictResult::indexOfConflictGroup(const KQConflictGroup* group) const
{
    return KQListOps::indexOf(m_groups, group);
}

QList<int> KQConflictResult::indexesOfConflictGroups(const std::vector<KQConflictGroupPtr>& groups) const
{
    QList<int> indexes;
    for (size_t i = 0; i < m_groups.size(); ++i) {
        if (std::find(groups.begin(), groups.end(), m_groups[i]) != groups.end())
            indexes.append(static_cast<int>(i));
    }
    return indexes;
}

void KQConflictResult::cleanConflictGroups()
{
    removeConflictGroupsAtIndexes(KQListOps::range(countOfConflictGroups()));
}

void KQConflictResult::setConflictGroups(const std::vector<KQConflictGroupPtr>& groups)
{
    cleanConflictGroups();
    std::vector<KQConflictGroupPtr> present;
    for (const auto& group : groups) {
        if (group)
            present.push_back(group);
    }
    insertConflictGroupsAtIndexes(present, KQListOps::range(static_cast<int>(present.size())));
}

KQConflictGroupPtr KQConflictResult::findGroupWithConflictMeta(const KQConflictMeta* meta) const
{
    if (meta == nullptr)
        return nullptr;
    for (const auto& group : m_groups) {
        if (group->conflictMeta() && group->conflictMeta()->name() == meta->name())
            return group;
    }
    return nullptr;
}
