#pragma once
// Predicates of the store's fetches. Each names what it selects by identifiers.

#include <QString>
#include <QStringList>

struct CNContactPredicate
{
    enum class Kind { ContactIdentifiers, InGroup, InContainer };
    Kind kind = Kind::ContactIdentifiers;
    QStringList identifiers; // contact identifiers, or the one group or container identifier

    static CNContactPredicate predicateForContactsWithIdentifiers(const QStringList& ids)
    {
        return {Kind::ContactIdentifiers, ids};
    }
    static CNContactPredicate predicateForContactsInGroupWithIdentifier(const QString& id)
    {
        return {Kind::InGroup, {id}};
    }
    static CNContactPredicate predicateForContactsInContainerWithIdentifier(const QString& id)
    {
        return {Kind::InContainer, {id}};
    }
};

struct CNGroupPredicate
{
    enum class Kind { InContainer, SubgroupsOfGroup, WithIdentifiers };
    Kind kind = Kind::InContainer;
    QStringList identifiers;

    static CNGroupPredicate predicateForGroupsInContainerWithIdentifier(const QString& id)
    {
        return {Kind::InContainer, {id}};
    }
    static CNGroupPredicate predicateForSubgroupsInGroupWithIdentifier(const QString& id)
    {
        return {Kind::SubgroupsOfGroup, {id}};
    }
    static CNGroupPredicate predicateForGroupsWithIdentifiers(const QStringList& ids)
    {
        return {Kind::WithIdentifiers, ids};
    }
};

struct CNContainerPredicate
{
    enum class Kind { OfGroup, OfContact, WithIdentifiers };
    Kind kind = Kind::WithIdentifiers;
    QStringList identifiers;

    static CNContainerPredicate predicateForContainerOfGroupWithIdentifier(const QString& id)
    {
        return {Kind::OfGroup, {id}};
    }
    static CNContainerPredicate predicateForContainerOfContactWithIdentifier(const QString& id)
    {
        return {Kind::OfContact, {id}};
    }
    static CNContainerPredicate predicateForContainersWithIdentifiers(const QStringList& ids)
    {
        return {Kind::WithIdentifiers, ids};
    }
};
