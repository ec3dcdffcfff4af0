// The store against the outside world: other processes writing, a process killed mid-save, a
// full disk, and the change notifications that follow commits.
#include "CNContactStoreTestSupport.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <chrono>
#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace storetest;

namespace {

// Runs body in a child process, which ends with its result and never returns into the test.
template <typename Body> pid_t spawn(Body body)
{
    const pid_t pid = fork();
    if (pid == 0)
        _exit(body());
    return pid;
}

// The child's exit code, or -1 when it had to be killed after the timeout.
int waitForExit(pid_t pid, std::chrono::milliseconds timeout = std::chrono::seconds(30))
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

QString queryText(const QString& path, const char* sql)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_stmt* s = nullptr;
    QString value;
    if (sqlite3_prepare_v2(db, sql, -1, &s, nullptr) == SQLITE_OK && sqlite3_step(s) == SQLITE_ROW)
        value = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(s, 0)));
    sqlite3_finalize(s);
    sqlite3_close(db);
    return value;
}

CNSaveRequest bigSave(int count, const QString& prefix, int noteLength)
{
    CNSaveRequest request;
    const QString note(noteLength, QLatin1Char('n'));
    for (int i = 0; i < count; ++i) {
        auto c = person(prefix + QString::number(i), QStringLiteral("Given"), QStringLiteral("Family"));
        c->setNote(note);
        request.addContact(*c, {});
    }
    return request;
}

qint64 fileSize(const QString& path)
{
    return QFileInfo(path).size();
}

} // namespace

TEST(CNContactStoreProcesses, WriteByAnotherProcessIsAnnounced)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("store.sqlite"));
    int go[2];
    ASSERT_EQ(pipe(go), 0);
    // Forked before this process opens the store, so the child inherits no store threads.
    const pid_t child = spawn([&] {
        char c;
        if (read(go[0], &c, 1) != 1)
            return 2;
        CNContactStore store(path);
        CNSaveRequest request;
        request.addContact(*person(QStringLiteral("FROM-CHILD"), QStringLiteral("Child")), {});
        return store.executeSaveRequest(request) ? 0 : 1;
    });
    ASSERT_GT(child, 0);
    close(go[0]);

    CNContactStore store(path);
    ChangeSpy spy(store);
    ASSERT_EQ(write(go[1], "g", 1), 1);
    close(go[1]);
    EXPECT_EQ(waitForExit(child), 0);

    EXPECT_TRUE(spy.wait());
    EXPECT_GE(spy.notificationCount(), 1);
    EXPECT_EQ(identifiers(fetch(store, {})), QStringList{"FROM-CHILD"_q});
}

TEST(CNContactStoreProcesses, OwnCommitIsAnnouncedOnce)
{
    QTemporaryDir dir;
    CNContactStore store(dir.filePath(QStringLiteral("store.sqlite")));
    ChangeSpy spy(store);
    CNSaveRequest request;
    request.addContact(*person(QStringLiteral("A"), QStringLiteral("A")), {});
    request.addGroup(CNGroup(QStringLiteral("G"), QStringLiteral("G")), {});
    ASSERT_TRUE(store.executeSaveRequest(request));
    EXPECT_TRUE(spy.wait());
    EXPECT_EQ(spy.notificationCount(), spy.signalCount());

    // A failed save commits nothing, so it announces nothing: no further signal within a few polls.
    CNSaveRequest failing;
    failing.deleteContact(*person(QStringLiteral("NONE"), {}));
    EXPECT_FALSE(store.executeSaveRequest(failing));
    const int seen = spy.signalCount();
    EXPECT_FALSE(spy.wait(seen + 1, 700));
}

TEST(CNContactStoreProcesses, ProcessKilledMidSaveLeavesWholeOrNoSave)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("store.sqlite"));
    const QString wal = path + QStringLiteral("-wal");
    constexpr int Before = 50;
    constexpr int Large = 20000;
    {
        CNContactStore store(path);
        ASSERT_TRUE(store.executeSaveRequest(bigSave(Before, QStringLiteral("OLD-"), 10)));
    }
    const qint64 walBefore = fileSize(wal);

    int started[2];
    ASSERT_EQ(pipe(started), 0);
    const pid_t child = spawn([&] {
        CNContactStore store(path);
        const CNSaveRequest request = bigSave(Large, QStringLiteral("NEW-"), 400);
        if (write(started[1], "s", 1) != 1)
            return 2;
        return store.executeSaveRequest(request) ? 0 : 1;
    });
    ASSERT_GT(child, 0);
    close(started[1]);
    char c;
    ASSERT_EQ(read(started[0], &c, 1), 1);
    close(started[0]);

    // Kill once the save has written a good part of its pages (or, on a very fast machine, ended).
    int status = 0;
    bool ended = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (fileSize(wal) < walBefore + 1024 * 1024 && std::chrono::steady_clock::now() < deadline) {
        if (waitpid(child, &status, WNOHANG) == child) {
            ended = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    if (!ended) {
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
    }
    RecordProperty("killedMidSave", ended ? "no" : "yes");

    EXPECT_EQ(queryText(path, "PRAGMA integrity_check"), QStringLiteral("ok"));
    const qint64 count = queryInt(path, "SELECT count(*) FROM contacts");
    EXPECT_TRUE(count == Before || count == Before + Large) << count;

    CNContactStore store(path);
    ASSERT_EQ(store.authorizationStatusForEntityType(CNEntityType::Contacts), CNAuthorizationStatus::Authorized);
    EXPECT_EQ(static_cast<qint64>(fetch(store, {CNContactNoteKey}).size()), count);
    EXPECT_TRUE(store.executeSaveRequest(bigSave(1, QStringLiteral("AFTER-"), 1)));
}

TEST(CNContactStoreProcesses, FullDiskFailsTheSaveAndChangesNothing)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("store.sqlite"));
    CNContactStore store(path);
    ASSERT_TRUE(store.executeSaveRequest(bigSave(20, QStringLiteral("OLD-"), 10)));
    const QStringList before = dumpDatabase(path);

    // The file-size limit makes every write past it fail, as a full disk does.
    rlimit original{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &original), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = original;
    small.rlim_cur = static_cast<rlim_t>(std::max(fileSize(path), fileSize(path + QStringLiteral("-wal"))) + 64 * 1024);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    CNError error;
    const bool saved = store.executeSaveRequest(bigSave(3000, QStringLiteral("NEW-"), 2000), &error);
    setrlimit(RLIMIT_FSIZE, &original);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_FALSE(saved);
    EXPECT_EQ(error.code, CNError::WriteFailure);
    // The text names the step that failed (an operation, or the commit when the writer's cache
    // held every page until then) and passes on what SQLite said.
    EXPECT_TRUE((error.localizedDescription.contains(QLatin1String("addContact")) ||
                 error.localizedDescription.contains(QLatin1String("commit"))) &&
                error.localizedDescription.contains(QLatin1String("I/O error")))
        << error.localizedDescription.toStdString();
    EXPECT_EQ(dumpDatabase(path), before);
    EXPECT_TRUE(store.executeSaveRequest(bigSave(1, QStringLiteral("AFTER-"), 1)));
}
