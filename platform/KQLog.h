#pragma once

#include <QString>

// Writes one line to standard error (which the application redirects into the run's log file).
// Safe to call from any thread; lines never interleave.
void KQLog(const QString& line);
