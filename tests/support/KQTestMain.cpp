// Test entry point: GoogleTest inside a Qt application object, so that timers, queued calls and
// the event loop work in tests. Tests never touch the user's real files.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#ifdef KQ_TEST_GUI
#include <QApplication>
using KQTestApplication = QApplication;
#else
#include <QCoreApplication>
using KQTestApplication = QCoreApplication;
#endif

int main(int argc, char** argv)
{
    // A private home for everything the tests write (store database, settings, caches), one per
    // process, so that tests running in parallel never share a store.
    QTemporaryDir home;
    // HOME too: some locations fall back to it.
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_DATA_HOME", (home.path() + QStringLiteral("/data")).toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toUtf8());
    qputenv("XDG_CACHE_HOME", (home.path() + QStringLiteral("/cache")).toUtf8());
#ifdef KQ_TEST_GUI
    // Also when run by hand or by ctest's test discovery, which does not pass the test environment.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
    KQTestApplication app(argc, argv);
    KQTestApplication::setApplicationName(QStringLiteral("peoplekeeper-tests"));
    KQTestApplication::setOrganizationDomain(QStringLiteral("peoplekeeper.org"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
