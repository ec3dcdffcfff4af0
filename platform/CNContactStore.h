#pragma once
// The contact store: accounts (containers), groups with subgroups, contacts with every field,
// ordered group membership and images, kept in one SQLite database (WAL mode).
//
// Contract:
// - A fresh store holds one local container (type 1), which is the default container.
// - Fetches fill only the requested keys; the other fields of a fetched contact are unavailable.
//   A fetch that fails returns an empty result and sets the error.
// - executeSaveRequest applies every operation of the request in one transaction: either all of
//   them are stored or none, and the error says which operation failed and why.
// - After any committed change, by this process or another one, the store emits didChange() and
//   posts CNContactStoreDidChangeNotification on the default notification centre, from any thread.
// - A store whose database cannot be opened or created refuses access (authorization status
//   Denied) and every operation fails with DataAccessAuthorizationDenied.
// Every method may be called from any thread.

#include "platform/CNContact.h"
#include "platform/CNContactFetchRequest.h"
#include "platform/CNContainer.h"
#include "platform/CNError.h"
#include "platform/CNGroup.h"
#include "platform/CNMutableContact.h"
#include "platform/CNPredicate.h"
#include "platform/CNSaveRequest.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

extern const QString CNContactStoreDidChangeNotification;

enum class CNEntityType : int { Contacts = 0 };
enum class CNAuthorizationStatus : int { NotDetermined = 0, Restricted = 1, Denied = 2, Authorized = 3 };

class CNContactStoreBackend;

class CNContactStore : public QObject
{
    Q_OBJECT
public:
    // Opens the store at databasePath, creating it when needed; an empty path opens the user's
    // store (defaultDatabasePath()).
    explicit CNContactStore(const QString& databasePath = QString(), QObject* parent = nullptr);
    ~CNContactStore() override;

    static QString defaultDatabasePath();
    QString databasePath() const;

    CNAuthorizationStatus authorizationStatusForEntityType(CNEntityType type) const;
    // Calls completion (granted, error) before returning, on the calling thread.
    void requestAccessForEntityType(CNEntityType type,
                                    const std::function<void(bool granted, const CNError& error)>& completion);

    // No predicate: every container, in creation order.
    std::vector<CNContainer> containersMatchingPredicate(const std::optional<CNContainerPredicate>& predicate,
                                                         CNError* error = nullptr) const;
    // No predicate: every group of every container, in creation order.
    std::vector<CNGroup> groupsMatchingPredicate(const std::optional<CNGroupPredicate>& predicate,
                                                 CNError* error = nullptr) const;
    QString defaultContainerIdentifier() const;

    // Calls block for each matching contact, in order (group order for a group predicate, creation
    // order otherwise), synchronously on the calling thread; setting *stop ends the enumeration.
    bool enumerateContactsWithFetchRequest(const CNContactFetchRequest& request, CNError* error,
                                           const std::function<void(const CNContactPtr& contact, bool* stop)>& block)
        const;
    // As above, for a caller that reads each contact once and keeps none: the contact block sees
    // is valid only during the call (the store may fill the same one for every row), which saves
    // making a contact per row.
    bool enumerateTransientContactsWithFetchRequest(
        const CNContactFetchRequest& request, CNError* error,
        const std::function<void(const CNContact& contact, bool* stop)>& block) const;
    CNContactList unifiedContactsMatchingPredicate(const CNContactPredicate& predicate, const QStringList& keys,
                                                   CNError* error = nullptr) const;

    bool executeSaveRequest(const CNSaveRequest& request, CNError* error = nullptr);

    // Account settings: what the desktop's account preferences do.
    bool addContainer(const CNContainer& container, CNError* error = nullptr);
    bool renameContainer(const QString& identifier, const QString& name, CNError* error = nullptr);
    // Removes the container with its groups and contacts.
    bool removeContainer(const QString& identifier, CNError* error = nullptr);
    bool setDefaultContainerIdentifier(const QString& identifier, CNError* error = nullptr);

    // Closes the store at the end of the process, after every thread that used it has ended: what
    // the database holds in its journal is written into the store file and the file is released,
    // so that the next start knows the store was left in order. Later calls fail.
    void close();

Q_SIGNALS:
    void didChange();

private:
    std::unique_ptr<CNContactStoreBackend> m_backend;
};
