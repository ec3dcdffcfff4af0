#pragma once
// The store's tables and their versions. The schema version is PRAGMA user_version; opening a
// database runs, in one transaction, every migration step from its version to the current one.

#include "platform/CNSQLiteConnection.h"

#include <QString>

class CNSQLiteSchema
{
public:
    static constexpr int CurrentVersion = 2;

    // Brings the database to CurrentVersion. Fails, leaving the database untouched, when a step
    // fails or when the database was written by a newer version of the program.
    // *code receives SQLite's extended code of the failed step.
    static bool migrate(CNSQLiteConnection& db, CNError* error, int* code = nullptr);

    // The name of the local account of a fresh store.
    static QString localContainerName();
};
