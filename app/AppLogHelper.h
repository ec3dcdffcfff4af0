#pragma once
// One diagnostic log file per run: standard error is redirected into a new file in the caches
// folder while the program runs, and the run starts with a banner describing the program and the
// machine. Everything here runs on the main thread.

#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>

class AppLogHelper
{
public:
    static AppLogHelper* sharedLogHelper();

    AppLogHelper(const AppLogHelper&) = delete;
    AppLogHelper& operator=(const AppLogHelper&) = delete;

    // Folder of the log files; created when the helper is made.
    QString logPath() const { return m_logPath; }
    // The file standard error currently goes to; empty when none.
    QString currentLogFilePath() const { return m_currentLogFile; }

    // Closes an open log file, then redirects standard error into a new file in logPath. A file
    // name already taken (two runs in the same millisecond) gets a counter; nothing is overwritten.
    bool newLogFile();
    // Redirects standard error into path (appending, created when missing). On failure standard
    // error stays as it was and the answer is false.
    bool newLogToFile(const QString& path);
    // Puts standard error back where it was before the log file was opened.
    void closeCurrentLogFile();
    // When a line cannot be written to the log file (its disk is full), standard error goes back
    // to where it was, a warning there names the file and the reason, and the line follows it:
    // nothing more is lost. Lines logged through KQLog and Qt's message handler are watched.
    void fallBackToStandardError(const QByteArray& line);

    // "dd-MM-yyyy HH-mm-ss zzz.log" for the current local time.
    static QString makeLogFileName();
    // Creates a new empty file named name (or "<name> (n).<ext>" when taken) in folder without
    // touching existing files; answers its path, or empty when the folder cannot be written.
    static QString reserveLogFile(const QString& folder, const QString& name);

    static QString thermalStateDesci(long state);
    void LogSoftwareAndSystemInfo();

    // --- pieces of the banner, exposed for checking
    static QStringList softwareAndSystemInfoLines();
    static QString physicalMemoryLine(quint64 bytes);
    static QString uptimeLine(double seconds);

    // Thermal state of this machine from the kernel's thermal zones under root
    // (/sys/class/thermal): 0 below every trip point, 1 at an active (fan) trip point, 2 at a
    // passive (throttling) one, 3 at a hot or critical one; the worst zone counts. 0 when the
    // machine reports no thermal zones.
    struct ThermalTrip
    {
        QString type;
        long milliCelsius = 0;
    };
    static long thermalStateForZone(long milliCelsius, const QList<ThermalTrip>& trips);
    static long thermalState(const QString& root = QStringLiteral("/sys/class/thermal"));

private:
    AppLogHelper();

    QString m_logPath;
    QString m_currentLogFile;
    int m_savedStandardError = -1; // duplicate of the initial descriptor 2 while a log file is open
};
