#pragma once
// A write transaction that cannot be left open: begun by the constructor ("BEGIN IMMEDIATE"), ended
// by commit(), and rolled back by the destructor when it was not committed (an early return, a
// failed step, a failed commit).

#include "platform/CNError.h"

class CNSQLiteConnection;

class CNSQLiteTransaction
{
public:
    explicit CNSQLiteTransaction(CNSQLiteConnection& db);
    ~CNSQLiteTransaction();
    CNSQLiteTransaction(const CNSQLiteTransaction&) = delete;
    CNSQLiteTransaction& operator=(const CNSQLiteTransaction&) = delete;

    // Whether the transaction began; when not, begin error (WriteFailure) says why.
    bool isActive() const { return m_active; }
    const CNError& beginError() const { return m_beginError; }

    // Commits; on failure rolls back and gives a WriteFailure saying why.
    bool commit(CNError* error);

private:
    CNSQLiteConnection& m_db;
    bool m_active = false;
    CNError m_beginError;
};
