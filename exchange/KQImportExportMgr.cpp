#include "exchange/KQImportExportMgr.h"

#include "exchange/KQContactCSVSerialization.h"
#include "exchange/KQContactTextSerialization.h"
#include "exchange/KQImportExportMgrReporter.h"
#include "platform/KQAllocatorPolicy.h"
#include "platform/KQDispatch.h"
#include "platform/KQLog.h"
#include "store/KQContainerHelper.h"
#include "store/KQPreferences.h"

#include <QFileInfo>

KQImportExportMgr* KQImportExportMgr::sharedImportExportMgr()
{
    static KQImportExportMgr* manager = new KQImportExportMgr; // lives for the process
    return manager;
}

KQImportExportMgr::KQImportExportMgr() = default;
KQImportExportMgr::~KQImportExportMgr() = default;

std::shared_ptr<KQImportExportMgrDelegate> KQImportExportMgr::delegate() const
{
    std::lock_guard lock(m_mutex);
    return m_delegate.lock();
}

void KQImportExportMgr::setDelegate(const std::shared_ptr<KQImportExportMgrDelegate>& delegate)
{
    std::lock_guard lock(m_mutex);
    m_delegate = delegate;
}

QStringList KQImportExportMgr::lastJobErrors() const
{
    std::lock_guard lock(m_mutex);
    return m_errors;
}

void KQImportExportMgr::addError(const QString& error)
{
    std::lock_guard lock(m_mutex);
    m_errors.append(error);
}

void KQImportExportMgr::beginJob(bool import)
{
    {
        std::lock_guard lock(m_mutex);
        m_errors.clear();
    }
    m_cancelled = false;
    m_isImport = import;
    const auto target = delegate();
    KQDispatch::mainAsync([this, target] {
        if (target)
            target->importExportMgrStartProcess(this);
    });
}

void KQImportExportMgr::endJob()
{
    const auto target = delegate();
    KQDispatch::mainAsync([this, target] {
        if (target)
            target->importExportMgrCompleteProcess(this);
    });
}

bool KQImportExportMgr::reportProgress(double percent, const QString& path)
{
    const auto target = delegate();
    bool cancel = false;
    if (target)
        KQDispatch::mainSync([&] { cancel = target->importExportMgrProgress(this, percent, path); });
    if (cancel)
        m_cancelled = true;
    return cancel;
}

void KQImportExportMgr::deliver(const KQContactHelperList& contacts)
{
    const auto target = delegate();
    if (!target)
        return;
    KQDispatch::mainAsync([this, target, contacts] { target->importExportMgrGetContacts(this, contacts); });
}

bool KQImportExportMgr::contactsWithURLs(const QStringList& paths)
{
    KQDispatch::globalAsync([this, paths] { runImport(paths); });
    return true;
}

bool KQImportExportMgr::exportContacts(const KQContactHelperList& contacts, const QString& path,
                                       const KQContactFormat& format)
{
    KQContactFormatPtr options = format.copy();
    KQDispatch::globalAsync([this, contacts, path, options] { runExport(contacts, path, *options); });
    return true;
}

void KQImportExportMgr::runImport(const QStringList& paths)
{
    beginJob(true);
    for (const QString& path : paths) {
        if (m_cancelled)
            break;
        switch (KQContactFormat::contactFormatTypeFromPath(path)) {
        case KQContactFormat::CSV:
            contactsFromCSVFile(path);
            break;
        case KQContactFormat::VCard:
            importFromvCardFile(path);
            break;
        default:
            KQLog(QStringLiteral("Can not support file %1").arg(path));
            addError(QStringLiteral("%1: not a CSV or vCard file").arg(path));
            break;
        }
    }
    // Reading and saving a large file made and dropped far more than the imported records keep.
    KQReleaseFreedMemory();
    endJob();
}

void KQImportExportMgr::contactsFromCSVFile(const QString& path)
{
    Reporter reporter(this, path);
    const auto fieldMap = [this, &path](const QStringList& titles, QStringList& keys) {
        const auto target = delegate();
        if (!target)
            return;
        std::optional<QStringList> answer;
        KQDispatch::mainSync([&] { answer = target->importExportMgrMapFields(this, path, titles, keys); });
        if (answer)
            keys = *answer;
    };
    const auto progress = [&reporter](const KQContactHelperPtr& contact, bool* stop, double percent) {
        reporter.add(contact);
        *stop = reporter.report(percent);
    };
    const KQCSVReadResult result = KQContactCSVSerialization::contactsWithCSVFile(path, fieldMap, progress);
    if (!reporter.stopped())
        reporter.report(100.0, true);
    if (result.status != KQCSVReadResult::Read && result.status != KQCSVReadResult::Cancelled)
        addError(QStringLiteral("%1: %2").arg(path, result.description));
}

QStringList KQImportExportMgr::allPropertyKeysWithSplitName(bool split, bool mergeAddress)
{
    return KQExportKeys::allPropertyKeys(split, mergeAddress);
}

QStringList KQImportExportMgr::availablePropertyKeys(const KQContactHelperList& contacts, bool split, bool mergeAddress)
{
    return KQExportKeys::availablePropertyKeys(contacts, split, mergeAddress);
}

QStringList KQImportExportMgr::generalPropertyKeysWithSplitName(bool split, bool mergeAddress)
{
    return KQExportKeys::generalPropertyKeys(split, mergeAddress);
}

QList<qint32> KQImportExportMgr::supportImportFormats()
{
    return {KQContactFormat::VCard, KQContactFormat::CSV};
}

QStringList KQImportExportMgr::supportImportFormatsExtensions()
{
    return {QStringLiteral("vcf"), QStringLiteral("vcard"), QStringLiteral("csv")};
}

QStringList KQImportExportMgr::exportKeysFromContacts(const KQContactHelperList& contacts,
                                                      const KQContactFormat& format)
{
    KQLog(QStringLiteral("info: all keys create"));
    bool split = format.canSplitContactName() ? format.splitContactName() : false;
    if (format.type() == KQContactFormat::CSVOutlook)
        split = true;
    QStringList keys;
    if (format.canChooseContactFields()) {
        switch (format.contactFields()) {
        case KQContactFormat::AllFields:
            keys = allPropertyKeysWithSplitName(split, format.mergeAddress());
            break;
        case KQContactFormat::ValidFields:
            keys = availablePropertyKeys(contacts, split, format.mergeAddress());
            break;
        case KQContactFormat::CustomFields:
            // The check list belongs to the main thread.
            KQDispatch::mainSync([&keys] { keys = KQPreferences::sharePreferences()->customExportFieldKeys(); });
            if (format.mergeAddress() && keys.removeAll(CNContactPostalAddressesKey) > 0)
                keys.append(KQPropertyKeyAddress);
            break;
        default:
            break;
        }
    }
    KQLog(QStringLiteral("info: all keys create end"));
    return keys;
}

bool KQImportExportMgr::exportGeneralContacts(const KQContactHelperList& contacts, const QStringList& keys,
                                              const QString& path, const KQContactFormat& format)
{
    Reporter reporter(this, QString());
    const KQProgressBlock progress = [&reporter](double percent, bool* stop) { *stop = reporter.report(percent); };
    if (format.type() == KQContactFormat::TXT) {
        QString error;
        const bool written = KQContactTextSerialization::exportContacts(contacts, keys, path, progress, &error);
        if (!written)
            addError(error);
        return written;
    }
    auto serialization = KQContactSerialization::contactSerializationWithFormat(format.type(), contacts, keys);
    const bool written = serialization->exportWithFile(path, progress);
    if (!written && !serialization->errorString().isEmpty())
        addError(serialization->errorString());
    return written;
}

bool KQImportExportMgr::runExport(const KQContactHelperList& contacts, const QString& path,
                                  const KQContactFormat& format, const std::optional<QStringList>& chosenKeys)
{
    beginJob(false);
    // A partial list must not pass for the whole account.
    QString failure;
    KQDispatch::mainSync([&] { failure = KQContainerHelper::loadErrorForContacts(contacts); });
    if (!failure.isEmpty()) {
        KQLog(QStringLiteral("error: export to %1 refused: %2").arg(path, failure));
        addError(failure);
        endJob();
        return false;
    }
    KQLog(QStringLiteral("info: export %1 contacts to %2 as %3").arg(contacts.size()).arg(path, format.name()));
    bool written = false;
    if (format.type() == KQContactFormat::VCard) {
        written = exportContactsWithVCardOption(contacts, path, format);
    } else {
        for (const KQContactHelperPtr& contact : contacts)
            contact->syncLoadAllKeysIfNecessary();
        KQContactFormatPtr options = format.copy();
        if (options->type() != KQContactFormat::CSVOutlook)
            options->setMergeAddress(true);
        else
            options->setSplitContactName(true);
        QStringList keys = chosenKeys ? *chosenKeys : exportKeysFromContacts(contacts, *options);
        keys.removeAll(CNContactThumbnailImageDataKey);
        written = exportGeneralContacts(contacts, keys, path, *options);
    }
    KQLog(QStringLiteral("info: export end"));
    endJob();
    return written;
}
