// peoplekeeper-cli: the address-book tools of Peoplekeeper for scripts and machines without a desktop.

#include "cli/KQCliCommands.h"
#include "cli/KQCliContext.h"
#include "platform/KQAllocatorPolicy.h"
#include "platform/KQDispatch.h"
#include "store/KQContactStoreHelper.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QThread>
#include <cstring>
#include <exception>
#include <memory>

namespace {

void printUsage(const KQCliContext& context)
{
    QString text = QStringLiteral("usage: peoplekeeper-cli COMMAND [OPTIONS]\n\ncommands:\n");
    for (const KQCliCommand& command : kKQCliCommands)
        text += QStringLiteral("  %1\n").arg(QString::fromUtf8(command.usage));
    context.err(text);
}

// Printed pages are laid out with fonts, which need a GUI application object.
bool wantsPrintedPages(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--format=pdf") == 0 ||
            (std::strcmp(argv[i], "--format") == 0 && i + 1 < argc && std::strcmp(argv[i + 1], "pdf") == 0))
            return true;
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    KQConfigureAllocator();
    // The same names as the application, so both use the same store, private files and settings.
    QCoreApplication::setApplicationName(QStringLiteral("Peoplekeeper"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KQ_VERSION));
    QCoreApplication::setOrganizationName(QStringLiteral("Peoplekeeper"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("peoplekeeper.org"));
    std::unique_ptr<QCoreApplication> application;
    if (wantsPrintedPages(argc, argv)) {
        // No display is needed: the offscreen platform serves fonts and painting.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        application = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        application = std::make_unique<QCoreApplication>(argc, argv);
    }
    QCoreApplication& app = *application;

    KQCliContext context;
    QStringList arguments = QCoreApplication::arguments().mid(1);
    if (arguments.isEmpty() || arguments.first() == QLatin1String("help") ||
        arguments.first() == QLatin1String("--help") || arguments.first() == QLatin1String("-h")) {
        printUsage(context);
        return arguments.isEmpty() ? 2 : 0;
    }
    if (arguments.first() == QLatin1String("--version")) {
        context.out(QStringLiteral("peoplekeeper-cli %1\n").arg(QCoreApplication::applicationVersion()));
        return 0;
    }

    const QString name = arguments.takeFirst();
    const KQCliCommand* command = nullptr;
    for (const KQCliCommand& candidate : kKQCliCommands)
        if (name == QLatin1String(candidate.name))
            command = &candidate;
    if (command == nullptr) {
        context.err(QStringLiteral("peoplekeeper-cli: unknown command \"%1\"\n").arg(name));
        printUsage(context);
        return 2;
    }

    // The command runs on a worker so that it may wait for the main thread, which runs the event
    // loop that installs loaded nodes and delivers the store's callbacks.
    int status = 0;
    QThread* worker = QThread::create([&] {
        try {
            status = command->run(context, arguments);
        } catch (const KQCliFailure& failure) {
            context.finishProgress();
            context.err(QStringLiteral("peoplekeeper-cli %1: %2\n").arg(name, failure.message));
            status = failure.status;
        } catch (const std::exception& exception) {
            context.finishProgress();
            context.err(QStringLiteral("peoplekeeper-cli %1: %2\n").arg(name, QString::fromUtf8(exception.what())));
            status = 1;
        }
    });
    QObject::connect(worker, &QThread::finished, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    worker->start();
    QCoreApplication::exec();
    worker->wait();
    delete worker;
    // No pool thread may outlive main.
    KQDispatch::shutdown();
    // Written back and released, so that the next start finds the store in order.
    KQContactStoreHelper::closeSharedStore();
    std::fflush(stdout);
    return status;
}
