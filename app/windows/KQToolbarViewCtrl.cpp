#include "app/windows/KQToolbarViewCtrl.h"

#include "app/windows/KQAlerts.h"
#include "app/windows/KQDropRules.h"
#include "app/windows/KQExportOptionsDialog.h"
#include "app/windows/KQProgressWndCtrl.h"
#include "exchange/KQFieldMapWndCtrl.h"
#include "exchange/KQImportExportMgr.h"
#include "platform/KQLog.h"
#include "problems/KQConflictGroup.h"
#include "problems/KQConflictScanTask.h"
#include "store/KQContactManager.h"
#include "store/KQGroupHelper.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStyle>

// The import/export manager's delegate for the running job; it outlives a closed window safely.
class KQToolbarViewCtrl::JobDelegate : public KQImportExportMgrDelegate
{
public:
    explicit JobDelegate(KQToolbarViewCtrl* toolbar) : m_toolbar(toolbar) {}

    bool importExportMgrProgress(KQImportExportMgr* manager, double percent, const QString& filePath) override
    {
        KQProgressWndCtrl* sheet = KQProgressWndCtrl::sharedProgressWndCtrl();
        if (manager->isImport())
            sheet->setProgressLabel(filePath.isEmpty() ? QStringLiteral("Processing...") : filePath);
        sheet->setPercent(percent);
        return sheet->cancelled();
    }

    void importExportMgrGetContacts(KQImportExportMgr*, const KQContactHelperList& contacts) override
    {
        if (!m_toolbar)
            return;
        if (m_toolbar->m_lastImport) {
            m_toolbar->m_manager->latestImport()->receiveImportedContacts(contacts);
            return;
        }
        m_toolbar->m_imported.insert(m_toolbar->m_imported.end(), contacts.begin(), contacts.end());
    }

    std::optional<QStringList> importExportMgrMapFields(KQImportExportMgr*, const QString& filePath,
                                                        const QStringList& titles, const QStringList& keys) override
    {
        KQFieldMapWndCtrl* map = KQFieldMapWndCtrl::shared();
        map->setFieldsTitle(QFileInfo(filePath).fileName());
        return map->runModalWithField(titles, keys);
    }

    void importExportMgrCompleteProcess(KQImportExportMgr*) override
    {
        if (m_toolbar)
            m_toolbar->jobCompleted();
    }

private:
    QPointer<KQToolbarViewCtrl> m_toolbar;
};

class KQToolbarViewCtrl::ScanDelegate : public KQConflictScanTaskDelegate
{
public:
    explicit ScanDelegate(KQToolbarViewCtrl* toolbar) : m_toolbar(toolbar) {}
    bool conflictScanTaskQueryCancelWithProgress(KQConflictScanTask*, double progress) override
    {
        KQProgressWndCtrl* sheet = KQProgressWndCtrl::sharedProgressWndCtrl();
        sheet->setPercent(progress);
        return sheet->cancelled();
    }
    void conflictScanTaskCompleteWithResult(KQConflictScanTask*, const KQConflictResultPtr& result) override
    {
        if (m_toolbar)
            m_toolbar->scanCompleted(result);
    }

private:
    QPointer<KQToolbarViewCtrl> m_toolbar;
};

KQToolbarViewCtrl::KQToolbarViewCtrl(KQContactManager* manager, QWidget* window, QWidget* parent)
    : QToolBar(parent), m_manager(manager), m_window(window)
{
    setObjectName(QStringLiteral("mainToolbar"));
    setWindowTitle(QStringLiteral("Toolbar"));
    setMovable(false);
    setFloatable(false);
    setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    setIconSize(QSize(20, 20));
    QStyle* look = style();
    m_new = addAction(look->standardIcon(QStyle::SP_FileIcon), QStringLiteral("New Contact"));
    m_new->setObjectName(QStringLiteral("newContactAction"));
    m_new->setShortcut(QKeySequence::New);
    addSeparator();
    m_scan = addAction(look->standardIcon(QStyle::SP_FileDialogContentsView), QStringLiteral("Scan"));
    m_scan->setObjectName(QStringLiteral("scanAction"));
    m_scan->setToolTip(QStringLiteral("Look for duplicate, incomplete and malformed contacts"));
    m_import = addAction(look->standardIcon(QStyle::SP_DialogOpenButton), QStringLiteral("Import"));
    m_import->setObjectName(QStringLiteral("importAction"));
    m_import->setToolTip(QStringLiteral("Import vCard or CSV files into Last Import"));
    m_export = addAction(look->standardIcon(QStyle::SP_DialogSaveButton), QStringLiteral("Export"));
    m_export->setObjectName(QStringLiteral("exportAction"));
    m_export->setToolTip(QStringLiteral("Export the selected contacts"));
    connect(m_new, &QAction::triggered, this, &KQToolbarViewCtrl::newContactRequested);
    connect(m_scan, &QAction::triggered, this, &KQToolbarViewCtrl::scanConflicts);
    connect(m_import, &QAction::triggered, this, &KQToolbarViewCtrl::importContacts);
    connect(m_export, &QAction::triggered, this, &KQToolbarViewCtrl::exportRequested);

    m_scanResult = [](const KQConflictResultPtr& result, QWidget* target) {
        int problems = 0;
        for (const auto& group : result->conflictGroups())
            problems += group->countOfConflictItems();
        KQAlerts::run(target, {QMessageBox::Information,
                               problems == 1 ? QStringLiteral("1 problem found")
                                             : QStringLiteral("%1 problems found").arg(problems),
                               QStringLiteral("%1 kinds of problems.").arg(result->countOfConflictGroups()),
                               {QStringLiteral("OK")}});
    };
    m_openPanel = [](QWidget* target, const QStringList& extensions) {
        QStringList patterns;
        for (const QString& extension : extensions)
            patterns << QStringLiteral("*.") + extension;
        QFileDialog dialog(target, QStringLiteral("Import"));
        dialog.setFileMode(QFileDialog::ExistingFiles);
        dialog.setNameFilter(QStringLiteral("Contacts (%1)").arg(patterns.join(QLatin1Char(' '))));
        dialog.setDirectory(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
        return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles() : QStringList();
    };
    m_savePanel = [](QWidget* target, const KQContactFormat& format) {
        const QString extension = format.extensions().value(0);
        QFileDialog dialog(target, QStringLiteral("Export"));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(extension);
        dialog.setNameFilter(QStringLiteral("%1 (*.%2)").arg(format.name(), extension));
        dialog.selectFile(QStringLiteral("Contacts.") + extension);
        dialog.setDirectory(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
        return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
    };
    m_exportOptions = [](QWidget* target, const QList<qint32>& formats, int count) -> KQContactFormatPtr {
        KQExportOptionsDialog dialog(formats, count, target);
        return dialog.exec() == QDialog::Accepted ? dialog.contactFormat() : nullptr;
    };
    updateActions();
}

KQToolbarViewCtrl::~KQToolbarViewCtrl() = default;

QList<qint32> KQToolbarViewCtrl::supportExportFormats()
{
    return {KQContactFormat::VCard,   KQContactFormat::CSV,  KQContactFormat::CSVOutlook,
            KQContactFormat::Excel,   KQContactFormat::Docx, KQContactFormat::Pages,
            KQContactFormat::Numbers, KQContactFormat::HTML, KQContactFormat::TXT};
}

void KQToolbarViewCtrl::setCurrentGroupTreeNode(const KQGroupTreeNodePtr& node)
{
    m_node = node;
    updateActions();
}

bool KQToolbarViewCtrl::allowScanContainer() const
{
    return m_node && !KQDropRules::isPseudoAccount(m_node.get()) && m_node->containerHelper() != nullptr;
}

void KQToolbarViewCtrl::updateActions()
{
    m_scan->setEnabled(allowScanContainer() && !m_busy);
    m_import->setEnabled(!m_busy);
    m_export->setEnabled(!m_busy);
    m_new->setEnabled(m_node && !KQDropRules::isPseudoAccount(m_node.get()));
}

void KQToolbarViewCtrl::beginSheet(const QString& label)
{
    m_busy = true;
    updateActions();
    KQProgressWndCtrl* sheet = KQProgressWndCtrl::sharedProgressWndCtrl();
    sheet->reset(label);
    sheet->beginSheetForWindow(m_window);
}

void KQToolbarViewCtrl::endSheet()
{
    KQProgressWndCtrl* sheet = KQProgressWndCtrl::sharedProgressWndCtrl();
    sheet->endSheet();
    sheet->setHideCancelButton(false);
    m_busy = false;
    updateActions();
}

// ---------------------------------------------------------------- scan

void KQToolbarViewCtrl::scanConflicts()
{
    if (!allowScanContainer() || m_busy)
        return;
    KQContainerHelper* account = m_node->containerHelper();
    auto shared = std::static_pointer_cast<KQContainerHelper>(account->shared_from_this());
    m_scanTask = KQConflictScanTask::initWithContainerHelpers({shared});
    if (!m_scanTask)
        return;
    m_scanDelegate = std::make_unique<ScanDelegate>(this);
    m_scanTask->setDelegate(m_scanDelegate.get());
    beginSheet(QStringLiteral("Scanning..."));
    m_scanTask->startScanConflicts();
}

void KQToolbarViewCtrl::scanCompleted(const KQConflictResultPtr& result)
{
    endSheet();
    // The task is done with its delegate once it has delivered the result.
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_scanTask.reset();
            m_scanDelegate.reset();
        },
        Qt::QueuedConnection);
    Q_EMIT scanFinished(result);
    if (!result)
        return; // cancelled
    if (result->empty()) {
        KQAlerts::run(m_window, {QMessageBox::Information,
                                 QStringLiteral("No problematic contacts found"),
                                 QStringLiteral("You can config conflict options in preferences and scan again..."),
                                 {QStringLiteral("OK")}});
        return;
    }
    if (m_scanResult)
        m_scanResult(result, m_window);
}

// ---------------------------------------------------------------- import

void KQToolbarViewCtrl::importContacts()
{
    importContactsToNode(nullptr, true);
}

void KQToolbarViewCtrl::importContactsToNode(const KQGroupTreeNodePtr& target, bool lastImport)
{
    if (m_busy)
        return;
    const QStringList paths = m_openPanel(m_window, KQImportExportMgr::supportImportFormatsExtensions());
    if (paths.isEmpty())
        return;
    importFiles(paths, target, lastImport);
}

void KQToolbarViewCtrl::importFiles(const QStringList& paths, const KQGroupTreeNodePtr& target, bool lastImport)
{
    if (m_busy || paths.isEmpty())
        return;
    m_lastImport = lastImport || !target || KQDropRules::isPseudoAccount(target.get());
    m_importTarget = m_lastImport ? KQGroupTreeNodePtr() : target;
    m_manager->latestImport()->setNeedSaveLatestImport(m_lastImport);
    m_imported.clear();
    m_exportPath.clear();
    Q_EMIT importStarted();
    beginSheet(QStringLiteral("Processing..."));
    m_jobDelegate = std::make_shared<JobDelegate>(this);
    KQImportExportMgr* manager = KQImportExportMgr::sharedImportExportMgr();
    manager->setDelegate(m_jobDelegate);
    manager->contactsWithURLs(paths);
}

void KQToolbarViewCtrl::jobCompleted()
{
    KQImportExportMgr* manager = KQImportExportMgr::sharedImportExportMgr();
    const QStringList errors = manager->lastJobErrors();
    const bool cancelled = manager->lastJobCancelled();
    if (!manager->isImport()) {
        endSheet();
        const bool written = errors.isEmpty() && !cancelled;
        if (!errors.isEmpty()) {
            KQAlerts::run(m_window, {QMessageBox::Warning,
                                     QStringLiteral("The export failed."),
                                     errors.join(QLatin1Char('\n')),
                                     {QStringLiteral("OK")}});
        }
        Q_EMIT exportFinished(written, m_exportPath);
        return;
    }
    bool succeeded = errors.isEmpty() && !cancelled;
    if (m_lastImport) {
        m_manager->recyleActions().endLatestImport();
    } else if (m_importTarget && !m_imported.empty()) {
        // Everything read goes into the account (and group) with one save request.
        KQContainerHelper* account = m_importTarget->containerHelper();
        auto group = std::dynamic_pointer_cast<KQGroupHelper>(m_importTarget);
        CNSaveRequest request;
        std::vector<CNContactPtr> contacts;
        for (const auto& record : m_imported) {
            const CNContactPtr contact = record->contact();
            request.addContact(*contact, account->identifier());
            if (group)
                request.addMember(*contact, group->group());
            contacts.push_back(contact);
        }
        KQProgressWndCtrl::sharedProgressWndCtrl()->setHideCancelButton(true);
        const bool saved = m_manager->storeHelper()->executeSaveRequest(
            request,
            QStringLiteral("Failed add contacts to container(%1), reason unknown.").arg(account->identifier()));
        if (saved) {
            KQContactHelperList made;
            for (const auto& contact : contacts)
                made.push_back(account->makeContactHelperIfNecessaryWithContact(contact, true));
            account->addContactHelpers(made);
            if (group)
                group->addContactHelpers(made);
        }
        succeeded = succeeded && saved;
    }
    m_imported.clear();
    endSheet();
    if (!errors.isEmpty()) {
        KQAlerts::run(m_window, {QMessageBox::Warning,
                                 QStringLiteral("Some files could not be imported."),
                                 errors.join(QLatin1Char('\n')),
                                 {QStringLiteral("OK")}});
    }
    Q_EMIT importFinished(succeeded);
}

// ---------------------------------------------------------------- export

void KQToolbarViewCtrl::exportContacts(const KQContactHelperList& contacts)
{
    if (m_busy)
        return;
    if (contacts.empty()) {
        KQAlerts::run(m_window, {QMessageBox::Information,
                                 QStringLiteral("There are no contacts to export."),
                                 QStringLiteral("Select contacts in the list, or an account or group."),
                                 {QStringLiteral("OK")}});
        return;
    }
    const KQContactFormatPtr format =
        m_exportOptions(m_window, supportExportFormats(), static_cast<int>(contacts.size()));
    if (!format)
        return;
    const QString path = m_savePanel(m_window, *format);
    if (path.isEmpty())
        return;
    exportContactsToPath(contacts, path, format);
}

void KQToolbarViewCtrl::exportContactsToPath(const KQContactHelperList& contacts, const QString& path,
                                             const KQContactFormatPtr& format)
{
    if (m_busy)
        return;
    m_exportPath = path;
    beginSheet(QStringLiteral("Exporting..."));
    m_jobDelegate = std::make_shared<JobDelegate>(this);
    KQImportExportMgr* manager = KQImportExportMgr::sharedImportExportMgr();
    manager->setDelegate(m_jobDelegate);
    manager->exportContacts(contacts, path, *format);
}
