// An account whose contacts or groups could not all be read: the failure reaches the account, the
// account says so with the store file named, and nothing is scanned, fixed, backed up or restored
// from its partial lists. A reload of all accounts reads it afresh.

#include "KQSharedStoreTestUtil.h"
#include "problems/KQConflictScanTask.h"
#include "store/KQContactManager.h"
#include "store/KQGroupHelper.h"
#include "store/KQPreferences.h"
#include "store/KQStorage.h"

#include <QDir>
#include <QTemporaryDir>
#include <atomic>
#include <functional>
#include <gtest/gtest.h>
#include <thread>

namespace {

KQContactStoreHelper* store()
{
    return KQContactStoreHelper::shared();
}

CNError malformed()
{
    return CNError::make(CNError::ReadFailure, QStringLiteral("database disk image is malformed"));
}

// Runs body on a worker while the main thread keeps its loop going; body's answer.
bool offMain(const std::function<bool()>& body)
{
    std::atomic<bool> done{false};
    bool answer = false;
    std::thread worker([&] {
        answer = body();
        done = true;
    });
    EXPECT_TRUE(kqWaitUntil([&done] { return done.load(); }, 30000));
    worker.join();
    KQDispatch::waitForGlobalQueue();
    return answer;
}

class AccountLoadErrorTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        KQContactManager::sharedContactManager();
        CNContactStore* cn = store()->contactStore();
        local = cn->defaultContainerIdentifier();
        CNSaveRequest request;
        for (const char* name : {"Ann", "Ann", "Bo"}) {
            CNMutableContact contact;
            contact.setGivenName(QString::fromLatin1(name));
            request.addContact(contact, local);
        }
        ASSERT_TRUE(cn->executeSaveRequest(request));
        reload();
    }

    void TearDown() override
    {
        // Leaves the shared account as the next test expects it.
        reload();
        EXPECT_FALSE(account()->hasLoadError());
    }

    static void reload() { ASSERT_TRUE(kqReloadAccounts()); }

    KQContainerHelperPtr account() const { return store()->containerHelperWithIdentifier(local); }

    int storedContacts() const
    {
        int count = 0;
        CNContactFetchRequest all({CNContactIdentifierKey});
        store()->contactStore()->enumerateContactsWithFetchRequest(all, nullptr,
                                                                   [&count](const CNContactPtr&, bool*) { ++count; });
        return count;
    }

    QTemporaryDir folder;
    QString local;
};

} // namespace

TEST_F(AccountLoadErrorTest, AGroupsFailedFetchPutsItsAccountInTheErrorStateOnce)
{
    const KQContainerHelperPtr target = account();
    ASSERT_FALSE(target->hasLoadError());
    EXPECT_TRUE(target->loadErrorMessage().isEmpty());
    int changed = 0;
    const QMetaObject::Connection counting =
        QObject::connect(target.get(), &KQContainerHelper::loadErrorChanged, [&changed] { ++changed; });

    auto group = std::make_shared<KQGroupHelper>(CNGroup(CNMakeIdentifier(), QStringLiteral("Friends")));
    target->addSubGroup(group);
    group->reportLoadFailure(malformed(), "contacts");
    group->reportLoadFailure(malformed(), "contacts");

    EXPECT_TRUE(target->hasLoadError());
    EXPECT_TRUE(group->loadError().isError());
    const QString message = target->property("loadErrorMessage").toString();
    EXPECT_TRUE(message.contains(store()->contactStore()->databasePath())) << message.toStdString();
    EXPECT_TRUE(message.contains(QLatin1String("malformed"))) << message.toStdString();
    EXPECT_TRUE(kqWaitUntil([&changed] { return changed >= 1; }));
    kqSpin(50);
    EXPECT_EQ(changed, 1);
    QObject::disconnect(counting);
    target->removeSubGroup(group);
}

struct Refusal
{
    const char* name;
    // Runs the operation on the account (off the main thread); true when it refused.
    std::function<bool(const KQContainerHelperPtr& account, const QString& folder, const KQContainerBackupPtr& backup)>
        run;
};

void PrintTo(const Refusal& c, std::ostream* os)
{
    *os << c.name;
}

class AccountRefusalTest : public AccountLoadErrorTest, public ::testing::WithParamInterface<Refusal>
{
};

TEST_P(AccountRefusalTest, RefusesAndChangesNothing)
{
    // A good backup made before the account went wrong, for the restore.
    const KQContainerBackupPtr backup =
        offMain([&] { return account()->backupToPathInternal(folder.path(), {}) != nullptr; })
            ? KQStorage::sharedStorage()->containerBackupsWithIdentifier(local).front()
            : nullptr;
    ASSERT_TRUE(backup);
    const QString out = folder.filePath(QStringLiteral("out"));
    ASSERT_TRUE(QDir().mkpath(out));
    const int before = storedContacts();
    const size_t catalogued = KQStorage::sharedStorage()->containerBackupsWithIdentifier(local).size();

    const KQContainerHelperPtr target = account();
    target->setLoadError(malformed());
    EXPECT_TRUE(offMain([&] { return GetParam().run(target, out, backup); }));

    EXPECT_EQ(storedContacts(), before);
    EXPECT_TRUE(QDir(out).entryList(QDir::Files).isEmpty());
    EXPECT_EQ(KQStorage::sharedStorage()->containerBackupsWithIdentifier(local).size(), catalogued);
}

INSTANTIATE_TEST_SUITE_P(
    Operations, AccountRefusalTest,
    ::testing::Values(
        Refusal{"Backup",
                [](const KQContainerHelperPtr& account, const QString& out, const KQContainerBackupPtr&) {
                    return account->backupToPathInternal(out, {}) == nullptr;
                }},
        Refusal{"Restore",
                [](const KQContainerHelperPtr& account, const QString& out, const KQContainerBackupPtr& backup) {
                    return !account->restoreContainerFromBackupInternal(backup, {}, {}, out);
                }},
        Refusal{"Scan",
                [](const KQContainerHelperPtr& account, const QString&, const KQContainerBackupPtr&) {
                    const auto task = KQConflictScanTask::initWithContainerHelpers({account});
                    task->setKinds(KQConflictScanKinds::fromPreferences(*KQPreferences::sharePreferences()));
                    const bool refused = task->scan([](double) { return false; }) == nullptr;
                    return refused && task->failureMessage().contains(QLatin1String("malformed"));
                }}),
    [](const ::testing::TestParamInfo<Refusal>& p) { return std::string(p.param.name); });

TEST_F(AccountLoadErrorTest, AReloadReadsTheAccountAfresh)
{
    account()->setLoadError(malformed());
    ASSERT_TRUE(account()->hasLoadError());
    reload();
    EXPECT_FALSE(account()->hasLoadError());
    EXPECT_TRUE(account()->loadErrorMessage().isEmpty());
    EXPECT_TRUE(store()->loadErrorMessage().isEmpty());
}
