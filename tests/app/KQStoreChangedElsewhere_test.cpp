// Another program saves a contact while the window is open: the refresh bar appears, Refresh shows
// the change, and what the user had in the window (node, search text, selection) stays.
#include "KQMainWindowTestSupport.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>

TEST(StoreChangedElsewhere, RefreshBarAppearsAndRefreshShowsTheOtherProgramsContact)
{
    KQAlertScript script;
    KQContactManager* manager = KQContactManager::sharedContactManager();
    KQContactStoreHelper* store = KQContactStoreHelper::shared();
    ASSERT_TRUE(kqWaitForAccounts());
    // Our own writes below would otherwise hold back the notice for 20 seconds.
    store->setDiscardWindowInterval(50);
    const QString local = store->contactStore()->defaultContainerIdentifier();
    kqAddStoreContact(QStringLiteral("Ada"), QStringLiteral("Lovelace"), local);
    kqAddStoreContact(QStringLiteral("Adam"), QStringLiteral("Smith"), local);
    ASSERT_TRUE(kqReloadAccounts());
    kqSpin(200);

    KQMainWindow window(manager);
    window.show();
    KQContactsViewController* contacts = window.contactsViewController();
    const KQContainerHelperPtr account = manager->containerHelperWithIdentifier(local);
    ASSERT_TRUE(window.selectGroupTreeNode(account.get()));
    ASSERT_TRUE(kqWaitListed(contacts, 2));
    contacts->setSearchKeywords(QStringLiteral("ada"));
    ASSERT_TRUE(kqWaitListed(contacts, 2));
    ASSERT_TRUE(kqSelectByName(contacts, {QStringLiteral("Adam Smith")}));
    EXPECT_FALSE(window.groupsViewController()->isRefreshBarVisible());

    // The other program: peoplekeeper-cli over the same store.
    QTemporaryDir dir;
    const QString card = dir.filePath(QStringLiteral("ada2.vcf"));
    QFile file(card);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("BEGIN:VCARD\r\nVERSION:3.0\r\nN:Adams;Adalind;;;\r\nFN:Adalind Adams\r\nEND:VCARD\r\n");
    file.close();
    QProcess cli;
    cli.start(QStringLiteral(KQ_CLI_PATH),
              {QStringLiteral("import"), card, QStringLiteral("--account"), account->groupName()});
    ASSERT_TRUE(cli.waitForFinished(60000));
    ASSERT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();

    ASSERT_TRUE(kqWaitUntil([&window] { return window.groupsViewController()->isRefreshBarVisible(); }, 15000));
    // Nothing changes under the user until Refresh.
    EXPECT_EQ(contacts->contactHelpers().size(), 2u);
    auto* refresh = window.findChild<QPushButton*>(QStringLiteral("refreshButton"));
    ASSERT_NE(refresh, nullptr);
    refresh->click();
    ASSERT_TRUE(kqWaitListed(contacts, 3, 20000)) << kqListedNames(contacts).join(QLatin1Char(',')).toStdString();
    EXPECT_FALSE(window.groupsViewController()->isRefreshBarVisible());
    EXPECT_TRUE(kqListedNames(contacts).contains(QStringLiteral("Adalind Adams")));
    EXPECT_EQ(window.selectedGroupTreeNode()->identifier(), local);
    EXPECT_EQ(window.findChild<QLineEdit*>(QStringLiteral("searchField"))->text(), QStringLiteral("ada"));
}
