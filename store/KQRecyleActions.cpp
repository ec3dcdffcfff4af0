#include "store/KQRecyleActions.h"

#include "store/KQGroupHelper.h"
#include "store/KQStorage.h"

namespace {

using DelegatePtr = KQRecyleActions::DelegatePtr;

void reportProgress(const DelegatePtr& delegate, size_t done, size_t total)
{
    if (!delegate || total == 0)
        return;
    const int percent = static_cast<int>(done * 100 / total);
    KQDispatch::mainAsync([delegate, percent] { delegate->recyleActionsProgress(percent); });
}

bool shouldCancel(const DelegatePtr& delegate)
{
    return delegate && delegate->recyleActionsShouldCancel();
}

void willSave(const DelegatePtr& delegate)
{
    if (delegate)
        KQDispatch::mainSync([&delegate] { delegate->recyleActionsWillSave(); });
}

// Takes records the operation had filed in an account back out of it (store write refused).
void forgetRecords(const KQContainerHelperPtr& account, const KQContactHelperList& records)
{
    for (const auto& record : records)
        account->deleteContactHelper(record);
}

} // namespace

KQRecyleActions::KQRecyleActions(KQContactStoreHelper* storeHelper, KQStorage* storage,
                                 std::shared_ptr<KQContainerRecyle> recyle,
                                 std::shared_ptr<KQContainerLatestImport> latestImport,
                                 AccountLookup accountWithIdentifier)
    : m_storeHelper(storeHelper), m_storage(storage), m_recyle(std::move(recyle)),
      m_latestImport(std::move(latestImport)), m_accountWithIdentifier(std::move(accountWithIdentifier))
{
}

QString KQRecyleActions::recyleActionsAccountMissingMessage()
{
    return QStringLiteral("Can not put back contact");
}

QString KQRecyleActions::recyleActionsAccountMissingInformativeText()
{
    return QStringLiteral("The account this contact belongs to cannot be detected.");
}

// ---------------------------------------------------------------- delete into the Trash

void KQRecyleActions::deleteContactHelpers(const KQContainerHelperPtr& account, const KQContactHelperList& records,
                                           const DelegatePtr& delegate, Completion completion) const
{
    const KQRecyleActions self = *this;
    KQDispatch::globalAsync([self, account, records, delegate, completion = std::move(completion)] {
        KQRecyleActionResult result;
        std::vector<KQContactRecylePtr> entries;
        CNSaveRequest request;
        for (size_t k = 0; account && k < records.size(); ++k) {
            if (shouldCancel(delegate)) {
                result.cancelled = true;
                break;
            }
            reportProgress(delegate, k, records.size());
            KQContactRecylePtr entry;
            KQDispatch::mainSync([&] { entry = account->deleteContactHelper(records[k]); });
            if (!entry)
                continue;
            request.deleteContact(*entry->contact());
            entries.push_back(entry);
            result.done.push_back(records[k]);
        }
        if (!entries.empty()) {
            willSave(delegate);
            result.success =
                self.m_storeHelper->executeSaveRequest(request, QStringLiteral("Failed to delete contacts."));
        }
        KQDispatch::mainAsync([self, account, entries, result, completion]() mutable {
            if (result.success) {
                self.m_recyle->addContactRecyles(entries);
                if (!entries.empty())
                    self.m_storage->saveDefaultContainerRecyle(self.m_recyle.get());
                result.made.assign(entries.begin(), entries.end());
            } else {
                // The contacts are still in the store: show them again where they were.
                for (size_t i = 0; i < entries.size(); ++i) {
                    for (const QString& groupId : entries[i]->groupsIdentifier()) {
                        if (auto group = account->groupWithIdentifier(groupId))
                            group->addContactHelper(result.done[i]);
                    }
                }
                account->addContactHelpers(result.done);
            }
            if (completion)
                completion(result);
        });
    });
}

// ---------------------------------------------------------------- put back

void KQRecyleActions::putBackContactRecyles(const std::vector<KQContactRecylePtr>& entries, const DelegatePtr& delegate,
                                            Completion completion) const
{
    const KQRecyleActions self = *this;
    KQDispatch::globalAsync([self, entries, delegate, completion = std::move(completion)] {
        reportProgress(delegate, 0, 1);
        KQRecyleActionResult result;
        CNSaveRequest request;
        std::vector<KQContainerHelperPtr> accounts; // in the order they first received an entry
        std::vector<std::pair<KQContainerHelperPtr, KQContactHelperPtr>> made;
        for (const auto& entry : entries) {
            if (!entry)
                continue;
            KQContainerHelperPtr account;
            KQDispatch::mainSync([&] { account = self.m_accountWithIdentifier(entry->containerIdentifier()); });
            if (!account) {
                result.accountMissing = true;
                continue;
            }
            KQDispatch::mainSync([&] {
                account->putBackContactRecyle(entry, request);
                made.emplace_back(account, account->restoreObjects().back().contact);
            });
            if (std::find(accounts.begin(), accounts.end(), account) == accounts.end())
                accounts.push_back(account);
            result.done.push_back(entry);
            reportProgress(delegate, result.done.size() - 1, entries.size());
            if (shouldCancel(delegate)) {
                result.cancelled = true;
                break;
            }
        }
        for (const auto& account : accounts)
            account->Refresh();
        if (!request.isEmpty()) {
            willSave(delegate);
            result.success = self.m_storeHelper->executeSaveRequest(
                request, QStringLiteral("Failed to put back contacts, reason unknown."));
        }
        // Queued after the accounts' Refresh, so the put-back records are listed by now.
        KQDispatch::mainAsync([self, made, result, delegate, completion]() mutable {
            if (result.success) {
                self.m_recyle->removeContactHelpers(result.done);
                if (!result.done.empty())
                    self.m_storage->saveDefaultContainerRecyle(self.m_recyle.get());
                for (const auto& [account, record] : made)
                    result.made.push_back(record);
            } else {
                for (const auto& [account, record] : made)
                    forgetRecords(account, {record});
                result.done.clear();
            }
            if (result.accountMissing && delegate)
                delegate->recyleActionsAccountMissing();
            if (completion)
                completion(result);
        });
    });
}

// ---------------------------------------------------------------- drop onto an account or a group

void KQRecyleActions::dropContactHelpers(const KQContactHelperList& records, const KQGroupTreeNodePtr& source,
                                         const KQGroupTreeNodePtr& target, const DelegatePtr& delegate,
                                         Completion completion) const
{
    const KQRecyleActions self = *this;
    KQDispatch::globalAsync([self, records, source, target, delegate, completion = std::move(completion)] {
        KQRecyleActionResult result;
        KQContainerHelperPtr account;
        std::shared_ptr<KQGroupHelper> group;
        KQDispatch::mainSync([&] {
            group = std::dynamic_pointer_cast<KQGroupHelper>(target);
            account = std::dynamic_pointer_cast<KQContainerHelper>(target);
            if (group && group->containerHelper())
                account = std::static_pointer_cast<KQContainerHelper>(group->containerHelper()->shared_from_this());
        });
        const bool fromPseudo = std::dynamic_pointer_cast<KQContainerRecyle>(source) ||
                                std::dynamic_pointer_cast<KQContainerLatestImport>(source);
        CNSaveRequest request;
        for (size_t k = 0; account && fromPseudo && k < records.size(); ++k) {
            if (shouldCancel(delegate)) {
                result.cancelled = true;
                break;
            }
            reportProgress(delegate, k, records.size());
            const CNContactPtr contact = records[k] ? records[k]->effectiveContact() : nullptr;
            if (!contact)
                continue;
            auto copy = std::make_shared<CNMutableContact>();
            KQContactStoreHelper::duplicateContact(*contact, *copy);
            request.addContact(*copy, account->identifier());
            if (group)
                request.addMember(*copy, group->group());
            KQDispatch::mainSync([&] {
                const KQContactHelperPtr record = account->makeContactHelperIfNecessaryWithContact(copy, true);
                account->addContactHelper(record);
                if (group)
                    group->addContactHelper(record);
                result.made.push_back(record);
            });
            result.done.push_back(records[k]);
        }
        if (!request.isEmpty()) {
            willSave(delegate);
            // One request for contacts and memberships, so that a refusal leaves nothing behind.
            result.success = self.m_storeHelper->executeSaveRequest(
                request,
                QStringLiteral("Failed add contacts to container(%1), reason unknown.").arg(account->identifier()));
        }
        KQDispatch::mainAsync([self, source, account, result, completion]() mutable {
            if (result.success) {
                if (!result.done.empty()) {
                    source->removeContactHelpers(result.done);
                    self.saveSourceNode(source.get());
                }
            } else {
                forgetRecords(account, result.made);
                result.made.clear();
                result.done.clear();
            }
            if (completion)
                completion(result);
        });
    });
}

// ---------------------------------------------------------------- immediate operations

bool KQRecyleActions::saveSourceNode(const KQGroupTreeNode* node) const
{
    if (node == m_recyle.get())
        return m_storage->saveDefaultContainerRecyle(m_recyle.get());
    if (node == m_latestImport.get())
        return m_storage->saveDefaultContainerLatestImport(m_latestImport.get());
    // A save may take in entries another running copy saved meanwhile, so the node changes.
    auto* changing = const_cast<KQGroupTreeNode*>(node);
    if (auto recyle = dynamic_cast<KQContainerRecyle*>(changing))
        return m_storage->saveDefaultContainerRecyle(recyle);
    if (auto latestImport = dynamic_cast<KQContainerLatestImport*>(changing))
        return m_storage->saveDefaultContainerLatestImport(latestImport);
    return false;
}

bool KQRecyleActions::deleteContactRecyles(const KQContactHelperList& entries) const
{
    m_recyle->removeContactHelpers(entries);
    return m_storage->saveDefaultContainerRecyle(m_recyle.get());
}

bool KQRecyleActions::deleteLatestImportContacts(const KQContactHelperList& records) const
{
    m_latestImport->removeContactHelpers(records);
    return m_storage->saveDefaultContainerLatestImport(m_latestImport.get());
}

bool KQRecyleActions::endLatestImport() const
{
    const bool marked = m_latestImport->needSaveLatestImport();
    m_latestImport->setNeedSaveLatestImport(false);
    return marked && m_storage->saveDefaultContainerLatestImport(m_latestImport.get());
}
