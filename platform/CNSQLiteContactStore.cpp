#include "platform/CNSQLiteContactStore.h"

#include "platform/CNContactTextTable.h"
#include "platform/CNContactValueCodec.h"
#include "platform/CNSQLiteContactColumns.h"
#include "platform/CNSQLiteSaveTransaction.h"
#include "platform/CNSQLiteSchema.h"
#include "platform/CNSQLiteTransaction.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <cerrno>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

// Idle read connections kept for later fetches; more are opened when threads fetch at once.
constexpr size_t MaxIdleReaders = 4;

const char* const DefaultContainerQuery = "SELECT value FROM properties WHERE key = 'defaultContainer'";

QByteArray jsonList(const QStringList& identifiers)
{
    return QJsonDocument(QJsonArray::fromStringList(identifiers)).toJson(QJsonDocument::Compact);
}

std::string_view view(const QByteArray& sql)
{
    return {sql.constData(), static_cast<size_t>(sql.size())};
}

void setError(CNError* error, int code, const QString& text)
{
    if (error)
        *error = CNError::make(code, text);
}

// Whether another process has the store open now. Every open connection holds a read lock on one
// byte (128) of the store's shared-memory file; the kernel's list of locks is read rather than the
// file locked, since closing a descriptor of that file would drop this process's own locks on it.
bool openInAnotherProcess(const QString& path)
{
    struct stat shm = {};
    if (::stat(QFile::encodeName(path + QStringLiteral("-shm")).constData(), &shm) != 0)
        return false;
    QFile locks(QStringLiteral("/proc/locks"));
    if (!locks.open(QIODevice::ReadOnly))
        return false;
    const QByteArray file = QByteArray::number(static_cast<quint64>(shm.st_ino));
    const QByteArray device = QString::asprintf(":%02x:%02x:", major(shm.st_dev), minor(shm.st_dev)).toLatin1();
    const QByteArray self = QByteArray::number(static_cast<qint64>(::getpid()));
    // "1: POSIX  ADVISORY  READ  5433 08:01:1234 128 128"
    for (const QByteArray& line : locks.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 8 || fields[1] != "POSIX" || fields[4] == self || fields[6] != "128")
            continue;
        const QByteArray& where = fields[5];
        if (where.endsWith(':' + file) && (':' + where).startsWith(device))
            return true;
    }
    return false;
}

// The fields whose texts repeat across the contacts of a store (names, companies, titles): a
// fetch gives equal texts one shared string. Each is a field of the contact or one of its rare
// fields; neither for any other key.
struct SharedTextField
{
    QString CNContactData::*field = nullptr;
    QString CNContactRareFields::*rareField = nullptr;

    bool isShared() const { return field || rareField; }
    void assign(CNContactData& data, QString text) const
    {
        if (field)
            data.*field = std::move(text);
        else if (!text.isEmpty())
            data.editRare().*rareField = std::move(text);
    }
};

SharedTextField sharedTextField(CNKeyId key)
{
    switch (key) {
    case CNKeyId::NamePrefix:
        return {nullptr, &CNContactRareFields::namePrefix};
    case CNKeyId::GivenName:
        return {&CNContactData::givenName};
    case CNKeyId::MiddleName:
        return {nullptr, &CNContactRareFields::middleName};
    case CNKeyId::FamilyName:
        return {&CNContactData::familyName};
    case CNKeyId::NameSuffix:
        return {nullptr, &CNContactRareFields::nameSuffix};
    case CNKeyId::OrganizationName:
        return {&CNContactData::organizationName};
    case CNKeyId::DepartmentName:
        return {&CNContactData::departmentName};
    case CNKeyId::JobTitle:
        return {&CNContactData::jobTitle};
    default:
        return {};
    }
}

CNContainerType containerType(qint64 value)
{
    return value >= 0 && value <= static_cast<int>(CNContainerType::CardDAV) ? static_cast<CNContainerType>(value)
                                                                             : CNContainerType::Unassigned;
}

} // namespace

// A read connection held by one caller; back to the pool when it goes out of scope.
class CNSQLiteContactStore::Reader
{
public:
    Reader(CNSQLiteContactStore& store, CNError* error) : m_store(store), m_db(store.takeReader(error)) {}
    ~Reader()
    {
        if (m_db)
            m_store.returnReader(std::move(m_db));
    }
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

    explicit operator bool() const { return m_db != nullptr; }
    CNSQLiteConnection* operator->() const { return m_db.get(); }

private:
    CNSQLiteContactStore& m_store;
    std::unique_ptr<CNSQLiteConnection> m_db;
};

// Image bytes, read when a fetched contact's image is first used: a list fetch reads only whether
// there is one. The bytes are the stored ones at that moment. One connection, serialised, opened on
// the first read.
class CNSQLiteContactStore::ImageReader
{
public:
    explicit ImageReader(QString path) : m_path(std::move(path)) {}

    // Releases the connection; contacts fetched earlier may outlive the store, and a later read
    // opens it again for them.
    void close()
    {
        std::lock_guard lock(m_mutex);
        m_db.close();
    }

    QByteArray image(qint64 contactId)
    {
        std::lock_guard lock(m_mutex);
        if (!m_db.isOpen()) {
            CNError why;
            if (!m_db.open(m_path, false, &why) || !m_db.exec("PRAGMA query_only=ON")) {
                qCWarning(kqStoreLog).noquote() << "Cannot read a contact's image:"
                                                << (why.isError() ? why.localizedDescription : m_db.errorMessage());
                m_db.close();
                return {};
            }
        }
        auto query = m_db.cached("SELECT image FROM images WHERE contact_id = ?1");
        if (!query)
            return {};
        query->bind(1, contactId);
        return query->step() == SQLITE_ROW ? query->blob(0) : QByteArray();
    }

private:
    const QString m_path;
    std::mutex m_mutex;
    CNSQLiteConnection m_db;
};

CNSQLiteContactStore::CNSQLiteContactStore(const QString& path, ChangeHandler onChange)
    : m_path(path), m_images(std::make_shared<ImageReader>(path))
{
    const QFileInfo info(path);
    const bool existed = info.exists();
    const auto refuse = [&](int code, const QString& why) {
        m_openError = CNError::make(code, QStringLiteral("The contact store %1 cannot be opened: %2").arg(path, why));
        m_writer.close();
        // A store this run began to make and could not finish would be taken for a damaged one.
        if (!existed && !info.isDir()) {
            for (const QString& suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")})
                QFile::remove(path + suffix);
        }
        qCWarning(kqStoreLog).noquote() << m_openError.localizedDescription;
    };
    const QString folder = info.absolutePath();
    if (!QDir().mkpath(folder)) {
        refuse(CNError::DataAccessAuthorizationDenied, QStringLiteral("cannot create the folder %1").arg(folder));
        return;
    }
    if (QFileInfo(path).isDir()) {
        refuse(CNError::CorruptData, QStringLiteral("a folder is in the place of the store file"));
        return;
    }
    // SQLite would quietly make an empty file into a new store; an empty store file is damage.
    if (info.exists() && info.size() == 0) {
        refuse(CNError::CorruptData, QStringLiteral("the store file is empty"));
        return;
    }
    const QByteArray nativeFolder = QFile::encodeName(folder);
    const bool folderWritable = ::access(nativeFolder.constData(), W_OK | X_OK) == 0;
    if (!info.exists() && !folderWritable) {
        refuse(CNError::DataAccessAuthorizationDenied,
               QStringLiteral("no permission to write in the folder %1").arg(folder));
        return;
    }
    // A store the user may only read is shown read-only rather than refused.
    m_readOnly = info.exists() && ::access(QFile::encodeName(path).constData(), W_OK) != 0;
    // The write-ahead log outlives only a run that did not close the store (or one still running).
    const QFileInfo wal(path + QStringLiteral("-wal"));
    const bool uncleanShutdown = wal.exists() && wal.size() > 0 && !openInAnotherProcess(path);

    CNError openFailure;
    // A full disk is SQLITE_FULL; a file-size limit or a failing disk shows as a failed write.
    const auto diskFull = [this] { return m_writer.systemErrno() == ENOSPC || m_writer.systemErrno() == EFBIG; };
    if (!m_writer.open(path, true, &openFailure, m_readOnly)) {
        const QString why = openFailure.localizedDescription;
        if (diskFull() || m_writer.openResultCode() == SQLITE_IOERR_WRITE) {
            refuse(CNError::StoreDiskFull, why);
            return;
        }
        switch (m_writer.openResultCode() & 0xff) {
        case SQLITE_NOTADB:
        case SQLITE_CORRUPT:
            refuse(CNError::CorruptData, why);
            break;
        case SQLITE_FULL:
            refuse(CNError::StoreDiskFull, why);
            break;
        case SQLITE_CANTOPEN:
        case SQLITE_PERM:
        case SQLITE_READONLY:
        case SQLITE_AUTH:
            refuse(CNError::DataAccessAuthorizationDenied,
                   QStringLiteral("%1 (check the permissions of the folder %2)").arg(why, folder));
            break;
        default:
            refuse(CNError::StoreFailure, why);
            break;
        }
        return;
    }
    qint64 storedVersion = 0;
    const std::optional<qint64> version =
        m_writer.queryInt("PRAGMA user_version", &storedVersion) ? std::optional<qint64>(storedVersion) : std::nullopt;
    if (version && *version > CNSQLiteSchema::CurrentVersion) {
        refuse(CNError::StoreNewerVersion,
               QStringLiteral("it was written by a newer version of Peoplekeeper (store version %1; this version "
                              "reads up to %2)")
                   .arg(*version)
                   .arg(CNSQLiteSchema::CurrentVersion));
        return;
    }
    int failedCode = SQLITE_OK;
    if (m_readOnly ? !version || *version != CNSQLiteSchema::CurrentVersion
                   : !CNSQLiteSchema::migrate(m_writer, &openFailure, &failedCode)) {
        const QString why = openFailure.localizedDescription;
        if (m_readOnly) {
            refuse(CNError::StoreFailure, QStringLiteral("the read-only store is not in this version's format"));
        } else if (diskFull() || failedCode == SQLITE_FULL || failedCode == SQLITE_IOERR_WRITE) {
            refuse(CNError::StoreDiskFull, why);
        } else if ((failedCode & 0xff) == SQLITE_CORRUPT || (failedCode & 0xff) == SQLITE_NOTADB) {
            refuse(CNError::CorruptData, why);
        } else {
            refuse(CNError::StoreFailure, why);
        }
        return;
    }
    if (m_readOnly)
        qCWarning(kqStoreLog).noquote() << "the contact store" << path << "is read-only: it is shown but not changed";
    if (uncleanShutdown)
        checkAfterUncleanShutdown();

    CNError readerError;
    auto reader = takeReader(&readerError);
    if (!reader) {
        refuse(CNError::StoreFailure, readerError.localizedDescription);
        return;
    }
    returnReader(std::move(reader));

    // Saves of thousands of contacts dirty more pages than the default cache holds (the
    // identifier index is touched all over): the writer keeps them rather than spilling and
    // re-reading them, and checkpoints less often, so that a page written by several saves in a
    // row is copied into the database once. Readers keep the default cache.
    if (!m_readOnly) {
        m_writer.exec("PRAGMA cache_size=-16384");
        m_writer.exec("PRAGMA wal_autocheckpoint=4000");
    }
    m_open = true;
    m_watcher = std::make_unique<CNSQLiteChangeWatcher>(path, std::move(onChange));
}

void CNSQLiteContactStore::checkAfterUncleanShutdown()
{
    CNSQLiteStatement check(m_writer.handle(), "PRAGMA quick_check");
    QStringList problems;
    int rc;
    while ((rc = check.step()) == SQLITE_ROW) {
        const QString line = check.text(0);
        if (line != QLatin1String("ok"))
            problems.append(line);
    }
    if (rc != SQLITE_DONE)
        problems.append(m_writer.errorMessage());
    if (problems.isEmpty()) {
        qCInfo(kqStoreLog).noquote() << "the contact store" << m_path << "passed its check after an unclean shutdown";
        return;
    }
    m_damageFound = problems.join(QStringLiteral("; "));
    qCWarning(kqStoreLog).noquote() << "the contact store" << m_path
                                    << "is damaged (found by its check after an unclean shutdown):" << m_damageFound
                                    << "- contacts in damaged pages may be missing; set the store aside and restore a "
                                       "backup";
}

CNSQLiteContactStore::~CNSQLiteContactStore()
{
    close();
}

CNError CNSQLiteContactStore::openError() const
{
    std::lock_guard lock(m_errorMutex);
    return m_openError;
}

void CNSQLiteContactStore::close()
{
    {
        std::lock_guard lock(m_errorMutex);
        if (m_closed.exchange(true))
            return;
        // A store that never opened keeps the reason it did not.
        if (!m_open.exchange(false))
            return;
        m_openError =
            CNError::make(CNError::StoreFailure, QStringLiteral("The contact store %1 is closed").arg(m_path));
    }
    // No handler call starts after this.
    m_watcher.reset();
    {
        std::lock_guard lock(m_readersMutex);
        m_idleReaders.clear();
    }
    m_images->close();
    std::lock_guard lock(m_writeMutex);
    if (!m_readOnly && m_writer.isOpen() && !m_writer.exec("PRAGMA wal_checkpoint(PASSIVE)"))
        qCWarning(kqStoreLog).noquote() << "the contact store" << m_path
                                        << "could not write its journal back at close:" << m_writer.errorMessage();
    // The last connection of all processes to close also removes the write-ahead log.
    m_writer.close();
}

std::unique_ptr<CNSQLiteConnection> CNSQLiteContactStore::takeReader(CNError* error)
{
    if (m_closed.load()) {
        if (error)
            *error = openError();
        return nullptr;
    }
    {
        std::lock_guard lock(m_readersMutex);
        if (!m_idleReaders.empty()) {
            auto reader = std::move(m_idleReaders.back());
            m_idleReaders.pop_back();
            return reader;
        }
    }
    auto reader = std::make_unique<CNSQLiteConnection>();
    CNError why;
    if (!reader->open(m_path, false, &why, m_readOnly) || !reader->exec("PRAGMA query_only=ON")) {
        const QString reason = why.isError() ? why.localizedDescription : reader->errorMessage();
        setError(error, CNError::ReadFailure, QStringLiteral("Cannot read the contact store: %1").arg(reason));
        return nullptr;
    }
    return reader;
}

void CNSQLiteContactStore::returnReader(std::unique_ptr<CNSQLiteConnection> connection)
{
    std::lock_guard lock(m_readersMutex);
    if (!m_closed.load() && m_idleReaders.size() < MaxIdleReaders)
        m_idleReaders.push_back(std::move(connection));
}

std::vector<CNContainer> CNSQLiteContactStore::containers(const std::optional<CNContainerPredicate>& predicate,
                                                          CNError* error)
{
    std::vector<CNContainer> result;
    Reader db(*this, error);
    if (!db)
        return result;
    QByteArray sql = "SELECT identifier, name, type FROM containers";
    if (predicate) {
        switch (predicate->kind) {
        case CNContainerPredicate::Kind::OfGroup:
            sql += " WHERE id = (SELECT container_id FROM groups WHERE identifier = ?1)";
            break;
        case CNContainerPredicate::Kind::OfContact:
            sql += " WHERE id = (SELECT container_id FROM contacts WHERE identifier = ?1)";
            break;
        case CNContainerPredicate::Kind::WithIdentifiers:
            sql += " WHERE identifier IN (SELECT value FROM json_each(?1))";
            break;
        }
    }
    sql += " ORDER BY sort_order, id";
    auto query = db->cached(view(sql));
    if (!query) {
        setError(error, CNError::ReadFailure, db->errorMessage());
        return result;
    }
    if (predicate) {
        if (predicate->kind == CNContainerPredicate::Kind::WithIdentifiers)
            query->bindUtf8(1, jsonList(predicate->identifiers));
        else
            query->bind(1, predicate->identifiers.value(0));
    }
    int rc;
    while ((rc = query->step()) == SQLITE_ROW)
        result.emplace_back(query->text(0), query->text(1), containerType(query->int64(2)));
    if (rc != SQLITE_DONE) {
        setError(error, CNError::ReadFailure, db->errorMessage());
        result.clear();
    }
    return result;
}

std::vector<CNGroup> CNSQLiteContactStore::groups(const std::optional<CNGroupPredicate>& predicate, CNError* error)
{
    std::vector<CNGroup> result;
    Reader db(*this, error);
    if (!db)
        return result;
    QByteArray sql = "SELECT identifier, name FROM groups";
    if (predicate) {
        switch (predicate->kind) {
        case CNGroupPredicate::Kind::InContainer:
            sql += " WHERE container_id = (SELECT id FROM containers WHERE identifier = ?1)";
            break;
        case CNGroupPredicate::Kind::SubgroupsOfGroup:
            sql += " WHERE parent_id = (SELECT id FROM groups WHERE identifier = ?1)";
            break;
        case CNGroupPredicate::Kind::WithIdentifiers:
            sql += " WHERE identifier IN (SELECT value FROM json_each(?1))";
            break;
        }
    }
    sql += " ORDER BY id";
    auto query = db->cached(view(sql));
    if (!query) {
        setError(error, CNError::ReadFailure, db->errorMessage());
        return result;
    }
    if (predicate) {
        if (predicate->kind == CNGroupPredicate::Kind::WithIdentifiers)
            query->bindUtf8(1, jsonList(predicate->identifiers));
        else
            query->bind(1, predicate->identifiers.value(0));
    }
    int rc;
    while ((rc = query->step()) == SQLITE_ROW)
        result.emplace_back(query->text(0), query->text(1));
    if (rc != SQLITE_DONE) {
        setError(error, CNError::ReadFailure, db->errorMessage());
        result.clear();
    }
    return result;
}

QString CNSQLiteContactStore::defaultContainerIdentifier()
{
    Reader db(*this, nullptr);
    if (!db)
        return {};
    auto query = db->cached(DefaultContainerQuery);
    if (!query || query->step() != SQLITE_ROW)
        return {};
    return query->text(0);
}

bool CNSQLiteContactStore::enumerateContacts(const std::optional<CNContactPredicate>& predicate, const CNKeySet& keys,
                                             CNError* error, const ContactBlock& block)
{
    return fetchContacts(predicate, keys, error, &block, nullptr);
}

bool CNSQLiteContactStore::enumerateTransientContacts(const std::optional<CNContactPredicate>& predicate,
                                                      const CNKeySet& keys, CNError* error,
                                                      const TransientContactBlock& block)
{
    return fetchContacts(predicate, keys, error, nullptr, &block);
}

bool CNSQLiteContactStore::fetchContacts(const std::optional<CNContactPredicate>& predicate, const CNKeySet& keys,
                                         CNError* error, const ContactBlock* block,
                                         const TransientContactBlock* transientBlock)
{
    Reader db(*this, error);
    if (!db)
        return false;

    // Only the columns of the requested keys are read and decoded.
    // The card's UID comes with the identifier, whatever the keys: it is part of the contact's identity.
    QByteArray sql = "SELECT c.identifier, c.card_uid";
    constexpr int firstColumn = 2;
    std::vector<const CNSQLiteContactColumn*> columns;
    bool joinImages = false;
    // The image bytes are read on first use (see ImageReader); the fetch reads only whether there
    // is an image, which needs none of its bytes.
    const bool wantsImage = keys.test(static_cast<size_t>(CNKeyId::ImageData)) ||
                            keys.test(static_cast<size_t>(CNKeyId::ImageDataAvailable));
    for (int k = 0; k < CNKeyCount; ++k) {
        const auto key = static_cast<CNKeyId>(k);
        if (!keys.test(static_cast<size_t>(k)) || key == CNKeyId::ImageData || key == CNKeyId::ImageDataAvailable)
            continue;
        const CNSQLiteContactColumn* column = CNSQLiteContactColumns::column(key);
        if (!column)
            continue;
        sql += column->inImagesTable ? ", i." : ", c.";
        sql += column->name;
        joinImages = joinImages || column->inImagesTable;
        columns.push_back(column);
    }
    const int imageAt = static_cast<int>(columns.size()) + firstColumn;
    if (wantsImage) {
        sql += ", c.id, length(i.image)";
        joinImages = true;
    }
    sql += " FROM contacts c";
    if (joinImages)
        sql += " LEFT JOIN images i ON i.contact_id = c.id";

    QByteArray parameter;
    std::optional<qint64> scope;
    if (predicate) {
        const QString target = predicate->identifiers.value(0);
        switch (predicate->kind) {
        case CNContactPredicate::Kind::ContactIdentifiers:
            sql += " WHERE c.identifier IN (SELECT value FROM json_each(?1)) ORDER BY c.id";
            parameter = jsonList(predicate->identifiers);
            break;
        case CNContactPredicate::Kind::InGroup:
        case CNContactPredicate::Kind::InContainer: {
            const bool inGroup = predicate->kind == CNContactPredicate::Kind::InGroup;
            auto find = db->cached(inGroup ? "SELECT id FROM groups WHERE identifier = ?1"
                                           : "SELECT id FROM containers WHERE identifier = ?1");
            if (!find) {
                setError(error, CNError::ReadFailure, db->errorMessage());
                return false;
            }
            find->bind(1, target);
            const int rc = find->step();
            if (rc != SQLITE_ROW) {
                if (rc == SQLITE_DONE)
                    setError(error, CNError::RecordDoesNotExist,
                             (inGroup ? QStringLiteral("The group %1 does not exist")
                                      : QStringLiteral("The container %1 does not exist"))
                                 .arg(target));
                else
                    setError(error, CNError::ReadFailure, db->errorMessage());
                return false;
            }
            scope = find->int64(0);
            // Group members come in the group's order; direct members only.
            sql += inGroup ? " JOIN memberships m ON m.contact_id = c.id WHERE m.group_id = ?1 ORDER BY m.position"
                           : " WHERE c.container_id = ?1 ORDER BY c.id";
            break;
        }
        }
    } else {
        sql += " ORDER BY c.id";
    }

    auto query = db->cached(view(sql));
    if (!query) {
        setError(error, CNError::ReadFailure, db->errorMessage());
        return false;
    }
    if (scope)
        query->bind(1, *scope);
    else if (!parameter.isNull())
        query->bindUtf8(1, parameter);

    std::vector<SharedTextField> sharedFields;
    for (const CNSQLiteContactColumn* column : columns)
        sharedFields.push_back(sharedTextField(column->key));
    // Names, companies and titles repeat across the contacts of a store: equal texts share one string.
    CNContactTextTable sharedTexts;
    const auto makeText = [](QByteArrayView utf8) {
        return CNContactValueCodec::textFromUtf8(utf8.data(), utf8.size());
    };

    sqlite3_stmt* row = query->handle();
    // The row's phone numbers, e-mail and postal addresses, checked but not decoded: the contact
    // decodes them when they are first read.
    CNCodedLists coded;
    // The row's fields go straight into the contact.
    const auto fill = [&](CNContactData& data, CNKeySet& available) {
        coded = {};
        data.identifier = CNContactValueCodec::textFromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(row, 0)),
                                                            sqlite3_column_bytes(row, 0));
        if (sqlite3_column_type(row, 1) == SQLITE_TEXT)
            data.cardUID = query->text(1);
        for (size_t i = 0; i < columns.size(); ++i) {
            const int at = static_cast<int>(i) + firstColumn;
            if (const SharedTextField& field = sharedFields[i]; field.isShared()) {
                if (const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(row, at)))
                    field.assign(data, sharedTexts.text(QByteArrayView(text, sqlite3_column_bytes(row, at)), makeText));
                continue;
            }
            bool read;
            if (const std::optional<CNCodedList> list = columns[i]->codedList) {
                const auto* bytes = static_cast<const char*>(sqlite3_column_blob(row, at));
                const int size = sqlite3_column_bytes(row, at);
                quint64 entries = 0;
                read = CNContactValueCodec::check(*list, bytes, size, &entries);
                if (entries > 0)
                    coded[static_cast<size_t>(*list)] = QByteArrayView(bytes, size);
            } else {
                read = columns[i]->read(row, at, data);
            }
            if (!read) {
                // A damaged field stays unfetched, and so is never written back over: the rest
                // of the contact remains usable.
                available.reset(static_cast<size_t>(columns[i]->key));
                qCWarning(kqStoreLog) << "Damaged field" << columns[i]->name << "in contact" << data.identifier;
            }
        }
    };
    const auto loadImageLater = [&](CNContact& contact) {
        if (wantsImage && sqlite3_column_int64(row, imageAt + 1) > 0) {
            contact.setImageLoader(
                [images = m_images, id = sqlite3_column_int64(row, imageAt)] { return images->image(id); });
        }
    };
    // The one contact handed out for every row when the caller keeps none.
    const CNContactPtr transient = transientBlock ? CNContact::make(keys, [](CNContactData&, CNKeySet&) {}) : nullptr;
    int rc;
    while ((rc = query->step()) == SQLITE_ROW) {
        bool stop = false;
        if (transient) {
            transient->refill(keys, fill);
            transient->setCodedLists(coded);
            loadImageLater(*transient);
            (*transientBlock)(*transient, &stop);
        } else {
            auto contact = CNContact::make(keys, fill);
            contact->setCodedLists(coded);
            loadImageLater(*contact);
            (*block)(contact, &stop);
        }
        if (stop)
            return true;
    }
    if (rc != SQLITE_DONE) {
        setError(error, CNError::ReadFailure, db->errorMessage());
        return false;
    }
    return true;
}

bool CNSQLiteContactStore::executeSaveRequest(const CNSaveRequest& request, CNError* error)
{
    if (m_readOnly) {
        setError(error, CNError::WriteFailure, QStringLiteral("The contact store %1 is read-only").arg(m_path));
        return false;
    }
    std::lock_guard lock(m_writeMutex);
    if (!m_writer.isOpen()) {
        if (error)
            *error = openError();
        return false;
    }
    CNSQLiteConnection::BusyWaitLimit wait(m_writer, CNSQLiteConnection::busyWaitLimitOnThisThread());
    const bool saved = CNSQLiteSaveTransaction(m_writer).apply(request, error);
    if (!saved && wait.gaveUp())
        setError(error, CNError::WriteFailure,
                 QStringLiteral("The contact store %1 is busy: another program is saving to it. Nothing was "
                                "changed; please try again in a moment.")
                     .arg(m_path));
    return saved;
}

bool CNSQLiteContactStore::writeTransaction(CNError* error,
                                            const std::function<bool(CNSQLiteConnection&, CNError*)>& work)
{
    if (m_readOnly) {
        setError(error, CNError::WriteFailure, QStringLiteral("The contact store %1 is read-only").arg(m_path));
        return false;
    }
    std::lock_guard lock(m_writeMutex);
    if (!m_writer.isOpen()) {
        if (error)
            *error = openError();
        return false;
    }
    CNSQLiteTransaction transaction(m_writer);
    if (!transaction.isActive())
        return CNReportError(error, transaction.beginError());
    CNError failure;
    if (!work(m_writer, &failure)) {
        if (!failure.isError())
            failure = CNError::make(CNError::WriteFailure, m_writer.errorMessage());
        return CNReportError(error, failure);
    }
    return transaction.commit(error);
}

bool CNSQLiteContactStore::addContainer(const CNContainer& container, CNError* error)
{
    if (container.identifier().isEmpty()) {
        setError(error, CNError::RecordIdentifierInvalid, QStringLiteral("The container has no identifier"));
        return false;
    }
    return writeTransaction(error, [&](CNSQLiteConnection& db, CNError* failure) {
        auto insert = db.cached("INSERT INTO containers(identifier, name, type, sort_order) VALUES(?1, ?2, ?3, "
                                "(SELECT COALESCE(MAX(sort_order), 0) + 1 FROM containers))");
        if (!insert)
            return false;
        insert->bind(1, container.identifier());
        insert->bindUtf8(2, container.name().toUtf8());
        insert->bind(3, static_cast<qint64>(container.type()));
        if (!insert->run()) {
            if (db.extendedErrorCode() == SQLITE_CONSTRAINT_UNIQUE)
                setError(failure, CNError::InsertedRecordAlreadyExists,
                         QStringLiteral("A container %1 already exists").arg(container.identifier()));
            return false;
        }
        // A store without a default account takes the first one added.
        auto setDefault = db.cached("INSERT INTO properties(key, value) VALUES('defaultContainer', ?1) "
                                    "ON CONFLICT(key) DO UPDATE SET value = excluded.value "
                                    "WHERE properties.value IS NULL OR properties.value = ''");
        if (!setDefault)
            return false;
        setDefault->bind(1, container.identifier());
        return setDefault->run();
    });
}

bool CNSQLiteContactStore::renameContainer(const QString& identifier, const QString& name, CNError* error)
{
    return writeTransaction(error, [&](CNSQLiteConnection& db, CNError* failure) {
        auto update = db.cached("UPDATE containers SET name = ?2 WHERE identifier = ?1");
        if (!update)
            return false;
        update->bind(1, identifier);
        update->bindUtf8(2, name.toUtf8());
        if (!update->run())
            return false;
        if (sqlite3_changes(db.handle()) == 0) {
            setError(failure, CNError::RecordDoesNotExist,
                     QStringLiteral("The container %1 does not exist").arg(identifier));
            return false;
        }
        return true;
    });
}

bool CNSQLiteContactStore::removeContainer(const QString& identifier, CNError* error)
{
    return writeTransaction(error, [&](CNSQLiteConnection& db, CNError* failure) {
        // Its groups and contacts, and with them memberships and images, go with it.
        auto remove = db.cached("DELETE FROM containers WHERE identifier = ?1");
        if (!remove)
            return false;
        remove->bind(1, identifier);
        if (!remove->run())
            return false;
        if (sqlite3_changes(db.handle()) == 0) {
            setError(failure, CNError::RecordDoesNotExist,
                     QStringLiteral("The container %1 does not exist").arg(identifier));
            return false;
        }
        // The default moves to the first remaining account, or to none.
        auto moveDefault = db.cached("UPDATE properties SET value = (SELECT identifier FROM containers "
                                     "ORDER BY sort_order, id LIMIT 1) WHERE key = 'defaultContainer' AND value = ?1");
        if (!moveDefault)
            return false;
        moveDefault->bind(1, identifier);
        return moveDefault->run();
    });
}

bool CNSQLiteContactStore::setDefaultContainerIdentifier(const QString& identifier, CNError* error)
{
    return writeTransaction(error, [&](CNSQLiteConnection& db, CNError* failure) {
        auto set = db.cached("INSERT OR REPLACE INTO properties(key, value) SELECT 'defaultContainer', identifier "
                             "FROM containers WHERE identifier = ?1");
        if (!set)
            return false;
        set->bind(1, identifier);
        if (!set->run())
            return false;
        if (sqlite3_changes(db.handle()) == 0) {
            setError(failure, CNError::RecordDoesNotExist,
                     QStringLiteral("The container %1 does not exist").arg(identifier));
            return false;
        }
        return true;
    });
}
