#pragma once
// Work queues: serial queues over a small shared thread pool, one concurrent background queue, and
// hops to the main thread. Serial queues run their blocks one at a time, in order.
//
// A synchronous dispatch never needs a spare pool thread: on an idle queue the block runs on the
// caller's thread, and a queue whose turn is still waiting in the pool is drained by the caller
// itself. So waits nest (a background block waiting for the main thread, the main thread waiting
// for a serial queue) with as few as two pool threads.

#include <QString>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

class QRunnable;

class KQDispatchQueue : public std::enable_shared_from_this<KQDispatchQueue>
{
public:
    static std::shared_ptr<KQDispatchQueue> create(const QString& label);
    ~KQDispatchQueue();

    const QString& label() const { return m_label; }

    void async(std::function<void()> block);
    // Runs block on the queue and waits for it; an exception thrown by block is rethrown here and
    // leaves the queue usable. Must not be called from this queue's own blocks.
    void sync(const std::function<void()>& block);
    // True inside a block of this queue.
    bool isCurrent() const;

private:
    enum class State
    {
        Idle,      // nothing queued, nobody draining
        Scheduled, // a drain waits in the pool for a thread
        Draining,  // a thread runs the queue's blocks
    };
    explicit KQDispatchQueue(QString label);
    // Runs queued blocks until the queue is empty or, when given, until ourTurnDone answers true.
    void drain(const std::function<bool()>& ourTurnDone = {});
    // Hands the rest of the queue to the pool, or marks it idle; called with the lock held.
    void scheduleLocked();

    QString m_label;
    std::mutex m_mutex;
    std::deque<std::function<void()>> m_blocks;
    State m_state = State::Idle;
    QRunnable* m_scheduled = nullptr; // the pool's pending drain while Scheduled
};

using KQDispatchQueuePtr = std::shared_ptr<KQDispatchQueue>;

namespace KQDispatch {

bool isMainThread();
// Runs block on the global background queue (concurrent, low priority).
void globalAsync(std::function<void()> block);
// Queues block on the main thread.
void mainAsync(std::function<void()> block);
// Runs block on the main thread and waits; runs it at once when already there.
void mainSync(const std::function<void()>& block);
// Waits until every block queued on the global background queue has run (for tests).
void waitForGlobalQueue();
// How many threads the pools use (at least two); for tests of the waits above.
void setMaxThreadCount(int count);
int maxThreadCount();
// Called on the main thread before the program returns from main: lets every queued and running
// block finish (serving their hops to the main thread meanwhile) and joins the pool threads, so
// that no worker outlives main and touches static data being destroyed.
void shutdown();

} // namespace KQDispatch
