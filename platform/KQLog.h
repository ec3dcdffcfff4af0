#pragma once

#include <QString>

// Writes one line to standard error (which the application redirects into the run's log file).
// Safe to call from any thread; lines never interleave.
void KQLog(const QString& line);

// Called (with the line) when a line could not be written, for instance because the log file's
// disk is full; it must not log through KQLog itself.
void KQSetLogWriteFailureHandler(void (*handler)(const QByteArray& line));
