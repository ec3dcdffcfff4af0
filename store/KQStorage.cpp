#include "store/KQStorage.h"

#include "store/KQContactRecyle.h"

#include <QDir>
#include <QFile>
#include <QLoggingCategory>
#include <QSaveFile>
#include <QStandardPaths>
#include <mutex>

Q_LOGGING_CATEGORY(kqStorageLog, "kq.storage")

namespace {

const QString kRootKey = QStringLiteral("root");

void registerClasses()
{
    static std::once_flag once;
    std::call_once(once, [] {
        KQTagsManager::registerArchiveClass();
        KQContactRecyle::registerArchiveClass();
    });
}

// The objects of a root array of one of the given classes; empty when the data holds none or is
// damaged or foreign.
template <typename T>
std::vector<std::shared_ptr<T>> decodeRootArray(const QByteArray& data, const QSet<QString>& classes)
{
    std::vector<std::shared_ptr<T>> result;
    if (data.isEmpty())
        return result;
    KQKeyedUnarchiver coder(data, classes);
    const std::vector<KQCodingPtr> objects = coder.decodeArrayOfClasses(classes, kRootKey);
    if (coder.failed()) {
        qCDebug(kqStorageLog) << "unreadable archive:" << coder.error();
        return result;
    }
    for (const KQCodingPtr& object : objects) {
        if (auto typed = std::dynamic_pointer_cast<T>(object))
            result.push_back(std::move(typed));
    }
    return result;
}

} // namespace

KQStorage* KQStorage::sharedStorage()
{
    static KQStorage storage;
    return &storage;
}

KQStorage::KQStorage(QString folder) : m_folder(std::move(folder))
{
    registerClasses();
}

QString KQStorage::defaultStoragePath() const
{
    const QString path =
        m_folder.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) : m_folder;
    if (!QFileInfo::exists(path))
        QDir().mkpath(path);
    return path;
}

QString KQStorage::filePath(const QString& name) const
{
    return QDir(defaultStoragePath()).filePath(name);
}

QString KQStorage::tagsFilepath() const
{
    return filePath(tagsFilename());
}

QString KQStorage::recyleFilepath() const
{
    return filePath(recyleFilename());
}

QString KQStorage::latestImportFilepath() const
{
    return filePath(latestImportFilename());
}

QString KQStorage::backupInfoFile() const
{
    return filePath(backupInfoFileName());
}

// ---------------------------------------------------------------- files

QByteArray KQStorage::readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

bool KQStorage::writeData(QIODevice& device, const QByteArray& data)
{
    return device.write(data) == data.size();
}

bool KQStorage::writeFile(const QString& path, const QByteArray& data, QString* error)
{
    // The old file stays in place until the new one is complete; the rename replaces it at once.
    QSaveFile file(path);
    QString why;
    if (!file.open(QIODevice::WriteOnly)) {
        why = file.errorString();
    } else if (!writeData(file, data)) {
        why = QStringLiteral("incomplete write");
        file.cancelWriting();
        file.commit(); // discards the temporary file
    } else if (!file.commit()) {
        why = file.errorString();
    }
    if (why.isEmpty())
        return true;
    qCWarning(kqStorageLog) << "cannot write" << path << ":" << why;
    if (error)
        *error = why;
    return false;
}

// ---------------------------------------------------------------- tags

KQTagsManagerPtr KQStorage::loadDefaultTagsManager() const
{
    const QByteArray data = readFile(tagsFilepath());
    if (!data.isEmpty()) {
        CNError error;
        auto manager = std::dynamic_pointer_cast<KQTagsManager>(
            KQKeyedUnarchiver::unarchivedObjectOfClasses({QStringLiteral("KQTagsManager")}, data, &error));
        if (manager)
            return manager;
        qCDebug(kqStorageLog) << "unreadable tags file:" << error;
    }
    return std::make_shared<KQTagsManager>();
}

bool KQStorage::saveDefaultTagsManager(const KQTagsManager* manager)
{
    if (manager == nullptr)
        return false;
    return writeFile(tagsFilepath(), KQKeyedArchiver::archivedDataWithRootObject(*manager));
}

// ---------------------------------------------------------------- Trash and Last Import

bool KQStorage::saveNodeContacts(const KQGroupTreeNode* node, const QString& path)
{
    const KQContactHelperList records = node->contacts();
    std::vector<const KQCoding*> objects;
    objects.reserve(records.size());
    for (const auto& record : records)
        objects.push_back(record.get());
    return writeFile(path, KQKeyedArchiver::archivedDataWithRootArray(objects));
}

std::shared_ptr<KQContainerRecyle> KQStorage::loadDefaultContainerRecyle() const
{
    auto recyle = std::make_shared<KQContainerRecyle>();
    const auto entries = decodeRootArray<KQContactRecyle>(
        readFile(recyleFilepath()), CNContact::archiveClasses() + QSet<QString>{QStringLiteral("KQContactRecyle")});
    recyle->addContactHelpers(KQContactHelperList(entries.begin(), entries.end()));
    return recyle;
}

bool KQStorage::saveDefaultContainerRecyle(const KQContainerRecyle* recyle)
{
    return recyle != nullptr && saveNodeContacts(recyle, recyleFilepath());
}

std::shared_ptr<KQContainerLatestImport> KQStorage::loadDefaultContainerLatestImport() const
{
    auto latestImport = std::make_shared<KQContainerLatestImport>();
    const auto records = decodeRootArray<KQContactHelper>(readFile(latestImportFilepath()),
                                                          CNContact::archiveClasses() +
                                                              QSet<QString>{QStringLiteral("KQContactHelper")});
    latestImport->addContactHelpers(records);
    return latestImport;
}

bool KQStorage::saveDefaultContainerLatestImport(const KQContainerLatestImport* latestImport)
{
    return latestImport != nullptr && saveNodeContacts(latestImport, latestImportFilepath());
}
