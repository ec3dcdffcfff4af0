// peoplekeeper-cli over a store in a bad state: a clean exit that closes the store, damaged pages,
// a restore killed part way, and another process changing the private files meanwhile.

#include "KQCliTestSupport.h"
#include "KQStoreDamage.h"
#include "platform/CNContactStore.h"
#include "store/KQContactRecyle.h"
#include "store/KQStorage.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

const char* const kUncleanLine = "after an unclean shutdown";

QByteArray bytesOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class CliStoreStateTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(home.isValid()); }

    QString storePath() const { return home.filePath(QStringLiteral("data/contacts/store.sqlite")); }
    QString dataFolder() const { return home.filePath(QStringLiteral("data/Peoplekeeper/Peoplekeeper")); }

    QProcessEnvironment environment() const { return kqCliEnvironment(home); }

    KQCliRun cli(const QStringList& arguments) const { return kqRunCli(home, arguments); }

    // count contacts "P<i>" with the note "original <i>", written in batches; the store is closed
    // again when this returns.
    void makeStore(int count) const
    {
        CNContactStore store(storePath());
        const QString account = store.defaultContainerIdentifier();
        for (int start = 0; start < count; start += 500) {
            CNSaveRequest request;
            for (int i = start; i < std::min(count, start + 500); ++i) {
                CNMutableContact contact;
                contact.setGivenName(QStringLiteral("P%1").arg(i));
                contact.setFamilyName(QStringLiteral("Family of %1").arg(i));
                contact.setNote(QStringLiteral("original %1 ").arg(i) + QString(120, u'n'));
                request.addContact(contact, account);
            }
            ASSERT_TRUE(store.executeSaveRequest(request));
        }
    }

    // Given name -> note of every contact, read in this process.
    static QMultiMap<QString, QString> contents(const QString& path)
    {
        CNContactStore store(path);
        QMultiMap<QString, QString> result;
        CNContactFetchRequest request({CNContactGivenNameKey, CNContactNoteKey});
        CNError error;
        store.enumerateContactsWithFetchRequest(
            request, &error, [&result](const CNContactPtr& c, bool*) { result.insert(c->givenName(), c->note()); });
        EXPECT_FALSE(error.isError()) << error.localizedDescription.toStdString();
        return result;
    }

    QTemporaryDir home;
};

// ---------------------------------------------------------------- clean and unclean ends

TEST_F(CliStoreStateTest, CleanExitLeavesTheStoreClosed)
{
    makeStore(20);
    const KQCliRun first = cli({QStringLiteral("backups")});
    ASSERT_EQ(first.status, 0) << first.err.toStdString();
    const KQCliRun second = cli({QStringLiteral("backups")});
    ASSERT_EQ(second.status, 0) << second.err.toStdString();
    EXPECT_FALSE(first.err.contains(QLatin1String(kUncleanLine))) << first.err.toStdString();
    EXPECT_FALSE(second.err.contains(QLatin1String(kUncleanLine))) << second.err.toStdString();
    EXPECT_FALSE(QFileInfo(storePath() + QStringLiteral("-wal")).size() > 0);
}

// ---------------------------------------------------------------- damaged store

struct DamagedCase
{
    const char* name;
    QStringList arguments; // %OUT% is replaced by a path in the test's home
};

void PrintTo(const DamagedCase& c, std::ostream* os)
{
    *os << c.name;
}

class CliDamagedStoreTest : public CliStoreStateTest, public ::testing::WithParamInterface<DamagedCase>
{
};

TEST_P(CliDamagedStoreTest, RefusesWithTheStoreFileNamedAndChangesNothing)
{
    makeStore(400);
    ASSERT_TRUE(kqDamageLastContactsPage(storePath()));
    const QByteArray before = bytesOf(storePath());
    const QString out = home.filePath(QStringLiteral("out"));
    ASSERT_TRUE(QDir().mkpath(out));
    QStringList arguments = GetParam().arguments;
    arguments.replaceInStrings(QStringLiteral("%OUT%"), out);

    const KQCliRun run = cli(arguments);
    EXPECT_NE(run.status, 0) << run.out.toStdString();
    EXPECT_TRUE(run.err.contains(storePath())) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(QLatin1String("could not be read completely"))) << run.err.toStdString();
    // Warning lines of the failed fetch reach the log (standard error here).
    EXPECT_TRUE(run.err.contains(QLatin1String("failed"))) << run.err.toStdString();
    EXPECT_EQ(bytesOf(storePath()), before);
    EXPECT_TRUE(QDir(out).entryList(QDir::Files).isEmpty()) << QDir(out).entryList().join(u' ').toStdString();
}

INSTANTIATE_TEST_SUITE_P(Commands, CliDamagedStoreTest,
                         ::testing::Values(DamagedCase{"Scan", {QStringLiteral("scan")}},
                                           DamagedCase{"Backup",
                                                       {QStringLiteral("backup"), QStringLiteral("--folder"),
                                                        QStringLiteral("%OUT%")}},
                                           DamagedCase{"Export",
                                                       {QStringLiteral("export"), QStringLiteral("--format"),
                                                        QStringLiteral("vcard"), QStringLiteral("%OUT%/all.vcf")}}),
                         [](const ::testing::TestParamInfo<DamagedCase>& p) { return std::string(p.param.name); });

// ---------------------------------------------------------------- a restore killed part way

class CliKilledRestoreTest : public CliStoreStateTest
{
protected:
    static constexpr int kCount = 3000;
    static constexpr int kChanged = 300;

    // What each of the restore's three save requests has done so far: none, all, or (a fault)
    // part of it.
    struct Outcome
    {
        int readded = 0;    // deleted after the backup, back again
        int editedBack = 0; // edited after the backup, original again
        int removed = 0;    // added after the backup, gone again
        int untouchedIntact = 0;
    };

    static Outcome outcomeOf(const QMultiMap<QString, QString>& store)
    {
        Outcome o;
        for (int i = 0; i < kChanged; ++i)
            o.readded += store.contains(QStringLiteral("P%1").arg(i)) ? 1 : 0;
        for (int i = kChanged; i < 2 * kChanged; ++i)
            o.editedBack += store.value(QStringLiteral("P%1").arg(i)).startsWith(QLatin1String("original")) ? 1 : 0;
        for (int i = 0; i < kChanged; ++i)
            o.removed += store.contains(QStringLiteral("N%1").arg(i)) ? 0 : 1;
        for (int i = 2 * kChanged; i < kCount; ++i)
            o.untouchedIntact +=
                store.value(QStringLiteral("P%1").arg(i)).startsWith(QStringLiteral("original %1 ").arg(i)) ? 1 : 0;
        return o;
    }

    // Deletes P0.., edits the next ones and adds N0..: what the restore undoes.
    void changeAfterBackup() const
    {
        CNContactStore store(storePath());
        CNSaveRequest request;
        CNContactFetchRequest all({CNContactGivenNameKey, CNContactNoteKey});
        store.enumerateContactsWithFetchRequest(all, nullptr, [&request](const CNContactPtr& c, bool*) {
            const int i = c->givenName().mid(1).toInt();
            if (i < kChanged) {
                request.deleteContact(*c->mutableCopy());
            } else if (i < 2 * kChanged) {
                CNMutableContactPtr edited = c->mutableCopy();
                edited->setNote(QStringLiteral("edited"));
                request.updateContact(*edited);
            }
        });
        for (int i = 0; i < kChanged; ++i) {
            CNMutableContact added;
            added.setGivenName(QStringLiteral("N%1").arg(i));
            request.addContact(added, store.defaultContainerIdentifier());
        }
        ASSERT_TRUE(store.executeSaveRequest(request));
    }

    void copyStore(const QString& from, const QString& to) const
    {
        for (const QString& suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")}) {
            QFile::remove(to + suffix);
            if (QFile::exists(from + suffix)) {
                ASSERT_TRUE(QFile::copy(from + suffix, to + suffix));
            }
        }
    }

    // Starts the restore and kills it after delayMs (or lets it end when it ends sooner).
    bool restoreKilledAfter(const QString& backup, int delayMs) const
    {
        QProcess process;
        process.setProcessEnvironment(environment());
        process.start(QStringLiteral(KQ_CLI_EXECUTABLE), {QStringLiteral("restore"), QStringLiteral("--yes"), backup});
        if (!process.waitForStarted())
            return false;
        const bool ended = process.waitForFinished(delayMs);
        if (!ended) {
            ::kill(static_cast<pid_t>(process.processId()), SIGKILL);
            process.waitForFinished(10000);
        }
        return !ended;
    }
};

TEST_F(CliKilledRestoreTest, EachSaveRequestIsWhollyDoneOrNotAtAll)
{
    makeStore(kCount);
    const QString folder = home.filePath(QStringLiteral("backups"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const KQCliRun backup = cli({QStringLiteral("backup"), QStringLiteral("--folder"), folder});
    ASSERT_EQ(backup.status, 0) << backup.err.toStdString();
    const QStringList files = QDir(folder).entryList({QStringLiteral("*.vorlankqbck")});
    ASSERT_EQ(files.size(), 1);
    const QString backupFile = QDir(folder).filePath(files.first());
    changeAfterBackup();
    const QString before = home.filePath(QStringLiteral("before.sqlite"));
    copyStore(storePath(), before);

    // One whole run: how long it takes, and the restored state.
    QElapsedTimer clock;
    clock.start();
    const KQCliRun whole = cli({QStringLiteral("restore"), QStringLiteral("--yes"), backupFile});
    const qint64 wholeMs = clock.elapsed();
    ASSERT_EQ(whole.status, 0) << whole.err.toStdString();
    const Outcome restored = outcomeOf(contents(storePath()));
    EXPECT_EQ(restored.readded, kChanged);
    EXPECT_EQ(restored.editedBack, kChanged);
    EXPECT_EQ(restored.removed, kChanged);
    EXPECT_EQ(restored.untouchedIntact, kCount - 2 * kChanged);

    int killed = 0;
    QStringList seen; // the states the kills left, for the test's output
    for (int step = 1; step <= 8; ++step) {
        copyStore(before, storePath());
        const int delay = static_cast<int>(wholeMs * step / 9);
        killed += restoreKilledAfter(backupFile, delay) ? 1 : 0;
        const Outcome o = outcomeOf(contents(storePath()));
        SCOPED_TRACE(::testing::Message() << "killed after " << delay << " ms of " << wholeMs);
        EXPECT_TRUE(o.readded == 0 || o.readded == kChanged) << o.readded;
        EXPECT_TRUE(o.editedBack == 0 || o.editedBack == kChanged) << o.editedBack;
        EXPECT_TRUE(o.removed == 0 || o.removed == kChanged) << o.removed;
        EXPECT_EQ(o.untouchedIntact, kCount - 2 * kChanged);
        seen.append(QStringLiteral("%1/%2/%3").arg(o.removed).arg(o.readded).arg(o.editedBack));
    }
    RecordProperty("restoresKilled", killed);
    // Deleted, added and updated counts after each kill, in order.
    RecordProperty("statesAfterKills", seen.join(u' ').toStdString());
}

// ---------------------------------------------------------------- a second writer of private files

TEST_F(CliStoreStateTest, ImportKeepsTrashEntriesAnotherProcessAddsMeanwhile)
{
    makeStore(10);
    QByteArray cards;
    for (int i = 0; i < 3000; ++i)
        cards += QStringLiteral("BEGIN:VCARD\r\nVERSION:3.0\r\nN:Imported;I%1;;;\r\nFN:I%1 Imported\r\nEND:VCARD\r\n")
                     .arg(i)
                     .toUtf8();
    const QString input = home.filePath(QStringLiteral("in.vcf"));
    {
        QFile file(input);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(cards);
    }

    QProcess process;
    process.setProcessEnvironment(environment());
    process.start(QStringLiteral(KQ_CLI_EXECUTABLE), {QStringLiteral("import"), input});
    ASSERT_TRUE(process.waitForStarted());

    // This process is the other running copy: each round reads the Trash, adds one entry, saves.
    KQStorage other(dataFolder());
    QStringList added;
    int round = 0;
    while (process.state() != QProcess::NotRunning || round < 5) {
        auto trash = other.loadDefaultContainerRecyle();
        auto contact = std::make_shared<CNMutableContact>();
        contact->setGivenName(QStringLiteral("Trashed %1").arg(round));
        trash->addContactRecyles({std::make_shared<KQContactRecyle>(contact, QStringLiteral("acc"), QStringList())});
        if (other.saveDefaultContainerRecyle(trash.get()))
            added.append(contact->givenName());
        ++round;
        process.waitForFinished(20);
    }
    ASSERT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    ASSERT_FALSE(added.isEmpty());

    KQStorage fresh(dataFolder());
    QStringList inTrash;
    for (const auto& record : fresh.loadDefaultContainerRecyle()->contacts())
        inTrash.append(record->givenName().value_or(QString()));
    for (const QString& name : added)
        EXPECT_TRUE(inTrash.contains(name)) << name.toStdString();
    EXPECT_EQ(fresh.loadDefaultContainerLatestImport()->countOfContacts(), 3000);
}

} // namespace
