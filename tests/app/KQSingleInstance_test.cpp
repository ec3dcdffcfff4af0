#include "KQTestUtil.h"
#include "app/KQSingleInstance.h"

#include <QFile>
#include <QSysInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(KQSingleInstance, SecondLaunchHandsOverToTheFirst)
{
    QTemporaryDir dir;
    auto first = std::make_unique<KQSingleInstance>(dir.path());
    int activations = 0;
    QObject::connect(first.get(), &KQSingleInstance::activationRequested, [&activations] { ++activations; });
    ASSERT_TRUE(first->start());

    KQSingleInstance second(dir.path());
    EXPECT_FALSE(second.start());
    EXPECT_TRUE(kqWaitUntil([&] { return activations == 1; }));

    // Once the first copy ends, the next launch runs, also over the socket the first left behind.
    first.reset();
    KQSingleInstance third(dir.path());
    EXPECT_TRUE(third.start());
}

TEST(KQSingleInstance, LockOfACopyThatDiedIsTakenOver)
{
    QTemporaryDir dir;
    KQSingleInstance probe(dir.path());
    // A lock file naming a process that no longer runs, as a crash leaves it.
    QFile lock(probe.lockFilePath());
    ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
    lock.write("999999\npeoplekeeper\n" + QSysInfo::machineHostName().toUtf8() + "\n");
    lock.close();
    EXPECT_TRUE(probe.start());
}
