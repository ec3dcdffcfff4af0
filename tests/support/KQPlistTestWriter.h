#pragma once
// Test helper: writes property-list trees in the binary format byte by byte, so that tests can make
// archives that no well-behaved writer produces (cycles, raw objects, wrong types).

#include <QByteArray>
#include <QString>
#include <cstring>
#include <utility>
#include <vector>

struct KQTestPlist
{
    enum Kind
    {
        String,
        Int,
        Real,
        Bool,
        Uid,
        Data,
        Array,
        Dict,
        Ref,
        Raw
    };

    Kind kind = String;
    QByteArray bytes; // String (UTF-8), Data, Raw (the whole encoded object)
    qint64 number = 0;
    double real = 0;
    std::vector<KQTestPlist> items;
    // A dictionary's keys and values, apart: a std::pair member would need KQTestPlist complete here.
    std::vector<QByteArray> keys;
    std::vector<KQTestPlist> values;

    static KQTestPlist str(const QString& s) { return make(String, s.toUtf8()); }
    static KQTestPlist integer(qint64 n)
    {
        KQTestPlist p;
        p.kind = Int;
        p.number = n;
        return p;
    }
    static KQTestPlist realNumber(double r)
    {
        KQTestPlist p;
        p.kind = Real;
        p.real = r;
        return p;
    }
    static KQTestPlist boolean(bool b)
    {
        KQTestPlist p;
        p.kind = Bool;
        p.number = b;
        return p;
    }
    static KQTestPlist uid(qint64 n)
    {
        KQTestPlist p;
        p.kind = Uid;
        p.number = n;
        return p;
    }
    static KQTestPlist data(const QByteArray& d) { return make(Data, d); }
    static KQTestPlist array(std::vector<KQTestPlist> items)
    {
        KQTestPlist p;
        p.kind = Array;
        p.items = std::move(items);
        return p;
    }
    static KQTestPlist dict(std::vector<std::pair<QByteArray, KQTestPlist>> entries)
    {
        KQTestPlist p;
        p.kind = Dict;
        for (auto& [key, value] : entries) {
            p.keys.push_back(key);
            p.values.push_back(std::move(value));
        }
        return p;
    }
    // A reference to the object with this index (objects are numbered in pre-order from 0).
    static KQTestPlist ref(qint64 index)
    {
        KQTestPlist p;
        p.kind = Ref;
        p.number = index;
        return p;
    }
    static KQTestPlist raw(const QByteArray& encoded) { return make(Raw, encoded); }

    // The binary form with two-byte references and four-byte offsets.
    static QByteArray write(const KQTestPlist& top)
    {
        std::vector<QByteArray> objects;
        flatten(top, objects);
        QByteArray out("bplist00");
        std::vector<quint32> offsets;
        for (const QByteArray& object : objects) {
            offsets.push_back(static_cast<quint32>(out.size()));
            out += object;
        }
        const quint64 tableOffset = static_cast<quint64>(out.size());
        for (const quint32 offset : offsets)
            appendBigEndian(out, offset, 4);
        out += QByteArray(6, '\0');
        out += char(4); // offset size
        out += char(2); // reference size
        appendBigEndian(out, objects.size(), 8);
        appendBigEndian(out, 0, 8);
        appendBigEndian(out, tableOffset, 8);
        return out;
    }

    static void appendBigEndian(QByteArray& out, quint64 value, int width)
    {
        for (int i = width - 1; i >= 0; --i)
            out += static_cast<char>((value >> (8 * i)) & 0xFF);
    }

private:
    static KQTestPlist make(Kind kind, const QByteArray& bytes)
    {
        KQTestPlist p;
        p.kind = kind;
        p.bytes = bytes;
        return p;
    }

    static QByteArray marker(int type, quint64 count)
    {
        QByteArray out;
        if (count < 15) {
            out += static_cast<char>((type << 4) | static_cast<int>(count));
        } else {
            out += static_cast<char>((type << 4) | 0x0F);
            out += char(0x13);
            appendBigEndian(out, count, 8);
        }
        return out;
    }

    // Writes the object and its children; returns the object's index.
    static quint64 flatten(const KQTestPlist& p, std::vector<QByteArray>& objects)
    {
        if (p.kind == Ref)
            return static_cast<quint64>(p.number);
        const quint64 index = objects.size();
        objects.emplace_back();
        QByteArray out;
        switch (p.kind) {
        case String: {
            const QString text = QString::fromUtf8(p.bytes);
            bool ascii = true;
            for (const QChar c : text)
                ascii = ascii && c.unicode() < 0x80;
            if (ascii) {
                out = marker(0x5, static_cast<quint64>(p.bytes.size())) + p.bytes;
            } else {
                out = marker(0x6, static_cast<quint64>(text.size()));
                for (const QChar c : text)
                    appendBigEndian(out, c.unicode(), 2);
            }
            break;
        }
        case Int:
            out += char(0x13);
            appendBigEndian(out, static_cast<quint64>(p.number), 8);
            break;
        case Real: {
            out += char(0x23);
            quint64 bits = 0;
            std::memcpy(&bits, &p.real, 8);
            appendBigEndian(out, bits, 8);
            break;
        }
        case Bool:
            out += static_cast<char>(p.number ? 0x09 : 0x08);
            break;
        case Uid:
            out += char(0x83);
            appendBigEndian(out, static_cast<quint64>(p.number), 4);
            break;
        case Data:
            out = marker(0x4, static_cast<quint64>(p.bytes.size())) + p.bytes;
            break;
        case Raw:
            out = p.bytes;
            break;
        case Array: {
            std::vector<quint64> refs;
            for (const KQTestPlist& item : p.items)
                refs.push_back(flatten(item, objects));
            out = marker(0xA, refs.size());
            for (const quint64 r : refs)
                appendBigEndian(out, r, 2);
            break;
        }
        case Dict: {
            std::vector<quint64> keys;
            std::vector<quint64> values;
            for (size_t i = 0; i < p.keys.size(); ++i) {
                keys.push_back(flatten(str(QString::fromUtf8(p.keys[i])), objects));
                values.push_back(flatten(p.values[i], objects));
            }
            out = marker(0xD, keys.size());
            for (const quint64 r : keys)
                appendBigEndian(out, r, 2);
            for (const quint64 r : values)
                appendBigEndian(out, r, 2);
            break;
        }
        case Ref:
            break;
        }
        objects[index] = out;
        return index;
    }
};

// A keyed archive around the given "$objects" (without the leading "$null") with "root" -> UID 1.
inline QByteArray KQTestKeyedArchive(std::vector<KQTestPlist> objects,
                                     KQTestPlist top = KQTestPlist::dict({{"root", KQTestPlist::uid(1)}}))
{
    objects.insert(objects.begin(), KQTestPlist::str(QStringLiteral("$null")));
    return KQTestPlist::write(KQTestPlist::dict({{"$version", KQTestPlist::integer(100000)},
                                                 {"$archiver", KQTestPlist::str(QStringLiteral("NSKeyedArchiver"))},
                                                 {"$top", std::move(top)},
                                                 {"$objects", KQTestPlist::array(std::move(objects))}}));
}
