#pragma once
// Writes a binary property list ("bplist00") straight from its objects, without building a tree.
// Objects are added one by one and answer a reference; containers name their elements by those
// references, so every element is added before its container. Scalars are encoded at once;
// containers are encoded by finish(), when the number of objects (and so the width of a
// reference) is known.

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <vector>

class KQBinaryPlistWriter
{
public:
    using Ref = quint32;

    Ref addBool(bool value);
    Ref addInt(qint64 value);
    Ref addReal(double value);
    Ref addUid(quint64 value);
    // ASCII strings are stored as such, others as UTF-16.
    Ref addString(QStringView value);
    Ref addUtf8String(const QByteArray& utf8);
    Ref addData(const char* bytes, qsizetype length);
    Ref addArray(const Ref* elements, size_t count);
    // keys must refer to strings.
    Ref addDict(const Ref* keys, const Ref* values, size_t count);

    size_t objectCount() const { return m_offsets.size(); }

    // A point to come back to: rollback() forgets every object added after mark() was taken.
    struct Mark
    {
        size_t objects, bytes, containers, refs;
    };
    Mark mark() const { return {m_offsets.size(), m_bytes.size(), m_containers.size(), m_refs.size()}; }
    void rollback(const Mark& mark);

    // The whole property list with top as its root. The writer keeps its objects, so more may be
    // added and finish() called again.
    QByteArray finish(Ref top) const;
    // Forgets every object, keeping the buffers' memory for the next property list.
    void clear();

private:
    struct Container
    {
        Ref object;
        quint8 marker; // 0xA0 array, 0xD0 dict
        quint32 count;
        size_t firstRef; // into m_refs; a dict holds its keys, then its values
    };

    Ref newObject(qsizetype offset);
    void appendMarker(std::string& out, quint8 type, quint64 count) const;

    std::string m_bytes;            // encoded scalars, after the header
    std::vector<quint64> m_offsets; // per object; containers: their position in m_containers
    std::vector<Container> m_containers;
    std::vector<Ref> m_refs;
    std::vector<bool> m_isContainer;
};
