#include "store/KQGroupHelper.h"

#include "store/KQContactStoreHelper.h"
#include "platform/KQNotificationCenter.h"

KQGroupHelper::KQGroupHelper(const CNGroup& group) : m_group(group)
{
    KQGroupTreeNode::setGroupName(group.name().isEmpty() ? QStringLiteral("Untitled") : group.name());
}

void KQGroupHelper::setGroupName(const QString& name)
{
    KQGroupTreeNode::setGroupName(name);
    KQNotificationCenter::defaultCenter()->post(KQNotificationGroupNameChange,
                                                static_cast<const KQGroupTreeNode*>(this));
}

CNMutableGroup KQGroupHelper::editedGroup() const
{
    CNMutableGroup group(m_group);
    group.setName(groupName());
    return group;
}

bool KQGroupHelper::updateGroupToStore()
{
    if (m_group.identifier().isEmpty())
        return false;
    return KQContactStoreHelper::shared()->updateGroup(editedGroup());
}

void KQGroupHelper::updateGroupToStoreWithRequest(CNSaveRequest& request)
{
    if (m_group.identifier().isEmpty())
        return;
    KQContactStoreHelper::updateGroup(editedGroup(), request);
}

std::optional<QString> KQGroupHelper::getGroupContainerIdentifer(const QString& groupIdentifier)
{
    const auto containers = KQContactStoreHelper::shared()->contactStore()->containersMatchingPredicate(
        CNContainerPredicate::predicateForContainerOfGroupWithIdentifier(groupIdentifier));
    if (containers.empty())
        return std::nullopt;
    return containers.front().identifier();
}

std::optional<CNContactPredicate> KQGroupHelper::loadPredicateForContacts() const
{
    return CNContactPredicate::predicateForContactsInGroupWithIdentifier(m_group.identifier());
}

std::optional<CNGroupPredicate> KQGroupHelper::loadPredicateForSubGroups() const
{
    return CNGroupPredicate::predicateForSubgroupsInGroupWithIdentifier(m_group.identifier());
}
