#include "app/windows/KQContactMover.h"

#include "app/windows/KQProgressWndCtrl.h"
#include "platform/KQLog.h"
#include "store/KQContactManager.h"
#include "store/KQGroupHelper.h"

#include <QMessageBox>
#include <QWidget>

namespace {

int percentOf(size_t done, size_t total)
{
    return total == 0 ? 0 : static_cast<int>(done * 100 / total);
}

KQContainerHelperPtr accountOf(const KQGroupTreeNodePtr& node)
{
    KQContainerHelper* account = node ? node->containerHelper() : nullptr;
    if (account == nullptr)
        return nullptr;
    return std::static_pointer_cast<KQContainerHelper>(account->shared_from_this());
}

CNContactList contactsOf(const KQContactHelperList& records)
{
    CNContactList contacts;
    contacts.reserve(records.size());
    for (const auto& record : records)
        contacts.push_back(record->contact());
    return contacts;
}

} // namespace

// Bridges the Trash operations to the progress sheet.
class KQContactMover::SheetDelegate : public KQRecyleActionsDelegate
{
public:
    void recyleActionsProgress(int percent) override
    {
        KQProgressWndCtrl::sharedProgressWndCtrl()->setPercent(percent);
    }
    bool recyleActionsShouldCancel() override { return KQProgressWndCtrl::sharedProgressWndCtrl()->cancelled(); }
    void recyleActionsWillSave() override { KQProgressWndCtrl::sharedProgressWndCtrl()->setHideCancelButton(true); }
    void recyleActionsAccountMissing() override { accountMissing = true; }
    bool accountMissing = false;
};

KQContactMover::KQContactMover(KQContactManager* manager, QWidget* window, QObject* parent)
    : QObject(parent), m_manager(manager), m_window(window),
      m_alert([window](const QString& message, const QString& informative) {
          QMessageBox box(QMessageBox::Warning, message, message, QMessageBox::Ok, window);
          box.setInformativeText(informative);
          box.exec();
      })
{
}

void KQContactMover::beginSheet()
{
    KQProgressWndCtrl* sheet = KQProgressWndCtrl::sharedProgressWndCtrl();
    sheet->reset(QStringLiteral("Process..."));
    sheet->beginSheetForWindow(m_window);
}

void KQContactMover::endSheet()
{
    KQProgressWndCtrl* sheet = KQProgressWndCtrl::sharedProgressWndCtrl();
    sheet->endSheet();
    sheet->setHideCancelButton(false);
}

bool KQContactMover::moveContacts(const KQContactHelperList& records, const KQGroupTreeNodePtr& source,
                                  const KQGroupTreeNodePtr& target, Done done)
{
    const KQDropOperation operation = KQDropRules::operationForDrop(source.get(), target.get());
    if (operation == KQDropOperation::None || records.empty())
        return false;
    switch (operation) {
    case KQDropOperation::Delete:
        deleteContacts(records, source, std::move(done));
        break;
    case KQDropOperation::Move:
        if (KQDropRules::isPseudoAccount(source.get())) {
            beginSheet();
            auto delegate = std::make_shared<SheetDelegate>();
            QPointer<KQContactMover> self(this);
            m_manager->recyleActions().dropContactHelpers(records, source, target, delegate,
                                                          [self, done](const KQRecyleActionResult& result) {
                                                              if (self)
                                                                  self->endSheet();
                                                              if (done)
                                                                  done(result.success);
                                                          });
        } else {
            changeGroup(records, source, target, std::move(done));
        }
        break;
    case KQDropOperation::Copy:
        // Into a group of the records' own account a copy would only duplicate them: they join it.
        if (KQDropRules::sameAccount(source.get(), target.get()))
            changeGroup(records, nullptr, target, std::move(done));
        else
            copyInto(records, target, std::move(done));
        break;
    case KQDropOperation::None:
        break;
    }
    return true;
}

void KQContactMover::changeGroup(const KQContactHelperList& records, const KQGroupTreeNodePtr& source,
                                 const KQGroupTreeNodePtr& target, Done done)
{
    auto sourceGroup = std::dynamic_pointer_cast<KQGroupHelper>(source);
    auto targetGroup = std::dynamic_pointer_cast<KQGroupHelper>(target);
    beginSheet();
    KQContactStoreHelper* store = m_manager->storeHelper();
    QPointer<KQContactMover> self(this);
    KQDispatch::globalAsync([self, store, records, sourceGroup, targetGroup, done] {
        KQProgressWndCtrl* sheet = KQProgressWndCtrl::sharedProgressWndCtrl();
        CNSaveRequest request;
        KQContactHelperList moved;
        for (size_t k = 0; k < records.size(); ++k) {
            if (sheet->cancelled())
                break;
            sheet->postProgress(percentOf(k, records.size()));
            if (targetGroup && !targetGroup->contactHelperExist(records[k].get()))
                request.addMember(*records[k]->contact(), targetGroup->group());
            moved.push_back(records[k]);
        }
        if (sourceGroup && !moved.empty())
            KQContactStoreHelper::removeContacts(contactsOf(moved), sourceGroup->group(), request);
        bool success = true;
        if (!request.isEmpty()) {
            KQDispatch::mainSync([] { KQProgressWndCtrl::sharedProgressWndCtrl()->setHideCancelButton(true); });
            const QString name = targetGroup ? targetGroup->groupName() : sourceGroup->groupName();
            success =
                store->executeSaveRequest(request, QStringLiteral("Failed to move contacts to group(%1)").arg(name));
        }
        KQDispatch::mainAsync([self, success, moved, sourceGroup, targetGroup, done] {
            if (success) {
                if (targetGroup) {
                    KQContactHelperList added;
                    for (const auto& record : moved) {
                        if (!targetGroup->contactHelperExist(record.get()))
                            added.push_back(record);
                    }
                    targetGroup->addContactHelpers(added);
                }
                if (sourceGroup)
                    sourceGroup->removeContactHelpers(moved);
            }
            if (self) {
                self->endSheet();
                if (!success)
                    self->m_alert(QStringLiteral("The contacts could not be moved."),
                                  QStringLiteral("The contact store refused the change; nothing was moved."));
            }
            if (done)
                done(success);
        });
    });
}

void KQContactMover::copyInto(const KQContactHelperList& records, const KQGroupTreeNodePtr& target, Done done)
{
    const KQContainerHelperPtr account = accountOf(target);
    if (!account)
        return;
    auto group = std::dynamic_pointer_cast<KQGroupHelper>(target);
    beginSheet();
    KQContactStoreHelper* store = m_manager->storeHelper();
    QPointer<KQContactMover> self(this);
    KQDispatch::globalAsync([self, store, records, account, group, done] {
        KQProgressWndCtrl* sheet = KQProgressWndCtrl::sharedProgressWndCtrl();
        CNSaveRequest request;
        std::vector<CNMutableContactPtr> copies;
        for (size_t k = 0; k < records.size(); ++k) {
            if (sheet->cancelled())
                break;
            sheet->postProgress(percentOf(k, records.size()));
            records[k]->syncLoadAllKeysIfNecessary();
            CNMutableContactPtr copy = store->duplicateContact(*records[k]->effectiveContact());
            request.addContact(*copy, account->identifier());
            if (group)
                request.addMember(*copy, group->group());
            copies.push_back(copy);
        }
        bool success = true;
        if (!request.isEmpty()) {
            KQDispatch::mainSync([] { KQProgressWndCtrl::sharedProgressWndCtrl()->setHideCancelButton(true); });
            // Contacts and memberships in one request: a refusal leaves nothing behind.
            success = store->executeSaveRequest(
                request,
                QStringLiteral("Failed add contacts to container(%1), reason unknown.").arg(account->identifier()));
        }
        KQDispatch::mainAsync([self, success, copies, account, group, done] {
            if (success) {
                KQContactHelperList made;
                for (const auto& copy : copies)
                    made.push_back(account->makeContactHelperIfNecessaryWithContact(copy, true));
                account->addContactHelpers(made);
                if (group)
                    group->addContactHelpers(made);
            }
            if (self) {
                self->endSheet();
                if (!success)
                    self->m_alert(QStringLiteral("The contacts could not be copied."),
                                  QStringLiteral("The contact store refused the change; nothing was copied."));
            }
            if (done)
                done(success);
        });
    });
}

void KQContactMover::deleteContacts(const KQContactHelperList& records, const KQGroupTreeNodePtr& node, Done done)
{
    if (records.empty())
        return;
    const KQRecyleActions actions = m_manager->recyleActions();
    if (KQDropRules::isTrash(node.get())) {
        const bool saved = actions.deleteContactRecyles(records);
        if (done)
            done(saved);
        return;
    }
    if (KQDropRules::isLastImport(node.get())) {
        const bool saved = actions.deleteLatestImportContacts(records);
        if (done)
            done(saved);
        return;
    }
    const KQContainerHelperPtr account = accountOf(node);
    if (!account)
        return;
    beginSheet();
    auto delegate = std::make_shared<SheetDelegate>();
    QPointer<KQContactMover> self(this);
    actions.deleteContactHelpers(account, records, delegate, [self, done](const KQRecyleActionResult& result) {
        if (self)
            self->endSheet();
        if (done)
            done(result.success);
    });
}

void KQContactMover::removeContactsFromGroup(const KQContactHelperList& records, const KQGroupTreeNodePtr& node,
                                             Done done)
{
    auto group = std::dynamic_pointer_cast<KQGroupHelper>(node);
    if (!group || records.empty())
        return;
    beginSheet();
    KQContactStoreHelper* store = m_manager->storeHelper();
    QPointer<KQContactMover> self(this);
    KQDispatch::globalAsync([self, store, records, group, done] {
        KQProgressWndCtrl* sheet = KQProgressWndCtrl::sharedProgressWndCtrl();
        CNSaveRequest request;
        KQContactHelperList removed;
        for (size_t k = 0; k < records.size(); ++k) {
            if (sheet->cancelled())
                break;
            sheet->postProgress(percentOf(k, records.size()));
            removed.push_back(records[k]);
        }
        KQContactStoreHelper::removeContacts(contactsOf(removed), group->group(), request);
        bool success = true;
        if (!request.isEmpty()) {
            KQDispatch::mainSync([] { KQProgressWndCtrl::sharedProgressWndCtrl()->setHideCancelButton(true); });
            success = store->executeSaveRequest(
                request, QStringLiteral("Failed to remove contacts from group(%1)").arg(group->groupName()));
        }
        KQDispatch::mainAsync([self, success, removed, group, done] {
            if (success)
                group->removeContactHelpers(removed);
            if (self) {
                self->endSheet();
                if (!success)
                    self->m_alert(QStringLiteral("Failed to remove contacts from group(%1)").arg(group->groupName()),
                                  QString());
            }
            if (done)
                done(success);
        });
    });
}

void KQContactMover::putBack(const std::vector<KQContactRecylePtr>& entries, Done done)
{
    if (entries.empty())
        return;
    beginSheet();
    auto delegate = std::make_shared<SheetDelegate>();
    QPointer<KQContactMover> self(this);
    m_manager->recyleActions().putBackContactRecyles(
        entries, delegate, [self, delegate, done](const KQRecyleActionResult& result) {
            if (self) {
                self->endSheet();
                if (delegate->accountMissing)
                    self->m_alert(KQRecyleActions::recyleActionsAccountMissingMessage(),
                                  KQRecyleActions::recyleActionsAccountMissingInformativeText());
            }
            if (done)
                done(result.success);
        });
}
