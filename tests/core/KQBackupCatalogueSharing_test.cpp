// The backup catalogue written by several running copies at once, and a damaged catalogue: every
// copy's backups are kept, and the damaged file is set aside before anything replaces it.

#include "store/KQStorage.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

KQContainerBackupPtr backupNamed(const QTemporaryDir& dir, const QString& name)
{
    return KQContainerBackup::initWithBackupFile(dir.filePath(name + QStringLiteral(".vorlankqbck")));
}

QStringList fileNames(const KQContainerBackupList& list)
{
    QStringList names;
    for (const auto& backup : list)
        names.append(QFileInfo(backup->backupFile()).completeBaseName());
    names.sort();
    return names;
}

} // namespace

TEST(BackupCatalogueSharing, CopiesWritingAtOnceLoseNoBackup)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    constexpr int kCopies = 3;
    constexpr int kEach = 15;
    std::vector<pid_t> children;
    for (int copy = 0; copy < kCopies; ++copy) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            // Each copy has its own storage object, as each running program has.
            KQStorage storage(dir.path());
            int failures = 0;
            for (int i = 0; i < kEach; ++i)
                failures += storage.addBackup(backupNamed(dir, QStringLiteral("c%1-%2").arg(copy).arg(i)),
                                              QStringLiteral("account"))
                                ? 0
                                : 1;
            ::_exit(failures);
        }
        children.push_back(pid);
    }
    for (const pid_t pid : children) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }

    KQStorage reader(dir.path());
    const QStringList names = fileNames(reader.containerBackupsWithIdentifier(QStringLiteral("account")));
    EXPECT_EQ(names.size(), kCopies * kEach) << names.join(u' ').toStdString();
    for (int copy = 0; copy < kCopies; ++copy)
        for (int i = 0; i < kEach; ++i)
            EXPECT_TRUE(names.contains(QStringLiteral("c%1-%2").arg(copy).arg(i)));
}

TEST(BackupCatalogueSharing, RemovingKeepsWhatAnotherCopyAddedMeanwhile)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    KQStorage mine(dir.path());
    KQStorage other(dir.path());
    ASSERT_TRUE(mine.addBackup(backupNamed(dir, QStringLiteral("old")), QStringLiteral("a")));
    ASSERT_TRUE(other.addBackup(backupNamed(dir, QStringLiteral("theirs")), QStringLiteral("a")));
    ASSERT_TRUE(mine.removeBackup(backupNamed(dir, QStringLiteral("old")), QStringLiteral("a")));
    EXPECT_EQ(fileNames(other.containerBackupsWithIdentifier(QStringLiteral("a"))),
              QStringList{QStringLiteral("theirs")});
}

TEST(BackupCatalogueSharing, ADamagedCatalogueIsSetAsideBeforeTheNextBackupIsEntered)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    KQStorage storage(dir.path());
    const QByteArray garbage(5000, 'g');
    {
        QFile file(storage.backupInfoFile());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(garbage);
    }
    ASSERT_TRUE(storage.addBackup(backupNamed(dir, QStringLiteral("new")), QStringLiteral("a")));
    EXPECT_EQ(fileNames(storage.containerBackupsWithIdentifier(QStringLiteral("a"))),
              QStringList{QStringLiteral("new")});
    const QStringList aside =
        QDir(storage.defaultStoragePath()).entryList({KQStorage::backupInfoFileName() + QStringLiteral(".damaged-*")});
    ASSERT_EQ(aside.size(), 1);
    QFile kept(QDir(storage.defaultStoragePath()).filePath(aside.first()));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), garbage);
    EXPECT_FALSE(storage.takeLoadProblems().isEmpty());
}
