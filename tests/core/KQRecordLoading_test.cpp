// Loading records and nodes from several threads at once: each node fetches its contacts once
// whoever asks, a record's fetched contact is installed on the main thread only, and a whole node
// loads all keys with one store fetch. The loop test is the one to run under ThreadSanitizer.

#include "KQSharedStoreTestUtil.h"
#include "store/KQContactManager.h"
#include "store/KQContactStoreHelper.h"
#include "store/KQPreferences.h"

#include <QLoggingCategory>
#include <QThread>
#include <atomic>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>

namespace {

// The loop's size: small for the normal run, larger when KQ_TEST_LARGE is set (a sanitizer run by hand).
int sizeFor(int normal, int large)
{
    return qEnvironmentVariableIsSet("KQ_TEST_LARGE") ? large : normal;
}

// Counts the node fetches the store layer reports on its diagnostics category.
class FetchCounter
{
public:
    FetchCounter()
    {
        s_counter = this;
        QLoggingCategory::setFilterRules(QStringLiteral("kq.store.nodes.debug=true"));
        m_previous = qInstallMessageHandler(&FetchCounter::handle);
    }
    ~FetchCounter()
    {
        qInstallMessageHandler(m_previous);
        QLoggingCategory::setFilterRules(QString());
        s_counter = nullptr;
    }
    int fetchesOf(const QString& node) const
    {
        std::lock_guard lock(m_mutex);
        return m_started.count(node);
    }

private:
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& text)
    {
        if (qstrcmp(context.category, "kq.store.nodes") == 0 && s_counter != nullptr) {
            static const QString prefix = QStringLiteral("fetching contacts of node ");
            if (text.startsWith(prefix)) {
                std::lock_guard lock(s_counter->m_mutex);
                s_counter->m_started.append(text.mid(prefix.size()));
            }
            return;
        }
        if (s_counter != nullptr && s_counter->m_previous != nullptr)
            s_counter->m_previous(type, context, text);
    }

    static inline FetchCounter* s_counter = nullptr;
    mutable std::mutex m_mutex;
    QStringList m_started;
    QtMessageHandler m_previous = nullptr;
};

class RecordLoadingTest : public ::testing::Test
{
protected:
    static KQContactStoreHelper* store() { return KQContactStoreHelper::shared(); }

    void SetUp() override
    {
        kqEmptySharedStore();
        KQPreferences::sharePreferences()->setDefaultContainerName(std::nullopt);
        manager = KQContactManager::sharedContactManager();
    }

    // Saves count contacts with a name, a phone number and a note (the note is not a list key).
    void addContacts(int count)
    {
        CNSaveRequest request;
        for (int i = 0; i < count; ++i) {
            CNMutableContact contact;
            contact.setGivenName(QStringLiteral("Given%1").arg(i));
            contact.setFamilyName(QStringLiteral("Family"));
            contact.setNickname(QStringLiteral("nick%1").arg(i));
            contact.setPhoneNumbers({CNLabeledValue<CNPhoneNumber>(
                CNLabelHome, CNPhoneNumber::phoneNumberWithStringValue(QStringLiteral("555 %1").arg(i)))});
            request.addContact(contact, QString());
        }
        ASSERT_TRUE(store()->contactStore()->executeSaveRequest(request));
    }

    KQContainerHelperPtr localAccount()
    {
        EXPECT_TRUE(kqReloadAccounts());
        return kqLocalAccount();
    }

    // What a reader checks of a fully loaded record.
    static bool readsAsLoaded(KQContactHelper& record)
    {
        const auto nick = record.nickName();
        return record.allKeysLoaded() && nick && nick->startsWith(QLatin1String("nick")) &&
               record.fullName().endsWith(QLatin1String("Family")) &&
               record.propertyPhoneNumbers()->countOfLabeledValueHelpers() == 1;
    }

    KQContactManager* manager = nullptr;
};

} // namespace

TEST_F(RecordLoadingTest, NodeFetchesItsContactsOnceWhoeverAsks)
{
    addContacts(50);
    const auto account = localAccount();
    ASSERT_TRUE(account);
    account->refetchContacts();
    FetchCounter counter;

    QList<bool> fetched;
    account->loadContactsWithCompleteHandler([&fetched](KQGroupTreeNode*, bool did) { fetched.append(did); });
    account->loadContactsWithCompleteHandler([&fetched](KQGroupTreeNode*, bool did) { fetched.append(did); });
    std::atomic<bool> workerDone{false};
    std::atomic<int> workerCount{-1};
    std::thread worker([&] {
        account->syncLoadContactsIfNecessary();
        workerCount = account->countOfContacts();
        workerDone = true;
    });
    ASSERT_TRUE(kqWaitUntil([&] { return fetched.size() == 2 && workerDone.load(); }));
    worker.join();

    EXPECT_EQ(counter.fetchesOf(account->identifier()), 1);
    EXPECT_EQ(fetched, (QList<bool>{true, false}));
    // The synchronous load returned only once the contacts were installed.
    EXPECT_EQ(workerCount.load(), 50);

    // A refetch request makes the next request fetch again, once.
    account->refetchContacts();
    account->loadContactsWithCompleteHandler(nullptr);
    account->loadContactsWithCompleteHandler(nullptr);
    ASSERT_TRUE(kqWaitUntil([&] { return account->isContactsLoaded(); }));
    kqSpin(50);
    EXPECT_EQ(counter.fetchesOf(account->identifier()), 2);
}

TEST_F(RecordLoadingTest, WholeNodeLoadsAllKeysOnTheMainThreadInOneGo)
{
    addContacts(300);
    const auto account = localAccount();
    ASSERT_TRUE(account);
    account->refetchContacts();

    std::atomic<int> installed{-1};
    std::atomic<bool> done{false};
    std::thread worker([&] {
        installed = account->syncLoadAllKeysOfContacts();
        done = true;
    });
    ASSERT_TRUE(kqWaitUntil([&] { return done.load(); }, 20000));
    worker.join();

    EXPECT_EQ(installed.load(), 300);
    const KQContactHelperList records = account->contacts();
    ASSERT_EQ(records.size(), 300u);
    for (const auto& record : records)
        EXPECT_TRUE(readsAsLoaded(*record)) << record->fullName().toStdString();

    // Nothing left to load: the second call fetches nothing.
    done = false;
    std::thread again([&] {
        installed = account->syncLoadAllKeysOfContacts();
        done = true;
    });
    ASSERT_TRUE(kqWaitUntil([&] { return done.load(); }));
    again.join();
    EXPECT_EQ(installed.load(), 0);
}

TEST_F(RecordLoadingTest, InstallsHappenOnTheMainThreadOnly)
{
    addContacts(20);
    const auto account = localAccount();
    ASSERT_TRUE(account);
    account->refetchContacts();
    std::atomic<bool> loaded{false};
    std::thread lister([&] {
        account->syncLoadContactsIfNecessary();
        loaded = true;
    });
    ASSERT_TRUE(kqWaitUntil([&] { return loaded.load(); }));
    lister.join();

    std::atomic<int> offMain{0};
    std::atomic<int> reloads{0};
    QObject context;
    for (const auto& record : account->contacts()) {
        QObject::connect(
            record.get(), &KQContactHelper::contactReloaded, &context,
            [&] {
                ++reloads;
                if (!KQDispatch::isMainThread())
                    ++offMain;
            },
            Qt::DirectConnection);
    }
    std::atomic<bool> done{false};
    std::thread worker([&] {
        for (const auto& record : account->contacts())
            record->syncLoadAllKeysIfNecessary();
        done = true;
    });
    ASSERT_TRUE(kqWaitUntil([&] { return done.load(); }));
    worker.join();
    EXPECT_EQ(reloads.load(), 20);
    EXPECT_EQ(offMain.load(), 0);
}

// Both sides load and read the same records while the other does: the worker as the scan and
// exports do (synchronous loads, the batched node load), the main thread as the windows do
// (handler loads, reads of names at any time).
TEST_F(RecordLoadingTest, BothSidesLoadAndReadTheSameRecordsInALoop)
{
    const int contacts = sizeFor(40, 200);
    const int rounds = sizeFor(6, 30);
    addContacts(contacts);
    const auto account = localAccount();
    ASSERT_TRUE(account);

    for (int round = 0; round < rounds; ++round) {
        account->refetchContacts(); // new records each round, as a reload makes
        std::atomic<bool> listed{false};
        std::atomic<bool> workerDone{false};
        std::atomic<int> workerBad{0};
        std::thread worker([&, round] {
            account->syncLoadContactsIfNecessary();
            listed = true;
            const KQContactHelperList records = account->contacts();
            if (round % 2 == 1)
                account->syncLoadAllKeysOfContacts();
            for (const auto& record : records) {
                record->syncLoadAllKeysIfNecessary();
                if (!readsAsLoaded(*record))
                    ++workerBad;
            }
            workerDone = true;
        });
        ASSERT_TRUE(kqWaitUntil([&] { return listed.load(); }));
        int handled = 0;
        int mainBad = 0;
        const KQContactHelperList records = account->contacts();
        for (const auto& record : records) {
            record->loadAllKeysIfNecessaryWithCompleteHandler([&](KQContactHelper* loaded, bool) {
                ++handled;
                if (!readsAsLoaded(*loaded))
                    ++mainBad;
            });
            // Names are readable at any moment, loaded or not.
            EXPECT_TRUE(record->givenName().value_or(QString()).startsWith(QLatin1String("Given")));
            (void)record->effectiveContact();
        }
        ASSERT_TRUE(
            kqWaitUntil([&] { return workerDone.load() && handled == static_cast<int>(records.size()); }, 30000));
        worker.join();
        EXPECT_EQ(workerBad.load(), 0) << "round " << round;
        EXPECT_EQ(mainBad, 0) << "round " << round;
    }
}
