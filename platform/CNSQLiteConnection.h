#pragma once
// One connection to the store's database with the settings every connection needs (WAL journal,
// foreign keys, a busy timeout for writers in other processes) and a cache of prepared statements.
// Not thread-safe: its owner serialises the calls.

#include "platform/CNError.h"
#include "platform/CNSQLiteStatement.h"

#include <QLoggingCategory>
#include <QString>
#include <optional>
#include <sqlite3.h>
#include <string>
#include <string_view>
#include <unordered_map>

Q_DECLARE_LOGGING_CATEGORY(kqStoreLog)

class CNSQLiteConnection
{
public:
    CNSQLiteConnection() = default;
    ~CNSQLiteConnection();
    CNSQLiteConnection(const CNSQLiteConnection&) = delete;
    CNSQLiteConnection& operator=(const CNSQLiteConnection&) = delete;

    // Opens (and with create, creates) the database. On failure the connection stays closed and
    // *error says why.
    bool open(const QString& path, bool create, CNError* error);
    void close();
    bool isOpen() const { return m_db != nullptr; }
    sqlite3* handle() const { return m_db; }

    // The message and extended code of the last failed call on this connection.
    QString errorMessage() const;
    int extendedErrorCode() const;

    bool exec(const char* sql);
    // First column of the first row into *value; false with *error when the query fails or
    // returns nothing.
    bool queryInt(const char* sql, qint64* value, CNError* error = nullptr);

    // A prepared statement kept for the life of the connection, handed out with no bindings and
    // reset when the lease ends, so that no half-read statement keeps a read snapshot open.
    class Lease
    {
    public:
        explicit Lease(CNSQLiteStatement* statement) : m_statement(statement) {}
        ~Lease()
        {
            if (m_statement)
                sqlite3_reset(m_statement->handle());
        }
        Lease(const Lease&) = delete;
        Lease& operator=(const Lease&) = delete;
        explicit operator bool() const { return m_statement != nullptr; }
        CNSQLiteStatement* operator->() const { return m_statement; }
        CNSQLiteStatement& operator*() const { return *m_statement; }

    private:
        CNSQLiteStatement* m_statement;
    };
    // Empty when sql does not compile. Callers must not hold two leases of one text at once.
    Lease cached(std::string_view sql);

    bool inTransaction() const { return m_db && !sqlite3_get_autocommit(m_db); }

private:
    sqlite3* m_db = nullptr;
    std::unordered_map<std::string, CNSQLiteStatement> m_statements;
};
