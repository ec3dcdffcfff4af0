#include "platform/KQKeyedArchiver.h"

#include "platform/KQKeyedArchiveFormat.h"

#include <QHash>
#include <QMutex>
#include <algorithm>
#include <plist/plist.h>

using namespace KQKeyedArchiveFormat;

namespace {

struct Registry
{
    QMutex mutex;
    QHash<QString, KQDecodeFactory> factories;
};

Registry& registry()
{
    static Registry instance;
    return instance;
}

} // namespace

void KQRegisterArchiveClass(const QString& className, KQDecodeFactory factory)
{
    Registry& r = registry();
    const QMutexLocker lock(&r.mutex);
    r.factories.insert(className, std::move(factory));
}

KQDecodeFactory KQKeyedArchiveFormat::registeredFactory(const QString& className)
{
    Registry& r = registry();
    const QMutexLocker lock(&r.mutex);
    return r.factories.value(className);
}

struct KQKeyedArchiver::Private
{
    KQKeyedArchiver* self;
    plist_t document = nullptr; // owns everything below
    plist_t top = nullptr;
    plist_t objects = nullptr;
    quint64 objectCount = 0;
    std::vector<plist_t> stack; // dictionaries of the objects being written; empty: "$top"
    QHash<const KQCoding*, quint64> objectUids;
    QHash<QString, quint64> stringUids;
    QHash<QString, quint64> classUids;
    std::vector<std::shared_ptr<const KQCoding>> retained;

    explicit Private(KQKeyedArchiver* archiver) : self(archiver)
    {
        document = plist_new_dict();
        plist_dict_set_item(document, versionKey, plist_new_uint(version));
        plist_dict_set_item(document, archiverKey, plist_new_string(archiverName));
        top = plist_new_dict();
        plist_dict_set_item(document, topKey, top);
        objects = plist_new_array();
        plist_dict_set_item(document, objectsKey, objects);
        append(plist_new_string(nullName));
    }
    ~Private() { plist_free(document); }

    plist_t current() const { return stack.empty() ? top : stack.back(); }

    quint64 append(plist_t node)
    {
        plist_array_append_item(objects, node);
        return objectCount++;
    }

    void set(const QString& key, plist_t value) { plist_dict_set_item(current(), escapedKey(key).constData(), value); }

    quint64 stringUid(const QString& value)
    {
        const auto it = stringUids.constFind(value);
        if (it != stringUids.constEnd())
            return *it;
        const quint64 uid = append(plist_new_string(value.toUtf8().constData()));
        stringUids.insert(value, uid);
        return uid;
    }

    quint64 classUid(QStringList names)
    {
        if (names.isEmpty())
            names.append(QStringLiteral("NSObject"));
        const auto it = classUids.constFind(names.first());
        if (it != classUids.constEnd())
            return *it;
        if (names.last() != QLatin1String("NSObject"))
            names.append(QStringLiteral("NSObject"));
        plist_t dict = plist_new_dict();
        plist_dict_set_item(dict, classNameKey, plist_new_string(names.first().toUtf8().constData()));
        plist_t classes = plist_new_array();
        for (const QString& name : std::as_const(names))
            plist_array_append_item(classes, plist_new_string(name.toUtf8().constData()));
        plist_dict_set_item(dict, classesKey, classes);
        const quint64 uid = append(dict);
        classUids.insert(names.first(), uid);
        return uid;
    }

    // A new object dictionary of the given class, appended to "$objects".
    std::pair<plist_t, quint64> newObject(const QStringList& classNames)
    {
        plist_t dict = plist_new_dict();
        const quint64 uid = append(dict);
        plist_dict_set_item(dict, classKey, plist_new_uid(classUid(classNames)));
        return {dict, uid};
    }

    quint64 objectUid(const KQCoding* object)
    {
        if (!object)
            return 0;
        const auto it = objectUids.constFind(object);
        if (it != objectUids.constEnd())
            return *it;
        // Registered before its content is written, so an object that refers back to itself
        // gets the reference instead of endless recursion.
        const auto [dict, uid] = newObject(object->archiveClassNames());
        objectUids.insert(object, uid);
        stack.push_back(dict);
        object->encodeWithCoder(*self);
        stack.pop_back();
        return uid;
    }
};

KQKeyedArchiver::KQKeyedArchiver() : d(std::make_unique<Private>(this)) {}

KQKeyedArchiver::KQKeyedArchiver(NoDocument) {}

KQKeyedArchiver::~KQKeyedArchiver() = default;

namespace {

QByteArray binaryData(plist_t document)
{
    char* bytes = nullptr;
    uint32_t length = 0;
    plist_to_bin(document, &bytes, &length);
    QByteArray data(bytes, static_cast<qsizetype>(length));
    plist_to_bin_free(bytes);
    return data;
}

} // namespace

QByteArray KQKeyedArchiver::archivedDataWithRootObject(const KQCoding& root)
{
    KQKeyedArchiver archiver;
    archiver.encodeObject(&root, QString::fromLatin1(rootKey));
    return archiver.encodedData();
}

QByteArray KQKeyedArchiver::encodedData() const
{
    return binaryData(d->document);
}

QByteArray KQKeyedArchiver::archivedDataWithRootArray(const std::vector<const KQCoding*>& objects)
{
    KQKeyedArchiver archiver;
    archiver.encodeArray(objects, QString::fromLatin1(rootKey));
    return archiver.encodedData();
}

void KQKeyedArchiver::encodeObject(const KQCoding* object, const QString& key)
{
    d->set(key, plist_new_uid(d->objectUid(object)));
}

void KQKeyedArchiver::encodeRetainedObject(std::shared_ptr<const KQCoding> object, const QString& key)
{
    encodeObject(object.get(), key);
    if (object)
        d->retained.push_back(std::move(object));
}

void KQKeyedArchiver::encodeString(const std::optional<QString>& value, const QString& key)
{
    d->set(key, plist_new_uid(value ? d->stringUid(*value) : 0));
}

void KQKeyedArchiver::encodeData(const std::optional<QByteArray>& value, const QString& key)
{
    quint64 uid = 0;
    if (value)
        uid = d->append(plist_new_data(value->constData(), static_cast<uint64_t>(value->size())));
    d->set(key, plist_new_uid(uid));
}

void KQKeyedArchiver::encodeBool(bool value, const QString& key)
{
    d->set(key, plist_new_bool(value ? 1 : 0));
}

void KQKeyedArchiver::encodeInt(qint64 value, const QString& key)
{
    // Eight-byte integers are signed in the binary format, so the two's complement bits round-trip.
    d->set(key, plist_new_uint(static_cast<uint64_t>(value)));
}

void KQKeyedArchiver::encodeDouble(double value, const QString& key)
{
    d->set(key, plist_new_real(value));
}

void KQKeyedArchiver::encodeDate(const QDateTime& value, const QString& key)
{
    if (!value.isValid()) {
        d->set(key, plist_new_uid(0));
        return;
    }
    const auto [dict, uid] = d->newObject({QStringLiteral("NSDate"), QStringLiteral("NSObject")});
    const double seconds = static_cast<double>(referenceDate().msecsTo(value)) / 1000.0;
    plist_dict_set_item(dict, dateTimeKey, plist_new_real(seconds));
    d->set(key, plist_new_uid(uid));
}

void KQKeyedArchiver::encodeArray(const std::vector<const KQCoding*>& objects, const QString& key)
{
    // Elements first, so that the array's own dictionary can list their UIDs in one go.
    std::vector<quint64> uids;
    uids.reserve(objects.size());
    for (const KQCoding* object : objects) {
        if (object)
            uids.push_back(d->objectUid(object));
    }
    const auto [dict, uid] = d->newObject({QStringLiteral("NSArray"), QStringLiteral("NSObject")});
    plist_t list = plist_new_array();
    for (const quint64 element : uids)
        plist_array_append_item(list, plist_new_uid(element));
    plist_dict_set_item(dict, arrayObjectsKey, list);
    d->set(key, plist_new_uid(uid));
}

void KQKeyedArchiver::encodeRetainedArray(std::vector<std::shared_ptr<const KQCoding>> objects, const QString& key)
{
    std::vector<const KQCoding*> pointers;
    pointers.reserve(objects.size());
    for (const auto& object : objects)
        pointers.push_back(object.get());
    encodeArray(pointers, key);
    for (auto& object : objects) {
        if (object)
            d->retained.push_back(std::move(object));
    }
}

void KQKeyedArchiver::encodeStringArray(const QStringList& strings, const QString& key)
{
    std::vector<quint64> uids;
    uids.reserve(static_cast<size_t>(strings.size()));
    for (const QString& string : strings)
        uids.push_back(d->stringUid(string));
    const auto [dict, uid] = d->newObject({QStringLiteral("NSArray"), QStringLiteral("NSObject")});
    plist_t list = plist_new_array();
    for (const quint64 element : uids)
        plist_array_append_item(list, plist_new_uid(element));
    plist_dict_set_item(dict, arrayObjectsKey, list);
    d->set(key, plist_new_uid(uid));
}

void KQKeyedArchiver::encodeIndexSet(const std::vector<qint64>& indexes, const QString& key)
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

    const auto [dict, uid] = d->newObject({QStringLiteral("NSIndexSet"), QStringLiteral("NSObject")});
    plist_dict_set_item(dict, rangeCountKey, plist_new_uint(ranges.size()));
    if (ranges.size() == 1) {
        plist_dict_set_item(dict, locationKey, plist_new_uint(ranges.front().first));
        plist_dict_set_item(dict, lengthKey, plist_new_uint(ranges.front().second));
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
        plist_dict_set_item(dict, rangeDataKey,
                            plist_new_data(packed.constData(), static_cast<uint64_t>(packed.size())));
    }
    d->set(key, plist_new_uid(uid));
}
