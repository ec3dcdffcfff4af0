// Saves that fail part-way, on a real file-size limit and at each step of the write in turn: the
// previous file stays as it was and the failure is reported.
#include "store/KQContactRecyle.h"
#include "store/KQStorage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <algorithm>
#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QByteArray bytesOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

KQContactRecylePtr entry(const QString& given)
{
    auto contact = std::make_shared<CNMutableContact>();
    contact->setGivenName(given);
    contact->setNote(QString(40, QLatin1Char('n')));
    return std::make_shared<KQContactRecyle>(contact, QStringLiteral("acc"), QStringList{QStringLiteral("g")});
}

std::unique_ptr<KQContainerRecyle> trashOf(int count)
{
    auto recyle = std::make_unique<KQContainerRecyle>();
    for (int i = 0; i < count; ++i)
        recyle->addContactRecyles({entry(QStringLiteral("P%1").arg(i))});
    return recyle;
}

// Runs body in a child process whose files may not grow past limit bytes (writes past it fail
// with EFBIG instead of killing the process); the child's exit code is body's answer.
bool inChildWithFileSizeLimit(rlim_t limit, const std::function<bool()>& body)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit rl{limit, limit};
        ::setrlimit(RLIMIT_FSIZE, &rl);
        ::_exit(body() ? 0 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status)) << "the child crashed";
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// What the program does: load the Trash, then save it with other content.
bool replaceTrash(const QString& folder, KQContainerRecyle& next)
{
    KQStorage storage(folder);
    storage.loadDefaultContainerRecyle();
    return storage.saveDefaultContainerRecyle(&next);
}

// A storage whose write fails at one step, as a failing disk would there.
class FailingStepStorage : public KQStorage
{
public:
    FailingStepStorage(const QString& folder, WriteStep failing) : KQStorage(folder), m_failing(failing) {}

protected:
    bool writeStep(WriteStep step, QSaveFile& file, const QByteArray& data) override
    {
        if (step != m_failing)
            return KQStorage::writeStep(step, file, data);
        if (step == WriteStep::Write)
            file.write(data.left(data.size() / 2));
        return false;
    }

private:
    WriteStep m_failing;
};

class StorageWriteFailureTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        KQStorage first(dir.path());
        ASSERT_TRUE(first.saveDefaultContainerRecyle(trashOf(3).get()));
        before = bytesOf(first.recyleFilepath());
        ASSERT_FALSE(before.isEmpty());
    }

    // The data folder holds the one good file and nothing else.
    void expectPreviousFileIntact()
    {
        KQStorage next(dir.path());
        EXPECT_EQ(bytesOf(next.recyleFilepath()), before);
        EXPECT_EQ(next.loadDefaultContainerRecyle()->countOfContacts(), 3);
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{KQStorage::recyleFilename()});
    }

    QTemporaryDir dir;
    QByteArray before;
};

} // namespace

// The limit stepped through the whole new file: wherever the disk fills up, the save fails and
// the previous file stays. The new Trash is smaller than the write buffer, so the cut-off happens
// only when the buffer is flushed: the case that used to rename an empty file over the good one
// and report success.
TEST_F(StorageWriteFailureTest, LimitSteppedThroughTheNewFileNeverLosesThePreviousOne)
{
    const auto bigger = trashOf(20);
    const QString folder = dir.path();
    const qint64 nextSize = [&] {
        QTemporaryDir probe;
        KQStorage measure(probe.path());
        measure.saveDefaultContainerRecyle(trashOf(20).get());
        // (the same number of entries as bigger, each as long)
        return QFileInfo(measure.recyleFilepath()).size();
    }();
    ASSERT_GT(nextSize, before.size());
    ASSERT_LT(nextSize, 16384);
    const qint64 step = std::max<qint64>(1, nextSize / 60);
    for (qint64 limit = 0; limit < nextSize; limit += step) {
        EXPECT_FALSE(inChildWithFileSizeLimit(rlim_t(limit), [&] { return replaceTrash(folder, *bigger); }))
            << "limit " << limit;
        EXPECT_EQ(bytesOf(KQStorage(folder).recyleFilepath()), before) << "limit " << limit;
    }
    expectPreviousFileIntact();
    EXPECT_TRUE(inChildWithFileSizeLimit(rlim_t(nextSize + 64), [&] { return replaceTrash(folder, *bigger); }));
    EXPECT_EQ(KQStorage(folder).loadDefaultContainerRecyle()->countOfContacts(), 20);
}

class FailingStepTest : public StorageWriteFailureTest, public ::testing::WithParamInterface<KQStorage::WriteStep>
{
};

TEST_P(FailingStepTest, FailedStepKeepsThePreviousFileAndSaysWhy)
{
    FailingStepStorage failing(dir.path(), GetParam());
    EXPECT_FALSE(failing.saveDefaultContainerRecyle(trashOf(30).get()));
    QString why;
    EXPECT_FALSE(failing.writeFile(failing.recyleFilepath(), QByteArray(100, 'x'), &why));
    EXPECT_FALSE(why.isEmpty());
    expectPreviousFileIntact();
}

static std::string stepName(KQStorage::WriteStep step)
{
    switch (step) {
    case KQStorage::WriteStep::Open:
        return "Open";
    case KQStorage::WriteStep::Write:
        return "Write";
    case KQStorage::WriteStep::Flush:
        return "Flush";
    case KQStorage::WriteStep::Sync:
        return "Sync";
    case KQStorage::WriteStep::Commit:
        return "Rename";
    }
    return "Unknown";
}

// ctest's list shows the step by name.
void PrintTo(KQStorage::WriteStep step, std::ostream* os)
{
    *os << stepName(step);
}

INSTANTIATE_TEST_SUITE_P(EachStep, FailingStepTest,
                         ::testing::Values(KQStorage::WriteStep::Open, KQStorage::WriteStep::Write,
                                           KQStorage::WriteStep::Flush, KQStorage::WriteStep::Sync,
                                           KQStorage::WriteStep::Commit),
                         [](const ::testing::TestParamInfo<KQStorage::WriteStep>& p) { return stepName(p.param); });

// Qt writes the settings through the same kind of temporary file and reports success when its
// tail did not fit; the previous settings file must come back.
TEST(SettingsSync, CutOffSettingsWriteKeepsThePreviousFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("settings.conf"));
    {
        QSettings settings(path, QSettings::IniFormat);
        settings.setValue(QStringLiteral("kept"), QStringLiteral("yes"));
        ASSERT_TRUE(KQStorage::syncSettings(settings));
    }
    const QByteArray before = bytesOf(path);
    ASSERT_FALSE(before.isEmpty());

    const bool saved = inChildWithFileSizeLimit(rlim_t(before.size() + 100), [&]() -> bool {
        QSettings settings(path, QSettings::IniFormat);
        settings.setValue(QStringLiteral("big"), QByteArray(4000, 'b'));
        const bool ok = KQStorage::syncSettings(settings);
        ::_exit(ok ? 0 : 1); // before the destructor tries again
    });
    EXPECT_FALSE(saved);
    EXPECT_EQ(bytesOf(path), before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("settings.conf")});

    // With room enough the same change is written and read back by a fresh reader.
    EXPECT_TRUE(inChildWithFileSizeLimit(RLIM_INFINITY, [&]() -> bool {
        QSettings settings(path, QSettings::IniFormat);
        settings.setValue(QStringLiteral("big"), QByteArray(4000, 'b'));
        const bool ok = KQStorage::syncSettings(settings);
        ::_exit(ok ? 0 : 1);
    }));
    EXPECT_EQ(QSettings(path, QSettings::IniFormat).value(QStringLiteral("big")).toByteArray().size(), 4000);
}
