#include "platform/KQDispatch.h"

#include <QCoreApplication>
#include <QThread>
#include <QThreadPool>

#include <future>

namespace {

// Queues may block in sync() on other queues, so the pool is large enough that a waiting block
// never starves the queue it waits for.
QThreadPool* queuePool()
{
    static QThreadPool* pool = [] {
        auto* p = new QThreadPool;
        p->setMaxThreadCount(64);
        p->setExpiryTimeout(30000);
        return p;
    }();
    return pool;
}

QThreadPool* backgroundPool()
{
    static QThreadPool* pool = [] {
        auto* p = new QThreadPool;
        p->setMaxThreadCount(std::max(2, QThread::idealThreadCount()));
        p->setThreadPriority(QThread::LowPriority);
        return p;
    }();
    return pool;
}

thread_local const KQDispatchQueue* t_currentQueue = nullptr;

} // namespace

std::shared_ptr<KQDispatchQueue> KQDispatchQueue::create(const QString& label)
{
    return std::shared_ptr<KQDispatchQueue>(new KQDispatchQueue(label));
}

KQDispatchQueue::KQDispatchQueue(QString label) : m_label(std::move(label)) {}

KQDispatchQueue::~KQDispatchQueue() = default;

void KQDispatchQueue::async(std::function<void()> block)
{
    bool start = false;
    {
        std::lock_guard lock(m_mutex);
        m_blocks.push_back(std::move(block));
        if (!m_running) {
            m_running = true;
            start = true;
        }
    }
    if (start) {
        // The drain keeps the queue alive until its last block has run.
        auto self = shared_from_this();
        queuePool()->start([self] { self->drain(); });
    }
}

void KQDispatchQueue::drain()
{
    const KQDispatchQueue* previous = t_currentQueue;
    t_currentQueue = this;
    for (;;) {
        std::function<void()> block;
        {
            std::lock_guard lock(m_mutex);
            if (m_blocks.empty()) {
                m_running = false;
                break;
            }
            block = std::move(m_blocks.front());
            m_blocks.pop_front();
        }
        block();
    }
    t_currentQueue = previous;
}

void KQDispatchQueue::sync(const std::function<void()>& block)
{
    Q_ASSERT(!isCurrent());
    std::promise<void> done;
    auto future = done.get_future();
    async([&block, &done] {
        block();
        done.set_value();
    });
    future.wait();
}

bool KQDispatchQueue::isCurrent() const
{
    return t_currentQueue == this;
}

namespace KQDispatch {

bool isMainThread()
{
    const QCoreApplication* app = QCoreApplication::instance();
    return app != nullptr && QThread::currentThread() == app->thread();
}

void globalAsync(std::function<void()> block)
{
    backgroundPool()->start(std::move(block));
}

void mainAsync(std::function<void()> block)
{
    QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(block), Qt::QueuedConnection);
}

void mainSync(const std::function<void()>& block)
{
    if (isMainThread()) {
        block();
        return;
    }
    QMetaObject::invokeMethod(QCoreApplication::instance(), block, Qt::BlockingQueuedConnection);
}

void waitForGlobalQueue()
{
    backgroundPool()->waitForDone();
}

} // namespace KQDispatch
