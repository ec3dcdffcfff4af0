#pragma once
// A package part that is deflated while it is written: the writer appends text, full chunks go to
// a worker thread that deflates them, and only the compressed bytes are kept. Two parts written
// side by side thus deflate on two cores while the writer's thread builds the text, and memory
// holds the compressed part rather than the text or an XML tree.
//
// Contract: write() may be called until finish(); finish() waits for the worker and answers the
// deflated data (ok false when deflate failed). The destructor joins the worker.

#include "exchange/packages/KQDeflatedData.h"

#include <QByteArray>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

class KQDeflateStream
{
public:
    static constexpr qsizetype kChunkSize = 1 << 20;

    // level: zlib's 1 (fastest) .. 9.
    explicit KQDeflateStream(int level = 1);
    ~KQDeflateStream();
    KQDeflateStream(const KQDeflateStream&) = delete;
    KQDeflateStream& operator=(const KQDeflateStream&) = delete;

    // The buffer to append to; call commit() after appending.
    QByteArray& buffer() { return m_buffer; }
    void commit()
    {
        if (m_buffer.size() >= kChunkSize)
            handOff();
    }
    void write(QByteArrayView bytes)
    {
        m_buffer.append(bytes);
        commit();
    }
    KQDeflatedData finish();

private:
    void handOff();
    void run();

    QByteArray m_buffer;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<QByteArray> m_queue;
    bool m_finishing = false;
    bool m_finished = false;
    KQDeflatedData m_result;
    int m_level;
    std::thread m_worker;
};
