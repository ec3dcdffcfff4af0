#include "app/AppLogHelper.h"

#include "platform/KQLog.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QStandardPaths>
#include <QSysInfo>
#include <QVersionNumber>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <pwd.h>
#include <sys/sysinfo.h>
#include <sys/utsname.h>
#include <unistd.h>

namespace {

const QString kSeparator = QStringLiteral("\n\n\n\n");

QString readFirstLine(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readLine()).trimmed();
}

// The user's name and the full name from the password database (the part of the GECOS field
// before the first comma).
std::pair<QString, QString> userNames()
{
    const passwd* entry = getpwuid(getuid());
    if (entry == nullptr)
        return {};
    const QString gecos = entry->pw_gecos != nullptr ? QString::fromLocal8Bit(entry->pw_gecos) : QString();
    return {QString::fromLocal8Bit(entry->pw_name), gecos.section(QLatin1Char(','), 0, 0)};
}

quint64 physicalMemoryBytes()
{
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0)
        return 0;
    return static_cast<quint64>(pages) * static_cast<quint64>(pageSize);
}

double uptimeSeconds()
{
    bool ok = false;
    const double seconds = readFirstLine(QStringLiteral("/proc/uptime")).section(QLatin1Char(' '), 0, 0).toDouble(&ok);
    if (ok)
        return seconds;
    struct sysinfo info = {};
    return sysinfo(&info) == 0 ? static_cast<double>(info.uptime) : 0.0;
}

// Major, minor and patch of the running kernel ("6.1.0-18-amd64" gives 6, 1, 0).
QVersionNumber kernelVersion()
{
    utsname name = {};
    if (uname(&name) != 0)
        return {};
    return QVersionNumber::fromString(QString::fromLatin1(name.release));
}

std::mutex fallbackMutex;
QtMessageHandler previousMessageHandler = nullptr;

void writeAll(const QByteArray& bytes)
{
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n = ::write(STDERR_FILENO, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n <= 0 && errno != EINTR)
            return;
        if (n > 0)
            done += n;
    }
}

// Qt's own lines, written as its default handler would, but watched for a failed write.
void writeMessage(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    const QByteArray line = qFormatLogMessage(type, context, message).toLocal8Bit() + '\n';
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stderr);
    std::fflush(stderr);
    if (std::ferror(stderr))
        AppLogHelper::sharedLogHelper()->fallBackToStandardError(line);
    if (type == QtFatalMsg)
        std::abort();
}

} // namespace

AppLogHelper* AppLogHelper::sharedLogHelper()
{
    static AppLogHelper helper;
    return &helper;
}

AppLogHelper::AppLogHelper() : m_logPath(QStandardPaths::writableLocation(QStandardPaths::CacheLocation))
{
    QDir().mkpath(m_logPath);
}

bool AppLogHelper::newLogFile()
{
    if (m_savedStandardError >= 0)
        closeCurrentLogFile();
    const QString path = reserveLogFile(m_logPath, makeLogFileName());
    if (path.isEmpty())
        return false;
    return newLogToFile(path);
}

bool AppLogHelper::newLogToFile(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    // Try the file first: a failed freopen would leave standard error closed.
    const int probe = ::open(native.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (probe < 0)
        return false;
    ::close(probe);

    const int saved = ::dup(STDERR_FILENO);
    if (saved < 0)
        return false;
    std::fflush(stderr);
    if (std::freopen(native.constData(), "a+", stderr) == nullptr) {
        // The stream is closed now: put the descriptor back and give the stream a new one.
        ::dup2(saved, STDERR_FILENO);
        ::close(saved);
        stderr = ::fdopen(STDERR_FILENO, "a");
        return false;
    }
    m_savedStandardError = saved;
    m_currentLogFile = path;
    KQSetLogWriteFailureHandler([](const QByteArray& line) { sharedLogHelper()->fallBackToStandardError(line); });
    previousMessageHandler = qInstallMessageHandler(writeMessage);
    return true;
}

void AppLogHelper::fallBackToStandardError(const QByteArray& line)
{
    const int error = errno;
    std::lock_guard lock(fallbackMutex);
    if (m_savedStandardError < 0)
        return;
    std::clearerr(stderr);
    ::dup2(m_savedStandardError, STDERR_FILENO);
    ::close(m_savedStandardError);
    m_savedStandardError = -1;
    const QByteArray note = "Warning: the log file \"" + QFile::encodeName(m_currentLogFile) +
                            "\" cannot be written (" + std::strerror(error) + "); the log goes on here.\n";
    m_currentLogFile.clear();
    writeAll(note);
    writeAll(line.endsWith('\n') ? line : line + '\n');
}

void AppLogHelper::closeCurrentLogFile()
{
    std::lock_guard lock(fallbackMutex);
    if (m_savedStandardError < 0)
        return;
    qInstallMessageHandler(previousMessageHandler);
    KQSetLogWriteFailureHandler(nullptr);
    std::fflush(stderr);
    ::dup2(m_savedStandardError, STDERR_FILENO);
    ::close(m_savedStandardError);
    m_savedStandardError = -1;
    m_currentLogFile.clear();
}

QString AppLogHelper::makeLogFileName()
{
    const QLocale locale(QLocale::English, QLocale::UnitedStates);
    return locale.toString(QDateTime::currentDateTime(), QStringLiteral("dd-MM-yyyy HH-mm-ss zzz")) +
           QStringLiteral(".log");
}

QString AppLogHelper::reserveLogFile(const QString& folder, const QString& name)
{
    const QFileInfo info(name);
    const QString base = info.completeBaseName();
    const QString suffix = info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
    for (int n = 1; n < 1000; ++n) {
        const QString candidate = n == 1 ? name : QStringLiteral("%1 (%2)%3").arg(base).arg(n).arg(suffix);
        const QString path = QDir(folder).filePath(candidate);
        // O_EXCL: a second run starting at the same moment never shares or truncates our file.
        const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            ::close(fd);
            return path;
        }
        if (errno != EEXIST)
            return {};
    }
    return {};
}

QString AppLogHelper::thermalStateDesci(long state)
{
    switch (state) {
    case 0:
        return QStringLiteral("Nominal");
    case 1:
        return QStringLiteral("Fair");
    case 2:
        return QStringLiteral("Serious");
    case 3:
        return QStringLiteral("Critial");
    default:
        return QStringLiteral("Unknown");
    }
}

QString AppLogHelper::physicalMemoryLine(quint64 bytes)
{
    return QStringLiteral("Physical memory %1(%2 GB)").arg(bytes).arg(bytes / 1000000000ULL);
}

QString AppLogHelper::uptimeLine(double seconds)
{
    return QStringLiteral("The amount of time system has been awake %1 second(%2 hours)")
        .arg(static_cast<qulonglong>(seconds))
        .arg(seconds / 3600.0, 0, 'f', 2);
}

long AppLogHelper::thermalStateForZone(long milliCelsius, const QList<ThermalTrip>& trips)
{
    long state = 0;
    for (const ThermalTrip& trip : trips) {
        if (milliCelsius < trip.milliCelsius)
            continue;
        if (trip.type == QLatin1String("critical") || trip.type == QLatin1String("hot"))
            state = std::max(state, 3L);
        else if (trip.type == QLatin1String("passive"))
            state = std::max(state, 2L);
        else if (trip.type == QLatin1String("active"))
            state = std::max(state, 1L);
    }
    return state;
}

long AppLogHelper::thermalState(const QString& root)
{
    long state = 0;
    const QDir folder(root);
    const QStringList zones =
        folder.entryList({QStringLiteral("thermal_zone*")}, QDir::Dirs | QDir::NoDotAndDotDot | QDir::System);
    for (const QString& zone : zones) {
        const QDir zoneDir(folder.filePath(zone));
        bool ok = false;
        const long temperature = readFirstLine(zoneDir.filePath(QStringLiteral("temp"))).toLong(&ok);
        if (!ok)
            continue;
        QList<ThermalTrip> trips;
        for (int i = 0;; ++i) {
            const QString prefix = QStringLiteral("trip_point_%1_").arg(i);
            const QString type = readFirstLine(zoneDir.filePath(prefix + QStringLiteral("type")));
            if (type.isEmpty())
                break;
            bool tripOk = false;
            const long tripTemperature =
                readFirstLine(zoneDir.filePath(prefix + QStringLiteral("temp"))).toLong(&tripOk);
            // Disabled trip points read as 0 or a negative value.
            if (tripOk && tripTemperature > 0)
                trips.append({type, tripTemperature});
        }
        state = std::max(state, thermalStateForZone(temperature, trips));
    }
    return state;
}

QStringList AppLogHelper::softwareAndSystemInfoLines()
{
    QStringList lines;
    lines << QStringLiteral("======================================Bundle Information===============================");
    const QString version = QCoreApplication::applicationVersion();
    lines << QStringLiteral("Bundle name %1").arg(QCoreApplication::applicationName());
    lines << QStringLiteral("Bundle version %1").arg(version);
    lines << QStringLiteral("Bundle short version %1").arg(version);
    lines << QStringLiteral("Bundle identifier %1").arg(QCoreApplication::organizationDomain());
    lines << kSeparator;

    lines << QStringLiteral("======================================Process Information===============================");
    const auto [user, fullName] = userNames();
    lines << QStringLiteral("Process user name %1, full user name %2").arg(user, fullName);
    const long processors = sysconf(_SC_NPROCESSORS_CONF);
    const long active = sysconf(_SC_NPROCESSORS_ONLN);
    lines << QStringLiteral("Processor count %1, active count %2")
                 .arg(std::max(processors, 0L))
                 .arg(std::max(active, 0L));
    lines << physicalMemoryLine(physicalMemoryBytes());
    lines << uptimeLine(uptimeSeconds());
    lines << QStringLiteral("Process thermal state %1").arg(thermalStateDesci(thermalState()));
    lines << QStringLiteral("Host name %1").arg(QSysInfo::machineHostName());
    lines << kSeparator;

    lines << QStringLiteral(
        "========================================System version information=============================");
    lines << QStringLiteral("System name %1").arg(QSysInfo::prettyProductName());
    const QVersionNumber kernel = kernelVersion();
    lines << QStringLiteral("System version number %1.%2.%3")
                 .arg(kernel.majorVersion())
                 .arg(kernel.minorVersion())
                 .arg(kernel.microVersion());
    lines << kSeparator;
    return lines;
}

void AppLogHelper::LogSoftwareAndSystemInfo()
{
    for (const QString& line : softwareAndSystemInfoLines())
        KQLog(line);
}
