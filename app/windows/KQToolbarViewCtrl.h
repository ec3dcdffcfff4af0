#pragma once
// The toolbar strip: Scan, Import, Export and New Contact. It runs the problem scan of the current
// account, imports files (into Last Import, or into an account or group), and exports contacts,
// each behind the shared progress sheet.
//
// Plug-in points: what happens with a non-empty scan result (the problem review window), and the
// file panels and the export options (tests answer them without a dialog).

#include "exchange/KQContactFormat.h"
#include "problems/KQConflictResult.h"
#include "store/KQGroupTreeNode.h"

#include <QPointer>
#include <QToolBar>
#include <functional>
#include <memory>

class KQConflictScanTask;
class KQContactManager;
class KQImportExportMgr;

class KQToolbarViewCtrl : public QToolBar
{
    Q_OBJECT
public:
    using ScanResultHandler = std::function<void(const KQConflictResultPtr& result, QWidget* window)>;
    using OpenPanel = std::function<QStringList(QWidget* window, const QStringList& extensions)>;
    using SavePanel = std::function<QString(QWidget* window, const KQContactFormat& format)>;
    using ExportOptionsPanel =
        std::function<KQContactFormatPtr(QWidget* window, const QList<qint32>& formats, int contactCount)>;

    KQToolbarViewCtrl(KQContactManager* manager, QWidget* window, QWidget* parent = nullptr);
    ~KQToolbarViewCtrl() override;

    // ---- the one place the problem review window plugs in. Called on the main thread when a scan
    // found something; by default a message tells how many problems were found.
    void setScanResultHandler(ScanResultHandler handler) { m_scanResult = std::move(handler); }
    void setOpenPanel(OpenPanel panel) { m_openPanel = std::move(panel); }
    void setSavePanel(SavePanel panel) { m_savePanel = std::move(panel); }
    void setExportOptionsPanel(ExportOptionsPanel panel) { m_exportOptions = std::move(panel); }

    void setCurrentGroupTreeNode(const KQGroupTreeNodePtr& node);
    KQGroupTreeNodePtr currentGroupTreeNode() const { return m_node; }
    bool allowScanContainer() const;

    // The formats the export menu offers: those the import/export manager writes today.
    static QList<qint32> supportExportFormats();

    // ---- actions
    void scanConflicts();
    // Import from the toolbar: into Last Import.
    void importContacts();
    // Import into target (an account or a group), or into Last Import with the mark.
    void importContactsToNode(const KQGroupTreeNodePtr& target, bool lastImport);
    // Imports these files without a panel (the command line, tests).
    void importFiles(const QStringList& paths, const KQGroupTreeNodePtr& target, bool lastImport);
    void exportContacts(const KQContactHelperList& contacts);
    void exportContactsToPath(const KQContactHelperList& contacts, const QString& path,
                              const KQContactFormatPtr& format);
    bool isBusy() const { return m_busy; }

    QAction* scanAction() const { return m_scan; }
    QAction* importAction() const { return m_import; }
    QAction* exportAction() const { return m_export; }
    QAction* newContactAction() const { return m_new; }

Q_SIGNALS:
    void importStarted();
    // succeeded is false after a failure or a cancel; errors lists the files that failed.
    void importFinished(bool succeeded);
    void exportFinished(bool succeeded, const QString& path);
    void scanFinished(const KQConflictResultPtr& result);
    void exportRequested();
    void newContactRequested();

private:
    class JobDelegate;
    class ScanDelegate;
    friend class JobDelegate;
    friend class ScanDelegate;
    void updateActions();
    void beginSheet(const QString& label);
    void endSheet();
    void jobCompleted();
    void scanCompleted(const KQConflictResultPtr& result);

    KQContactManager* m_manager;
    QPointer<QWidget> m_window;
    KQGroupTreeNodePtr m_node;
    KQGroupTreeNodePtr m_importTarget;
    bool m_lastImport = false;
    bool m_busy = false;
    QString m_exportPath;
    KQContactHelperList m_imported;
    std::shared_ptr<JobDelegate> m_jobDelegate;
    std::unique_ptr<ScanDelegate> m_scanDelegate;
    std::shared_ptr<KQConflictScanTask> m_scanTask;
    ScanResultHandler m_scanResult;
    OpenPanel m_openPanel;
    SavePanel m_savePanel;
    ExportOptionsPanel m_exportOptions;
    QAction* m_scan;
    QAction* m_import;
    QAction* m_export;
    QAction* m_new;
};
