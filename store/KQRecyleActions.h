#pragma once
// The operations that move contacts between the accounts, the Trash and the Last Import list:
// deleting contacts of an account into the Trash, putting Trash entries back, dropping Trash or
// Last Import records onto an account or a group, deleting in the Trash or in Last Import, and
// the end of an import into Last Import. The windows drive them and show their progress.
//
// Contract of the long operations (delete, put back, drop): each runs as one block on the global
// background queue and returns at once. Between records it reports progress (k x 100 / N, k the
// records done before this one) and asks whether to stop; the in-memory tree changes on the main
// thread, record by record; then one store write of everything done, after which the Trash or
// Last Import list changes and its file is saved. When the store refuses the write, the in-memory
// changes are undone and the Trash and Last Import lists stay as they were. completion runs on the
// main thread at the very end.

#include "store/KQContactStoreHelper.h"
#include "store/KQContainerHelper.h"
#include "store/KQContainerLatestImport.h"
#include "store/KQContainerRecyle.h"

#include <functional>
#include <memory>

class KQStorage;

// What the window in charge hears from a long operation.
class KQRecyleActionsDelegate
{
public:
    virtual ~KQRecyleActionsDelegate() = default;
    // Main thread; percent from 0 to 100.
    virtual void recyleActionsProgress(int percent) { Q_UNUSED(percent); }
    // Background queue, before each record; true stops the loop (what was done so far is kept).
    virtual bool recyleActionsShouldCancel() { return false; }
    // Main thread: the store write begins and can no longer be cancelled (the sheet hides its
    // cancel button).
    virtual void recyleActionsWillSave() {}
    // Main thread, at the end of a put-back that met entries whose account no longer exists (they
    // stay in the Trash). The window shows recyleActionsAccountMissingMessage and its informative
    // text with one button "OK".
    virtual void recyleActionsAccountMissing() {}
};

struct KQRecyleActionResult
{
    // The store accepted the write (also true when there was nothing to write).
    bool success = true;
    bool cancelled = false;
    // Put back only: some entries named an account that no longer exists.
    bool accountMissing = false;
    // The records handled: deleted from the account, put back (the Trash entries) or dropped.
    KQContactHelperList done;
    // The new records in the target account (put back, drop) or the new Trash entries (delete).
    KQContactHelperList made;
};

class KQRecyleActions
{
public:
    using AccountLookup = std::function<KQContainerHelperPtr(const QString& identifier)>;
    using Completion = std::function<void(const KQRecyleActionResult&)>;
    using DelegatePtr = std::shared_ptr<KQRecyleActionsDelegate>;

    // storeHelper and storage must outlive every operation started here.
    KQRecyleActions(KQContactStoreHelper* storeHelper, KQStorage* storage, std::shared_ptr<KQContainerRecyle> recyle,
                    std::shared_ptr<KQContainerLatestImport> latestImport, AccountLookup accountWithIdentifier);

    static QString recyleActionsAccountMissingMessage();
    static QString recyleActionsAccountMissingInformativeText();

    // Deletes records of account: each becomes a Trash entry, the store deletes the contacts, then
    // the entries are appended to the Trash and the Trash file is saved.
    void deleteContactHelpers(const KQContainerHelperPtr& account, const KQContactHelperList& records,
                              const DelegatePtr& delegate, Completion completion) const;
    // Puts entries back into the accounts they came from (one save request for all). Entries whose
    // account is gone stay in the Trash and the delegate hears recyleActionsAccountMissing.
    void putBackContactRecyles(const std::vector<KQContactRecylePtr>& entries, const DelegatePtr& delegate,
                               Completion completion) const;
    // Copies Trash entries or Last Import records (source is the Trash or the Last Import node)
    // into target, an account or a group: the copies get new identifiers and are written to the
    // store; then the records leave source and its file is saved.
    void dropContactHelpers(const KQContactHelperList& records, const KQGroupTreeNodePtr& source,
                            const KQGroupTreeNodePtr& target, const DelegatePtr& delegate, Completion completion) const;

    // --- immediate, on the main thread; true when the file was saved
    // Deleting in the Trash view: the entries leave the Trash for good; the store is not touched.
    bool deleteContactRecyles(const KQContactHelperList& entries) const;
    // Deleting in the Last Import view: the records leave the list; the store is not touched.
    bool deleteLatestImportContacts(const KQContactHelperList& records) const;
    // The end of an import: with the Last Import mark set, the list is saved; the mark is cleared.
    bool endLatestImport() const;

private:
    bool saveSourceNode(const KQGroupTreeNode* node) const;

    KQContactStoreHelper* m_storeHelper;
    KQStorage* m_storage;
    std::shared_ptr<KQContainerRecyle> m_recyle;
    std::shared_ptr<KQContainerLatestImport> m_latestImport;
    AccountLookup m_accountWithIdentifier;
};
