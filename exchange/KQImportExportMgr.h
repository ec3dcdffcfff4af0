#pragma once
// The import and export orchestrator. Jobs run on the global background queue and report to a
// delegate on the main thread: start and completion, progress with the chance to cancel, the
// contacts read, and the column-to-field map of a CSV file.
//
// Contract:
// - contactsWithURLs() / exportContacts() start a job and return true at once; runImport() /
//   runExport() run the same job on the calling thread (a worker; the delegate is still called
//   on the main thread).
// - Progress and delivered contacts are reported in batches: at most once per whole percent and at
//   the end of each file. A delegate answering true to a progress report cancels the job.
// - lastJobErrors() lists, after completion, what went wrong (files that could not be read or
//   written); lastJobCancelled() tells whether the delegate cancelled.

#include "exchange/KQContactFormat.h"
#include "exchange/KQContactPrintSerialization.h"
#include "exchange/KQContactSerialization.h"

#include <QByteArray>
#include <QObject>
#include <QStringList>
#include <atomic>
#include <memory>
#include <mutex>
#include <optional>

class KQImportExportMgr;

// Every method is optional: the defaults do what an absent method means.
class KQImportExportMgrDelegate
{
public:
    virtual ~KQImportExportMgrDelegate() = default;
    virtual void importExportMgrStartProcess(KQImportExportMgr* manager) { Q_UNUSED(manager); }
    virtual void importExportMgrCompleteProcess(KQImportExportMgr* manager) { Q_UNUSED(manager); }
    // percent from 0 to 100; filePath is the file being read, empty for exports. True cancels.
    virtual bool importExportMgrProgress(KQImportExportMgr* manager, double percent, const QString& filePath)
    {
        Q_UNUSED(manager);
        Q_UNUSED(percent);
        Q_UNUSED(filePath);
        return false;
    }
    virtual void importExportMgrGetContacts(KQImportExportMgr* manager, const KQContactHelperList& contacts)
    {
        Q_UNUSED(manager);
        Q_UNUSED(contacts);
    }
    // None keeps the proposal; an empty list cancels the file.
    virtual std::optional<QStringList> importExportMgrMapFields(KQImportExportMgr* manager, const QString& filePath,
                                                                const QStringList& titles, const QStringList& keys)
    {
        Q_UNUSED(manager);
        Q_UNUSED(filePath);
        Q_UNUSED(titles);
        Q_UNUSED(keys);
        return std::nullopt;
    }
};

class KQImportExportMgr : public QObject
{
    Q_OBJECT
public:
    static KQImportExportMgr* sharedImportExportMgr();
    KQImportExportMgr();
    ~KQImportExportMgr() override;

    std::shared_ptr<KQImportExportMgrDelegate> delegate() const;
    void setDelegate(const std::shared_ptr<KQImportExportMgrDelegate>& delegate);
    bool isImport() const { return m_isImport.load(); }

    // --- jobs
    bool contactsWithURLs(const QStringList& paths);
    bool exportContacts(const KQContactHelperList& contacts, const QString& path, const KQContactFormat& format);
    void runImport(const QStringList& paths);
    // The print job: loads every key of the contacts, builds the printout of the general fields
    // (isDefaultFields) or of the fields the contacts have, and hands the text to presenter on the
    // main thread. printContacts() starts it on the background queue and returns true at once;
    // runPrint() runs it on the calling worker (keys, when given, replace the field choice).
    bool printContacts(const KQContactHelperList& contacts, bool isDefaultFields, KQPrintPresenter presenter);
    void runPrint(const KQContactHelperList& contacts, bool isDefaultFields, const KQPrintPresenter& presenter,
                  const std::optional<QStringList>& keys = std::nullopt);
    static QStringList printKeys(const KQContactHelperList& contacts, bool isDefaultFields);
    // True when the file was written completely (also for a cancelled vCard export, which keeps
    // the cards written so far).
    // keys, when given, replace the keys the format's field choice would pick (tabular formats).
    bool runExport(const KQContactHelperList& contacts, const QString& path, const KQContactFormat& format,
                   const std::optional<QStringList>& keys = std::nullopt);
    QStringList lastJobErrors() const;
    bool lastJobCancelled() const { return m_cancelled.load(); }

    // --- formats and keys
    static QList<qint32> supportImportFormats();
    static QStringList supportImportFormatsExtensions();
    static QByteArray utf8EncodingBOM() { return QByteArrayLiteral("\xEF\xBB\xBF"); }
    static QByteArray unicodeEncodingLEBOM() { return QByteArrayLiteral("\xFF\xFE"); }
    static QByteArray unicodeEncodingBEBOM() { return QByteArrayLiteral("\xFE\xFF"); }
    static QStringList allPropertyKeysWithSplitName(bool split, bool mergeAddress);
    static QStringList availablePropertyKeys(const KQContactHelperList& contacts, bool split, bool mergeAddress);
    static QStringList generalPropertyKeysWithSplitName(bool split, bool mergeAddress);
    // The keys an export writes for the format's options (none for vCard).
    QStringList exportKeysFromContacts(const KQContactHelperList& contacts, const KQContactFormat& format);
    bool exportGeneralContacts(const KQContactHelperList& contacts, const QStringList& keys, const QString& path,
                               const KQContactFormat& format);

    // --- the two import formats and the vCard writer
    void contactsFromCSVFile(const QString& path);
    void importFromvCardFile(const QString& path);
    bool exportContactsWithVCardOption(const KQContactHelperList& contacts, const QString& path,
                                       const KQContactFormat& format);
    // The lines added to each exported card; empty when there is nothing to add.
    static QByteArray makeContactNoteData(const CNContact& contact);
    static QByteArray makeContactProfilePictureData(const CNContact& contact);
    static QByteArray makeContactUIDData(const CNContact& contact);

private:
    class Reporter;
    void beginJob(bool import);
    void endJob();
    void addError(const QString& error);
    bool reportProgress(double percent, const QString& path);
    void deliver(const KQContactHelperList& contacts);

    std::weak_ptr<KQImportExportMgrDelegate> m_delegate;
    mutable std::mutex m_mutex;
    QStringList m_errors;
    std::atomic<bool> m_isImport{false};
    std::atomic<bool> m_cancelled{false};
};
