#pragma once
// Where the contacts of an import go: into the Last Import list (the Last Import mark), or into an
// account and, optionally, one of its groups through one save request. An import delegate for the
// windows and the command line; it lives on the main thread.
//
// Contract: contacts are held until the import completes. A cancelled import adds nothing, neither
// to Last Import nor to the store. Otherwise the Last Import list grows and is saved, or one save
// request adds every contact to the account (and group); only when the store accepted it do the
// contacts appear in the account's (and group's) in-memory lists. finished(ok, message) runs on
// the main thread at the very end.

#include "exchange/KQImportExportMgr.h"
#include "store/KQContainerHelper.h"
#include "store/KQContainerLatestImport.h"

#include <functional>

class KQContactStoreHelper;
class KQStorage;

class KQImportPlacement : public KQImportExportMgrDelegate
{
public:
    using Finished = std::function<void(bool ok, const QString& message, int contacts)>;
    using Progress = std::function<bool(double percent, const QString& filePath)>;
    using FieldMap = std::function<std::optional<QStringList>(const QString& filePath, const QStringList& titles,
                                                              const QStringList& keys)>;

    // Into Last Import.
    KQImportPlacement(std::shared_ptr<KQContainerLatestImport> latestImport, KQStorage* storage);
    // Into account, and into group when given (a group of that account).
    KQImportPlacement(KQContainerHelperPtr account, KQGroupTreeNodePtr group, KQContactStoreHelper* storeHelper);

    void setFinished(Finished finished) { m_finished = std::move(finished); }
    // Asked at each progress report; true cancels.
    void setProgress(Progress progress) { m_progress = std::move(progress); }
    // Asked for each CSV file; none keeps the proposal.
    void setFieldMap(FieldMap fieldMap) { m_fieldMap = std::move(fieldMap); }
    // With all-or-nothing, an import in which any file failed adds nothing either.
    void setAllOrNothing(bool on) { m_allOrNothing = on; }
    // Cancels at the next progress report.
    void cancel() { m_cancelled = true; }

    void importExportMgrStartProcess(KQImportExportMgr* manager) override;
    void importExportMgrCompleteProcess(KQImportExportMgr* manager) override;
    bool importExportMgrProgress(KQImportExportMgr* manager, double percent, const QString& filePath) override;
    void importExportMgrGetContacts(KQImportExportMgr* manager, const KQContactHelperList& contacts) override;
    std::optional<QStringList> importExportMgrMapFields(KQImportExportMgr* manager, const QString& filePath,
                                                        const QStringList& titles, const QStringList& keys) override;

    const KQContactHelperList& received() const { return m_received; }

private:
    void finish(bool ok, const QString& message);
    void saveIntoAccount();

    std::shared_ptr<KQContainerLatestImport> m_latestImport;
    KQStorage* m_storage = nullptr;
    KQContainerHelperPtr m_account;
    KQGroupTreeNodePtr m_group;
    KQContactStoreHelper* m_storeHelper = nullptr;
    KQContactHelperList m_received;
    Finished m_finished;
    Progress m_progress;
    FieldMap m_fieldMap;
    bool m_cancelled = false;
    bool m_allOrNothing = false;
};
