#include "platform/CNSQLiteStatement.h"

#include <utility>

CNSQLiteStatement::CNSQLiteStatement(sqlite3* db, std::string_view sql)
{
    if (sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &m_stmt, nullptr) != SQLITE_OK) {
        sqlite3_finalize(m_stmt);
        m_stmt = nullptr;
    }
}

CNSQLiteStatement::~CNSQLiteStatement()
{
    sqlite3_finalize(m_stmt);
}

CNSQLiteStatement::CNSQLiteStatement(CNSQLiteStatement&& other) noexcept
    : m_stmt(std::exchange(other.m_stmt, nullptr)), m_held(std::move(other.m_held)), m_texts(std::move(other.m_texts)),
      m_textsUsed(std::exchange(other.m_textsUsed, 0))
{
}

CNSQLiteStatement& CNSQLiteStatement::operator=(CNSQLiteStatement&& other) noexcept
{
    if (this != &other) {
        sqlite3_finalize(m_stmt);
        m_stmt = std::exchange(other.m_stmt, nullptr);
        m_held = std::move(other.m_held);
        m_texts = std::move(other.m_texts);
        m_textsUsed = std::exchange(other.m_textsUsed, 0);
    }
    return *this;
}

void CNSQLiteStatement::bindNull(int index)
{
    sqlite3_bind_null(m_stmt, index);
}

void CNSQLiteStatement::bind(int index, qint64 value)
{
    sqlite3_bind_int64(m_stmt, index, value);
}

void CNSQLiteStatement::bind(int index, const QString& text)
{
    if (text.isEmpty()) {
        sqlite3_bind_null(m_stmt, index);
        return;
    }
    // Into a buffer kept from the previous rows: a batch of inserts allocates nothing here.
    if (m_textsUsed == m_texts.size())
        m_texts.emplace_back();
    std::string& utf8 = m_texts[m_textsUsed++];
    const auto* units = reinterpret_cast<const char16_t*>(text.constData());
    const qsizetype n = text.size();
    utf8.resize(static_cast<size_t>(n));
    bool ascii = true;
    for (qsizetype i = 0; i < n && ascii; ++i) {
        ascii = units[i] < 0x80;
        utf8[static_cast<size_t>(i)] = static_cast<char>(units[i]);
    }
    if (!ascii) {
        const QByteArray converted = text.toUtf8();
        utf8.assign(converted.constData(), static_cast<size_t>(converted.size()));
    }
    sqlite3_bind_text(m_stmt, index, utf8.data(), static_cast<int>(utf8.size()), SQLITE_STATIC);
}

const QByteArray& CNSQLiteStatement::hold(const QByteArray& bytes)
{
    // Shares the bytes (no copy) until the next reset, so SQLite need not copy them either.
    m_held.push_back(bytes);
    return m_held.back();
}

void CNSQLiteStatement::bindUtf8(int index, const QByteArray& utf8)
{
    const QByteArray& held = hold(utf8);
    sqlite3_bind_text(m_stmt, index, held.constData(), static_cast<int>(held.size()), SQLITE_STATIC);
}

void CNSQLiteStatement::bind(int index, const QByteArray& blob)
{
    if (blob.isEmpty()) {
        sqlite3_bind_null(m_stmt, index);
        return;
    }
    const QByteArray& held = hold(blob);
    sqlite3_bind_blob(m_stmt, index, held.constData(), static_cast<int>(held.size()), SQLITE_STATIC);
}

int CNSQLiteStatement::step()
{
    return sqlite3_step(m_stmt);
}

bool CNSQLiteStatement::run()
{
    int rc;
    while ((rc = sqlite3_step(m_stmt)) == SQLITE_ROW) {
    }
    return rc == SQLITE_DONE;
}

void CNSQLiteStatement::reset()
{
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
    m_held.clear();
    m_textsUsed = 0;
}

QString CNSQLiteStatement::text(int column) const
{
    const auto* data = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
    if (!data)
        return {};
    return QString::fromUtf8(data, sqlite3_column_bytes(m_stmt, column));
}

QByteArray CNSQLiteStatement::blob(int column) const
{
    const auto* data = static_cast<const char*>(sqlite3_column_blob(m_stmt, column));
    if (!data)
        return {};
    return QByteArray(data, sqlite3_column_bytes(m_stmt, column));
}
