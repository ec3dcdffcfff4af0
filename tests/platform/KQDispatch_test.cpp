#include "platform/KQDispatch.h"
#include "platform/KQNotificationCenter.h"
#include "KQTestUtil.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>

TEST(Dispatch, SerialQueueRunsBlocksOneAtATimeInOrder)
{
    auto queue = KQDispatchQueue::create(QStringLiteral("test.serial"));
    std::vector<int> order;
    std::atomic<int> running{0};
    std::atomic<bool> overlapped{false};
    for (int i = 0; i < 200; ++i) {
        queue->async([&, i] {
            if (running.fetch_add(1) != 0)
                overlapped = true;
            order.push_back(i);
            running.fetch_sub(1);
        });
    }
    bool inside = false;
    queue->sync([&] { inside = queue->isCurrent(); });
    EXPECT_TRUE(inside);
    EXPECT_FALSE(queue->isCurrent());
    EXPECT_FALSE(overlapped);
    ASSERT_EQ(order.size(), 200u);
    for (int i = 0; i < 200; ++i)
        EXPECT_EQ(order[static_cast<size_t>(i)], i);
}

TEST(Dispatch, QueuesWaitingOnEachOtherDoNotStarve)
{
    // Many queues each waiting synchronously on another queue must all finish.
    std::vector<KQDispatchQueuePtr> queues;
    for (int i = 0; i < 16; ++i)
        queues.push_back(KQDispatchQueue::create(QStringLiteral("test.chain")));
    std::atomic<int> done{0};
    for (int i = 0; i < 15; ++i) {
        queues[static_cast<size_t>(i)]->async(
            [&, i] { queues[static_cast<size_t>(i + 1)]->sync([&] { done.fetch_add(1); }); });
    }
    EXPECT_TRUE(kqWaitUntil([&] { return done.load() == 15; }));
}

TEST(Dispatch, MainThreadHops)
{
    ASSERT_TRUE(KQDispatch::isMainThread());
    std::atomic<bool> ranOnMain{false};
    std::atomic<bool> asyncRan{false};
    std::thread worker([&] {
        EXPECT_FALSE(KQDispatch::isMainThread());
        KQDispatch::mainSync([&] { ranOnMain = KQDispatch::isMainThread(); });
        KQDispatch::mainAsync([&] { asyncRan = true; });
    });
    // The worker's blocking hop needs the main loop running.
    EXPECT_TRUE(kqWaitUntil([&] { return ranOnMain.load(); }));
    worker.join();
    EXPECT_TRUE(kqWaitUntil([&] { return asyncRan.load(); }));

    int value = 0;
    KQDispatch::mainSync([&] { value = 1; }); // on the main thread: runs at once
    EXPECT_EQ(value, 1);

    std::atomic<int> background{0};
    for (int i = 0; i < 10; ++i)
        KQDispatch::globalAsync([&] { background.fetch_add(1); });
    KQDispatch::waitForGlobalQueue();
    EXPECT_EQ(background.load(), 10);
}

TEST(NotificationCenter, DeliversByNameAndSenderUntilTheObserverGoes)
{
    KQNotificationCenter* center = KQNotificationCenter::defaultCenter();
    int sender = 0;
    int other = 0;
    QStringList seen;
    {
        QObject observer;
        center->addObserver(
            QStringLiteral("A"), &observer,
            [&seen](const KQNotification& n) {
                seen.append(n.name + n.userInfo.value(QStringLiteral("k")).toString());
            },
            &sender);
        center->post(QStringLiteral("A"), &sender, {{QStringLiteral("k"), QStringLiteral("1")}});
        center->post(QStringLiteral("A"), &other);
        center->post(QStringLiteral("B"), &sender);
    }
    center->post(QStringLiteral("A"), &sender);
    EXPECT_EQ(seen, QStringList{QStringLiteral("A1")});
}
