#include "KQTestUtil.h"
#include "platform/KQDispatch.h"
#include "platform/KQNotificationCenter.h"

#include <QThread>
#include <atomic>
#include <gtest/gtest.h>
#include <stdexcept>
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

namespace {

// Runs a test body with the pools at two threads, as on a small machine.
class TwoThreadPools : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_previous = KQDispatch::maxThreadCount();
        KQDispatch::setMaxThreadCount(2);
    }
    void TearDown() override { KQDispatch::setMaxThreadCount(m_previous); }

private:
    int m_previous = 2;
};

} // namespace

TEST_F(TwoThreadPools, QueuesWaitingOnEachOtherDoNotStarve)
{
    // More queues waiting synchronously on another queue than the pool has threads: each waiting
    // block drains the queue it waits for itself.
    std::vector<KQDispatchQueuePtr> queues;
    for (int i = 0; i < 16; ++i)
        queues.push_back(KQDispatchQueue::create(QStringLiteral("test.chain")));
    std::atomic<int> done{0};
    for (int i = 0; i < 15; ++i) {
        // Keep the target busy with work of its own, so the wait cannot simply run inline.
        queues[static_cast<size_t>(i + 1)]->async([] { QThread::msleep(2); });
        queues[static_cast<size_t>(i)]->async(
            [&, i] { queues[static_cast<size_t>(i + 1)]->sync([&] { done.fetch_add(1); }); });
    }
    EXPECT_TRUE(kqWaitUntil([&] { return done.load() == 15; }));
}

TEST_F(TwoThreadPools, NestedWaitsOfTheProgramFinish)
{
    // Background jobs, more than there are threads, each wait for a node's serial queue and then
    // for the main thread (a synchronous load); meanwhile the main thread waits for a serial queue
    // that has work queued (a record's load from a window).
    const auto node = KQDispatchQueue::create(QStringLiteral("test.node"));
    const auto record = KQDispatchQueue::create(QStringLiteral("test.record"));
    std::atomic<int> jobs{0};
    std::atomic<int> installedOnMain{0};
    for (int i = 0; i < 6; ++i) {
        KQDispatch::globalAsync([&] {
            int fetched = 0;
            node->sync([&fetched] {
                QThread::msleep(3);
                fetched = 1;
            });
            KQDispatch::mainSync([&] { installedOnMain += KQDispatch::isMainThread() ? fetched : 0; });
            jobs.fetch_add(1);
        });
    }
    for (int i = 0; i < 10; ++i)
        record->async([] { QThread::msleep(1); });
    bool ranInRecordQueue = false;
    record->sync([&] { ranInRecordQueue = record->isCurrent(); });
    EXPECT_TRUE(ranInRecordQueue);
    EXPECT_TRUE(kqWaitUntil([&] { return jobs.load() == 6; }));
    EXPECT_EQ(installedOnMain.load(), 6);
}

TEST(Dispatch, SyncOnAnIdleQueueRunsOnTheCallersThread)
{
    auto queue = KQDispatchQueue::create(QStringLiteral("test.idle"));
    std::thread::id ranOn;
    bool inside = false;
    queue->sync([&] {
        ranOn = std::this_thread::get_id();
        inside = queue->isCurrent();
    });
    EXPECT_EQ(ranOn, std::this_thread::get_id());
    EXPECT_TRUE(inside);
    // Work queued while the inline block ran still runs, in order, afterwards.
    std::vector<int> order;
    queue->sync([&] {
        queue->async([&] { order.push_back(2); });
        order.push_back(1);
    });
    queue->sync([&] { order.push_back(3); });
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

struct ThrowCase
{
    const char* name;
    bool busy; // the queue has work queued when the throwing block is dispatched
};

void PrintTo(const ThrowCase& c, std::ostream* os)
{
    *os << c.name;
}

class SyncThatThrows : public ::testing::TestWithParam<ThrowCase>
{
};

TEST_P(SyncThatThrows, ReachesTheCallerAndLeavesTheQueueUsable)
{
    auto queue = KQDispatchQueue::create(QStringLiteral("test.throw"));
    std::atomic<int> ran{0};
    if (GetParam().busy) {
        queue->async([] { QThread::msleep(20); });
        queue->async([&] { ran.fetch_add(1); });
    }
    EXPECT_THROW(queue->sync([] { throw std::runtime_error("bad block"); }), std::runtime_error);
    queue->async([&] { ran.fetch_add(1); });
    queue->sync([&] { ran.fetch_add(1); });
    EXPECT_EQ(ran.load(), GetParam().busy ? 3 : 2);
    EXPECT_FALSE(queue->isCurrent());
}

INSTANTIATE_TEST_SUITE_P(IdleOrBusy, SyncThatThrows,
                         ::testing::Values(ThrowCase{"OnAnIdleQueue", false}, ThrowCase{"OnABusyQueue", true}),
                         [](const ::testing::TestParamInfo<ThrowCase>& row) { return std::string(row.param.name); });

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
