// Quitting the application at random moments of its start-up, many times over a store of many
// contacts: it must always end normally, with no worker left touching data being torn down. Most
// quits are aimed into the account's contact fetch, the moment a worker is busiest.
//
// Normal runs are small; KQ_TEST_LARGE=1 runs the full size (100,000 contacts, 50 quits), which is
// meant for an AddressSanitizer build.

#include "platform/CNContactStore.h"
#include "platform/CNMutableContact.h"
#include "platform/CNSaveRequest.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>
#include <iostream>

namespace {

const QString kFetchStarted = QStringLiteral("fetching contacts of node ");
const QString kFetchEnded = QStringLiteral("fetched ");
const QString kQuitRequested = QStringLiteral("quit requested by a signal");

bool largeRun()
{
    return qEnvironmentVariableIsSet("KQ_TEST_LARGE");
}

// Fills the store the application will open (the one under XDG_DATA_HOME) with count contacts.
void fillStore(const QString& dataHome, int count)
{
    QDir().mkpath(dataHome + QStringLiteral("/contacts"));
    CNContactStore store(dataHome + QStringLiteral("/contacts/store.sqlite"));
    constexpr int kBatch = 5000;
    for (int start = 0; start < count; start += kBatch) {
        CNSaveRequest request;
        for (int i = start; i < std::min(count, start + kBatch); ++i) {
            CNMutableContact contact;
            contact.setGivenName(QStringLiteral("Given%1").arg(i));
            contact.setFamilyName(QStringLiteral("Family%1").arg(i % 997));
            contact.setOrganizationName(QStringLiteral("Company %1").arg(i % 101));
            contact.setPhoneNumbers({CNLabeledValue<CNPhoneNumber>(
                QStringLiteral("_$!<Mobile>!$_"),
                CNPhoneNumber::phoneNumberWithStringValue(QStringLiteral("555 %1").arg(i)))});
            contact.setEmailAddresses(
                {CNLabeledValue<QString>(QStringLiteral("_$!<Home>!$_"), QStringLiteral("p%1@example.org").arg(i))});
            contact.setNote(QStringLiteral("note %1").arg(i));
            request.addContact(contact, QString());
        }
        CNError error;
        ASSERT_TRUE(store.executeSaveRequest(request, &error)) << error.localizedDescription.toStdString();
    }
}

// The run's log file (the application writes one per run into its caches folder).
QString readLog(const QString& cacheHome)
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

class Launch
{
public:
    explicit Launch(const QString& home) : m_home(home)
    {
        m_cache = home + QStringLiteral("/cache");
        QDir(m_cache).removeRecursively();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), home);
        env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/data"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config"));
        env.insert(QStringLiteral("XDG_CACHE_HOME"), m_cache);
        // Its own runtime folder, so that a copy running elsewhere is not taken for this one's first.
        const QString runtime = home + QStringLiteral("/runtime");
        QDir().mkpath(runtime);
        QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("QT_FORCE_STDERR_LOGGING"), QStringLiteral("1"));
        env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("kq.store.nodes.debug=true;kq.app.debug=true"));
        m_process.setProcessEnvironment(env);
        m_process.setProcessChannelMode(QProcess::ForwardedChannels);
        m_process.start(QStringLiteral(KQ_APP_BINARY), {});
        m_clock.start();
    }

    bool started() { return m_process.waitForStarted(30000); }
    QString log() const { return readLog(m_cache); }
    qint64 elapsedMs() const { return m_clock.elapsed(); }

    // Waits until the log holds text; false after timeoutMs or when the process ended.
    bool waitForLog(const QString& text, int timeoutMs)
    {
        QDeadlineTimer deadline(timeoutMs);
        while (!deadline.hasExpired() && m_process.state() == QProcess::Running) {
            if (log().contains(text))
                return true;
            QThread::msleep(1);
        }
        return log().contains(text);
    }

    void quit() { m_process.terminate(); }
    bool finished() { return m_process.waitForFinished(180000); }
    QProcess& process() { return m_process; }

private:
    QString m_home;
    QString m_cache;
    QProcess m_process;
    QElapsedTimer m_clock;
};

// Whether the quit line came after a fetch started and before it ended.
bool quitDuringFetch(const QString& log)
{
    const qsizetype quitAt = log.indexOf(kQuitRequested);
    if (quitAt < 0)
        return false;
    const qsizetype startedAt = log.lastIndexOf(kFetchStarted, quitAt);
    if (startedAt < 0)
        return false;
    const qsizetype endedAt = log.indexOf(kFetchEnded, startedAt + kFetchStarted.size());
    return endedAt < 0 || endedAt > quitAt;
}

} // namespace

TEST(QuitDuringStartup, EveryQuitEndsTheProgramNormally)
{
    const int contacts = largeRun() ? 100000 : 3000;
    const int quits = largeRun() ? 50 : 6;
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    fillStore(home.path() + QStringLiteral("/data"), contacts);

    // One full start-up first, to learn how long the account's fetch takes here.
    qint64 fetchMs = 0;
    qint64 startupMs = 0;
    {
        Launch launch(home.path());
        ASSERT_TRUE(launch.started());
        ASSERT_TRUE(launch.waitForLog(kFetchStarted, 120000)) << launch.log().toStdString();
        const qint64 fetchStart = launch.elapsedMs();
        ASSERT_TRUE(launch.waitForLog(kFetchEnded, 120000)) << launch.log().toStdString();
        startupMs = launch.elapsedMs();
        fetchMs = std::max<qint64>(1, startupMs - fetchStart);
        launch.quit();
        ASSERT_TRUE(launch.finished());
        EXPECT_EQ(launch.process().exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(launch.process().exitCode(), 0);
    }

    int duringFetch = 0;
    QRandomGenerator random(20261206);
    for (int i = 0; i < quits; ++i) {
        Launch launch(home.path());
        ASSERT_TRUE(launch.started());
        if (i % 5 == 4) {
            // Anywhere in the start-up.
            QThread::msleep(static_cast<unsigned long>(random.bounded(static_cast<int>(startupMs) + 1)));
        } else {
            // Into the fetch: after it started, before it would end.
            launch.waitForLog(kFetchStarted, 120000);
            QThread::msleep(static_cast<unsigned long>(random.bounded(static_cast<int>(fetchMs * 3 / 4) + 1)));
        }
        launch.quit();
        ASSERT_TRUE(launch.finished()) << "quit " << i << " did not end the program";
        const QString log = launch.log();
        EXPECT_EQ(launch.process().exitStatus(), QProcess::NormalExit) << "quit " << i << "\n" << log.toStdString();
        EXPECT_EQ(launch.process().exitCode(), 0) << "quit " << i << "\n" << log.toStdString();
        if (quitDuringFetch(log))
            ++duringFetch;
    }
    std::cout << "quits: " << quits << ", during the account fetch: " << duringFetch << ", fetch took about " << fetchMs
              << " ms of " << startupMs << " ms to the end of the fetch\n";
    RecordProperty("quits_during_fetch", duringFetch);
    if (largeRun()) {
        EXPECT_GE(duringFetch, quits / 2);
    }
}
