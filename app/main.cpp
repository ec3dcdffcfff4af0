#include "app/AppDelegate.h"
#include "app/AppLogHelper.h"
#include "app/KQCommandLine.h"
#include "app/KQSingleInstance.h"
#include "app/windows/KQAppIcon.h"
#include "platform/KQAllocatorPolicy.h"
#include "platform/KQDispatch.h"
#include "store/KQContactStoreHelper.h"

#include <QApplication>
#include <QDir>
#include <QLoggingCategory>
#include <QSocketNotifier>
#include <QSystemTrayIcon>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(kqAppLog, "kq.app", QtWarningMsg)

namespace {

// A termination signal (the session ending, a service manager, Ctrl-C) quits through the main loop,
// like the Quit command, instead of ending the process wherever it stands. The handler only writes
// to a pipe; the main loop reads it.
int s_signalPipe[2] = {-1, -1};

void onTerminationSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(s_signalPipe[1], &byte, 1);
}

// Installed first thing, so that a signal during start-up waits in the pipe for the main loop.
void catchTerminationSignals()
{
    if (::pipe2(s_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
}

void quitOnTerminationSignals(QApplication& app)
{
    if (s_signalPipe[0] < 0)
        return;
    auto* notifier = new QSocketNotifier(s_signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [] {
        char byte = 0;
        while (::read(s_signalPipe[0], &byte, 1) > 0) {
        }
        qCDebug(kqAppLog, "quit requested by a signal");
        // quit() asks the windows to close, which an open alert refuses: with one open, every
        // event loop is ended at once instead.
        if (QApplication::activeModalWidget() != nullptr)
            QCoreApplication::exit(0);
        else
            QApplication::quit();
    });
}

} // namespace

int main(int argc, char** argv)
{
    // Help, version and mistakes answer on the terminal before the log takes standard error.
    QStringList arguments;
    for (int index = 0; index < argc; ++index)
        arguments.append(QString::fromLocal8Bit(argv[index]));
    const KQCommandLine line = KQCommandLine::parse(arguments, QDir::currentPath());
    switch (line.action) {
    case KQCommandLine::Action::ShowHelp:
        std::fputs(KQCommandLine::helpText().toLocal8Bit().constData(), stdout);
        return 0;
    case KQCommandLine::Action::ShowVersion:
        std::fputs(KQCommandLine::versionText(QStringLiteral(KQ_VERSION)).toLocal8Bit().constData(), stdout);
        return 0;
    case KQCommandLine::Action::Error:
        std::fprintf(stderr, "%s\nTry 'peoplekeeper --help' for more information.\n",
                     line.errorText.toLocal8Bit().constData());
        return 2;
    case KQCommandLine::Action::Run:
        break;
    }

    KQConfigureAllocator();
    catchTerminationSignals();
    // Names first: the log folder and the banner are derived from them.
    QApplication::setApplicationName(QStringLiteral("Peoplekeeper"));
    QApplication::setApplicationVersion(QStringLiteral(KQ_VERSION));
    QApplication::setOrganizationName(QStringLiteral("Peoplekeeper"));
    QApplication::setOrganizationDomain(QStringLiteral("peoplekeeper.org"));

    AppLogHelper* log = AppLogHelper::sharedLogHelper();
    log->newLogFile();
    log->LogSoftwareAndSystemInfo();

    int exitCode = 0;
    {
        QApplication app(argc, argv);
        quitOnTerminationSignals(app);
        // A second launch hands over to the running copy and ends.
        KQSingleInstance instance;
        QApplication::setWindowIcon(KQAppIcon::icon());
        QApplication::setDesktopFileName(QStringLiteral("org.peoplekeeper.Peoplekeeper"));
        // Closing the main window leaves the tray and a reopen; Quit ends the application.
        QApplication::setQuitOnLastWindowClosed(!QSystemTrayIcon::isSystemTrayAvailable());
        if (instance.start(line.files)) {
            AppDelegate delegate;
            QObject::connect(&instance, &KQSingleInstance::activationRequested, &delegate,
                             [&delegate] { delegate.showMainWindowWithContactHelper(nullptr); });
            QObject::connect(&instance, &KQSingleInstance::filesOpened, &delegate, &AppDelegate::openFiles);
            delegate.openFiles(line.files);
            // The access check needs the running main loop: refusal ends it.
            QTimer::singleShot(0, &delegate, &AppDelegate::applicationWillFinishLaunching);
            exitCode = QApplication::exec();
            // Let running loads finish and join their threads while the application still exists,
            // so that no worker outlives main.
            KQDispatch::shutdown();
            // Written back and released, so that the next start finds the store in order.
            KQContactStoreHelper::closeSharedStore();
        }
    }

    log->closeCurrentLogFile();
    return exitCode;
}
