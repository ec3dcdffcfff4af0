#pragma once

#include "platform/CNContainer.h"
#include "platform/CNSaveRequest.h"
#include "store/KQContactRecyle.h"
#include "store/KQGroupTreeNode.h"

#include <QHash>

// An account of the store: its groups, its records (every record made for the account, by
// identifier) and the put-backs waiting to be shown.
class KQContainerHelper : public KQGroupTreeNode
{
    Q_OBJECT
public:
    explicit KQContainerHelper(const CNContainer& container);
    // With groups: they are installed on the main thread and count as loaded.
    KQContainerHelper(const CNContainer& container, const KQGroupTreeNodeList& groups);

    const CNContainer& container() const { return m_container; }
    QString identifier() const override { return m_container.identifier(); }
    bool isIcloud() const;
    bool isGoogle() const;
    QString image() const override;
    QString bigImage() const;
    QString miniIcon() const;

    // A new record for contact, filed under its identifier (replacing an earlier one); none for a
    // contact without identifier.
    KQContactHelperPtr makeContactHelperIfNecessaryWithContact(const CNContactPtr& contact, bool allKeyLoaded);
    KQContactHelperPtr contactHelperFromContainerWithIdentifier(const QString& identifier) const;
    bool contactHelperExistWithIdentifier(const QString& identifier) const;
    bool contactExist(const KQContactHelper* contact) const;
    int allContactHelpersCount() const;

    // Depth-first over the account's tree, each node before its children.
    KQGroupTreeNodePtr groupWithIdentifier(const QString& identifier) const;
    static KQGroupTreeNodePtr findGroupWithIdentifier(const QString& identifier, const KQGroupTreeNodeList& groups);
    // Removes contact from the groups and, recursively, their subgroups that list it; returns the
    // identifiers of the groups it was removed from, outer groups first. A group whose contacts are
    // not loaded yet is asked the store whether the contact is a member.
    static QStringList removeContactHelperFromGroups(const KQContactHelperPtr& contact,
                                                     const KQGroupTreeNodeList& groups);

    // Takes a record out of the account's tree (not out of the store) and returns its Trash entry.
    KQContactRecylePtr deleteContactHelper(const KQContactHelperPtr& contact);
    std::vector<KQContactRecylePtr> deleteContactHelpers(const KQContactHelperList& contacts);
    void deleteContactHelper(const KQContactHelperPtr& contact, std::function<void(KQContactRecylePtr)> handler);

    // Puts a Trash entry back: a copy of its contact with a new identifier is filed in the account
    // at once and added to request, with its memberships in those of the entry's groups that still
    // exist; the copy waits in restoreObjects until Refresh shows it. The store is written when
    // the caller executes request. Always true.
    bool putBackContactRecyle(const KQContactRecylePtr& entry, CNSaveRequest& request);
    bool putBackContactRecyles(const std::vector<KQContactRecylePtr>& entries, CNSaveRequest& request);
    std::vector<KQRestoreRecyleObject>& restoreObjects() { return m_restoreObjects; }
    // Shows the waiting put-backs in their groups and in the account (on the main thread, later).
    void Refresh();

    std::optional<CNContactPredicate> loadPredicateForContacts() const override;
    std::optional<CNGroupPredicate> loadPredicateForSubGroups() const override;

protected:
    static bool storeGroupHasMember(const KQGroupTreeNode& group, const QString& contactIdentifier);
    void didInsertContacts(const KQContactHelperList& contacts) override;

private:
    enum class Kind
    {
        Icloud,
        Google,
        Unsigned,
        Exchange,
        Local
    };
    Kind kind() const;

    CNContainer m_container;
    mutable std::mutex m_recordsMutex;
    QHash<QString, KQContactHelperPtr> m_allContactHelpers;
    std::vector<KQRestoreRecyleObject> m_restoreObjects;
};

using KQContainerHelperPtr = std::shared_ptr<KQContainerHelper>;
