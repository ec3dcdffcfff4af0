#pragma once
// The one object that talks to the contact store for loading and writing. Every write is one save
// request run on a serial queue, so writes never overlap; the store's change notifications are
// turned into "KQContactsStoreDidChangedNotification" on the main thread, except the echoes of the
// program's own writes, which are held back until 20 seconds after the last save.
//
// Contract of the writes: each builds one save request and returns true when the store accepted
// it; on failure the store's error (or the operation's default message) is logged and nothing of
// the request is stored.

#include "platform/CNContactStore.h"
#include "platform/KQDispatch.h"

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

class KQContactStoreHelper;
class KQContainerHelper;
using KQContainerHelperPtr = std::shared_ptr<KQContainerHelper>;

extern const QString KQContactsStoreDidChangedNotification;
extern const QString KQManualRefreshContactsStoreNotification;

// Told on the main thread after every reload of all accounts.
class KQContactStoreHelperDelegate
{
public:
    virtual ~KQContactStoreHelperDelegate() = default;
    virtual void contactStoreHelperDidChanged(KQContactStoreHelper* helper) = 0;
};

class KQContactStoreHelper : public QObject
{
    Q_OBJECT
public:
    // Uses store, or the user's contact store when none is given. Must be made on the main thread.
    explicit KQContactStoreHelper(std::shared_ptr<CNContactStore> store = nullptr, QObject* parent = nullptr);
    ~KQContactStoreHelper() override;

    // The store interface of this process, made on first use.
    static KQContactStoreHelper* shared();
    // Closes the shared interface's store, when one was made, at the end of the process: after
    // the main loop and the dispatch pools have ended (KQDispatch::shutdown()).
    static void closeSharedStore();
    // The shared interface when it was made; never makes it.
    static KQContactStoreHelper* sharedIfMade();

    CNContactStore* contactStore() const { return m_store.get(); }
    std::shared_ptr<CNContactStore> contactStoreShared() const { return m_store; }

    // Keys fetched for every contact in lists, and for a fully loaded contact.
    static QStringList mainKeys();
    static QStringList allKeys();

    // completion(granted, error) always runs on the main thread.
    void requestContactsAccessGranted(const std::function<void(bool, const CNError&)>& completion);

    // A new contact holding one empty e-mail, phone number and postal address, each labelled home.
    CNMutableContactPtr newContact() const;
    // A new group named name, or "New Group" for an empty name.
    CNMutableGroupPtr newGroupWithName(const QString& name) const;
    CNMutableContactPtr duplicateContact(const CNContact& contact) const;
    // Copies every fetched field (not identifier, tags or groups); a field that cannot be read is
    // logged and skipped.
    static void duplicateContact(const CNContact& from, CNMutableContact& to);

    // --- writes, each one save request
    bool importContacts(const CNContactList& contacts, const QString& containerIdentifier);
    // Adds the contacts, then, when that succeeded and a group is given, adds them to the group.
    bool importContacts(const CNContactList& contacts, const QString& containerIdentifier, const CNGroup* group);
    bool addGroup(const CNGroup& group, const QString& containerIdentifier);
    bool deleteGroup(const CNGroup& group);
    bool updateGroup(const CNGroup& group);
    bool addSubGroup(const CNGroup& subgroup, const CNGroup& group);
    bool removeSubGroup(const CNGroup& subgroup, const CNGroup& group);
    bool updateContacts(const CNContactList& contacts);
    bool deleteContacts(const CNContactList& contacts);
    bool moveContacts(const CNContactList& contacts, const CNGroup& group);
    bool removeContacts(const CNContactList& contacts, const CNGroup& group);
    // Runs without waiting; block(success) runs on the save queue.
    void deleteContacts(const CNContactList& contacts, std::function<void(bool)> block);

    // --- request builders: add to a request the caller owns, without executing it
    static void addGroup(const CNGroup& group, const QString& containerIdentifier, CNSaveRequest& request);
    static void updateGroup(const CNGroup& group, CNSaveRequest& request);
    static void addSubGroup(const CNGroup& subgroup, const CNGroup& group, CNSaveRequest& request);
    static void removeContacts(const CNContactList& contacts, const CNGroup& group, CNSaveRequest& request);

    // Runs request on the save queue and waits; must not be called from the save queue.
    // The store's error, when it gave one, is also passed to *error.
    bool executeSaveRequest(const CNSaveRequest& request, const QString& defaultError, CNError* error = nullptr);
    // Runs request on the save queue without waiting; block(success) runs on the save queue.
    void executeSaveRequest(CNSaveRequest request, std::function<void(bool)> block);

    // The window in which store-change notifications are ignored.
    void beginDiscardStoreDidChangedNotify();
    void endDiscardStoreDidChangedNotify();
    bool discardStoreDidChangedNotify() const { return m_discard.load(); }
    bool updatingStore() const { return m_updatingStore.load(); }
    void setUpdatingStore(bool updating) { m_updatingStore.store(updating); }

    // How long the program's own writes are held back; tests shorten it.
    static constexpr int kDiscardWindowMs = 20000;
    void setDiscardWindowInterval(int milliseconds) { m_discardWindowMs = milliseconds; }

    KQDispatchQueuePtr execQueue();

    // --- the accounts, rebuilt by the reload of all accounts
    std::vector<KQContainerHelperPtr> allContainerHelpers() const { return m_allContainerHelpers; }
    int countOfAllContainerHelpers() const { return static_cast<int>(m_allContainerHelpers.size()); }
    void insertAllContainerHelpers(const std::vector<KQContainerHelperPtr>& helpers, const QList<int>& indexes);
    void removeAllContainerHelpersAtIndexes(const QList<int>& indexes);
    // Starts a reload of all accounts on the background queue and returns at once; ignored while
    // one runs.
    void asyncLoadContainerHelpers();
    // The reload itself, on the calling (background) thread.
    void loadContainerHelpers();
    KQContainerHelperPtr containerHelperWithIdentifier(const QString& identifier) const;
    QStringList availableContainerHelperNames() const;
    // The account of the store's default container; none when the store names none.
    KQContainerHelperPtr defaultContainerHelper() const;
    // What the last failed reload of all accounts says to the user; empty when none failed.
    QString loadErrorMessage() const;
    void setDelegate(KQContactStoreHelperDelegate* delegate) { m_delegate.store(delegate); }
    KQContactStoreHelperDelegate* delegate() const { return m_delegate.load(); }

Q_SIGNALS:
    void allContainerHelpersInserted(const QList<int>& indexes);
    void allContainerHelpersRemoved(const QList<int>& indexes);
    // The reload of all accounts could not read the store completely (loadErrorMessage()).
    void loadErrorChanged();

private:
    KQContainerHelperPtr createContainer(const CNContainer& container, const std::vector<CNGroup>& groups);
    void reportReloadFailure(const CNError& error, const char* what);

    void contactStoreDidChanged();
    void scheduleDiscardStoreDidChangeNotifyInMainThread();
    void delayRespondTimerFired();

    std::shared_ptr<CNContactStore> m_store;
    KQDispatchQueuePtr m_execQueue;
    QPointer<QTimer> m_delayRespondTimer;
    std::atomic<bool> m_discard{false};
    std::atomic<bool> m_updatingStore{false};
    int m_discardWindowMs = kDiscardWindowMs;
    std::vector<KQContainerHelperPtr> m_allContainerHelpers; // changed on the main thread only
    mutable std::mutex m_loadErrorMutex;
    QString m_loadErrorMessage;
    std::atomic<KQContactStoreHelperDelegate*> m_delegate{nullptr};
};
