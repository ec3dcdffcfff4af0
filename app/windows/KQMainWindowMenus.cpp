#include "app/windows/KQMainWindowMenus.h"

#include "app/AppLogHelper.h"
#include "app/windows/KQContactsViewController.h"
#include "app/windows/KQDropRules.h"
#include "app/windows/KQGroupViewController.h"
#include "app/windows/KQMainWindow.h"
#include "app/windows/KQTagsViewController.h"
#include "app/windows/KQToolbarViewCtrl.h"
#include "store/KQContactManager.h"

#include <QApplication>
#include <QDesktopServices>
#include <QInputDialog>
#include <QLineEdit>
#include <QListView>
#include <QMenuBar>
#include <QUrl>

namespace {

QString product()
{
    return QStringLiteral("Peoplekeeper");
}

} // namespace

QString KQMainWindowMenus::helpPageURL()
{
    return QStringLiteral("https://peoplekeeper.org/help/");
}

QString KQMainWindowMenus::productPageURL()
{
    return QStringLiteral("https://peoplekeeper.org/");
}

KQMainWindowMenus::KQMainWindowMenus(KQMainWindow* window) : QObject(window), m_window(window)
{
    QMenuBar* bar = window->menuBar();
    KQContactsViewController* contacts = window->contactsViewController();
    KQGroupViewController* groups = window->groupsViewController();
    KQToolbarViewCtrl* toolbar = window->toolbarViewCtrl();

    QMenu* file = bar->addMenu(QStringLiteral("&File"));
    file->addAction(toolbar->newContactAction());
    add(
        file, QStringLiteral("New Group"), QStringLiteral("newGroupMenuAction"),
        [groups] {
            KQGroupTreeNodePtr node = groups->selectedGroupTreeNode();
            if (node && !KQDropRules::isPseudoAccount(node.get()))
                groups->addAGroup(node);
        },
        QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_N));
    file->addSeparator();
    add(
        file, QStringLiteral("Import..."), QStringLiteral("importMenuAction"), [toolbar] { toolbar->importContacts(); },
        QKeySequence(Qt::CTRL | Qt::Key_I));
    add(
        file, QStringLiteral("Export..."), QStringLiteral("exportMenuAction"),
        [window] { window->exportCurrentSelect(); }, QKeySequence(Qt::CTRL | Qt::Key_E));
    add(
        file, QStringLiteral("Print..."), QStringLiteral("printMenuAction"),
        [window] { window->printCurrentSelect(true); }, QKeySequence::Print);
    add(file, QStringLiteral("Print All Fields..."), QStringLiteral("printAllFieldsMenuAction"),
        [window] { window->printCurrentSelect(false); });
    file->addSeparator();
    add(
        file, QStringLiteral("Close Window"), QStringLiteral("closeMenuAction"), [window] { window->close(); },
        QKeySequence::Close);
    QAction* quit = add(
        file, QStringLiteral("Quit %1").arg(product()), QStringLiteral("quitMenuAction"), [] { QApplication::quit(); },
        QKeySequence::Quit);
    quit->setMenuRole(QAction::QuitRole);

    m_editMenu = bar->addMenu(QStringLiteral("&Edit"));
    add(m_editMenu, QStringLiteral("Delete"), QStringLiteral("deleteMenuAction"),
        [contacts] { contacts->deleteContact(); });
    add(
        m_editMenu, QStringLiteral("Copy as vCard"), QStringLiteral("copyVCardMenuAction"),
        [contacts] { contacts->copyAsVCard(); }, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C));
    add(m_editMenu, QStringLiteral("Copy as Text"), QStringLiteral("copyTextMenuAction"),
        [contacts] { contacts->copyAsText(); });
    add(
        m_editMenu, QStringLiteral("Select All"), QStringLiteral("selectAllMenuAction"),
        [contacts] { contacts->listView()->selectAll(); }, QKeySequence::SelectAll);
    add(
        m_editMenu, QStringLiteral("Find"), QStringLiteral("findMenuAction"),
        [contacts] {
            contacts->searchField()->setFocus();
            contacts->searchField()->selectAll();
        },
        QKeySequence::Find);
    m_editMenu->addSeparator();
    QAction* preferences = add(
        m_editMenu, QStringLiteral("Preferences..."), QStringLiteral("preferencesMenuAction"),
        [window] { window->showPreferences(); }, QKeySequence::Preferences);
    preferences->setMenuRole(QAction::PreferencesRole);
    connect(m_editMenu, &QMenu::aboutToShow, this, &KQMainWindowMenus::updateEditMenu);

    m_contactMenu = bar->addMenu(QStringLiteral("&Contact"));
    add(m_contactMenu, QStringLiteral("Send Email"), QStringLiteral("sendEmailMenuAction"),
        [contacts] { contacts->sendEmailContact(); });
    add(m_contactMenu, QStringLiteral("Share with Mail..."), QStringLiteral("shareMailMenuAction"),
        [contacts] { contacts->shareWithMail(); });
    add(m_contactMenu, QStringLiteral("Put Back"), QStringLiteral("putBackMenuAction"),
        [contacts] { contacts->putbackAction(); });
    m_moveTo = m_contactMenu->addMenu(QStringLiteral("Move to"));
    m_moveTo->setObjectName(QStringLiteral("moveToMenuHolder"));
    m_tagsMenu = m_contactMenu->addMenu(QStringLiteral("Tags"));
    m_tagsMenu->setObjectName(QStringLiteral("tagsMenu"));
    m_contactMenu->addSeparator();
    m_contactMenu->addAction(toolbar->scanAction());
    connect(m_contactMenu, &QMenu::aboutToShow, this, &KQMainWindowMenus::updateContactMenu);
    // Shortcuts and triggers work while the menus are closed, so the items follow the selection.
    connect(contacts, &KQContactsViewController::selectionChanged, this, [this] {
        updateEditMenu();
        updateContactEnabling();
    });

    QMenu* view = bar->addMenu(QStringLiteral("&View"));
    add(view, QStringLiteral("Sort Ascending"), QStringLiteral("sortAscendingMenuAction"),
        [contacts] { contacts->setSortType(0); });
    add(view, QStringLiteral("Sort Descending"), QStringLiteral("sortDescendingMenuAction"),
        [contacts] { contacts->setSortType(1); });
    view->addSeparator();
    add(
        view, QStringLiteral("Refresh"), QStringLiteral("refreshMenuAction"),
        [groups] { groups->refreshContactsStore(); }, QKeySequence::Refresh);

    QMenu* windows = bar->addMenu(QStringLiteral("&Window"));
    add(
        windows, product(), QStringLiteral("openMainWindowMenuAction"), [window] { window->showContact(nullptr); },
        QKeySequence(Qt::CTRL | Qt::Key_0));
    add(
        windows, QStringLiteral("Contacts Popup"), QStringLiteral("contactsPopupMenuAction"),
        [this] {
            if (m_openPopup)
                m_openPopup();
        },
        QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P));

    QMenu* help = bar->addMenu(QStringLiteral("&Help"));
    add(
        help, QStringLiteral("%1 Help").arg(product()), QStringLiteral("helpMenuAction"),
        [] { QDesktopServices::openUrl(QUrl(helpPageURL())); }, QKeySequence::HelpContents);
    add(help, QStringLiteral("Show Logs Folder"), QStringLiteral("logsFolderMenuAction"),
        [] { QDesktopServices::openUrl(QUrl::fromLocalFile(AppLogHelper::sharedLogHelper()->logPath())); });
    help->addSeparator();
    QAction* about = add(help, QStringLiteral("About %1").arg(product()), QStringLiteral("aboutMenuAction"), [this] {
        if (m_openAbout)
            m_openAbout();
    });
    about->setMenuRole(QAction::AboutRole);
    updateContactMenu();
    updateEditMenu();
}

QAction* KQMainWindowMenus::add(QMenu* menu, const QString& title, const QString& name, std::function<void()> run,
                                const QKeySequence& shortcut)
{
    QAction* action = menu->addAction(title);
    action->setObjectName(name);
    if (!shortcut.isEmpty())
        action->setShortcut(shortcut);
    connect(action, &QAction::triggered, this, [run = std::move(run)] { run(); });
    return action;
}

QAction* KQMainWindowMenus::action(const QString& objectName) const
{
    return m_window->findChild<QAction*>(objectName);
}

void KQMainWindowMenus::updateEditMenu()
{
    const bool selected = !m_window->contactsViewController()->selectedContactHelpers().empty();
    for (const char* name : {"deleteMenuAction", "copyVCardMenuAction", "copyTextMenuAction"}) {
        if (QAction* item = action(QString::fromLatin1(name)))
            item->setEnabled(selected);
    }
}

void KQMainWindowMenus::updateContactEnabling()
{
    KQContactsViewController* contacts = m_window->contactsViewController();
    const KQContactHelperList selected = contacts->selectedContactHelpers();
    const KQGroupTreeNodePtr node = contacts->currentGroupTreeNode();
    bool email = false;
    for (const auto& contact : selected)
        email = email || contact->enableEmail();
    action(QStringLiteral("sendEmailMenuAction"))->setEnabled(email);
    action(QStringLiteral("shareMailMenuAction"))->setEnabled(!selected.empty());
    action(QStringLiteral("putBackMenuAction"))->setEnabled(KQDropRules::isTrash(node.get()) && !selected.empty());
}

void KQMainWindowMenus::updateContactMenu()
{
    updateContactEnabling();
    KQContactsViewController* contacts = m_window->contactsViewController();
    const KQContactHelperList selected = contacts->selectedContactHelpers();
    const KQGroupTreeNodePtr node = contacts->currentGroupTreeNode();

    m_moveTo->clear();
    m_moveTo->setEnabled(!selected.empty());
    if (!selected.empty()) {
        QMenu* built = contacts->moveToMenu(m_moveTo);
        for (QAction* entry : built->actions())
            m_moveTo->addAction(entry);
    }

    m_tagsMenu->clear();
    m_tagsMenu->setEnabled(!selected.empty() && !KQDropRules::isPseudoAccount(node.get()));
    KQContactManager* manager = KQContactManager::sharedContactManager();
    for (const auto& tag : manager->tagsMgr()->tags()) {
        bool all = true;
        for (const auto& contact : selected) {
            bool carries = false;
            for (const auto& carried : contact->tags())
                carries = carries || carried == tag;
            all = all && carries;
        }
        QAction* entry = m_tagsMenu->addAction(tag->name());
        entry->setCheckable(true);
        entry->setChecked(all && !selected.empty());
        connect(entry, &QAction::triggered, contacts, [contacts, tag](bool on) {
            if (on)
                contacts->addTagToSelection(tag);
            else
                contacts->removeTagFromSelection(tag);
        });
    }
    m_tagsMenu->addSeparator();
    connect(m_tagsMenu->addAction(QStringLiteral("New Tag...")), &QAction::triggered, contacts, [this, contacts] {
        bool ok = false;
        const QString name = QInputDialog::getText(m_window, QStringLiteral("New Tag"), QStringLiteral("Tag name:"),
                                                   QLineEdit::Normal, QString(), &ok)
                                 .trimmed();
        if (!ok || name.isEmpty())
            return;
        KQContactManager* shared = KQContactManager::sharedContactManager();
        KQTagPtr tag = shared->tagsMgr()->tagWithName(name);
        contacts->addTagToSelection(tag ? tag : KQTag::create(name));
    });
}
