#include "platform/KQBinaryPlistWriter.h"

#include <cstring>

namespace {

void appendBigEndian(std::string& out, quint64 value, int width)
{
    for (int shift = (width - 1) * 8; shift >= 0; shift -= 8)
        out.push_back(static_cast<char>((value >> shift) & 0xFF));
}

// The smallest of 1, 2, 4 and 8 bytes that holds value.
int widthFor(quint64 value)
{
    if (value <= 0xFF)
        return 1;
    if (value <= 0xFFFF)
        return 2;
    if (value <= 0xFFFFFFFFull)
        return 4;
    return 8;
}

int log2Width(int width)
{
    return width == 1 ? 0 : width == 2 ? 1 : width == 4 ? 2 : 3;
}

constexpr char kHeader[] = "bplist00";
constexpr qsizetype kHeaderSize = 8;

} // namespace

KQBinaryPlistWriter::Ref KQBinaryPlistWriter::newObject(qsizetype offset)
{
    const Ref ref = static_cast<Ref>(m_offsets.size());
    m_offsets.push_back(static_cast<quint64>(offset));
    m_isContainer.push_back(false);
    return ref;
}

void KQBinaryPlistWriter::appendMarker(std::string& out, quint8 type, quint64 count) const
{
    if (count < 15) {
        out.push_back(static_cast<char>(type | count));
        return;
    }
    out.push_back(static_cast<char>(type | 0x0F));
    const int width = widthFor(count);
    out.push_back(static_cast<char>(0x10 | log2Width(width)));
    appendBigEndian(out, count, width);
}

KQBinaryPlistWriter::Ref KQBinaryPlistWriter::addBool(bool value)
{
    const Ref ref = newObject(static_cast<qsizetype>(m_bytes.size()));
    m_bytes.push_back(value ? '\x09' : '\x08');
    return ref;
}

KQBinaryPlistWriter::Ref KQBinaryPlistWriter::addInt(qint64 value)
{
    const Ref ref = newObject(static_cast<qsizetype>(m_bytes.size()));
    // One-, two- and four-byte integers are unsigned; negative numbers take the signed eight bytes.
    const int width = value < 0 ? 8 : widthFor(static_cast<quint64>(value));
    m_bytes.push_back(static_cast<char>(0x10 | log2Width(width)));
    appendBigEndian(m_bytes, static_cast<quint64>(value), width);
    return ref;
}

KQBinaryPlistWriter::Ref KQBinaryPlistWriter::addReal(double value)
{
    const Ref ref = newObject(static_cast<qsizetype>(m_bytes.size()));
    quint64 bits = 0;
    static_assert(sizeof bits == sizeof value);
    std::memcpy(&bits, &value, sizeof bits);
    m_bytes.push_back('\x23');
    appendBigEndian(m_bytes, bits, 8);
    return ref;
}

KQBinaryPlistWriter::Ref KQBinaryPlistWriter::addUid(quint64 value)
{
    const Ref ref = newObject(static_cast<qsizetype>(m_bytes.size()));
    const int width = widthFor(value);
    m_bytes.push_back(static_cast<char>(0x80 | (width - 1)));
    appendBigEndian(m_bytes, value, width);
    return ref;
}

KQBinaryPlistWriter::Ref KQBinaryPlistWriter::addString(QStringView value)
{
    const char16_t* units = value.utf16();
    const qsizetype length = value.size();
    bool ascii = true;
    for (qsizetype i = 0; i < length && ascii; ++i)
        ascii = units[i] < 0x80;
    const Ref ref = newObject(static_cast<qsizetype>(m_bytes.size()));
    if (ascii) {
        appendMarker(m_bytes, 0x50, static_cast<quint64>(length));
        const size_t start = m_bytes.size();
        m_bytes.resize(start + static_cast<size_t>(length));
        for (qsizetype i = 0; i < length; ++i)
            m_bytes[start + static_cast<size_t>(i)] = static_cast<char>(units[i]);
    } else {
        appendMarker(m_bytes, 0x60, static_cast<quint64>(length));
        for (qsizetype i = 0; i < length; ++i) {
            m_bytes.push_back(static_cast<char>(units[i] >> 8));
            m_bytes.push_back(static_cast<char>(units[i] & 0xFF));
        }
    }
    return ref;
}

KQBinaryPlistWriter::Ref KQBinaryPlistWriter::addUtf8String(const QByteArray& utf8)
{
    bool ascii = true;
    for (const char c : utf8) {
        if (static_cast<uchar>(c) >= 0x80) {
            ascii = false;
            break;
        }
    }
    if (!ascii)
        return addString(QString::fromUtf8(utf8));
    const Ref ref = newObject(static_cast<qsizetype>(m_bytes.size()));
    appendMarker(m_bytes, 0x50, static_cast<quint64>(utf8.size()));
    m_bytes.append(utf8.constData(), static_cast<size_t>(utf8.size()));
    return ref;
}

KQBinaryPlistWriter::Ref KQBinaryPlistWriter::addData(const char* bytes, qsizetype length)
{
    const Ref ref = newObject(static_cast<qsizetype>(m_bytes.size()));
    appendMarker(m_bytes, 0x40, static_cast<quint64>(length));
    if (length > 0)
        m_bytes.append(bytes, static_cast<size_t>(length));
    return ref;
}

KQBinaryPlistWriter::Ref KQBinaryPlistWriter::addArray(const Ref* elements, size_t count)
{
    const Ref ref = newObject(static_cast<qsizetype>(m_containers.size()));
    m_isContainer.back() = true;
    m_containers.push_back({ref, 0xA0, static_cast<quint32>(count), m_refs.size()});
    m_refs.insert(m_refs.end(), elements, elements + count);
    return ref;
}

KQBinaryPlistWriter::Ref KQBinaryPlistWriter::addDict(const Ref* keys, const Ref* values, size_t count)
{
    const Ref ref = newObject(static_cast<qsizetype>(m_containers.size()));
    m_isContainer.back() = true;
    m_containers.push_back({ref, 0xD0, static_cast<quint32>(count), m_refs.size()});
    m_refs.insert(m_refs.end(), keys, keys + count);
    m_refs.insert(m_refs.end(), values, values + count);
    return ref;
}

namespace {

char* putBigEndian(char* out, quint64 value, int width)
{
    for (int shift = (width - 1) * 8; shift >= 0; shift -= 8)
        *out++ = static_cast<char>((value >> shift) & 0xFF);
    return out;
}

// The bytes of a container's marker with count entries.
size_t markerSize(quint64 count)
{
    return count < 15 ? 1 : 2 + static_cast<size_t>(widthFor(count));
}

char* putMarker(char* out, quint8 type, quint64 count)
{
    if (count < 15) {
        *out++ = static_cast<char>(type | count);
        return out;
    }
    *out++ = static_cast<char>(type | 0x0F);
    const int width = widthFor(count);
    *out++ = static_cast<char>(0x10 | log2Width(width));
    return putBigEndian(out, count, width);
}

} // namespace

QByteArray KQBinaryPlistWriter::finish(Ref top) const
{
    const size_t objects = m_offsets.size();
    const int refWidth = widthFor(objects == 0 ? 0 : objects - 1);

    // The size is worked out first, so the list is written once, into its final buffer.
    std::vector<quint64> containerOffsets(m_containers.size());
    quint64 position = kHeaderSize + m_bytes.size();
    for (size_t c = 0; c < m_containers.size(); ++c) {
        const Container& container = m_containers[c];
        containerOffsets[c] = position;
        const size_t refs = container.marker == 0xD0 ? 2 * size_t(container.count) : container.count;
        position += markerSize(container.count) + refs * static_cast<size_t>(refWidth);
    }
    const quint64 tableOffset = position;
    const int offsetWidth = widthFor(tableOffset);
    const quint64 total = tableOffset + objects * static_cast<quint64>(offsetWidth) + 32;

    QByteArray result(static_cast<qsizetype>(total), Qt::Uninitialized);
    char* out = result.data();
    std::memcpy(out, kHeader, kHeaderSize);
    out += kHeaderSize;
    std::memcpy(out, m_bytes.data(), m_bytes.size());
    out += m_bytes.size();
    for (const Container& container : m_containers) {
        out = putMarker(out, container.marker, container.count);
        const size_t refs = container.marker == 0xD0 ? 2 * size_t(container.count) : container.count;
        for (size_t i = 0; i < refs; ++i)
            out = putBigEndian(out, m_refs[container.firstRef + i], refWidth);
    }
    for (size_t i = 0; i < objects; ++i) {
        // A container's entry in m_offsets is its place in m_containers.
        const quint64 offset = m_isContainer[i] ? containerOffsets[m_offsets[i]] : m_offsets[i] + kHeaderSize;
        out = putBigEndian(out, offset, offsetWidth);
    }

    // Trailer: six unused bytes, the two widths, the object count, the top object and the table's offset.
    std::memset(out, 0, 6);
    out += 6;
    *out++ = static_cast<char>(offsetWidth);
    *out++ = static_cast<char>(refWidth);
    out = putBigEndian(out, objects, 8);
    out = putBigEndian(out, top, 8);
    out = putBigEndian(out, tableOffset, 8);
    Q_ASSERT(out == result.constData() + result.size());
    return result;
}

void KQBinaryPlistWriter::clear()
{
    m_bytes.clear();
    m_offsets.clear();
    m_containers.clear();
    m_refs.clear();
    m_isContainer.clear();
}

void KQBinaryPlistWriter::rollback(const Mark& mark)
{
    m_offsets.resize(mark.objects);
    m_isContainer.resize(mark.objects);
    m_bytes.resize(mark.bytes);
    m_containers.resize(mark.containers);
    m_refs.resize(mark.refs);
}
