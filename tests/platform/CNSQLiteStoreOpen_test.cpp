// A store file that cannot be opened as it is: each cause gets its own error, nothing is replaced,
// and a store that may only be read is shown read-only.
#include "platform/CNMutableContact.h"
#include "platform/CNSQLiteContactStore.h"
#include "platform/CNSaveRequest.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QByteArray bytesOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A store at path holding one contact, closed again.
void makeStore(const QString& path)
{
    CNSQLiteContactStore store(path, {});
    ASSERT_TRUE(store.isOpen());
    auto contact = std::make_shared<CNMutableContact>();
    contact->setGivenName(QStringLiteral("Kept"));
    CNSaveRequest request;
    request.addContact(*contact, store.defaultContainerIdentifier());
    CNError error;
    ASSERT_TRUE(store.executeSaveRequest(request, &error)) << error.localizedDescription.toStdString();
}

int contactCount(CNSQLiteContactStore& store)
{
    int count = 0;
    CNError error;
    store.enumerateContacts(std::nullopt, {}, &error, [&count](const CNContactPtr&, bool*) { ++count; });
    return count;
}

// Runs body in a child process as an ordinary user (the tests may run as the superuser, who may
// write anything) and with files limited to fileLimit bytes; the child's exit code is body's.
int inChild(const std::function<int()>& body, rlim_t fileLimit = RLIM_INFINITY)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::getuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(99);
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{fileLimit, fileLimit};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        ::_exit(body());
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct OpenCase
{
    const char* name;
    std::function<void(const QString& path)> prepare;
    int code;
};

void PrintTo(const OpenCase& c, std::ostream* os)
{
    *os << c.name;
}

class StoreOpenTest : public ::testing::TestWithParam<OpenCase>
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath(QStringLiteral("store/contacts.sqlite"));
        QDir().mkpath(QFileInfo(path).absolutePath());
    }
    QTemporaryDir dir;
    QString path;
};

} // namespace

TEST_P(StoreOpenTest, RefusesWithItsOwnCauseAndReplacesNothing)
{
    GetParam().prepare(path);
    const bool wasDir = QFileInfo(path).isDir();
    const QByteArray before = bytesOf(path);
    {
        CNSQLiteContactStore store(path, {});
        EXPECT_FALSE(store.isOpen());
        EXPECT_EQ(store.openError().code, GetParam().code) << store.openError().localizedDescription.toStdString();
        EXPECT_TRUE(store.openError().localizedDescription.contains(path));
    }
    EXPECT_EQ(QFileInfo(path).isDir(), wasDir);
    if (!wasDir) {
        EXPECT_EQ(bytesOf(path), before);
    }
}

INSTANTIATE_TEST_SUITE_P(Causes, StoreOpenTest,
                         ::testing::Values(OpenCase{"EmptyFile",
                                                    [](const QString& path) {
                                                        QFile file(path);
                                                        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
                                                    },
                                                    CNError::CorruptData},
                                           OpenCase{"NotADatabase",
                                                    [](const QString& path) {
                                                        QFile file(path);
                                                        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
                                                        file.write(QByteArray(8192, 'x'));
                                                    },
                                                    CNError::CorruptData},
                                           OpenCase{"AFolderInItsPlace",
                                                    [](const QString& path) { QDir().mkpath(path); },
                                                    CNError::CorruptData},
                                           OpenCase{"NewerVersion",
                                                    [](const QString& path) {
                                                        makeStore(path);
                                                        sqlite3* db = nullptr;
                                                        sqlite3_open(QFile::encodeName(path).constData(), &db);
                                                        sqlite3_exec(db, "PRAGMA user_version=99", nullptr, nullptr,
                                                                     nullptr);
                                                        sqlite3_close(db);
                                                    },
                                                    CNError::StoreNewerVersion}),
                         [](const ::testing::TestParamInfo<OpenCase>& p) { return std::string(p.param.name); });

TEST_F(StoreOpenTest, NewerVersionSaysWhichVersion)
{
    makeStore(path);
    sqlite3* db = nullptr;
    sqlite3_open(QFile::encodeName(path).constData(), &db);
    sqlite3_exec(db, "PRAGMA user_version=7", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    CNSQLiteContactStore store(path, {});
    EXPECT_TRUE(store.openError().localizedDescription.contains(QStringLiteral("version 7")));
}

TEST_F(StoreOpenTest, ReadOnlyStoreShowsItsContactsAndRefusesSaves)
{
    makeStore(path);
    ::chmod(QFile::encodeName(dir.path()).constData(), 0755);
    ::chmod(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), 0777);
    ::chmod(QFile::encodeName(path).constData(), 0444);
    const QByteArray before = bytesOf(path);
    const int result = inChild([&] {
        CNSQLiteContactStore store(path, {});
        if (!store.isOpen())
            return 1;
        if (!store.isReadOnly())
            return 2;
        if (contactCount(store) != 1)
            return 3;
        CNSaveRequest request;
        auto contact = std::make_shared<CNMutableContact>();
        request.addContact(*contact, store.defaultContainerIdentifier());
        CNError error;
        return store.executeSaveRequest(request, &error) || !error.isError() ? 4 : 0;
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(bytesOf(path), before);
}

TEST_F(StoreOpenTest, FolderWithoutPermissionNamesTheFolder)
{
    const QString folder = QFileInfo(path).absolutePath();
    ::chmod(QFile::encodeName(dir.path()).constData(), 0755);
    ::chmod(QFile::encodeName(folder).constData(), 0555);
    const int result = inChild([&] {
        CNSQLiteContactStore store(path, {});
        return !store.isOpen() && store.openError().code == CNError::DataAccessAuthorizationDenied &&
                       store.openError().localizedDescription.contains(folder)
                   ? 0
                   : 1;
    });
    EXPECT_EQ(result, 0);
    EXPECT_FALSE(QFileInfo::exists(path));
}

TEST_F(StoreOpenTest, FullDiskIsSaidSo)
{
    ::chmod(QFile::encodeName(dir.path()).constData(), 0777);
    ::chmod(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), 0777);
    const int result = inChild(
        [&] {
            CNSQLiteContactStore store(path, {});
            if (!store.isOpen() && store.openError().code == CNError::StoreDiskFull)
                return 0;
            std::fprintf(stderr, "%s\n", qPrintable(store.openError().description()));
            return 1;
        },
        1024);
    EXPECT_EQ(result, 0);
    // The store it began to make is gone, so the next start does not take it for a damaged one.
    EXPECT_FALSE(QFileInfo::exists(path));
}
