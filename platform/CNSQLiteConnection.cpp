#include "platform/CNSQLiteConnection.h"

#include <QFile>

Q_LOGGING_CATEGORY(kqStoreLog, "kq.store")

namespace {

// Long enough to ride out another process's save of a large import.
constexpr int BusyTimeoutMs = 15000;

} // namespace

CNSQLiteConnection::~CNSQLiteConnection()
{
    close();
}

bool CNSQLiteConnection::open(const QString& path, bool create, CNError* error)
{
    close();
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (create ? SQLITE_OPEN_CREATE : 0);
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        if (error)
            *error = CNError::make(CNError::StoreFailure,
                                   db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(rc)));
        sqlite3_close_v2(db);
        return false;
    }
    m_db = db;
    sqlite3_extended_result_codes(m_db, 1);
    sqlite3_busy_timeout(m_db, BusyTimeoutMs);

    // Opening is lazy: the first statements are what find an unreadable or non-database file.
    CNSQLiteStatement journal(m_db, "PRAGMA journal_mode=WAL");
    const bool walOk = journal.isValid() && journal.step() == SQLITE_ROW &&
                       journal.text(0).compare(QLatin1String("wal"), Qt::CaseInsensitive) == 0;
    if (!walOk || !exec("PRAGMA foreign_keys=ON") || !exec("PRAGMA synchronous=NORMAL")) {
        if (error)
            *error = CNError::make(CNError::StoreFailure,
                                   walOk ? errorMessage()
                                         : QStringLiteral("cannot use write-ahead logging: %1").arg(errorMessage()));
        journal = CNSQLiteStatement();
        close();
        return false;
    }
    return true;
}

void CNSQLiteConnection::close()
{
    m_statements.clear();
    if (m_db) {
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
}

QString CNSQLiteConnection::errorMessage() const
{
    return m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QStringLiteral("database not open");
}

int CNSQLiteConnection::extendedErrorCode() const
{
    return m_db ? sqlite3_extended_errcode(m_db) : SQLITE_MISUSE;
}

bool CNSQLiteConnection::exec(const char* sql)
{
    return sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

bool CNSQLiteConnection::queryInt(const char* sql, qint64* value, CNError* error)
{
    CNSQLiteStatement statement(m_db, sql);
    if (!statement.isValid())
        return CNReportError(error, CNError::make(CNError::StoreFailure, errorMessage()));
    switch (statement.step()) {
    case SQLITE_ROW:
        *value = statement.int64(0);
        return true;
    case SQLITE_DONE:
        return CNReportError(error, CNError::make(CNError::StoreFailure, QStringLiteral("the query returned no row")));
    default:
        return CNReportError(error, CNError::make(CNError::StoreFailure, errorMessage()));
    }
}

CNSQLiteConnection::Lease CNSQLiteConnection::cached(std::string_view sql)
{
    auto it = m_statements.find(std::string(sql));
    if (it == m_statements.end()) {
        CNSQLiteStatement statement(m_db, sql);
        if (!statement.isValid())
            return Lease(nullptr);
        it = m_statements.emplace(std::string(sql), std::move(statement)).first;
    } else {
        it->second.reset();
    }
    return Lease(&it->second);
}
