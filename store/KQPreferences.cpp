#include "store/KQPreferences.h"

#include "platform/CNContactKeys.h"
#include "platform/KQCountryTable.h"
#include "platform/KQLog.h"
#include "problems/KQConflictMetaDuplicateName.h"
#include "problems/KQConflictMetaPrefix.h"
#include "store/KQContactStoreHelper.h"
#include "store/KQStorage.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocale>
#include <QLoggingCategory>
#include <QMutex>
#include <QSettings>
#include <QThread>
#include <algorithm>
#include <unordered_map>

Q_LOGGING_CATEGORY(kqPreferencesLog, "kq.store.preferences")

namespace {
const QString kBackupSavePath = QStringLiteral("backupSavePath");
const QString kDefaultContainer = QStringLiteral("defaultContainerIdentifier");
const QString kDefaultAddressFormat = QStringLiteral("defaultAddressFormatContryCode");
const QString kShowFirstNameFollowingLastName = QStringLiteral("showFirstNameFollowingLastName");
const QString kAvailableExportFields = QStringLiteral("availableExportFields");
const QString kAvailableConflicts = QStringLiteral("availableConflicts");
const QString kRootKey = QStringLiteral("root");

// A stored check list: a keyed archive whose root is an array of the given classes. Empty on any
// failure, which the caller treats like a missing list.
std::vector<KQCodingPtr> unarchiveList(const QByteArray& data, const QSet<QString>& classes, const QString& what)
{
    KQKeyedUnarchiver unarchiver(data, classes);
    std::vector<KQCodingPtr> objects = unarchiver.decodeArrayOfClasses(classes, kRootKey);
    if (unarchiver.failed()) {
        qCWarning(kqPreferencesLog) << "stored" << what << "unreadable:" << unarchiver.error();
        return {};
    }
    return objects;
}

template <typename T> void storeList(const std::vector<std::shared_ptr<T>>& list, const QString& key)
{
    std::vector<const KQCoding*> objects;
    objects.reserve(list.size());
    for (const auto& object : list)
        objects.push_back(object.get());
    KQKeyedArchiver archiver;
    archiver.encodeArray(objects, kRootKey);
    QSettings settings;
    settings.setValue(key, archiver.encodedData());
    if (!KQStorage::syncSettings(settings))
        qCWarning(kqPreferencesLog) << "writing" << key << "to the settings failed";
}
// The single values are read per contact by exports and name display (from any thread): each read
// through a new QSettings costs a dozen file-system calls. Values are kept here for a second, so a
// change made by another process (the command line) is still seen soon.
struct SettingsCache
{
    QMutex mutex;
    std::unordered_map<QString, QVariant> values;
    QElapsedTimer age;
};

SettingsCache& settingsCache()
{
    static auto* cache = new SettingsCache; // never destroyed: workers may read it during exit
    return *cache;
}

QVariant cachedSettingsValue(const QString& key)
{
    SettingsCache& cache = settingsCache();
    QMutexLocker lock(&cache.mutex);
    if (!cache.age.isValid() || cache.age.hasExpired(1000)) {
        cache.values.clear();
        cache.age.start();
    }
    auto found = cache.values.find(key);
    if (found == cache.values.end())
        found = cache.values.emplace(key, QSettings().value(key)).first;
    return found->second;
}

} // namespace

void KQPreferences::reloadSettings()
{
    SettingsCache& cache = settingsCache();
    QMutexLocker lock(&cache.mutex);
    cache.values.clear();
}

void KQPreferencesDelegate::preferencesExportCustomFieldsConfigDidChanged(KQPreferences*) {}

void KQPreferencesDelegate::preferencesConflictsConfigDidChanged(KQPreferences*) {}

std::atomic<int> KQPreferences::s_nameOrderGeneration{0};

KQPreferences* KQPreferences::sharePreferences()
{
    static KQPreferences* preferences = [] {
        auto* made = new KQPreferences;
        made->moveToMainThread();
        return made;
    }();
    return preferences;
}

std::unique_ptr<KQPreferences> KQPreferences::makeForTesting()
{
    return std::unique_ptr<KQPreferences>(new KQPreferences);
}

KQPreferences::KQPreferences()
{
    loadExportFields();
    loadConflictMetas();
}

KQPreferences::~KQPreferences() = default;

void KQPreferences::moveToMainThread()
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || app->thread() == QThread::currentThread())
        return;
    moveToThread(app->thread());
    for (const auto& field : m_exportFields)
        field->moveToThread(app->thread());
    for (const auto& meta : m_conflicts)
        meta->moveToThread(app->thread());
}

std::optional<QString> KQPreferences::stringValue(const QString& key)
{
    const QVariant value = cachedSettingsValue(key);
    if (!value.isValid())
        return std::nullopt;
    return value.toString();
}

void KQPreferences::setStringValue(const QString& key, const std::optional<QString>& value)
{
    QSettings settings;
    if (value)
        settings.setValue(key, *value);
    else
        settings.remove(key);
    KQStorage::syncSettings(settings);
    reloadSettings();
}

std::optional<QString> KQPreferences::backupSavePath() const
{
    return stringValue(kBackupSavePath);
}

void KQPreferences::setBackupSavePath(const std::optional<QString>& path)
{
    setStringValue(kBackupSavePath, path);
    Q_EMIT backupSavePathChanged();
}

std::optional<QString> KQPreferences::defaultContainerName() const
{
    if (auto name = stringValue(kDefaultContainer))
        return name;
    // Unset: the store's own default account.
    CNContactStore* store = KQContactStoreHelper::shared()->contactStore();
    const QString identifier = store->defaultContainerIdentifier();
    if (identifier.isEmpty())
        return std::nullopt;
    const auto containers =
        store->containersMatchingPredicate(CNContainerPredicate::predicateForContainersWithIdentifiers({identifier}));
    if (containers.empty())
        return std::nullopt;
    return containers.front().name();
}

void KQPreferences::setDefaultContainerName(const std::optional<QString>& name)
{
    setStringValue(kDefaultContainer, name);
    Q_EMIT defaultContainerNameChanged();
}

std::optional<QString> KQPreferences::defaultAddressFormatContryRegionName() const
{
    if (auto name = stringValue(kDefaultAddressFormat))
        return name;
    // Unset: the country of the user's locale.
    const QString locale = QLocale::system().name();
    const qsizetype underscore = locale.indexOf(QLatin1Char('_'));
    if (underscore < 0)
        return std::nullopt;
    return KQCountryTable::nameForCode(locale.mid(underscore + 1));
}

void KQPreferences::setDefaultAddressFormatContryRegionName(const std::optional<QString>& name)
{
    setStringValue(kDefaultAddressFormat, name);
    Q_EMIT defaultAddressFormatContryRegionNameChanged();
}

bool KQPreferences::showFirstNameFollowingLastName() const
{
    const QVariant value = cachedSettingsValue(kShowFirstNameFollowingLastName);
    return value.isValid() && value.toBool();
}

void KQPreferences::setShowFirstNameFollowingLastName(bool on)
{
    if (on == showFirstNameFollowingLastName())
        return;
    QSettings().setValue(kShowFirstNameFollowingLastName, on);
    reloadSettings();
    s_nameOrderGeneration.fetch_add(1, std::memory_order_relaxed);
    Q_EMIT showFirstNameFollowingLastNameChanged();
}

std::vector<KQExportFieldPtr> KQPreferences::defaultExportFields()
{
    std::vector<KQExportFieldPtr> fields;
    for (const QString* key : {&CNContactGivenNameKey,
                               &CNContactFamilyNameKey,
                               &CNContactMiddleNameKey,
                               &CNContactOrganizationNameKey,
                               &KQExportField::tagsFieldKey(),
                               &CNContactPhoneNumbersKey,
                               &CNContactEmailAddressesKey,
                               &CNContactPhoneticGivenNameKey,
                               &CNContactPhoneticMiddleNameKey,
                               &CNContactPhoneticFamilyNameKey,
                               &CNContactNamePrefixKey,
                               &CNContactNameSuffixKey,
                               &CNContactNicknameKey,
                               &CNContactDepartmentNameKey,
                               &CNContactJobTitleKey,
                               &CNContactBirthdayKey,
                               &CNContactNonGregorianBirthdayKey,
                               &CNContactDatesKey,
                               &CNContactUrlAddressesKey,
                               &CNContactInstantMessageAddressesKey,
                               &CNContactPostalAddressesKey,
                               &CNContactRelationsKey,
                               &CNContactNoteKey})
        fields.push_back(KQExportField::create(*key));
    return fields;
}

void KQPreferences::loadExportFields()
{
    KQExportField::registerArchiveClass();
    const QByteArray data = QSettings().value(kAvailableExportFields).toByteArray();
    if (!data.isEmpty()) {
        for (const auto& object : unarchiveList(data, KQExportField::archiveClasses(), kAvailableExportFields)) {
            if (auto field = std::dynamic_pointer_cast<KQExportField>(object))
                m_exportFields.push_back(std::move(field));
        }
    }
    if (m_exportFields.empty())
        m_exportFields = defaultExportFields();
    // The contact image is never an export field.
    const auto thumbnail = std::find_if(m_exportFields.begin(), m_exportFields.end(), [](const auto& field) {
        return field->fieldKey() == CNContactThumbnailImageDataKey;
    });
    if (thumbnail != m_exportFields.end())
        m_exportFields.erase(thumbnail);
    for (const auto& field : m_exportFields)
        connect(field.get(), &KQExportField::validateChanged, this, &KQPreferences::exportFieldCheckDidChange);
}

QStringList KQPreferences::customExportFieldKeys() const
{
    QStringList keys;
    for (const auto& field : m_exportFields) {
        if (field->validate())
            keys.append(field->fieldKey());
    }
    return keys;
}

void KQPreferences::saveExportFields()
{
    storeList(m_exportFields, kAvailableExportFields);
}

void KQPreferences::exportFieldCheckDidChange()
{
    saveExportFields();
    if (m_delegate)
        m_delegate->preferencesExportCustomFieldsConfigDidChanged(this);
}

void KQPreferences::loadConflictMetas()
{
    KQConflictMeta::registerArchiveClasses();
    const QByteArray data = QSettings().value(kAvailableConflicts).toByteArray();
    if (!data.isEmpty()) {
        for (const auto& object : unarchiveList(data, KQConflictMeta::archiveClasses(), kAvailableConflicts)) {
            if (auto meta = std::dynamic_pointer_cast<KQConflictMeta>(object))
                m_conflicts.push_back(std::move(meta));
        }
    }
    // A list stored under the older naming of the company kind is replaced whole, check marks included.
    const bool outdated = std::any_of(m_conflicts.begin(), m_conflicts.end(), [](const auto& meta) {
        return meta->name() == KQConflictName::LegacyCompanyNameWithoutTitle;
    });
    if (m_conflicts.empty() || outdated)
        m_conflicts = KQConflictMeta::avaliableConflictMetas();
    for (const auto& meta : m_conflicts)
        connect(meta.get(), &KQConflictMeta::validateChanged, this, &KQPreferences::conflictCheckDidChange);
}

KQConflictMetaPtr KQPreferences::conflictMetaWithName(const QString& name) const
{
    const auto it = std::find_if(m_conflicts.begin(), m_conflicts.end(),
                                 [&name](const auto& meta) { return meta->name() == name; });
    return it == m_conflicts.end() ? nullptr : *it;
}

bool KQPreferences::requireScanConflictWithName(const QString& name) const
{
    const KQConflictMetaPtr meta = conflictMetaWithName(name);
    return meta && meta->validate();
}

bool KQPreferences::requireScanExactDuplicateContacts() const
{
    return requireScanConflictWithName(KQConflictName::ExactDuplicateContacts);
}

bool KQPreferences::requireScanDuplicateNameInMultipleContacts() const
{
    return requireScanConflictWithName(KQConflictName::DuplicateName);
}

bool KQPreferences::requireScanDuplicateEmailInMultipleContacts() const
{
    return requireScanConflictWithName(KQConflictName::DuplicateEmailInMultipleContacts);
}

bool KQPreferences::requireScanDuplicateAddressInMultipleContacts() const
{
    return requireScanConflictWithName(KQConflictName::DuplicateAddressInMultipleContacts);
}

bool KQPreferences::requireScanDuplicatePhoneInMultipleContacts() const
{
    return requireScanConflictWithName(KQConflictName::DuplicatePhoneInMultipleContacts);
}

std::shared_ptr<KQConflictMetaPrefix> KQPreferences::conflictMetaPrefix() const
{
    return std::dynamic_pointer_cast<KQConflictMetaPrefix>(conflictMetaWithName(KQConflictName::UnusualPrefix));
}

std::shared_ptr<KQConflictMetaPrefix> KQPreferences::conflictMetaSuffix() const
{
    return std::dynamic_pointer_cast<KQConflictMetaPrefix>(conflictMetaWithName(KQConflictName::UnusualSuffix));
}

std::shared_ptr<KQConflictMetaDuplicateName> KQPreferences::conflictMetaDuplicateName() const
{
    return std::dynamic_pointer_cast<KQConflictMetaDuplicateName>(conflictMetaWithName(KQConflictName::DuplicateName));
}

std::vector<KQConflictMetaPtr> KQPreferences::validateConflictMetaInSingleContacts() const
{
    std::vector<KQConflictMetaPtr> metas;
    for (const auto& meta : m_conflicts) {
        if (meta->validate() && !meta->isMultipleContactsConflict())
            metas.push_back(meta);
    }
    return metas;
}

void KQPreferences::saveConflictMetas()
{
    storeList(m_conflicts, kAvailableConflicts);
}

void KQPreferences::conflictCheckDidChange()
{
    saveConflictMetas();
    if (m_delegate)
        m_delegate->preferencesConflictsConfigDidChanged(this);
}

namespace {
// Why a backup folder cannot be used, or an empty text when it can.
QString folderAccessError(const QString& path)
{
    if (path.isEmpty())
        return QStringLiteral("no folder given");
    const QFileInfo info(path);
    if (!info.exists())
        return QStringLiteral("The folder \"%1\" doesn't exist.").arg(path);
    if (!info.isDir())
        return QStringLiteral("\"%1\" is not a folder.").arg(path);
    if (!info.isReadable() || !info.isWritable() || !info.isExecutable())
        return QStringLiteral("You don't have permission to access the folder \"%1\".").arg(path);
    return {};
}
} // namespace

bool KQPreferences::saveURLBookmarkInfo(const QUrl& folder, const QString& key)
{
    Q_UNUSED(key)
    const QString error = folder.isLocalFile() ? folderAccessError(folder.toLocalFile())
                                               : QStringLiteral("\"%1\" is not a local folder.").arg(folder.toString());
    if (!error.isEmpty()) {
        KQLog(QStringLiteral("save url book mark error:%1").arg(error));
        return false;
    }
    return true;
}

std::optional<QUrl> KQPreferences::loadURLBookmarkInfoWithKey(const QString& key)
{
    if (!folderAccessError(key).isEmpty())
        return std::nullopt;
    return QUrl::fromLocalFile(key);
}

void KQPreferences::setBackupFolder(const QUrl& folder)
{
    const QString path = folder.toLocalFile();
    saveURLBookmarkInfo(folder, path);
    setBackupSavePath(path);
}

bool KQPreferences::checkBackupFolderAccess()
{
    const std::optional<QString> path = backupSavePath();
    if (!path)
        return false;
    if (!loadURLBookmarkInfoWithKey(*path)) {
        setBackupSavePath(std::nullopt);
        return false;
    }
    return true;
}
