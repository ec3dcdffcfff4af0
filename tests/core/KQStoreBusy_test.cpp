// Another process keeps the store busy: a save the window waits for gives up rather than freeze
// it, while a save on a worker waits its turn.
#include "platform/CNContactKeys.h"
#include "store/KQContactStoreHelper.h"

#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <thread>

namespace {

// Holds the store's write lock as another process's long save would, for holdFor.
class OtherWriter
{
public:
    OtherWriter(const QString& path, std::chrono::milliseconds holdFor)
    {
        sqlite3_open(QFile::encodeName(path).constData(), &m_db);
        m_locked = sqlite3_exec(m_db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK;
        m_release = std::thread([this, holdFor] {
            std::this_thread::sleep_for(holdFor);
            sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr);
        });
    }
    ~OtherWriter()
    {
        m_release.join();
        sqlite3_close(m_db);
    }
    bool locked() const { return m_locked; }

private:
    sqlite3* m_db = nullptr;
    bool m_locked = false;
    std::thread m_release;
};

int contactCount(KQContactStoreHelper& helper, const QString& account)
{
    return static_cast<int>(
        helper.contactStore()
            ->unifiedContactsMatchingPredicate(
                CNContactPredicate::predicateForContactsInContainerWithIdentifier(account), {CNContactGivenNameKey})
            .size());
}

} // namespace

TEST(KQStoreBusy, WindowThreadGivesUpOnABusyStoreAndWorkersWait)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("contacts.db"));
    KQContactStoreHelper helper(std::make_shared<CNContactStore>(path));
    const QString local = helper.contactStore()->defaultContainerIdentifier();
    CNMutableContactPtr contact = helper.newContact();
    contact->setGivenName(QStringLiteral("Waiting"));

    {
        // Busy for longer than a window may wait, far shorter than the store's own timeout.
        OtherWriter other(path, std::chrono::seconds(6));
        ASSERT_TRUE(other.locked());
        CNError error;
        EXPECT_FALSE(helper.executeSaveRequest(
            [&] {
                CNSaveRequest request;
                request.addContact(*contact, local);
                return request;
            }(),
            QStringLiteral("unused"), &error));
        EXPECT_TRUE(error.localizedDescription.contains(QStringLiteral("busy"))) << error.description().toStdString();
    }
    EXPECT_EQ(contactCount(helper, local), 0);

    {
        OtherWriter other(path, std::chrono::seconds(3));
        ASSERT_TRUE(other.locked());
        bool saved = false;
        std::thread worker([&] { saved = helper.importContacts({contact}, local); });
        worker.join();
        EXPECT_TRUE(saved);
    }
    EXPECT_EQ(contactCount(helper, local), 1);
}
