#include "platform/CNSQLiteTransaction.h"

#include "platform/CNSQLiteConnection.h"

CNSQLiteTransaction::CNSQLiteTransaction(CNSQLiteConnection& db) : m_db(db)
{
    m_active = m_db.exec("BEGIN IMMEDIATE");
    if (!m_active)
        m_beginError = CNError::make(CNError::WriteFailure,
                                     QStringLiteral("cannot start a transaction: %1").arg(m_db.errorMessage()));
}

CNSQLiteTransaction::~CNSQLiteTransaction()
{
    if (m_active && m_db.inTransaction())
        m_db.exec("ROLLBACK");
}

bool CNSQLiteTransaction::commit(CNError* error)
{
    if (!m_active)
        return CNReportError(error, m_beginError);
    if (m_db.exec("COMMIT")) {
        m_active = false;
        return true;
    }
    const QString reason = m_db.errorMessage();
    if (m_db.inTransaction())
        m_db.exec("ROLLBACK");
    m_active = false;
    return CNReportError(error, CNError::make(CNError::WriteFailure, QStringLiteral("cannot commit: %1").arg(reason)));
}
