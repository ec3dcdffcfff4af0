// Backup of an account into a backup file (see store/KQContainerBackup.h for the layout).

#include "platform/KQAllocatorPolicy.h"
#include "platform/KQBinaryKeyedArchiver.h"
#include "platform/KQLog.h"
#include "store/KQContactBackupInfo.h"
#include "store/KQContactStoreHelper.h"
#include "store/KQContainerHelper.h"
#include "store/KQGroupHelper.h"
#include "store/KQStorage.h"

#include <QDir>
#include <QElapsedTimer>
#include <QtEndian>
#include <deque>
#include <future>
#include <unistd.h>

namespace {

// Contacts archived between two progress reports.
constexpr size_t kBatch = 512;

QByteArray littleEndian64(quint64 value)
{
    QByteArray bytes(8, Qt::Uninitialized);
    qToLittleEndian(value, bytes.data());
    return bytes;
}

// The archives of a batch of records back to back, with the length of each.
struct ArchivedBatch
{
    QByteArray bytes;
    std::vector<qint64> lengths;
    CNError error; // set when the store could not give the records' fields
};

// Archives records [begin, end) with every field. Records that hold all their fields (an edit copy
// included) are archived as they are; the others are archived from one store fetch made for this
// batch alone, so that a backup leaves the account's records as light as it found them.
ArchivedBatch archiveBatch(const KQContactHelperPtr* begin, const KQContactHelperPtr* end,
                           KQBinaryKeyedArchiver& archiver)
{
    ArchivedBatch batch;
    QStringList partial;
    for (const KQContactHelperPtr* record = begin; record != end; ++record) {
        if (!(*record)->allKeysLoaded())
            partial.append((*record)->identifier());
    }
    QHash<QString, CNContactPtr> fetched;
    if (!partial.isEmpty()) {
        CNContactFetchRequest request(KQContactStoreHelper::allKeys());
        request.setPredicate(CNContactPredicate::predicateForContactsWithIdentifiers(partial));
        request.setUnifyResults(false);
        fetched.reserve(partial.size());
        KQContactStoreHelper::shared()->contactStore()->enumerateContactsWithFetchRequest(
            request, &batch.error,
            [&fetched](const CNContactPtr& contact, bool*) { fetched.insert(contact->identifier(), contact); });
        if (batch.error.isError())
            return batch;
    }
    batch.lengths.reserve(static_cast<size_t>(end - begin));
    for (const KQContactHelperPtr* record = begin; record != end; ++record) {
        // A contact the store no longer has is archived as far as its record knows it.
        const CNContactPtr contact = fetched.value((*record)->identifier());
        const QByteArray archive = contact ? archiver.archiveRootObject(*KQContactHelper::create(contact, true))
                                           : archiver.archiveRootObject(**record);
        batch.bytes.append(archive);
        batch.lengths.push_back(archive.size());
    }
    return batch;
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
    group->syncLoadSubGroupsIfNecessary();
    QVariantMap info;
    info.insert(KQGroupInfo::nameKey, group->groupName());
    info.insert(KQGroupInfo::identifierKey, group->identifier());
    QStringList members;
    if (group->isContactsLoaded()) {
        for (const KQContactHelperPtr& member : group->contacts())
            members.append(member->identifier());
    } else if (const auto predicate = group->loadPredicateForContacts()) {
        // A group not shown yet gives only its members' identifiers, in the order its load would
        // list them; its records are not made for the backup.
        CNContactFetchRequest request({CNContactIdentifierKey});
        request.setPredicate(*predicate);
        request.setUnifyResults(false);
        CNError error;
        KQContactStoreHelper::shared()->contactStore()->enumerateContactsWithFetchRequest(
            request, &error, [&members](const CNContactPtr& contact, bool*) { members.append(contact->identifier()); });
        if (error.isError())
            group->reportLoadFailure(error, "contacts");
    }
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

    {
        // Written and let go before the contacts are archived.
        const QByteArray groupInfos = KQGroupInfo::archivedGroupInfos(backupContainerGroupInfos());
        if (hasLoadError()) {
            file.discard();
            return refused();
        }
        const char version[4] = {1, 0, 0, 0};
        if (!file.write(QByteArray(KQBackupFile::magic, KQBackupFile::magicSize)) ||
            !file.write(QByteArray(version, 4)) || !file.write(littleEndian64(0)) || !file.write(littleEndian64(0)) ||
            !file.write(littleEndian64(static_cast<quint64>(groupInfos.size()))) || !file.write(groupInfos))
            return failed();
    }

    // A backup must not leave the program larger than it found it: what was freed before it starts
    // goes back to the system first, and what the archiving threads freed goes back at the end.
    KQReleaseFreedMemory();

    // The account's records in list order. Two workers fetch and archive a batch each while this
    // thread writes the batch before them, in order, so the file is the same whatever finishes first.
    const KQContactHelperList records = currentContactHelpers();
    const size_t count = records.size();
    std::vector<KQContactBackupInfo> index;
    index.reserve(count);
    KQBinaryKeyedArchiver archivers[2];
    std::deque<std::future<ArchivedBatch>> pending;
    size_t next = 0;
    const auto startBatch = [&] {
        const size_t from = next;
        next = std::min(count, from + kBatch);
        // Batch k may use archiver k % 2: batch k + 2 starts only once batch k is done.
        KQBinaryKeyedArchiver* archiver = &archivers[(from / kBatch) % 2];
        const KQContactHelperPtr* base = records.data();
        pending.push_back(std::async(std::launch::async, [base, from, to = next, archiver] {
            return archiveBatch(base + from, base + to, *archiver);
        }));
    };
    while (next < count && pending.size() < 2)
        startBatch();
    bool stop = false;
    while (!pending.empty()) {
        const ArchivedBatch batch = pending.front().get();
        pending.pop_front();
        if (batch.error.isError()) {
            reportLoadFailure(batch.error, "contact details");
            file.discard();
            return refused();
        }
        if (next < count)
            startBatch();
        qint64 offset = file.position();
        for (const qint64 length : batch.lengths) {
            index.emplace_back(offset, length);
            offset += length;
        }
        if (!file.write(batch.bytes))
            return failed();
        // Every record is written whatever the answers; the last answer decides.
        stop = postProcessMessage(KQBackupMessage::Progress,
                                  static_cast<double>(index.size()) / static_cast<double>(count), handler);
    }

    KQReleaseFreedMemory();

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
