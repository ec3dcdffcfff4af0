#include "CNSQLiteChangeWatcher.h"

CNSQLiteChangeWatcher::CNSQLiteChangeWatcher(const QString& path, std::function<void()> handler,
                                             std::chrono::milliseconds interval)
    : m_path(path), m_handler(std::move(handler)), m_interval(interval)
{
    m_thread = std::thread([this] { run(); });
}

CNSQLiteChangeWatcher::~CNSQLiteChangeWatcher()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void CNSQLiteChangeWatcher::run()
{
    CNSQLiteConnection db;
    QString error;
    if (!db.open(m_path, false, &error)) {
        qCWarning(kqStoreLog) << "Cannot watch the contact store for changes:" << error;
        return;
    }
    std::optional<qint64> seen = db.queryInt("PRAGMA data_version");
    std::unique_lock lock(m_mutex);
    while (!m_wake.wait_for(lock, m_interval, [this] { return m_stop; })) {
        lock.unlock();
        const std::optional<qint64> now = db.queryInt("PRAGMA data_version");
        if (now && now != seen) {
            const bool first = !seen;
            seen = now;
            if (!first)
                m_handler();
        }
        lock.lock();
    }
}
