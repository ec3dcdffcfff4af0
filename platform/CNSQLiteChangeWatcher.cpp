#include "platform/CNSQLiteChangeWatcher.h"

CNSQLiteChangeWatcher::CNSQLiteChangeWatcher(const QString& path, std::function<void()> handler,
                                             std::chrono::milliseconds interval)
    : m_handler(std::move(handler)), m_interval(interval)
{
    // The first version is read here, not on the thread, so that a commit made right after
    // construction is not taken for the starting state.
    CNError error;
    qint64 version = 0;
    if (!m_db.open(path, false, &error) || !m_db.queryInt("PRAGMA data_version", &version, &error)) {
        qCWarning(kqStoreLog) << "Cannot watch the contact store for changes:" << error.localizedDescription;
        return;
    }
    m_seenVersion = version;
    m_thread = std::thread([this] { run(); });
}

CNSQLiteChangeWatcher::~CNSQLiteChangeWatcher()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void CNSQLiteChangeWatcher::run()
{
    std::unique_lock lock(m_mutex);
    while (!m_wake.wait_for(lock, m_interval, [this] { return m_stop; })) {
        lock.unlock();
        qint64 version = 0;
        if (m_db.queryInt("PRAGMA data_version", &version) && version != m_seenVersion) {
            m_seenVersion = version;
            m_handler();
        }
        lock.lock();
    }
}
