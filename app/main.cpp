#include "app/AppDelegate.h"
#include "app/AppLogHelper.h"
#include "app/KQSingleInstance.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char** argv)
{
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
        // A second launch hands over to the running copy and ends.
        KQSingleInstance instance;
        if (instance.start()) {
            AppDelegate delegate;
            QObject::connect(&instance, &KQSingleInstance::activationRequested, &delegate,
                             [&delegate] { delegate.showMainWindowWithContactHelper(nullptr); });
            // The access check needs the running main loop: refusal ends it.
            QTimer::singleShot(0, &delegate, &AppDelegate::applicationWillFinishLaunching);
            exitCode = QApplication::exec();
        }
    }

    log->closeCurrentLogFile();
    return exitCode;
}
