#pragma once
// A batch of store writes. Nothing happens until CNContactStore::executeSaveRequest applies all
// of them in one transaction.

#include "platform/CNContact.h"
#include "platform/CNGroup.h"

#include <QString>

#include <vector>

class CNSaveRequest
{
public:
    enum class Kind {
        AddContact,
        UpdateContact,
        DeleteContact,
        AddMember,
        RemoveMember,
        AddGroup,
        UpdateGroup,
        DeleteGroup,
        AddSubgroup,
        RemoveSubgroup
    };

    struct Operation
    {
        Kind kind;
        CNContact contact;        // contact operations and membership (only the identifier is used there)
        CNGroup group;            // group operations and membership: the group; subgroup ops: the subgroup
        CNGroup parentGroup;      // subgroup operations: the parent group
        QString containerIdentifier; // add operations: the account (empty for the default account)
    };

    void addContact(const CNContact& contact, const QString& containerIdentifier);
    void updateContact(const CNContact& contact);
    void deleteContact(const CNContact& contact);
    void addMember(const CNContact& contact, const CNGroup& group);
    void removeMember(const CNContact& contact, const CNGroup& group);
    void addGroup(const CNGroup& group, const QString& containerIdentifier);
    void updateGroup(const CNGroup& group);
    void deleteGroup(const CNGroup& group);
    void addSubgroup(const CNGroup& subgroup, const CNGroup& parent);
    void removeSubgroup(const CNGroup& subgroup, const CNGroup& parent);

    const std::vector<Operation>& operations() const { return m_operations; }
    bool isEmpty() const { return m_operations.empty(); }

private:
    std::vector<Operation> m_operations;
};
