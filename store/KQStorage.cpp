#include "store/KQStorage.h"

#include "store/KQContactRecyle.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QLoggingCategory>
#include <QSaveFile>
#include <QStandardPaths>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

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
// damaged or foreign, in which case why says what is wrong.
template <typename T>
std::vector<std::shared_ptr<T>> decodeRootArray(const QByteArray& data, const QSet<QString>& classes, QString* why)
{
    std::vector<std::shared_ptr<T>> result;
    if (data.isEmpty())
        return result;
    KQKeyedUnarchiver coder(data, classes);
    const std::vector<KQCodingPtr> objects = coder.decodeArrayOfClasses(classes, kRootKey);
    if (coder.failed()) {
        *why = coder.error().localizedDescription;
        return result;
    }
    // An archive may name one object many times; a list holds each entry once.
    QSet<QString> seen;
    int repeats = 0;
    for (const KQCodingPtr& object : objects) {
        auto typed = std::dynamic_pointer_cast<T>(object);
        if (!typed)
            continue;
        if (seen.contains(typed->identifier())) {
            ++repeats;
            continue;
        }
        seen.insert(typed->identifier());
        result.push_back(std::move(typed));
    }
    if (repeats > 0)
        qCWarning(kqStorageLog) << "the archive lists" << repeats << "entries more than once; each is kept once";
    return result;
}

QStringList identifiersOf(const KQContactHelperList& records)
{
    QStringList identifiers;
    identifiers.reserve(static_cast<qsizetype>(records.size()));
    for (const auto& record : records)
        identifiers.append(record->identifier());
    return identifiers;
}

// Another running copy waits at most this long for a file's lock, so that the window never
// freezes for longer.
constexpr int kLockWaitMs = 2000;

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

bool KQStorage::writeStep(WriteStep step, QSaveFile& file, const QByteArray& data)
{
    switch (step) {
    case WriteStep::Open:
        return file.open(QIODevice::WriteOnly);
    case WriteStep::Write:
        return file.write(data) == data.size() && file.error() == QFileDevice::NoError;
    case WriteStep::Flush:
        // The tail below the write buffer reaches the disk only here; commit() would not notice
        // if it failed and would rename the cut-off file over the good one.
        return file.flush() && file.error() == QFileDevice::NoError;
    case WriteStep::Sync:
        return ::fsync(file.handle()) == 0 || errno == EINVAL;
    case WriteStep::Commit:
        return file.commit();
    }
    return false;
}

bool KQStorage::writeFile(const QString& path, const QByteArray& data, QString* error)
{
    // The old file stays in place until the new one is complete; the rename replaces it at once.
    QSaveFile file(path);
    QString why;
    const auto run = [&](WriteStep step, const QString& what) {
        if (!why.isEmpty())
            return false;
        errno = 0;
        if (writeStep(step, file, data))
            return true;
        QString reason = file.errorString();
        if (errno != 0)
            reason = QString::fromLocal8Bit(std::strerror(errno));
        why = QStringLiteral("%1 failed: %2").arg(what, reason);
        return false;
    };
    if (run(WriteStep::Open, QStringLiteral("open")) && run(WriteStep::Write, QStringLiteral("write")) &&
        run(WriteStep::Flush, QStringLiteral("flush")) && run(WriteStep::Sync, QStringLiteral("sync"))) {
        struct stat info = {};
        if (::fstat(file.handle(), &info) != 0 || info.st_size != data.size())
            why = QStringLiteral("the written file has %1 of %2 bytes").arg(qint64(info.st_size)).arg(data.size());
        else
            run(WriteStep::Commit, QStringLiteral("rename"));
    }
    if (why.isEmpty())
        return true;
    if (file.isOpen()) {
        file.cancelWriting();
        file.commit(); // discards the temporary file
    }
    qCWarning(kqStorageLog).noquote() << "cannot write" << path << ":" << why;
    if (error)
        *error = why;
    return false;
}

bool KQStorage::syncSettings(QSettings& settings, QString* error)
{
    const QString path = settings.fileName();
    const QByteArray native = QFile::encodeName(path);
    // Hard links keep the previous content reachable without needing any disk space, and let a
    // second reader parse the new file without the first one's cache.
    const QByteArray previous = native + ".previous";
    const QByteArray check = native + ".check";
    ::unlink(previous.constData());
    ::unlink(check.constData());
    const bool kept = ::link(native.constData(), previous.constData()) == 0;
    settings.sync();
    QString why;
    if (settings.status() != QSettings::NoError) {
        why = QStringLiteral("the settings could not be written");
    } else if (::link(native.constData(), check.constData()) != 0) {
        why = QStringLiteral("the settings file is missing after writing it");
    } else {
        QSettings written(QFile::decodeName(check), settings.format());
        if (written.status() != QSettings::NoError) {
            why = QStringLiteral("the written settings file is damaged");
        } else {
            for (const QString& key : settings.allKeys()) {
                if (written.value(key) != settings.value(key)) {
                    why = QStringLiteral("the written settings file lacks %1").arg(key);
                    break;
                }
            }
        }
        ::unlink(check.constData());
    }
    if (why.isEmpty()) {
        if (kept)
            ::unlink(previous.constData());
        return true;
    }
    if (kept)
        ::rename(previous.constData(), native.constData());
    qCWarning(kqStorageLog).noquote() << "cannot write the settings" << path << ":" << why;
    if (error)
        *error = why;
    return false;
}

// ---------------------------------------------------------------- private files shared by copies

KQStorage::FileStamp KQStorage::stampOf(const QString& path)
{
    struct stat info = {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return {};
    FileStamp stamp;
    stamp.exists = true;
    stamp.device = info.st_dev;
    stamp.inode = info.st_ino;
    stamp.size = info.st_size;
    stamp.modified = qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    stamp.changed = qint64(info.st_ctim.tv_sec) * 1000000000 + info.st_ctim.tv_nsec;
    return stamp;
}

QByteArray KQStorage::loadFile(const QString& path) const
{
    const FileStamp stamp = stampOf(path);
    {
        // The identifiers stay: they are the base of this copy's own change.
        std::lock_guard lock(m_mutex);
        FileState& state = m_files[path];
        state.stamp = stamp;
        state.setAside = false;
    }
    if (!stamp.exists)
        return {};
    if (QFileInfo(path).isDir()) {
        noteProblem(path, QStringLiteral("a folder is in its place"));
        return {};
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        noteProblem(path, file.errorString());
        return {};
    }
    QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        noteProblem(path, file.errorString());
        return {};
    }
    return data;
}

void KQStorage::noteDamagedFile(const QString& path, const QString& why) const
{
    noteProblem(path, QStringLiteral("it is damaged (%1)").arg(why));
}

void KQStorage::noteProblem(const QString& path, const QString& why) const
{
    qCWarning(kqStorageLog).noquote() << "cannot read" << path << ":" << why << "- it is treated as empty";
    const QString name = QFileInfo(path).fileName();
    std::lock_guard lock(m_mutex);
    m_files[path].setAside = true;
    m_problems.append(
        QStringLiteral("The file \u201c%1\u201d could not be read: %2. It was treated as empty; before it "
                       "is next saved, the old file is kept beside it as \u201c%1.damaged-\u201d "
                       "followed by the date.")
            .arg(name, why));
}

QStringList KQStorage::takeLoadProblems()
{
    std::lock_guard lock(m_mutex);
    return std::exchange(m_problems, QStringList());
}

void KQStorage::setKnownIdentifiers(const QString& path, const QStringList& identifiers) const
{
    std::lock_guard lock(m_mutex);
    m_files[path].identifiers = identifiers;
}

QStringList KQStorage::knownIdentifiers(const QString& path) const
{
    std::lock_guard lock(m_mutex);
    return m_files.value(path).identifiers;
}

bool KQStorage::moveAside(const QString& path, QString* error) const
{
    const QString stem =
        path + QStringLiteral(".damaged-") + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString target = stem;
    for (int n = 2; QFileInfo::exists(target) || QFileInfo(target).isSymLink(); ++n)
        target = stem + QStringLiteral("-%1").arg(n);
    if (::rename(QFile::encodeName(path).constData(), QFile::encodeName(target).constData()) != 0) {
        const QString why = QStringLiteral("cannot move the unreadable file aside: %1")
                                .arg(QString::fromLocal8Bit(std::strerror(errno)));
        qCWarning(kqStorageLog).noquote() << path << ":" << why;
        if (error)
            *error = why;
        return false;
    }
    qCWarning(kqStorageLog).noquote() << "moved the unreadable file" << path << "aside as" << target;
    return true;
}

bool KQStorage::saveFile(const QString& path, const std::function<QByteArray(const QByteArray* current)>& data,
                         QString* error)
{
    QLockFile lock(path + QStringLiteral(".lock"));
    if (!lock.tryLock(kLockWaitMs)) {
        const QString why = lock.error() == QLockFile::LockFailedError
                                ? QStringLiteral("another running copy is writing it")
                                : QStringLiteral("its lock file cannot be made");
        qCWarning(kqStorageLog).noquote() << "cannot write" << path << ":" << why;
        if (error)
            *error = why;
        return false;
    }
    std::optional<FileStamp> known;
    {
        std::lock_guard guard(m_mutex);
        const auto it = m_files.constFind(path);
        if (it != m_files.constEnd())
            known = it->stamp;
    }
    const FileStamp now = stampOf(path);
    QByteArray bytes;
    if (known && *known == now) {
        bytes = data(nullptr);
    } else {
        // Written by someone else since we read it: read it again (noting it when unreadable).
        const QByteArray current = loadFile(path);
        bytes = data(&current);
    }
    bool setAside = false;
    {
        std::lock_guard guard(m_mutex);
        setAside = m_files.value(path).setAside;
    }
    if (setAside && stampOf(path).exists && !moveAside(path, error))
        return false;
    if (!writeFile(path, bytes, error))
        return false;
    std::lock_guard guard(m_mutex);
    FileState& state = m_files[path];
    state.stamp = stampOf(path);
    state.setAside = false;
    return true;
}

// ---------------------------------------------------------------- tags

KQStorage::TagsSnapshot KQStorage::snapshotOf(const KQTagsManager& manager)
{
    TagsSnapshot snapshot;
    for (const KQTagPtr& tag : manager.tags())
        snapshot.names.append(tag->name());
    for (const QString& identifier : manager.contactIdentifiers()) {
        QStringList names;
        for (const KQTagPtr& tag : manager.tagsForContactWithIdentifier(identifier))
            names.append(tag->name());
        snapshot.contacts.insert(identifier, names);
    }
    return snapshot;
}

KQTagsManagerPtr KQStorage::loadDefaultTagsManager() const
{
    const QByteArray data = loadFile(tagsFilepath());
    KQTagsManagerPtr manager;
    if (!data.isEmpty()) {
        CNError error;
        manager = std::dynamic_pointer_cast<KQTagsManager>(
            KQKeyedUnarchiver::unarchivedObjectOfClasses({QStringLiteral("KQTagsManager")}, data, &error));
        if (!manager)
            noteDamagedFile(tagsFilepath(), error.localizedDescription);
    }
    if (!manager)
        manager = std::make_shared<KQTagsManager>();
    std::lock_guard lock(m_mutex);
    m_tagsBase = snapshotOf(*manager);
    return manager;
}

void KQStorage::mergeTags(KQTagsManager& manager, const QByteArray& current) const
{
    // Tags are told apart by name, contacts by identifier. Whatever this copy changed since it
    // loaded the file wins; everything else comes from the fresh file.
    CNError error;
    auto freshManager = std::dynamic_pointer_cast<KQTagsManager>(
        KQKeyedUnarchiver::unarchivedObjectOfClasses({QStringLiteral("KQTagsManager")}, current, &error));
    if (!current.isEmpty() && !freshManager)
        noteDamagedFile(tagsFilepath(), error.localizedDescription);
    const TagsSnapshot fresh = freshManager ? snapshotOf(*freshManager) : TagsSnapshot();
    const TagsSnapshot mine = snapshotOf(manager);
    TagsSnapshot base;
    {
        std::lock_guard lock(m_mutex);
        base = m_tagsBase.value_or(TagsSnapshot());
    }
    QStringList names;
    for (const QString& name : fresh.names + mine.names) {
        const bool addedHere = mine.names.contains(name) && !base.names.contains(name);
        const bool removedHere = base.names.contains(name) && !mine.names.contains(name);
        if (!names.contains(name) && !removedHere && (fresh.names.contains(name) || addedHere))
            names.append(name);
    }
    for (const KQTagPtr& tag : manager.tags()) {
        if (!names.contains(tag->name()))
            manager.removeTag(tag);
    }
    for (const QString& name : names) {
        if (!manager.tagWithName(name))
            manager.addTag(KQTag::create(name));
    }
    QStringList identifiers = fresh.contacts.keys() + mine.contacts.keys();
    identifiers.removeDuplicates();
    for (const QString& identifier : identifiers) {
        const QStringList own = mine.contacts.value(identifier);
        const QStringList wanted = own != base.contacts.value(identifier) ? own : fresh.contacts.value(identifier);
        KQTagList tags;
        for (const QString& name : wanted) {
            if (const KQTagPtr tag = manager.tagWithName(name))
                tags.push_back(tag);
        }
        if (wanted != own || !mine.contacts.contains(identifier))
            manager.setTagsForContactWithIdentifier(tags, identifier);
    }
}

bool KQStorage::saveDefaultTagsManager(KQTagsManager* manager)
{
    if (manager == nullptr)
        return false;
    const bool saved = saveFile(tagsFilepath(), [this, manager](const QByteArray* current) {
        if (current != nullptr)
            mergeTags(*manager, *current);
        return KQKeyedArchiver::archivedDataWithRootObject(*manager);
    });
    if (saved) {
        std::lock_guard lock(m_mutex);
        m_tagsBase = snapshotOf(*manager);
    }
    return saved;
}

// ---------------------------------------------------------------- Trash and Last Import

template <typename T>
bool KQStorage::saveNodeContacts(KQGroupTreeNode* node, const QString& path, const QSet<QString>& classes)
{
    QStringList written;
    const bool saved = saveFile(path, [&](const QByteArray* current) {
        if (current != nullptr) {
            // Another copy saved the file: keep what it added and drop what it removed, then apply
            // our own additions and removals, all by identifier.
            QString why;
            const auto fresh = decodeRootArray<T>(*current, classes, &why);
            if (!why.isEmpty())
                noteDamagedFile(path, why);
            const QStringList base = knownIdentifiers(path);
            const KQContactHelperList mine = node->contacts();
            const QStringList mineIds = identifiersOf(mine);
            QStringList freshIds;
            KQContactHelperList addedThere;
            for (const auto& record : fresh) {
                freshIds.append(record->identifier());
                if (!base.contains(record->identifier()) && !mineIds.contains(record->identifier()))
                    addedThere.push_back(record);
            }
            KQContactHelperList removedThere;
            for (const auto& record : mine) {
                if (base.contains(record->identifier()) && !freshIds.contains(record->identifier()))
                    removedThere.push_back(record);
            }
            if (!removedThere.empty())
                node->removeContactHelpers(removedThere);
            if (!addedThere.empty())
                node->addContactHelpers(addedThere);
        }
        const KQContactHelperList records = node->contacts();
        written = identifiersOf(records);
        std::vector<const KQCoding*> objects;
        objects.reserve(records.size());
        for (const auto& record : records)
            objects.push_back(record.get());
        return KQKeyedArchiver::archivedDataWithRootArray(objects);
    });
    if (saved)
        setKnownIdentifiers(path, written);
    return saved;
}

namespace {
QSet<QString> recyleClasses()
{
    return CNContact::archiveClasses() + QSet<QString>{QStringLiteral("KQContactRecyle")};
}

QSet<QString> latestImportClasses()
{
    return CNContact::archiveClasses() + QSet<QString>{QStringLiteral("KQContactHelper")};
}
} // namespace

std::shared_ptr<KQContainerRecyle> KQStorage::loadDefaultContainerRecyle() const
{
    auto recyle = std::make_shared<KQContainerRecyle>();
    const QString path = recyleFilepath();
    QString why;
    const auto entries = decodeRootArray<KQContactRecyle>(loadFile(path), recyleClasses(), &why);
    if (!why.isEmpty())
        noteDamagedFile(path, why);
    recyle->addContactHelpers(KQContactHelperList(entries.begin(), entries.end()));
    setKnownIdentifiers(path, identifiersOf(recyle->contacts()));
    return recyle;
}

bool KQStorage::saveDefaultContainerRecyle(KQContainerRecyle* recyle)
{
    return recyle != nullptr && saveNodeContacts<KQContactRecyle>(recyle, recyleFilepath(), recyleClasses());
}

std::shared_ptr<KQContainerLatestImport> KQStorage::loadDefaultContainerLatestImport() const
{
    auto latestImport = std::make_shared<KQContainerLatestImport>();
    const QString path = latestImportFilepath();
    QString why;
    const auto records = decodeRootArray<KQContactHelper>(loadFile(path), latestImportClasses(), &why);
    if (!why.isEmpty())
        noteDamagedFile(path, why);
    latestImport->addContactHelpers(records);
    setKnownIdentifiers(path, identifiersOf(latestImport->contacts()));
    return latestImport;
}

bool KQStorage::saveDefaultContainerLatestImport(KQContainerLatestImport* latestImport)
{
    return latestImport != nullptr &&
           saveNodeContacts<KQContactHelper>(latestImport, latestImportFilepath(), latestImportClasses());
}
