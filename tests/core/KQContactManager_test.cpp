#include "KQSharedStoreTestUtil.h"
#include "store/KQContactManager.h"
#include "store/KQContactPasteDataStore.h"
#include "store/KQGroupHelper.h"
#include "store/KQPreferences.h"

#include <gtest/gtest.h>

namespace {

// The manager is one per process and works on the shared store (in the tests' private home), so
// every test builds its accounts in that store and reloads.
class ManagerTest : public ::testing::Test
{
protected:
    static KQContactStoreHelper* store() { return KQContactStoreHelper::shared(); }

    void SetUp() override
    {
        // Start every test from the fresh store's single local account.
        kqEmptySharedStore(true);
        local = store()->contactStore()->defaultContainerIdentifier();
        manager = KQContactManager::sharedContactManager();
        reload();
    }

    static void reload() { ASSERT_TRUE(kqReloadAccounts()); }

    CNGroup addGroup(const QString& name, const QString& container, const CNGroup* parent = nullptr)
    {
        CNGroup group(CNMakeIdentifier(), name);
        CNSaveRequest request;
        request.addGroup(group, container);
        if (parent != nullptr)
            request.addSubgroup(group, *parent);
        EXPECT_TRUE(store()->contactStore()->executeSaveRequest(request));
        return group;
    }

    CNMutableContactPtr addContact(const QString& name, const QString& container,
                                   const std::vector<CNGroup>& groups = {})
    {
        auto contact = std::make_shared<CNMutableContact>();
        contact->setGivenName(name);
        CNSaveRequest request;
        request.addContact(*contact, container);
        for (const CNGroup& g : groups)
            request.addMember(*contact, g);
        EXPECT_TRUE(store()->contactStore()->executeSaveRequest(request));
        return contact;
    }

    QStringList rootNames() const
    {
        QStringList names;
        for (const auto& node : manager->allRootContainers())
            names.append(node->groupName());
        return names;
    }

    KQContactManager* manager = nullptr;
    QString local;
};

} // namespace

TEST_F(ManagerTest, RootListPutsThePreferredAccountFirstAndHidesExchangeGroupContainers)
{
    CNContactStore* s = store()->contactStore();
    ASSERT_TRUE(
        s->addContainer(CNContainer(QStringLiteral("google-1"), QStringLiteral("Google"), CNContainerType::CardDAV)));
    ASSERT_TRUE(s->addContainer(
        CNContainer(QStringLiteral("ex-ABGroup-7"), QStringLiteral("Exchange Group"), CNContainerType::Exchange)));
    ASSERT_TRUE(
        s->addContainer(CNContainer(QStringLiteral("ex-1"), QStringLiteral("Work"), CNContainerType::Exchange)));
    reload();
    const QString localName = rootNames().first();
    EXPECT_EQ(rootNames(), (QStringList{localName, QStringLiteral("Google"), QStringLiteral("Work"),
                                        QStringLiteral("Last Import"), QStringLiteral("Trash")}));

    KQPreferences::sharePreferences()->setDefaultContainerName(QStringLiteral("Google"));
    EXPECT_EQ(rootNames(), (QStringList{QStringLiteral("Google"), localName, QStringLiteral("Work"),
                                        QStringLiteral("Last Import"), QStringLiteral("Trash")}));
    reload();
    EXPECT_EQ(rootNames().first(), QStringLiteral("Google"));

    // A preference naming an account that is gone is cleared at the next renewal.
    KQPreferences::sharePreferences()->setDefaultContainerName(QStringLiteral("Gone"));
    reload();
    EXPECT_EQ(rootNames().first(), localName);

    EXPECT_EQ(manager->containerHelperWithName(QStringLiteral("Trash")), nullptr);
    EXPECT_EQ(manager->containerHelperWithIdentifier(QStringLiteral("google-1"))->groupName(),
              QStringLiteral("Google"));
    EXPECT_TRUE(manager->containerHelperWithIdentifier(QStringLiteral("google-1"))->isGoogle());
    EXPECT_EQ(store()->defaultContainerHelper()->identifier(), local);
}

TEST_F(ManagerTest, AccountObjectsSurviveReloadsAndTwoReloadsRunOnce)
{
    const auto before = manager->containerHelperWithIdentifier(local);
    ASSERT_TRUE(before);

    int delegateCalls = 0;
    const auto connection = QObject::connect(store(), &KQContactStoreHelper::allContainerHelpersInserted,
                                             [&delegateCalls](const QList<int>&) { ++delegateCalls; });
    store()->asyncLoadContainerHelpers();
    store()->asyncLoadContainerHelpers();
    ASSERT_TRUE(kqWaitUntil([] { return !store()->updatingStore(); }, 10000));
    kqSpin(100);
    QObject::disconnect(connection);
    EXPECT_EQ(delegateCalls, 1);
    EXPECT_EQ(manager->containerHelperWithIdentifier(local), before);
}

TEST_F(ManagerTest, SubgroupsAreListedOnlyUnderTheirParentWhateverTheStoreOrder)
{
    // The child is created first, so the store lists it before its parent.
    const CNGroup child(CNMakeIdentifier(), QStringLiteral("Child"));
    const CNGroup parent(CNMakeIdentifier(), QStringLiteral("Parent"));
    const CNGroup grandchild(CNMakeIdentifier(), QStringLiteral("Grandchild"));
    CNSaveRequest request;
    request.addGroup(grandchild, local);
    request.addGroup(child, local);
    request.addGroup(parent, local);
    request.addSubgroup(child, parent);
    request.addSubgroup(grandchild, child);
    ASSERT_TRUE(store()->contactStore()->executeSaveRequest(request));
    addGroup(QStringLiteral("Solo"), local);
    reload();

    const auto account = manager->containerHelperWithIdentifier(local);
    QStringList top;
    for (const auto& g : account->subGroupsForSort())
        top.append(g->groupName());
    EXPECT_EQ(top, (QStringList{QStringLiteral("Parent"), QStringLiteral("Solo")}));
    const auto parentNode = account->groupWithIdentifier(parent.identifier());
    ASSERT_TRUE(parentNode);
    ASSERT_EQ(parentNode->countOfSubGroups(), 1);
    EXPECT_EQ(parentNode->objectInSubGroupsAtIndex(0)->groupName(), QStringLiteral("Child"));
    const auto grandchildNode = account->groupWithIdentifier(grandchild.identifier());
    ASSERT_TRUE(grandchildNode);
    EXPECT_EQ(grandchildNode->parent()->identifier(), child.identifier());
    EXPECT_EQ(grandchildNode->containerHelper(), account.get());
}

TEST_F(ManagerTest, NodeNamesAndCountsFollowLoading)
{
    const CNGroup unnamed = addGroup(QString(), local);
    for (int i = 0; i < 3; ++i)
        addContact(QStringLiteral("P%1").arg(i), local, {unnamed});
    addContact(QStringLiteral("Outside"), local);
    reload();

    const auto account = manager->containerHelperWithIdentifier(local);
    const auto group = account->groupWithIdentifier(unnamed.identifier());
    ASSERT_TRUE(group);
    group->setGroupName(QString());
    EXPECT_EQ(group->displayGroupName(), QStringLiteral("Untitled(?)"));
    bool loaded = false;
    group->loadContactsWithCompleteHandler([&loaded](KQGroupTreeNode*, bool fetched) { loaded = fetched; });
    ASSERT_TRUE(kqWaitUntil([&loaded] { return loaded; }));
    EXPECT_EQ(group->displayGroupName(), QStringLiteral("Untitled (3)"));

    account->loadContactsWithCompleteHandler(nullptr);
    ASSERT_TRUE(kqWaitUntil([&account] { return account->isContactsLoaded(); }));
    EXPECT_EQ(account->displayGroupName(), QStringLiteral("%1 (4)").arg(account->groupName()));
    EXPECT_EQ(manager->containerHelperWithContactIdentifier(account->objectInContactsAtIndex(0)->identifier()),
              account);
}

TEST_F(ManagerTest, SubgroupOrderIsCaseInsensitiveWithUnnamedLast)
{
    KQGroupTreeNode node;
    for (const char* name : {"b", "", "A"}) {
        auto child = std::make_shared<KQGroupHelper>(CNGroup(CNMakeIdentifier(), QString()));
        child->setGroupName(QString::fromLatin1(name));
        node.addSubGroup(child);
    }
    QStringList names;
    for (const auto& g : node.subGroupsForSort())
        names.append(g->groupName());
    EXPECT_EQ(names, (QStringList{QStringLiteral("A"), QStringLiteral("b"), QString()}));
}

// Only a CardDAV account is taken for a Google or iCloud one by its name, and iCloud wins.
TEST_F(ManagerTest, AccountKindsFollowTypeAndName)
{
    struct Case
    {
        CNContainerType type;
        const char* name;
        bool google;
        bool icloud;
    };
    const Case cases[] = {
        {CNContainerType::CardDAV, "My GMAIL", true, false},      {CNContainerType::Exchange, "Gmail", false, false},
        {CNContainerType::CardDAV, "iCloud google", false, true}, {CNContainerType::CardDAV, "Fastmail", false, false},
        {CNContainerType::Local, "On My Computer", false, false},
    };
    for (const Case& c : cases) {
        const KQContainerHelper account(CNContainer(QStringLiteral("x"), QString::fromLatin1(c.name), c.type));
        EXPECT_EQ(account.isGoogle(), c.google) << c.name;
        EXPECT_EQ(account.isIcloud(), c.icloud) << c.name;
    }
}

TEST_F(ManagerTest, DeletingARecordNamesItsGroupsOuterFirst)
{
    const CNGroup outer = addGroup(QStringLiteral("Outer"), local);
    const CNGroup inner = addGroup(QStringLiteral("Inner"), local, &outer);
    const auto contact = addContact(QStringLiteral("Ann"), local, {outer, inner});
    reload();

    const auto account = manager->containerHelperWithIdentifier(local);
    const auto outerNode = account->groupWithIdentifier(outer.identifier());
    const auto innerNode = account->groupWithIdentifier(inner.identifier());
    for (const auto& node : KQGroupTreeNodeList{account, outerNode, innerNode}) {
        bool done = false;
        node->loadContactsWithCompleteHandler([&done](KQGroupTreeNode*, bool) { done = true; });
        ASSERT_TRUE(kqWaitUntil([&done] { return done; }));
    }
    const auto record = account->contactHelperWithIdentifier(contact->identifier());
    ASSERT_TRUE(record);
    const auto entry = account->deleteContactHelper(record);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->groupsIdentifier(), (QStringList{outer.identifier(), inner.identifier()}));
    EXPECT_EQ(entry->containerIdentifier(), local);
    EXPECT_FALSE(entry->editable());
    EXPECT_EQ(entry->givenName(), QStringLiteral("Ann"));
    EXPECT_EQ(outerNode->countOfContacts(), 0);
    EXPECT_EQ(innerNode->countOfContacts(), 0);
    EXPECT_EQ(account->countOfContacts(), 0);
    EXPECT_FALSE(account->contactHelperExistWithIdentifier(contact->identifier()));
}

TEST_F(ManagerTest, PasteDataKnowsWhereADragComesFrom)
{
    const CNGroup group = addGroup(QStringLiteral("Team"), local);
    reload();
    const auto account = manager->containerHelperWithIdentifier(local);
    const auto groupNode = account->groupWithIdentifier(group.identifier());
    ASSERT_TRUE(groupNode);

    KQContactPasteDataStore& paste = KQContactPasteDataStore::sharedContactPasteDataStore();
    auto record = KQContactHelper::create(std::make_shared<CNContact>());
    paste.setCurrentGroupNode(groupNode);
    paste.setContactHelper(record, record->identifier());
    EXPECT_TRUE(paste.isGroupHelper());
    EXPECT_FALSE(paste.isContainerHelper());
    EXPECT_EQ(paste.currentContainerHelper(), account.get());
    EXPECT_EQ(paste.contactHelperForKey(record->identifier()), record);

    paste.setCurrentGroupNode(manager->recyle());
    EXPECT_TRUE(paste.isRecyleContainer());
    EXPECT_EQ(paste.currentContainerHelper(), nullptr);
    paste.setCurrentGroupNode(manager->latestImport());
    EXPECT_TRUE(paste.isLastestImportContainer());
    paste.clearPasteData();
    EXPECT_TRUE(paste.pasteContactHelpers().empty());
    EXPECT_EQ(paste.currentGroupNode(), nullptr);
}
