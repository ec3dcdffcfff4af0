#pragma once
// Damages a closed contact store the way a failing disk does: one page of the contacts table, past
// the first, becomes unreadable, so that a fetch of all contacts fails part way with the rows
// before it intact.

#include <QFile>
#include <QString>
#include <sqlite3.h>

// Returns false when the store has no contacts table to damage. The store must be closed.
inline bool kqDamageLastContactsPage(const QString& path)
{
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return false;
    }
    qint64 root = 0;
    qint64 pageSize = 0;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT rootpage FROM sqlite_master WHERE type = 'table' AND name = 'contacts'", -1,
                           &statement, nullptr) == SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW)
        root = sqlite3_column_int64(statement, 0);
    sqlite3_finalize(statement);
    if (sqlite3_prepare_v2(db, "PRAGMA page_size", -1, &statement, nullptr) == SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW)
        pageSize = sqlite3_column_int64(statement, 0);
    sqlite3_finalize(statement);
    sqlite3_close(db);
    if (root <= 1 || pageSize <= 0)
        return false;

    QFile file(path);
    if (!file.open(QIODevice::ReadWrite))
        return false;
    file.seek((root - 1) * pageSize);
    const QByteArray page = file.read(12);
    qint64 target = root;
    // An interior table page (type 5) names its right-most child at byte 8: the newest rows.
    if (page.size() == 12 && static_cast<unsigned char>(page[0]) == 0x05) {
        const auto byte = [&page](int i) { return static_cast<qint64>(static_cast<unsigned char>(page[i])); };
        target = (byte(8) << 24) | (byte(9) << 16) | (byte(10) << 8) | byte(11);
    }
    if (target <= 1)
        return false;
    // A page type that does not exist, and a cell count past the page's end.
    file.seek((target - 1) * pageSize);
    file.write(QByteArray("\xff\x00\x00\xff\xff\x00\x00\x00", 8));
    return file.flush();
}
