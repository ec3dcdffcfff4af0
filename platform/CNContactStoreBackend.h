#pragma once
// What stores the accounts behind CNContactStore. The store checks access and passes every call
// on; a backend keeps the data, applies save requests atomically and reports committed changes.
// Further kinds of account (a server account, for example) come in as further backends.
// Every method may be called from any thread.

#include "platform/CNContact.h"
#include "platform/CNContainer.h"
#include "platform/CNError.h"
#include "platform/CNGroup.h"
#include "platform/CNPredicate.h"
#include "platform/CNSaveRequest.h"

#include <QString>
#include <functional>
#include <optional>
#include <vector>

class CNContactStoreBackend
{
public:
    using ContactBlock = std::function<void(const CNContactPtr& contact, bool* stop)>;
    // Sees a contact that lives only for the call.
    using TransientContactBlock = std::function<void(const CNContact& contact, bool* stop)>;
    // Called on any thread after changes were committed, by this process or another one. A
    // backend takes it at construction and stops calling it before its destructor returns.
    using ChangeHandler = std::function<void()>;

    virtual ~CNContactStoreBackend() = default;

    // Where the data lives (a file path, an address), for messages.
    virtual QString location() const = 0;
    // False when the data cannot be reached; openError() says why. The store then refuses access.
    virtual bool isOpen() const = 0;
    virtual CNError openError() const = 0;
    // Ends the use of the data for this process: pending work is written out and every connection
    // is released. Every later call fails as for a store that could not be opened.
    virtual void close() = 0;

    virtual std::vector<CNContainer> containers(const std::optional<CNContainerPredicate>& predicate,
                                                CNError* error) = 0;
    virtual std::vector<CNGroup> groups(const std::optional<CNGroupPredicate>& predicate, CNError* error) = 0;
    virtual QString defaultContainerIdentifier() = 0;
    // Calls block with each matching contact, holding exactly the keys of keys.
    virtual bool enumerateContacts(const std::optional<CNContactPredicate>& predicate, const CNKeySet& keys,
                                   CNError* error, const ContactBlock& block) = 0;
    // As enumerateContacts, but the contact passed to block is valid only during the call: a backend
    // may fill one contact again for every row, so that a caller reading each row once (into a
    // row of a list, say) pays for no contact of its own.
    virtual bool enumerateTransientContacts(const std::optional<CNContactPredicate>& predicate, const CNKeySet& keys,
                                            CNError* error, const TransientContactBlock& block)
    {
        return enumerateContacts(predicate, keys, error,
                                 [&block](const CNContactPtr& contact, bool* stop) { block(*contact, stop); });
    }
    // All operations or none.
    virtual bool executeSaveRequest(const CNSaveRequest& request, CNError* error) = 0;

    virtual bool addContainer(const CNContainer& container, CNError* error) = 0;
    virtual bool renameContainer(const QString& identifier, const QString& name, CNError* error) = 0;
    virtual bool removeContainer(const QString& identifier, CNError* error) = 0;
    virtual bool setDefaultContainerIdentifier(const QString& identifier, CNError* error) = 0;
};
