#include "platform/KQBinaryPlistValidator.h"
#include "platform/KQKeyedArchiveFormat.h"
#include "platform/KQKeyedArchiver.h"

#include <QHash>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <plist/plist.h>

using namespace KQKeyedArchiveFormat;

namespace {

// Archived objects nested deeper than this are refused (real archives nest a handful deep).
constexpr size_t maxObjectDepth = 64;
// Dates further than this from the reference date (about 3000 years) are refused as damage.
constexpr double maxDateSeconds = 1e11;

plist_type typeOf(plist_t node)
{
    return node ? plist_get_node_type(node) : PLIST_NONE;
}

QString stringValue(plist_t node)
{
    uint64_t length = 0;
    const char* text = plist_get_string_ptr(node, &length);
    return text ? QString::fromUtf8(text, static_cast<qsizetype>(length)) : QString();
}

QByteArray dataValue(plist_t node)
{
    uint64_t length = 0;
    const char* bytes = plist_get_data_ptr(node, &length);
    return bytes ? QByteArray(bytes, static_cast<qsizetype>(length)) : QByteArray();
}

std::vector<plist_t> arrayItems(plist_t array)
{
    // Walked with an iterator: indexed access may be linear per item.
    std::vector<plist_t> items;
    items.reserve(plist_array_get_size(array));
    plist_array_iter iter = nullptr;
    plist_array_new_iter(array, &iter);
    if (!iter)
        return items;
    for (;;) {
        plist_t item = nullptr;
        plist_array_next_item(array, iter, &item);
        if (!item)
            break;
        items.push_back(item);
    }
    std::free(iter);
    return items;
}

QString quoted(const QString& key)
{
    return QLatin1Char('"') + key + QLatin1Char('"');
}

} // namespace

struct KQKeyedUnarchiver::Private
{
    enum class State : quint8
    {
        Unvisited,
        Decoding,
        Done
    };

    KQKeyedUnarchiver* self;
    plist_t root = nullptr;
    plist_t top = nullptr;
    std::vector<plist_t> objects;
    std::vector<State> states;
    std::vector<plist_t> stack;    // dictionaries of the objects being decoded; empty: "$top"
    std::vector<quint64> uidStack; // their numbers in "$objects"
    QSet<QString> allowed;
    QHash<quint64, KQCodingPtr> decoded;
    QHash<quint64, QString> decodedClass;
    QHash<quint64, QString> strings;
    QHash<quint64, QByteArray> datas;
    quint64 budget = 0; // units of work and memory left; each one is at most a few dozen bytes
    bool failed = false;
    CNError error;

    explicit Private(KQKeyedUnarchiver* unarchiver) : self(unarchiver) {}
    ~Private() { plist_free(root); }

    // The first failure sticks; its position is the object being decoded (-1 for "$top" and for
    // damage found before any object is read).
    void fail(const QString& text) { failAt(text, uidStack.empty() ? -1 : static_cast<qint64>(uidStack.back())); }
    void failAt(const QString& text, qint64 position)
    {
        if (!failed) {
            failed = true;
            error = CNError::make(CNError::CorruptData, text, position);
        }
    }

    bool spend(quint64 units)
    {
        if (failed)
            return false;
        if (units > budget) {
            fail(QStringLiteral("the archive expands far beyond its size"));
            return false;
        }
        budget -= units;
        return true;
    }

    void open(const QByteArray& data)
    {
        CNError why;
        if (!KQBinaryPlistValidator::validate(data, &why))
            return fail(QStringLiteral("not a valid binary property list: %1").arg(why.localizedDescription));
        plist_from_bin(data.constData(), static_cast<uint32_t>(data.size()), &root);
        if (!root)
            return fail(QStringLiteral("the property list could not be read"));
        if (typeOf(root) != PLIST_DICT)
            return fail(QStringLiteral("not a keyed archive: the top object is not a dictionary"));
        plist_t archiver = plist_dict_get_item(root, archiverKey);
        if (typeOf(archiver) != PLIST_STRING || stringValue(archiver) != QLatin1String(archiverName))
            return fail(QStringLiteral("not a keyed archive: \"$archiver\" is missing or unknown"));
        if (typeOf(plist_dict_get_item(root, versionKey)) != PLIST_UINT)
            return fail(QStringLiteral("not a keyed archive: \"$version\" is missing"));
        top = plist_dict_get_item(root, topKey);
        if (typeOf(top) != PLIST_DICT)
            return fail(QStringLiteral("not a keyed archive: \"$top\" is not a dictionary"));
        plist_t list = plist_dict_get_item(root, objectsKey);
        if (typeOf(list) != PLIST_ARRAY)
            return fail(QStringLiteral("not a keyed archive: \"$objects\" is not an array"));
        objects = arrayItems(list);
        if (objects.empty() || typeOf(objects.front()) != PLIST_STRING ||
            stringValue(objects.front()) != QLatin1String(nullName))
            return fail(QStringLiteral("not a keyed archive: \"$objects\" does not start with \"$null\""));
        states.assign(objects.size(), State::Unvisited);
        budget = 8 * static_cast<quint64>(data.size()) + 65536;
    }

    plist_t current() const { return stack.empty() ? top : stack.back(); }

    plist_t valueFor(const QString& key) const
    {
        plist_t dict = current();
        return dict ? plist_dict_get_item(dict, escapedKey(key).constData()) : nullptr;
    }

    // The UID a key holds: none when the key is missing; fails when it holds something else or
    // a UID past the end of "$objects".
    std::optional<quint64> uidFor(const QString& key)
    {
        if (failed)
            return std::nullopt;
        plist_t value = valueFor(key);
        if (!value)
            return std::nullopt;
        if (typeOf(value) != PLIST_UID) {
            fail(QStringLiteral("the value for key %1 is not an object reference").arg(quoted(key)));
            return std::nullopt;
        }
        uint64_t uid = 0;
        plist_get_uid_val(value, &uid);
        if (uid >= objects.size()) {
            fail(QStringLiteral("key %1 refers to object %2, but the archive has %3")
                     .arg(quoted(key), QString::number(uid), QString::number(objects.size())));
            return std::nullopt;
        }
        return uid;
    }

    // The class name of an object dictionary without failing (empty when there is none).
    QString peekClassName(plist_t dict) const
    {
        plist_t ref = plist_dict_get_item(dict, classKey);
        if (typeOf(ref) != PLIST_UID)
            return {};
        uint64_t uid = 0;
        plist_get_uid_val(ref, &uid);
        if (uid == 0 || uid >= objects.size() || typeOf(objects[uid]) != PLIST_DICT)
            return {};
        plist_t name = plist_dict_get_item(objects[uid], classNameKey);
        return typeOf(name) == PLIST_STRING ? stringValue(name) : QString();
    }

    std::optional<QString> className(plist_t dict, const QString& key)
    {
        QString name = peekClassName(dict);
        if (name.isEmpty()) {
            fail(QStringLiteral("the object for key %1 has no valid class").arg(quoted(key)));
            return std::nullopt;
        }
        return name;
    }

    // An object dictionary of one of the given built-in classes; fails for anything else.
    plist_t builtinObject(quint64 uid, std::initializer_list<const char*> classes, const QString& key)
    {
        plist_t node = objects[uid];
        if (typeOf(node) == PLIST_DICT) {
            if (const auto name = className(node, key)) {
                for (const char* wanted : classes) {
                    if (*name == QLatin1String(wanted))
                        return node;
                }
            }
        }
        fail(QStringLiteral("the value for key %1 is not of class %2")
                 .arg(quoted(key), QLatin1String(*classes.begin())));
        return nullptr;
    }

    std::optional<QString> stringAt(quint64 uid, const QString& key)
    {
        if (failed)
            return std::nullopt;
        if (const auto it = strings.constFind(uid); it != strings.constEnd())
            return *it;
        plist_t text = objects[uid];
        if (typeOf(text) == PLIST_DICT) {
            // A mutable string is archived as an object holding the text.
            plist_t holder = builtinObject(uid, {"NSString", "NSMutableString"}, key);
            if (!holder)
                return std::nullopt;
            text = plist_dict_get_item(holder, stringKey);
        }
        if (typeOf(text) != PLIST_STRING) {
            fail(QStringLiteral("the value for key %1 is not a string").arg(quoted(key)));
            return std::nullopt;
        }
        QString value = stringValue(text);
        strings.insert(uid, value);
        return value;
    }

    std::optional<QByteArray> dataAt(quint64 uid, const QString& key)
    {
        if (const auto it = datas.constFind(uid); it != datas.constEnd())
            return *it;
        plist_t bytes = objects[uid];
        if (typeOf(bytes) == PLIST_DICT) {
            plist_t holder = builtinObject(uid, {"NSData", "NSMutableData"}, key);
            if (!holder)
                return std::nullopt;
            bytes = plist_dict_get_item(holder, dataKey);
        }
        if (typeOf(bytes) != PLIST_DATA) {
            fail(QStringLiteral("the value for key %1 is not data").arg(quoted(key)));
            return std::nullopt;
        }
        QByteArray value = dataValue(bytes);
        datas.insert(uid, value);
        return value;
    }

    KQCodingPtr objectAt(quint64 uid, const QSet<QString>& classes, const QString& key)
    {
        if (failed || uid == 0)
            return nullptr;
        if (states[uid] == State::Decoding) {
            fail(QStringLiteral("reference cycle: the object for key %1 contains itself").arg(quoted(key)));
            return nullptr;
        }
        if (states[uid] == State::Done) {
            const QString& name = decodedClass.value(uid);
            if (!classes.contains(name)) {
                fail(QStringLiteral("class \"%1\" is not allowed for key %2").arg(name, quoted(key)));
                return nullptr;
            }
            return decoded.value(uid);
        }
        plist_t node = objects[uid];
        if (typeOf(node) != PLIST_DICT) {
            fail(QStringLiteral("the value for key %1 is not an archived object").arg(quoted(key)));
            return nullptr;
        }
        const auto name = className(node, key);
        if (!name)
            return nullptr;
        if (!classes.contains(*name)) {
            fail(QStringLiteral("class \"%1\" is not allowed for key %2").arg(*name, quoted(key)));
            return nullptr;
        }
        if (stack.size() >= maxObjectDepth) {
            fail(QStringLiteral("objects nested more than %1 deep").arg(maxObjectDepth));
            return nullptr;
        }
        const KQDecodeFactory factory = registeredFactory(*name);
        if (!factory) {
            fail(QStringLiteral("no decoder for class \"%1\"").arg(*name));
            return nullptr;
        }
        if (!spend(1))
            return nullptr;
        states[uid] = State::Decoding;
        stack.push_back(node);
        uidStack.push_back(uid);
        KQCodingPtr object;
        try {
            object = factory(*self);
        } catch (const std::exception& e) {
            fail(QStringLiteral("decoding class \"%1\" failed: %2").arg(*name, QString::fromLocal8Bit(e.what())));
        } catch (...) {
            fail(QStringLiteral("decoding class \"%1\" failed").arg(*name));
        }
        stack.pop_back();
        uidStack.pop_back();
        states[uid] = State::Done;
        if (failed)
            return nullptr;
        if (!object) {
            fail(QStringLiteral("the object of class \"%1\" for key %2 is unusable").arg(*name, quoted(key)));
            return nullptr;
        }
        decoded.insert(uid, object);
        decodedClass.insert(uid, *name);
        return object;
    }

    // The element UIDs of the NSArray a key refers to (empty for none).
    std::vector<quint64> arrayUids(const QString& key)
    {
        const auto uid = uidFor(key);
        if (!uid || *uid == 0)
            return {};
        plist_t array = builtinObject(*uid, {"NSArray", "NSMutableArray"}, key);
        if (!array)
            return {};
        plist_t list = plist_dict_get_item(array, arrayObjectsKey);
        if (typeOf(list) != PLIST_ARRAY) {
            fail(QStringLiteral("the array for key %1 has no element list").arg(quoted(key)));
            return {};
        }
        if (!spend(plist_array_get_size(list)))
            return {};
        std::vector<quint64> uids;
        uids.reserve(plist_array_get_size(list));
        for (plist_t item : arrayItems(list)) {
            uint64_t element = 0;
            if (typeOf(item) == PLIST_UID)
                plist_get_uid_val(item, &element);
            if (typeOf(item) != PLIST_UID || element == 0 || element >= objects.size()) {
                fail(QStringLiteral("the array for key %1 holds an invalid element").arg(quoted(key)));
                return {};
            }
            uids.push_back(element);
        }
        return uids;
    }

    std::optional<qint64> integer(plist_t dict, const char* name, const QString& key)
    {
        plist_t value = plist_dict_get_item(dict, name);
        if (typeOf(value) != PLIST_UINT) {
            fail(QStringLiteral("the index set for key %1 lacks \"%2\"").arg(quoted(key), QLatin1String(name)));
            return std::nullopt;
        }
        uint64_t number = 0;
        plist_get_uint_val(value, &number);
        if (number > static_cast<uint64_t>(std::numeric_limits<qint64>::max())) {
            fail(QStringLiteral("the index set for key %1 holds a negative number").arg(quoted(key)));
            return std::nullopt;
        }
        return static_cast<qint64>(number);
    }
};

KQKeyedUnarchiver::KQKeyedUnarchiver(const QByteArray& data, const QSet<QString>& allowedClasses)
    : d(std::make_unique<Private>(this))
{
    d->allowed = allowedClasses;
    d->open(data);
}

KQKeyedUnarchiver::~KQKeyedUnarchiver() = default;

KQCodingPtr KQKeyedUnarchiver::unarchivedObjectOfClasses(const QSet<QString>& allowedClasses, const QByteArray& data,
                                                         CNError* error)
{
    KQKeyedUnarchiver unarchiver(data, allowedClasses);
    KQCodingPtr object = unarchiver.decodeRootObject();
    if (error)
        *error = object ? CNError() : unarchiver.error();
    return object;
}

KQCodingPtr KQKeyedUnarchiver::decodeRootObject()
{
    if (d->failed)
        return nullptr;
    // Read from "$top" even when called from inside an object.
    std::vector<plist_t> saved;
    std::vector<quint64> savedUids;
    saved.swap(d->stack);
    savedUids.swap(d->uidStack);
    const QString key = QString::fromLatin1(rootKey);
    const auto uid = d->uidFor(key);
    KQCodingPtr object = uid ? d->objectAt(*uid, d->allowed, key) : nullptr;
    d->stack.swap(saved);
    d->uidStack.swap(savedUids);
    if (!object)
        d->fail(QStringLiteral("the archive has no root object"));
    return object;
}

bool KQKeyedUnarchiver::failed() const
{
    return d->failed;
}

const CNError& KQKeyedUnarchiver::error() const
{
    return d->error;
}

void KQKeyedUnarchiver::failWithError(const QString& error)
{
    d->fail(error);
}

bool KQKeyedUnarchiver::containsValueForKey(const QString& key) const
{
    return !d->failed && d->valueFor(key) != nullptr;
}

KQArchiveValueKind KQKeyedUnarchiver::valueKindForKey(const QString& key) const
{
    if (d->failed)
        return KQArchiveValueKind::None;
    plist_t value = d->valueFor(key);
    switch (typeOf(value)) {
    case PLIST_BOOLEAN:
        return KQArchiveValueKind::Bool;
    case PLIST_UINT:
        return KQArchiveValueKind::Int;
    case PLIST_REAL:
        return KQArchiveValueKind::Real;
    case PLIST_UID:
        break;
    case PLIST_NONE:
        return KQArchiveValueKind::None;
    default:
        return KQArchiveValueKind::Object; // decoding it will say what is wrong
    }
    uint64_t uid = 0;
    plist_get_uid_val(value, &uid);
    if (uid == 0)
        return KQArchiveValueKind::None;
    if (uid >= d->objects.size())
        return KQArchiveValueKind::Object;
    plist_t node = d->objects[uid];
    switch (typeOf(node)) {
    case PLIST_STRING:
        return KQArchiveValueKind::String;
    case PLIST_DATA:
        return KQArchiveValueKind::Data;
    case PLIST_DICT: {
        const QString name = d->peekClassName(node);
        if (name == QLatin1String("NSString") || name == QLatin1String("NSMutableString"))
            return KQArchiveValueKind::String;
        if (name == QLatin1String("NSData") || name == QLatin1String("NSMutableData"))
            return KQArchiveValueKind::Data;
        return KQArchiveValueKind::Object;
    }
    default:
        return KQArchiveValueKind::Object;
    }
}

KQCodingPtr KQKeyedUnarchiver::decodeObjectOfClasses(const QSet<QString>& classes, const QString& key)
{
    const auto uid = d->uidFor(key);
    return uid ? d->objectAt(*uid, classes, key) : nullptr;
}

std::optional<QString> KQKeyedUnarchiver::decodeString(const QString& key)
{
    const auto uid = d->uidFor(key);
    if (!uid || *uid == 0 || !d->spend(1))
        return std::nullopt;
    return d->stringAt(*uid, key);
}

std::optional<QByteArray> KQKeyedUnarchiver::decodeData(const QString& key)
{
    const auto uid = d->uidFor(key);
    if (!uid || *uid == 0 || !d->spend(1))
        return std::nullopt;
    return d->dataAt(*uid, key);
}

namespace {

// A scalar value: a missing key or "$null" gives none; anything else that is no number fails.
enum class Scalar
{
    Missing,
    Number,
    Wrong
};

Scalar scalarKind(plist_t value)
{
    switch (typeOf(value)) {
    case PLIST_NONE:
        return Scalar::Missing;
    case PLIST_BOOLEAN:
    case PLIST_UINT:
    case PLIST_REAL:
        return Scalar::Number;
    case PLIST_UID: {
        uint64_t uid = 1;
        plist_get_uid_val(value, &uid);
        return uid == 0 ? Scalar::Missing : Scalar::Wrong;
    }
    default:
        return Scalar::Wrong;
    }
}

} // namespace

bool KQKeyedUnarchiver::decodeBool(const QString& key)
{
    if (d->failed)
        return false;
    plist_t value = d->valueFor(key);
    const Scalar kind = scalarKind(value);
    if (kind == Scalar::Missing)
        return false;
    if (kind == Scalar::Wrong || typeOf(value) == PLIST_REAL) {
        d->fail(QStringLiteral("the value for key %1 is not a boolean").arg(quoted(key)));
        return false;
    }
    return decodeInt(key) != 0;
}

qint64 KQKeyedUnarchiver::decodeInt(const QString& key)
{
    if (d->failed)
        return 0;
    plist_t value = d->valueFor(key);
    const Scalar kind = scalarKind(value);
    if (kind == Scalar::Missing)
        return 0;
    switch (typeOf(value)) {
    case PLIST_BOOLEAN: {
        uint8_t flag = 0;
        plist_get_bool_val(value, &flag);
        return flag ? 1 : 0;
    }
    case PLIST_UINT: {
        uint64_t number = 0;
        plist_get_uint_val(value, &number);
        return static_cast<qint64>(number);
    }
    case PLIST_REAL: {
        double number = 0;
        plist_get_real_val(value, &number);
        // 2^63 is exactly representable; anything at or past it does not fit.
        if (std::isfinite(number) && number > -9223372036854775808.0 && number < 9223372036854775808.0)
            return static_cast<qint64>(number);
        break;
    }
    default:
        break;
    }
    d->fail(QStringLiteral("the value for key %1 is not an integer").arg(quoted(key)));
    return 0;
}

double KQKeyedUnarchiver::decodeDouble(const QString& key)
{
    if (d->failed)
        return 0;
    plist_t value = d->valueFor(key);
    const Scalar kind = scalarKind(value);
    if (kind == Scalar::Missing)
        return 0;
    if (typeOf(value) == PLIST_REAL) {
        double number = 0;
        plist_get_real_val(value, &number);
        return number;
    }
    if (typeOf(value) == PLIST_UINT)
        return static_cast<double>(decodeInt(key));
    d->fail(QStringLiteral("the value for key %1 is not a number").arg(quoted(key)));
    return 0;
}

std::optional<QDateTime> KQKeyedUnarchiver::decodeDate(const QString& key)
{
    const auto uid = d->uidFor(key);
    if (!uid || *uid == 0 || !d->spend(1))
        return std::nullopt;
    plist_t date = d->builtinObject(*uid, {"NSDate"}, key);
    if (!date)
        return std::nullopt;
    plist_t time = plist_dict_get_item(date, dateTimeKey);
    double seconds = 0;
    if (typeOf(time) == PLIST_REAL) {
        plist_get_real_val(time, &seconds);
    } else if (typeOf(time) == PLIST_UINT) {
        uint64_t whole = 0;
        plist_get_uint_val(time, &whole);
        seconds = static_cast<double>(static_cast<qint64>(whole));
    } else {
        d->fail(QStringLiteral("the date for key %1 has no time").arg(quoted(key)));
        return std::nullopt;
    }
    if (!std::isfinite(seconds) || std::fabs(seconds) > maxDateSeconds) {
        d->fail(QStringLiteral("the date for key %1 is out of range").arg(quoted(key)));
        return std::nullopt;
    }
    return referenceDate().addMSecs(std::llround(seconds * 1000.0));
}

std::vector<KQCodingPtr> KQKeyedUnarchiver::decodeArrayOfClasses(const QSet<QString>& classes, const QString& key)
{
    const std::vector<quint64> uids = d->arrayUids(key);
    std::vector<KQCodingPtr> result;
    result.reserve(uids.size());
    for (const quint64 uid : uids) {
        KQCodingPtr object = d->objectAt(uid, classes, key);
        if (d->failed)
            return {};
        result.push_back(std::move(object));
    }
    return result;
}

QStringList KQKeyedUnarchiver::decodeStringArray(const QString& key)
{
    const std::vector<quint64> uids = d->arrayUids(key);
    QStringList result;
    result.reserve(static_cast<qsizetype>(uids.size()));
    for (const quint64 uid : uids) {
        const auto text = d->stringAt(uid, key);
        if (!text)
            return {};
        result.append(*text);
    }
    return result;
}

std::vector<qint64> KQKeyedUnarchiver::decodeIndexSet(const QString& key)
{
    const auto uid = d->uidFor(key);
    if (!uid || *uid == 0 || !d->spend(1))
        return {};
    plist_t set = d->builtinObject(*uid, {"NSIndexSet", "NSMutableIndexSet"}, key);
    if (!set)
        return {};
    const auto count = d->integer(set, rangeCountKey, key);
    if (!count || *count == 0)
        return {};

    std::vector<std::pair<qint64, qint64>> ranges;
    plist_t packed = plist_dict_get_item(set, rangeDataKey);
    if (typeOf(packed) == PLIST_DATA) {
        const QByteArray bytes = dataValue(packed);
        qsizetype pos = 0;
        const auto next = [&]() -> std::optional<qint64> {
            // Nine groups of seven bits hold any non-negative 64-bit index; longer runs are damage.
            quint64 value = 0;
            for (int shift = 0; pos < bytes.size() && shift <= 56; shift += 7) {
                const auto byte = static_cast<uchar>(bytes[pos++]);
                value |= static_cast<quint64>(byte & 0x7F) << shift;
                if (!(byte & 0x80))
                    return static_cast<qint64>(value);
            }
            return std::nullopt;
        };
        while (pos < bytes.size()) {
            const auto location = next();
            const auto length = location ? next() : std::nullopt;
            if (!length) {
                d->fail(QStringLiteral("the index set for key %1 has damaged range data").arg(quoted(key)));
                return {};
            }
            ranges.emplace_back(*location, *length);
        }
    } else if (*count == 1) {
        const auto location = d->integer(set, locationKey, key);
        const auto length = location ? d->integer(set, lengthKey, key) : std::nullopt;
        if (!length)
            return {};
        ranges.emplace_back(*location, *length);
    }
    if (ranges.size() != static_cast<quint64>(*count)) {
        d->fail(QStringLiteral("the index set for key %1 does not hold %2 ranges")
                    .arg(quoted(key), QString::number(*count)));
        return {};
    }

    std::vector<qint64> indexes;
    for (const auto& [location, length] : ranges) {
        if (length > std::numeric_limits<qint64>::max() - location) {
            d->fail(QStringLiteral("the index set for key %1 has a range past the largest index").arg(quoted(key)));
            return {};
        }
        if (!d->spend(static_cast<quint64>(length)))
            return {};
        for (qint64 i = 0; i < length; ++i)
            indexes.push_back(location + i);
    }
    std::sort(indexes.begin(), indexes.end());
    indexes.erase(std::unique(indexes.begin(), indexes.end()), indexes.end());
    return indexes;
}
