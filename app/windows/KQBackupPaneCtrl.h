#pragma once
// The preferences window's Backup tab: the backup folder, the accounts of the store, and the
// backups of the selected account, newest first, with Back Up, Restore and Remove. Both jobs show
// the shared progress sheet on the preferences window; a restore asks first and backs up the
// account as it stands before anything changes.

#include "store/KQContainerBackup.h"
#include "store/KQContainerHelper.h"

#include <QWidget>
#include <functional>

class KQContactManager;
class QLabel;
class QListWidget;
class QPushButton;

class KQBackupPaneCtrl : public QWidget
{
    Q_OBJECT
public:
    // Asks for a folder; empty when the user cancelled.
    using FolderPanel = std::function<QString(QWidget* window)>;

    explicit KQBackupPaneCtrl(KQContactManager* manager, QWidget* parent = nullptr);

    void setFolderPanel(FolderPanel panel) { m_folderPanel = std::move(panel); }

    std::vector<KQContainerHelperPtr> allStoreContainers() const { return m_accounts; }
    KQContainerHelperPtr selectedContainer() const;
    void selectContainer(int row);
    bool allowBackup() const { return static_cast<bool>(selectedContainer()); }
    KQContainerBackupList containerBackups() const { return m_backups; }
    void selectBackup(int row);
    bool isRestore() const { return m_isRestore; }
    bool isRunning() const { return m_running; }

    // ---- actions
    // True when a folder was chosen.
    bool selectedBackupPath();
    void showBackupsavePath();
    void addBuckup();
    void restoreBackup();
    void removeBackup();
    // Re-reads the accounts and the selected account's backups.
    void reloadAccounts();
    void reloadBackups();

Q_SIGNALS:
    // A restore begins (the contact list stops following changes) and ends.
    void restoreStarted();
    void restoreEnded(const QString& accountIdentifier);
    void backupEnded(bool succeeded);

private:
    void startBackupCurrentContainer();
    bool processBackupMessage(qint64 message, double percent);
    void updateFolderLabel();
    void updateButtons();

    KQContactManager* m_manager;
    std::vector<KQContainerHelperPtr> m_accounts;
    KQContainerBackupList m_backups;
    bool m_isRestore = false;
    bool m_running = false;
    FolderPanel m_folderPanel;
    QLabel* m_folder;
    QPushButton* m_choose;
    QPushButton* m_show;
    QListWidget* m_accountList;
    QListWidget* m_backupList;
    QPushButton* m_backup;
    QPushButton* m_restore;
    QPushButton* m_remove;
};
