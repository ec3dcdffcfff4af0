#pragma once
// The user's settings, kept in the user defaults store (QSettings). Simple settings are read from
// the store on every access, so every reader sees a change at once. The two check lists (export
// fields, problem kinds to scan) are read once when the object is made; every change of one of
// their check marks writes the whole list back at once and tells the delegate.

#include "store/KQExportField.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <atomic>
#include <memory>
#include <optional>
#include <vector>

class KQConflictMeta;
class KQConflictMetaDuplicateName;
using KQConflictMetaPtr = std::shared_ptr<KQConflictMeta>;
class KQConflictMetaPrefix;
class KQPreferences;

// Told after a check list was saved because one of its check marks changed. Both are optional.
class KQPreferencesDelegate
{
public:
    virtual ~KQPreferencesDelegate() = default;
    virtual void preferencesExportCustomFieldsConfigDidChanged(KQPreferences* preferences);
    virtual void preferencesConflictsConfigDidChanged(KQPreferences* preferences);
};

class KQPreferences : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool showFirstNameFollowingLastName READ showFirstNameFollowingLastName WRITE
                   setShowFirstNameFollowingLastName NOTIFY showFirstNameFollowingLastNameChanged)
public:
    // The one object the program uses, made on first use. Its check lists belong to the main thread.
    static KQPreferences* sharePreferences();
    // A separate object that reads the defaults store afresh, as the next start of the program
    // would. For tests; the program itself only uses sharePreferences().
    static std::unique_ptr<KQPreferences> makeForTesting();
    // Forgets the settings values read so far (they are otherwise kept for up to a second).
    static void reloadSettings();
    ~KQPreferences() override;

    // --- simple settings; setting none removes the key
    std::optional<QString> backupSavePath() const;
    void setBackupSavePath(const std::optional<QString>& path);
    // The name (not the identifier) of the account the user chose as default; unset: the name of
    // the store's default account.
    std::optional<QString> defaultContainerName() const;
    void setDefaultContainerName(const std::optional<QString>& name);
    std::optional<QString> defaultAddressFormatContryRegionName() const;
    void setDefaultAddressFormatContryRegionName(const std::optional<QString>& name);
    bool showFirstNameFollowingLastName() const;
    void setShowFirstNameFollowingLastName(bool on);

    // Bumped whenever the name order changes; records compare it with the value their cached sort
    // key was made under, instead of each record observing the preference.
    static int nameOrderGeneration() { return s_nameOrderGeneration.load(std::memory_order_relaxed); }

    // --- export fields
    // The 23 default fields, all checked, in export order.
    static std::vector<KQExportFieldPtr> defaultExportFields();
    const std::vector<KQExportFieldPtr>& availableExportFields() const { return m_exportFields; }
    // The keys of the checked fields, in list order.
    QStringList customExportFieldKeys() const;
    // Archives the list under "availableExportFields" and flushes the defaults store.
    void saveExportFields();

    // --- problem kinds to scan
    const std::vector<KQConflictMetaPtr>& availableConflicts() const { return m_conflicts; }
    // The first entry with exactly that name, or nullptr.
    KQConflictMetaPtr conflictMetaWithName(const QString& name) const;
    // The entry exists and is checked.
    bool requireScanConflictWithName(const QString& name) const;
    bool requireScanExactDuplicateContacts() const;
    bool requireScanDuplicateNameInMultipleContacts() const;
    bool requireScanDuplicateEmailInMultipleContacts() const;
    bool requireScanDuplicateAddressInMultipleContacts() const;
    bool requireScanDuplicatePhoneInMultipleContacts() const;
    // The entries themselves (nullptr when the list has no such entry of that class).
    std::shared_ptr<KQConflictMetaPrefix> conflictMetaPrefix() const;
    std::shared_ptr<KQConflictMetaPrefix> conflictMetaSuffix() const;
    std::shared_ptr<KQConflictMetaDuplicateName> conflictMetaDuplicateName() const;
    // The checked entries that concern one contact at a time, in list order.
    std::vector<KQConflictMetaPtr> validateConflictMetaInSingleContacts() const;
    // Archives the list under "availableConflicts" and flushes the defaults store.
    void saveConflictMetas();
    void persistentConflictConfigs() { saveConflictMetas(); }

    // --- delegate (not owned; the delegate clears itself before it goes away)
    KQPreferencesDelegate* delegate() const { return m_delegate; }
    void setDelegate(KQPreferencesDelegate* delegate) { m_delegate = delegate; }

    // --- backup folder access across launches
    // This platform has no security-scoped bookmarks: "saving" one checks that the folder can be
    // reached and logs "save url book mark error:..." when it cannot; loading answers the folder
    // at the path given as key when it can still be reached, else none.
    static bool saveURLBookmarkInfo(const QUrl& folder, const QString& key);
    static std::optional<QUrl> loadURLBookmarkInfoWithKey(const QString& key);
    // The user picked a backup folder: record access to it, then make it the backup folder.
    void setBackupFolder(const QUrl& folder);
    // Run when the preferences window loads: a backup folder that can no longer be reached is
    // cleared. True when a usable backup folder remains set.
    bool checkBackupFolderAccess();

Q_SIGNALS:
    void showFirstNameFollowingLastNameChanged();
    void defaultContainerNameChanged();
    void defaultAddressFormatContryRegionNameChanged();
    void backupSavePathChanged();

private:
    KQPreferences();
    void loadExportFields();
    void loadConflictMetas();
    void exportFieldCheckDidChange();
    void conflictCheckDidChange();
    // The check lists' objects are driven by the main thread, whichever thread made them.
    void moveToMainThread();
    static std::optional<QString> stringValue(const QString& key);
    static void setStringValue(const QString& key, const std::optional<QString>& value);

    std::vector<KQExportFieldPtr> m_exportFields;
    std::vector<KQConflictMetaPtr> m_conflicts;
    KQPreferencesDelegate* m_delegate = nullptr;

    static std::atomic<int> s_nameOrderGeneration;
};
