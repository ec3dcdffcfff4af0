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

    // Opens (and with create, creates) the database. On failure the connection stays closed,
    // *error says why and openResultCode() is SQLite's code. A read-only connection leaves the
    // journal mode as the file has it.
    bool open(const QString& path, bool create, CNError* error, bool readOnly = false);
    int openResultCode() const { return m_openResultCode; }
    // The operating system's error number behind the last failure (ENOSPC on a full disk).
    int systemErrno() const { return m_db ? sqlite3_system_errno(m_db) : m_openSystemErrno; }
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

    // Caps how long calls made for this thread wait for another process's write (0: no cap, the
    // connection's own long timeout). A window's thread sets it so that it never freezes.
    static void setBusyWaitLimitOnThisThread(int milliseconds);
    static int busyWaitLimitOnThisThread();

    // While it lives, calls on db give up waiting for another process after limit milliseconds;
    // gaveUp() tells whether they did.
    class BusyWaitLimit
    {
    public:
        BusyWaitLimit(CNSQLiteConnection& db, int milliseconds);
        ~BusyWaitLimit();
        BusyWaitLimit(const BusyWaitLimit&) = delete;
        BusyWaitLimit& operator=(const BusyWaitLimit&) = delete;
        bool gaveUp() const { return m_gaveUp; }

    private:
        static int onBusy(void* self, int count);
        CNSQLiteConnection& m_db;
        int m_limit;
        qint64 m_started = 0;
        bool m_gaveUp = false;
    };

private:
    sqlite3* m_db = nullptr;
    int m_openResultCode = SQLITE_OK;
    int m_openSystemErrno = 0;
    // Looked up by the text without copying it.
    struct TextHash
    {
        using is_transparent = void;
        size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
    };
    std::unordered_map<std::string, CNSQLiteStatement, TextHash, std::equal_to<>> m_statements;
};
