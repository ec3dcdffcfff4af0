// Backup and restore of a whole account: the generator's contacts (a vCard file) are written into a
// fresh store with a tree of groups, the account is loaded, then backed up and restored. Prints the
// times (wall and the process's CPU time), contacts per second, the peak memory above the loaded
// account and the longest time the main thread went without running its event loop.
//
//   python3 ../shared/peers/gen_contacts.py 100000 /tmp/c100k
//   backup_bench /tmp/c100k.vcf [--deleted N]
//
// --deleted N (default 1000) contacts are deleted from the store between backup and restore, so
// that the restore adds them back besides updating the others.

#include "platform/CNContactVCardSerialization.h"
#include "platform/KQAllocatorPolicy.h"
#include "store/KQContactManager.h"
#include "store/KQGroupHelper.h"
#include "store/KQStorage.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <sys/resource.h>
#include <thread>

namespace {

// Resident and peak resident memory of the process, in KiB.
qint64 statusKiB(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(static_cast<qsizetype>(std::strlen(field))).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

// User and system CPU time of the whole process so far, in seconds.
double processCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Starts a new peak: the kernel sets the peak to the current resident size.
void resetPeak()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

// The longest gap between two turns of the main thread's event loop while it is armed.
class MainThreadWatch
{
public:
    MainThreadWatch()
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            if (m_armed.load() && m_last > 0)
                m_worst = std::max(m_worst.load(), now - m_last);
            m_last = now;
        });
        m_clock.start();
        m_timer.start(2);
    }
    void arm()
    {
        m_worst = 0;
        m_last = 0;
        m_armed = true;
    }
    double disarmMs()
    {
        m_armed = false;
        return static_cast<double>(m_worst.load()) / 1e6;
    }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    std::atomic<qint64> m_worst{0};
    std::atomic<bool> m_armed{false};
};

} // namespace

int main(int argc, char** argv)
{
    // The heap behaves as in the program.
    KQConfigureAllocator();
    QTemporaryDir home;
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_DATA_HOME", (home.path() + QStringLiteral("/data")).toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toUtf8());
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: backup_bench FILE.vcf [--deleted N]\n");
        return 2;
    }
    const int deleted = argc > 3 && QByteArray(argv[2]) == "--deleted" ? std::atoi(argv[3]) : 1000;
    QFile input(QString::fromLocal8Bit(argv[1]));
    if (!input.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    const CNContactList contacts = CNContactVCardSerialization::contactsWithData(input.readAll());
    input.close();

    KQContactManager* manager = KQContactManager::sharedContactManager();
    CNContactStore* store = manager->contactStore();
    const QString local = store->defaultContainerIdentifier();
    const int count = static_cast<int>(contacts.size());

    // Ten groups, each with two sub-groups; every contact in one group, one in five also in a sub-group.
    std::vector<CNGroup> groups;
    std::vector<CNGroup> subGroups;
    {
        CNSaveRequest request;
        for (int g = 0; g < 10; ++g) {
            groups.emplace_back(CNMakeIdentifier(), QStringLiteral("Group %1").arg(g));
            request.addGroup(groups.back(), local);
            for (int s = 0; s < 2; ++s) {
                subGroups.emplace_back(CNMakeIdentifier(), QStringLiteral("Group %1.%2").arg(g).arg(s));
                request.addGroup(subGroups.back(), local);
                request.addSubgroup(subGroups.back(), groups.back());
            }
        }
        store->executeSaveRequest(request);
    }
    for (int start = 0; start < count; start += 1000) {
        CNSaveRequest request;
        for (int i = start; i < std::min(count, start + 1000); ++i) {
            const CNMutableContactPtr copy = contacts[static_cast<size_t>(i)]->mutableCopy();
            copy->setIdentifier(CNMakeIdentifier());
            const CNMutableContact& contact = *copy;
            request.addContact(contact, local);
            request.addMember(contact, groups[static_cast<size_t>(i % 10)]);
            if (i % 5 == 0)
                request.addMember(contact, subGroups[static_cast<size_t>(i % 20)]);
        }
        if (!store->executeSaveRequest(request)) {
            std::fprintf(stderr, "save failed\n");
            return 1;
        }
    }

    MainThreadWatch watch;
    int status = 0;
    std::thread worker([&] {
        manager->storeHelper()->loadContainerHelpers();
        QThread::msleep(100);
        const KQContainerHelperPtr account = manager->containerHelperWithIdentifier(local);
        account->syncLoadContactsIfNecessary();
        const qint64 loadedKiB = statusKiB("VmRSS:");

        const auto run = [&](const char* label, const std::function<void(KQBackupProcessHandler)>& start) {
            std::atomic<qint64> result{1};
            resetPeak();
            const qint64 before = statusKiB("VmRSS:");
            const double cpuBefore = processCpuSeconds();
            QElapsedTimer timer;
            timer.start();
            watch.arm();
            start([&result](qint64 message, bool*, double) {
                if (message == KQBackupMessage::Finished || message == KQBackupMessage::Failed ||
                    message == KQBackupMessage::Cancelled)
                    result = message;
            });
            while (result.load() == 1)
                QThread::msleep(5);
            const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
            const double worst = watch.disarmMs();
            const double cpu = processCpuSeconds() - cpuBefore;
            std::printf("%-8s %s  %.2f s (CPU %.2f s)  %.0f contacts/s  peak +%.1f MiB over %.1f MiB  main thread "
                        "blocked at most "
                        "%.1f ms\n",
                        label, result.load() == 0 ? "ok    " : "FAILED", seconds, cpu, count / seconds,
                        static_cast<double>(statusKiB("VmHWM:") - before) / 1024.0,
                        static_cast<double>(before) / 1024.0, worst);
            std::fflush(stdout);
            return result.load() == 0;
        };

        QTemporaryDir folder;
        std::printf("contacts %d, account loaded at %.1f MiB\n", count, static_cast<double>(loadedKiB) / 1024.0);
        if (!run("backup", [&](KQBackupProcessHandler h) { account->backupToPath(folder.path(), std::move(h)); })) {
            status = 1;
        } else {
            const KQContainerBackupPtr backup =
                KQStorage::sharedStorage()->containerBackupsWithIdentifier(local).front();
            std::printf("file     %.1f MiB\n", static_cast<double>(QFileInfo(backup->backupFile()).size()) / 1048576.0);
            // Some contacts disappear from the store, as if deleted by another program.
            CNSaveRequest request;
            const auto records = account->currentContactHelpers();
            for (int i = 0; i < std::min(deleted, static_cast<int>(records.size())); ++i)
                request.deleteContact(*records[static_cast<size_t>(i)]->contact());
            store->executeSaveRequest(request);
            manager->storeHelper()->loadContainerHelpers();
            QThread::msleep(100);
            const KQContainerHelperPtr reloaded = manager->containerHelperWithIdentifier(local);
            reloaded->syncLoadContactsIfNecessary();
            if (!run("restore",
                     [&](KQBackupProcessHandler h) { reloaded->restoreContainerFromBackup(backup, std::move(h)); }))
                status = 1;
        }
        QMetaObject::invokeMethod(
            &app, [] { QCoreApplication::quit(); }, Qt::QueuedConnection);
    });
    QCoreApplication::exec();
    worker.join();
    return status;
}
