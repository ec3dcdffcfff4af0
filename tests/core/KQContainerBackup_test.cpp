// Backup and restore of an account: the round trip, the file's layout read from its description,
// hostile files, cancelling, and a backup that cannot be written.

#include "KQTestCoding.h"
#include "KQTestPython.h"
#include "KQTestUtil.h"
#include "platform/KQBinaryKeyedArchiver.h"
#include "store/KQContactBackupInfo.h"
#include "store/KQContactManager.h"
#include "store/KQGroupHelper.h"
#include "store/KQPreferences.h"
#include "store/KQStorage.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QtEndian>
#include <atomic>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

namespace {

// Collects what the process writes to standard error (the log) while it lives.
class StderrCapture
{
public:
    StderrCapture()
    {
        std::fflush(stderr);
        m_saved = ::dup(STDERR_FILENO);
        m_file.open();
        ::dup2(m_file.handle(), STDERR_FILENO);
    }
    ~StderrCapture() { text(); }
    QString text()
    {
        if (m_saved >= 0) {
            std::fflush(stderr);
            ::dup2(m_saved, STDERR_FILENO);
            ::close(m_saved);
            m_saved = -1;
            m_file.seek(0);
            m_text = QString::fromUtf8(m_file.readAll());
        }
        return m_text;
    }

private:
    QTemporaryFile m_file;
    int m_saved = -1;
    QString m_text;
};

// Lines as one text, so that a failure shows them readably.
std::string text(const QStringList& lines)
{
    return lines.join(u'\n').toStdString();
}

struct Progress
{
    std::vector<qint64> messages;
    std::vector<double> fractions;
    bool ended() const
    {
        return !messages.empty() &&
               (messages.back() == KQBackupMessage::Finished || messages.back() == KQBackupMessage::Failed ||
                messages.back() == KQBackupMessage::Cancelled);
    }
    qint64 last() const { return messages.empty() ? 1 : messages.back(); }
};

// Decides the stop answer from the message and progress.
using StopRule = std::function<bool(qint64 message, double progress)>;

class BackupTest : public ::testing::Test
{
protected:
    static KQContactStoreHelper* store() { return KQContactStoreHelper::shared(); }
    static CNContactStore* cn() { return store()->contactStore(); }
    static KQStorage* storage() { return KQStorage::sharedStorage(); }

    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        CNSaveRequest cleanup;
        for (const CNGroup& g : cn()->groupsMatchingPredicate(std::nullopt))
            cleanup.deleteGroup(g);
        CNContactFetchRequest all({CNContactIdentifierKey});
        cn()->enumerateContactsWithFetchRequest(
            all, nullptr, [&cleanup](const CNContactPtr& c, bool*) { cleanup.deleteContact(*c); });
        if (!cleanup.isEmpty()) {
            ASSERT_TRUE(cn()->executeSaveRequest(cleanup));
        }
        QFile::remove(storage()->backupInfoFile());
        local = cn()->defaultContainerIdentifier();
        KQContactManager::sharedContactManager();
    }

    void reload()
    {
        ASSERT_TRUE(kqWaitUntil([] { return !store()->updatingStore(); }, 10000));
        store()->asyncLoadContainerHelpers();
        ASSERT_TRUE(kqWaitUntil([] { return !store()->updatingStore(); }, 10000));
        kqSpin(50); // the accounts install their groups asynchronously
    }

    KQContainerHelperPtr account() const { return store()->containerHelperWithIdentifier(local); }

    CNGroup addGroup(const QString& name, const CNGroup* parent = nullptr)
    {
        CNGroup group(CNMakeIdentifier(), name);
        CNSaveRequest request;
        request.addGroup(group, local);
        if (parent != nullptr)
            request.addSubgroup(group, *parent);
        EXPECT_TRUE(cn()->executeSaveRequest(request));
        return group;
    }

    CNMutableContactPtr addContact(const QString& name, const std::vector<CNGroup>& groups = {})
    {
        auto contact = std::make_shared<CNMutableContact>();
        contact->setGivenName(name);
        contact->setNote(QStringLiteral("note of ") + name);
        contact->setPhoneNumbers(
            {CNLabeledValue<CNPhoneNumber>(CNLabelHome, CNPhoneNumber(QStringLiteral("+1 555 ") + name))});
        CNSaveRequest request;
        request.addContact(*contact, local);
        for (const CNGroup& g : groups)
            request.addMember(*contact, g);
        EXPECT_TRUE(cn()->executeSaveRequest(request));
        return contact;
    }

    // The account as the store holds it: each contact by content, each group by its path with its
    // members' names (identifiers play no part).
    QStringList snapshot() const
    {
        QStringList lines;
        for (const auto& c : cn()->unifiedContactsMatchingPredicate(
                 CNContactPredicate::predicateForContactsInContainerWithIdentifier(local),
                 KQContactStoreHelper::allKeys(), nullptr)) {
            QStringList phones;
            for (const auto& p : c->phoneNumbers())
                phones.append(p.value().stringValue());
            lines.append(QStringLiteral("contact %1 | %2 | %3").arg(c->givenName(), c->note(), phones.join(u',')));
        }
        const auto groups =
            cn()->groupsMatchingPredicate(CNGroupPredicate::predicateForGroupsInContainerWithIdentifier(local));
        QSet<QString> nested;
        for (const CNGroup& g : groups) {
            for (const CNGroup& sub : cn()->groupsMatchingPredicate(
                     CNGroupPredicate::predicateForSubgroupsInGroupWithIdentifier(g.identifier())))
                nested.insert(sub.identifier());
        }
        for (const CNGroup& g : groups) {
            if (!nested.contains(g.identifier()))
                addGroupLines(g, QString(), lines);
        }
        lines.sort();
        return lines;
    }

    void addGroupLines(const CNGroup& group, const QString& prefix, QStringList& lines) const
    {
        const QString path = prefix + group.name();
        QStringList members;
        for (const auto& c : cn()->unifiedContactsMatchingPredicate(
                 CNContactPredicate::predicateForContactsInGroupWithIdentifier(group.identifier()),
                 {CNContactGivenNameKey}, nullptr))
            members.append(c->givenName());
        members.sort();
        lines.append(QStringLiteral("group %1: %2").arg(path, members.join(u',')));
        for (const CNGroup& sub : cn()->groupsMatchingPredicate(
                 CNGroupPredicate::predicateForSubgroupsInGroupWithIdentifier(group.identifier())))
            addGroupLines(sub, path + u'/', lines);
    }

    // The same from the account's nodes in memory.
    static QStringList memorySnapshot(const KQContainerHelperPtr& account)
    {
        QStringList lines;
        std::function<void(const KQGroupTreeNodePtr&, const QString&)> walk = [&](const KQGroupTreeNodePtr& node,
                                                                                  const QString& prefix) {
            const QString path = prefix + node->groupName();
            QStringList members;
            for (const auto& record : node->contacts())
                members.append(record->givenName().value_or(QString()));
            members.sort();
            lines.append(QStringLiteral("group %1: %2").arg(path, members.join(u',')));
            for (const auto& sub : node->subGroups())
                walk(sub, path + u'/');
        };
        for (const auto& group : account->subGroups())
            walk(group, QString());
        lines.sort();
        return lines;
    }

    // Loads the members of every group (off the main thread, which keeps its loop going).
    static void loadOnWorker(const std::function<void()>& load)
    {
        std::atomic<bool> done{false};
        std::thread worker([&] {
            load();
            done = true;
        });
        EXPECT_TRUE(kqWaitUntil([&done] { return done.load(); }, 30000));
        worker.join();
    }

    static void loadGroupMembers(const KQContainerHelperPtr& account)
    {
        loadOnWorker([&account] {
            std::function<void(const KQGroupTreeNodePtr&)> load = [&load](const KQGroupTreeNodePtr& node) {
                node->syncLoadContactsIfNecessary();
                for (const auto& sub : node->subGroups())
                    load(sub);
            };
            for (const auto& group : account->subGroups())
                load(group);
        });
    }

    static QStringList groupLines(const QStringList& lines)
    {
        return lines.filter(QRegularExpression(QStringLiteral("^group ")));
    }

    Progress runBackup(const KQContainerHelperPtr& target, const QString& path, StopRule stop = {})
    {
        Progress progress;
        target->backupToPath(path, [&progress, stop](qint64 message, bool* answer, double fraction) {
            progress.messages.push_back(message);
            progress.fractions.push_back(fraction);
            if (stop)
                *answer = stop(message, fraction);
        });
        EXPECT_TRUE(kqWaitUntil([&progress] { return progress.ended(); }, 30000));
        KQDispatch::waitForGlobalQueue();
        return progress;
    }

    Progress runRestore(const KQContainerHelperPtr& target, const KQContainerBackupPtr& backup, StopRule stop = {},
                        KQRestoreConfirmHandler confirm = {}, const QString& safety = {})
    {
        Progress progress;
        target->restoreContainerFromBackup(
            backup,
            [&progress, stop](qint64 message, bool* answer, double fraction) {
                progress.messages.push_back(message);
                progress.fractions.push_back(fraction);
                if (stop)
                    *answer = stop(message, fraction);
            },
            std::move(confirm), safety);
        EXPECT_TRUE(kqWaitUntil([&progress] { return progress.ended(); }, 30000));
        KQDispatch::waitForGlobalQueue();
        return progress;
    }

    // A small account (two groups, one nested, four contacts) and its backup.
    KQContainerBackupPtr makeSmallBackup()
    {
        const CNGroup friends = addGroup(QStringLiteral("Friends"));
        const CNGroup close = addGroup(QStringLiteral("Close"), &friends);
        addContact(QStringLiteral("Alice"), {friends, close});
        addContact(QStringLiteral("Bob"), {friends});
        addContact(QStringLiteral("Carol"));
        addContact(QStringLiteral("Dave"), {close});
        reload();
        EXPECT_EQ(runBackup(account(), folder.path()).last(), KQBackupMessage::Finished);
        const auto backups = storage()->containerBackupsWithIdentifier(local);
        return backups.empty() ? nullptr : backups.front();
    }

    QString local;
    QTemporaryDir folder;
};

// ---------------------------------------------------------------- round trip

TEST_F(BackupTest, RestoreAfterChangesGivesTheAccountAsItWasAlsoAfterARestart)
{
    const CNGroup friends = addGroup(QStringLiteral("Friends"));
    const CNGroup close = addGroup(QStringLiteral("Close"), &friends);
    const CNGroup work = addGroup(QStringLiteral("Work"));
    const CNGroup family = addGroup(QStringLiteral("Family"));
    const auto alice = addContact(QStringLiteral("Alice"), {friends, close});
    const auto bob = addContact(QStringLiteral("Bob"), {friends});
    const auto carol = addContact(QStringLiteral("Carol"), {work});
    const auto dave = addContact(QStringLiteral("Dave"));
    const auto eve = addContact(QStringLiteral("Eve"), {family});
    reload();
    const QStringList before = snapshot();

    const Progress backup = runBackup(account(), folder.path());
    ASSERT_EQ(backup.last(), KQBackupMessage::Finished);
    EXPECT_EQ(backup.messages.front(), KQBackupMessage::Start);
    EXPECT_DOUBLE_EQ(backup.fractions.at(backup.fractions.size() - 2), 1.0);
    const auto backups = storage()->containerBackupsWithIdentifier(local);
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_EQ(backups.front()->contactCount(), 5);

    // Contacts added, edited and deleted; groups renamed, deleted and added; a sub-group moved;
    // memberships changed.
    CNSaveRequest changes;
    auto frank = std::make_shared<CNMutableContact>();
    frank->setGivenName(QStringLiteral("Frank"));
    changes.addContact(*frank, local);
    changes.addMember(*frank, work);
    CNMutableContact editedCarol(*carol);
    editedCarol.setNote(QStringLiteral("changed"));
    changes.updateContact(editedCarol);
    changes.deleteContact(*dave);
    changes.deleteContact(*alice);
    CNMutableGroup renamed(work);
    renamed.setName(QStringLiteral("Job"));
    changes.updateGroup(renamed);
    changes.deleteGroup(family);
    changes.removeSubgroup(close, friends);
    changes.addSubgroup(close, work);
    changes.removeMember(*bob, friends);
    changes.addMember(*eve, friends);
    ASSERT_TRUE(cn()->executeSaveRequest(changes));
    const CNGroup temp = addGroup(QStringLiteral("Temp"));
    addGroup(QStringLiteral("TempSub"), &temp);
    reload();
    ASSERT_NE(text(snapshot()), text(before));

    KQRestoreSummary shown;
    const Progress restore = runRestore(
        account(), backups.front(), {},
        [&shown](const KQRestoreSummary& summary) {
            shown = summary;
            return true;
        },
        folder.path());
    ASSERT_EQ(restore.last(), KQBackupMessage::Finished);
    EXPECT_EQ(shown.contactsAdded, 2);   // Alice and Dave come back
    EXPECT_EQ(shown.contactsUpdated, 3); // Bob, Carol, Eve
    EXPECT_EQ(shown.contactsDeleted, 1); // Frank
    EXPECT_EQ(shown.groupsInBackup, 4);
    EXPECT_EQ(shown.groupsRemoved, 2); // Temp and its sub-group
    EXPECT_EQ(text(snapshot()), text(before));
    EXPECT_EQ(text(memorySnapshot(account())), text(groupLines(before)));
    // The account as it stood before the restore was kept first.
    EXPECT_EQ(storage()->containerBackupsWithIdentifier(local).size(), 2u);

    // Restart: everything read afresh from the store and the catalogue.
    reload();
    EXPECT_EQ(text(snapshot()), text(before));
    loadGroupMembers(account());
    EXPECT_EQ(text(memorySnapshot(account())), text(groupLines(before)));
    const Progress again = runRestore(account(), backups.front());
    EXPECT_EQ(again.last(), KQBackupMessage::Finished);
    EXPECT_EQ(text(snapshot()), text(before));
}

TEST_F(BackupTest, EmptyAccountBacksUpAndRestoringItDeletesEveryContact)
{
    reload();
    ASSERT_EQ(runBackup(account(), folder.path()).last(), KQBackupMessage::Finished);
    const auto backup = storage()->containerBackupsWithIdentifier(local).front();
    EXPECT_EQ(backup->contactCount(), 0);
    addContact(QStringLiteral("Late"));
    addGroup(QStringLiteral("Later"));
    reload();
    ASSERT_EQ(runRestore(account(), backup).last(), KQBackupMessage::Finished);
    EXPECT_TRUE(snapshot().isEmpty()) << snapshot().join(u'\n').toStdString();
}

// ---------------------------------------------------------------- layout

// Reads a backup from its description alone: the header fields, the trailer, the index entries
// tiling the space between the group archive and the index, and every contact archive (with
// plistlib) holding one complete contact record. Prints the given names.
const QString kLayoutReader =
    QStringLiteral("import plistlib,sys,struct\n"
                   "b=open(sys.argv[1],'rb').read()\n"
                   "assert b[:16]==b'VORLANCONTACBAKX', 'magic'\n"
                   "assert tuple(b[16:20])==(1,0,0,0), 'version'\n"
                   "io,il,g=struct.unpack('<QQQ',b[20:44])\n"
                   "assert len(b)==io+il+8, 'size'\n"
                   "assert struct.unpack('<Q',b[io+il:])[0]==il, 'trailer'\n"
                   "groups=plistlib.loads(b[44:44+g])\n"
                   "idx=plistlib.loads(b[io:io+il]); o=idx['$objects']\n"
                   "pos=44+g; names=[]\n"
                   "for u in o[idx['$top']['root'].data]['NS.objects']:\n"
                   "  e=o[u.data]\n"
                   "  assert o[e['$class'].data]['$classname']=='KQContactBackupInfo'\n"
                   "  assert e['offset']==pos, 'archives back to back'\n"
                   "  a=plistlib.loads(b[pos:pos+e['length']]); pos+=e['length']\n"
                   "  ao=a['$objects']; r=ao[a['$top']['root'].data]\n"
                   "  assert ao[r['$class'].data]['$classname']=='KQContactHelper'\n"
                   "  assert r['allKeysLoaded'] is True\n"
                   "  c=ao[r['contact'].data]\n"
                   "  assert 'note' in [ao[k.data] for k in ao[c['availableKeys'].data]['NS.objects']], 'all keys'\n"
                   "  names.append(ao[c['givenName'].data])\n"
                   "assert pos==io, 'index follows the last archive'\n"
                   "go=groups['$objects']\n"
                   "top=[go[u.data] for u in go[groups['$top']['root'].data]['NS.objects']]\n"
                   "print(','.join(sorted(names))+' / '+','.join(go[t['GroupName'].data] for t in top))\n");

TEST_F(BackupTest, FileLayoutReadsFromItsDescriptionAndEachArchiveWithPlistlib)
{
    const auto backup = makeSmallBackup();
    ASSERT_TRUE(backup);
    EXPECT_TRUE(QFileInfo(backup->backupFile())
                    .fileName()
                    .contains(QRegularExpression(QStringLiteral("^\\d{8} \\d{2}-\\d{2}-\\d{2}\\.vorlankqbck$"))));
    QFile file(backup->backupFile());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const auto result = KQRunPythonOnData(kLayoutReader, file.readAll());
    if (!result)
        GTEST_SKIP() << "python3 is not installed";
    EXPECT_EQ(result->toStdString(), "Alice,Bob,Carol,Dave / Friends");
}

// ---------------------------------------------------------------- hostile files

// A backup file taken apart along its layout and put together again, so that cases can change one
// part and keep the rest consistent.
struct BackupParts
{
    QByteArray version{"\x01\x00\x00\x00", 4};
    QByteArray groups;
    std::vector<QByteArray> archives;

    static BackupParts read(const QByteArray& file)
    {
        BackupParts parts;
        const auto field = [&file](int offset) { return qFromLittleEndian<quint64>(file.constData() + offset); };
        const quint64 indexOffset = field(20), indexLength = field(28), groupLength = field(36);
        parts.groups = file.mid(44, static_cast<qsizetype>(groupLength));
        KQKeyedUnarchiver coder(file.mid(static_cast<qsizetype>(indexOffset), static_cast<qsizetype>(indexLength)),
                                {KQContactBackupInfo::className()});
        for (const auto& object :
             coder.decodeArrayOfClasses({KQContactBackupInfo::className()}, QStringLiteral("root"))) {
            const auto entry = std::dynamic_pointer_cast<KQContactBackupInfo>(object);
            parts.archives.push_back(file.mid(entry->offset(), entry->length()));
        }
        return parts;
    }

    // entries: (offset, length) per archive, which a case may change before the index is written.
    QByteArray write(const std::function<void(std::vector<std::pair<qint64, qint64>>&)>& tweak = {}) const
    {
        QByteArray body;
        std::vector<std::pair<qint64, qint64>> entries;
        qint64 position = 44 + groups.size();
        for (const QByteArray& archive : archives) {
            entries.emplace_back(position, archive.size());
            position += archive.size();
            body += archive;
        }
        if (tweak)
            tweak(entries);
        std::vector<KQContactBackupInfo> infos;
        for (const auto& [offset, length] : entries)
            infos.emplace_back(offset, length);
        std::vector<const KQCoding*> objects;
        for (const auto& info : infos)
            objects.push_back(&info);
        const QByteArray index = KQKeyedArchiver::archivedDataWithRootArray(objects);
        const auto le = [](quint64 value) {
            QByteArray bytes(8, '\0');
            qToLittleEndian(value, bytes.data());
            return bytes;
        };
        return QByteArray("VORLANCONTACBAKX") + version + le(static_cast<quint64>(position)) + le(index.size()) +
               le(groups.size()) + groups + body + index + le(index.size());
    }
};

struct HostileCase
{
    const char* name;
    std::function<QByteArray(const QByteArray& file)> make;
    const char* logged; // part of the log line that says why
};

void PrintTo(const HostileCase& c, std::ostream* os)
{
    *os << c.name;
}

QByteArray patched(QByteArray file, int offset, quint64 value)
{
    qToLittleEndian(value, file.data() + offset);
    return file;
}

// An archive of one group-info dictionary whose sub-group list holds the dictionary itself.
QByteArray cyclicGroupArchive()
{
    auto self = std::make_shared<const KQCoding*>(nullptr);
    KQTestFreeObject group({QStringLiteral("KQGroupInfo")}, [self](KQKeyedArchiver& c) {
        c.encodeString(QStringLiteral("Loop"), QStringLiteral("GroupName"));
        c.encodeString(QStringLiteral("id"), QStringLiteral("GroupIdentifier"));
        c.encodeArray({*self}, QStringLiteral("KQGrpSubGroupsKey"));
    });
    *self = &group;
    return KQKeyedArchiver::archivedDataWithRootArray({&group});
}

std::vector<HostileCase> hostileCases()
{
    return {
        {"wrong magic", [](const QByteArray& f) { return QByteArray("VORLANCONTACBAKY") + f.mid(16); },
         "is not a backup file"},
        {"version 2.0.0.0",
         [](const QByteArray& f) {
             auto parts = BackupParts::read(f);
             parts.version = QByteArray("\x02\x00\x00\x00", 4);
             return parts.write();
         },
         "Unknown backup file version(2.0.0.0)"},
        {"zero index position of an unfinished backup",
         [](const QByteArray& f) { return patched(patched(f, 20, 0), 28, 0); }, "never finished"},
        {"index pointing past the end", [](const QByteArray& f) { return patched(f, 20, f.size() + 100); },
         "lies outside the file"},
        {"index length past the end", [](const QByteArray& f) { return patched(f, 28, f.size()); },
         "lies outside the file"},
        {"index that does not decode",
         [](const QByteArray& f) {
             QByteArray bad = f;
             const auto offset = qFromLittleEndian<quint64>(f.constData() + 20);
             bad[static_cast<qsizetype>(offset) + 3] = 'X';
             return bad;
         },
         "the index does not decode"},
        {"index entry pointing past the end",
         [](const QByteArray& f) {
             return BackupParts::read(f).write([](auto& entries) { entries.back().first += 100000; });
         },
         "points outside the contact archives"},
        {"index entry pointing into the middle of an archive",
         [](const QByteArray& f) {
             return BackupParts::read(f).write([](auto& entries) {
                 entries[1].first += 10;
                 entries[1].second -= 10;
             });
         },
         "does not decode"},
        {"index entry overlapping another archive",
         [](const QByteArray& f) { return BackupParts::read(f).write([](auto& entries) { entries[0].second += 10; }); },
         "into the middle of another archive"},
        {"negative length",
         [](const QByteArray& f) { return BackupParts::read(f).write([](auto& entries) { entries[2].second = -5; }); },
         "points outside the contact archives"},
        {"contact archive of a foreign class",
         [](const QByteArray& f) {
             auto parts = BackupParts::read(f);
             KQContainerBackup foreign(QStringLiteral("/x"), QDateTime::currentDateTime());
             parts.archives[1] = KQBinaryKeyedArchiver::archivedDataWithRootObject(foreign);
             return parts.write();
         },
         "does not decode"},
        {"contact archive that is not a property list",
         [](const QByteArray& f) {
             auto parts = BackupParts::read(f);
             parts.archives[3] = QByteArray(200, '\x07');
             return parts.write();
         },
         "does not decode"},
        {"group-info archive that is a cycle",
         [](const QByteArray& f) {
             auto parts = BackupParts::read(f);
             parts.groups = cyclicGroupArchive();
             return parts.write();
         },
         "the group archive does not decode"},
        {"group-info length past the end", [](const QByteArray& f) { return patched(f, 36, f.size()); },
         "runs past the end of the file"},
    };
}

class BackupHostileTest : public BackupTest, public ::testing::WithParamInterface<HostileCase>
{
};

TEST_P(BackupHostileTest, FailsWithoutTouchingTheStore)
{
    const auto backup = makeSmallBackup();
    ASSERT_TRUE(backup);
    QFile original(backup->backupFile());
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    const QByteArray hostile = GetParam().make(original.readAll());
    const QString path = folder.filePath(QStringLiteral("hostile.vorlankqbck"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(hostile);
    file.close();

    // Changes after the backup, which a failed restore must leave alone.
    addContact(QStringLiteral("Zed"));
    reload();
    const QStringList before = snapshot();
    StderrCapture log;
    const Progress progress = runRestore(account(), KQContainerBackup::initWithBackupFile(path));
    EXPECT_EQ(progress.last(), KQBackupMessage::Failed);
    EXPECT_TRUE(log.text().contains(QLatin1String(GetParam().logged))) << log.text().toStdString();
    EXPECT_EQ(text(snapshot()), text(before));
}

INSTANTIATE_TEST_SUITE_P(KQContainerBackup, BackupHostileTest, ::testing::ValuesIn(hostileCases()),
                         [](const auto& tested) {
                             std::string name;
                             for (const char* p = tested.param.name; *p; ++p)
                                 name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                             return name;
                         });

TEST_F(BackupTest, EveryTruncationIntoTheArchivesOrTheIndexFailsAndOneInTheTrailerRestores)
{
    const auto backup = makeSmallBackup();
    ASSERT_TRUE(backup);
    QFile original(backup->backupFile());
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    const QByteArray bytes = original.readAll();
    const qint64 contactsStart = 44 + static_cast<qint64>(qFromLittleEndian<quint64>(bytes.constData() + 36));
    addContact(QStringLiteral("Zed"));
    reload();
    const QStringList before = snapshot();
    const QString path = folder.filePath(QStringLiteral("cut.vorlankqbck"));
    const auto target = account();

    // Without a handler nothing waits for the main thread, so the restores run one after another
    // on a worker while the main thread keeps its loop going.
    QStringList restored;
    std::atomic<bool> done{false};
    StderrCapture log;
    std::thread worker([&] {
        for (qint64 length = contactsStart; length < bytes.size(); ++length) {
            QFile cut(path);
            if (!cut.open(QIODevice::WriteOnly | QIODevice::Truncate) || cut.write(bytes.left(length)) != length)
                break;
            cut.close();
            const bool succeeded =
                target->restoreContainerFromBackupInternal(KQContainerBackup::initWithBackupFile(path), {}, {}, {});
            if (succeeded)
                restored.append(QString::number(length));
            if (length < bytes.size() - 8 && succeeded)
                break;
        }
        done = true;
    });
    EXPECT_TRUE(kqWaitUntil([&done] { return done.load(); }, 120000));
    worker.join();
    const QString logged = log.text();
    // Only the eight lengths that cut the trailer restore, and the last of them put the backup back.
    EXPECT_EQ(restored.size(), 8) << restored.join(u' ').toStdString();
    EXPECT_EQ(logged.count(QLatin1String("error:restore failed")), bytes.size() - 8 - contactsStart);
    EXPECT_NE(text(snapshot()), text(before));
    EXPECT_FALSE(snapshot().join(u'\n').contains(QLatin1String("Zed")));
}

TEST_F(BackupTest, Version1WithOtherMinorPatchAndBuildRestores)
{
    const auto backup = makeSmallBackup();
    ASSERT_TRUE(backup);
    QFile file(backup->backupFile());
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    file.seek(16);
    file.write(QByteArray("\x01\x05\x03\x09", 4));
    file.close();
    const QStringList before = snapshot();
    addContact(QStringLiteral("Zed"));
    reload();
    EXPECT_EQ(runRestore(account(), backup).last(), KQBackupMessage::Finished);
    EXPECT_EQ(text(snapshot()), text(before));
}

// ---------------------------------------------------------------- cancel and faults

TEST_F(BackupTest, CancelledBackupLeavesAnIncompleteUncataloguedFile)
{
    addContact(QStringLiteral("Alice"));
    addContact(QStringLiteral("Bob"));
    reload();
    const Progress progress = runBackup(account(), folder.path(), [](qint64 message, double fraction) {
        return message == KQBackupMessage::Progress && fraction >= 1.0;
    });
    EXPECT_EQ(progress.last(), KQBackupMessage::Cancelled);
    EXPECT_TRUE(storage()->containerBackupsWithIdentifier(local).empty());
    const QStringList files = QDir(folder.path()).entryList({QStringLiteral("*.vorlankqbck")});
    ASSERT_EQ(files.size(), 1);
    QFile file(folder.filePath(files.first()));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_EQ(bytes.mid(20, 16), QByteArray(16, '\0'));
    // Such a file does not restore.
    StderrCapture log;
    EXPECT_EQ(runRestore(account(), KQContainerBackup::initWithBackupFile(file.fileName())).last(),
              KQBackupMessage::Failed);
    EXPECT_TRUE(log.text().contains(QLatin1String("never finished")));
}

TEST_F(BackupTest, StopAtTheStartWritesNothing)
{
    reload();
    const Progress progress =
        runBackup(account(), folder.path(), [](qint64 message, double) { return message == KQBackupMessage::Start; });
    EXPECT_EQ(progress.messages, (std::vector<qint64>{KQBackupMessage::Start, KQBackupMessage::Cancelled}));
    EXPECT_TRUE(QDir(folder.path()).entryList(QDir::Files).isEmpty());
}

struct RestoreStopCase
{
    const char* name;
    StopRule stop;
    bool declined;
    qint64 expected;
};

void PrintTo(const RestoreStopCase& c, std::ostream* os)
{
    *os << c.name;
}

class BackupRestoreStopTest : public BackupTest, public ::testing::WithParamInterface<RestoreStopCase>
{
};

TEST_P(BackupRestoreStopTest, LeavesTheStoreAsItWas)
{
    const auto backup = makeSmallBackup();
    ASSERT_TRUE(backup);
    addContact(QStringLiteral("Zed"));
    reload();
    const QStringList before = snapshot();
    const bool declined = GetParam().declined;
    const Progress progress = runRestore(
        account(), backup, GetParam().stop, [declined](const KQRestoreSummary&) { return !declined; }, folder.path());
    EXPECT_EQ(progress.last(), GetParam().expected);
    EXPECT_EQ(text(snapshot()), text(before));
    // No safety backup was made for a restore that changed nothing.
    EXPECT_EQ(storage()->containerBackupsWithIdentifier(local).size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    KQContainerBackup, BackupRestoreStopTest,
    ::testing::Values(RestoreStopCase{"stop at the start", [](qint64 m, double) { return m == KQBackupMessage::Start; },
                                      false, KQBackupMessage::Cancelled},
                      RestoreStopCase{"stop while reading",
                                      [](qint64 m, double) { return m == KQBackupMessage::Progress; }, false,
                                      KQBackupMessage::Failed},
                      RestoreStopCase{"confirmation refused", {}, true, KQBackupMessage::Cancelled}),
    [](const auto& tested) {
        std::string name;
        for (const char* p = tested.param.name; *p; ++p)
            name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
        return name;
    });

TEST_F(BackupTest, BackupThatCannotBeWrittenFailsAndRemovesItsFile)
{
    for (int i = 0; i < 20; ++i)
        addContact(QStringLiteral("Person %1").arg(i));
    reload();
    // A real limit on file size: writes past it fail (and the signal that would end the process
    // is ignored while it holds).
    struct rlimit saved
    {
    };
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 3000;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    StderrCapture log;
    const Progress progress = runBackup(account(), folder.path());
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    EXPECT_EQ(progress.last(), KQBackupMessage::Failed);
    EXPECT_TRUE(log.text().contains(QLatin1String("removed"))) << log.text().toStdString();
    EXPECT_TRUE(QDir(folder.path()).entryList(QDir::Files).isEmpty());
    EXPECT_TRUE(storage()->containerBackupsWithIdentifier(local).empty());
}

// ---------------------------------------------------------------- catalogue

TEST_F(BackupTest, CatalogueListsNewestFirstAndRemovesEqualEntriesWithTheirFile)
{
    const QString a = folder.filePath(QStringLiteral("a.vorlankqbck"));
    const QString b = folder.filePath(QStringLiteral("b.vorlankqbck"));
    for (const QString& path : {a, b}) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    EXPECT_FALSE(storage()->loadBackupInfoFromFile());
    ASSERT_TRUE(storage()->addBackup(KQContainerBackup::initWithBackupFile(a), QStringLiteral("acc")));
    ASSERT_TRUE(storage()->addBackup(KQContainerBackup::initWithBackupFile(b), QStringLiteral("acc")));
    ASSERT_TRUE(storage()->addBackup(KQContainerBackup::initWithBackupFile(a), QStringLiteral("acc")));
    ASSERT_TRUE(storage()->addBackup(KQContainerBackup::initWithBackupFile(b), QStringLiteral("other")));
    QStringList order;
    for (const auto& backup : storage()->containerBackupsWithIdentifier(QStringLiteral("acc")))
        order.append(QFileInfo(backup->backupFile()).baseName());
    EXPECT_EQ(order, (QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("a")}));
    EXPECT_FALSE(
        storage()->containerBackupsWithIdentifier(QStringLiteral("acc")).front()->humanReadableDate().isEmpty());

    ASSERT_TRUE(storage()->removeBackup(KQContainerBackup::initWithBackupFile(a), QStringLiteral("acc")));
    EXPECT_FALSE(QFileInfo::exists(a));
    ASSERT_EQ(storage()->containerBackupsWithIdentifier(QStringLiteral("acc")).size(), 1u);
    ASSERT_TRUE(storage()->removeBackup(KQContainerBackup::initWithBackupFile(b), QStringLiteral("other")));
    const auto catalogue = storage()->loadBackupInfoFromFile();
    ASSERT_TRUE(catalogue);
    EXPECT_EQ(catalogue->keys(), QStringList{QStringLiteral("acc")});

    // A damaged catalogue reads as none.
    QFile damaged(storage()->backupInfoFile());
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write("bplist00 not really");
    damaged.close();
    EXPECT_FALSE(storage()->loadBackupInfoFromFile());
}

// ---------------------------------------------------------------- records loaded in part

// More contacts than two archiving batches hold, a few with a photo, so that the workers' batches
// must come back in order.
void addManyContacts(CNContactStore* store, const QString& container, const CNGroup& group, int count)
{
    CNSaveRequest request;
    for (int i = 0; i < count; ++i) {
        CNMutableContact contact;
        contact.setGivenName(QStringLiteral("Person %1").arg(i, 4, 10, QLatin1Char('0')));
        contact.setNote(QStringLiteral("note %1").arg(i));
        contact.setEmailAddresses({CNLabeledValue<QString>(CNLabelWork, QStringLiteral("p%1@example.org").arg(i))});
        if (i % 97 == 0)
            contact.setImageData(QByteArray(1500 + i, static_cast<char>(i)));
        request.addContact(contact, container);
        if (i % 3 == 0)
            request.addMember(contact, group);
    }
    ASSERT_TRUE(store->executeSaveRequest(request));
}

int countFullyLoaded(const KQContainerHelperPtr& account)
{
    int loaded = 0;
    for (const auto& record : account->currentContactHelpers())
        loaded += record->allKeysLoaded() ? 1 : 0;
    return loaded;
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST_F(BackupTest, BackupOfRecordsHeldInPartIsTheFileOfFullyLoadedOnesAndLeavesThemInPart)
{
    addManyContacts(cn(), local, addGroup(QStringLiteral("Thirds")), 1300);
    reload();
    // The account may be the one an earlier test left behind: its list is read again first.
    loadOnWorker([this] { account()->syncLoadContactsIfNecessary(); });
    ASSERT_EQ(account()->countOfContacts(), 1300);
    ASSERT_EQ(countFullyLoaded(account()), 0);
    QTemporaryDir partFolder;
    ASSERT_EQ(runBackup(account(), partFolder.path()).last(), KQBackupMessage::Finished);
    EXPECT_EQ(countFullyLoaded(account()), 0);

    loadOnWorker([this] { account()->syncLoadAllKeysOfContacts(); });
    ASSERT_EQ(countFullyLoaded(account()), 1300);
    QTemporaryDir fullFolder;
    ASSERT_EQ(runBackup(account(), fullFolder.path()).last(), KQBackupMessage::Finished);

    const auto backups = storage()->containerBackupsWithIdentifier(local);
    ASSERT_EQ(backups.size(), 2u);
    const QByteArray full = fileBytes(backups.front()->backupFile());
    const QByteArray part = fileBytes(backups.back()->backupFile());
    ASSERT_GT(full.size(), 1300 * 100);
    EXPECT_TRUE(full == part) << "the files differ in size " << full.size() << " and " << part.size();

    // The archives follow the account's list, whichever worker made them.
    KQContactHelper::registerArchiveClass();
    const QSet<QString> classes = CNContact::archiveClasses() + QSet<QString>{QStringLiteral("KQContactHelper")};
    QStringList archived;
    for (const QByteArray& archive : BackupParts::read(part).archives) {
        const auto record =
            std::dynamic_pointer_cast<KQContactHelper>(KQKeyedUnarchiver::unarchivedObjectOfClasses(classes, archive));
        archived.append(record ? record->identifier() : QStringLiteral("(does not decode)"));
    }
    QStringList listed;
    for (const auto& record : account()->currentContactHelpers())
        listed.append(record->identifier());
    EXPECT_EQ(archived, listed);
}

TEST_F(BackupTest, RestoreRewritesTheChangedAndEditedRecordsAndLeavesTheOthersAlone)
{
    addManyContacts(cn(), local, addGroup(QStringLiteral("Thirds")), 1300);
    reload();
    const QStringList before = snapshot();
    ASSERT_EQ(runBackup(account(), folder.path()).last(), KQBackupMessage::Finished);
    const auto backup = storage()->containerBackupsWithIdentifier(local).front();

    // One contact changed in the store, one record loaded and being edited in memory.
    const KQContactHelperList records = account()->currentContactHelpers();
    ASSERT_EQ(records.size(), 1300u);
    const QString changedId = records[10]->identifier();
    const QString editedId = records[700]->identifier();
    CNContactFetchRequest fetch(KQContactStoreHelper::allKeys());
    fetch.setPredicate(CNContactPredicate::predicateForContactsWithIdentifiers({changedId}));
    CNMutableContactPtr changed;
    cn()->enumerateContactsWithFetchRequest(fetch, nullptr,
                                            [&changed](const CNContactPtr& c, bool*) { changed = c->mutableCopy(); });
    ASSERT_TRUE(changed);
    const QString changedNote = changed->note();
    changed->setNote(QStringLiteral("changed elsewhere"));
    CNSaveRequest change;
    change.updateContact(*changed);
    ASSERT_TRUE(cn()->executeSaveRequest(change));
    const KQContactHelperPtr edited = records[700];
    edited->syncLoadAllKeysIfNecessary();
    const std::optional<QString> editedNote = edited->note();
    ASSERT_TRUE(editedNote);
    edited->startEditContact();
    edited->setNote(QStringLiteral("being edited"));
    ASSERT_EQ(edited->note(), QStringLiteral("being edited"));

    ASSERT_EQ(runRestore(account(), backup).last(), KQBackupMessage::Finished);
    EXPECT_EQ(text(snapshot()), text(before));
    const auto note = [this](const QString& identifier) {
        const KQContactHelperPtr record = account()->contactHelperFromContainerWithIdentifier(identifier);
        return record ? record->note() : std::nullopt;
    };
    EXPECT_EQ(note(changedId), changedNote);
    EXPECT_EQ(note(editedId), editedNote);
    QStringList rewritten;
    for (const auto& record : account()->currentContactHelpers()) {
        if (record->mutableContact())
            rewritten.append(record->identifier());
    }
    rewritten.sort();
    QStringList expected{changedId, editedId};
    expected.sort();
    EXPECT_EQ(rewritten, expected);
}

} // namespace
