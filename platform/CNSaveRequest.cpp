#include "platform/CNSaveRequest.h"

void CNSaveRequest::addContact(const CNContact& contact, const QString& containerIdentifier)
{
    // Made in place: an import adds hundreds of thousands of contacts, each copied only once here.
    Operation& added = m_operations.emplace_back();
    added.kind = Kind::AddContact;
    added.contact = contact;
    added.containerIdentifier = containerIdentifier;
}

void CNSaveRequest::updateContact(const CNContact& contact)
{
    m_operations.push_back({Kind::UpdateContact, contact, {}, {}, {}});
}

void CNSaveRequest::deleteContact(const CNContact& contact)
{
    m_operations.push_back({Kind::DeleteContact, contact, {}, {}, {}});
}

void CNSaveRequest::addMember(const CNContact& contact, const CNGroup& group)
{
    m_operations.push_back({Kind::AddMember, contact, group, {}, {}});
}

void CNSaveRequest::removeMember(const CNContact& contact, const CNGroup& group)
{
    m_operations.push_back({Kind::RemoveMember, contact, group, {}, {}});
}

void CNSaveRequest::addGroup(const CNGroup& group, const QString& containerIdentifier)
{
    m_operations.push_back({Kind::AddGroup, {}, group, {}, containerIdentifier});
}

void CNSaveRequest::updateGroup(const CNGroup& group)
{
    m_operations.push_back({Kind::UpdateGroup, {}, group, {}, {}});
}

void CNSaveRequest::deleteGroup(const CNGroup& group)
{
    m_operations.push_back({Kind::DeleteGroup, {}, group, {}, {}});
}

void CNSaveRequest::addSubgroup(const CNGroup& subgroup, const CNGroup& parent)
{
    m_operations.push_back({Kind::AddSubgroup, {}, subgroup, parent, {}});
}

void CNSaveRequest::removeSubgroup(const CNGroup& subgroup, const CNGroup& parent)
{
    m_operations.push_back({Kind::RemoveSubgroup, {}, subgroup, parent, {}});
}
