#include "platform/CNSQLiteContactStore.h"

#include "platform/CNSQLiteContactColumns.h"
#include "platform/CNSQLiteSaveTransaction.h"
#include "platform/CNSQLiteSchema.h"
#include "platform/CNSQLiteTransaction.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

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

CNSQLiteContactStore::CNSQLiteContactStore(const QString& path, ChangeHandler onChange) : m_path(path)
{
    const auto refuse = [&](const QString& why) {
        m_openError = CNError::make(CNError::DataAccessAuthorizationDenied,
                                    QStringLiteral("The contact store %1 cannot be opened: %2").arg(path, why));
        m_writer.close();
        qCWarning(kqStoreLog).noquote() << m_openError.localizedDescription;
    };
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder)) {
        refuse(QStringLiteral("cannot create the folder %1").arg(folder));
        return;
    }
    CNError why;
    if (!m_writer.open(path, true, &why) || !CNSQLiteSchema::migrate(m_writer, &why)) {
        refuse(why.localizedDescription);
        return;
    }
    CNError readerError;
    auto reader = takeReader(&readerError);
    if (!reader) {
        refuse(readerError.localizedDescription);
        return;
    }
    returnReader(std::move(reader));

    m_open = true;
    m_watcher = std::make_unique<CNSQLiteChangeWatcher>(path, std::move(onChange));
}

CNSQLiteContactStore::~CNSQLiteContactStore()
{
    m_watcher.reset();
}

std::unique_ptr<CNSQLiteConnection> CNSQLiteContactStore::takeReader(CNError* error)
{
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
    if (!reader->open(m_path, false, &why) || !reader->exec("PRAGMA query_only=ON")) {
        const QString reason = why.isError() ? why.localizedDescription : reader->errorMessage();
        setError(error, CNError::ReadFailure, QStringLiteral("Cannot read the contact store: %1").arg(reason));
        return nullptr;
    }
    return reader;
}

void CNSQLiteContactStore::returnReader(std::unique_ptr<CNSQLiteConnection> connection)
{
    std::lock_guard lock(m_readersMutex);
    if (m_idleReaders.size() < MaxIdleReaders)
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
    Reader db(*this, error);
    if (!db)
        return false;

    // Only the columns of the requested keys are read and decoded.
    QByteArray sql = "SELECT c.identifier";
    std::vector<const CNSQLiteContactColumn*> columns;
    bool joinImages = false;
    for (int k = 0; k < CNKeyCount; ++k) {
        const auto key = static_cast<CNKeyId>(k);
        if (!keys.test(static_cast<size_t>(k)) ||
            (key == CNKeyId::ImageDataAvailable && keys.test(static_cast<size_t>(CNKeyId::ImageData))))
            continue;
        const CNSQLiteContactColumn* column = CNSQLiteContactColumns::column(key);
        if (!column)
            continue;
        sql += column->inImagesTable ? ", i." : ", c.";
        sql += column->name;
        joinImages = joinImages || column->inImagesTable;
        columns.push_back(column);
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

    sqlite3_stmt* row = query->handle();
    int rc;
    while ((rc = query->step()) == SQLITE_ROW) {
        CNContactData data;
        data.identifier = query->text(0);
        CNKeySet available = keys;
        for (size_t i = 0; i < columns.size(); ++i) {
            if (!columns[i]->read(row, static_cast<int>(i) + 1, data)) {
                // A damaged field stays unfetched, and so is never written back over: the rest of
                // the contact remains usable.
                available.reset(static_cast<size_t>(columns[i]->key));
                qCWarning(kqStoreLog) << "Damaged field" << columns[i]->name << "in contact" << data.identifier;
            }
        }
        bool stop = false;
        block(std::make_shared<CNContact>(std::move(data), available), &stop);
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
    std::lock_guard lock(m_writeMutex);
    return CNSQLiteSaveTransaction(m_writer).apply(request, error);
}

bool CNSQLiteContactStore::writeTransaction(CNError* error,
                                            const std::function<bool(CNSQLiteConnection&, CNError*)>& work)
{
    std::lock_guard lock(m_writeMutex);
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
