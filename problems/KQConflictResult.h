#pragma once
// What a scan found: one group per problem kind, in the order the kinds were first found.

#include "problems/KQConflictGroup.h"

#include <QObject>

class KQConflictResult;
using KQConflictResultPtr = std::shared_ptr<KQConflictResult>;

class KQConflictResult : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool empty READ empty NOTIFY conflictGroupsChanged)
public:
    KQConflictResult();
    ~KQConflictResult() override;
    static KQConflictResultPtr create() { return std::make_shared<KQConflictResult>(); }

    std::vector<KQConflictGroupPtr> conflictGroups() const { return m_groups; }
    int countOfConflictGroups() const { return static_cast<int>(m_groups.size()); }
    // None for a negative or too large index.
    KQConflictGroupPtr conflictGroupAtIndex(int index) const;
    void insertObjectInConflictGroupsAtIndex(const KQConflictGroupPtr& group, int index);
    void insertConflictGroupsAtIndexes(const std::vector<KQConflictGroupPtr>& groups, const QList<int>& indexes);
    void removeObjectFromConflictGroupsAtIndex(int index);
    void removeConflictGroupsAtIndexes(const QList<int>& indexes);
    void replaceObjectInConflictGroupsAtIndex(int index, const KQConflictGroupPtr& group);
    void addConflictGroupsObject(const KQConflictGroupPtr& group);
    void removeConflictGroupsObject(const KQConflictGroup* group);
    int indexOfConflictGroup(const KQConflictGroup* group) const;
    QList<int> indexesOfConflictGroups(const std::vector<KQConflictGroupPtr>& groups) const;
    void cleanConflictGroups();
    void setConflictGroups(const std::vector<KQConflictGroupPtr>& groups);

    bool empty() const { return m_groups.empty(); }
    // The first group whose kind has the same name, or none.
    KQConflictGroupPtr findGroupWithConflictMeta(const KQConflictMeta* meta) const;

Q_SIGNALS:
    void conflictGroupsInserted(const QList<int>& indexes);
    void conflictGroupsRemoved(const QList<int>& indexes);
    void conflictGroupsReplaced(const QList<int>& indexes);
    void conflictGroupsChanged();

private:
    std::vector<KQConflictGroupPtr> m_groups;
};
