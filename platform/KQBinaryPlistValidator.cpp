#include "platform/KQBinaryPlistValidator.h"

#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

namespace {

constexpr quint64 headerSize = 8;
constexpr quint64 trailerSize = 32;

enum class Kind : quint8
{
    Bool,
    Int,
    Real,
    Date,
    Data,
    AsciiString,
    Utf16String,
    Uid,
    Array,
    Dict
};

struct ObjectInfo
{
    Kind kind = Kind::Bool;
    quint64 payload = 0; // offset of the bytes after the marker and length
    quint64 count = 0;   // bytes, characters, or entries
    quint64 offset = 0;  // of the marker
};

class Validator
{
public:
    Validator(const QByteArray& data, CNError* error)
        : m_data(reinterpret_cast<const uchar*>(data.constData())), m_size(static_cast<quint64>(data.size())),
          m_error(error)
    {
    }

    bool run()
    {
        if (m_size < headerSize + trailerSize)
            return fail(QStringLiteral("too short for a binary property list (%1 bytes)").arg(m_size));
        if (m_size > std::numeric_limits<quint32>::max())
            return fail(QStringLiteral("too large (%1 bytes)").arg(m_size));
        if (std::memcmp(m_data, "bplist00", headerSize) != 0)
            return fail(QStringLiteral("not a binary property list (wrong magic)"));
        if (!readTrailer() || !readObjects())
            return false;
        m_state.assign(m_objects.size(), State{});
        // The parsed tree holds one node per reference and copies shared strings and data once per
        // use; both stay proportional to the data when containers are not shared.
        m_maxNodes = 2 * m_size + 64;
        m_maxBytes = 8 * m_size + 65536;
        return visit(m_top, 0);
    }

private:
    struct State
    {
        quint8 color = 0; // 0 unvisited, 1 on the current path, 2 done
        quint64 nodes = 0;
        quint64 bytes = 0;
    };

    bool fail(const QString& text, qint64 position = -1)
    {
        return CNReportError(m_error, CNError::make(CNError::CorruptData, text, position));
    }
    bool failAtObject(quint64 index, const QString& text)
    {
        return fail(text, index < m_objects.size() ? static_cast<qint64>(m_objects[index].offset) : -1);
    }

    quint64 readUInt(quint64 pos, quint64 width) const
    {
        quint64 value = 0;
        for (quint64 i = 0; i < width; ++i)
            value = (value << 8) | m_data[pos + i];
        return value;
    }

    bool readTrailer()
    {
        const quint64 t = m_size - trailerSize;
        m_offsetSize = m_data[t + 6];
        m_refSize = m_data[t + 7];
        const quint64 count = readUInt(t + 8, 8);
        m_top = readUInt(t + 16, 8);
        m_tableOffset = readUInt(t + 24, 8);
        if (m_offsetSize < 1 || m_offsetSize > 8)
            return fail(QStringLiteral("invalid offset size %1").arg(m_offsetSize));
        if (m_refSize < 1 || m_refSize > 8)
            return fail(QStringLiteral("invalid reference size %1").arg(m_refSize));
        if (count == 0)
            return fail(QStringLiteral("no objects"));
        if (m_tableOffset < headerSize || m_tableOffset >= t)
            return fail(QStringLiteral("offset table at %1 lies outside the data").arg(m_tableOffset));
        if (count > (t - m_tableOffset) / m_offsetSize)
            return fail(QStringLiteral("object count %1 does not fit the offset table").arg(count));
        if (m_top >= count)
            return fail(QStringLiteral("top object %1 out of range (%2 objects)")
                            .arg(QString::number(m_top), QString::number(count)));
        m_objects.resize(count);
        return true;
    }

    bool readObjects()
    {
        for (quint64 i = 0; i < m_objects.size(); ++i) {
            const quint64 offset = readUInt(m_tableOffset + i * m_offsetSize, m_offsetSize);
            if (offset < headerSize || offset >= m_tableOffset)
                return fail(QStringLiteral("object %1 at offset %2 lies outside the object area")
                                .arg(QString::number(i), QString::number(offset)),
                            static_cast<qint64>(m_tableOffset + i * m_offsetSize));
            if (!readObject(i, offset))
                return false;
        }
        return true;
    }

    // Reads the marker (and the length that follows when the marker's low nibble is 0xF) and
    // checks that the whole object ends before the offset table.
    bool readObject(quint64 index, quint64 offset)
    {
        const uchar marker = m_data[offset];
        const int high = marker >> 4;
        const int low = marker & 0x0F;
        ObjectInfo& info = m_objects[index];
        info.offset = offset;
        quint64 header = 1;
        quint64 count = static_cast<quint64>(low);
        const auto bad = [&](const QString& what) {
            return fail(QStringLiteral("object %1: %2").arg(QString::number(index), what), static_cast<qint64>(offset));
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
        info.payload = start;
        info.count = count;
        return true;
    }

    quint64 ref(const ObjectInfo& container, quint64 position) const
    {
        return readUInt(container.payload + position * m_refSize, m_refSize);
    }

    static quint64 saturatingAdd(quint64 a, quint64 b)
    {
        return a > std::numeric_limits<quint64>::max() - b ? std::numeric_limits<quint64>::max() : a + b;
    }

    // Depth-first walk from the top object: finds cycles and deep nesting, and sums what the
    // parsed tree will hold (memoised per object, so shared objects cost one walk).
    bool visit(quint64 index, int depth)
    {
        if (depth > KQBinaryPlistValidator::maxDepth)
            return fail(QStringLiteral("containers nested more than %1 deep").arg(KQBinaryPlistValidator::maxDepth));
        State& state = m_state[index];
        if (state.color == 2)
            return true;
        if (state.color == 1)
            return failAtObject(index, QStringLiteral("object %1 contains itself").arg(index));
        const ObjectInfo& info = m_objects[index];
        quint64 nodes = 1;
        quint64 bytes = 0;
        switch (info.kind) {
        case Kind::Data:
        case Kind::AsciiString:
            bytes = info.count + 1;
            break;
        case Kind::Utf16String:
            bytes = info.count * 4 + 4; // the codec's conversion buffer
            break;
        case Kind::Array:
        case Kind::Dict: {
            state.color = 1;
            const bool dict = info.kind == Kind::Dict;
            const quint64 refs = dict ? 2 * info.count : info.count;
            for (quint64 i = 0; i < refs; ++i) {
                const quint64 child = ref(info, i);
                if (child >= m_objects.size())
                    return failAtObject(index, QStringLiteral("object %1 refers to object %2 of %3")
                                                   .arg(QString::number(index), QString::number(child),
                                                        QString::number(m_objects.size())));
                if (dict && i < info.count) {
                    const Kind keyKind = m_objects[child].kind;
                    if (keyKind != Kind::AsciiString && keyKind != Kind::Utf16String)
                        return failAtObject(index,
                                            QStringLiteral("dictionary %1 has a key that is not a string").arg(index));
                }
                if (!visit(child, depth + 1))
                    return false;
                const State& childState = m_state[child];
                nodes = saturatingAdd(nodes, childState.nodes);
                bytes = saturatingAdd(bytes, childState.bytes);
                if (nodes > m_maxNodes || bytes > m_maxBytes)
                    return fail(QStringLiteral("shared references expand beyond the data's size"));
            }
            break;
        }
        default:
            break;
        }
        // m_state may not move (it is sized once), so the reference taken above is still valid.
        state.color = 2;
        state.nodes = nodes;
        state.bytes = bytes;
        return true;
    }

    const uchar* m_data;
    quint64 m_size;
    CNError* m_error;
    quint64 m_offsetSize = 0;
    quint64 m_refSize = 0;
    quint64 m_top = 0;
    quint64 m_tableOffset = 0;
    quint64 m_maxNodes = 0;
    quint64 m_maxBytes = 0;
    std::vector<ObjectInfo> m_objects;
    std::vector<State> m_state;
};

} // namespace

bool KQBinaryPlistValidator::validate(const QByteArray& data, CNError* error)
{
    return Validator(data, error).run();
}
