// Closing the store at the end of a run, and the check that the next run makes when a run ended
// without closing it (killed): nothing to check after a clean close, a passed check after a kill,
// and damage found by the check when pages went bad.

#include "KQStoreDamage.h"
#include "platform/CNMutableContact.h"
#include "platform/CNSQLiteContactStore.h"
#include "platform/CNSaveRequest.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Lines logged while it lives.
class LogCollector
{
public:
    LogCollector()
    {
        s_lines.clear();
        m_previous = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
            s_lines.append((type >= QtWarningMsg ? QStringLiteral("warning: ") : QStringLiteral("info: ")) + text);
        });
    }
    ~LogCollector() { qInstallMessageHandler(m_previous); }
    static QString text() { return s_lines.join(u'\n'); }

private:
    static inline QStringList s_lines;
    QtMessageHandler m_previous;
};

void addContacts(CNSQLiteContactStore& store, int count, const QString& prefix)
{
    CNSaveRequest request;
    for (int i = 0; i < count; ++i) {
        CNMutableContact contact;
        contact.setGivenName(prefix + QString::number(i));
        contact.setNote(QString(200, u'n'));
        if (i == 0)
            contact.setImageData(QByteArray(100, 'i'));
        request.addContact(contact, store.defaultContainerIdentifier());
    }
    CNError error;
    ASSERT_TRUE(store.executeSaveRequest(request, &error)) << error.localizedDescription.toStdString();
}

int contactCount(CNSQLiteContactStore& store, CNError* error)
{
    int count = 0;
    store.enumerateContacts(std::nullopt, {}, error, [&count](const CNContactPtr&, bool*) { ++count; });
    return count;
}

// Runs work in a child process, which work ends with killNow() while its store is open, as a
// crash or kill -9 would end a run.
void killNow()
{
    ::raise(SIGKILL);
}

void inKilledChild(const std::function<void()>& work)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        work();
        ::_exit(1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << status;
}

class StoreCloseTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath(QStringLiteral("store.sqlite"));
    }
    qint64 walSize() const { return QFileInfo(path + QStringLiteral("-wal")).size(); }

    QTemporaryDir dir;
    QString path;
};

} // namespace

TEST_F(StoreCloseTest, CloseWritesTheJournalBackAndLaterCallsFailClearly)
{
    CNContactPtr kept;
    {
        CNSQLiteContactStore store(path, {});
        ASSERT_TRUE(store.isOpen());
        addContacts(store, 50, QStringLiteral("C"));
        EXPECT_GT(walSize(), 0);
        CNError error;
        store.enumerateContacts(std::nullopt, CNKeySetFromKeys({CNContactImageDataKey}), &error,
                                [&kept](const CNContactPtr& c, bool* stop) {
                                    kept = c;
                                    *stop = true;
                                });
        store.close();
        EXPECT_FALSE(store.isOpen());
        EXPECT_EQ(walSize(), 0);

        CNError after;
        EXPECT_EQ(contactCount(store, &after), 0);
        EXPECT_TRUE(after.isError());
        EXPECT_TRUE(after.localizedDescription.contains(QLatin1String("closed")))
            << after.localizedDescription.toStdString();
        CNSaveRequest request;
        CNMutableContact late;
        request.addContact(late, QString());
        EXPECT_FALSE(store.executeSaveRequest(request, &after));
        store.close(); // twice is harmless
    }
    ASSERT_TRUE(kept);
    // A contact fetched before the close outlives the store and still reads its image.
    EXPECT_EQ(kept->imageData(), QByteArray(100, 'i'));

    LogCollector log;
    CNSQLiteContactStore reopened(path, {});
    ASSERT_TRUE(reopened.isOpen());
    CNError error;
    EXPECT_EQ(contactCount(reopened, &error), 50);
    EXPECT_FALSE(log.text().contains(QLatin1String("unclean shutdown"))) << log.text().toStdString();
}

TEST_F(StoreCloseTest, AKilledRunIsCheckedAtTheNextOpen)
{
    {
        CNSQLiteContactStore store(path, {});
        addContacts(store, 50, QStringLiteral("C"));
    }
    inKilledChild([this] {
        CNSQLiteContactStore store(path, {});
        addContacts(store, 5, QStringLiteral("K"));
        killNow();
    });
    ASSERT_GT(walSize(), 0);

    LogCollector log;
    CNSQLiteContactStore reopened(path, {});
    ASSERT_TRUE(reopened.isOpen());
    EXPECT_TRUE(log.text().contains(QLatin1String("passed its check after an unclean shutdown")))
        << log.text().toStdString();
    EXPECT_TRUE(reopened.damageFound().isEmpty());
    CNError error;
    EXPECT_EQ(contactCount(reopened, &error), 55);
}

TEST_F(StoreCloseTest, TheCheckAfterAKilledRunReportsDamagedPages)
{
    {
        CNSQLiteContactStore store(path, {});
        addContacts(store, 400, QStringLiteral("C"));
    }
    // The killed run changes no contact page, so the damage below is what the check reads.
    inKilledChild([this] {
        CNSQLiteContactStore store(path, {});
        CNError error;
        store.renameContainer(store.defaultContainerIdentifier(), QStringLiteral("Renamed"), &error);
        killNow();
    });
    ASSERT_GT(walSize(), 0);
    ASSERT_TRUE(kqDamageLastContactsPage(path));

    LogCollector log;
    CNSQLiteContactStore reopened(path, {});
    EXPECT_FALSE(reopened.damageFound().isEmpty());
    EXPECT_TRUE(log.text().contains(QLatin1String("warning: "))) << log.text().toStdString();
    EXPECT_TRUE(log.text().contains(path)) << log.text().toStdString();
}

TEST_F(StoreCloseTest, AStoreThatAnotherRunningProcessHoldsIsNotTakenForAKilledRun)
{
    {
        CNSQLiteContactStore store(path, {});
        addContacts(store, 10, QStringLiteral("C"));
    }
    int ready[2];
    int finish[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(finish), 0);
    const pid_t pid = ::fork();
    if (pid == 0) {
        CNSQLiteContactStore store(path, {});
        addContacts(store, 5, QStringLiteral("R"));
        char byte = 1;
        [[maybe_unused]] const ssize_t written = ::write(ready[1], &byte, 1);
        [[maybe_unused]] const ssize_t read = ::read(finish[0], &byte, 1);
        ::_exit(0);
    }
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    ASSERT_GT(walSize(), 0);
    {
        LogCollector log;
        CNSQLiteContactStore second(path, {});
        ASSERT_TRUE(second.isOpen());
        EXPECT_FALSE(log.text().contains(QLatin1String("unclean shutdown"))) << log.text().toStdString();
        CNError error;
        EXPECT_EQ(contactCount(second, &error), 15);
    }
    ASSERT_EQ(::write(finish[1], &byte, 1), 1);
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    for (int fd : {ready[0], ready[1], finish[0], finish[1]})
        ::close(fd);
}
