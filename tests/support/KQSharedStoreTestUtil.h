#pragma once
// Helpers for tests that work on the process's shared contact store (in the tests' private home)
// through the one contact manager: emptying the store, reloading the accounts, loading a node and
// adding contacts whose records come back loaded.

#include "KQTestUtil.h"
#include "platform/CNContactStore.h"
#include "store/KQContactManager.h"
#include "store/KQContactStoreHelper.h"
#include "store/KQContainerHelper.h"
#include "store/KQPreferences.h"

#include <functional>
#include <gtest/gtest.h>

inline CNContactStore* kqSharedStore()
{
    return KQContactStoreHelper::shared()->contactStore();
}

// Removes every contact and makes sure the contact manager exists; with everything, also every group and every account
// but the local one, and forgets the preferred account.
inline void kqEmptySharedStore(bool everything = false)
{
    CNContactStore* s = kqSharedStore();
    if (everything) {
        for (const CNContainer& c : s->containersMatchingPredicate(std::nullopt)) {
            if (c.identifier() != s->defaultContainerIdentifier()) {
                EXPECT_TRUE(s->removeContainer(c.identifier()));
            }
        }
        KQPreferences::sharePreferences()->setDefaultContainerName(std::nullopt);
    }
    CNSaveRequest cleanup;
    if (everything) {
        for (const CNGroup& g : s->groupsMatchingPredicate(std::nullopt))
            cleanup.deleteGroup(g);
    }
    CNContactFetchRequest all({CNContactIdentifierKey});
    s->enumerateContactsWithFetchRequest(all, nullptr,
                                         [&cleanup](const CNContactPtr& c, bool*) { cleanup.deleteContact(*c); });
    if (!cleanup.isEmpty()) {
        EXPECT_TRUE(s->executeSaveRequest(cleanup));
    }
    KQContactManager::sharedContactManager(); // the accounts' records follow the store from now on
}

// Waits for a running reload of all accounts to end and for queued work on the main thread.
inline bool kqWaitForAccounts()
{
    KQContactStoreHelper* store = KQContactStoreHelper::shared();
    const bool done = kqWaitUntil([store] { return !store->updatingStore(); }, 20000);
    kqSpin(50); // the accounts install their groups asynchronously
    return done;
}

// Starts a reload of all accounts and waits for it.
inline bool kqReloadAccounts()
{
    if (!kqWaitForAccounts())
        return false;
    KQContactStoreHelper::shared()->asyncLoadContainerHelpers();
    return kqWaitForAccounts();
}

inline KQContainerHelperPtr kqLocalAccount()
{
    return KQContactManager::sharedContactManager()->containerHelperWithIdentifier(
        kqSharedStore()->defaultContainerIdentifier());
}

// Fetches a node's contacts afresh and waits for them.
inline void kqLoadNode(const KQGroupTreeNodePtr& node)
{
    node->refetchContacts();
    bool done = false;
    node->loadContactsWithCompleteHandler([&done](KQGroupTreeNode*, bool) { done = true; });
    EXPECT_TRUE(kqWaitUntil([&done] { return done; }, 20000));
}

using KQFill = std::function<void(CNMutableContact&)>;

// Adds contacts to the local account and returns their records (all keys loaded) from account.
inline KQContactHelperList kqAddContacts(const KQContainerHelperPtr& account, const std::vector<KQFill>& fills)
{
    CNSaveRequest request;
    QStringList identifiers;
    for (const auto& fill : fills) {
        CNMutableContact contact;
        fill(contact);
        request.addContact(contact, kqSharedStore()->defaultContainerIdentifier());
        identifiers.append(contact.identifier());
    }
    EXPECT_TRUE(kqSharedStore()->executeSaveRequest(request));
    kqLoadNode(account);
    KQContactHelperList records;
    for (const QString& identifier : std::as_const(identifiers)) {
        for (const auto& contact : account->contacts()) {
            if (contact->identifier() == identifier) {
                contact->syncLoadAllKeysIfNecessary();
                records.push_back(contact);
            }
        }
    }
    return records;
}

// The stored contact with keys, or none.
inline CNContactPtr kqStored(const QString& identifier, const QStringList& keys = CNAllContactKeys())
{
    const CNContactList found = kqSharedStore()->unifiedContactsMatchingPredicate(
        CNContactPredicate::predicateForContactsWithIdentifiers({identifier}), keys, nullptr);
    return found.empty() ? nullptr : found.front();
}

inline bool kqStoreHas(const QString& identifier)
{
    return kqStored(identifier, {CNContactIdentifierKey}) != nullptr;
}
