#include "exchange/KQImportPlacement.h"

#include "platform/KQDispatch.h"
#include "platform/KQLog.h"
#include "store/KQContactStoreHelper.h"
#include "store/KQGroupHelper.h"
#include "store/KQStorage.h"

KQImportPlacement::KQImportPlacement(std::shared_ptr<KQContainerLatestImport> latestImport, KQStorage* storage)
    : m_latestImport(std::move(latestImport)), m_storage(storage)
{
}

KQImportPlacement::KQImportPlacement(KQContainerHelperPtr account, KQGroupTreeNodePtr group,
                                     KQContactStoreHelper* storeHelper)
    : m_account(std::move(account)), m_group(std::move(group)), m_storeHelper(storeHelper)
{
}

void KQImportPlacement::importExportMgrStartProcess(KQImportExportMgr* manager)
{
    Q_UNUSED(manager);
    if (m_latestImport)
        m_latestImport->setNeedSaveLatestImport(true);
}

bool KQImportPlacement::importExportMgrProgress(KQImportExportMgr* manager, double percent, const QString& filePath)
{
    Q_UNUSED(manager);
    if (!m_cancelled && m_progress && m_progress(percent, filePath))
        m_cancelled = true;
    return m_cancelled;
}

void KQImportPlacement::importExportMgrGetContacts(KQImportExportMgr* manager, const KQContactHelperList& contacts)
{
    Q_UNUSED(manager);
    m_received.insert(m_received.end(), contacts.begin(), contacts.end());
}

std::optional<QStringList> KQImportPlacement::importExportMgrMapFields(KQImportExportMgr* manager,
                                                                       const QString& filePath,
                                                                       const QStringList& titles,
                                                                       const QStringList& keys)
{
    Q_UNUSED(manager);
    return m_fieldMap ? m_fieldMap(filePath, titles, keys) : std::nullopt;
}

void KQImportPlacement::importExportMgrCompleteProcess(KQImportExportMgr* manager)
{
    if (m_cancelled || manager->lastJobCancelled()) {
        KQLog(QStringLiteral("Cancel import"));
        m_received.clear();
        if (m_latestImport)
            m_latestImport->setNeedSaveLatestImport(false);
        finish(false, QStringLiteral("import cancelled; nothing was added"));
        return;
    }
    if (m_allOrNothing && !manager->lastJobErrors().isEmpty()) {
        m_received.clear();
        if (m_latestImport)
            m_latestImport->setNeedSaveLatestImport(false);
        finish(false, manager->lastJobErrors().join(QLatin1Char('\n')) + QStringLiteral("\nnothing was added"));
        return;
    }
    if (m_latestImport) {
        m_latestImport->receiveImportedContacts(m_received);
        m_latestImport->setNeedSaveLatestImport(false);
        const bool saved = m_storage == nullptr || m_storage->saveDefaultContainerLatestImport(m_latestImport.get());
        finish(saved, saved ? QString() : QStringLiteral("cannot save the Last Import list"));
        return;
    }
    saveIntoAccount();
}

void KQImportPlacement::saveIntoAccount()
{
    if (m_received.empty()) {
        finish(true, QString());
        return;
    }
    const QString container = m_account->identifier();
    std::optional<CNGroup> group;
    if (const auto* node = dynamic_cast<const KQGroupHelper*>(m_group.get()))
        group = node->group();
    // The request copies every contact: for a large import that is made off the main thread, so
    // that the windows stay responsive while it is built.
    KQDispatch::globalAsync([this, records = m_received, container, group = std::move(group)] {
        CNSaveRequest request;
        for (const KQContactHelperPtr& record : records) {
            const CNContactPtr contact = record->effectiveContact();
            request.addContact(*contact, container);
            if (group)
                request.addMember(*contact, *group);
        }
        // One request for everything: the store takes all of the contacts or none.
        m_storeHelper->executeSaveRequest(std::move(request), [this](bool ok) {
            KQDispatch::mainAsync([this, ok] {
                if (!ok) {
                    finish(false, QStringLiteral("the contact store refused the import; nothing was added"));
                    return;
                }
                if (m_account->isContactsLoaded())
                    m_account->addContactHelpers(m_received);
                if (m_group && m_group->isContactsLoaded())
                    m_group->addContactHelpers(m_received);
                finish(true, QString());
            });
        });
    });
}

void KQImportPlacement::finish(bool ok, const QString& message)
{
    const int count = ok ? static_cast<int>(m_received.size()) : 0;
    if (m_finished)
        m_finished(ok, message, count);
}
