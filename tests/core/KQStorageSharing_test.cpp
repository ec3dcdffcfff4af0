// Private files that other running copies write at the same time, and files that cannot be read.
#include "store/KQContactRecyle.h"
#include "store/KQStorage.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <mutex>
#include <sys/wait.h>
#include <unistd.h>

namespace {

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

KQContactRecylePtr entry(const QString& given, const QString& identifier = {})
{
    auto contact = std::make_shared<CNMutableContact>();
    contact->setGivenName(given);
    if (!identifier.isEmpty())
        contact->setIdentifier(identifier);
    return std::make_shared<KQContactRecyle>(contact, QStringLiteral("acc"), QStringList());
}

KQContactHelperPtr record(const QString& given)
{
    auto contact = std::make_shared<CNMutableContact>();
    contact->setGivenName(given);
    return KQContactHelper::create(contact, true);
}

QStringList givenNames(const KQGroupTreeNode& node)
{
    QStringList list;
    for (const auto& contact : node.contacts())
        list.append(contact->givenName().value_or(QString()));
    list.sort();
    return list;
}

// Warning lines logged while it lives.
class WarningCollector
{
public:
    WarningCollector()
    {
        s_lines.clear();
        m_previous = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
            if (type >= QtWarningMsg)
                s_lines.append(text);
        });
    }
    ~WarningCollector() { qInstallMessageHandler(m_previous); }
    static QStringList lines() { return s_lines; }

private:
    static inline QStringList s_lines;
    QtMessageHandler m_previous;
};

class StorageSharingTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        KQContainerRecyle recyle;
        recyle.addContactRecyles({entry(QStringLiteral("A")), entry(QStringLiteral("B")), entry(QStringLiteral("C"))});
        ASSERT_TRUE(KQStorage(dir.path()).saveDefaultContainerRecyle(&recyle));
    }
    QTemporaryDir dir;
};

// One running copy's change to its loaded Trash.
using Change = std::function<void(KQContainerRecyle&)>;

Change add(const QString& given)
{
    return [given](KQContainerRecyle& recyle) { recyle.addContactRecyles({entry(given)}); };
}

Change remove(const QString& given)
{
    return [given](KQContainerRecyle& recyle) {
        for (const auto& contact : recyle.contacts()) {
            if (contact->givenName() == given)
                recyle.removeContactHelper(contact);
        }
    };
}

struct SharingCase
{
    const char* name;
    Change first;
    Change second;
    QStringList expected;
};

void PrintTo(const SharingCase& c, std::ostream* os)
{
    *os << c.name;
}

class TwoCopiesTest : public StorageSharingTest, public ::testing::WithParamInterface<SharingCase>
{
};

} // namespace

// Both copies load the same Trash, then each changes it and saves, the second without knowing of
// the first's save. Nothing either did is lost, and the second copy now shows the first's change.
TEST_P(TwoCopiesTest, SecondSaveKeepsTheFirstCopysChange)
{
    KQStorage firstCopy(dir.path());
    KQStorage secondCopy(dir.path());
    auto first = firstCopy.loadDefaultContainerRecyle();
    auto second = secondCopy.loadDefaultContainerRecyle();
    GetParam().first(*first);
    ASSERT_TRUE(firstCopy.saveDefaultContainerRecyle(first.get()));
    GetParam().second(*second);
    ASSERT_TRUE(secondCopy.saveDefaultContainerRecyle(second.get()));

    EXPECT_EQ(givenNames(*KQStorage(dir.path()).loadDefaultContainerRecyle()), GetParam().expected);
    EXPECT_EQ(givenNames(*second), GetParam().expected);
    // The first copy's next save keeps the second's change in turn.
    ASSERT_TRUE(firstCopy.saveDefaultContainerRecyle(first.get()));
    EXPECT_EQ(givenNames(*first), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Changes, TwoCopiesTest,
                         ::testing::Values(SharingCase{"BothAdd",
                                                       add(QStringLiteral("D")),
                                                       add(QStringLiteral("E")),
                                                       {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"),
                                                        QStringLiteral("D"), QStringLiteral("E")}},
                                           SharingCase{"FirstRemovesSecondAdds",
                                                       remove(QStringLiteral("A")),
                                                       add(QStringLiteral("E")),
                                                       {QStringLiteral("B"), QStringLiteral("C"), QStringLiteral("E")}},
                                           SharingCase{"BothRemoveTheSame",
                                                       remove(QStringLiteral("B")),
                                                       remove(QStringLiteral("B")),
                                                       {QStringLiteral("A"), QStringLiteral("C")}},
                                           SharingCase{
                                               "FirstAddsSecondRemoves",
                                               add(QStringLiteral("D")),
                                               remove(QStringLiteral("C")),
                                               {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("D")}}),
                         [](const ::testing::TestParamInfo<SharingCase>& p) { return std::string(p.param.name); });

TEST_F(StorageSharingTest, LastImportKeepsBothCopiesRecords)
{
    KQStorage firstCopy(dir.path());
    KQStorage secondCopy(dir.path());
    auto first = firstCopy.loadDefaultContainerLatestImport();
    auto second = secondCopy.loadDefaultContainerLatestImport();
    first->addContactHelpers({record(QStringLiteral("X"))});
    second->addContactHelpers({record(QStringLiteral("Y"))});
    ASSERT_TRUE(firstCopy.saveDefaultContainerLatestImport(first.get()));
    ASSERT_TRUE(secondCopy.saveDefaultContainerLatestImport(second.get()));
    EXPECT_EQ(givenNames(*KQStorage(dir.path()).loadDefaultContainerLatestImport()),
              (QStringList{QStringLiteral("X"), QStringLiteral("Y")}));
}

TEST_F(StorageSharingTest, TagsKeepBothCopiesChanges)
{
    {
        KQStorage setup(dir.path());
        auto tags = setup.loadDefaultTagsManager();
        tags->newTagWithNameToContactWithIdentifier(QStringLiteral("old"), QStringLiteral("c1"));
        tags->newTagWithNameToContactWithIdentifier(QStringLiteral("gone"), QStringLiteral("c2"));
        ASSERT_TRUE(setup.saveDefaultTagsManager(tags.get()));
    }
    KQStorage firstCopy(dir.path());
    KQStorage secondCopy(dir.path());
    auto first = firstCopy.loadDefaultTagsManager();
    auto second = secondCopy.loadDefaultTagsManager();
    first->newTagWithNameToContactWithIdentifier(QStringLiteral("work"), QStringLiteral("c1"));
    first->removeTag(first->tagWithName(QStringLiteral("gone")));
    ASSERT_TRUE(firstCopy.saveDefaultTagsManager(first.get()));
    second->newTagWithNameToContactWithIdentifier(QStringLiteral("home"), QStringLiteral("c3"));
    ASSERT_TRUE(secondCopy.saveDefaultTagsManager(second.get()));

    const auto names = [](const KQTagList& tags) {
        QStringList list;
        for (const auto& tag : tags)
            list.append(tag->name());
        return list;
    };
    for (const auto& loaded : {KQStorage(dir.path()).loadDefaultTagsManager(), second}) {
        EXPECT_EQ(names(loaded->tags()),
                  (QStringList{QStringLiteral("home"), QStringLiteral("old"), QStringLiteral("work")}));
        EXPECT_EQ(names(loaded->tagsForContactWithIdentifier(QStringLiteral("c1"))),
                  (QStringList{QStringLiteral("old"), QStringLiteral("work")}));
        EXPECT_TRUE(loaded->tagsForContactWithIdentifier(QStringLiteral("c2")).empty());
        EXPECT_EQ(names(loaded->tagsForContactWithIdentifier(QStringLiteral("c3"))),
                  QStringList{QStringLiteral("home")});
    }
}

// Real processes saving at the same time, each adding its entries one by one.
TEST_F(StorageSharingTest, ProcessesSavingAtOnceLoseNoEntry)
{
    constexpr int kProcesses = 4;
    constexpr int kEntriesEach = 3;
    std::vector<pid_t> children;
    for (int p = 0; p < kProcesses; ++p) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            KQStorage storage(dir.path());
            auto recyle = storage.loadDefaultContainerRecyle();
            bool ok = true;
            for (int i = 0; i < kEntriesEach; ++i) {
                // Forked children share the parent's identifier generator: name each entry.
                const QString name = QStringLiteral("p%1-%2").arg(p).arg(i);
                recyle->addContactRecyles({entry(name, name)});
                ok = storage.saveDefaultContainerRecyle(recyle.get()) && ok;
            }
            ::_exit(ok ? 0 : 1);
        }
        children.push_back(pid);
    }
    for (const pid_t pid : children) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(KQStorage(dir.path()).loadDefaultContainerRecyle()->countOfContacts(), 3 + kProcesses * kEntriesEach);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{KQStorage::recyleFilename()});
}

// ---------------------------------------------------------------- unreadable files

namespace {

struct SpoilCase
{
    const char* name;
    std::function<void(const QString& path)> spoil;
};

void PrintTo(const SpoilCase& c, std::ostream* os)
{
    *os << c.name;
}

class UnreadableFileTest : public StorageSharingTest, public ::testing::WithParamInterface<SpoilCase>
{
};

} // namespace

TEST_P(UnreadableFileTest, IsReportedOnceAndMovedAsideBeforeTheNextSave)
{
    KQStorage storage(dir.path());
    const QString path = storage.recyleFilepath();
    GetParam().spoil(path);
    const bool isFolder = QFileInfo(path).isDir();
    const QByteArray spoilt = isFolder ? QByteArray() : bytesOf(path);

    WarningCollector warnings;
    const auto recyle = storage.loadDefaultContainerRecyle();
    EXPECT_EQ(recyle->countOfContacts(), 0);
    ASSERT_FALSE(warnings.lines().isEmpty());
    EXPECT_TRUE(warnings.lines().constFirst().contains(path)) << warnings.lines().constFirst().toStdString();
    const QStringList told = storage.takeLoadProblems();
    ASSERT_EQ(told.size(), 1);
    EXPECT_TRUE(told.constFirst().contains(KQStorage::recyleFilename()));
    EXPECT_TRUE(storage.takeLoadProblems().isEmpty());

    // Loading leaves the file alone; the next save first moves it aside, then writes.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList{KQStorage::recyleFilename()});
    recyle->addContactRecyles({entry(QStringLiteral("New"))});
    ASSERT_TRUE(storage.saveDefaultContainerRecyle(recyle.get()));
    const QStringList aside = QDir(dir.path())
                                  .entryList({KQStorage::recyleFilename() + QStringLiteral(".damaged-*")},
                                             QDir::AllEntries | QDir::NoDotAndDotDot);
    ASSERT_EQ(aside.size(), 1);
    if (!isFolder) {
        EXPECT_EQ(bytesOf(QDir(dir.path()).filePath(aside.constFirst())), spoilt);
    }
    EXPECT_EQ(givenNames(*KQStorage(dir.path()).loadDefaultContainerRecyle()), QStringList{QStringLiteral("New")});
}

INSTANTIATE_TEST_SUITE_P(Spoilt, UnreadableFileTest,
                         ::testing::Values(SpoilCase{"Garbage",
                                                     [](const QString& path) { put(path, QByteArray(300, '\x7f')); }},
                                           SpoilCase{"Truncated",
                                                     [](const QString& path) {
                                                         const QByteArray valid = bytesOf(path);
                                                         put(path, valid.left(valid.size() / 2));
                                                     }},
                                           SpoilCase{"AFolderInItsPlace",
                                                     [](const QString& path) {
                                                         QFile::remove(path);
                                                         QDir().mkpath(path + QStringLiteral("/inner"));
                                                     }}),
                         [](const ::testing::TestParamInfo<SpoilCase>& p) { return std::string(p.param.name); });

TEST_F(StorageSharingTest, MissingAndEmptyFilesAreNoProblem)
{
    KQStorage storage(dir.path());
    ASSERT_TRUE(put(storage.latestImportFilepath(), {}));
    WarningCollector warnings;
    EXPECT_EQ(storage.loadDefaultContainerLatestImport()->countOfContacts(), 0);
    EXPECT_EQ(storage.loadDefaultTagsManager()->countOfTags(), 0);
    EXPECT_TRUE(warnings.lines().isEmpty());
    EXPECT_TRUE(storage.takeLoadProblems().isEmpty());
}

// An archive whose list names one entry over and over loads that entry once.
TEST_F(StorageSharingTest, RepeatedReferencesLoadAsOneEntry)
{
    const auto one = entry(QStringLiteral("Once"));
    std::vector<const KQCoding*> repeated(200000, one.get());
    const QByteArray data = KQKeyedArchiver::archivedDataWithRootArray(repeated);
    ASSERT_LT(data.size(), 1500000);
    KQStorage storage(dir.path());
    ASSERT_TRUE(storage.writeFile(storage.recyleFilepath(), data));
    EXPECT_EQ(givenNames(*storage.loadDefaultContainerRecyle()), QStringList{QStringLiteral("Once")});
}
