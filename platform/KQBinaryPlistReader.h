#pragma once
// Reads a binary property list ("bplist00") in place, without building a tree of its objects.
//
// open() checks the whole structure first: every object lies inside the object area, every
// reference names an existing object, dictionary keys are strings, containers form no cycle and
// nest at most maxDepth deep, and the objects reachable from the top, counted once per reference,
// stay within a small multiple of the data's size (so a reader that follows references can never
// be made to walk far more than it was given). After a successful open() every accessor is safe
// on every object number below objectCount(); none of them allocates beyond the value it returns.

#include "platform/CNError.h"

#include <QByteArray>
#include <QLatin1StringView>
#include <QString>
#include <QStringView>
#include <vector>

class KQBinaryPlistReader
{
public:
    static constexpr int maxDepth = 32;

    enum class Kind : quint8
    {
        None, // no object (a missing dictionary value)
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

    // An object's number in the offset table; none for no object.
    using Ref = quint64;
    static constexpr Ref none = ~Ref(0);

    // Checks and indexes data, which must stay alive and unchanged while the reader is used. False
    // with *error saying what is wrong (CorruptData) and, where an object is at fault, its byte offset.
    bool open(const QByteArray& data, CNError* error);

    Ref top() const { return m_top; }
    size_t objectCount() const { return m_objects.size(); }

    Kind kind(Ref object) const { return object < m_objects.size() ? m_objects[object].kind : Kind::None; }
    bool isString(Ref object) const
    {
        const Kind k = kind(object);
        return k == Kind::AsciiString || k == Kind::Utf16String;
    }
    // Elements of an array, entries of a dictionary, bytes of data, characters of a string.
    quint64 count(Ref object) const { return m_objects[object].count; }
    // The i-th element of an array.
    Ref element(Ref array, quint64 i) const { return ref(m_objects[array], i); }
    // The value of a dictionary's key (one more "$" in front when dollar is set); none when the key
    // is missing or dict is no dictionary.
    Ref value(Ref dict, QLatin1StringView key, bool dollar = false) const;
    Ref value(Ref dict, QStringView key, bool dollar = false) const;
    // The same, looking first at the entry after *next and leaving *next after the entry found:
    // keys read in the order they were written cost one comparison each.
    Ref value(Ref dict, QStringView key, bool dollar, quint64* next) const;

    bool boolValue(Ref object) const;      // Bool
    quint64 intValue(Ref object) const;    // Int: the low 64 bits, as stored
    double realValue(Ref object) const;    // Real
    quint64 uidValue(Ref object) const;    // Uid
    QString stringValue(Ref object) const; // AsciiString (read as UTF-8) or Utf16String
    bool stringEquals(Ref object, QLatin1StringView text) const;
    QByteArray dataValue(Ref object) const; // Data
    const char* dataBytes(Ref object) const
    {
        return reinterpret_cast<const char*>(m_data + m_objects[object].payload);
    }

private:
    struct Object
    {
        quint64 payload = 0; // offset of the bytes after the marker and length
        quint64 count = 0;   // bytes, characters, or entries
        Kind kind = Kind::None;
        quint8 width = 0; // of an Int, Real or Uid, in bytes
    };
    struct Visit
    {
        quint8 color = 0; // 0 unvisited, 1 on the current path, 2 done
        quint64 nodes = 0;
        quint64 bytes = 0;
    };

    bool fail(CNError* error, const QString& text, qint64 position = -1) const;
    bool failAtObject(CNError* error, quint64 index, const QString& text) const;
    quint64 readUInt(quint64 pos, quint64 width) const
    {
        quint64 number = 0;
        for (quint64 i = 0; i < width; ++i)
            number = (number << 8) | m_data[pos + i];
        return number;
    }
    Ref ref(const Object& container, quint64 position) const
    {
        return readUInt(container.payload + position * m_refSize, m_refSize);
    }
    bool readTrailer(CNError* error);
    bool readObject(quint64 index, quint64 offset, CNError* error);
    bool visit(quint64 index, int depth, std::vector<Visit>& visits, CNError* error) const;
    bool keyEquals(Ref key, QLatin1StringView text, bool dollar) const;
    bool keyEquals(Ref key, QStringView text, bool dollar) const;
    template <typename Key> Ref findValue(Ref dict, Key key, bool dollar) const;

    const uchar* m_data = nullptr;
    quint64 m_size = 0;
    quint64 m_offsetSize = 0;
    quint64 m_refSize = 0;
    quint64 m_top = 0;
    quint64 m_tableOffset = 0;
    quint64 m_maxNodes = 0;
    quint64 m_maxBytes = 0;
    std::vector<Object> m_objects;
};
