#include "exchange/packages/KQDeflateStream.h"

#include <zlib.h>

namespace {

// Chunks waiting for the worker; the writer waits beyond this so memory stays bounded.
constexpr size_t kMaxQueued = 8;

} // namespace

KQDeflateStream::KQDeflateStream(int level) : m_level(level)
{
    m_buffer.reserve(kChunkSize + 4096);
    m_worker = std::thread([this] { run(); });
}

KQDeflateStream::~KQDeflateStream()
{
    if (!m_finished)
        finish();
}

void KQDeflateStream::handOff()
{
    if (m_buffer.isEmpty())
        return;
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_queue.size() < kMaxQueued; });
    m_queue.push_back(std::move(m_buffer));
    m_buffer = QByteArray();
    m_buffer.reserve(kChunkSize + 4096);
    m_changed.notify_all();
}

KQDeflatedData KQDeflateStream::finish()
{
    if (m_finished)
        return m_result;
    handOff();
    {
        std::lock_guard lock(m_mutex);
        m_finishing = true;
    }
    m_changed.notify_all();
    m_worker.join();
    m_finished = true;
    m_buffer = QByteArray();
    return m_result;
}

void KQDeflateStream::run()
{
    z_stream stream{};
    bool ok = deflateInit2(&stream, m_level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) == Z_OK;
    uLong crc = crc32(0, nullptr, 0);
    quint64 size = 0;
    QByteArray out;
    const auto pump = [&](const QByteArray& chunk, int flush) {
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(chunk.constData()));
        stream.avail_in = static_cast<uInt>(chunk.size());
        int status = Z_OK;
        do {
            if (out.capacity() - out.size() < 65536)
                out.reserve(out.capacity() * 2 + (1 << 20));
            const qsizetype start = out.size();
            const qsizetype room = out.capacity() - start;
            out.resize(out.capacity());
            stream.next_out = reinterpret_cast<Bytef*>(out.data() + start);
            stream.avail_out = static_cast<uInt>(room);
            status = deflate(&stream, flush);
            out.resize(start + room - static_cast<qsizetype>(stream.avail_out));
            if (status == Z_STREAM_ERROR)
                return false;
        } while (stream.avail_out == 0 || (flush == Z_FINISH && status != Z_STREAM_END));
        return true;
    };
    for (;;) {
        QByteArray chunk;
        bool last = false;
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [this] { return !m_queue.empty() || m_finishing; });
            if (!m_queue.empty()) {
                chunk = std::move(m_queue.front());
                m_queue.pop_front();
            } else {
                last = true;
            }
        }
        m_changed.notify_all();
        if (last)
            break;
        if (!ok)
            continue; // keep draining so the writer never waits forever
        crc = crc32_z(crc, reinterpret_cast<const Bytef*>(chunk.constData()), static_cast<z_size_t>(chunk.size()));
        size += quint64(chunk.size());
        ok = pump(chunk, Z_NO_FLUSH);
    }
    if (ok)
        ok = pump(QByteArray(), Z_FINISH);
    deflateEnd(&stream);
    out.squeeze();
    std::lock_guard lock(m_mutex);
    m_result.compressed = std::move(out);
    m_result.crc = static_cast<quint32>(crc);
    m_result.size = size;
    m_result.ok = ok;
}
