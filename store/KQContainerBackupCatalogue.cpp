// The backup catalogue of KQStorage.

#include "store/KQStorage.h"

#include <QFile>
#include <mutex>

namespace {

// Changes of the catalogue read, change and write the whole file; one at a time in this process.
std::mutex& catalogueMutex()
{
    static std::mutex mutex;
    return mutex;
}

} // namespace

std::optional<KQBackupCatalogue> KQStorage::loadBackupInfoFromFile() const
{
    const QByteArray data = readFile(backupInfoFile());
    if (data.isEmpty())
        return std::nullopt;
    return KQContainerBackup::catalogueFromData(data);
}

bool KQStorage::saveBackupInfoToFile(const KQBackupCatalogue& catalogue)
{
    return writeFile(backupInfoFile(), KQContainerBackup::archivedCatalogue(catalogue));
}

KQContainerBackupList KQStorage::containerBackupsWithIdentifier(const QString& identifier) const
{
    const std::optional<KQBackupCatalogue> catalogue = loadBackupInfoFromFile();
    return catalogue ? catalogue->value(identifier) : KQContainerBackupList{};
}

bool KQStorage::addBackup(const KQContainerBackupPtr& backup, const QString& identifier)
{
    if (!backup)
        return false;
    const std::lock_guard lock(catalogueMutex());
    KQBackupCatalogue catalogue = loadBackupInfoFromFile().value_or(KQBackupCatalogue{});
    KQContainerBackupList& list = catalogue[identifier];
    list.insert(list.begin(), backup);
    return saveBackupInfoToFile(catalogue);
}

bool KQStorage::removeBackup(const KQContainerBackupPtr& backup, const QString& identifier)
{
    if (!backup)
        return false;
    QFile::remove(backup->backupFile());
    const std::lock_guard lock(catalogueMutex());
    KQBackupCatalogue catalogue = loadBackupInfoFromFile().value_or(KQBackupCatalogue{});
    const auto it = catalogue.find(identifier);
    if (it == catalogue.end() || it->empty())
        return true;
    std::erase_if(*it, [&backup](const KQContainerBackupPtr& entry) { return backup->isEqual(entry.get()); });
    if (it->empty())
        catalogue.erase(it);
    return saveBackupInfoToFile(catalogue);
}
