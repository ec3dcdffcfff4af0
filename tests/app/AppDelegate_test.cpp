#include "KQAppTestSupport.h"
#include "app/AppDelegate.h"
#include "app/windows/KQContactsViewController.h"
#include "app/windows/KQGroupViewController.h"
#include "app/windows/KQMainWindow.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeView>
#include <gtest/gtest.h>

namespace {

// Records the alerts and the exit code instead of showing dialogs and quitting.
struct LaunchRecorder
{
    std::vector<KQWindowAlert> alerts;
    std::optional<int> exitCode;

    void attach(AppDelegate& delegate)
    {
        delegate.setAlertPresenter([this](const KQWindowAlert& alert) {
            alerts.push_back(alert);
            return 0;
        });
        delegate.setQuitHandler([this](int code) { exitCode = code; });
    }
};

struct RefusalCase
{
    const char* name;
    // The store path inside a folder that holds the file "plain" (4096 bytes of 'x').
    const char* store;
    // Texts the last alert's message and informative text contain.
    QString message;
    QString informative;
};

void PrintTo(const RefusalCase& c, std::ostream* os)
{
    *os << c.name;
}

class AppDelegateRefusal : public ::testing::TestWithParam<RefusalCase>
{
};

} // namespace

// A store that cannot be opened ends the application after an alert that names the cause; what
// was there is left as it was.
TEST_P(AppDelegateRefusal, ShowsTheAlertOfItsCauseAndQuits)
{
    QTemporaryDir dir;
    QFile plain(dir.filePath(QStringLiteral("plain")));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.write(QByteArray(4096, 'x'));
    plain.close();
    const QString path = dir.filePath(QString::fromLatin1(GetParam().store));
    KQContactStoreHelper store(std::make_shared<CNContactStore>(path));

    AppDelegate delegate(&store);
    LaunchRecorder recorder;
    recorder.attach(delegate);
    delegate.setAlertPresenter([&recorder](const KQWindowAlert& alert) {
        recorder.alerts.push_back(alert);
        return 1; // "Quit" where there is a choice
    });
    delegate.applicationWillFinishLaunching();
    ASSERT_TRUE(kqWaitUntil([&recorder] { return recorder.exitCode.has_value(); }));

    EXPECT_EQ(*recorder.exitCode, AppDelegate::kAccessDeniedExitCode);
    ASSERT_FALSE(recorder.alerts.empty());
    const KQWindowAlert& last = recorder.alerts.back();
    EXPECT_EQ(last.icon, QMessageBox::Critical);
    EXPECT_TRUE(last.message.contains(GetParam().message)) << last.message.toStdString();
    EXPECT_TRUE(last.informativeText.contains(GetParam().informative)) << last.informativeText.toStdString();
    EXPECT_FALSE(last.informativeText.contains(QStringLiteral("System Preferences")));
    EXPECT_EQ(delegate.mainWindow(), nullptr);
    QFile after(dir.filePath(QStringLiteral("plain")));
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_EQ(after.readAll(), QByteArray(4096, 'x'));
}

INSTANTIATE_TEST_SUITE_P(
    UnopenableStores, AppDelegateRefusal,
    ::testing::Values(RefusalCase{"NotADatabase", "plain", QStringLiteral("\u201cplain\u201d is damaged"),
                                  QStringLiteral("set the damaged file aside")},
                      RefusalCase{"FolderUnderAPlainFile", "plain/contacts.db",
                                  QStringLiteral("Peoplekeeper need authorization to access your Contacts"),
                                  QStringLiteral("/plain\u201d (its permissions)")}),
    [](const ::testing::TestParamInfo<RefusalCase>& p) { return std::string(p.param.name); });

TEST(AppDelegate, DamagedStoreIsSetAsideWhenTheUserAsks)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("contacts.db"));
    QFile damaged(path);
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write(QByteArray(4096, 'x'));
    damaged.close();
    KQContactStoreHelper store(std::make_shared<CNContactStore>(path));
    AppDelegate delegate(&store);
    LaunchRecorder recorder;
    recorder.attach(delegate);
    delegate.applicationWillFinishLaunching();
    ASSERT_TRUE(kqWaitUntil([&recorder] { return recorder.exitCode.has_value(); }));
    EXPECT_FALSE(QFileInfo::exists(path));
    const QStringList aside = QDir(dir.path()).entryList({QStringLiteral("contacts.db.damaged-*")}, QDir::Files);
    ASSERT_EQ(aside.size(), 1);
    QFile kept(dir.filePath(aside.constFirst()));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray(4096, 'x'));
    ASSERT_EQ(recorder.alerts.size(), 2u);
    EXPECT_TRUE(recorder.alerts.back().informativeText.contains(aside.constFirst()));
}

TEST(AppDelegate, GrantedAccessShowsTheTreeOfAccounts)
{
    AppDelegate delegate;
    LaunchRecorder recorder;
    recorder.attach(delegate);
    delegate.applicationWillFinishLaunching();
    ASSERT_TRUE(kqWaitUntil([&delegate] { return delegate.mainWindow() != nullptr; }));
    ASSERT_TRUE(kqWaitForAccounts());

    KQMainWindow* window = delegate.mainWindow();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->size(), QSize(990, 650));
    EXPECT_TRUE(recorder.alerts.empty());
    EXPECT_FALSE(recorder.exitCode.has_value());

    auto* tree = window->findChild<QTreeView*>(QStringLiteral("groupTree"));
    ASSERT_NE(tree, nullptr);
    ASSERT_TRUE(kqWaitUntil([tree] {
        return tree->model()->rowCount() == KQContactManager::sharedContactManager()->countOfAllRootContainers();
    }));
    EXPECT_EQ(kqDumpModel(*tree->model()), kqDumpManager());

    // The right-hand pane is the detail editor with its Edit/Done bar, and the scan hands its
    // result to the problem window.
    auto* pane = window->findChild<QWidget*>(QStringLiteral("contactDetailPane"));
    ASSERT_NE(pane, nullptr);
    EXPECT_EQ(window->contactsViewController()->detailView(), pane);
    auto* editDone = pane->findChild<QPushButton*>(QStringLiteral("editDoneButton"));
    ASSERT_NE(editDone, nullptr);
    EXPECT_EQ(editDone->text(), QStringLiteral("Edit"));
    EXPECT_FALSE(editDone->isEnabled()) << "nothing to edit before a contact is selected";
}

TEST(KQGroupViewController, SelectingAndExpandingLoadNodesAndTheSelectionSurvivesAReload)
{
    KQContactStoreHelper* store = KQContactStoreHelper::shared();
    KQContactManager* manager = KQContactManager::sharedContactManager();
    ASSERT_TRUE(kqWaitForAccounts());
    const QString local = store->contactStore()->defaultContainerIdentifier();
    CNMutableGroupPtr family = store->newGroupWithName(QStringLiteral("Family"));
    ASSERT_TRUE(store->addGroup(*family, local));
    CNMutableContactPtr contact = store->newContact();
    contact->setGivenName(QStringLiteral("Grace"));
    ASSERT_TRUE(store->importContacts({contact}, local, family.get()));
    ASSERT_TRUE(kqReloadAccounts());

    KQMainWindow main(manager);
    main.show();
    KQGroupViewController& window = *main.groupsViewController();
    auto* tree = window.findChild<QTreeView*>(QStringLiteral("groupTree"));
    ASSERT_NE(tree, nullptr);
    KQContactsViewController* contacts = main.contactsViewController();

    // The first root row is selected from the start, and its contacts load.
    ASSERT_TRUE(window.selectedGroupTreeNode());
    EXPECT_EQ(window.selectedGroupTreeNode(), manager->objectInAllRootContainersAtIndex(0));
    EXPECT_EQ(tree->selectionModel()->selectedRows().value(0).row(), 0);
    EXPECT_TRUE(window.selectedGroupTreeNode()->selected());
    ASSERT_TRUE(kqWaitUntil([&window] { return window.selectedGroupTreeNode()->isContactsLoaded(); }));
    EXPECT_TRUE(kqWaitUntil([contacts] { return !contacts->isLoading() && contacts->contactHelpers().size() == 1; }));

    // Expanding the account loads its groups' contacts, so their counts show.
    const KQContainerHelperPtr account = manager->containerHelperWithIdentifier(local);
    const QModelIndex accountRow = window.groupTreeModel()->indexForNode(account.get());
    tree->expand(accountRow);
    const KQGroupTreeNodePtr familyNode = account->subGroupWithIdentifier(family->identifier());
    ASSERT_TRUE(familyNode);
    ASSERT_TRUE(kqWaitUntil([&familyNode] { return familyNode->isContactsLoaded(); }));
    kqSpin(20);
    EXPECT_EQ(window.groupTreeModel()->indexForNode(familyNode.get()).data().toString(), QStringLiteral("Family (1)"));

    // Selecting the group through the tree.
    const QModelIndex familyRow = window.groupTreeModel()->indexForNode(familyNode.get());
    tree->selectionModel()->setCurrentIndex(familyRow, QItemSelectionModel::ClearAndSelect);
    EXPECT_EQ(window.selectedGroupTreeNode(), familyNode);
    EXPECT_FALSE(account->selected());
    EXPECT_TRUE(familyNode->selected());
    ASSERT_TRUE(kqWaitUntil([contacts, &familyNode] {
        return contacts->currentGroupTreeNode() == familyNode && !contacts->isLoading() &&
               contacts->contactHelpers().size() == 1;
    }));

    // A reload makes new group objects; the selection moves to the new one in the same row.
    ASSERT_TRUE(kqReloadAccounts());
    kqSpin(30);
    ASSERT_TRUE(window.selectedGroupTreeNode());
    EXPECT_EQ(window.selectedGroupTreeNode()->identifier(), family->identifier());
    EXPECT_NE(window.selectedGroupTreeNode(), familyNode);
    EXPECT_TRUE(window.selectedGroupTreeNode()->selected());
    EXPECT_FALSE(familyNode->selected());

    // The group goes away: the selection falls back to the first root row.
    ASSERT_TRUE(store->deleteGroup(*family));
    ASSERT_TRUE(store->deleteContacts({contact}));
    ASSERT_TRUE(kqReloadAccounts());
    kqSpin(30);
    ASSERT_TRUE(window.selectedGroupTreeNode());
    EXPECT_EQ(window.selectedGroupTreeNode(), manager->objectInAllRootContainersAtIndex(0));
}

TEST(KQGroupViewController, FirstRowFollowsTheAccountsAsTheyArriveUntilAnotherRowIsChosen)
{
    KQContactManager* manager = KQContactManager::sharedContactManager();
    ASSERT_TRUE(kqWaitForAccounts());
    // As at launch: only the pseudo-accounts are listed until the first reload ends.
    manager->setAllRootContainers({manager->latestImport(), manager->recyle()});
    KQMainWindow main(manager);
    KQGroupViewController& window = *main.groupsViewController();
    EXPECT_EQ(window.selectedGroupTreeNode(), manager->latestImport());

    manager->renewAllContainerHelpers();
    kqSpin(30);
    const KQGroupTreeNodePtr first = manager->objectInAllRootContainersAtIndex(0);
    ASSERT_TRUE(qobject_cast<KQContainerHelper*>(first.get()));
    EXPECT_EQ(window.selectedGroupTreeNode(), first);
    EXPECT_FALSE(manager->latestImport()->selected());

    // A row the user picked stays picked across a reload.
    ASSERT_TRUE(window.selectGroupTreeNode(manager->recyle().get()));
    EXPECT_EQ(window.selectedGroupTreeNode(), manager->recyle());
    ASSERT_TRUE(kqReloadAccounts());
    EXPECT_EQ(window.selectedGroupTreeNode(), manager->recyle());
    EXPECT_EQ(main.contactsViewController()->currentGroupTreeNode(), manager->recyle());
}
