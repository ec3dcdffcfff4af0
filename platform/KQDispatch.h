#pragma once
// Work queues: serial queues over a shared thread pool, one concurrent background queue, and hops
// to the main thread. Serial queues run their blocks one at a time, in order.

#include <QString>

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

class KQDispatchQueue : public std::enable_shared_from_this<KQDispatchQueue>
{
public:
    static std::shared_ptr<KQDispatchQueue> create(const QString& label);
    ~KQDispatchQueue();

    const QString& label() const { return m_label; }

    void async(std::function<void()> block);
    // Runs block on the queue and waits for it. Must not be called from this queue's own blocks.
    void sync(const std::function<void()>& block);
    // True inside a block of this queue.
    bool isCurrent() const;

private:
    explicit KQDispatchQueue(QString label);
    void drain();

    QString m_label;
    std::mutex m_mutex;
    std::deque<std::function<void()>> m_blocks;
    bool m_running = false;
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
// Waits until every block queued on the global background queue has run (for tests and shutdown).
void waitForGlobalQueue();

} // namespace KQDispatch
