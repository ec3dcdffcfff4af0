// The application started on a home whose files are damaged in one way each: it must not crash,
// must say what happened in its log at warning level or above, and must not replace any file with
// a shorter one.

#include "KQStoreDamage.h"
#include "platform/CNContactStore.h"
#include "platform/CNMutableContact.h"
#include "platform/CNSaveRequest.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <functional>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

namespace {

QString storeOf(const QString& home)
{
    return home + QStringLiteral("/data/contacts/store.sqlite");
}

QString privateFile(const QString& home, const char* name)
{
    return home + QStringLiteral("/data/Peoplekeeper/Peoplekeeper/") + QLatin1String(name);
}

void fillStore(const QString& home)
{
    QDir().mkpath(home + QStringLiteral("/data/contacts"));
    CNContactStore store(storeOf(home));
    CNSaveRequest request;
    for (int i = 0; i < 300; ++i) {
        CNMutableContact contact;
        contact.setGivenName(QStringLiteral("Given%1").arg(i));
        contact.setNote(QStringLiteral("note %1 ").arg(i) + QString(150, u'x'));
        request.addContact(contact, QString());
    }
    ASSERT_TRUE(store.executeSaveRequest(request));
}

void put(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

void setUserVersion(const QString& path, int version)
{
    sqlite3* db = nullptr;
    sqlite3_open(QFile::encodeName(path).constData(), &db);
    sqlite3_exec(db, QByteArray("PRAGMA user_version=" + QByteArray::number(version)).constData(), nullptr, nullptr,
                 nullptr);
    sqlite3_close(db);
}

struct HomeDamage
{
    const char* name;
    std::function<void(const QString& home)> damage;
};

void PrintTo(const HomeDamage& c, std::ostream* os)
{
    *os << c.name;
}

// Size of every file under folder, by path.
QHash<QString, qint64> sizes(const QString& folder)
{
    QHash<QString, qint64> result;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        result.insert(path, QFileInfo(path).size());
    }
    return result;
}

QString logOf(const QString& cacheHome)
{
    QDirIterator it(cacheHome, {QStringLiteral("*.log")}, QDir::Files, QDirIterator::Subdirectories);
    QString text;
    while (it.hasNext()) {
        QFile file(it.next());
        if (file.open(QIODevice::ReadOnly))
            text += QString::fromUtf8(file.readAll());
    }
    return text;
}

// A line of the program's own at warning level or above (not one of the toolkit's).
bool hasWarning(const QString& log)
{
    for (const QString& line : log.split(u'\n'))
        if (line.startsWith(QLatin1String("warning kq.")) || line.startsWith(QLatin1String("critical kq.")))
            return true;
    return false;
}

class DamagedHomeTest : public ::testing::TestWithParam<HomeDamage>
{
};

} // namespace

TEST_P(DamagedHomeTest, StartsWithoutCrashSaysWhyAndShortensNoFile)
{
    // The superuser may write any file, so a read-only store is not one for it.
    if (::getuid() == 0 && std::string(GetParam().name) == "StoreReadOnly")
        GTEST_SKIP() << "runs as the superuser";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString home = dir.path();
    fillStore(home);
    // Working private files first, so that a damage of one leaves the others to be checked too.
    put(privateFile(home, "tags.peoplekeeper"), QByteArray());
    GetParam().damage(home);
    const QHash<QString, qint64> before = sizes(home + QStringLiteral("/data"));

    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/data"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config"));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), home + QStringLiteral("/cache"));
    // Its own runtime folder, so that runs in parallel are not taken for a second copy.
    const QString runtime = home + QStringLiteral("/runtime");
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("QT_MESSAGE_PATTERN"), QStringLiteral("%{type} %{category}: %{message}"));
    env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("kq.store.nodes.debug=true"));
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(QStringLiteral(KQ_APP_BINARY), {});
    ASSERT_TRUE(process.waitForStarted(30000));

    // Until it has said something at warning level and loaded what it could, or a time limit.
    QDeadlineTimer deadline(20000);
    while (!deadline.hasExpired() && process.state() == QProcess::Running) {
        if (hasWarning(logOf(home + QStringLiteral("/cache"))))
            break;
        QThread::msleep(50);
    }
    // Time to load what it can after the first warning.
    QThread::msleep(1500);
    if (process.state() == QProcess::Running)
        process.terminate();
    ASSERT_TRUE(process.waitForFinished(60000));
    const QString log = logOf(home + QStringLiteral("/cache"));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit) << log.toStdString();
    EXPECT_TRUE(hasWarning(log)) << log.toStdString();

    const QHash<QString, qint64> after = sizes(home + QStringLiteral("/data"));
    for (auto it = before.cbegin(); it != before.cend(); ++it) {
        // Gone is allowed only for files set aside under another name, which keep every byte.
        if (!after.contains(it.key()))
            continue;
        if (it.key().endsWith(QLatin1String("-wal")) || it.key().endsWith(QLatin1String("-shm")))
            continue;
        EXPECT_GE(after.value(it.key()), it.value()) << it.key().toStdString();
    }
    qint64 keptBytes = 0;
    qint64 goneBytes = 0;
    for (auto it = before.cbegin(); it != before.cend(); ++it) {
        if (!after.contains(it.key()) && !it.key().endsWith(QLatin1String("-wal")) &&
            !it.key().endsWith(QLatin1String("-shm")))
            goneBytes += it.value();
    }
    for (auto it = after.cbegin(); it != after.cend(); ++it)
        if (it.key().contains(QLatin1String(".damaged-")))
            keptBytes += it.value();
    EXPECT_GE(keptBytes, goneBytes);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, DamagedHomeTest,
    ::testing::Values(
        HomeDamage{"StorePageDamage",
                   [](const QString& home) { ASSERT_TRUE(kqDamageLastContactsPage(storeOf(home))); }},
        HomeDamage{"StoreTruncated",
                   [](const QString& home) {
                       QFile file(storeOf(home));
                       ASSERT_TRUE(file.resize(file.size() / 2));
                   }},
        HomeDamage{"StoreEmpty", [](const QString& home) { put(storeOf(home), QByteArray()); }},
        HomeDamage{"StoreIsAFolder",
                   [](const QString& home) {
                       QFile::remove(storeOf(home));
                       QDir().mkpath(storeOf(home));
                   }},
        HomeDamage{"StoreReadOnly",
                   [](const QString& home) {
                       QFile::setPermissions(storeOf(home), QFileDevice::ReadOwner | QFileDevice::ReadGroup);
                   }},
        HomeDamage{"StoreOfANewerVersion", [](const QString& home) { setUserVersion(storeOf(home), 99); }},
        HomeDamage{"TrashIsAFolder",
                   [](const QString& home) { QDir().mkpath(privateFile(home, "recyle.peoplekeeper")); }},
        HomeDamage{"TrashDamaged",
                   [](const QString& home) { put(privateFile(home, "recyle.peoplekeeper"), QByteArray(3000, 'T')); }},
        HomeDamage{"LastImportIsAFolder",
                   [](const QString& home) { QDir().mkpath(privateFile(home, "latest.peoplekeeper")); }},
        HomeDamage{"LastImportDamaged",
                   [](const QString& home) { put(privateFile(home, "latest.peoplekeeper"), QByteArray(3000, 'L')); }},
        HomeDamage{"TagsIsAFolder",
                   [](const QString& home) {
                       QFile::remove(privateFile(home, "tags.peoplekeeper"));
                       QDir().mkpath(privateFile(home, "tags.peoplekeeper"));
                   }},
        HomeDamage{"TagsDamaged",
                   [](const QString& home) { put(privateFile(home, "tags.peoplekeeper"), QByteArray(3000, 'G')); }}),
    [](const ::testing::TestParamInfo<HomeDamage>& p) { return std::string(p.param.name); });
