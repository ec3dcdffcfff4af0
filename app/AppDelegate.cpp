#include "app/AppDelegate.h"

#include "store/KQContactManager.h"
#include "store/KQContactStoreHelper.h"
#include "platform/KQLog.h"
#include "app/windows/KQMainTreeWindow.h"

#include <QApplication>
#include <QPushButton>
#include <QScreen>

AppDelegate::AppDelegate(KQContactStoreHelper* storeHelper, QObject* parent)
    : QObject(parent), m_storeHelper(storeHelper), m_presentAlert(&AppDelegate::defaultAlertPresenter),
      m_quit([](int code) { QCoreApplication::exit(code); })
{
}

AppDelegate::~AppDelegate()
{
    delete m_mainWindow.data();
}

KQMainTreeWindow* AppDelegate::mainWindow() const
{
    return m_mainWindow.data();
}

int AppDelegate::defaultAlertPresenter(const KQAlert& alert)
{
    QMessageBox box;
    box.setIcon(alert.icon);
    box.setText(alert.message);
    box.setInformativeText(alert.informativeText);
    QList<QPushButton*> buttons;
    for (const QString& title : alert.buttons)
        buttons.append(box.addButton(title, QMessageBox::AcceptRole));
    box.exec();
    return static_cast<int>(buttons.indexOf(qobject_cast<QPushButton*>(box.clickedButton())));
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
    if (error.isError()) {
        KQLog(error.description());
        m_presentAlert({QMessageBox::Warning, error.localizedDescription, QString(), {QStringLiteral("OK")}});
    }
    m_presentAlert({QMessageBox::Critical,
                    QStringLiteral("Peoplekeeper need authorization to access your Contacts, or we can't manage your "
                                   "Contacts."),
                    QStringLiteral("Please set the authorization by System Preferences -> Security & Privacy -> "
                                   "Privacy -> Contacts -> find Peoplekeeper and check the checkbox."),
                    {QStringLiteral("OK")}});
    m_quit(kAccessDeniedExitCode);
}

void AppDelegate::applicationDidFinishLaunching()
{
    // The manager loads the private data and starts the reload of every account.
    KQContactManager* manager = KQContactManager::sharedContactManager();
    if (!m_mainWindow) {
        m_mainWindow = new KQMainTreeWindow(manager);
        m_mainWindow->resize(990, 650);
        if (const QScreen* screen = m_mainWindow->screen()) {
            QRect frame = m_mainWindow->frameGeometry();
            frame.moveCenter(screen->availableGeometry().center());
            m_mainWindow->move(frame.topLeft());
        }
    }
    m_mainWindow->show();
    Q_EMIT didFinishLaunching();
}

bool AppDelegate::applicationShouldHandleReopen(bool hasVisibleWindows)
{
    if (!hasVisibleWindows)
        showMainWindowWithContactHelper(nullptr);
    return true;
}

void AppDelegate::showMainWindowWithContactHelper(const KQContactHelperPtr& contact)
{
    if (!m_mainWindow)
        return;
    m_mainWindow->show();
    m_mainWindow->raise();
    m_mainWindow->activateWindow();
    if (!contact)
        return;
    // Picking the contact itself is the contact list's job; the sidebar switches to its account.
    KQContainerHelperPtr account =
        KQContactManager::sharedContactManager()->containerHelperWithContactIdentifier(contact->identifier());
    if (account && account != m_mainWindow->selectedGroupTreeNode())
        m_mainWindow->selectGroupTreeNode(account.get());
}
