#include "KQSharedStoreTestUtil.h"
#include "store/KQContactManager.h"
#include "store/KQGroupHelper.h"
#include "store/KQPreferences.h"
#include "store/KQStorage.h"

#include <QTemporaryDir>
#include <atomic>
#include <gtest/gtest.h>

namespace {

// Records what the progress sheet and the alert would show.
class Observer : public KQRecyleActionsDelegate
{
public:
    void recyleActionsProgress(int percent) override { progress.append(percent); }
    bool recyleActionsShouldCancel() override { return ++asked > cancelAfter; }
    void recyleActionsWillSave() override { ++willSave; }
    void recyleActionsAccountMissing() override { ++accountMissing; }

    QList<int> progress;
    std::atomic<int> asked{0};
    int cancelAfter = 1000;
    int willSave = 0;
    int accountMissing = 0;
};

// The accounts are those of the process's contact manager over the shared store; the Trash, Last
// Import and their files belong to each test (a temporary data folder), and making new storage
// and nodes over that folder stands for a restart of the program.
class RecyleTest : public ::testing::Test
{
protected:
    static KQContactStoreHelper* store() { return KQContactStoreHelper::shared(); }
    static CNContactStore* cn() { return store()->contactStore(); }

    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        kqEmptySharedStore(true);
        local = cn()->defaultContainerIdentifier();
        manager = KQContactManager::sharedContactManager();
        restart();
    }

    // Fresh storage, Trash and Last Import read from the folder, and the accounts reloaded.
    void restart()
    {
        storage = std::make_unique<KQStorage>(dir.path());
        recyle = storage->loadDefaultContainerRecyle();
        latest = storage->loadDefaultContainerLatestImport();
        reload();
    }

    KQRecyleActions actions() const
    {
        return KQRecyleActions(store(), storage.get(), recyle, latest, [](const QString& identifier) {
            return KQContactManager::sharedContactManager()->containerHelperWithIdentifier(identifier);
        });
    }

    static void reload() { ASSERT_TRUE(kqReloadAccounts()); }

    static void load(const KQGroupTreeNodePtr& node) { kqLoadNode(node); }

    CNGroup addGroup(const QString& name, const QString& container, const CNGroup* parent = nullptr)
    {
        CNGroup group(CNMakeIdentifier(), name);
        CNSaveRequest request;
        request.addGroup(group, container);
        if (parent != nullptr)
            request.addSubgroup(group, *parent);
        EXPECT_TRUE(cn()->executeSaveRequest(request));
        return group;
    }

    CNMutableContactPtr addContact(const QString& name, const QString& container,
                                   const std::vector<CNGroup>& groups = {})
    {
        auto contact = std::make_shared<CNMutableContact>();
        contact->setGivenName(name);
        contact->setNote(QStringLiteral("note of ") + name);
        CNSaveRequest request;
        request.addContact(*contact, container);
        for (const CNGroup& g : groups)
            request.addMember(*contact, g);
        EXPECT_TRUE(cn()->executeSaveRequest(request));
        return contact;
    }

    // Given names of the store's contacts matching predicate, sorted.
    static QStringList storeNames(const CNContactPredicate& predicate)
    {
        QStringList list;
        for (const auto& c : cn()->unifiedContactsMatchingPredicate(predicate, {CNContactGivenNameKey}, nullptr))
            list.append(c->givenName());
        list.sort();
        return list;
    }

    static QStringList storeIdentifiersNamed(const QString& name, const QString& container)
    {
        QStringList ids;
        for (const auto& c : cn()->unifiedContactsMatchingPredicate(
                 CNContactPredicate::predicateForContactsInContainerWithIdentifier(container), {CNContactGivenNameKey},
                 nullptr)) {
            if (c->givenName() == name)
                ids.append(c->identifier());
        }
        return ids;
    }

    static bool storeHas(const QString& identifier) { return kqStoreHas(identifier); }

    template <typename Run> KQRecyleActionResult runAndWait(Run run)
    {
        std::optional<KQRecyleActionResult> result;
        run([&result](const KQRecyleActionResult& r) { result = r; });
        EXPECT_TRUE(kqWaitUntil([&result] { return result.has_value(); }, 10000));
        kqSpin(20);
        if (result)
            return *result;
        KQRecyleActionResult failed;
        failed.success = false;
        return failed;
    }

    KQRecyleActionResult deleteRecords(const KQContainerHelperPtr& account, const KQContactHelperList& records,
                                       std::shared_ptr<Observer> observer = nullptr)
    {
        return runAndWait([&](auto done) { actions().deleteContactHelpers(account, records, observer, done); });
    }

    KQRecyleActionResult putBack(const std::vector<KQContactRecylePtr>& entries,
                                 std::shared_ptr<Observer> observer = nullptr)
    {
        return runAndWait([&](auto done) { actions().putBackContactRecyles(entries, observer, done); });
    }

    QTemporaryDir dir;
    KQContactManager* manager = nullptr;
    QString local;
    std::unique_ptr<KQStorage> storage;
    std::shared_ptr<KQContainerRecyle> recyle;
    std::shared_ptr<KQContainerLatestImport> latest;
};

KQContactHelperPtr importedRecord(const QString& given)
{
    auto contact = std::make_shared<CNMutableContact>();
    contact->setGivenName(given);
    return KQContactHelper::create(contact, true);
}

} // namespace

TEST_F(RecyleTest, DeletedContactComesBackIntoItsGroupsAfterARestart)
{
    const CNGroup outer = addGroup(QStringLiteral("Outer"), local);
    const CNGroup inner = addGroup(QStringLiteral("Inner"), local, &outer);
    const auto ann = addContact(QStringLiteral("Ann"), local, {outer, inner});
    addContact(QStringLiteral("Bob"), local, {outer});
    reload();

    auto account = manager->containerHelperWithIdentifier(local);
    ASSERT_TRUE(account);
    load(account);
    load(account->groupWithIdentifier(outer.identifier()));
    load(account->groupWithIdentifier(inner.identifier()));

    auto observer = std::make_shared<Observer>();
    const auto deleted = deleteRecords(account, {account->contactHelperWithIdentifier(ann->identifier())}, observer);
    EXPECT_TRUE(deleted.success);
    ASSERT_EQ(deleted.made.size(), 1u);
    EXPECT_FALSE(storeHas(ann->identifier()));
    EXPECT_EQ(recyle->countOfContacts(), 1);
    EXPECT_EQ(observer->progress, QList<int>{0});
    EXPECT_EQ(observer->willSave, 1);
    EXPECT_EQ(account->groupWithIdentifier(inner.identifier())->countOfContacts(), 0);

    restart();
    const auto entries = recyle->recyleEntries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0]->groupsIdentifier(), (QStringList{outer.identifier(), inner.identifier()}));
    EXPECT_EQ(entries[0]->note(), QStringLiteral("note of Ann"));
    account = manager->containerHelperWithIdentifier(local);
    const auto outerNode = account->groupWithIdentifier(outer.identifier());
    const auto innerNode = account->groupWithIdentifier(inner.identifier());
    load(account);
    load(outerNode);
    load(innerNode);

    const auto result = putBack(entries);
    EXPECT_TRUE(result.success);
    EXPECT_FALSE(result.accountMissing);
    ASSERT_EQ(result.made.size(), 1u);
    const QString newId = result.made[0]->identifier();
    EXPECT_NE(newId, ann->identifier());

    // The store: a new contact in both groups, the old identifier gone.
    EXPECT_EQ(storeIdentifiersNamed(QStringLiteral("Ann"), local), QStringList{newId});
    EXPECT_FALSE(storeHas(ann->identifier()));
    EXPECT_EQ(storeNames(CNContactPredicate::predicateForContactsInGroupWithIdentifier(outer.identifier())),
              (QStringList{QStringLiteral("Ann"), QStringLiteral("Bob")}));
    EXPECT_EQ(storeNames(CNContactPredicate::predicateForContactsInGroupWithIdentifier(inner.identifier())),
              QStringList{QStringLiteral("Ann")});
    const auto back = cn()->unifiedContactsMatchingPredicate(
        CNContactPredicate::predicateForContactsWithIdentifiers({newId}), KQContactStoreHelper::allKeys(), nullptr);
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0]->note(), QStringLiteral("note of Ann"));

    // Memory: listed in the account and both groups; the entry left the Trash and its file.
    EXPECT_TRUE(account->contactHelperWithIdentifier(newId));
    EXPECT_TRUE(account->contactHelperExistWithIdentifier(newId));
    EXPECT_TRUE(outerNode->contactHelperWithIdentifier(newId));
    EXPECT_TRUE(innerNode->contactHelperWithIdentifier(newId));
    EXPECT_TRUE(account->restoreObjects().empty());
    EXPECT_EQ(recyle->countOfContacts(), 0);
    EXPECT_EQ(KQStorage(dir.path()).loadDefaultContainerRecyle()->countOfContacts(), 0);
}

// The groups are never shown before the delete, so their members were never loaded.
TEST_F(RecyleTest, PutBackSkipsGroupsThatAreGone)
{
    const CNGroup kept = addGroup(QStringLiteral("Kept"), local);
    const CNGroup gone = addGroup(QStringLiteral("Gone"), local);
    const auto ann = addContact(QStringLiteral("Ann"), local, {kept, gone});
    reload();
    auto account = manager->containerHelperWithIdentifier(local);
    load(account);
    ASSERT_TRUE(deleteRecords(account, {account->contactHelperWithIdentifier(ann->identifier())}).success);
    ASSERT_TRUE(store()->deleteGroup(gone));
    restart();

    const auto result = putBack(recyle->recyleEntries());
    EXPECT_TRUE(result.success);
    EXPECT_EQ(storeNames(CNContactPredicate::predicateForContactsInGroupWithIdentifier(kept.identifier())),
              QStringList{QStringLiteral("Ann")});
    EXPECT_EQ(recyle->countOfContacts(), 0);
}

TEST_F(RecyleTest, EntryOfARemovedAccountStaysInTheTrash)
{
    ASSERT_TRUE(
        cn()->addContainer(CNContainer(QStringLiteral("temp-acc"), QStringLiteral("Temp"), CNContainerType::CardDAV)));
    const auto gone = addContact(QStringLiteral("Gone"), QStringLiteral("temp-acc"));
    const auto kept = addContact(QStringLiteral("Kept"), local);
    reload();
    const auto temp = manager->containerHelperWithIdentifier(QStringLiteral("temp-acc"));
    const auto account = manager->containerHelperWithIdentifier(local);
    load(temp);
    load(account);
    ASSERT_TRUE(deleteRecords(temp, {temp->contactHelperWithIdentifier(gone->identifier())}).success);
    ASSERT_TRUE(deleteRecords(account, {account->contactHelperWithIdentifier(kept->identifier())}).success);
    ASSERT_TRUE(cn()->removeContainer(QStringLiteral("temp-acc")));
    restart();
    ASSERT_EQ(recyle->countOfContacts(), 2);

    auto observer = std::make_shared<Observer>();
    const auto result = putBack(recyle->recyleEntries(), observer);
    EXPECT_TRUE(result.accountMissing);
    EXPECT_EQ(observer->accountMissing, 1);
    EXPECT_EQ(KQRecyleActions::recyleActionsAccountMissingMessage(), QStringLiteral("Can not put back contact"));
    // Only the entry whose account exists went back.
    ASSERT_EQ(recyle->countOfContacts(), 1);
    EXPECT_EQ(recyle->objectInContactsAtIndex(0)->givenName(), QStringLiteral("Gone"));
    EXPECT_EQ(storeIdentifiersNamed(QStringLiteral("Kept"), local).size(), 1);
    const auto reloaded = KQStorage(dir.path()).loadDefaultContainerRecyle();
    ASSERT_EQ(reloaded->countOfContacts(), 1);
    EXPECT_EQ(reloaded->objectInContactsAtIndex(0)->givenName(), QStringLiteral("Gone"));
}

TEST_F(RecyleTest, CancelledPutBackKeepsTheRestAndProgressCountsEntries)
{
    reload();
    auto account = manager->containerHelperWithIdentifier(local);
    load(account);
    std::vector<KQContactRecylePtr> entries;
    for (const char* name : {"A", "B", "C", "D"}) {
        auto contact = std::make_shared<CNMutableContact>();
        contact->setGivenName(QString::fromLatin1(name));
        entries.push_back(std::make_shared<KQContactRecyle>(contact, local, QStringList{}));
    }
    recyle->addContactRecyles(entries);

    auto observer = std::make_shared<Observer>();
    observer->cancelAfter = 1; // the cancel button is pressed while the second entry goes back
    const auto result = putBack(entries, observer);
    EXPECT_TRUE(result.cancelled);
    EXPECT_EQ(result.done.size(), 2u);
    EXPECT_EQ(observer->progress, (QList<int>{0, 0, 25}));
    EXPECT_EQ(storeNames(CNContactPredicate::predicateForContactsInContainerWithIdentifier(local)),
              (QStringList{QStringLiteral("A"), QStringLiteral("B")}));
    QStringList left;
    for (const auto& record : recyle->contacts())
        left.append(record->givenName().value_or(QString()));
    EXPECT_EQ(left, (QStringList{QStringLiteral("C"), QStringLiteral("D")}));
}

// Every entry put back into one account yields its own record, the one just made for it.
TEST_F(RecyleTest, PutBackOfSeveralEntriesInOneAccountGivesEachItsOwnRecord)
{
    reload();
    auto account = manager->containerHelperWithIdentifier(local);
    load(account);
    std::vector<KQContactRecylePtr> entries;
    for (const char* name : {"A", "B", "C"}) {
        auto contact = std::make_shared<CNMutableContact>();
        contact->setGivenName(QString::fromLatin1(name));
        entries.push_back(std::make_shared<KQContactRecyle>(contact, local, QStringList{}));
    }
    recyle->addContactRecyles(entries);

    const auto result = putBack(entries);
    ASSERT_TRUE(result.success);
    QStringList made;
    QSet<QString> identifiers;
    for (const auto& record : result.made) {
        made.append(record->givenName().value_or(QString()));
        identifiers.insert(record->identifier());
        EXPECT_TRUE(account->contactHelperWithIdentifier(record->identifier())) << record->identifier().toStdString();
    }
    EXPECT_EQ(made, (QStringList{QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")}));
    EXPECT_EQ(identifiers.size(), 3);
}

TEST_F(RecyleTest, LastImportHoldsEveryImportAcrossRestartsAndNeverTouchesTheStore)
{
    reload();
    const auto account = manager->containerHelperWithIdentifier(local);
    load(account);
    const auto importBatch = [this](const QStringList& given) {
        latest->setNeedSaveLatestImport(true);
        for (const QString& name : given)
            EXPECT_TRUE(latest->receiveImportedContacts({importedRecord(name)}));
        EXPECT_TRUE(actions().endLatestImport());
        EXPECT_FALSE(latest->needSaveLatestImport());
    };
    importBatch({QStringLiteral("One"), QStringLiteral("Two")});
    restart();
    importBatch({QStringLiteral("Three")});
    restart();

    QStringList names;
    for (const auto& record : latest->contacts())
        names.append(record->givenName().value_or(QString()));
    EXPECT_EQ(names, (QStringList{QStringLiteral("One"), QStringLiteral("Two"), QStringLiteral("Three")}));
    EXPECT_TRUE(storeNames(CNContactPredicate::predicateForContactsInContainerWithIdentifier(local)).isEmpty());

    // Without the mark an import goes elsewhere.
    EXPECT_FALSE(latest->receiveImportedContacts({importedRecord(QStringLiteral("Elsewhere"))}));
    EXPECT_FALSE(actions().endLatestImport());

    // Deleting in Last Import saves the list and leaves the store alone.
    const auto storeBefore = cn()->unifiedContactsMatchingPredicate(
        CNContactPredicate::predicateForContactsInContainerWithIdentifier(local), {CNContactIdentifierKey}, nullptr);
    EXPECT_TRUE(actions().deleteLatestImportContacts({latest->objectInContactsAtIndex(1)}));
    restart();
    EXPECT_EQ(latest->countOfContacts(), 2);
    EXPECT_EQ(
        cn()->unifiedContactsMatchingPredicate(CNContactPredicate::predicateForContactsInContainerWithIdentifier(local),
                                               {CNContactIdentifierKey}, nullptr)
            .size(),
        storeBefore.size());
    EXPECT_EQ(manager->containerHelperWithIdentifier(local)->countOfContacts(), 0);
}

TEST_F(RecyleTest, DroppingOntoAGroupWritesCopiesAndEmptiesTheSource)
{
    const CNGroup team = addGroup(QStringLiteral("Team"), local);
    reload();
    const auto account = manager->containerHelperWithIdentifier(local);
    const auto group = account->groupWithIdentifier(team.identifier());
    load(account);
    load(group);

    latest->addContactHelpers({importedRecord(QStringLiteral("Imp"))});
    ASSERT_TRUE(storage->saveDefaultContainerLatestImport(latest.get()));
    auto trashed = std::make_shared<CNMutableContact>();
    trashed->setGivenName(QStringLiteral("Old"));
    recyle->addContactRecyles({std::make_shared<KQContactRecyle>(trashed, QStringLiteral("elsewhere"), QStringList{})});

    const auto fromLatest =
        runAndWait([&](auto done) { actions().dropContactHelpers(latest->contacts(), latest, group, nullptr, done); });
    const auto fromTrash = runAndWait(
        [&](auto done) { actions().dropContactHelpers(recyle->contacts(), recyle, account, nullptr, done); });
    EXPECT_TRUE(fromLatest.success);
    EXPECT_TRUE(fromTrash.success);
    EXPECT_EQ(storeNames(CNContactPredicate::predicateForContactsInContainerWithIdentifier(local)),
              (QStringList{QStringLiteral("Imp"), QStringLiteral("Old")}));
    EXPECT_EQ(storeNames(CNContactPredicate::predicateForContactsInGroupWithIdentifier(team.identifier())),
              QStringList{QStringLiteral("Imp")});
    ASSERT_EQ(fromLatest.made.size(), 1u);
    EXPECT_TRUE(group->contactHelperWithIdentifier(fromLatest.made[0]->identifier()));
    EXPECT_EQ(account->countOfContacts(), 2);
    EXPECT_EQ(latest->countOfContacts(), 0);
    EXPECT_EQ(recyle->countOfContacts(), 0);
    restart();
    EXPECT_EQ(latest->countOfContacts(), 0);
    EXPECT_EQ(recyle->countOfContacts(), 0);
}

TEST_F(RecyleTest, ManagerLoadsItsNodesFromTheSharedStorage)
{
    EXPECT_TRUE(manager->tagsMgr());
    EXPECT_EQ(manager->storage(), KQStorage::sharedStorage());
    const auto roots = manager->allRootContainers();
    ASSERT_GE(roots.size(), 2u);
    EXPECT_EQ(roots[roots.size() - 2], manager->latestImport());
    EXPECT_EQ(roots.back(), manager->recyle());
    EXPECT_EQ(manager->recyle()->identifier(), QStringLiteral("16119B2F-B470-42CC-9209-0522A8930E6D"));
    EXPECT_EQ(manager->latestImport()->identifier(), QStringLiteral("645B8483-C0CC-44CB-ABD2-4571C9A56EF7"));
    EXPECT_EQ(manager->containerHelperWithIdentifier(manager->recyle()->identifier()), nullptr);
}

// The account is still listed but its container left the store: the store refuses the write.
TEST_F(RecyleTest, RefusedPutBackAndDeleteLeaveEverythingAsItWas)
{
    ASSERT_TRUE(
        cn()->addContainer(CNContainer(QStringLiteral("temp-acc"), QStringLiteral("Temp"), CNContainerType::CardDAV)));
    const auto ann = addContact(QStringLiteral("Ann"), QStringLiteral("temp-acc"));
    reload();
    const auto temp = manager->containerHelperWithIdentifier(QStringLiteral("temp-acc"));
    load(temp);
    ASSERT_TRUE(deleteRecords(temp, {temp->contactHelperWithIdentifier(ann->identifier())}).success);
    ASSERT_TRUE(cn()->removeContainer(QStringLiteral("temp-acc")));
    const QByteArray trashFile = KQStorage::readFile(storage->recyleFilepath());

    const auto result = putBack(recyle->recyleEntries());
    EXPECT_FALSE(result.success);
    EXPECT_TRUE(result.done.empty());
    EXPECT_EQ(recyle->countOfContacts(), 1);
    EXPECT_EQ(KQStorage::readFile(storage->recyleFilepath()), trashFile);
    EXPECT_EQ(temp->countOfContacts(), 0);
    EXPECT_EQ(temp->allContactHelpersCount(), 0);

    // A delete the store refuses puts the record back where it was and leaves the Trash alone.
    reload();
    const auto account = manager->containerHelperWithIdentifier(local);
    const CNGroup team = addGroup(QStringLiteral("Team"), local);
    const auto bob = addContact(QStringLiteral("Bob"), local, {team});
    reload();
    load(account);
    const auto group = account->groupWithIdentifier(team.identifier());
    load(group);
    const auto record = account->contactHelperWithIdentifier(bob->identifier());
    CNSaveRequest removeFirst;
    removeFirst.deleteContact(*bob);
    ASSERT_TRUE(cn()->executeSaveRequest(removeFirst)); // another program deleted it meanwhile
    const auto refused = deleteRecords(account, {record});
    EXPECT_FALSE(refused.success);
    EXPECT_TRUE(account->contactHelperWithIdentifier(bob->identifier()));
    EXPECT_TRUE(account->contactHelperExistWithIdentifier(bob->identifier()));
    EXPECT_TRUE(group->contactHelperWithIdentifier(bob->identifier()));
    EXPECT_EQ(recyle->countOfContacts(), 1);
    EXPECT_EQ(KQStorage::readFile(storage->recyleFilepath()), trashFile);
}
