#include "KQAppTestSupport.h"
#include "store/KQGroupHelper.h"
#include "app/windows/KQGroupTreeModel.h"

#include <QAbstractItemModelTester>
#include <QPersistentModelIndex>
#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

class KQGroupTreeModelTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        manager = KQContactManager::sharedContactManager();
        store = KQContactStoreHelper::shared();
        ASSERT_TRUE(kqWaitForAccounts());
        localIdentifier = store->contactStore()->defaultContainerIdentifier();
        ASSERT_FALSE(localIdentifier.isEmpty());
    }

    void TearDown() override
    {
        for (const CNGroup& group : created)
            store->deleteGroup(group);
        kqReloadAccounts();
    }

    CNGroup addGroup(const QString& name, const CNGroup* parent = nullptr)
    {
        CNMutableGroupPtr group = store->newGroupWithName(name);
        EXPECT_TRUE(store->addGroup(*group, localIdentifier));
        if (parent != nullptr) {
            EXPECT_TRUE(store->addSubGroup(*group, *parent));
        }
        created.push_back(*group);
        return *group;
    }

    // Rows of the model's mirror once its queued work ran, compared with the nodes.
    void expectModelMatchesNodes(const KQGroupTreeModel& model)
    {
        kqSpin(20);
        EXPECT_EQ(kqDumpModel(model), kqDumpManager());
    }

    KQContactManager* manager = nullptr;
    KQContactStoreHelper* store = nullptr;
    QString localIdentifier;
    std::vector<CNGroup> created;
};

KQGroupTreeNodePtr nodeAt(const KQGroupTreeModel& model, const QModelIndex& index)
{
    return model.nodeForIndex(index);
}

} // namespace

TEST_F(KQGroupTreeModelTest, FollowsAccountsAndGroupsThroughReloadsAndKeepsRows)
{
    KQGroupTreeModel model(manager);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);

    const QStringList initial = kqDumpModel(model);
    ASSERT_GE(initial.size(), 3);
    EXPECT_EQ(initial, kqDumpManager());
    EXPECT_EQ(initial.mid(initial.size() - 2), (QStringList{QStringLiteral("Last Import"), QStringLiteral("Trash")}));
    const QPersistentModelIndex localRow =
        model.indexForNode(manager->containerHelperWithIdentifier(localIdentifier).get());
    ASSERT_TRUE(localRow.isValid());
    const QString localName = localRow.data(KQGroupTreeModel::GroupNameRole).toString();

    // The store lists the subgroup before its parent; it still shows only under the parent.
    const CNGroup team = addGroup(QStringLiteral("Team"));
    const CNGroup work = addGroup(QStringLiteral("work"));
    ASSERT_TRUE(store->addSubGroup(team, work));
    const CNGroup friends = addGroup(QStringLiteral("Friends"));
    ASSERT_TRUE(kqReloadAccounts());
    expectModelMatchesNodes(model);
    ASSERT_TRUE(localRow.isValid()); // the account's row survives the reload
    QStringList rows = kqDumpModel(model);
    const int localLine = static_cast<int>(rows.indexOf(localName));
    ASSERT_GE(localLine, 0);
    EXPECT_EQ(rows.mid(localLine, 4), (QStringList{localName, QStringLiteral("  Friends"), QStringLiteral("  work"),
                                                   QStringLiteral("    Team")}));

    // Group rows survive a reload too, although the reload makes new group objects.
    const QPersistentModelIndex workRow = model.index(1, 0, localRow);
    ASSERT_EQ(workRow.data(KQGroupTreeModel::IdentifierRole).toString(), work.identifier());
    const KQGroupTreeNode* oldWork = nodeAt(model, workRow).get();
    ASSERT_TRUE(kqReloadAccounts());
    expectModelMatchesNodes(model);
    ASSERT_TRUE(workRow.isValid());
    EXPECT_EQ(workRow.data(KQGroupTreeModel::IdentifierRole).toString(), work.identifier());
    EXPECT_NE(nodeAt(model, workRow).get(), oldWork);

    // Removing a group and adding and removing an account.
    ASSERT_TRUE(store->deleteGroup(friends));
    ASSERT_TRUE(store->contactStore()->addContainer(
        CNContainer(QStringLiteral("model-test-account"), QStringLiteral("Gmail"), CNContainerType::CardDAV)));
    ASSERT_TRUE(kqReloadAccounts());
    expectModelMatchesNodes(model);
    rows = kqDumpModel(model);
    EXPECT_FALSE(rows.contains(QStringLiteral("  Friends")));
    EXPECT_TRUE(rows.contains(QStringLiteral("Gmail")));
    EXPECT_EQ(workRow.row(), 0);

    ASSERT_TRUE(store->contactStore()->removeContainer(QStringLiteral("model-test-account")));
    ASSERT_TRUE(kqReloadAccounts());
    expectModelMatchesNodes(model);
    EXPECT_FALSE(kqDumpModel(model).contains(QStringLiteral("Gmail")));
    EXPECT_TRUE(localRow.isValid());
}

TEST_F(KQGroupTreeModelTest, FollowsNodeListsRenamesAndCounts)
{
    const CNGroup work = addGroup(QStringLiteral("work"));
    ASSERT_TRUE(kqReloadAccounts());
    KQGroupTreeModel model(manager);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);

    const KQContainerHelperPtr local = manager->containerHelperWithIdentifier(localIdentifier);
    ASSERT_TRUE(local);
    const KQGroupTreeNodePtr workNode = local->subGroupWithIdentifier(work.identifier());
    ASSERT_TRUE(workNode);
    const QModelIndex workRow = model.indexForNode(workNode.get());
    ASSERT_TRUE(workRow.isValid());

    // Subgroups named b, A and one without a name read A, b, then the unnamed one.
    auto b = std::make_shared<KQGroupHelper>(CNGroup(QStringLiteral("g-b"), QStringLiteral("b")));
    auto a = std::make_shared<KQGroupHelper>(CNGroup(QStringLiteral("g-a"), QStringLiteral("A")));
    auto unnamed = std::make_shared<KQGroupHelper>(CNGroup(QStringLiteral("g-u"), QString()));
    unnamed->setGroupName(QString());
    workNode->addSubGroups({b, unnamed, a});
    expectModelMatchesNodes(model);
    ASSERT_EQ(model.rowCount(workRow), 3);
    EXPECT_EQ(model.index(0, 0, workRow).data().toString(), QStringLiteral("A (?)"));
    EXPECT_EQ(model.index(1, 0, workRow).data().toString(), QStringLiteral("b (?)"));
    EXPECT_EQ(model.index(2, 0, workRow).data().toString(), QStringLiteral("Untitled(?)"));

    // A rename inside a group moves the row: the model watches names, not only the account.
    QSignalSpy moved(&model, &QAbstractItemModel::rowsMoved);
    a->setGroupName(QStringLiteral("c"));
    expectModelMatchesNodes(model);
    EXPECT_GE(moved.count(), 1);
    EXPECT_EQ(model.index(0, 0, workRow).data(KQGroupTreeModel::NodeRole).value<KQGroupTreeNode*>(), b.get());
    EXPECT_EQ(model.index(1, 0, workRow).data(KQGroupTreeModel::NodeRole).value<KQGroupTreeNode*>(), a.get());

    // Nested children and removals.
    auto deep = std::make_shared<KQGroupHelper>(CNGroup(QStringLiteral("g-deep"), QStringLiteral("deep")));
    a->addSubGroup(deep);
    expectModelMatchesNodes(model);
    EXPECT_EQ(model.rowCount(model.indexForNode(a.get())), 1);
    workNode->removeSubGroup(a);
    expectModelMatchesNodes(model);
    EXPECT_FALSE(model.indexForNode(deep.get()).isValid());
    workNode->setSubGroups({});
    expectModelMatchesNodes(model);
    EXPECT_EQ(model.rowCount(workRow), 0);

    // Loading contacts changes the row's text.
    CNMutableContactPtr contact = store->newContact();
    contact->setGivenName(QStringLiteral("Ada"));
    ASSERT_TRUE(store->importContacts({contact}, localIdentifier, &work));
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    bool loaded = false;
    workNode->loadContactsWithCompleteHandler([&loaded](KQGroupTreeNode*, bool) { loaded = true; });
    ASSERT_TRUE(kqWaitUntil([&loaded] { return loaded; }));
    EXPECT_EQ(model.indexForNode(workNode.get()).data().toString(), QStringLiteral("work (1)"));
    EXPECT_GE(changed.count(), 1);
    ASSERT_TRUE(store->deleteContacts({contact}));
}

TEST_F(KQGroupTreeModelTest, RowsOfNodesThatLeaveAreReleased)
{
    auto model = std::make_unique<KQGroupTreeModel>(manager);
    QAbstractItemModelTester tester(model.get(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    const KQContainerHelperPtr local = manager->containerHelperWithIdentifier(localIdentifier);
    auto group = std::make_shared<KQGroupHelper>(CNGroup(QStringLiteral("g-gone"), QStringLiteral("gone")));
    local->addSubGroup(group);
    expectModelMatchesNodes(*model);
    local->removeSubGroup(group);
    expectModelMatchesNodes(*model);
    // A removed node's later changes do not reach the model any more.
    QSignalSpy changed(model.get(), &QAbstractItemModel::dataChanged);
    group->setGroupName(QStringLiteral("renamed"));
    group->addSubGroup(std::make_shared<KQGroupHelper>(CNGroup(QStringLiteral("g-x"), QStringLiteral("x"))));
    kqSpin(20);
    EXPECT_EQ(changed.count(), 0);
    EXPECT_EQ(kqDumpModel(*model), kqDumpManager());
    model.reset(); // the node outlives the model: its signals must not reach a dead model
    group->setGroupName(QStringLiteral("again"));
    kqSpin(20);
}
