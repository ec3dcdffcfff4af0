#include "app/AppDelegate.h"

#include "app/windows/KQAboutWndCtr.h"
#include "app/windows/KQBackupPaneCtrl.h"
#include "app/windows/KQConflictDupNameCfgWndCtrl.h"
#include "app/windows/KQConflictPrefixCfgWndCtrl.h"
#include "app/windows/KQConflictWndCtrl.h"
#include "app/windows/KQContactDetailPane.h"
#include "app/windows/KQContactDetailViewCtrl.h"
#include "app/windows/KQContactsViewController.h"
#include "app/windows/KQFieldMapWindow.h"
#include "app/windows/KQGroupViewController.h"
#include "app/windows/KQMainWindow.h"
#include "app/windows/KQMainWindowMenus.h"
#include "app/windows/KQPreferencesWndCtrl.h"
#include "app/windows/KQStatusItemCtrl.h"
#include "app/windows/KQToolbarViewCtrl.h"
#include "platform/CNError.h"
#include "platform/KQLog.h"
#include "problems/KQConflictMetaDuplicateName.h"
#include "problems/KQConflictMetaPrefix.h"
#include "store/KQContactManager.h"
#include "store/KQContactStoreHelper.h"
#include "store/KQContainerHelper.h"
#include "store/KQStorage.h"

#include <QApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <utility>

AppDelegate::AppDelegate(KQContactStoreHelper* storeHelper, QObject* parent)
    : QObject(parent), m_storeHelper(storeHelper), m_presentAlert(&AppDelegate::defaultAlertPresenter),
      m_quit([](int code) { QCoreApplication::exit(code); })
{
}

AppDelegate::~AppDelegate()
{
    delete m_statusItem;
    delete m_preferences.data();
    if (m_mainWindow)
        m_mainWindow->saveWindowState();
    delete m_mainWindow.data();
}

KQMainWindow* AppDelegate::mainWindow() const
{
    return m_mainWindow.data();
}

int AppDelegate::defaultAlertPresenter(const KQWindowAlert& alert)
{
    return KQAlerts::messageBox(nullptr, alert);
}

void AppDelegate::applicationWillFinishLaunching()
{
    checkContactsAuthorizationStatus();
}

void AppDelegate::checkContactsAuthorizationStatus()
{
    KQContactStoreHelper* store = m_storeHelper != nullptr ? m_storeHelper : KQContactStoreHelper::shared();
    QPointer<AppDelegate> self(this);
    store->requestContactsAccessGranted([self](bool granted, const CNError& error) {
        if (!self)
            return;
        if (granted)
            self->applicationDidFinishLaunching();
        else
            self->accessRefused(error);
    });
}

void AppDelegate::accessRefused(const CNError& error)
{
    KQContactStoreHelper* store = m_storeHelper != nullptr ? m_storeHelper : KQContactStoreHelper::shared();
    const QString path = store->contactStore()->databasePath();
    const QString name = QFileInfo(path).fileName();
    const QString folder = QFileInfo(path).absolutePath();
    if (error.isError())
        KQLog(error.description());
    switch (error.code) {
    case CNError::CorruptData: {
        const QString aside = path + QStringLiteral(".damaged-") +
                              QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
        const int answer = m_presentAlert(
            {QMessageBox::Critical,
             QStringLiteral("The contact store \u201c%1\u201d is damaged.").arg(name),
             QStringLiteral(
                 "%1\n\nPeoplekeeper can set the damaged file aside, keeping it as \u201c%2\u201d, and start "
                 "with a new, empty store. Or quit and put back a copy of the file from a backup.")
                 .arg(error.localizedDescription, QFileInfo(aside).fileName()),
             {QStringLiteral("Set Aside and Start New"), QStringLiteral("Quit")}});
        if (answer == 0) {
            if (setStoreAside(path, aside)) {
                m_presentAlert({QMessageBox::Information,
                                QStringLiteral("The damaged contact store was set aside."),
                                QStringLiteral("It is kept as \u201c%1\u201d. Start Peoplekeeper again to begin with a "
                                               "new, empty store.")
                                    .arg(aside),
                                {QStringLiteral("OK")}});
            } else {
                m_presentAlert(
                    {QMessageBox::Critical,
                     QStringLiteral("The damaged contact store cannot be set aside."),
                     QStringLiteral("Please check that you may write in the folder \u201c%1\u201d.").arg(folder),
                     {QStringLiteral("OK")}});
            }
        }
        break;
    }
    case CNError::StoreNewerVersion:
        m_presentAlert(
            {QMessageBox::Critical,
             QStringLiteral("The contact store was written by a newer version of Peoplekeeper."),
             QStringLiteral("%1\n\nPlease use that version of Peoplekeeper.").arg(error.localizedDescription),
             {QStringLiteral("OK")}});
        break;
    case CNError::StoreDiskFull:
        m_presentAlert(
            {QMessageBox::Critical,
             QStringLiteral("The contact store cannot be written: its disk is full."),
             QStringLiteral("Please make room on the disk of the folder \u201c%1\u201d, then start Peoplekeeper "
                            "again.")
                 .arg(folder),
             {QStringLiteral("OK")}});
        break;
    default:
        if (error.isError())
            m_presentAlert({QMessageBox::Warning, error.localizedDescription, QString(), {QStringLiteral("OK")}});
        // There is no privacy settings pane on this platform: the folder's permissions decide.
        m_presentAlert({QMessageBox::Critical,
                        QStringLiteral("Peoplekeeper need authorization to access your Contacts, or we can't manage "
                                       "your Contacts."),
                        QStringLiteral("Please check that you may read and write the folder \u201c%1\u201d (its "
                                       "permissions), then start Peoplekeeper again.")
                            .arg(folder),
                        {QStringLiteral("OK")}});
        break;
    }
    m_quit(kAccessDeniedExitCode);
}

bool AppDelegate::setStoreAside(const QString& path, const QString& aside)
{
    if (::rename(QFile::encodeName(path).constData(), QFile::encodeName(aside).constData()) != 0) {
        KQLog(QStringLiteral("error: cannot set the damaged store %1 aside").arg(path));
        return false;
    }
    // Its journal files belong to it.
    for (const QString& suffix : {QStringLiteral("-wal"), QStringLiteral("-shm")}) {
        if (QFileInfo::exists(path + suffix))
            ::rename(QFile::encodeName(path + suffix).constData(), QFile::encodeName(aside + suffix).constData());
    }
    KQLog(QStringLiteral("Warning: the damaged store %1 was set aside as %2").arg(path, aside));
    return true;
}

void AppDelegate::applicationDidFinishLaunching()
{
    // The manager loads the private data and starts the reload of every account.
    KQContactManager* manager = KQContactManager::sharedContactManager();
    if (!m_mainWindow) {
        m_mainWindow = new KQMainWindow(manager);
        setUpShell();
    }
    m_mainWindow->show();
    // Private files that could not be read were started empty; the user hears of it once.
    const QStringList problems = manager->storage()->takeLoadProblems();
    if (!problems.isEmpty()) {
        m_presentAlert({QMessageBox::Warning,
                        QStringLiteral("Some of Peoplekeeper's own files could not be read."),
                        problems.join(QStringLiteral("\n\n")),
                        {QStringLiteral("OK")}});
    }
    if (!m_pendingFiles.isEmpty())
        openFiles(std::exchange(m_pendingFiles, {}));
    Q_EMIT didFinishLaunching();
}

void AppDelegate::setUpShell()
{
    KQMainWindow* window = m_mainWindow.data();
    KQFieldMapWindow::installPresenter(window);
    m_statusItem = new KQStatusItemCtrl(KQContactManager::sharedContactManager(), window);
    window->menus()->setContactsPopupOpener([this] { m_statusItem->showPopover(); });
    window->menus()->setAboutOpener([this] { clickAbout(); });
    window->setPreferencesOpener([this] { showPreferences(); });

    // The right-hand pane: the detail editor with its Edit/Done bar.
    KQContactDetailPane::installInWindow(window);
    KQContactsViewController* contacts = window->contactsViewController();

    // A scan's result opens the problem window; the list stops following the account meanwhile
    // and shows its contacts again afterwards.
    KQConflictWndCtrl* problems = KQConflictWndCtrl::sharedConflictWndCtrl();
    window->toolbarViewCtrl()->setScanResultHandler(
        [problems](const KQConflictResultPtr& result, QWidget* modal) { problems->showConflictResult(result, modal); });
    connect(problems, &KQConflictWndCtrl::windowDidOpen, window,
            [contacts] { contacts->setNotRespondGroupContactsChanged(true); });
    connect(problems, &KQConflictWndCtrl::windowDidClose, window, [window, contacts] {
        contacts->setNotRespondGroupContactsChanged(false);
        window->groupsViewController()->refreshContactsStore();
    });
}

KQPreferencesWndCtrl* AppDelegate::preferencesWindow()
{
    if (!m_preferences && m_mainWindow) {
        m_preferences = new KQPreferencesWndCtrl(KQContactManager::sharedContactManager(), m_mainWindow);
        m_preferences->setWindowFlag(Qt::Window);
        KQMainWindow* window = m_mainWindow.data();
        KQBackupPaneCtrl* backup = m_preferences->backupPane();
        // A restore rewrites the account: the list stops following it, then the account is
        // selected again with its new contacts and groups.
        // The kinds with settings open their sheet on the very entry of the list.
        m_preferences->setConfigureConflictHandler([](const KQConflictMetaPtr& meta, QWidget* parent) {
            if (auto name = std::dynamic_pointer_cast<KQConflictMetaDuplicateName>(meta)) {
                KQConflictDupNameCfgWndCtrl* sheet = KQConflictDupNameCfgWndCtrl::shareConflictDupNameCfgWndCtrl();
                sheet->setConflictDupName(name);
                sheet->beginSheetForModalWindow(parent, [](bool) {});
            } else if (auto prefix = std::dynamic_pointer_cast<KQConflictMetaPrefix>(meta)) {
                KQConflictPrefixCfgWndCtrl* sheet = KQConflictPrefixCfgWndCtrl::sharedConflictPrefixCfgWndCtrl();
                sheet->setConflictPrefix(prefix);
                sheet->beginSheetForModalWindow(parent, [](bool) {});
            }
        });
        connect(backup, &KQBackupPaneCtrl::restoreStarted, window,
                [window] { window->contactsViewController()->setNotRespondGroupContactsChanged(true); });
        connect(backup, &KQBackupPaneCtrl::restoreEnded, window, [window] {
            window->contactsViewController()->setNotRespondGroupContactsChanged(false);
            window->groupsViewController()->refreshContactsStore();
        });
    }
    return m_preferences.data();
}

void AppDelegate::showPreferences()
{
    if (KQPreferencesWndCtrl* preferences = preferencesWindow()) {
        preferences->show();
        preferences->raise();
        preferences->activateWindow();
    }
}

void AppDelegate::clickAbout()
{
    KQAboutWndCtr about(m_mainWindow);
    about.exec();
}

void AppDelegate::openFiles(const QStringList& paths)
{
    if (paths.isEmpty())
        return;
    if (!m_mainWindow) {
        m_pendingFiles += paths;
        return;
    }
    m_mainWindow->showContact(nullptr);
    KQContactManager* manager = KQContactManager::sharedContactManager();
    m_mainWindow->selectGroupTreeNode(manager->latestImport().get());
    m_mainWindow->toolbarViewCtrl()->importFiles(paths, manager->latestImport(), true);
}

bool AppDelegate::applicationShouldHandleReopen(bool hasVisibleWindows)
{
    if (!hasVisibleWindows)
        showMainWindowWithContactHelper(nullptr);
    return true;
}

void AppDelegate::showMainWindowWithContactHelper(const KQContactHelperPtr& contact)
{
    if (m_mainWindow)
        m_mainWindow->showContact(contact);
}
