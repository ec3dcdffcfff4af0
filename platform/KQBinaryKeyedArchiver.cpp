#include "platform/KQBinaryKeyedArchiver.h"

#include "platform/KQKeyedArchiveFormat.h"

#include <algorithm>

using namespace KQKeyedArchiveFormat;

namespace {

constexpr KQBinaryPlistWriter::Ref kNoRef = ~KQBinaryPlistWriter::Ref(0);

} // namespace

KQBinaryKeyedArchiver::KQBinaryKeyedArchiver() : KQKeyedArchiver(NoDocument{})
{
    reset();
}

KQBinaryKeyedArchiver::~KQBinaryKeyedArchiver() = default;

void KQBinaryKeyedArchiver::reset()
{
    m_writer.clear();
    m_objects.clear();
    m_top.keys.clear();
    m_top.values.clear();
    m_depth = 0;
    ++m_archive;
    m_rawKeys.clear();
    m_uidRefs.clear();
    m_objectUids.clear();
    m_stringUids.clear();
    m_classUids.clear();
    m_retained.clear();
    m_objects.push_back(m_writer.addUtf8String(QByteArray(nullName)));
}

QByteArray KQBinaryKeyedArchiver::archiveRootObject(const KQCoding& root)
{
    reset();
    encodeObject(&root, QString::fromLatin1(rootKey));
    return encodedData();
}

QByteArray KQBinaryKeyedArchiver::archivedDataWithRootObject(const KQCoding& root)
{
    KQBinaryKeyedArchiver archiver;
    return archiver.archiveRootObject(root);
}

QByteArray KQBinaryKeyedArchiver::archivedDataWithRootArray(const std::vector<const KQCoding*>& objects)
{
    KQBinaryKeyedArchiver archiver;
    // Every element is at least one object: the tables that grow per object are sized once, so a
    // large array (a backup's index) never holds a table and its grown copy at the same time.
    const size_t atLeast = objects.size() + 16;
    archiver.m_objectUids.reserve(static_cast<qsizetype>(atLeast));
    archiver.m_objects.reserve(atLeast);
    archiver.m_uidRefs.reserve(atLeast);
    archiver.encodeArray(objects, QString::fromLatin1(rootKey));
    return archiver.encodedData();
}

QByteArray KQBinaryKeyedArchiver::encodedData() const
{
    // The document's own objects are added for this one output and taken away again, so that
    // encoding may go on afterwards.
    const KQBinaryPlistWriter::Mark mark = m_writer.mark();
    const Ref objects = m_writer.addArray(m_objects.data(), m_objects.size());
    const Ref top = m_writer.addDict(m_top.keys.data(), m_top.values.data(), m_top.keys.size());
    const Ref keys[] = {m_writer.addUtf8String(QByteArray(versionKey)), m_writer.addUtf8String(QByteArray(archiverKey)),
                        m_writer.addUtf8String(QByteArray(topKey)), m_writer.addUtf8String(QByteArray(objectsKey))};
    const Ref values[] = {m_writer.addInt(static_cast<qint64>(version)),
                          m_writer.addUtf8String(QByteArray(archiverName)), top, objects};
    const Ref document = m_writer.addDict(keys, values, 4);
    QByteArray data = m_writer.finish(document);
    m_writer.rollback(mark);
    return data;
}

// ---------------------------------------------------------------- graph

KQBinaryPlistWriter::Ref KQBinaryKeyedArchiver::keyRef(const QString& key)
{
    auto it = m_keys.find(key);
    if (it == m_keys.end())
        it = m_keys.insert(key, Key{escapedKey(key), 0, 0});
    if (it->archive != m_archive) {
        it->ref = m_writer.addUtf8String(it->utf8);
        it->archive = m_archive;
    }
    return it->ref;
}

KQBinaryPlistWriter::Ref KQBinaryKeyedArchiver::rawKeyRef(const char* key)
{
    const auto it = m_rawKeys.constFind(key);
    if (it != m_rawKeys.constEnd())
        return *it;
    const Ref ref = m_writer.addUtf8String(QByteArray(key));
    m_rawKeys.insert(key, ref);
    return ref;
}

KQBinaryPlistWriter::Ref KQBinaryKeyedArchiver::uidRef(quint64 uid)
{
    if (uid >= m_uidRefs.size())
        m_uidRefs.resize(std::max<size_t>(uid + 1, m_uidRefs.size() * 2), kNoRef);
    Ref& ref = m_uidRefs[uid];
    if (ref == kNoRef)
        ref = m_writer.addUid(uid);
    return ref;
}

void KQBinaryKeyedArchiver::set(const QString& key, Ref value)
{
    Frame& frame = current();
    frame.keys.push_back(keyRef(key));
    frame.values.push_back(value);
}

void KQBinaryKeyedArchiver::setRaw(Frame& frame, const char* key, Ref value)
{
    frame.keys.push_back(rawKeyRef(key));
    frame.values.push_back(value);
}

quint64 KQBinaryKeyedArchiver::reserveObject()
{
    m_objects.push_back(kNoRef);
    return m_objects.size() - 1;
}

quint64 KQBinaryKeyedArchiver::stringUid(const QString& value)
{
    const auto it = m_stringUids.constFind(value);
    if (it != m_stringUids.constEnd())
        return *it;
    const quint64 uid = m_objects.size();
    m_objects.push_back(m_writer.addString(value));
    m_stringUids.insert(value, uid);
    return uid;
}

quint64 KQBinaryKeyedArchiver::classUid(QStringList names)
{
    if (names.isEmpty())
        names.append(QStringLiteral("NSObject"));
    const auto it = m_classUids.constFind(names.first());
    if (it != m_classUids.constEnd())
        return *it;
    if (names.last() != QLatin1String("NSObject"))
        names.append(QStringLiteral("NSObject"));
    const quint64 uid = reserveObject();
    std::vector<Ref> classes;
    classes.reserve(static_cast<size_t>(names.size()));
    for (const QString& name : std::as_const(names))
        classes.push_back(m_writer.addString(name));
    const Ref keys[] = {rawKeyRef(classNameKey), rawKeyRef(classesKey)};
    const Ref values[] = {m_writer.addString(names.first()), m_writer.addArray(classes.data(), classes.size())};
    m_objects[uid] = m_writer.addDict(keys, values, 2);
    m_classUids.insert(names.first(), uid);
    return uid;
}

quint64 KQBinaryKeyedArchiver::openObject(const QStringList& classNames)
{
    // The object's UID comes before its class's, as in the tree-building archiver.
    const quint64 uid = reserveObject();
    const quint64 cls = classUid(classNames);
    if (m_frames.size() <= m_depth)
        m_frames.emplace_back();
    Frame& frame = m_frames[m_depth++];
    frame.uid = uid;
    frame.keys.clear();
    frame.values.clear();
    setRaw(frame, classKey, uidRef(cls));
    return uid;
}

void KQBinaryKeyedArchiver::closeObject()
{
    Frame& frame = m_frames[--m_depth];
    m_objects[frame.uid] = m_writer.addDict(frame.keys.data(), frame.values.data(), frame.keys.size());
}

quint64 KQBinaryKeyedArchiver::objectUid(const KQCoding* object)
{
    if (!object)
        return 0;
    const auto it = m_objectUids.constFind(object);
    if (it != m_objectUids.constEnd())
        return *it;
    // Known before its content is written, so that an object referring back to itself gets the
    // reference instead of endless recursion.
    const quint64 uid = openObject(object->archiveClassNames());
    m_objectUids.insert(object, uid);
    object->encodeWithCoder(*this);
    closeObject();
    return uid;
}

quint64 KQBinaryKeyedArchiver::arrayUid(const std::vector<quint64>& elements)
{
    const quint64 uid = openObject({QStringLiteral("NSArray"), QStringLiteral("NSObject")});
    std::vector<Ref> refs;
    refs.reserve(elements.size());
    for (const quint64 element : elements)
        refs.push_back(uidRef(element));
    setRaw(m_frames[m_depth - 1], arrayObjectsKey, m_writer.addArray(refs.data(), refs.size()));
    closeObject();
    return uid;
}

// ---------------------------------------------------------------- encoders

void KQBinaryKeyedArchiver::encodeObject(const KQCoding* object, const QString& key)
{
    const quint64 uid = objectUid(object);
    set(key, uidRef(uid));
}

void KQBinaryKeyedArchiver::encodeRetainedObject(std::shared_ptr<const KQCoding> object, const QString& key)
{
    encodeObject(object.get(), key);
    if (object)
        m_retained.push_back(std::move(object));
}

void KQBinaryKeyedArchiver::encodeString(const std::optional<QString>& value, const QString& key)
{
    const quint64 uid = value ? stringUid(*value) : 0;
    set(key, uidRef(uid));
}

void KQBinaryKeyedArchiver::encodeData(const std::optional<QByteArray>& value, const QString& key)
{
    quint64 uid = 0;
    if (value) {
        uid = m_objects.size();
        m_objects.push_back(m_writer.addData(value->constData(), value->size()));
    }
    set(key, uidRef(uid));
}

void KQBinaryKeyedArchiver::encodeBool(bool value, const QString& key)
{
    set(key, m_writer.addBool(value));
}

void KQBinaryKeyedArchiver::encodeInt(qint64 value, const QString& key)
{
    set(key, m_writer.addInt(value));
}

void KQBinaryKeyedArchiver::encodeDouble(double value, const QString& key)
{
    set(key, m_writer.addReal(value));
}

void KQBinaryKeyedArchiver::encodeDate(const QDateTime& value, const QString& key)
{
    if (!value.isValid()) {
        set(key, uidRef(0));
        return;
    }
    const quint64 uid = openObject({QStringLiteral("NSDate"), QStringLiteral("NSObject")});
    const double seconds = static_cast<double>(referenceDate().msecsTo(value)) / 1000.0;
    setRaw(m_frames[m_depth - 1], dateTimeKey, m_writer.addReal(seconds));
    closeObject();
    set(key, uidRef(uid));
}

void KQBinaryKeyedArchiver::encodeArray(const std::vector<const KQCoding*>& objects, const QString& key)
{
    std::vector<quint64> uids;
    uids.reserve(objects.size());
    for (const KQCoding* object : objects) {
        if (object)
            uids.push_back(objectUid(object));
    }
    const quint64 uid = arrayUid(uids);
    set(key, uidRef(uid));
}

void KQBinaryKeyedArchiver::encodeRetainedArray(std::vector<std::shared_ptr<const KQCoding>> objects,
                                                const QString& key)
{
    std::vector<const KQCoding*> pointers;
    pointers.reserve(objects.size());
    for (const auto& object : objects)
        pointers.push_back(object.get());
    encodeArray(pointers, key);
    for (auto& object : objects) {
        if (object)
            m_retained.push_back(std::move(object));
    }
}

void KQBinaryKeyedArchiver::encodeStringArray(const QStringList& strings, const QString& key)
{
    std::vector<quint64> uids;
    uids.reserve(static_cast<size_t>(strings.size()));
    for (const QString& string : strings)
        uids.push_back(stringUid(string));
    const quint64 uid = arrayUid(uids);
    set(key, uidRef(uid));
}

void KQBinaryKeyedArchiver::encodeIndexSet(const std::vector<qint64>& indexes, const QString& key)
{
    std::vector<qint64> sorted;
    sorted.reserve(indexes.size());
    std::copy_if(indexes.begin(), indexes.end(), std::back_inserter(sorted), [](qint64 i) { return i >= 0; });
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());

    std::vector<std::pair<quint64, quint64>> ranges; // location, length
    for (const qint64 index : sorted) {
        const auto value = static_cast<quint64>(index);
        if (!ranges.empty() && ranges.back().first + ranges.back().second == value)
            ++ranges.back().second;
        else
            ranges.emplace_back(value, 1);
    }

    const quint64 uid = openObject({QStringLiteral("NSIndexSet"), QStringLiteral("NSObject")});
    Frame& frame = m_frames[m_depth - 1];
    setRaw(frame, rangeCountKey, m_writer.addInt(static_cast<qint64>(ranges.size())));
    if (ranges.size() == 1) {
        setRaw(frame, locationKey, m_writer.addInt(static_cast<qint64>(ranges.front().first)));
        setRaw(frame, lengthKey, m_writer.addInt(static_cast<qint64>(ranges.front().second)));
    } else if (ranges.size() > 1) {
        // Each number as 7-bit groups, lowest first, the high bit marking that more follow.
        QByteArray packed;
        const auto put = [&packed](quint64 value) {
            do {
                uchar byte = value & 0x7F;
                value >>= 7;
                if (value)
                    byte |= 0x80;
                packed.append(static_cast<char>(byte));
            } while (value);
        };
        for (const auto& [location, length] : ranges) {
            put(location);
            put(length);
        }
        setRaw(frame, rangeDataKey, m_writer.addData(packed.constData(), packed.size()));
    }
    closeObject();
    set(key, uidRef(uid));
}
