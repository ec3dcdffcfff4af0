#pragma once
// The user's settings, kept in the user defaults store (QSettings). Simple settings are read from
// the store on every access, so every reader sees a change at once.

#include <QObject>
#include <QString>

#include <atomic>
#include <optional>

class KQPreferences : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool showFirstNameFollowingLastName READ showFirstNameFollowingLastName WRITE
                   setShowFirstNameFollowingLastName NOTIFY showFirstNameFollowingLastNameChanged)
public:
    static KQPreferences* sharePreferences();

    std::optional<QString> backupSavePath() const;
    void setBackupSavePath(const std::optional<QString>& path);
    // The name (not the identifier) of the account the user chose as default.
    std::optional<QString> defaultContainerName() const;
    void setDefaultContainerName(const std::optional<QString>& name);
    std::optional<QString> defaultAddressFormatContryRegionName() const;
    void setDefaultAddressFormatContryRegionName(const std::optional<QString>& name);
    bool showFirstNameFollowingLastName() const;
    void setShowFirstNameFollowingLastName(bool on);

    // Bumped whenever the name order changes; records compare it with the value their cached sort
    // key was made under, instead of each record observing the preference.
    static int nameOrderGeneration() { return s_nameOrderGeneration.load(std::memory_order_relaxed); }

Q_SIGNALS:
    void showFirstNameFollowingLastNameChanged();
    void defaultContainerNameChanged();
    void defaultAddressFormatContryRegionNameChanged();
    void backupSavePathChanged();

private:
    KQPreferences() = default;
    static std::optional<QString> stringValue(const QString& key);
    static void setStringValue(const QString& key, const std::optional<QString>& value);

    static std::atomic<int> s_nameOrderGeneration;
};
