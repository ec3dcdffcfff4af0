#pragma once
// One prepared SQLite statement, finalized when it goes out of scope. Empty texts and blobs are
// bound as NULL, and NULL reads back as an empty value, so that sparse contacts stay small. Bound
// texts and blobs are kept by the statement until reset() (the bindings go with them); the UTF-8
// of bound texts goes into buffers the statement reuses from one row to the next.

#include <QByteArray>
#include <QString>
#include <deque>
#include <sqlite3.h>
#include <string>
#include <string_view>
#include <vector>

class CNSQLiteStatement
{
public:
    CNSQLiteStatement() = default;
    // Prepares sql on db; check isValid() (the connection's error message says why not).
    CNSQLiteStatement(sqlite3* db, std::string_view sql);
    ~CNSQLiteStatement();
    CNSQLiteStatement(CNSQLiteStatement&& other) noexcept;
    CNSQLiteStatement& operator=(CNSQLiteStatement&& other) noexcept;
    CNSQLiteStatement(const CNSQLiteStatement&) = delete;
    CNSQLiteStatement& operator=(const CNSQLiteStatement&) = delete;

    bool isValid() const { return m_stmt != nullptr; }
    sqlite3_stmt* handle() const { return m_stmt; }

    // Parameters count from 1, as in SQL.
    void bindNull(int index);
    void bind(int index, qint64 value);
    void bind(int index, const QString& text);
    void bind(int index, const QByteArray& blob);
    void bindUtf8(int index, const QByteArray& utf8);

    // SQLITE_ROW, SQLITE_DONE or an error code.
    int step();
    // Steps to the end; true when the statement completed.
    bool run();
    // Makes the statement ready for new parameters.
    void reset();

    bool isNull(int column) const { return sqlite3_column_type(m_stmt, column) == SQLITE_NULL; }
    qint64 int64(int column) const { return sqlite3_column_int64(m_stmt, column); }
    QString text(int column) const;
    QByteArray blob(int column) const;

private:
    const QByteArray& hold(const QByteArray& bytes);

    sqlite3_stmt* m_stmt = nullptr;
    std::vector<QByteArray> m_held;
    // The UTF-8 of the bound texts, the first m_textsUsed of them bound now. A deque: adding one
    // moves none of the others, whose bytes SQLite points to.
    std::deque<std::string> m_texts;
    size_t m_textsUsed = 0;
};
