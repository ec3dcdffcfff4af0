// The main window over a large account, offscreen: the time from selecting the account to the first
// rows painted, the longest block of the event loop while the list loads, scrolls end to end, sorts
// and filters, and the time from each keystroke of a search to the list showing its result.
//
//   mainwindow_bench [count]      (default 100000)

#include "app/windows/KQContactListModel.h"
#include "app/windows/KQContactsViewController.h"
#include "app/windows/KQMainWindow.h"
#include "platform/KQAllocatorPolicy.h"
#include "store/KQContactManager.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFocusEvent>
#include <QLineEdit>
#include <QListView>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <sys/resource.h>

namespace {

CNMutableContact makeContact(int i)
{
    CNMutableContact c;
    c.setGivenName(QStringLiteral("Given%1").arg(i));
    c.setFamilyName(QStringLiteral("Family%1").arg(i % 977));
    c.setOrganizationName(QStringLiteral("Company %1").arg(i % 311));
    c.setJobTitle(i % 3 == 0 ? QStringLiteral("Engineer") : QString());
    c.setPhoneNumbers({CNLabeledValue<CNPhoneNumber>(
        CNLabelHome, CNPhoneNumber(QStringLiteral("+1 555 %1").arg(i, 7, 10, QLatin1Char('0'))))});
    c.setEmailAddresses({CNLabeledValue<QString>(CNLabelHome, QStringLiteral("person%1@example.com").arg(i))});
    c.setNote(QStringLiteral("Met at conference number %1.").arg(i));
    return c;
}

// The longest time the event loop went without serving a 1 ms timer; and, of that kind of gap,
// the most CPU time the main thread itself used, which a busy machine does not inflate (a gap
// of wall time may be mostly waiting for a core).
class BlockWatch
{
public:
    BlockWatch()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(1);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { tick(); });
    }
    void start()
    {
        m_longest = 0;
        m_longestCpu = 0;
        m_clock.start();
        m_last = 0;
        m_lastCpu = threadCpu();
        m_timer.start();
    }
    // The longest gap in ms; longestCpu() then gives the main thread's most CPU in one gap.
    double stop()
    {
        tick();
        m_timer.stop();
        return static_cast<double>(m_longest) / 1e6;
    }
    double longestCpu() const { return static_cast<double>(m_longestCpu) / 1e6; }

private:
    static qint64 threadCpu()
    {
        timespec now{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return static_cast<qint64>(now.tv_sec) * 1000000000 + now.tv_nsec;
    }
    void tick()
    {
        const qint64 now = m_clock.nsecsElapsed();
        const qint64 cpu = threadCpu();
        m_longest = std::max(m_longest, now - m_last);
        m_longestCpu = std::max(m_longestCpu, cpu - m_lastCpu);
        m_last = now;
        m_lastCpu = cpu;
    }
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_lastCpu = 0;
    qint64 m_longest = 0;
    qint64 m_longestCpu = 0;
};

// CPU seconds of the whole process (every thread) and of the main thread alone, so that a phase's
// wall time can be told apart from waiting for a busy machine.
struct CpuClock
{
    static double process()
    {
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
               static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    }
    static double mainThread()
    {
        timespec now{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
    }
    void start()
    {
        m_process = process();
        m_main = mainThread();
    }
    // "cpu 1.23 s (main thread 0.45 s)" since start.
    QByteArray since() const
    {
        return QStringLiteral("cpu %1 s, main thread %2 s")
            .arg(process() - m_process, 0, 'f', 3)
            .arg(mainThread() - m_main, 0, 'f', 3)
            .toUtf8();
    }
    double m_process = 0;
    double m_main = 0;
};

// The main thread sleeps between events, as the application's does (a busy loop here would take a
// core from the workers); a timer wakes it every millisecond to look at the condition.
template <typename Condition> bool waitUntil(Condition condition, int timeoutMs = 600000)
{
    QTimer wake;
    wake.setTimerType(Qt::PreciseTimer);
    wake.start(1);
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// Notes the first paint of the list's viewport that shows rows.
class PaintSpy : public QObject
{
public:
    PaintSpy(QWidget* viewport, const QAbstractItemModel* model) : m_model(model)
    {
        viewport->installEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && m_model->rowCount() > 0)
            painted = true;
        return false;
    }
    bool painted = false;

private:
    const QAbstractItemModel* m_model;
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
    qputenv("XDG_CACHE_HOME", (home.path() + QStringLiteral("/cache")).toUtf8());
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 100000;

    KQContactManager* manager = KQContactManager::sharedContactManager();
    CNContactStore* store = manager->contactStore();
    const QString local = store->defaultContainerIdentifier();
    for (int start = 0; start < count; start += 1000) {
        CNSaveRequest request;
        for (int i = start; i < std::min(count, start + 1000); ++i)
            request.addContact(makeContact(i), local);
        if (!store->executeSaveRequest(request)) {
            std::fprintf(stderr, "save failed\n");
            return 1;
        }
    }
    KQContactStoreHelper* helper = manager->storeHelper();
    waitUntil([helper] { return !helper->updatingStore(); });
    helper->asyncLoadContainerHelpers();
    waitUntil([helper] { return !helper->updatingStore(); });
    waitUntil([manager, &local] { return manager->containerHelperWithIdentifier(local) != nullptr; });
    const KQContainerHelperPtr account = manager->containerHelperWithIdentifier(local);

    KQMainWindow window(manager);
    window.resize(1200, 800);
    window.show();
    window.selectGroupTreeNode(manager->recyle().get());
    KQContactsViewController* contacts = window.contactsViewController();
    waitUntil([contacts] { return !contacts->isLoading(); });
    QListView* list = contacts->listView();
    BlockWatch watch;

    // Select the account: first rows painted, and the longest block while it loads.
    PaintSpy spy(list->viewport(), list->model());
    QElapsedTimer clock;
    double nodeLoaded = 0;
    QObject::connect(account.get(), &KQGroupTreeNode::contactsLoadedChanged, [&] {
        if (account->isContactsLoaded() && nodeLoaded == 0)
            nodeLoaded = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    });
    CpuClock cpu;
    watch.start();
    cpu.start();
    clock.start();
    window.selectGroupTreeNode(account.get());
    waitUntil([&spy] { return spy.painted; });
    const double firstRows = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    const QByteArray firstRowsCpu = cpu.since();
    waitUntil([contacts, count] {
        return !contacts->isLoading() && static_cast<int>(contacts->contactHelpers().size()) == count;
    });
    const double loaded = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    const double loadBlock = watch.stop();
    const double loadBlockCpu = watch.longestCpu();
    const QByteArray loadedCpu = cpu.since();

    // Scroll from the top to the end, a page at a time.
    QScrollBar* bar = list->verticalScrollBar();
    watch.start();
    cpu.start();
    clock.restart();
    int pages = 0;
    while (bar->value() < bar->maximum()) {
        bar->setValue(bar->value() + bar->pageStep());
        list->viewport()->repaint();
        QCoreApplication::processEvents();
        ++pages;
    }
    const double scrollTime = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    const double scrollBlock = watch.stop();
    const double scrollBlockCpu = watch.longestCpu();
    const QByteArray scrollCpu = cpu.since();

    // Sort descending.
    watch.start();
    cpu.start();
    clock.restart();
    window.findChild<QToolButton*>(QStringLiteral("sortButton"))->click();
    waitUntil([contacts] { return !contacts->isLoading(); });
    const double sortTime = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    const double sortBlock = watch.stop();
    const double sortBlockCpu = watch.longestCpu();
    const QByteArray sortCpu = cpu.since();

    // The search field takes the focus, as it does before anyone types, and the list's index gets
    // its search texts on a worker; then the search, keystroke by keystroke.
    auto* search = window.findChild<QLineEdit*>(QStringLiteral("searchField"));
    clock.restart();
    search->setFocus();
    QFocusEvent focusIn(QEvent::FocusIn);
    QCoreApplication::sendEvent(search, &focusIn);
    waitUntil([contacts] { return contacts->isSearchPrepared(); });
    const double prepareTime = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    const QString typed = QStringLiteral("given123");
    double longestKey = 0;
    double totalKey = 0;
    watch.start();
    cpu.start();
    for (qsizetype k = 1; k <= typed.size(); ++k) {
        clock.restart();
        search->setText(typed.left(k));
        waitUntil([contacts] { return !contacts->isLoading(); });
        const double key = static_cast<double>(clock.nsecsElapsed()) / 1e9;
        longestKey = std::max(longestKey, key);
        totalKey += key;
    }
    const double filterBlock = watch.stop();
    const double filterBlockCpu = watch.longestCpu();
    const QByteArray filterCpu = cpu.since();
    const size_t found = contacts->contactHelpers().size();

    std::printf("main window over %d contacts (offscreen)\n", count);
    std::printf("  select account -> first rows painted   %8.3f s   (goal <= 0.300; %s)\n", firstRows,
                firstRowsCpu.constData());
    std::printf("  select account -> whole list sorted    %8.3f s   (records installed at %.3f s; %s)\n", loaded,
                nodeLoaded, loadedCpu.constData());
    std::printf(
        "  longest event-loop block: loading      %8.1f ms  (goal <= 50; main thread's cpu in one block %.1f ms)\n",
        loadBlock, loadBlockCpu);
    std::printf("  longest event-loop block: scrolling    %8.1f ms  (goal <= 50, %d pages in %.2f s; cpu %.1f ms)\n",
                scrollBlock, pages, scrollTime, scrollBlockCpu);
    std::printf("  longest event-loop block: sorting      %8.1f ms  (goal <= 50, sorted in %.3f s; cpu %.1f ms)\n",
                sortBlock, sortTime, sortBlockCpu);
    std::printf("  longest event-loop block: filtering    %8.1f ms  (goal <= 50; cpu %.1f ms)\n", filterBlock,
                filterBlockCpu);
    std::printf("  search field focused -> texts indexed  %8.3f s   (on a worker)\n", prepareTime);
    std::printf("  search per keystroke: longest / mean   %8.1f / %.1f ms  (goal <= 50; %zu found for \"%s\")\n",
                longestKey * 1000, totalKey * 1000 / static_cast<double>(typed.size()), found,
                typed.toUtf8().constData());
    std::printf("  cpu while scrolling: %s; sorting: %s; searching: %s\n", scrollCpu.constData(), sortCpu.constData(),
                filterCpu.constData());
    return 0;
}
