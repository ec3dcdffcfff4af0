#pragma once

#include "platform/CNGroup.h"
#include "platform/CNSaveRequest.h"
#include "store/KQGroupTreeNode.h"

// A group of an account, with its subgroups.
class KQGroupHelper : public KQGroupTreeNode
{
    Q_OBJECT
public:
    explicit KQGroupHelper(const CNGroup& group);

    const CNGroup& group() const { return m_group; }
    QString identifier() const override { return m_group.identifier(); }
    // Also tells observers through "KQNotificationGroupNameChange".
    void setGroupName(const QString& name) override;

    // Writes the current name into the store group.
    bool updateGroupToStore();
    void updateGroupToStoreWithRequest(CNSaveRequest& request);

    // The identifier of the account holding a store group, or none.
    static std::optional<QString> getGroupContainerIdentifer(const QString& groupIdentifier);

    std::optional<CNContactPredicate> loadPredicateForContacts() const override;
    std::optional<CNGroupPredicate> loadPredicateForSubGroups() const override;

private:
    CNMutableGroup editedGroup() const;

    CNGroup m_group;
};
