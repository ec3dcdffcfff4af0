// Files handed to the application (its command line, or a later launch) land in Last Import; the
// contacts popup lists every account's contacts and opens the main window on the one chosen.
#include "KQMainWindowTestSupport.h"
#include "app/AppDelegate.h"
#include "app/windows/KQPopContactsViewCtrl.h"
#include "app/windows/KQStatusItemCtrl.h"
#include "app/windows/KQToolbarViewCtrl.h"
#include "store/KQStorage.h"

#include <QFile>
#include <QLineEdit>
#include <QListView>
#include <QTemporaryDir>

TEST(OpenFiles, FilesGivenBeforeLaunchAreImportedIntoLastImport)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("two.vcf"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("BEGIN:VCARD\r\nVERSION:3.0\r\nN:Curie;Marie;;;\r\nFN:Marie Curie\r\nEND:VCARD\r\n"
               "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Meitner;Lise;;;\r\nFN:Lise Meitner\r\nEND:VCARD\r\n");
    file.close();
    KQAlertScript script;
    AppDelegate delegate;
    delegate.setAlertPresenter([](const KQWindowAlert&) { return 0; });
    delegate.setQuitHandler([](int) {});
    KQContactManager* manager = KQContactManager::sharedContactManager();
    const int before = manager->latestImport()->countOfContacts();
    delegate.openFiles({path});
    delegate.applicationWillFinishLaunching();
    ASSERT_TRUE(kqWaitUntil([&delegate] { return delegate.mainWindow() != nullptr; }));
    ASSERT_TRUE(
        kqWaitUntil([manager, before] { return manager->latestImport()->countOfContacts() == before + 2; }, 20000));
    EXPECT_EQ(delegate.mainWindow()->selectedGroupTreeNode(), manager->latestImport());
    // Saved when the import ends, so the next start finds them.
    ASSERT_TRUE(kqWaitUntil([&delegate] { return !delegate.mainWindow()->toolbarViewCtrl()->isBusy(); }, 20000));
    EXPECT_EQ(manager->storage()->loadDefaultContainerLatestImport()->countOfContacts(), before + 2);
}

TEST(ContactsPopup, ListsEveryAccountSearchesAndOpensTheMainWindowOnTheChosenContact)
{
    KQAlertScript script;
    KQContactManager* manager = KQContactManager::sharedContactManager();
    KQContactStoreHelper* store = KQContactStoreHelper::shared();
    ASSERT_TRUE(kqWaitForAccounts());
    const QString local = store->contactStore()->defaultContainerIdentifier();
    kqAddStoreContact(QStringLiteral("Marie"), QStringLiteral("Curie"), local);
    kqAddStoreContact(QStringLiteral("Lise"), QStringLiteral("Meitner"), local);
    ASSERT_TRUE(kqReloadAccounts());

    KQMainWindow window(manager);
    ASSERT_TRUE(window.selectGroupTreeNode(manager->recyle().get()));
    KQStatusItemCtrl statusItem(manager, &window);
    // No tray here: the popup opens from the Window menu.
    EXPECT_FALSE(statusItem.hasTray());
    statusItem.showPopover();
    KQPopContactsViewCtrl* popup = statusItem.popover();
    ASSERT_TRUE(kqWaitUntil([popup] { return !popup->isLoading(); }));
    EXPECT_EQ(popup->listModel()->rowCount(), 2);
    popup->setSearchText(QStringLiteral("meit"));
    ASSERT_EQ(popup->listModel()->rowCount(), 1);

    auto* list = popup->findChild<QListView*>(QStringLiteral("popContactList"));
    ASSERT_NE(list, nullptr);
    Q_EMIT list->activated(popup->listModel()->index(0));
    EXPECT_FALSE(popup->isVisible());
    EXPECT_TRUE(window.isVisible());
    // The account is selected, then the contact once its list has loaded.
    ASSERT_TRUE(kqWaitUntil([&window] {
        const auto selected = window.contactsViewController()->selectedContactHelpers();
        return selected.size() == 1 && selected.front()->displayName() == QStringLiteral("Lise Meitner");
    }));
    EXPECT_EQ(window.selectedGroupTreeNode()->identifier(), local);
}
