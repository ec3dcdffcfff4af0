#pragma once
// How the platform layer reports failure: always as a CNError (a code, a readable text and, where the
// input has places, the position of the fault).
//
// - An operation that yields a value or nothing returns it (or bool) and fills an optional
//   `CNError* error` (nullptr when the caller does not care). A private step whose only outcome is
//   success or failure may return the CNError itself (isError() tells).
// - A reader that works step by step (the unarchiver) keeps its first CNError and answers it from
//   error(); failed() is the short form of error().isError().
// - position says where in the input the fault lies, in the reader's own unit: the line for text
//   formats (vCard), the object number in "$objects" for keyed archives, the byte offset for other
//   binary data; -1 when there is no such place. The text never repeats the position.
// - No exception leaves the layer, and an empty optional means "absent", never "failed".
// - Texts that carry input (a key, a line) are built with the multi-argument .arg(), so that a "%1"
//   inside the input is not replaced.

#include <QDebug>
#include <QString>

struct CNError
{
    enum Code
    {
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
        PropertyNotFetched = 600,
    };

    int code = None;
    QString localizedDescription;
    qint64 position = -1;

    bool isError() const { return code != None; }
    // The text the program logs for this error.
    QString description() const
    {
        return QStringLiteral("Error Domain=CNErrorDomain Code=%1 \"%2\"")
            .arg(QString::number(code), localizedDescription);
    }
    static CNError make(int code, const QString& text, qint64 position = -1) { return CNError{code, text, position}; }

    friend bool operator==(const CNError&, const CNError&) = default;
};

// Stores error in *out when out is not null; returns false so that callers can `return report(...)`.
inline bool CNReportError(CNError* out, const CNError& error)
{
    if (out)
        *out = error;
    return false;
}

inline QDebug operator<<(QDebug debug, const CNError& error)
{
    QDebugStateSaver saver(debug);
    debug.noquote() << error.description();
    if (error.position >= 0)
        debug.nospace() << " at " << error.position;
    return debug;
}
