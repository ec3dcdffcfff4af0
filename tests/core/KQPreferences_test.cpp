#include "platform/CNContactKeys.h"
#include "problems/KQConflictMetaDuplicateName.h"
#include "problems/KQConflictMetaPrefix.h"
#include "store/KQPreferences.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <ostream>
#include <unistd.h>

namespace {

const QString kExportKey = QStringLiteral("availableExportFields");
const QString kConflictsKey = QStringLiteral("availableConflicts");

QString s(const char* text)
{
    return QString::fromUtf8(text);
}

template <typename T> QByteArray archive(const std::vector<std::shared_ptr<T>>& list)
{
    std::vector<const KQCoding*> objects;
    for (const auto& object : list)
        objects.push_back(object.get());
    KQKeyedArchiver archiver;
    archiver.encodeArray(objects, QStringLiteral("root"));
    return archiver.encodedData();
}

// The export list as it is stored now, read independently of any preferences object.
std::vector<KQExportFieldPtr> storedExportFields()
{
    KQExportField::registerArchiveClass();
    const QByteArray data = QSettings().value(kExportKey).toByteArray();
    KQKeyedUnarchiver unarchiver(data, KQExportField::archiveClasses());
    std::vector<KQExportFieldPtr> fields;
    for (const auto& object : unarchiver.decodeArrayOfClasses(KQExportField::archiveClasses(), QStringLiteral("root")))
        fields.push_back(std::dynamic_pointer_cast<KQExportField>(object));
    return fields;
}

class RecordingDelegate : public KQPreferencesDelegate
{
public:
    void preferencesExportCustomFieldsConfigDidChanged(KQPreferences* preferences) override
    {
        exportCalls.push_back(preferences);
        // The list is already in the defaults store when the delegate hears of the change.
        storedAtCall = storedExportFields().size();
    }
    void preferencesConflictsConfigDidChanged(KQPreferences* preferences) override
    {
        conflictCalls.push_back(preferences);
    }
    std::vector<KQPreferences*> exportCalls, conflictCalls;
    size_t storedAtCall = 0;
};

// Captures what the program writes to standard error while it lives.
class StderrCapture
{
public:
    StderrCapture()
    {
        std::fflush(stderr);
        m_saved = dup(STDERR_FILENO);
        m_path = m_dir.filePath(QStringLiteral("stderr.txt"));
        const int fd = open(QFile::encodeName(m_path).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(fd, STDERR_FILENO);
        close(fd);
    }
    ~StderrCapture() { restore(); }
    QString text()
    {
        restore();
        QFile file(m_path);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

private:
    void restore()
    {
        if (m_saved < 0)
            return;
        std::fflush(stderr);
        dup2(m_saved, STDERR_FILENO);
        close(m_saved);
        m_saved = -1;
    }
    QTemporaryDir m_dir;
    QString m_path;
    int m_saved = -1;
};

class Preferences : public ::testing::Test
{
protected:
    void SetUp() override { clear(); }
    void TearDown() override { clear(); }
    static void clear()
    {
        QSettings settings;
        settings.remove(kExportKey);
        settings.remove(kConflictsKey);
        settings.remove(QStringLiteral("backupSavePath"));
        settings.sync();
        KQPreferences::reloadSettings();
    }
};

} // namespace

TEST_F(Preferences, UncheckingOneExportFieldStoresTheWholeListAndTellsTheDelegate)
{
    const auto preferences = KQPreferences::makeForTesting();
    // Nothing is written until something changes.
    EXPECT_FALSE(QSettings().contains(kExportKey));
    RecordingDelegate delegate;
    preferences->setDelegate(&delegate);
    preferences->availableExportFields()[4]->setValidate(false); // Tags

    const auto stored = storedExportFields();
    ASSERT_EQ(stored.size(), 23u);
    for (size_t i = 0; i < stored.size(); ++i) {
        EXPECT_EQ(stored[i]->fieldKey(), preferences->availableExportFields()[i]->fieldKey());
        EXPECT_EQ(stored[i]->validate(), i != 4) << i;
    }
    EXPECT_EQ(delegate.exportCalls, std::vector<KQPreferences*>{preferences.get()});
    EXPECT_EQ(delegate.storedAtCall, 23u);
    EXPECT_TRUE(delegate.conflictCalls.empty());
    EXPECT_FALSE(QSettings().contains(kConflictsKey));
    EXPECT_FALSE(preferences->customExportFieldKeys().contains(s("Tags")));

    // Setting the same mark again is no change.
    preferences->availableExportFields()[4]->setValidate(false);
    EXPECT_EQ(delegate.exportCalls.size(), 1u);

    preferences->conflictMetaWithName(s("Empty notes"))->setValidate(false);
    EXPECT_EQ(delegate.conflictCalls, std::vector<KQPreferences*>{preferences.get()});
    EXPECT_EQ(delegate.exportCalls.size(), 1u);
    EXPECT_TRUE(QSettings().contains(kConflictsKey));

    // A delegate that answers neither call is fine.
    KQPreferencesDelegate silent;
    preferences->setDelegate(&silent);
    preferences->availableExportFields()[0]->setValidate(false);
    preferences->setDelegate(nullptr);
    preferences->availableExportFields()[1]->setValidate(false);
    EXPECT_EQ(storedExportFields()[1]->validate(), false);
}

TEST_F(Preferences, CheckListsSurviveARestart)
{
    {
        const auto preferences = KQPreferences::makeForTesting();
        preferences->availableExportFields()[2]->setValidate(false);
        preferences->conflictMetaWithName(s("Blank name"))->setValidate(false);
        // Settings inside the kinds are written by an explicit save.
        preferences->conflictMetaDuplicateName()->setDuplicateGivenName(false);
        preferences->conflictMetaPrefix()->setAvailableFixs({s("Herr"), s("Frau")});
        preferences->persistentConflictConfigs();
    }
    const auto restarted = KQPreferences::makeForTesting();
    EXPECT_EQ(restarted->customExportFieldKeys().size(), 22);
    EXPECT_FALSE(restarted->customExportFieldKeys().contains(CNContactMiddleNameKey));
    EXPECT_EQ(restarted->availableConflicts().size(), 15u);
    EXPECT_FALSE(restarted->requireScanConflictWithName(s("Blank name")));
    EXPECT_TRUE(restarted->requireScanConflictWithName(s("Incomplete name")));
    EXPECT_EQ(restarted->conflictMetaDuplicateName()->duplicateNameMask(), 1 + 2 + 8 + 16);
    EXPECT_EQ(restarted->conflictMetaPrefix()->availableFixs(), QStringList({s("Herr"), s("Frau")}));
    EXPECT_EQ(restarted->conflictMetaSuffix()->countOfAvailableFixs(),
              static_cast<int>(KQConflictMetaPrefix::defaultAvailableSuffix().size()));

    // The restarted object observes its own lists too.
    RecordingDelegate delegate;
    restarted->setDelegate(&delegate);
    restarted->conflictMetaWithName(s("Blank name"))->setValidate(true);
    EXPECT_EQ(delegate.conflictCalls.size(), 1u);
}

TEST_F(Preferences, StoredListWithTheOlderCompanyKindNameIsReplacedByTheDefaults)
{
    std::vector<KQConflictMetaPtr> old = {KQConflictMeta::metaWithName(s("Duplicate name")),
                                          KQConflictMeta::metaWithName(s("Blank name")),
                                          KQConflictMeta::metaWithName(s("Has company name but no title"))};
    old[1]->setValidate(false);
    QSettings().setValue(kConflictsKey, archive(old));

    const auto preferences = KQPreferences::makeForTesting();
    ASSERT_EQ(preferences->availableConflicts().size(), 15u);
    for (const auto& meta : preferences->availableConflicts())
        EXPECT_TRUE(meta->validate()) << meta->name().toStdString();
    EXPECT_TRUE(preferences->conflictMetaWithName(s("Has company name but no job title")));
    EXPECT_FALSE(preferences->conflictMetaWithName(s("Has company name but no title")));
}

TEST_F(Preferences, StoredListMayHoldTheAddressKindOfSeveralContacts)
{
    std::vector<KQConflictMetaPtr> stored = {
        KQConflictMeta::metaWithName(s("Empty notes")), KQConflictMeta::metaWithName(s("Blank name")),
        KQConflictMeta::metaWithName(s("Duplicate postal addresses in multiple contacts")),
        KQConflictMeta::metaWithName(s("Incomplete name")),
        KQConflictMeta::metaWithName(s("Exact duplicate contacts"))};
    stored[1]->setValidate(false);
    stored[4]->setValidate(false);
    QSettings().setValue(kConflictsKey, archive(stored));

    const auto preferences = KQPreferences::makeForTesting();
    EXPECT_EQ(preferences->availableConflicts().size(), 5u);
    EXPECT_TRUE(preferences->requireScanDuplicateAddressInMultipleContacts());
    EXPECT_FALSE(preferences->requireScanExactDuplicateContacts());          // stored unchecked
    EXPECT_FALSE(preferences->requireScanDuplicateNameInMultipleContacts()); // not stored
    EXPECT_EQ(preferences->conflictMetaDuplicateName(), nullptr);
    EXPECT_EQ(preferences->conflictMetaPrefix(), nullptr);

    QStringList single;
    for (const auto& meta : preferences->validateConflictMetaInSingleContacts())
        single.append(meta->name());
    EXPECT_EQ(single, QStringList({s("Empty notes"), s("Incomplete name")}));
}

TEST_F(Preferences, LookUpsHandOutTheListsOwnObjects)
{
    const auto preferences = KQPreferences::makeForTesting();
    EXPECT_FALSE(preferences->requireScanConflictWithName(s("no such kind")));
    EXPECT_EQ(preferences->conflictMetaWithName(s("no such kind")), nullptr);
    EXPECT_EQ(preferences->conflictMetaWithName(s("Unusual suffix")), preferences->conflictMetaSuffix());
    // The scan finds a kind's group by object identity.
    EXPECT_EQ(preferences->conflictMetaWithName(s("Blank name")).get(), preferences->availableConflicts()[3].get());
    preferences->conflictMetaWithName(s("Blank name"))->setValidate(false);
    for (const auto& meta : preferences->validateConflictMetaInSingleContacts())
        EXPECT_NE(meta->name(), s("Blank name"));
}

TEST_F(Preferences, StoredExportListLosesTheFirstThumbnailField)
{
    std::vector<KQExportFieldPtr> stored = {
        KQExportField::create(CNContactGivenNameKey), KQExportField::create(CNContactThumbnailImageDataKey),
        KQExportField::create(CNContactNoteKey), KQExportField::create(CNContactThumbnailImageDataKey)};
    stored[2]->setValidate(false);
    QSettings().setValue(kExportKey, archive(stored));

    const auto preferences = KQPreferences::makeForTesting();
    QStringList keys;
    for (const auto& field : preferences->availableExportFields())
        keys.append(field->fieldKey());
    EXPECT_EQ(keys, QStringList({CNContactGivenNameKey, CNContactNoteKey, CNContactThumbnailImageDataKey}));
    EXPECT_EQ(preferences->customExportFieldKeys(),
              QStringList({CNContactGivenNameKey, CNContactThumbnailImageDataKey}));
}

struct BadStoredData
{
    const char* title;
    QByteArray exportData;
    QByteArray conflictData;
};

void PrintTo(const BadStoredData& c, std::ostream* os)
{
    *os << c.title;
}

class PreferencesBadData : public Preferences, public ::testing::WithParamInterface<BadStoredData>
{
};

TEST_P(PreferencesBadData, UnreadableStoredListsFallBackToTheDefaultsAndStayStored)
{
    QSettings().setValue(kExportKey, GetParam().exportData);
    QSettings().setValue(kConflictsKey, GetParam().conflictData);
    const auto preferences = KQPreferences::makeForTesting();
    EXPECT_EQ(preferences->availableExportFields().size(), 23u);
    EXPECT_EQ(preferences->availableConflicts().size(), 15u);
    // Reading alone overwrites nothing.
    EXPECT_EQ(QSettings().value(kExportKey).toByteArray(), GetParam().exportData);
    EXPECT_EQ(QSettings().value(kConflictsKey).toByteArray(), GetParam().conflictData);
}

namespace {
QByteArray exportList()
{
    std::vector<KQExportFieldPtr> fields = {KQExportField::create(CNContactNoteKey)};
    return archive(fields);
}
QByteArray conflictList()
{
    return archive(KQConflictMeta::avaliableConflictMetas());
}
} // namespace

INSTANTIATE_TEST_SUITE_P(Inputs, PreferencesBadData,
                         ::testing::Values(BadStoredData{"Garbage", "not an archive at all", "not an archive"},
                                           BadStoredData{"Truncated", exportList().left(100), conflictList().left(120)},
                                           // Each list stored under the other's key.
                                           BadStoredData{"OtherClasses", conflictList(), exportList()}),
                         [](const ::testing::TestParamInfo<BadStoredData>& param) {
                             return std::string(param.param.title);
                         });

TEST_F(Preferences, SimpleSettingsAreReadAfreshAndRemovedWhenSetToNone)
{
    const auto a = KQPreferences::makeForTesting();
    const auto b = KQPreferences::makeForTesting();
    a->setDefaultAddressFormatContryRegionName(s("Japan"));
    EXPECT_EQ(b->defaultAddressFormatContryRegionName(), s("Japan"));
    a->setDefaultAddressFormatContryRegionName(std::nullopt);
    EXPECT_FALSE(QSettings().contains(QStringLiteral("defaultAddressFormatContryCode")));
    a->setBackupSavePath(s("/somewhere"));
    EXPECT_EQ(b->backupSavePath(), s("/somewhere"));
    b->setBackupSavePath(std::nullopt);
    EXPECT_EQ(a->backupSavePath(), std::nullopt);
}

TEST_F(Preferences, BackupFolderThatCannotBeReachedIsClearedAtLoad)
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("backups"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const auto preferences = KQPreferences::makeForTesting();
    preferences->setBackupFolder(QUrl::fromLocalFile(folder));
    EXPECT_EQ(preferences->backupSavePath(), folder);
    EXPECT_TRUE(preferences->checkBackupFolderAccess());
    EXPECT_EQ(preferences->backupSavePath(), folder);
    EXPECT_EQ(KQPreferences::loadURLBookmarkInfoWithKey(folder), QUrl::fromLocalFile(folder));

    ASSERT_TRUE(QDir(folder).removeRecursively());
    EXPECT_EQ(KQPreferences::loadURLBookmarkInfoWithKey(folder), std::nullopt);
    EXPECT_FALSE(preferences->checkBackupFolderAccess());
    EXPECT_EQ(preferences->backupSavePath(), std::nullopt);
    EXPECT_FALSE(preferences->checkBackupFolderAccess());

    // A plain file is no folder either.
    QFile file(dir.filePath(QStringLiteral("file")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    preferences->setBackupSavePath(file.fileName());
    EXPECT_FALSE(preferences->checkBackupFolderAccess());
    EXPECT_EQ(preferences->backupSavePath(), std::nullopt);
}

TEST_F(Preferences, PickingAFolderThatCannotBeReachedIsLogged)
{
    const QString missing = QStringLiteral("/nonexistent/peoplekeeper/backups");
    StderrCapture capture;
    EXPECT_FALSE(KQPreferences::saveURLBookmarkInfo(QUrl::fromLocalFile(missing), missing));
    EXPECT_FALSE(KQPreferences::saveURLBookmarkInfo(QUrl(QStringLiteral("https://example.com/x")), missing));
    const QString log = capture.text();
    EXPECT_EQ(log.count(QStringLiteral("save url book mark error:")), 2) << log.toStdString();
    EXPECT_TRUE(log.startsWith(QStringLiteral("save url book mark error:"))) << log.toStdString();
    EXPECT_TRUE(log.contains(missing)) << log.toStdString();
}
