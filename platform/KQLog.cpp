#include "platform/KQLog.h"

#include <atomic>
#include <cstdio>
#include <mutex>

namespace {
std::atomic<void (*)(const QByteArray&)> failureHandler{nullptr};
} // namespace

void KQSetLogWriteFailureHandler(void (*handler)(const QByteArray& line))
{
    failureHandler = handler;
}

void KQLog(const QString& line)
{
    static std::mutex mutex;
    const QByteArray bytes = line.toUtf8();
    std::lock_guard lock(mutex);
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
    if (std::ferror(stderr)) {
        std::clearerr(stderr);
        if (auto handler = failureHandler.load())
            handler(bytes);
    }
}
