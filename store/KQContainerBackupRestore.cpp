// Restore of an account from a backup file (see store/KQContainerBackup.h for the layout).
//
// Nothing in the store changes unless the whole file reads and every contact archive of its
// index decodes: a restore never deletes a contact it cannot put back.

#include "platform/KQAllocatorPolicy.h"
#include "platform/KQLog.h"
#include "store/KQContactBackupInfo.h"
#include "store/KQContactStoreHelper.h"
#include "store/KQContainerHelper.h"
#include "store/KQGroupHelper.h"
#include "store/KQStorage.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSet>
#include <QThread>
#include <QtEndian>
#include <algorithm>
#include <atomic>
#include <future>
#include <limits>
#include <utility>

namespace {

// Contacts read, decoded or written between two progress reports.
constexpr size_t kBatch = 512;
// Records updated in one hop to the main thread (a few milliseconds).
constexpr size_t kUpdateSlice = 64;
constexpr qint64 kUpdateSliceMs = 8;

void logRestore(const QString& line)
{
    KQLog(QStringLiteral("error:restore failed: ") + line);
}

// The record of one contact archive; none with *why set when it does not decode to one.
KQContactHelperPtr decodeContactArchive(const QByteArray& data, QString* why)
{
    static const QSet<QString> classes = [] {
        KQContactHelper::registerArchiveClass();
        return CNContact::archiveClasses() + QSet<QString>{QStringLiteral("KQContactHelper")};
    }();
    KQKeyedUnarchiver coder(data, classes);
    const KQCodingPtr root = coder.decodeRootObject();
    if (coder.failed()) {
        *why = coder.error().description();
        return nullptr;
    }
    auto record = std::dynamic_pointer_cast<KQContactHelper>(root);
    if (!record || !record->contact() || record->identifier().isEmpty()) {
        *why = QStringLiteral("the archive holds no contact record");
        return nullptr;
    }
    return record;
}

// The index entries of an archive; none with *why set when it does not decode.
std::optional<std::vector<KQContactBackupInfoPtr>> decodeIndex(const QByteArray& data, QString* why)
{
    KQContactBackupInfo::registerArchiveClass();
    const QSet<QString> classes{KQContactBackupInfo::className()};
    KQKeyedUnarchiver coder(data, classes);
    const std::vector<KQCodingPtr> objects = coder.decodeArrayOfClasses(classes, QStringLiteral("root"));
    if (coder.failed() || coder.valueKindForKey(QStringLiteral("root")) != KQArchiveValueKind::Object) {
        *why = coder.failed() ? coder.error().description() : QStringLiteral("no array of index entries");
        return std::nullopt;
    }
    std::vector<KQContactBackupInfoPtr> entries;
    entries.reserve(objects.size());
    for (const KQCodingPtr& object : objects) {
        auto entry = std::dynamic_pointer_cast<KQContactBackupInfo>(object);
        if (!entry) {
            *why = QStringLiteral("an index entry of a foreign class");
            return std::nullopt;
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

bool readExactly(QFile& file, qint64 offset, qint64 length, QByteArray& out)
{
    if (!file.seek(offset))
        return false;
    out = file.read(length);
    return out.size() == length;
}

// Reads the archives of index entries [begin, end) into archives. Archives that lie back to back, as
// a backup writes them, are read with one read and cut from it; scattered ones one by one.
bool readArchives(QFile& file, const KQContactBackupInfoPtr* begin, const KQContactBackupInfoPtr* end,
                  QByteArray* archives)
{
    qint64 first = std::numeric_limits<qint64>::max();
    qint64 last = 0;
    qint64 total = 0;
    for (const KQContactBackupInfoPtr* entry = begin; entry != end; ++entry) {
        first = std::min(first, (*entry)->offset());
        last = std::max(last, (*entry)->offset() + (*entry)->length());
        total += (*entry)->length();
    }
    QByteArray span;
    const bool together = begin != end && last - first <= 2 * total + 65536;
    if (together && !readExactly(file, first, last - first, span)) {
        logRestore(QStringLiteral("the contact archives at %1 cannot be read").arg(first));
        return false;
    }
    for (const KQContactBackupInfoPtr* entry = begin; entry != end; ++entry, ++archives) {
        if (together) {
            *archives = span.mid((*entry)->offset() - first, (*entry)->length());
        } else if (!readExactly(file, (*entry)->offset(), (*entry)->length(), *archives)) {
            logRestore(QStringLiteral("the contact archive at %1 cannot be read").arg((*entry)->offset()));
            return false;
        }
    }
    return true;
}

// Each group of the tree, sub-groups included, by identifier.
void collectGroupIdentifiers(const QVariantList& infos, QSet<QString>& identifiers)
{
    for (const QVariant& info : infos) {
        const QVariantMap map = info.toMap();
        identifiers.insert(map.value(KQGroupInfo::identifierKey).toString());
        collectGroupIdentifiers(map.value(KQGroupInfo::subGroupsKey).toList(), identifiers);
    }
}

int countGroupsNotIn(const KQGroupTreeNodeList& groups, const QSet<QString>& identifiers)
{
    int count = 0;
    for (const KQGroupTreeNodePtr& group : groups) {
        if (!identifiers.contains(group->identifier()))
            ++count;
        count += countGroupsNotIn(group->subGroups(), identifiers);
    }
    return count;
}

// Whether writing restored into base would change it: the same copy of fields the update makes.
bool restoreChanges(const CNContact& restored, const CNContact& base)
{
    const CNMutableContactPtr edited = base.mutableCopy();
    KQContactStoreHelper::duplicateContact(restored, *edited);
    return !(*edited == base);
}

// The backed-up records [begin, end) whose current record must be rewritten: those that differ
// from the contact the account or, for records it holds in part, the store has, and those being
// edited. The comparison reads the store once for the batch and never fills the account's records.
std::optional<KQContactHelperList> changedRecords(const KQContainerHelper& account, const KQContactHelperPtr* begin,
                                                  const KQContactHelperPtr* end, CNError* error)
{
    KQContactHelperList changed;
    std::vector<std::pair<const KQContactHelperPtr*, KQContactHelperPtr>> pairs;
    QStringList partial;
    for (const KQContactHelperPtr* restored = begin; restored != end; ++restored) {
        KQContactHelperPtr current = account.contactHelperFromContainerWithIdentifier((*restored)->identifier());
        if (!current)
            continue;
        if (current->mutableContact()) {
            changed.push_back(*restored);
            continue;
        }
        if (!current->allKeysLoaded())
            partial.append(current->identifier());
        pairs.emplace_back(restored, std::move(current));
    }
    QHash<QString, CNContactPtr> fetched;
    if (!partial.isEmpty()) {
        CNContactFetchRequest request(KQContactStoreHelper::allKeys());
        request.setPredicate(CNContactPredicate::predicateForContactsWithIdentifiers(partial));
        request.setUnifyResults(false);
        fetched.reserve(partial.size());
        KQContactStoreHelper::shared()->contactStore()->enumerateContactsWithFetchRequest(
            request, error,
            [&fetched](const CNContactPtr& contact, bool*) { fetched.insert(contact->identifier(), contact); });
        if (error->isError())
            return std::nullopt;
    }
    for (const auto& [restored, current] : pairs) {
        const CNContactPtr base = current->allKeysLoaded() ? current->contact() : fetched.value(current->identifier());
        if (!base || restoreChanges(*(*restored)->effectiveContact(), *base))
            changed.push_back(*restored);
    }
    return changed;
}

// Loads the members of every group under node, two groups at a time, before the tree is rebuilt.
void loadGroupMembers(const KQGroupTreeNodePtr& node)
{
    std::vector<KQGroupTreeNodePtr> groups;
    std::function<void(const KQGroupTreeNodePtr&)> collect = [&](const KQGroupTreeNodePtr& parent) {
        for (const KQGroupTreeNodePtr& group : parent->subGroups()) {
            groups.push_back(group);
            collect(group);
        }
    };
    collect(node);
    std::atomic<size_t> next{0};
    const auto load = [&groups, &next] {
        for (size_t i = next++; i < groups.size(); i = next++)
            groups[i]->syncLoadContactsIfNecessary();
    };
    auto other = std::async(std::launch::async, load);
    load();
    other.get();
}

} // namespace

// ---------------------------------------------------------------- reading

void KQContainerHelper::restoreContainerFromBackup(const KQContainerBackupPtr& backup, KQBackupProcessHandler handler,
                                                   KQRestoreConfirmHandler confirm, QString safetyFolder)
{
    auto self = std::static_pointer_cast<KQContainerHelper>(shared_from_this());
    KQDispatch::globalAsync([self, backup, handler = std::move(handler), confirm = std::move(confirm),
                             safetyFolder = std::move(safetyFolder)] {
        self->restoreContainerFromBackupInternal(backup, handler, confirm, safetyFolder);
    });
}

bool KQContainerHelper::restoreContainerFromBackupInternal(const KQContainerBackupPtr& backup,
                                                           const KQBackupProcessHandler& handler,
                                                           const KQRestoreConfirmHandler& confirm,
                                                           const QString& safetyFolder)
{
    if (postProcessMessage(KQBackupMessage::Start, 0, handler)) {
        postProcessMessage(KQBackupMessage::Cancelled, 0, handler);
        return false;
    }
    const auto failed = [&handler](const QString& why) {
        logRestore(why);
        postProcessMessage(KQBackupMessage::Failed, 0, handler);
        return false;
    };
    if (!backup)
        return failed(QStringLiteral("no backup given"));
    QFile file(backup->backupFile());
    if (!file.open(QIODevice::ReadOnly))
        return failed(QStringLiteral("cannot open %1: %2").arg(backup->backupFile(), file.errorString()));
    if (file.read(KQBackupFile::magicSize) != QByteArray(KQBackupFile::magic, KQBackupFile::magicSize))
        return failed(QStringLiteral("%1 is not a backup file").arg(backup->backupFile()));
    const QByteArray version = file.read(4);
    if (version.size() != 4)
        return failed(QStringLiteral("%1 ends inside its header").arg(backup->backupFile()));
    if (version.at(0) != 1) {
        const auto byte = [&version](int i) { return static_cast<int>(static_cast<uchar>(version.at(i))); };
        KQLog(QString::asprintf("Unknown backup file version(%d.%d.%d.%d)", byte(0), byte(1), byte(2), byte(3)));
        postProcessMessage(KQBackupMessage::Failed, 0, handler);
        return false;
    }
    KQRestoreOptions options{confirm, safetyFolder};
    const bool done = restoreVersion1FromFileHandle(file, handler, &options);
    // The comparison and the save made and dropped far more than the account keeps.
    KQReleaseFreedMemory();
    if (done)
        postProcessMessage(KQBackupMessage::Finished, 0, handler);
    else
        postProcessMessage(options.declined ? KQBackupMessage::Cancelled : KQBackupMessage::Failed, 0, handler);
    return done;
}

bool KQContainerHelper::restoreVersion1FromFileHandle(QFile& file, const KQBackupProcessHandler& handler,
                                                      KQRestoreOptions* options)
{
    const qint64 fileSize = file.size();
    const QByteArray fields = file.read(24);
    if (fields.size() != 24) {
        logRestore(QStringLiteral("the file ends inside its header"));
        return false;
    }
    const auto field = [&fields](int i) { return qFromLittleEndian<quint64>(fields.constData() + 8 * i); };
    const quint64 indexOffset = field(0);
    const quint64 indexLength = field(1);
    const quint64 groupLength = field(2);
    const auto size = static_cast<quint64>(fileSize);
    const quint64 contactsStart = KQBackupFile::groupInfoOffset + groupLength;

    std::optional<QVariantList> groupInfos;
    if (groupLength > size - std::min<quint64>(size, KQBackupFile::groupInfoOffset)) {
        logRestore(QStringLiteral("the group archive (%1 bytes) runs past the end of the file").arg(groupLength));
        return false;
    }
    if (groupLength != 0) {
        QString why;
        groupInfos = KQGroupInfo::groupInfosFromData(file.read(static_cast<qint64>(groupLength)), &why);
        if (!groupInfos) {
            logRestore(QStringLiteral("the group archive does not decode: ") + why);
            return false;
        }
    }

    if (indexOffset == 0 || indexLength == 0) {
        logRestore(QStringLiteral("the backup was never finished (it has no index)"));
        return false;
    }
    if (indexOffset < contactsStart || indexOffset > size || indexLength > size - indexOffset) {
        logRestore(QStringLiteral("the index (%1 bytes at %2) lies outside the file of %3 bytes")
                       .arg(indexLength)
                       .arg(indexOffset)
                       .arg(size));
        return false;
    }
    QByteArray indexData;
    if (!readExactly(file, static_cast<qint64>(indexOffset), static_cast<qint64>(indexLength), indexData)) {
        logRestore(QStringLiteral("the index cannot be read in full"));
        return false;
    }
    QString why;
    const auto index = decodeIndex(indexData, &why);
    if (!index) {
        logRestore(QStringLiteral("the index does not decode: ") + why);
        return false;
    }

    // Every archive must lie between the group archive and the index, none overlapping another.
    std::vector<std::pair<qint64, qint64>> spans;
    spans.reserve(index->size());
    for (const KQContactBackupInfoPtr& entry : *index) {
        if (entry->offset() < static_cast<qint64>(contactsStart) || entry->length() <= 0 ||
            entry->length() > static_cast<qint64>(indexOffset) - entry->offset()) {
            logRestore(QStringLiteral("an index entry (%1 bytes at %2) points outside the contact archives")
                           .arg(entry->length())
                           .arg(entry->offset()));
            return false;
        }
        spans.emplace_back(entry->offset(), entry->length());
    }
    std::sort(spans.begin(), spans.end());
    for (size_t i = 1; i < spans.size(); ++i) {
        if (spans[i].first < spans[i - 1].first + spans[i - 1].second) {
            logRestore(
                QStringLiteral("an index entry at %1 points into the middle of another archive").arg(spans[i].first));
            return false;
        }
    }

    // Read a batch in file order, decode its two halves at once.
    const size_t count = index->size();
    KQContactHelperList restored(count);
    std::vector<QByteArray> archives;
    std::vector<QString> errors(count);
    for (size_t start = 0; start < count; start += kBatch) {
        const size_t end = std::min(count, start + kBatch);
        archives.assign(end - start, QByteArray());
        if (!readArchives(file, index->data() + start, index->data() + end, archives.data()))
            return false;
        const auto decode = [&](size_t from, size_t to) {
            for (size_t i = from; i < to; ++i)
                restored[i] = decodeContactArchive(archives[i - start], &errors[i]);
        };
        const size_t middle = start + (end - start) / 2;
        auto second = std::async(std::launch::async, decode, middle, end);
        decode(start, middle);
        second.get();
        for (size_t i = start; i < end; ++i) {
            if (!restored[i]) {
                logRestore(QStringLiteral("the contact archive at %1 does not decode: %2")
                               .arg((*index)[i]->offset())
                               .arg(errors[i]));
                return false;
            }
        }
        if (postProcessMessage(KQBackupMessage::Progress, static_cast<double>(end) / (2.0 * static_cast<double>(count)),
                               handler)) {
            logRestore(QStringLiteral("stopped while reading"));
            return false;
        }
    }
    file.close();
    return restoreFromContacts(restored, groupInfos, handler, options);
}

// ---------------------------------------------------------------- rebuilding

bool KQContainerHelper::restoreFromContacts(const KQContactHelperList& contacts,
                                            const std::optional<QVariantList>& groupInfos,
                                            const KQBackupProcessHandler& handler, KQRestoreOptions* options)
{
    // R1
    syncLoadContactsIfNecessary();
    // With part of the account unread, contacts that are there would be taken for missing ones.
    if (hasLoadError()) {
        logRestore(QStringLiteral("the account's contacts could not all be read, nothing was changed: %1")
                       .arg(loadErrorMessage()));
        return false;
    }
    if (postProcessMessage(KQBackupMessage::Progress, 0.55, handler)) {
        logRestore(QStringLiteral("stopped"));
        return false;
    }

    // R2: split the current records (the map is guarded for readers off the main thread).
    QHash<QString, KQContactHelperPtr> restoredById;
    restoredById.reserve(static_cast<qsizetype>(contacts.size()));
    for (const KQContactHelperPtr& record : contacts)
        restoredById.insert(record->identifier(), record);
    KQContactHelperList updates;
    KQContactHelperList deletes;
    QSet<QString> updated;
    for (const KQContactHelperPtr& current : currentContactHelpers()) {
        if (const KQContactHelperPtr restored = restoredById.value(current->identifier())) {
            updates.push_back(restored);
            updated.insert(restored->identifier());
        } else {
            deletes.push_back(current);
        }
    }

    // R3: new contacts for the backed-up ones that are gone.
    KQContactStoreHelper* store = KQContactStoreHelper::shared();
    std::vector<std::pair<QString, CNMutableContactPtr>> newContacts;
    QHash<QString, QString> newContactsDic;
    QSet<QString> seen;
    for (const KQContactHelperPtr& record : contacts) {
        if (updated.contains(record->identifier()) || seen.contains(record->identifier()))
            continue;
        seen.insert(record->identifier());
        CNMutableContactPtr copy = store->duplicateContact(*record->effectiveContact());
        newContactsDic.insert(record->identifier(), copy->identifier());
        newContacts.emplace_back(record->identifier(), std::move(copy));
    }

    // What is about to happen is shown first, and the account as it stands is kept.
    const QVariantList infos = groupInfos.value_or(QVariantList());
    if (options && options->confirm) {
        QSet<QString> backedUpGroups;
        collectGroupIdentifiers(infos, backedUpGroups);
        KQRestoreSummary summary;
        summary.contactsAdded = static_cast<int>(newContacts.size());
        summary.contactsUpdated = static_cast<int>(updates.size());
        summary.contactsDeleted = static_cast<int>(deletes.size());
        summary.groupsInBackup = KQGroupInfo::countGroups(infos);
        summary.groupsRemoved = countGroupsNotIn(subGroups(), backedUpGroups);
        bool accepted = false;
        KQDispatch::mainSync([&] { accepted = options->confirm(summary); });
        if (!accepted) {
            options->declined = true;
            KQLog(QStringLiteral("info:restore of \"%1\" declined").arg(groupName()));
            return false;
        }
    }
    if (options && !options->safetyFolder.isEmpty()) {
        // The safety backup must not take the name of an existing file (such as the backup
        // being restored, when it was made within the same second).
        while (QFileInfo::exists(QDir(options->safetyFolder).filePath(makeupBackupFilename())))
            QThread::msleep(100);
        const KQContainerBackupPtr safety = backupToPathInternal(options->safetyFolder, nullptr);
        if (!safety) {
            logRestore(QStringLiteral("the backup of the account as it stands could not be made"));
            return false;
        }
        KQLog(
            QStringLiteral("info:account \"%1\" kept in %2 before the restore").arg(groupName(), safety->backupFile()));
    }

    // R4
    if (postProcessMessage(KQBackupMessage::Progress, 0.6, handler)) {
        logRestore(QStringLiteral("stopped"));
        return false;
    }

    // R5, R6
    CNSaveRequest groupRequest;
    KQLog(QStringLiteral("info:restore of \"%1\": %2 contacts to add, %3 to update, %4 to delete")
              .arg(groupName())
              .arg(newContacts.size())
              .arg(updates.size())
              .arg(deletes.size()));
    if (!restoreAddContactsDic(newContacts, updates, deletes, handler)) {
        logRestore(QStringLiteral("stopped while writing contacts"));
        return false;
    }

    // R7, R8
    KQLog(QStringLiteral("info:restore of \"%1\": groups").arg(groupName()));
    auto self = std::static_pointer_cast<KQContainerHelper>(shared_from_this());
    loadGroupMembers(self);
    restoreGroupTreeNode(self, QStringList(), infos, groupRequest, newContactsDic);
    KQLog(QStringLiteral("info:restore of \"%1\": groups done").arg(groupName()));
    if (!groupRequest.isEmpty())
        store->executeSaveRequest(groupRequest, QStringLiteral("error:restore error execute save request!"));
    KQLog(QStringLiteral("info:restore of \"%1\" executed").arg(groupName()));
    postProcessMessage(KQBackupMessage::Progress, 1.0, handler);
    return true;
}

bool KQContainerHelper::restoreAddContactsDic(const std::vector<std::pair<QString, CNMutableContactPtr>>& newContacts,
                                              const KQContactHelperList& updateContacts,
                                              const KQContactHelperList& deleteContacts,
                                              const KQBackupProcessHandler& handler)
{
    const size_t total = newContacts.size() + updateContacts.size() + deleteContacts.size();
    if (total == 0)
        return !postProcessMessage(KQBackupMessage::Progress, 0.9, handler);
    KQContactStoreHelper* store = KQContactStoreHelper::shared();
    size_t k = 0;
    // Progress after every batch of contacts; false when the answer is stop.
    const auto step = [&]() {
        ++k;
        if (k % kBatch != 0 && k != total)
            return true;
        return !postProcessMessage(KQBackupMessage::Progress,
                                   0.6 + 0.3 * static_cast<double>(k) / static_cast<double>(total), handler);
    };

    CNSaveRequest addRequest;
    KQContactHelperList added;
    for (const auto& [oldIdentifier, contact] : newContacts) {
        storeAddContact(contact, addRequest);
        added.push_back(KQContactHelper::create(contact, true));
        if (added.size() == kBatch) {
            addContactHelpers(added); // files them in the account's map too
            added.clear();
        }
        if (!step())
            return false;
    }
    addContactHelpers(added);

    // Only the records that change are rewritten. Batches are compared on two cores; the changed
    // ones get every field in one fetch, then the copies into them are made on the main thread in
    // short slices.
    KQContactHelperList changed;
    for (size_t start = 0; start < updateContacts.size(); start += 2 * kBatch) {
        const size_t end = std::min(updateContacts.size(), start + 2 * kBatch);
        const size_t middle = std::min(end, start + kBatch);
        const KQContactHelperPtr* base = updateContacts.data();
        CNError errors[2];
        auto second = std::async(std::launch::async,
                                 [&] { return changedRecords(*this, base + middle, base + end, &errors[1]); });
        const auto first = changedRecords(*this, base + start, base + middle, &errors[0]);
        const auto rest = second.get();
        if (!first || !rest) {
            logRestore(QStringLiteral("the account's contacts could not be read: %1")
                           .arg((errors[0].isError() ? errors[0] : errors[1]).localizedDescription));
            return false;
        }
        changed.insert(changed.end(), first->begin(), first->end());
        changed.insert(changed.end(), rest->begin(), rest->end());
        for (size_t i = start; i < end; ++i) {
            if (!step())
                return false;
        }
    }
    KQContactHelperList currents;
    currents.reserve(changed.size());
    for (const KQContactHelperPtr& restored : changed) {
        if (KQContactHelperPtr current = contactHelperFromContainerWithIdentifier(restored->identifier()))
            currents.push_back(std::move(current));
    }
    KQContactHelper::syncLoadAllKeysOfContactHelpers(currents, std::nullopt);
    CNSaveRequest updateRequest;
    for (size_t start = 0; start < changed.size();) {
        // Each hop copies for at most a few milliseconds, however slow the machine is.
        size_t end = start;
        KQDispatch::mainSync([&] {
            QElapsedTimer clock;
            clock.start();
            const size_t last = std::min(changed.size(), start + kUpdateSlice);
            do {
                storeUpdateContactHelper(changed[end], updateRequest);
                ++end;
            } while (end < last && clock.elapsed() < kUpdateSliceMs);
        });
        start = end;
    }

    CNSaveRequest deleteRequest;
    for (const KQContactHelperPtr& current : deleteContacts) {
        storeDeleteContactHelper(current, deleteRequest);
        if (!step())
            return false;
    }
    if (!deleteRequest.isEmpty()) {
        store->beginDiscardStoreDidChangedNotify();
        const bool deleted =
            store->executeSaveRequest(deleteRequest, QStringLiteral("error:restore error  remove Contact"));
        store->endDiscardStoreDidChangedNotify();
        if (deleted) {
            // Only what the store has deleted leaves the account.
            removeContactHelpers(deleteContacts);
            for (const KQContactHelperPtr& current : deleteContacts)
                removeContactHelperFromMap(current->identifier());
        }
    }
    if (!addRequest.isEmpty())
        store->executeSaveRequest(addRequest, QStringLiteral("error:restore error  add contact"));
    if (!updateRequest.isEmpty())
        store->executeSaveRequest(updateRequest, QStringLiteral("error:restore error  update Contact"));
    return true;
}

void KQContainerHelper::storeAddContact(const CNMutableContactPtr& contact, CNSaveRequest& request)
{
    request.addContact(*contact, identifier());
}

void KQContainerHelper::storeUpdateContactHelper(const KQContactHelperPtr& restored, CNSaveRequest& request)
{
    const KQContactHelperPtr current = contactHelperFromContainerWithIdentifier(restored->identifier());
    if (!current)
        return;
    current->copyFromContact(*restored->effectiveContact());
    const CNMutableContactPtr edited = current->mutableContact();
    // A contact that reads the same as its backed-up copy is not written again.
    if (edited && !(current->contact() && *edited == *current->contact()))
        request.updateContact(*edited);
}

void KQContainerHelper::storeDeleteContactHelper(const KQContactHelperPtr& current, CNSaveRequest& request)
{
    if (const CNMutableContactPtr edited = current->mutableContact())
        request.deleteContact(*edited);
    else if (const CNContactPtr contact = current->contact())
        request.deleteContact(*contact->mutableCopy());
}

// ---------------------------------------------------------------- groups

void KQContainerHelper::restoreGroupTreeNode(const KQGroupTreeNodePtr& node, const QVariantList& infos,
                                             CNSaveRequest& request, const QHash<QString, QString>& newContactsDic)
{
    QSet<QString> named;
    for (const QVariant& info : infos)
        named.insert(info.toMap().value(KQGroupInfo::identifierKey).toString());
    for (const KQGroupTreeNodePtr& group : node->subGroups()) {
        if (named.contains(group->identifier()))
            continue;
        storeRemoveGroupHelper(group, request);
        KQDispatch::mainSync([&] { node->removeSubGroup(group); });
    }

    KQContactStoreHelper* store = KQContactStoreHelper::shared();
    auto* parentGroup = qobject_cast<KQGroupHelper*>(node.get());
    const bool isAccount = node.get() == this;
    for (const QVariant& value : infos) {
        const QVariantMap info = value.toMap();
        const QString name = info.value(KQGroupInfo::nameKey).toString();
        KQGroupTreeNodePtr group = node->subGroupWithIdentifier(info.value(KQGroupInfo::identifierKey).toString());
        if (group) {
            if (group->groupName() != name) {
                KQDispatch::mainSync([&] { group->setGroupName(name); });
                if (auto* helper = qobject_cast<KQGroupHelper*>(group.get()))
                    helper->updateGroupToStoreWithRequest(request);
            }
        } else {
            if (!isAccount && parentGroup == nullptr)
                continue;
            const CNMutableGroupPtr created = store->newGroupWithName(name);
            // A sub-group belongs to the account as well as to its parent.
            request.addGroup(*created, identifier());
            if (parentGroup != nullptr)
                request.addSubgroup(*created, parentGroup->group());
            group = std::make_shared<KQGroupHelper>(*created);
            KQDispatch::mainSync([&] { node->addSubGroup(group); });
        }
        restoreGroupTreeNode(group, info.value(KQGroupInfo::contactsKey).toStringList(),
                             info.value(KQGroupInfo::subGroupsKey).toList(), request, newContactsDic);
    }
}

bool KQContainerHelper::restoreGroupTreeNode(const KQGroupTreeNodePtr& node, const QStringList& contactsIds,
                                             const QVariantList& subGroupInfos, CNSaveRequest& request,
                                             const QHash<QString, QString>& newContactsDic)
{
    restoreGroupTreeNode(node, subGroupInfos, request, newContactsDic);
    if (qobject_cast<KQGroupHelper*>(node.get()) != nullptr && !contactsIds.isEmpty())
        restoreGroup(node, contactsIds, request, newContactsDic);
    return true;
}

void KQContainerHelper::restoreGroup(const KQGroupTreeNodePtr& group, const QStringList& contactIds,
                                     CNSaveRequest& request, const QHash<QString, QString>& newContactsDic)
{
    auto* helper = qobject_cast<KQGroupHelper*>(group.get());
    if (helper == nullptr)
        return;
    group->syncLoadContactsIfNecessary();
    const QSet<QString> wanted(contactIds.cbegin(), contactIds.cend());
    QSet<QString> kept;
    QHash<QString, KQContactHelperPtr> members;
    KQContactHelperList dropped;
    for (const KQContactHelperPtr& member : group->contacts()) {
        members.insert(member->identifier(), member);
        if (wanted.contains(member->identifier())) {
            kept.insert(member->identifier());
            continue;
        }
        // A member the restore deleted from the store has lost its memberships with it.
        if (contactHelperExistWithIdentifier(member->identifier()))
            request.removeMember(*member->effectiveContact(), helper->group());
        dropped.push_back(member);
    }
    if (!dropped.empty())
        group->removeContactHelpers(dropped);

    KQContactHelperList joined;
    for (const QString& identifier : contactIds) {
        if (kept.contains(identifier))
            continue;
        KQContactHelperPtr record = members.value(identifier);
        if (!record)
            record = restoreContactHelperWithIdentifier(identifier, *this, newContactsDic);
        if (!record) {
            KQLog(QStringLiteral("Warning, backup file does not intergerity."));
            continue;
        }
        kept.insert(identifier);
        storeAddContactHelper(record, group, request);
        joined.push_back(record);
    }
    if (!joined.empty())
        group->addContactHelpers(joined);
}

KQContactHelperPtr KQContainerHelper::restoreContactHelperWithIdentifier(const QString& identifier,
                                                                         const KQContainerHelper& containerHepler,
                                                                         const QHash<QString, QString>& newContactsDic)
{
    const auto it = newContactsDic.constFind(identifier);
    if (it != newContactsDic.constEnd()) {
        if (auto record = containerHepler.contactHelperFromContainerWithIdentifier(*it))
            return record;
    }
    return containerHepler.contactHelperFromContainerWithIdentifier(identifier);
}

void KQContainerHelper::storeRemoveGroupHelper(const KQGroupTreeNodePtr& group, CNSaveRequest& request)
{
    // The whole sub-tree goes: the store would otherwise keep the sub-groups as top-level groups.
    for (const KQGroupTreeNodePtr& sub : group->subGroups())
        storeRemoveGroupHelper(sub, request);
    if (auto* helper = qobject_cast<KQGroupHelper*>(group.get()))
        request.deleteGroup(helper->group());
}

void KQContainerHelper::storeAddContactHelper(const KQContactHelperPtr& contact, const KQGroupTreeNodePtr& group,
                                              CNSaveRequest& request)
{
    if (auto* helper = qobject_cast<KQGroupHelper*>(group.get()))
        request.addMember(*contact->effectiveContact(), helper->group());
}
