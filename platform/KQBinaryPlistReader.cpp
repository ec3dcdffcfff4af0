#include "platform/KQBinaryPlistReader.h"

#include <QtEndian>
#include <cstring>
#include <limits>

namespace {

constexpr quint64 headerSize = 8;
constexpr quint64 trailerSize = 32;

quint64 saturatingAdd(quint64 a, quint64 b)
{
    return a > std::numeric_limits<quint64>::max() - b ? std::numeric_limits<quint64>::max() : a + b;
}

} // namespace

bool KQBinaryPlistReader::fail(CNError* error, const QString& text, qint64 position) const
{
    return CNReportError(error, CNError::make(CNError::CorruptData, text, position));
}

bool KQBinaryPlistReader::failAtObject(CNError* error, quint64 index, const QString& text) const
{
    // The object's offset, from the offset table that open() checked.
    return fail(error, text,
                index < m_objects.size()
                    ? static_cast<qint64>(readUInt(m_tableOffset + index * m_offsetSize, m_offsetSize))
                    : -1);
}

bool KQBinaryPlistReader::open(const QByteArray& data, CNError* error)
{
    m_objects.clear();
    m_data = reinterpret_cast<const uchar*>(data.constData());
    m_size = static_cast<quint64>(data.size());
    if (m_size < headerSize + trailerSize)
        return fail(error, QStringLiteral("too short for a binary property list (%1 bytes)").arg(m_size));
    if (m_size > std::numeric_limits<quint32>::max())
        return fail(error, QStringLiteral("too large (%1 bytes)").arg(m_size));
    if (std::memcmp(m_data, "bplist00", headerSize) != 0)
        return fail(error, QStringLiteral("not a binary property list (wrong magic)"));
    if (!readTrailer(error))
        return false;
    for (quint64 i = 0; i < m_objects.size(); ++i) {
        const quint64 offset = readUInt(m_tableOffset + i * m_offsetSize, m_offsetSize);
        if (offset < headerSize || offset >= m_tableOffset) {
            m_objects.clear();
            return fail(error,
                        QStringLiteral("object %1 at offset %2 lies outside the object area")
                            .arg(QString::number(i), QString::number(offset)),
                        static_cast<qint64>(m_tableOffset + i * m_offsetSize));
        }
        if (!readObject(i, offset, error)) {
            m_objects.clear();
            return false;
        }
    }
    // A tree built from the data would hold one node per reference and copy shared strings and data
    // once per use; both stay proportional to the data when containers are not shared.
    m_maxNodes = 2 * m_size + 64;
    m_maxBytes = 8 * m_size + 65536;
    std::vector<Visit> visits(m_objects.size());
    if (!visit(m_top, 0, visits, error)) {
        m_objects.clear();
        return false;
    }
    return true;
}

bool KQBinaryPlistReader::readTrailer(CNError* error)
{
    const quint64 t = m_size - trailerSize;
    m_offsetSize = m_data[t + 6];
    m_refSize = m_data[t + 7];
    const quint64 count = readUInt(t + 8, 8);
    m_top = readUInt(t + 16, 8);
    m_tableOffset = readUInt(t + 24, 8);
    if (m_offsetSize < 1 || m_offsetSize > 8)
        return fail(error, QStringLiteral("invalid offset size %1").arg(m_offsetSize));
    if (m_refSize < 1 || m_refSize > 8)
        return fail(error, QStringLiteral("invalid reference size %1").arg(m_refSize));
    if (count == 0)
        return fail(error, QStringLiteral("no objects"));
    if (m_tableOffset < headerSize || m_tableOffset >= t)
        return fail(error, QStringLiteral("offset table at %1 lies outside the data").arg(m_tableOffset));
    if (count > (t - m_tableOffset) / m_offsetSize)
        return fail(error, QStringLiteral("object count %1 does not fit the offset table").arg(count));
    if (m_top >= count)
        return fail(error, QStringLiteral("top object %1 out of range (%2 objects)")
                               .arg(QString::number(m_top), QString::number(count)));
    m_objects.resize(count);
    return true;
}

// Reads the marker (and the length that follows when the marker's low nibble is 0xF) and checks
// that the whole object ends before the offset table.
bool KQBinaryPlistReader::readObject(quint64 index, quint64 offset, CNError* error)
{
    const uchar marker = m_data[offset];
    const int high = marker >> 4;
    const int low = marker & 0x0F;
    Object& info = m_objects[index];
    quint64 header = 1;
    quint64 count = static_cast<quint64>(low);
    const auto bad = [&](const QString& what) {
        return fail(error, QStringLiteral("object %1: %2").arg(QString::number(index), what),
                    static_cast<qint64>(offset));
    };
    const bool hasLength = high == 0x4 || high == 0x5 || high == 0x6 || high == 0xA || high == 0xD;
    if (hasLength && low == 0x0F) {
        if (offset + 1 >= m_tableOffset)
            return bad(QStringLiteral("length missing"));
        const uchar lengthMarker = m_data[offset + 1];
        if ((lengthMarker >> 4) != 0x1 || (lengthMarker & 0x0F) > 3)
            return bad(QStringLiteral("invalid length marker 0x%1").arg(lengthMarker, 2, 16, QLatin1Char('0')));
        const quint64 width = quint64(1) << (lengthMarker & 0x0F);
        if (offset + 2 + width > m_tableOffset)
            return bad(QStringLiteral("length truncated"));
        count = readUInt(offset + 2, width);
        header = 2 + width;
    }
    quint64 unit = 0; // bytes per counted item
    switch (high) {
    case 0x0:
        if (marker != 0x08 && marker != 0x09)
            return bad(QStringLiteral("unsupported marker 0x%1").arg(marker, 2, 16, QLatin1Char('0')));
        info.kind = Kind::Bool;
        info.width = marker == 0x09 ? 1 : 0; // the value itself
        count = 0;
        break;
    case 0x1:
        if (low > 4)
            return bad(QStringLiteral("invalid integer size"));
        info.kind = Kind::Int;
        count = quint64(1) << low;
        unit = 1;
        break;
    case 0x2:
        if (low != 2 && low != 3)
            return bad(QStringLiteral("invalid real size"));
        info.kind = Kind::Real;
        count = quint64(1) << low;
        unit = 1;
        break;
    case 0x3:
        if (marker != 0x33)
            return bad(QStringLiteral("invalid date marker"));
        info.kind = Kind::Date;
        count = 8;
        unit = 1;
        break;
    case 0x4:
        info.kind = Kind::Data;
        unit = 1;
        break;
    case 0x5:
        info.kind = Kind::AsciiString;
        unit = 1;
        break;
    case 0x6:
        if (count == 0)
            return bad(QStringLiteral("empty UTF-16 string"));
        info.kind = Kind::Utf16String;
        unit = 2;
        break;
    case 0x8:
        if (low != 0 && low != 1 && low != 3 && low != 7)
            return bad(QStringLiteral("invalid UID size"));
        info.kind = Kind::Uid;
        count = static_cast<quint64>(low) + 1;
        unit = 1;
        break;
    case 0xA:
        info.kind = Kind::Array;
        unit = m_refSize;
        break;
    case 0xD:
        info.kind = Kind::Dict;
        unit = 2 * m_refSize;
        break;
    default:
        return bad(QStringLiteral("unsupported marker 0x%1").arg(marker, 2, 16, QLatin1Char('0')));
    }
    const quint64 start = offset + header;
    if (start > m_tableOffset || (unit != 0 && count > (m_tableOffset - start) / unit))
        return bad(QStringLiteral("declared length %1 runs past the object area").arg(count));
    if (info.kind == Kind::Int || info.kind == Kind::Real || info.kind == Kind::Uid) {
        info.width = static_cast<quint8>(count);
        count = 0;
    }
    info.payload = start;
    info.count = count;
    return true;
}

// Depth-first walk from the top object: finds cycles and deep nesting, and sums what a tree of the
// data would hold (memoised per object, so shared objects cost one walk).
bool KQBinaryPlistReader::visit(quint64 index, int depth, std::vector<Visit>& visits, CNError* error) const
{
    if (depth > maxDepth)
        return fail(error, QStringLiteral("containers nested more than %1 deep").arg(maxDepth));
    Visit& state = visits[index];
    if (state.color == 2)
        return true;
    if (state.color == 1)
        return failAtObject(error, index, QStringLiteral("object %1 contains itself").arg(index));
    const Object& info = m_objects[index];
    quint64 nodes = 1;
    quint64 bytes = 0;
    switch (info.kind) {
    case Kind::Data:
    case Kind::AsciiString:
        bytes = info.count + 1;
        break;
    case Kind::Utf16String:
        bytes = info.count * 4 + 4;
        break;
    case Kind::Array:
    case Kind::Dict: {
        state.color = 1;
        const bool dict = info.kind == Kind::Dict;
        const quint64 refs = dict ? 2 * info.count : info.count;
        for (quint64 i = 0; i < refs; ++i) {
            const quint64 child = ref(info, i);
            if (child >= m_objects.size())
                return failAtObject(
                    error, index,
                    QStringLiteral("object %1 refers to object %2 of %3")
                        .arg(QString::number(index), QString::number(child), QString::number(m_objects.size())));
            if (dict && i < info.count && !isString(child))
                return failAtObject(error, index,
                                    QStringLiteral("dictionary %1 has a key that is not a string").arg(index));
            if (!visit(child, depth + 1, visits, error))
                return false;
            const Visit& childState = visits[child];
            nodes = saturatingAdd(nodes, childState.nodes);
            bytes = saturatingAdd(bytes, childState.bytes);
            if (nodes > m_maxNodes || bytes > m_maxBytes)
                return fail(error, QStringLiteral("shared references expand beyond the data's size"));
        }
        break;
    }
    default:
        break;
    }
    // visits is sized once and never moves, so the reference taken above is still valid.
    state.color = 2;
    state.nodes = nodes;
    state.bytes = bytes;
    return true;
}

bool KQBinaryPlistReader::keyEquals(Ref key, QLatin1StringView text, bool dollar) const
{
    const Object& info = m_objects[key];
    const auto wanted = static_cast<quint64>(text.size()) + (dollar ? 1 : 0);
    if (info.kind == Kind::AsciiString) {
        if (info.count != wanted)
            return false;
        const char* bytes = reinterpret_cast<const char*>(m_data + info.payload);
        if (dollar && *bytes++ != '$')
            return false;
        return std::memcmp(bytes, text.data(), static_cast<size_t>(text.size())) == 0;
    }
    if (info.kind != Kind::Utf16String || info.count != wanted)
        return false;
    const QString decoded = stringValue(key);
    return dollar ? decoded.startsWith(QLatin1Char('$')) && QStringView(decoded).mid(1) == text : decoded == text;
}

bool KQBinaryPlistReader::keyEquals(Ref key, QStringView text, bool dollar) const
{
    const Object& info = m_objects[key];
    const auto wanted = static_cast<quint64>(text.size()) + (dollar ? 1 : 0);
    if (info.kind == Kind::AsciiString) {
        // Plain ASCII is compared in place; other bytes are read as UTF-8, as stringValue does.
        const char* bytes = reinterpret_cast<const char*>(m_data + info.payload);
        bool ascii = true;
        for (quint64 i = 0; i < info.count && ascii; ++i)
            ascii = static_cast<uchar>(bytes[i]) < 0x80;
        if (ascii) {
            if (info.count != wanted)
                return false;
            if (dollar && *bytes++ != '$')
                return false;
            return QLatin1StringView(bytes, text.size()) == text;
        }
    } else if (info.kind != Kind::Utf16String || info.count != wanted) {
        return false;
    }
    const QString decoded = stringValue(key);
    return dollar ? decoded.startsWith(QLatin1Char('$')) && QStringView(decoded).mid(1) == text : decoded == text;
}

template <typename Key> KQBinaryPlistReader::Ref KQBinaryPlistReader::findValue(Ref dict, Key key, bool dollar) const
{
    if (kind(dict) != Kind::Dict)
        return none;
    const Object& info = m_objects[dict];
    for (quint64 i = 0; i < info.count; ++i) {
        if (keyEquals(ref(info, i), key, dollar))
            return ref(info, info.count + i);
    }
    return none;
}

KQBinaryPlistReader::Ref KQBinaryPlistReader::value(Ref dict, QLatin1StringView key, bool dollar) const
{
    return findValue(dict, key, dollar);
}

KQBinaryPlistReader::Ref KQBinaryPlistReader::value(Ref dict, QStringView key, bool dollar) const
{
    return findValue(dict, key, dollar);
}

KQBinaryPlistReader::Ref KQBinaryPlistReader::value(Ref dict, QStringView key, bool dollar, quint64* next) const
{
    if (kind(dict) != Kind::Dict)
        return none;
    const Object& info = m_objects[dict];
    const quint64 start = *next < info.count ? *next : 0;
    for (quint64 n = 0; n < info.count; ++n) {
        const quint64 i = start + n < info.count ? start + n : start + n - info.count;
        if (keyEquals(ref(info, i), key, dollar)) {
            *next = i + 1;
            return ref(info, info.count + i);
        }
    }
    return none;
}

bool KQBinaryPlistReader::boolValue(Ref object) const
{
    return m_objects[object].width != 0;
}

quint64 KQBinaryPlistReader::intValue(Ref object) const
{
    const Object& info = m_objects[object];
    // A 16-byte integer keeps its low 64 bits in its second half.
    return info.width == 16 ? readUInt(info.payload + 8, 8) : readUInt(info.payload, info.width);
}

double KQBinaryPlistReader::realValue(Ref object) const
{
    const Object& info = m_objects[object];
    if (info.width == 4) {
        const quint32 bits = qFromBigEndian<quint32>(m_data + info.payload);
        float number = 0;
        std::memcpy(&number, &bits, sizeof number);
        return number;
    }
    const quint64 bits = qFromBigEndian<quint64>(m_data + info.payload);
    double number = 0;
    std::memcpy(&number, &bits, sizeof number);
    return number;
}

quint64 KQBinaryPlistReader::uidValue(Ref object) const
{
    const Object& info = m_objects[object];
    return readUInt(info.payload, info.width);
}

QString KQBinaryPlistReader::stringValue(Ref object) const
{
    const Object& info = m_objects[object];
    const auto length = static_cast<qsizetype>(info.count);
    if (info.kind == Kind::AsciiString)
        return QString::fromUtf8(reinterpret_cast<const char*>(m_data + info.payload), length);
    if (info.kind != Kind::Utf16String)
        return {};
    QString text(length, Qt::Uninitialized);
    qFromBigEndian<quint16>(m_data + info.payload, length, text.data());
    return text;
}

bool KQBinaryPlistReader::stringEquals(Ref object, QLatin1StringView text) const
{
    return isString(object) && keyEquals(object, text, false);
}

QByteArray KQBinaryPlistReader::dataValue(Ref object) const
{
    const Object& info = m_objects[object];
    return QByteArray(reinterpret_cast<const char*>(m_data + info.payload), static_cast<qsizetype>(info.count));
}
