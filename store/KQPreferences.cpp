#include "KQPreferences.h"

#include "KQContactStoreHelper.h"

#include "KQCountryTable.h"

#include <QLocale>
#include <QSettings>

namespace {
const QString kBackupSavePath = QStringLiteral("backupSavePath");
const QString kDefaultContainer = QStringLiteral("defaultContainerIdentifier");
const QString kDefaultAddressFormat = QStringLiteral("defaultAddressFormatContryCode");
const QString kShowFirstNameFollowingLastName = QStringLiteral("showFirstNameFollowingLastName");
} // namespace

std::atomic<int> KQPreferences::s_nameOrderGeneration{0};

KQPreferences* KQPreferences::sharePreferences()
{
    static KQPreferences* preferences = new KQPreferences;
    return preferences;
}

std::optional<QString> KQPreferences::stringValue(const QString& key)
{
    const QVariant value = QSettings().value(key);
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
    return QSettings().value(kShowFirstNameFollowingLastName, false).toBool();
}

void KQPreferences::setShowFirstNameFollowingLastName(bool on)
{
    if (on == showFirstNameFollowingLastName())
        return;
    QSettings().setValue(kShowFirstNameFollowingLastName, on);
    s_nameOrderGeneration.fetch_add(1, std::memory_order_relaxed);
    Q_EMIT showFirstNameFollowingLastNameChanged();
}
