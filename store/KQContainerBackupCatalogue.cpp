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
    const QByteArray data = KQContainerBackup::archivedCatalogue(catalogue);
    return saveFile(backupInfoFile(), [&data](const QByteArray*) { return data; });
}

KQContainerBackupList KQStorage::containerBackupsWithIdentifier(const QString& identifier) const
{
    const std::optional<KQBackupCatalogue> catalogue = loadBackupInfoFromFile();
    return catalogue ? catalogue->value(identifier) : KQContainerBackupList{};
}

bool KQStorage::changeBackupCatalogue(const std::function<bool(KQBackupCatalogue&)>& change)
{
    const QString path = backupInfoFile();
    const auto decode = [this, &path](const QByteArray& data) {
        if (data.isEmpty())
            return KQBackupCatalogue{};
        std::optional<KQBackupCatalogue> catalogue = KQContainerBackup::catalogueFromData(data);
        if (!catalogue)
            noteDamagedFile(path, QStringLiteral("the backup list does not decode"));
        return catalogue.value_or(KQBackupCatalogue{});
    };
    const std::lock_guard lock(catalogueMutex());
    const KQBackupCatalogue loaded = decode(loadFile(path));
    KQBackupCatalogue probe = loaded;
    if (!change(probe))
        return true;
    // Under the file's lock: the change goes onto what the file holds then, so that a backup
    // catalogued meanwhile by another running copy is kept.
    return saveFile(path, [&](const QByteArray* current) {
        KQBackupCatalogue catalogue = current ? decode(*current) : loaded;
        change(catalogue);
        return KQContainerBackup::archivedCatalogue(catalogue);
    });
}

bool KQStorage::addBackup(const KQContainerBackupPtr& backup, const QString& identifier)
{
    if (!backup)
        return false;
    return changeBackupCatalogue([&](KQBackupCatalogue& catalogue) {
        KQContainerBackupList& list = catalogue[identifier];
        list.insert(list.begin(), backup);
        return true;
    });
}

bool KQStorage::removeBackup(const KQContainerBackupPtr& backup, const QString& identifier)
{
    if (!backup)
        return false;
    QFile::remove(backup->backupFile());
    return changeBackupCatalogue([&](KQBackupCatalogue& catalogue) {
        const auto it = catalogue.find(identifier);
        if (it == catalogue.end() || it->empty())
            return false;
        std::erase_if(*it, [&backup](const KQContainerBackupPtr& entry) { return backup->isEqual(entry.get()); });
        if (it->empty())
            catalogue.erase(it);
        return true;
    });
}
