// Backup of an account into a backup file (see store/KQContainerBackup.h for the layout).

#include "platform/KQBinaryKeyedArchiver.h"
#include "platform/KQLog.h"
#include "store/KQContactBackupInfo.h"
#include "store/KQContainerHelper.h"
#include "store/KQGroupHelper.h"
#include "store/KQStorage.h"

#include <QDir>
#include <QElapsedTimer>
#include <QtEndian>
#include <future>
#include <unistd.h>

namespace {

// Contacts archived between two progress reports; the two halves of a batch are archived at once.
constexpr size_t kBatch = 512;

QByteArray littleEndian64(quint64 value)
{
    QByteArray bytes(8, Qt::Uninitialized);
    qToLittleEndian(value, bytes.data());
    return bytes;
}

// Brings every field of the account's records in, with one store fetch.
void loadAllKeys(KQContainerHelper& account)
{
    account.syncLoadAllKeysOfContacts();
}

// Archives records [begin, end) into archives.
void archiveRecords(const KQContactHelperPtr* begin, const KQContactHelperPtr* end, QByteArray* archives,
                    KQBinaryKeyedArchiver& archiver)
{
    for (const KQContactHelperPtr* record = begin; record != end; ++record, ++archives)
        *archives = archiver.archiveRootObject(**record);
}

// The backup file being written: every write is checked, and the first failure is kept.
class BackupFileWriter
{
public:
    explicit BackupFileWriter(const QString& path) : m_file(path) {}

    bool open()
    {
        // Opened for update and cut to nothing: an earlier file of the same name is rewritten.
        if (!m_file.open(QIODevice::ReadWrite | QIODevice::Truncate))
            return fail(m_file.errorString());
        return true;
    }

    bool write(const QByteArray& data)
    {
        if (!m_error.isEmpty())
            return false;
        if (m_file.write(data) != data.size())
            return fail(m_file.errorString());
        m_position += data.size();
        return true;
    }

    bool patchIndex(qint64 offset, qint64 length)
    {
        if (!m_error.isEmpty())
            return false;
        if (!m_file.seek(KQBackupFile::indexOffsetField) ||
            m_file.write(littleEndian64(static_cast<quint64>(offset)) + littleEndian64(static_cast<quint64>(length))) !=
                16)
            return fail(m_file.errorString());
        return true;
    }

    bool flushToDisk()
    {
        if (!m_error.isEmpty())
            return false;
        if (!m_file.flush() || ::fsync(m_file.handle()) != 0 || m_file.error() != QFileDevice::NoError)
            return fail(m_file.errorString());
        m_file.close();
        return true;
    }

    // Closes and deletes the file.
    void discard()
    {
        m_file.close();
        QFile::remove(m_file.fileName());
    }

    void close() { m_file.close(); }

    qint64 position() const { return m_position; }
    const QString& error() const { return m_error; }

private:
    bool fail(const QString& why)
    {
        if (m_error.isEmpty())
            m_error = why.isEmpty() ? QStringLiteral("write failed") : why;
        return false;
    }

    QFile m_file;
    qint64 m_position = 0;
    QString m_error;
};

} // namespace

QVariantList KQContainerHelper::backupContainerGroupInfos()
{
    QVariantList infos;
    for (const KQGroupTreeNodePtr& group : subGroups())
        infos.append(backupContainerGroupInfo(group));
    return infos;
}

QVariantMap KQContainerHelper::backupContainerGroupInfo(const KQGroupTreeNodePtr& group)
{
    group->syncLoadContactsIfNecessary();
    group->syncLoadSubGroupsIfNecessary();
    QVariantMap info;
    info.insert(KQGroupInfo::nameKey, group->groupName());
    info.insert(KQGroupInfo::identifierKey, group->identifier());
    QStringList members;
    for (const KQContactHelperPtr& member : group->contacts())
        members.append(member->identifier());
    if (!members.isEmpty())
        info.insert(KQGroupInfo::contactsKey, members);
    QVariantList subInfos;
    for (const KQGroupTreeNodePtr& sub : group->subGroups())
        subInfos.append(backupContainerGroupInfo(sub));
    if (!subInfos.isEmpty())
        info.insert(KQGroupInfo::subGroupsKey, subInfos);
    return info;
}

QString KQContainerHelper::makeupBackupFilename()
{
    return QDateTime::currentDateTime().toString(KQBackupFile::namePattern) + QLatin1Char('.') +
           KQBackupFile::extension;
}

KQContainerBackupPtr KQContainerHelper::createBackupFileHandlerAtPath(const QString& folder)
{
    const QString path = QDir(folder).filePath(makeupBackupFilename());
    if (!QFileInfo::exists(path)) {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly)) {
            KQLog(QStringLiteral("error:cannot create backup file %1: %2").arg(path, file.errorString()));
            return nullptr;
        }
    }
    return KQContainerBackup::initWithBackupFile(path);
}

bool KQContainerHelper::postProcessMessage(qint64 message, double progress, const KQBackupProcessHandler& handler)
{
    if (!handler)
        return false;
    bool stop = false;
    KQDispatch::mainSync([&] { handler(message, &stop, progress); });
    return stop;
}

void KQContainerHelper::backupToPath(const QString& folder, KQBackupProcessHandler handler)
{
    auto self = std::static_pointer_cast<KQContainerHelper>(shared_from_this());
    KQDispatch::globalAsync([self, folder, handler = std::move(handler)] {
        if (postProcessMessage(KQBackupMessage::Start, 0, handler)) {
            postProcessMessage(KQBackupMessage::Cancelled, 0, handler);
            return;
        }
        self->backupToPathInternal(folder, handler);
    });
}

KQContainerBackupPtr KQContainerHelper::backupToPathInternal(const QString& folder,
                                                             const KQBackupProcessHandler& handler)
{
    KQContactBackupInfo::registerArchiveClass();
    syncLoadContactsIfNecessary();
    const auto refused = [&]() -> KQContainerBackupPtr {
        KQLog(QStringLiteral("error:backup of \"%1\" refused: %2").arg(groupName(), loadErrorMessage()));
        postProcessMessage(KQBackupMessage::Failed, 0, handler);
        return nullptr;
    };
    // A backup of part of the account would later restore as the whole of it.
    if (hasLoadError())
        return refused();
    const KQContainerBackupPtr backup = createBackupFileHandlerAtPath(folder);
    if (!backup) {
        postProcessMessage(KQBackupMessage::Failed, 0, handler);
        return nullptr;
    }
    BackupFileWriter file(backup->backupFile());
    const auto failed = [&]() -> KQContainerBackupPtr {
        KQLog(QStringLiteral("error:backup of \"%1\" failed, %2 removed: %3")
                  .arg(groupName(), backup->backupFile(), file.error()));
        file.discard();
        postProcessMessage(KQBackupMessage::Failed, 0, handler);
        return nullptr;
    };
    if (!file.open())
        return failed();

    QByteArray header(KQBackupFile::magic, KQBackupFile::magicSize);
    const char version[4] = {1, 0, 0, 0};
    header.append(version, 4);
    header.append(littleEndian64(0));
    header.append(littleEndian64(0));
    const QByteArray groupInfos = KQGroupInfo::archivedGroupInfos(backupContainerGroupInfos());
    header.append(littleEndian64(static_cast<quint64>(groupInfos.size())));
    header.append(groupInfos);
    if (!file.write(header))
        return failed();

    // The account's records in list order; each half of a batch is archived on its own core, and the
    // archives are written in order.
    loadAllKeys(*this);
    if (hasLoadError()) {
        file.discard();
        return refused();
    }
    const KQContactHelperList records = currentContactHelpers();
    const size_t count = records.size();
    std::vector<KQContactBackupInfo> index;
    index.reserve(count);
    KQBinaryKeyedArchiver archivers[2];
    std::vector<QByteArray> archives;
    bool stop = false;
    for (size_t start = 0; start < count; start += kBatch) {
        const size_t end = std::min(count, start + kBatch);
        archives.assign(end - start, QByteArray());
        const size_t middle = start + (end - start) / 2;
        const KQContactHelperPtr* base = records.data();
        auto second = std::async(std::launch::async, [&] {
            archiveRecords(base + middle, base + end, archives.data() + (middle - start), archivers[1]);
        });
        archiveRecords(base + start, base + middle, archives.data(), archivers[0]);
        second.get();
        for (const QByteArray& archive : archives) {
            index.emplace_back(file.position(), archive.size());
            if (!file.write(archive))
                return failed();
        }
        // Every record is written whatever the answers; the last answer decides.
        stop = postProcessMessage(KQBackupMessage::Progress, static_cast<double>(end) / static_cast<double>(count),
                                  handler);
    }
    archives.clear();

    if (stop) {
        file.close();
        KQLog(QStringLiteral("info:backup of \"%1\" cancelled; %2 left incomplete")
                  .arg(groupName(), backup->backupFile()));
        postProcessMessage(KQBackupMessage::Cancelled, 0, handler);
        return nullptr;
    }

    std::vector<const KQCoding*> entries;
    entries.reserve(index.size());
    for (const KQContactBackupInfo& entry : index)
        entries.push_back(&entry);
    const QByteArray indexArchive = KQBinaryKeyedArchiver::archivedDataWithRootArray(entries);
    const qint64 indexOffset = file.position();
    if (!file.write(indexArchive) || !file.write(littleEndian64(static_cast<quint64>(indexArchive.size()))) ||
        !file.patchIndex(indexOffset, indexArchive.size()) || !file.flushToDisk())
        return failed();

    if (!KQStorage::sharedStorage()->addBackup(backup, identifier()))
        KQLog(QStringLiteral("error:backup %1 could not be entered in the catalogue").arg(backup->backupFile()));
    KQLog(QStringLiteral("info:backup of \"%1\": %2 contacts in %3")
              .arg(groupName())
              .arg(count)
              .arg(backup->backupFile()));
    postProcessMessage(KQBackupMessage::Finished, 0, handler);
    return backup;
}
