#pragma once
// Watches the store's database for committed changes by any connection, in this process or
// another one, and calls a handler once per observed batch. It polls PRAGMA data_version on a
// connection of its own, which changes whenever another connection commits.

#include "platform/CNSQLiteConnection.h"

#include <QString>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

class CNSQLiteChangeWatcher
{
public:
    // Starts watching at once: every commit after the constructor returns is reported. The handler
    // runs on the watcher's thread.
    CNSQLiteChangeWatcher(const QString& path, std::function<void()> handler,
                          std::chrono::milliseconds interval = std::chrono::milliseconds(200));
    // Stops and joins the thread: no handler call starts after this returns.
    ~CNSQLiteChangeWatcher();
    CNSQLiteChangeWatcher(const CNSQLiteChangeWatcher&) = delete;
    CNSQLiteChangeWatcher& operator=(const CNSQLiteChangeWatcher&) = delete;

private:
    void run();

    CNSQLiteConnection m_db;
    std::optional<qint64> m_seenVersion;
    std::function<void()> m_handler;
    std::chrono::milliseconds m_interval;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;
    std::thread m_thread;
};
