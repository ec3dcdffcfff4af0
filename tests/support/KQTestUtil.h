#pragma once
// Small helpers shared by the tests.

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <algorithm>
#include <functional>

// Runs the event loop until condition holds or timeoutMs passes; returns the condition.
inline bool kqWaitUntil(const std::function<bool()>& condition, int timeoutMs = 5000)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

// Runs the event loop for ms milliseconds.
inline void kqSpin(int ms)
{
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
}

// count scaled by the environment variable KQ_TEST_SCALE (a factor, default 1; the sanitizer pass
// sets it below 1), never below minimum. For tests whose cost grows with generated data.
inline int kqScaled(int count, int minimum = 1)
{
    bool ok = false;
    const double factor = qEnvironmentVariable("KQ_TEST_SCALE").toDouble(&ok);
    if (!ok || factor <= 0)
        return count;
    return std::max(minimum, static_cast<int>(count * factor));
}
