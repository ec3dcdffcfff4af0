#include "store/KQContactRecyle.h"
#include "store/KQStorage.h"
#include "KQTestCoding.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QStringList names(const KQTagList& tags)
{
    QStringList list;
    for (const auto& tag : tags)
        list.append(tag->name());
    return list;
}

QStringList givenNames(const KQGroupTreeNode& node)
{
    QStringList list;
    for (const auto& record : node.contacts())
        list.append(record->givenName().value_or(QString()));
    return list;
}

KQContactHelperPtr record(const QString& given)
{
    auto contact = std::make_shared<CNMutableContact>();
    contact->setGivenName(given);
    return KQContactHelper::create(contact, true);
}

KQContactRecylePtr entry(const QString& given, const QString& account, const QStringList& groups)
{
    auto contact = std::make_shared<CNMutableContact>();
    contact->setGivenName(given);
    return std::make_shared<KQContactRecyle>(contact, account, groups);
}

QByteArray bytesOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool put(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// A storage whose writes stop half-way, as on a full disk.
class FailingStorage : public KQStorage
{
public:
    using KQStorage::KQStorage;

protected:
    bool writeStep(WriteStep step, QSaveFile& file, const QByteArray& data) override
    {
        if (step != WriteStep::Write)
            return KQStorage::writeStep(step, file, data);
        file.write(data.left(data.size() / 2));
        return false;
    }
};

// Each test gets its own data folder; a second KQStorage on the same folder stands for the next run
// of the program.
class StorageTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString folder() const { return dir.filePath(QStringLiteral("data/nested")); }

    // Fills all three files with known content through a first storage.
    void writeAll()
    {
        KQStorage first(folder());
        KQTagsManager tags;
        tags.addTags({KQTag::create(QStringLiteral("friends")), KQTag::create(QStringLiteral("work"))});
        ASSERT_TRUE(first.saveDefaultTagsManager(&tags));
        KQContainerRecyle recyle;
        recyle.addContactRecyles({entry(QStringLiteral("Ann"), QStringLiteral("acc"), {QStringLiteral("g")})});
        ASSERT_TRUE(first.saveDefaultContainerRecyle(&recyle));
        KQContainerLatestImport latest;
        latest.addContactHelpers({record(QStringLiteral("Bob")), record(QStringLiteral("Cid"))});
        ASSERT_TRUE(first.saveDefaultContainerLatestImport(&latest));
    }

    QTemporaryDir dir;
};

} // namespace

TEST_F(StorageTest, FolderIsMadeOnFirstUseAndNamesTheFourFiles)
{
    KQStorage storage(folder());
    EXPECT_FALSE(QFileInfo::exists(folder()));
    EXPECT_EQ(storage.defaultStoragePath(), folder());
    EXPECT_TRUE(QFileInfo(folder()).isDir());
    EXPECT_EQ(storage.tagsFilepath(), folder() + QStringLiteral("/tags.peoplekeeper"));
    EXPECT_EQ(storage.recyleFilepath(), folder() + QStringLiteral("/recyle.peoplekeeper"));
    EXPECT_EQ(storage.latestImportFilepath(), folder() + QStringLiteral("/latest.peoplekeeper"));
    EXPECT_EQ(storage.backupInfoFile(), folder() + QStringLiteral("/backup.peoplekeeper"));

    // The shared storage lives in the (private test) application data folder.
    EXPECT_TRUE(KQStorage::sharedStorage()->defaultStoragePath().startsWith(qEnvironmentVariable("XDG_DATA_HOME")));
}

TEST_F(StorageTest, EverythingSurvivesARestart)
{
    writeAll();
    KQStorage next(folder());
    EXPECT_EQ(names(next.loadDefaultTagsManager()->tags()),
              (QStringList{QStringLiteral("friends"), QStringLiteral("work")}));

    const auto recyle = next.loadDefaultContainerRecyle();
    EXPECT_TRUE(recyle->isContactsLoaded());
    EXPECT_TRUE(recyle->isSubGroupsLoaded());
    const auto entries = recyle->recyleEntries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0]->givenName(), QStringLiteral("Ann"));
    EXPECT_EQ(entries[0]->containerIdentifier(), QStringLiteral("acc"));
    EXPECT_EQ(entries[0]->groupsIdentifier(), QStringList{QStringLiteral("g")});
    EXPECT_TRUE(entries[0]->allKeysLoaded());

    const auto latest = next.loadDefaultContainerLatestImport();
    EXPECT_EQ(givenNames(*latest), (QStringList{QStringLiteral("Bob"), QStringLiteral("Cid")}));
    EXPECT_TRUE(latest->isContactsLoaded());
}

// A damaged or strange file of any of the three kinds loads as the empty default.
TEST_F(StorageTest, UnreadableFilesLoadEmpty)
{
    struct Case
    {
        const char* what;
        std::function<void(const QString& path, const QByteArray& valid)> spoil;
    };
    const QByteArray otherKind = KQKeyedArchiver::archivedDataWithRootObject(KQTagsManager());
    const Case cases[] = {
        {"missing", [](const QString& path, const QByteArray&) { QFile::remove(path); }},
        {"empty", [](const QString& path, const QByteArray&) { put(path, {}); }},
        {"truncated", [](const QString& path, const QByteArray& valid) { put(path, valid.left(valid.size() / 2)); }},
        {"garbage", [](const QString& path, const QByteArray&) { put(path, QByteArray(300, '\x7f')); }},
        {"bplist header only", [](const QString& path, const QByteArray&) { put(path, "bplist00"); }},
        {"foreign archive", [otherKind](const QString& path, const QByteArray&) { put(path, otherKind); }},
        {"a folder",
         [](const QString& path, const QByteArray&) {
             QFile::remove(path);
             QDir().mkpath(path);
         }},
    };
    for (const Case& c : cases) {
        writeAll();
        KQStorage storage(folder());
        // Swap the tags file for a trash archive so the "foreign" case is foreign for the tags too.
        const QByteArray recyleBytes = bytesOf(storage.recyleFilepath());
        for (const QString& path : {storage.tagsFilepath(), storage.recyleFilepath(), storage.latestImportFilepath()})
            c.spoil(path, bytesOf(path));
        if (QByteArrayView(c.what) == "foreign archive")
            put(storage.tagsFilepath(), recyleBytes);
        EXPECT_EQ(storage.loadDefaultTagsManager()->countOfTags(), 0) << c.what;
        EXPECT_EQ(storage.loadDefaultContainerRecyle()->countOfContacts(), 0) << c.what;
        EXPECT_EQ(storage.loadDefaultContainerLatestImport()->countOfContacts(), 0) << c.what;
        for (const QString& path : {storage.tagsFilepath(), storage.recyleFilepath(), storage.latestImportFilepath()})
            QDir(path).removeRecursively();
    }
}

TEST_F(StorageTest, FailedWriteKeepsThePreviousFile)
{
    writeAll();
    KQStorage good(folder());
    const QByteArray before = bytesOf(good.recyleFilepath());
    ASSERT_FALSE(before.isEmpty());

    KQContainerRecyle bigger;
    for (int i = 0; i < 20; ++i)
        bigger.addContactRecyles({entry(QStringLiteral("P%1").arg(i), QStringLiteral("acc"), {})});
    FailingStorage failing(folder());
    EXPECT_FALSE(failing.saveDefaultContainerRecyle(&bigger));
    KQTagsManager tags;
    tags.addTag(KQTag::create(QStringLiteral("lost")));
    EXPECT_FALSE(failing.saveDefaultTagsManager(&tags));

    EXPECT_EQ(bytesOf(good.recyleFilepath()), before);
    EXPECT_EQ(good.loadDefaultContainerRecyle()->countOfContacts(), 1);
    EXPECT_EQ(names(good.loadDefaultTagsManager()->tags()),
              (QStringList{QStringLiteral("friends"), QStringLiteral("work")}));
    // No temporary file is left behind.
    EXPECT_EQ(QDir(folder()).entryList(QDir::Files | QDir::Hidden).size(), 3);

    // A data folder that is a file: nothing can be written, nothing crashes, loads are empty.
    const QString blocked = dir.filePath(QStringLiteral("blocked"));
    ASSERT_TRUE(put(blocked, "not a folder"));
    KQStorage nowhere(blocked);
    EXPECT_FALSE(nowhere.saveDefaultContainerRecyle(&bigger));
    EXPECT_EQ(nowhere.loadDefaultContainerRecyle()->countOfContacts(), 0);
    EXPECT_EQ(bytesOf(blocked), QByteArray("not a folder"));

    // A successful save replaces the file whole. The failed save had never loaded the file, so it
    // took in the entry it found there rather than drop it.
    EXPECT_TRUE(good.saveDefaultContainerRecyle(&bigger));
    EXPECT_EQ(good.loadDefaultContainerRecyle()->countOfContacts(), 21);
}

// ---------------------------------------------------------------- tags

TEST_F(StorageTest, TagSetSurvivesARestartInTagListOrder)
{
    KQStorage storage(folder());
    auto tags = std::make_shared<KQTagsManager>();
    const auto b = KQTag::create(QStringLiteral("b"));
    const auto a = KQTag::create(QStringLiteral("a"));
    tags->addTags({b, a});
    tags->addTagToContactWithIdentifier(b, QStringLiteral("c1"));
    tags->addTagToContactWithIdentifier(a, QStringLiteral("c1"));
    tags->addTagToContactWithIdentifier(a, QStringLiteral("c1")); // twice through the manager
    tags->setTagsForContactWithIdentifier({}, QStringLiteral("empty"));
    a->setSelected(true);
    ASSERT_TRUE(storage.saveDefaultTagsManager(tags.get()));

    const auto loaded = KQStorage(folder()).loadDefaultTagsManager();
    EXPECT_EQ(names(loaded->tags()), (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
    // Added b then a (and a twice): comes back in list order, once each, the same tag objects.
    const KQTagList c1 = loaded->tagsForContactWithIdentifier(QStringLiteral("c1"));
    EXPECT_EQ(names(c1), (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
    EXPECT_EQ(c1[0], loaded->objectInTagsAtIndex(0));
    EXPECT_TRUE(c1[0]->selected());
    EXPECT_EQ(loaded->contactIdentifiers(), QStringList{QStringLiteral("c1")});
}

TEST_F(StorageTest, IndexSetsPastTheStoredTagsAreIgnored)
{
    const KQTag first(QStringLiteral("x"));
    const KQTag second(QStringLiteral("y"));
    const KQTestFreeObject manager(
        {QStringLiteral("KQTagsManager"), QStringLiteral("NSObject")}, [&](KQKeyedArchiver& coder) {
            coder.encodeArray({&second, &first}, QStringLiteral("tags"));
            coder.encodeStringArray({QStringLiteral("c1"), QStringLiteral("c2"), QStringLiteral("c3")},
                                    QStringLiteral("_tagsForContacts.allKeys"));
            coder.encodeIndexSet({1, 2, 5, 1000000000}, QStringLiteral("c1"));
            coder.encodeIndexSet({7}, QStringLiteral("c2"));
            // c3 has no index set at all
        });
    KQStorage storage(folder());
    ASSERT_TRUE(storage.writeFile(storage.tagsFilepath(), KQKeyedArchiver::archivedDataWithRootObject(manager)));
    const auto loaded = storage.loadDefaultTagsManager();
    EXPECT_EQ(names(loaded->tags()), (QStringList{QStringLiteral("x"), QStringLiteral("y")}));
    // Position 1 of the stored array is "x"; the rest point past it.
    EXPECT_EQ(names(loaded->tagsForContactWithIdentifier(QStringLiteral("c1"))), QStringList{QStringLiteral("x")});
    EXPECT_TRUE(loaded->tagsForContactWithIdentifier(QStringLiteral("c2")).empty());
    EXPECT_EQ(loaded->contactIdentifiers(), QStringList{QStringLiteral("c1")});
}

TEST_F(StorageTest, TagsArchiveWithWrongTypesLoadsEmpty)
{
    const KQTestFreeObject manager(
        {QStringLiteral("KQTagsManager"), QStringLiteral("NSObject")},
        [](KQKeyedArchiver& coder) { coder.encodeStringArray({QStringLiteral("not a tag")}, QStringLiteral("tags")); });
    KQStorage storage(folder());
    ASSERT_TRUE(storage.writeFile(storage.tagsFilepath(), KQKeyedArchiver::archivedDataWithRootObject(manager)));
    EXPECT_EQ(storage.loadDefaultTagsManager()->countOfTags(), 0);
}
