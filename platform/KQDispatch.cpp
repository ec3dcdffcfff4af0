#include "platform/KQDispatch.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QRunnable>
#include <QThread>
#include <QThreadPool>
#include <algorithm>
#include <exception>
#include <future>

Q_LOGGING_CATEGORY(kqDispatchLog, "kq.dispatch")

// Qt hands blocks between threads under its own locks, which a thread-sanitizer build cannot see
// (the distribution's Qt is not instrumented). These marks tell it where a block passes from one
// thread to another; elsewhere they compile to nothing.
#if defined(__SANITIZE_THREAD__)
#define KQ_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define KQ_THREAD_SANITIZER 1
#endif
#endif

#ifdef KQ_THREAD_SANITIZER
extern "C" void __tsan_acquire(void* addr);
extern "C" void __tsan_release(void* addr);
#define KQ_HANDOFF_RELEASE(token) __tsan_release(token)
#define KQ_HANDOFF_ACQUIRE(token) __tsan_acquire(token)
#else
#define KQ_HANDOFF_RELEASE(token) static_cast<void>(token)
#define KQ_HANDOFF_ACQUIRE(token) static_cast<void>(token)
#endif

namespace {

int defaultThreadCount()
{
    return std::max(2, QThread::idealThreadCount());
}

// Both pools are made once and never destroyed: a block still queued when statics are torn down
// must not find its pool gone. shutdown() joins their threads before main returns.
QThreadPool* queuePool()
{
    static QThreadPool* const pool = [] {
        auto* p = new QThreadPool;
        p->setMaxThreadCount(defaultThreadCount());
        p->setExpiryTimeout(30000);
        return p;
    }();
    return pool;
}

QThreadPool* backgroundPool()
{
    static QThreadPool* const pool = [] {
        auto* p = new QThreadPool;
        p->setMaxThreadCount(defaultThreadCount());
        p->setThreadPriority(QThread::LowPriority);
        return p;
    }();
    return pool;
}

thread_local const KQDispatchQueue* t_currentQueue = nullptr;

// A pool task that marks its hand-off from the thread that made it.
class HandoffTask final : public QRunnable
{
public:
    explicit HandoffTask(std::function<void()> body) : m_body(std::move(body))
    {
        setAutoDelete(true);
        KQ_HANDOFF_RELEASE(this);
    }
    void run() override
    {
        KQ_HANDOFF_ACQUIRE(this);
        m_body();
    }

private:
    std::function<void()> m_body;
};

// Marks the running thread as inside a queue for the guard's lifetime.
class CurrentQueue
{
public:
    explicit CurrentQueue(const KQDispatchQueue* queue) : m_previous(t_currentQueue) { t_currentQueue = queue; }
    ~CurrentQueue() { t_currentQueue = m_previous; }
    CurrentQueue(const CurrentQueue&) = delete;
    CurrentQueue& operator=(const CurrentQueue&) = delete;

private:
    const KQDispatchQueue* m_previous;
};

void runGuarded(const std::function<void()>& block, const QString& label)
{
    // An exception must not leave the queue stuck or end a pool thread; the block's owner had its
    // chance to handle it.
    try {
        block();
    } catch (const std::exception& exception) {
        qCCritical(kqDispatchLog, "block on queue %s threw: %s", qUtf8Printable(label), exception.what());
    } catch (...) {
        qCCritical(kqDispatchLog, "block on queue %s threw", qUtf8Printable(label));
    }
}

} // namespace

std::shared_ptr<KQDispatchQueue> KQDispatchQueue::create(const QString& label)
{
    return std::shared_ptr<KQDispatchQueue>(new KQDispatchQueue(label));
}

KQDispatchQueue::KQDispatchQueue(QString label) : m_label(std::move(label)) {}

KQDispatchQueue::~KQDispatchQueue() = default;

void KQDispatchQueue::async(std::function<void()> block)
{
    std::lock_guard lock(m_mutex);
    m_blocks.push_back(std::move(block));
    if (m_state == State::Idle)
        scheduleLocked();
}

void KQDispatchQueue::scheduleLocked()
{
    if (m_blocks.empty()) {
        m_state = State::Idle;
        m_scheduled = nullptr;
        return;
    }
    m_state = State::Scheduled;
    // The drain keeps the queue alive until its last block has run.
    auto self = shared_from_this();
    m_scheduled = new HandoffTask([self] {
        {
            std::lock_guard lock(self->m_mutex);
            if (self->m_state != State::Scheduled)
                return;
            self->m_state = State::Draining;
            self->m_scheduled = nullptr;
        }
        self->drain();
    });
    queuePool()->start(m_scheduled);
}

void KQDispatchQueue::drain(const std::function<bool()>& ourTurnDone)
{
    CurrentQueue current(this);
    for (;;) {
        std::function<void()> block;
        {
            std::lock_guard lock(m_mutex);
            if (m_blocks.empty()) {
                m_state = State::Idle;
                return;
            }
            block = std::move(m_blocks.front());
            m_blocks.pop_front();
        }
        runGuarded(block, m_label);
        if (ourTurnDone && ourTurnDone()) {
            // The caller's own block ran: leave the rest to the pool.
            std::lock_guard lock(m_mutex);
            scheduleLocked();
            return;
        }
    }
}

void KQDispatchQueue::sync(const std::function<void()>& block)
{
    Q_ASSERT(!isCurrent());
    std::unique_lock lock(m_mutex);
    if (m_state == State::Idle) {
        // Nothing else would run now: run here, on the caller's thread, as the queue's only block.
        m_state = State::Draining;
        lock.unlock();
        struct Release
        {
            KQDispatchQueue* queue;
            ~Release()
            {
                std::lock_guard relock(queue->m_mutex);
                queue->scheduleLocked();
            }
        } release{this};
        CurrentQueue current(this);
        block();
        return;
    }

    std::exception_ptr failure;
    bool ran = false;
    std::promise<void> done;
    auto finished = done.get_future();
    m_blocks.push_back([&block, &failure, &ran, &done] {
        try {
            block();
        } catch (...) {
            failure = std::current_exception();
        }
        ran = true;
        done.set_value();
    });
    if (m_state == State::Scheduled && m_scheduled != nullptr && queuePool()->tryTake(m_scheduled)) {
        // The queue's turn is still waiting for a pool thread: take it and drain here, up to and
        // including this block, instead of waiting for a thread that may never come free.
        delete m_scheduled;
        m_scheduled = nullptr;
        m_state = State::Draining;
        lock.unlock();
        drain([&ran] { return ran; });
    } else {
        lock.unlock();
    }
    finished.wait();
    if (failure)
        std::rethrow_exception(failure);
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
    backgroundPool()->start(
        new HandoffTask([block = std::move(block)] { runGuarded(block, QStringLiteral("global")); }));
}

void mainAsync(std::function<void()> block)
{
    auto held = std::make_shared<std::function<void()>>(std::move(block));
    KQ_HANDOFF_RELEASE(held.get());
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [held] {
            KQ_HANDOFF_ACQUIRE(held.get());
            (*held)();
        },
        Qt::QueuedConnection);
}

void mainSync(const std::function<void()>& block)
{
    if (isMainThread()) {
        block();
        return;
    }
    int token = 0;
    KQ_HANDOFF_RELEASE(&token);
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [&block, &token] {
            KQ_HANDOFF_ACQUIRE(&token);
            block();
            KQ_HANDOFF_RELEASE(&token);
        },
        Qt::BlockingQueuedConnection);
    KQ_HANDOFF_ACQUIRE(&token);
}

void waitForGlobalQueue()
{
    backgroundPool()->waitForDone();
}

void setMaxThreadCount(int count)
{
    const int threads = std::max(2, count);
    queuePool()->setMaxThreadCount(threads);
    backgroundPool()->setMaxThreadCount(threads);
}

int maxThreadCount()
{
    return queuePool()->maxThreadCount();
}

void shutdown()
{
    Q_ASSERT(isMainThread());
    // Blocks may still hop to the main thread; serve them until both pools are idle. waitForDone
    // also ends and joins the pools' threads.
    for (;;) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        const bool background = backgroundPool()->waitForDone(5);
        const bool queues = queuePool()->waitForDone(5);
        if (background && queues)
            break;
    }
    // Last hops queued by the final blocks.
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

} // namespace KQDispatch
