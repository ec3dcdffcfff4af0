#pragma once

#include <QString>

// What went wrong in a platform operation: a code and a readable description.
struct CNError
{
    enum Code {
        None = 0,
        CommunicationError = 1,
        DataAccessAuthorizationDenied = 100,
        RecordDoesNotExist = 200,
        InsertedRecordAlreadyExists = 201,
        ContainmentCycle = 202,
        ContainmentScope = 203,
        ParentRecordDoesNotExist = 204,
        RecordIdentifierInvalid = 205,
        ValidationMultipleErrors = 300,
        ValidationTypeMismatch = 301,
        ValidationConfigurationError = 302,
        StoreFailure = 400,
        ReadFailure = 401,
        WriteFailure = 402,
        CorruptData = 500,
        // Causes of a store that cannot be opened, each with its own message.
        StoreNewerVersion = 510,
        StoreDiskFull = 511,
    };

    int code = None;
    QString localizedDescription;

    bool isError() const { return code != None; }
    // The text the program logs for this error.
    QString description() const
    {
        return QStringLiteral("Error Domain=CNErrorDomain Code=%1 \"%2\"").arg(code).arg(localizedDescription);
    }
    static CNError make(int code, const QString& text) { return CNError{code, text}; }
};
