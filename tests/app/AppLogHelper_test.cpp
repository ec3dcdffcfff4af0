#include "KQAppTestSupport.h"
#include "app/AppLogHelper.h"
#include "platform/KQLog.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSysInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>
#include <ostream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kBannerFirstLine =
    QStringLiteral("======================================Bundle Information===============================");

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Identity of the file behind descriptor 2.
std::pair<dev_t, ino_t> standardErrorIdentity()
{
    struct stat info = {};
    fstat(STDERR_FILENO, &info);
    return {info.st_dev, info.st_ino};
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

TEST(AppLogHelper, TwoRunsWriteTwoFilesEachStartingWithTheBannerAndGiveStandardErrorBack)
{
    AppLogHelper* log = AppLogHelper::sharedLogHelper();
    ASSERT_TRUE(QDir(log->logPath()).exists());
    const auto before = standardErrorIdentity();

    QStringList files;
    for (int run = 0; run < 2; ++run) {
        ASSERT_TRUE(log->newLogFile());
        files << log->currentLogFilePath();
        log->LogSoftwareAndSystemInfo();
        KQLog(QStringLiteral("run %1").arg(run));
        log->closeCurrentLogFile();
        EXPECT_TRUE(log->currentLogFilePath().isEmpty());
    }

    ASSERT_EQ(files.size(), 2);
    EXPECT_NE(files[0], files[1]); // two runs in the same millisecond still get two files
    for (int run = 0; run < 2; ++run) {
        EXPECT_EQ(QFileInfo(files[run]).absolutePath(), QDir(log->logPath()).absolutePath());
        const QByteArray text = readAll(files[run]);
        EXPECT_TRUE(text.startsWith(kBannerFirstLine.toUtf8() + '\n')) << text.left(200).constData();
        EXPECT_TRUE(text.endsWith(QStringLiteral("run %1\n").arg(run).toUtf8()));
    }

    // Standard error is where it was: a line written now reaches neither file.
    EXPECT_EQ(standardErrorIdentity(), before);
    const QByteArray marker("applog-test: standard error restored\n");
    ASSERT_EQ(::write(STDERR_FILENO, marker.constData(), static_cast<size_t>(marker.size())), marker.size());
    KQLog(QStringLiteral("applog-test: through the stream"));
    for (const QString& file : files) {
        EXPECT_FALSE(readAll(file).contains("applog-test")) << file.toStdString();
    }
}

TEST(AppLogHelper, OpeningALogFileInAPlaceThatCannotBeWrittenLeavesStandardErrorAsItWas)
{
    AppLogHelper* log = AppLogHelper::sharedLogHelper();
    QTemporaryDir dir;
    ASSERT_TRUE(writeFile(dir.filePath(QStringLiteral("plain")), "x"));
    const auto before = standardErrorIdentity();

    for (const QString& path :
         {dir.filePath(QStringLiteral("missing/run.log")), dir.filePath(QStringLiteral("plain/run.log")), dir.path()}) {
        EXPECT_FALSE(log->newLogToFile(path)) << path.toStdString();
        EXPECT_TRUE(log->currentLogFilePath().isEmpty());
        EXPECT_EQ(standardErrorIdentity(), before);
    }
    // The stream still writes: a failed redirection must not have closed it.
    EXPECT_GE(std::fputs("applog-test: stream alive\n", stderr), 0);
    EXPECT_EQ(std::fflush(stderr), 0);
    EXPECT_EQ(readAll(dir.filePath(QStringLiteral("plain"))), QByteArray("x"));
}

TEST(AppLogHelper, ReserveLogFileNeverReusesATakenName)
{
    QTemporaryDir dir;
    const QString name = QStringLiteral("01-02-2024 10-20-30 456.log");
    ASSERT_TRUE(writeFile(dir.filePath(name), "earlier run"));

    const QString second = AppLogHelper::reserveLogFile(dir.path(), name);
    EXPECT_EQ(QFileInfo(second).fileName(), QStringLiteral("01-02-2024 10-20-30 456 (2).log"));
    const QString third = AppLogHelper::reserveLogFile(dir.path(), name);
    EXPECT_EQ(QFileInfo(third).fileName(), QStringLiteral("01-02-2024 10-20-30 456 (3).log"));
    EXPECT_EQ(readAll(dir.filePath(name)), QByteArray("earlier run"));

    EXPECT_TRUE(AppLogHelper::reserveLogFile(dir.filePath(QStringLiteral("missing")), name).isEmpty());
}

TEST(AppLogHelper, LogFileNameIsDayMonthYearTimeAndMilliseconds)
{
    const QString name = AppLogHelper::makeLogFileName();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{2}-\\d{2}-\\d{4} \\d{2}-\\d{2}-\\d{2} \\d{3}\\.log$"))
                    .match(name)
                    .hasMatch())
        << name.toStdString();
}

// Whole decimal gigabytes, rounded down, up to the largest size the counter can hold.
TEST(AppLogHelper, MemoryLineShowsBytesAndWholeDecimalGigabytes)
{
    EXPECT_EQ(AppLogHelper::physicalMemoryLine(999999999ULL), QStringLiteral("Physical memory 999999999(0 GB)"));
    EXPECT_EQ(AppLogHelper::physicalMemoryLine(18446744073709551615ULL),
              QStringLiteral("Physical memory 18446744073709551615(18446744073 GB)"));
}

TEST(AppLogHelper, UptimeLineShowsWholeSecondsAndHours)
{
    EXPECT_EQ(AppLogHelper::uptimeLine(5400.9),
              QStringLiteral("The amount of time system has been awake 5400 second(1.50 hours)"));
    EXPECT_EQ(AppLogHelper::uptimeLine(0),
              QStringLiteral("The amount of time system has been awake 0 second(0.00 hours)"));
}

struct ZoneCase
{
    long milliCelsius;
    long expected;
};

void PrintTo(const ZoneCase& c, std::ostream* os)
{
    *os << c.milliCelsius << " millidegrees";
}

class AppLogHelperThermalZone : public ::testing::TestWithParam<ZoneCase>
{
};

TEST_P(AppLogHelperThermalZone, TakesTheHighestTripPointReached)
{
    const QList<AppLogHelper::ThermalTrip> trips = {{QStringLiteral("critical"), 105000},
                                                    {QStringLiteral("passive"), 90000},
                                                    {QStringLiteral("active"), 60000},
                                                    {QStringLiteral("hot"), 100000}};
    EXPECT_EQ(AppLogHelper::thermalStateForZone(GetParam().milliCelsius, trips), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Temperatures, AppLogHelperThermalZone,
                         ::testing::Values(ZoneCase{35000, 0}, ZoneCase{59999, 0}, ZoneCase{60000, 1},
                                           ZoneCase{89999, 1}, ZoneCase{90000, 2}, ZoneCase{100000, 3},
                                           ZoneCase{120000, 3}));

TEST(AppLogHelper, ThermalStateReadsTheWorstZoneAndIsNominalWithoutZones)
{
    QTemporaryDir root;
    EXPECT_EQ(AppLogHelper::thermalState(root.path()), 0);
    EXPECT_EQ(AppLogHelper::thermalState(root.filePath(QStringLiteral("absent"))), 0);

    const auto zone = [&root](const QString& name, const QByteArray& temp,
                              const QList<std::pair<QByteArray, QByteArray>>& trips) {
        QDir(root.path()).mkpath(name);
        writeFile(root.filePath(name + QStringLiteral("/temp")), temp + '\n');
        for (int i = 0; i < trips.size(); ++i) {
            writeFile(root.filePath(name + QStringLiteral("/trip_point_%1_type").arg(i)), trips[i].first + '\n');
            writeFile(root.filePath(name + QStringLiteral("/trip_point_%1_temp").arg(i)), trips[i].second + '\n');
        }
    };
    zone(QStringLiteral("thermal_zone0"), "45000", {{"critical", "100000"}});
    EXPECT_EQ(AppLogHelper::thermalState(root.path()), 0);
    // A disabled trip point (0) and an unreadable temperature do not count.
    zone(QStringLiteral("thermal_zone1"), "50000", {{"passive", "0"}, {"active", "48000"}});
    zone(QStringLiteral("thermal_zone2"), "garbage", {{"critical", "1000"}});
    EXPECT_EQ(AppLogHelper::thermalState(root.path()), 1);
    zone(QStringLiteral("thermal_zone3"), "95000", {{"passive", "90000"}});
    EXPECT_EQ(AppLogHelper::thermalState(root.path()), 2);
}

TEST(AppLogHelper, BannerCarriesThisMachinesValues)
{
    const QStringList lines = AppLogHelper::softwareAndSystemInfoLines();
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(lines.front(), kBannerFirstLine);
    EXPECT_TRUE(lines.contains(QStringLiteral("Host name ") + QSysInfo::machineHostName()));
    EXPECT_TRUE(lines.contains(QStringLiteral("System name ") + QSysInfo::prettyProductName()));
    // The kernel's version, not the distribution's.
    const QString versionPrefix = QStringLiteral("System version number ");
    const auto version =
        std::find_if(lines.cbegin(), lines.cend(), [&](const QString& line) { return line.startsWith(versionPrefix); });
    ASSERT_NE(version, lines.cend());
    EXPECT_TRUE(
        QSysInfo::kernelVersion().startsWith(version->mid(versionPrefix.size()).section(QLatin1Char('.'), 0, 1)))
        << version->toStdString() << " vs " << QSysInfo::kernelVersion().toStdString();
}
