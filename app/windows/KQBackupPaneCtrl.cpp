#include "app/windows/KQBackupPaneCtrl.h"

#include "app/windows/KQAlerts.h"
#include "app/windows/KQProgressWndCtrl.h"
#include "store/KQContactManager.h"
#include "store/KQPreferences.h"
#include "store/KQStorage.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

KQBackupPaneCtrl::KQBackupPaneCtrl(KQContactManager* manager, QWidget* parent)
    : QWidget(parent), m_manager(manager), m_folder(new QLabel(this)),
      m_choose(new QPushButton(QStringLiteral("Choose Folder..."), this)),
      m_show(new QPushButton(QStringLiteral("Show Folder"), this)), m_accountList(new QListWidget(this)),
      m_backupList(new QListWidget(this)), m_backup(new QPushButton(QStringLiteral("Back Up"), this)),
      m_restore(new QPushButton(QStringLiteral("Restore..."), this)),
      m_remove(new QPushButton(QStringLiteral("Remove"), this))
{
    setObjectName(QStringLiteral("backupPane"));
    m_folder->setObjectName(QStringLiteral("backupFolder"));
    m_folder->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_choose->setObjectName(QStringLiteral("chooseBackupFolder"));
    m_show->setObjectName(QStringLiteral("showBackupFolder"));
    m_accountList->setObjectName(QStringLiteral("backupAccounts"));
    m_accountList->setAccessibleName(QStringLiteral("Accounts"));
    m_backupList->setObjectName(QStringLiteral("backupList"));
    m_backupList->setAccessibleName(QStringLiteral("Backups of the account"));
    m_backup->setObjectName(QStringLiteral("backupButton"));
    m_restore->setObjectName(QStringLiteral("restoreButton"));
    m_remove->setObjectName(QStringLiteral("removeBackupButton"));
    m_folderPanel = [](QWidget* window) {
        QFileDialog dialog(window, QStringLiteral("Backup Folder"));
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly);
        dialog.setLabelText(QFileDialog::Accept, QStringLiteral("Select"));
        return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
    };

    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(new QLabel(QStringLiteral("Backup folder:"), this));
    folderRow->addWidget(m_folder, 1);
    folderRow->addWidget(m_choose);
    folderRow->addWidget(m_show);
    auto* lists = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    left->addWidget(new QLabel(QStringLiteral("Accounts"), this));
    left->addWidget(m_accountList);
    auto* right = new QVBoxLayout;
    right->addWidget(new QLabel(QStringLiteral("Backups"), this));
    right->addWidget(m_backupList);
    lists->addLayout(left, 2);
    lists->addLayout(right, 3);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_remove);
    buttons->addWidget(m_restore);
    buttons->addWidget(m_backup);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(folderRow);
    layout->addLayout(lists, 1);
    layout->addLayout(buttons);

    connect(m_choose, &QPushButton::clicked, this, [this] { selectedBackupPath(); });
    connect(m_show, &QPushButton::clicked, this, &KQBackupPaneCtrl::showBackupsavePath);
    connect(m_backup, &QPushButton::clicked, this, &KQBackupPaneCtrl::addBuckup);
    connect(m_restore, &QPushButton::clicked, this, &KQBackupPaneCtrl::restoreBackup);
    connect(m_remove, &QPushButton::clicked, this, &KQBackupPaneCtrl::removeBackup);
    connect(m_accountList, &QListWidget::currentRowChanged, this, &KQBackupPaneCtrl::reloadBackups);
    connect(m_backupList, &QListWidget::currentRowChanged, this, &KQBackupPaneCtrl::updateButtons);
    connect(KQPreferences::sharePreferences(), &KQPreferences::backupSavePathChanged, this,
            &KQBackupPaneCtrl::updateFolderLabel);
    // A folder that can no longer be reached is forgotten.
    KQPreferences::sharePreferences()->checkBackupFolderAccess();
    updateFolderLabel();
    reloadAccounts();
}

KQContainerHelperPtr KQBackupPaneCtrl::selectedContainer() const
{
    const int row = m_accountList->currentRow();
    if (row < 0 || row >= static_cast<int>(m_accounts.size()))
        return nullptr;
    return m_accounts[static_cast<size_t>(row)];
}

void KQBackupPaneCtrl::selectContainer(int row)
{
    m_accountList->setCurrentRow(row);
}

void KQBackupPaneCtrl::selectBackup(int row)
{
    m_backupList->setCurrentRow(row);
}

void KQBackupPaneCtrl::reloadAccounts()
{
    const KQContainerHelperPtr keep = selectedContainer();
    m_accounts = m_manager->storeHelper()->allContainerHelpers();
    const QSignalBlocker blocker(m_accountList);
    m_accountList->clear();
    int keepRow = m_accounts.empty() ? -1 : 0;
    for (size_t row = 0; row < m_accounts.size(); ++row) {
        m_accountList->addItem(m_accounts[row]->groupName());
        if (keep && m_accounts[row]->identifier() == keep->identifier())
            keepRow = static_cast<int>(row);
    }
    m_accountList->setCurrentRow(keepRow);
    reloadBackups();
}

void KQBackupPaneCtrl::reloadBackups()
{
    const KQContainerHelperPtr account = selectedContainer();
    m_backups =
        account ? m_manager->storage()->containerBackupsWithIdentifier(account->identifier()) : KQContainerBackupList{};
    const QSignalBlocker blocker(m_backupList);
    m_backupList->clear();
    for (const auto& backup : m_backups) {
        auto* item = new QListWidgetItem(backup->humanReadableDate(), m_backupList);
        item->setToolTip(backup->backupFile());
    }
    m_backupList->setCurrentRow(-1);
    updateButtons();
}

void KQBackupPaneCtrl::updateFolderLabel()
{
    const auto path = KQPreferences::sharePreferences()->backupSavePath();
    m_folder->setText(path ? *path : QStringLiteral("None"));
    m_show->setEnabled(path.has_value());
}

void KQBackupPaneCtrl::updateButtons()
{
    const bool idle = !m_running;
    m_backup->setEnabled(idle && allowBackup());
    const bool backupChosen = m_backupList->currentRow() >= 0;
    m_restore->setEnabled(idle && allowBackup() && backupChosen);
    m_remove->setEnabled(idle && backupChosen);
    m_choose->setEnabled(idle);
}

bool KQBackupPaneCtrl::selectedBackupPath()
{
    const QString folder = m_folderPanel(window());
    if (folder.isEmpty())
        return false;
    KQPreferences::sharePreferences()->setBackupFolder(QUrl::fromLocalFile(folder));
    updateFolderLabel();
    return KQPreferences::sharePreferences()->backupSavePath().has_value();
}

void KQBackupPaneCtrl::showBackupsavePath()
{
    if (const auto path = KQPreferences::sharePreferences()->backupSavePath())
        QDesktopServices::openUrl(QUrl::fromLocalFile(*path));
}

void KQBackupPaneCtrl::addBuckup()
{
    m_isRestore = false;
    if (!KQPreferences::sharePreferences()->backupSavePath() && !selectedBackupPath())
        return;
    startBackupCurrentContainer();
}

void KQBackupPaneCtrl::startBackupCurrentContainer()
{
    const KQContainerHelperPtr account = selectedContainer();
    const auto folder = KQPreferences::sharePreferences()->backupSavePath();
    if (!account || !folder)
        return;
    QPointer<KQBackupPaneCtrl> self(this);
    account->backupToPath(*folder, [self](qint64 message, bool* stop, double progress) {
        *stop = self ? self->processBackupMessage(message, progress) : true;
    });
}

bool KQBackupPaneCtrl::processBackupMessage(qint64 message, double percent)
{
    KQProgressWndCtrl* sheet = KQProgressWndCtrl::sharedProgressWndCtrl();
    switch (message) {
    case KQBackupMessage::Start:
        m_running = true;
        updateButtons();
        sheet->reset(QStringLiteral("Waiting..."));
        sheet->setHideCancelButton(m_isRestore);
        sheet->beginSheetForWindow(window());
        break;
    case KQBackupMessage::Progress:
        sheet->setPercent(percent * 100);
        break;
    default:
        m_running = false;
        if (message == KQBackupMessage::Finished)
            reloadBackups();
        sheet->endSheet();
        sheet->setHideCancelButton(false);
        updateButtons();
        if (!m_isRestore)
            Q_EMIT backupEnded(message == KQBackupMessage::Finished);
        break;
    }
    return sheet->cancelled();
}

void KQBackupPaneCtrl::restoreBackup()
{
    m_isRestore = true;
    const KQContainerHelperPtr account = selectedContainer();
    const int row = m_backupList->currentRow();
    if (!account || row < 0 || row >= static_cast<int>(m_backups.size()))
        return;
    const KQContainerBackupPtr backup = m_backups[static_cast<size_t>(row)];
    if (!QFileInfo::exists(backup->backupFile())) {
        KQAlerts::run(window(),
                      {QMessageBox::Warning,
                       QStringLiteral("Warning"),
                       QStringLiteral("Restore failed, the backup file may be deleted or moved and cannot be found."),
                       {QStringLiteral("OK")}});
        return;
    }
    Q_EMIT restoreStarted();
    const QString accountName = account->groupName();
    const QString date = backup->humanReadableDate();
    QPointer<KQBackupPaneCtrl> self(this);
    const QString identifier = account->identifier();
    auto ended = std::make_shared<bool>(false);
    const auto finish = [self, identifier, ended] {
        if (*ended)
            return;
        *ended = true;
        if (self)
            Q_EMIT self->restoreEnded(identifier);
    };
    const KQRestoreConfirmHandler confirm = [self, accountName, date](const KQRestoreSummary& summary) {
        if (!self)
            return false;
        const QString text =
            QStringLiteral("%1 contacts will be added, %2 changed and %3 deleted; the backup holds %4 groups and %5 "
                           "groups will be removed. A backup of the account as it is now is made first.")
                .arg(summary.contactsAdded)
                .arg(summary.contactsUpdated)
                .arg(summary.contactsDeleted)
                .arg(summary.groupsInBackup)
                .arg(summary.groupsRemoved);
        return KQAlerts::run(self->window(),
                             {QMessageBox::Warning,
                              QStringLiteral("Restore \u201c%1\u201d as it was on %2?").arg(accountName, date),
                              text,
                              {QStringLiteral("Restore"), QStringLiteral("Cancel")}}) == 0;
    };
    const QString safety = KQPreferences::sharePreferences()->backupSavePath().value_or(QString());
    account->restoreContainerFromBackup(
        backup,
        [self, finish](qint64 message, bool* stop, double progress) {
            *stop = self ? self->processBackupMessage(message, progress) : true;
            if ((message != KQBackupMessage::Start && message != KQBackupMessage::Progress) || *stop)
                finish();
        },
        confirm, safety);
}

void KQBackupPaneCtrl::removeBackup()
{
    const KQContainerHelperPtr account = selectedContainer();
    const int row = m_backupList->currentRow();
    if (!account || row < 0 || row >= static_cast<int>(m_backups.size()))
        return;
    m_manager->storage()->removeBackup(m_backups[static_cast<size_t>(row)], account->identifier());
    reloadBackups();
}
