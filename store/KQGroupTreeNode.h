#pragma once
// A node of the sidebar's tree: an account, a group or a pseudo-account. Each node lists contact
// records and child groups, both loaded from the store on demand on the node's own serial queue
// and installed on the main thread.

#include "model/KQContactHelper.h"
#include "platform/CNPredicate.h"
#include "platform/KQDispatch.h"

#include <QList>
#include <QObject>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

class KQGroupTreeNode;
class KQContainerHelper;
using KQGroupTreeNodePtr = std::shared_ptr<KQGroupTreeNode>;
using KQContactHelperList = std::vector<KQContactHelperPtr>;
using KQGroupTreeNodeList = std::vector<KQGroupTreeNodePtr>;

extern const QString KQNotificationGroupNameChange;

class KQGroupTreeNode : public QObject, public std::enable_shared_from_this<KQGroupTreeNode>
{
    Q_OBJECT
    Q_PROPERTY(QString groupName READ groupName WRITE setGroupName NOTIFY groupNameChanged)
    Q_PROPERTY(QString displayGroupName READ displayGroupName NOTIFY displayGroupNameChanged)
public:
    explicit KQGroupTreeNode(bool subGroupsLoaded = false);
    ~KQGroupTreeNode() override;

    QString groupName() const;
    virtual void setGroupName(const QString& name);
    // "Name (count)", "Name (?)" before loading; "Untitled (count)" / "Untitled(?)" without a name.
    QString displayGroupName() const;
    virtual QString identifier() const;
    // Image name for the sidebar; empty for groups and bare nodes.
    virtual QString image() const { return {}; }
    // The account this node belongs to (itself for an account).
    KQContainerHelper* containerHelper();
    KQGroupTreeNode* parent() const { return m_parent; }

    bool isContactsLoaded() const { return m_contactsLoaded.load(); }
    bool isSubGroupsLoaded() const { return m_subGroupsLoaded.load(); }
    bool selected() const { return m_selected; }
    void setSelected(bool selected);
    bool editable() const { return m_editable; }
    void setEditable(bool editable) { m_editable = editable; }

    // --- loading
    // Must not be called on the main thread: they wait for the main thread to install the result.
    bool syncLoadContactsIfNecessary();
    bool syncLoadSubGroupsIfNecessary();
    // handler(node, fetched) runs on the main thread.
    void loadContactsWithCompleteHandler(std::function<void(KQGroupTreeNode*, bool)> handler);
    void loadSubGroupsWithCompleteHandler(std::function<void(KQGroupTreeNode*, bool)> handler);
    KQContactHelperList executeloadContacts();
    // Loads the node's contacts if needed, then all keys of every record with one store fetch,
    // installed on the main thread in short slices; waits for the last one. Not on the main thread.
    // Returns how many records were installed.
    int syncLoadAllKeysOfContacts(CNError* error = nullptr);
    // The same on the background queue; handler(node, success) runs on the main thread.
    void loadAllKeysOfContactsWithCompleteHandler(std::function<void(KQGroupTreeNode*, bool)> handler);
    KQGroupTreeNodeList executeLoadSubGroups();
    // A fetch for this node failed: the lists may be partial. Logs at warning level, keeps the
    // error on the node and puts the node's account into its error state. Any thread.
    void reportLoadFailure(const CNError& error, const char* what);
    // The last failed fetch of this node; no error when every fetch succeeded.
    CNError loadError() const;
    void clearNodeLoadError();
    virtual std::optional<CNContactPredicate> loadPredicateForContacts() const { return std::nullopt; }
    virtual std::optional<CNGroupPredicate> loadPredicateForSubGroups() const { return std::nullopt; }
    void refetchContacts();
    void refetchContactsAndSubGroupsIfNecessary();
    void refetchGroupsWithNewGroups(const KQGroupTreeNodeList& groups);

    // --- contacts (observable; reading returns a copy)
    KQContactHelperList contacts() const;
    int countOfContacts() const;
    KQContactHelperPtr objectInContactsAtIndex(int index) const;
    void insertObjectInContactsAtIndex(const KQContactHelperPtr& contact, int index);
    void removeObjectFromContactsAtIndex(int index);
    void replaceObjectInContactsAtIndex(int index, const KQContactHelperPtr& contact);
    void insertContactsAtIndexes(const KQContactHelperList& contacts, const QList<int>& indexes);
    void removeContactsAtIndexes(const QList<int>& indexes);
    void setContacts(const KQContactHelperList& contacts);
    void addContactHelper(const KQContactHelperPtr& contact);
    virtual void addContactHelpers(const KQContactHelperList& contacts);
    void removeContactHelper(const KQContactHelperPtr& contact);
    void removeContactHelpers(const KQContactHelperList& contacts);
    int indexOfContactHelper(const KQContactHelper* contact) const;
    QList<int> indexesOfContactHelpers(const KQContactHelperList& contacts) const;
    KQContactHelperPtr contactHelperWithIdentifier(const QString& identifier) const;
    bool contactHelperExist(const KQContactHelper* contact) const;
    void unselectedAllContactHelpers();

    // --- subgroups (observable; reading returns a copy)
    KQGroupTreeNodeList subGroups() const;
    int countOfSubGroups() const;
    KQGroupTreeNodePtr objectInSubGroupsAtIndex(int index) const;
    void insertObjectInSubGroupsAtIndex(const KQGroupTreeNodePtr& group, int index);
    void removeObjectFromSubGroupsAtIndex(int index);
    void replaceObjectInSubGroupsAtIndex(int index, const KQGroupTreeNodePtr& group);
    void insertSubGroupsAtIndexes(const KQGroupTreeNodeList& groups, const QList<int>& indexes);
    void removeSubGroupsAtIndexes(const QList<int>& indexes);
    void setSubGroups(const KQGroupTreeNodeList& groups);
    void addSubGroup(const KQGroupTreeNodePtr& group);
    void addSubGroups(const KQGroupTreeNodeList& groups);
    void removeSubGroup(const KQGroupTreeNodePtr& group);
    void removeSubGroups(const KQGroupTreeNodeList& groups);
    int indexOfSubGroup(const KQGroupTreeNode* group) const;
    QList<int> indexesOfSubGroups(const KQGroupTreeNodeList& groups) const;
    KQGroupTreeNodePtr subGroupWithIdentifier(const QString& identifier) const;
    KQGroupTreeNodePtr findSubGroupHelperWithIdentifier(const QString& identifier) const;
    // Subgroups ordered by lower-cased name; unnamed ones last.
    KQGroupTreeNodeList subGroupsForSort() const;

    bool isEqual(const KQGroupTreeNode* other) const { return other != nullptr && identifier() == other->identifier(); }

Q_SIGNALS:
    void groupNameChanged();
    void displayGroupNameChanged();
    void selectedChanged();
    void contactsInserted(const QList<int>& indexes);
    void contactsRemoved(const QList<int>& indexes);
    void contactsReplaced(const QList<int>& indexes);
    // The list changed in a way that is announced as a whole.
    void contactsChanged();
    void subGroupsInserted(const QList<int>& indexes);
    void subGroupsRemoved(const QList<int>& indexes);
    void subGroupsReplaced(const QList<int>& indexes);
    void subGroupsForSortChanged();
    void contactsLoadedChanged();
    void subGroupsLoadedChanged();

protected:
    void setContactsLoaded(bool loaded);
    void setSubGroupsLoaded(bool loaded);
    KQDispatchQueuePtr loadQueue();
    // Hook for accounts, which file every record they list.
    virtual void didInsertContacts(const KQContactHelperList& contacts) { Q_UNUSED(contacts); }

private:
    void setParent(KQGroupTreeNode* parent) { m_parent = parent; }
    void adoptChildren(const KQGroupTreeNodeList& groups);
    void releaseChildren(const KQGroupTreeNodeList& groups);
    void announceContacts(const QList<int>& inserted, const QList<int>& removed);
    // On the load queue: true when this request is the one to fetch the contacts.
    bool claimContactsFetch();
    void setPendingContacts(KQContactHelperList loaded);
    // Main thread: installs what a fetch left pending, if anything; true when it did.
    bool installPendingContacts();

    mutable std::mutex m_mutex; // guards the name and both lists for readers off the main thread
    QString m_groupName;
    KQContactHelperList m_contacts;
    KQContactHelperList m_pendingContacts;
    bool m_hasPendingContacts = false;
    KQGroupTreeNodeList m_subGroups;
    KQGroupTreeNode* m_parent = nullptr;
    std::atomic<bool> m_contactsLoaded{false};
    // Set on the load queue when a fetch starts, so that a request during it does not fetch again.
    std::atomic<bool> m_contactsFetchClaimed{false};
    std::atomic<bool> m_subGroupsLoaded{false};
    bool m_selected = false;
    bool m_editable = false;
    CNError m_loadError; // guarded by m_mutex
    KQDispatchQueuePtr m_loadQueue;
    std::once_flag m_loadQueueOnce;
};
