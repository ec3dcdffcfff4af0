#pragma once
// The application delegate: checks access to the contact store, then makes the contact manager
// (which loads every account) and shows the main window.

#include "app/windows/KQAlerts.h"
#include "model/KQContactHelper.h"

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <functional>

class KQContactStoreHelper;
class KQAboutWndCtr;
class KQMainWindow;
class KQPreferencesWndCtrl;
class KQStatusItemCtrl;
struct CNError;

// Shows an alert of the delegate and answers the index of the button pressed.
using KQAlertPresenter = std::function<int(const KQWindowAlert&)>;

class AppDelegate : public QObject
{
    Q_OBJECT
public:
    // Exit code of the application when access to the contact store is refused.
    static constexpr int kAccessDeniedExitCode = 1;

    // storeHelper is the store interface whose access is checked; the process's shared one when
    // none is given. The contact manager always works on the shared one.
    explicit AppDelegate(KQContactStoreHelper* storeHelper = nullptr, QObject* parent = nullptr);
    ~AppDelegate() override;

    // Alerts go through presenter (a modal message box by default).
    void setAlertPresenter(KQAlertPresenter presenter) { m_presentAlert = std::move(presenter); }
    // Ends the application with an exit code (QCoreApplication::exit by default).
    void setQuitHandler(std::function<void(int)> quit) { m_quit = std::move(quit); }

    // Starts the launch: the access check, then, when granted, applicationDidFinishLaunching.
    // Call it from the running main loop.
    void applicationWillFinishLaunching();
    void checkContactsAuthorizationStatus();
    void applicationDidFinishLaunching();
    // Shows the main window when none is visible; always true.
    bool applicationShouldHandleReopen(bool hasVisibleWindows);
    void showMainWindowWithContactHelper(const KQContactHelperPtr& contact);

    KQMainWindow* mainWindow() const;
    // Made on first use, with the main window as parent.
    KQPreferencesWndCtrl* preferencesWindow();
    KQStatusItemCtrl* statusItemCtrl() const { return m_statusItem; }
    void showPreferences();
    void clickAbout();
    // Files given on the command line (or by a later launch) are imported into Last Import once
    // the window is up.
    void openFiles(const QStringList& paths);
    static int defaultAlertPresenter(const KQWindowAlert& alert);

Q_SIGNALS:
    void didFinishLaunching();

private:
    // Tells the user why the store cannot be opened (each cause its own alert), then quits.
    void accessRefused(const CNError& error);
    // Renames a damaged store file and its journal files; false when it stays in place.
    static bool setStoreAside(const QString& path, const QString& aside);

    KQContactStoreHelper* m_storeHelper;
    KQAlertPresenter m_presentAlert;
    std::function<void(int)> m_quit;
    // Wires the menus, the tray, the field-map window and the preferences to the main window.
    void setUpShell();

    QPointer<KQMainWindow> m_mainWindow;
    QPointer<KQPreferencesWndCtrl> m_preferences;
    KQStatusItemCtrl* m_statusItem = nullptr;
    QStringList m_pendingFiles;
};
