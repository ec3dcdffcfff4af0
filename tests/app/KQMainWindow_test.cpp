// The main window driven through its widgets: the list with search, sort and tags; delete and
// remove from group; put back; drops between accounts and groups; the refresh bar.
#include "KQMainWindowTestSupport.h"
#include "app/windows/KQTagsViewController.h"
#include "app/windows/KQToolbarViewCtrl.h"

#include <QAbstractItemModelTester>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <QToolButton>

namespace {

class MainWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        manager = KQContactManager::sharedContactManager();
        store = KQContactStoreHelper::shared();
        ASSERT_TRUE(kqWaitForAccounts());
        local = store->contactStore()->defaultContainerIdentifier();
    }

    // Opens the window once the store holds what the test put there.
    void openWindow()
    {
        ASSERT_TRUE(kqReloadAccounts());
        window = std::make_unique<KQMainWindow>(manager);
        window->show();
        contacts = window->contactsViewController();
        ASSERT_TRUE(kqWaitUntil([this] { return window->selectedGroupTreeNode() != nullptr; }));
    }

    void selectNode(const KQGroupTreeNodePtr& node, int listed)
    {
        ASSERT_TRUE(window->selectGroupTreeNode(node.get()));
        ASSERT_TRUE(kqWaitListed(contacts, listed)) << kqListedNames(contacts).join(QLatin1Char(',')).toStdString();
    }

    KQContainerHelperPtr account() const { return manager->containerHelperWithIdentifier(local); }

    CNGroup addGroup(const QString& name, const QString& container)
    {
        CNMutableGroupPtr group = store->newGroupWithName(name);
        EXPECT_TRUE(store->addGroup(*group, container));
        return *group;
    }

    KQAlertScript script;
    KQContactManager* manager = nullptr;
    KQContactStoreHelper* store = nullptr;
    QString local;
    std::unique_ptr<KQMainWindow> window;
    KQContactsViewController* contacts = nullptr;
};

} // namespace

TEST_F(MainWindowTest, SearchNarrowsTheListAndTheSortButtonReversesIt)
{
    kqAddStoreContact(QStringLiteral("Ada"), QStringLiteral("Lovelace"), local);
    kqAddStoreContact(QStringLiteral("Grace"), QStringLiteral("Hopper"), local);
    kqAddStoreContact(QStringLiteral("Alan"), QStringLiteral("Turing"), local);
    openWindow();
    selectNode(account(), 3);
    QAbstractItemModelTester tester(contacts->listModel(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    EXPECT_EQ(kqListedNames(contacts), (QStringList{QStringLiteral("Ada Lovelace"), QStringLiteral("Alan Turing"),
                                                    QStringLiteral("Grace Hopper")}));
    auto* search = window->findChild<QLineEdit*>(QStringLiteral("searchField"));
    ASSERT_NE(search, nullptr);
    EXPECT_EQ(search->placeholderText(), QStringLiteral("Search ") + account()->groupName());

    QTest::keyClicks(search, QStringLiteral("a"));
    ASSERT_TRUE(kqWaitListed(contacts, 3));
    QTest::keyClicks(search, QStringLiteral("c")); // "ac": lovelACe, grACe
    ASSERT_TRUE(kqWaitListed(contacts, 2));
    EXPECT_EQ(kqListedNames(contacts), (QStringList{QStringLiteral("Ada Lovelace"), QStringLiteral("Grace Hopper")}));

    auto* sort = window->findChild<QToolButton*>(QStringLiteral("sortButton"));
    ASSERT_NE(sort, nullptr);
    QTest::mouseClick(sort, Qt::LeftButton);
    ASSERT_TRUE(kqWaitListed(contacts, 2));
    EXPECT_EQ(kqListedNames(contacts), (QStringList{QStringLiteral("Grace Hopper"), QStringLiteral("Ada Lovelace")}));
    EXPECT_EQ(contacts->sortType(), 1);

    search->clear();
    ASSERT_TRUE(kqWaitListed(contacts, 3));
}

TEST_F(MainWindowTest, SelectingATagListsOnlyTheContactsThatCarryIt)
{
    kqAddStoreContact(QStringLiteral("Ada"), QStringLiteral("Lovelace"), local);
    kqAddStoreContact(QStringLiteral("Grace"), QStringLiteral("Hopper"), local);
    openWindow();
    selectNode(account(), 2);
    ASSERT_TRUE(kqSelectByName(contacts, {QStringLiteral("Grace Hopper")}));
    const KQTagPtr tag = KQTag::create(QStringLiteral("Navy"));
    contacts->addTagToSelection(tag);

    auto* tags = window->findChild<QListWidget*>(QStringLiteral("tagList"));
    ASSERT_NE(tags, nullptr);
    ASSERT_EQ(tags->count(), 1);
    tags->setCurrentRow(0);
    ASSERT_TRUE(kqWaitListed(contacts, 1));
    EXPECT_EQ(kqListedNames(contacts), (QStringList{QStringLiteral("Grace Hopper")}));
    tags->clearSelection();
    ASSERT_TRUE(kqWaitListed(contacts, 2));
}

TEST_F(MainWindowTest, DeletingInAGroupOffersRemoveFromGroupAndKeepsTheContactsInTheAccount)
{
    const CNGroup team = addGroup(QStringLiteral("Team"), local);
    kqAddStoreContact(QStringLiteral("Ada"), QStringLiteral("Lovelace"), local, &team);
    kqAddStoreContact(QStringLiteral("Grace"), QStringLiteral("Hopper"), local, &team);
    openWindow();
    const KQGroupTreeNodePtr group = kqGroupNamed(account(), QStringLiteral("Team"));
    ASSERT_TRUE(group);
    selectNode(group, 2);
    ASSERT_TRUE(kqSelectByName(contacts, {QStringLiteral("Ada Lovelace")}));
    script.answers = {0}; // "Remove from group"
    contacts->deleteContact();
    ASSERT_TRUE(kqWaitSheetClosed());
    ASSERT_TRUE(kqWaitListed(contacts, 1));
    ASSERT_EQ(script.alerts.size(), 1u);
    EXPECT_EQ(
        script.alerts[0].message,
        QStringLiteral("Do you want to delete the selected cards or remove them from the group \u201cTeam\u201d?"));
    EXPECT_EQ(script.alerts[0].buttons.value(0), QStringLiteral("Remove from group"));

    // Still in the account, and in the store no longer a member.
    selectNode(account(), 2);
    const auto members = store->contactStore()->unifiedContactsMatchingPredicate(
        CNContactPredicate::predicateForContactsInGroupWithIdentifier(team.identifier()), {CNContactGivenNameKey});
    ASSERT_EQ(members.size(), 1u);
    EXPECT_EQ(members.front()->givenName(), QStringLiteral("Grace"));
}

TEST_F(MainWindowTest, DeletedCardsGoToTheTrashComeBackAndDeleteForGoodThere)
{
    kqAddStoreContact(QStringLiteral("Ada"), QStringLiteral("Lovelace"), local);
    kqAddStoreContact(QStringLiteral("Grace"), QStringLiteral("Hopper"), local);
    openWindow();
    selectNode(account(), 2);
    ASSERT_TRUE(kqSelectByName(contacts, {QStringLiteral("Ada Lovelace")}));
    contacts->deleteContact();
    ASSERT_TRUE(kqWaitSheetClosed());
    ASSERT_TRUE(kqWaitListed(contacts, 1));
    EXPECT_EQ(script.messages(), QStringList{QStringLiteral("Are you sure you want to delete the selected cards?")});

    selectNode(manager->recyle(), 1);
    ASSERT_TRUE(kqSelectByName(contacts, {QStringLiteral("Ada Lovelace")}));
    contacts->putbackAction();
    ASSERT_TRUE(kqWaitSheetClosed());
    ASSERT_TRUE(kqWaitListed(contacts, 0));
    ASSERT_TRUE(kqReloadAccounts());
    selectNode(account(), 2);

    // Into the Trash once more, and out of it for good.
    ASSERT_TRUE(kqSelectByName(contacts, {QStringLiteral("Ada Lovelace")}));
    contacts->deleteContact();
    ASSERT_TRUE(kqWaitSheetClosed());
    selectNode(manager->recyle(), 1);
    ASSERT_TRUE(kqSelectByName(contacts, {QStringLiteral("Ada Lovelace")}));
    contacts->deleteContact();
    ASSERT_TRUE(kqWaitListed(contacts, 0));
    EXPECT_EQ(script.messages().last(),
              QStringLiteral("Are you sure you want to delete the selected cards permanently?"));
}

TEST_F(MainWindowTest, DropsMoveWithinAnAccountAndCopyIntoAnother)
{
    CNError error;
    const QString otherId = QStringLiteral("drop-test-other-account");
    ASSERT_TRUE(store->contactStore()->addContainer(
        CNContainer(otherId, QStringLiteral("Other"), CNContainerType::CardDAV), &error));
    const CNGroup a = addGroup(QStringLiteral("A"), local);
    addGroup(QStringLiteral("B"), local);
    addGroup(QStringLiteral("C"), otherId);
    kqAddStoreContact(QStringLiteral("Ada"), QStringLiteral("Lovelace"), local, &a);
    kqAddStoreContact(QStringLiteral("Grace"), QStringLiteral("Hopper"), local, &a);
    openWindow();
    const KQContainerHelperPtr other = manager->containerHelperWithIdentifier(otherId);
    ASSERT_TRUE(other);
    const KQGroupTreeNodePtr groupA = kqGroupNamed(account(), QStringLiteral("A"));
    const KQGroupTreeNodePtr groupB = kqGroupNamed(account(), QStringLiteral("B"));
    const KQGroupTreeNodePtr groupC = kqGroupNamed(other, QStringLiteral("C"));
    ASSERT_TRUE(groupA && groupB && groupC);

    // Onto its own account: no operation.
    selectNode(account(), 2);
    ASSERT_TRUE(kqSelectByName(contacts, {QStringLiteral("Ada Lovelace")}));
    EXPECT_EQ(kqDragSelectionOnto(*window, account().get()), Qt::IgnoreAction);

    // From A onto B of the same account: moved, A keeps Grace only.
    selectNode(groupA, 2);
    ASSERT_TRUE(kqSelectByName(contacts, {QStringLiteral("Ada Lovelace")}));
    EXPECT_EQ(kqDragSelectionOnto(*window, groupB.get()), Qt::MoveAction);
    ASSERT_TRUE(kqWaitSheetClosed());
    ASSERT_TRUE(kqWaitListed(contacts, 1));
    selectNode(groupB, 1);

    // From A onto C of another account: copied, A unchanged, the other account gains a contact.
    selectNode(groupA, 1);
    ASSERT_TRUE(kqSelectByName(contacts, {QStringLiteral("Grace Hopper")}));
    EXPECT_EQ(kqDragSelectionOnto(*window, groupC.get()), Qt::CopyAction);
    ASSERT_TRUE(kqWaitSheetClosed());
    selectNode(groupC, 1);
    selectNode(other, 1);
    selectNode(groupA, 1);

    // The store agrees after a reload.
    ASSERT_TRUE(kqReloadAccounts());
    const auto inOther = store->contactStore()->unifiedContactsMatchingPredicate(
        CNContactPredicate::predicateForContactsInContainerWithIdentifier(otherId), {CNContactGivenNameKey});
    ASSERT_EQ(inOther.size(), 1u);
    EXPECT_EQ(inOther.front()->givenName(), QStringLiteral("Grace"));
    window.reset();
    store->contactStore()->removeContainer(otherId);
}

TEST_F(MainWindowTest, TheListModelPassesTheModelTesterThroughAReplacedList)
{
    for (int i = 0; i < 30; ++i)
        kqAddStoreContact(QStringLiteral("Person%1").arg(i, 2, 10, QLatin1Char('0')), QStringLiteral("X"), local);
    openWindow();
    QAbstractItemModelTester tester(contacts->listModel(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    selectNode(account(), 30);
    contacts->setSearchKeywords(QStringLiteral("Person1"));
    ASSERT_TRUE(kqWaitListed(contacts, 10));
    selectNode(manager->recyle(), 0);
}
