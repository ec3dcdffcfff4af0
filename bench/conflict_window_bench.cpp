// The problem window never waits: Fix All over 1,000 items and a merge of 100 items, driven through
// the window's buttons offscreen, while a 1 ms timer on the main thread records the longest gap
// between its ticks. Goal: at most 50 ms for each job on a 2-core machine.
//
// Run: QT_QPA_PLATFORM=offscreen conflict_window_bench [items-to-fix items-to-merge]
// It works in a private temporary home, never in the user's address book.
#include "app/windows/KQConflictEditViewCtrl.h"
#include "app/windows/KQConflictWndCtrl.h"
#include "platform/CNContactStore.h"
#include "platform/CNLabels.h"
#include "platform/KQAllocatorPolicy.h"
#include "problems/KQConflictScanTask.h"
#include "store/KQContactManager.h"
#include "store/KQContactStoreHelper.h"
#include "store/KQContainerHelper.h"
#include "store/KQPreferences.h"

#include <QApplication>
#include <QCheckBox>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <cstdio>
#include <functional>

namespace {

bool waitUntil(const std::function<bool()>& condition, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return true;
}

// Records the longest gap between ticks of a 1 ms timer on the main thread.
class GapMeter : public QObject
{
public:
    GapMeter()
    {
        m_timer.setInterval(1);
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, this, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            if (now - m_last > m_longest) {
                m_longest = now - m_last;
                m_longestAt = m_last;
            }
            m_last = now;
        });
    }
    void start()
    {
        m_clock.start();
        m_last = 0;
        m_longest = 0;
        m_longestAt = 0;
        m_timer.start();
    }
    void stop() { m_timer.stop(); }
    double longestMs() const { return static_cast<double>(m_longest) / 1e6; }
    double elapsedMs() const { return static_cast<double>(m_clock.nsecsElapsed()) / 1e6; }
    // When the longest gap began, from the start.
    double longestAtMs() const { return static_cast<double>(m_longestAt) / 1e6; }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_longest = 0;
    qint64 m_longestAt = 0;
};

CNContactStore* cn()
{
    return KQContactStoreHelper::shared()->contactStore();
}

// Empties the store, adds pairs of contacts (exact duplicates, or the same name with different
// phone numbers) and returns the scan result of the default account.
KQConflictResultPtr book(int pairs, bool exact)
{
    KQContactManager::sharedContactManager();
    CNSaveRequest cleanup;
    cn()->enumerateContactsWithFetchRequest(CNContactFetchRequest({CNContactIdentifierKey}), nullptr,
                                            [&cleanup](const CNContactPtr& c, bool*) { cleanup.deleteContact(*c); });
    if (!cleanup.isEmpty())
        cn()->executeSaveRequest(cleanup);
    CNSaveRequest request;
    for (int i = 0; i < pairs; ++i) {
        for (int copy = 0; copy < 2; ++copy) {
            CNMutableContact c;
            c.setGivenName(QStringLiteral("Person%1").arg(i));
            c.setFamilyName(QStringLiteral("Müller-Łukasz"));
            c.setNote(QStringLiteral("note %1").arg(i));
            const QString phone = QStringLiteral("+49 30 %1%2").arg(100000 + i).arg(exact ? 0 : copy);
            c.setPhoneNumbers({{CNLabelHome, CNPhoneNumber(phone)}});
            request.addContact(c, cn()->defaultContainerIdentifier());
        }
    }
    cn()->executeSaveRequest(request);
    KQContactStoreHelper* store = KQContactStoreHelper::shared();
    waitUntil([store] { return !store->updatingStore(); }, 60000);
    store->asyncLoadContainerHelpers();
    waitUntil([store] { return !store->updatingStore(); }, 60000);
    const auto account =
        KQContactManager::sharedContactManager()->containerHelperWithIdentifier(cn()->defaultContainerIdentifier());
    account->refetchContacts();
    bool loaded = false;
    account->loadContactsWithCompleteHandler([&loaded](KQGroupTreeNode*, bool) { loaded = true; });
    waitUntil([&loaded] { return loaded; }, 60000);
    KQContactHelper::syncLoadAllKeysOfContactHelpers(account->contacts(), std::nullopt);
    auto task = KQConflictScanTask::initWithContactHelpers(account->contacts());
    task->setKinds(KQConflictScanKinds::fromPreferences(*KQPreferences::sharePreferences()));
    return task->scan({});
}

// Contacts in the store: what the job left.
int storedContacts()
{
    int count = 0;
    cn()->enumerateContactsWithFetchRequest(CNContactFetchRequest({CNContactIdentifierKey}), nullptr,
                                            [&count](const CNContactPtr&, bool*) { ++count; });
    return count;
}

void report(const char* job, int items, const GapMeter& meter, bool finished)
{
    std::printf("%-28s %5d items  %8.0f ms in all  longest gap %6.1f ms at %.0f ms  (goal <= 50 ms)%s\n", job, items,
                meter.elapsedMs(), meter.longestMs(), meter.longestAtMs(), finished ? "" : "  NOT FINISHED");
    std::printf("%-28s contacts left in the store: %d (one per item)\n", "", storedContacts());
}

} // namespace

int main(int argc, char** argv)
{
    // The heap behaves as in the program.
    KQConfigureAllocator();
    QTemporaryDir home;
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_DATA_HOME", (home.path() + QStringLiteral("/data")).toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toUtf8());
    qputenv("XDG_CACHE_HOME", (home.path() + QStringLiteral("/cache")).toUtf8());
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("peoplekeeper-bench"));
    const int fixItems = argc > 1 ? std::atoi(argv[1]) : 1000;
    const int mergeItems = argc > 2 ? std::atoi(argv[2]) : 100;
    for (const auto& meta : KQPreferences::sharePreferences()->availableConflicts())
        meta->setValidate(true);

    QMainWindow mainWindow;
    mainWindow.show();
    KQConflictWndCtrl window;
    GapMeter meter;

    // Fix All: delete the duplicate of each of the exact pairs.
    {
        const KQConflictResultPtr result = book(fixItems, true);
        window.runModalForWindow(&mainWindow, result);
        auto* fixAll = window.findChild<QPushButton*>(QStringLiteral("fixAllButton"));
        meter.start();
        fixAll->click();
        const bool done = waitUntil([&window] { return !window.busy(); }, 600000);
        waitUntil([&window] { return !window.isVisible(); }, 5000);
        meter.stop();
        report("Fix All (delete duplicates)", fixItems, meter, done);
    }
    // A merge applied to every item of a duplicate-name group.
    {
        const KQConflictResultPtr result = book(mergeItems, false);
        window.runModalForWindow(&mainWindow, result);
        window.findChild<QPushButton*>(QStringLiteral("fixAllButton"))->click();
        if (!window.isComparing()) {
            std::printf("the duplicate-name group did not open the compare view\n");
            return 1;
        }
        window.findChild<QToolButton*>(QStringLiteral("mergeButton"))->click();
        window.findChild<QCheckBox*>(QStringLiteral("applyMergeToLeftCheck"))->click();
        auto* ok = window.editViewCtrl()->findChild<QPushButton*>(QStringLiteral("okButton"));
        meter.start();
        ok->click();
        const bool done = waitUntil([&window] { return !window.busy(); }, 600000);
        waitUntil([&window] { return !window.isVisible(); }, 5000);
        meter.stop();
        report("Merge (apply to the rest)", mergeItems, meter, done);
    }
    return 0;
}
