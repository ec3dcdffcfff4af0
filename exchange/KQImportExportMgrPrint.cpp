// The orchestrator's print job.
#include "exchange/KQImportExportMgrReporter.h"
#include "platform/KQDispatch.h"
#include "platform/KQLog.h"
#include "store/KQContainerHelper.h"

QStringList KQImportExportMgr::printKeys(const KQContactHelperList& contacts, bool isDefaultFields)
{
    return isDefaultFields ? generalPropertyKeysWithSplitName(false, true)
                           : availablePropertyKeys(contacts, false, true);
}

bool KQImportExportMgr::printContacts(const KQContactHelperList& contacts, bool isDefaultFields,
                                      KQPrintPresenter presenter)
{
    KQDispatch::globalAsync([this, contacts, isDefaultFields, presenter = std::move(presenter)] {
        runPrint(contacts, isDefaultFields, presenter);
    });
    return true;
}

void KQImportExportMgr::runPrint(const KQContactHelperList& contacts, bool isDefaultFields,
                                 const KQPrintPresenter& presenter, const std::optional<QStringList>& keys)
{
    beginJob(false);
    // A partial list must not print as the whole account, as for exports.
    QString failure;
    KQDispatch::mainSync([&] { failure = KQContainerHelper::loadErrorForContacts(contacts); });
    if (!failure.isEmpty()) {
        KQLog(QStringLiteral("error: print refused: %1").arg(failure));
        addError(failure);
        endJob();
        return;
    }
    KQLog(QStringLiteral("info: print %1 contacts").arg(contacts.size()));
    for (const KQContactHelperPtr& contact : contacts)
        contact->syncLoadAllKeysIfNecessary();
    QStringList fields = keys ? *keys : printKeys(contacts, isDefaultFields);
    fields.removeAll(CNContactThumbnailImageDataKey);
    Reporter reporter(this, QString());
    const KQProgressBlock progress = [&reporter](double percent, bool* stop) { *stop = reporter.report(percent); };
    KQContactPrintSerialization::printContacts(contacts, fields, progress, presenter);
    endJob();
}
