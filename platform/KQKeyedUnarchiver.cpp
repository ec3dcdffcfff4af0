#include "platform/KQBinaryPlistReader.h"
#include "platform/KQKeyedArchiveFormat.h"
#include "platform/KQKeyedArchiver.h"

#include <QHash>
#include <algorithm>
#include <cmath>
#include <limits>

using namespace KQKeyedArchiveFormat;

namespace {

using Kind = KQBinaryPlistReader::Kind;
using Ref = KQBinaryPlistReader::Ref;
constexpr Ref none = KQBinaryPlistReader::none;

// Archived objects nested deeper than this are refused (real archives nest a handful deep).
constexpr size_t maxObjectDepth = 64;
// Dates further than this from the reference date (about 3000 years) are refused as damage.
constexpr double maxDateSeconds = 1e11;

QString quoted(const QString& key)
{
    return QLatin1Char('"') + key + QLatin1Char('"');
}

QLatin1StringView latin1(const char* text)
{
    return QLatin1StringView(text);
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
    // What is known of one entry of "$objects".
    struct Slot
    {
        KQCodingPtr object; // once decoded
        QString text;       // once read as a string
        State state = State::Unvisited;
        bool hasText = false;
    };

    KQKeyedUnarchiver* self;
    QByteArray archive; // what plist reads in place
    KQBinaryPlistReader plist;
    Ref top = none;
    Ref objectList = none; // the "$objects" array
    quint64 objectCount = 0;
    std::vector<Slot> entries;
    std::vector<Ref> stack;        // dictionaries of the objects being decoded; empty: "$top"
    std::vector<quint64> nextKeys; // per dictionary of stack, then one for "$top": where to look first
    std::vector<quint64> uidStack; // their numbers in "$objects"
    QSet<QString> allowed;
    QHash<quint64, QByteArray> datas;
    std::vector<std::pair<Ref, QString>> classNames; // by the class dictionary's object; a handful
    quint64 budget = 0; // units of work and memory left; each one is at most a few dozen bytes
    bool failed = false;
    CNError error;

    explicit Private(KQKeyedUnarchiver* unarchiver) : self(unarchiver) {}

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

    Kind typeOf(Ref node) const { return plist.kind(node); }
    bool isString(Ref node) const { return plist.isString(node); }

    // The number-th entry of "$objects" (number below objectCount).
    Ref object(quint64 number) const { return plist.element(objectList, number); }

    void open(const QByteArray& data)
    {
        archive = data;
        CNError why;
        if (!plist.open(archive, &why))
            return fail(QStringLiteral("not a valid binary property list: %1").arg(why.localizedDescription));
        const Ref root = plist.top();
        if (typeOf(root) != Kind::Dict)
            return fail(QStringLiteral("not a keyed archive: the top object is not a dictionary"));
        const Ref archiver = plist.value(root, latin1(archiverKey));
        if (!plist.stringEquals(archiver, latin1(archiverName)))
            return fail(QStringLiteral("not a keyed archive: \"$archiver\" is missing or unknown"));
        if (typeOf(plist.value(root, latin1(versionKey))) != Kind::Int)
            return fail(QStringLiteral("not a keyed archive: \"$version\" is missing"));
        top = plist.value(root, latin1(topKey));
        if (typeOf(top) != Kind::Dict)
            return fail(QStringLiteral("not a keyed archive: \"$top\" is not a dictionary"));
        objectList = plist.value(root, latin1(objectsKey));
        if (typeOf(objectList) != Kind::Array)
            return fail(QStringLiteral("not a keyed archive: \"$objects\" is not an array"));
        objectCount = plist.count(objectList);
        if (objectCount == 0 || !plist.stringEquals(object(0), latin1(nullName)))
            return fail(QStringLiteral("not a keyed archive: \"$objects\" does not start with \"$null\""));
        entries.resize(objectCount);
        nextKeys.assign(1, 0);
        budget = 8 * static_cast<quint64>(data.size()) + 65536;
    }

    Ref current() const { return stack.empty() ? top : stack.back(); }

    Ref valueFor(const QString& key)
    {
        if (nextKeys.empty())
            return none; // not a keyed archive
        // A caller's key that starts with "$" is stored with one more "$".
        return plist.value(current(), QStringView(key), key.startsWith(QLatin1Char('$')), &nextKeys.back());
    }

    // The UID a key holds: none when the key is missing; fails when it holds something else or
    // a UID past the end of "$objects".
    std::optional<quint64> uidFor(const QString& key)
    {
        if (failed)
            return std::nullopt;
        const Ref value = valueFor(key);
        if (value == none)
            return std::nullopt;
        if (typeOf(value) != Kind::Uid) {
            fail(QStringLiteral("the value for key %1 is not an object reference").arg(quoted(key)));
            return std::nullopt;
        }
        const quint64 uid = plist.uidValue(value);
        if (uid >= objectCount) {
            fail(QStringLiteral("key %1 refers to object %2, but the archive has %3")
                     .arg(quoted(key), QString::number(uid), QString::number(objectCount)));
            return std::nullopt;
        }
        return uid;
    }

    // The class dictionary of an object dictionary, none when it has no valid one.
    Ref classOf(Ref dict) const
    {
        const Ref ref = plist.value(dict, latin1(classKey));
        if (typeOf(ref) != Kind::Uid)
            return none;
        const quint64 uid = plist.uidValue(ref);
        if (uid == 0 || uid >= objectCount)
            return none;
        const Ref classDict = object(uid);
        return typeOf(classDict) == Kind::Dict ? classDict : none;
    }

    // The class name of an object dictionary without failing (empty when there is none).
    QString peekClassName(Ref dict)
    {
        const Ref classDict = classOf(dict);
        if (classDict == none)
            return {};
        // Every object of a class shares its class dictionary: its name is read once.
        for (const auto& [known, name] : classNames) {
            if (known == classDict)
                return name;
        }
        const Ref name = plist.value(classDict, latin1(classNameKey));
        QString text = isString(name) ? plist.stringValue(name) : QString();
        classNames.emplace_back(classDict, text);
        return text;
    }

    bool hasClass(Ref dict, std::initializer_list<const char*> classes) const
    {
        const Ref classDict = classOf(dict);
        if (classDict == none)
            return false;
        const Ref name = plist.value(classDict, latin1(classNameKey));
        for (const char* wanted : classes) {
            if (plist.stringEquals(name, latin1(wanted)))
                return true;
        }
        return false;
    }

    std::optional<QString> className(Ref dict, const QString& key)
    {
        QString name = peekClassName(dict);
        if (name.isEmpty()) {
            fail(QStringLiteral("the object for key %1 has no valid class").arg(quoted(key)));
            return std::nullopt;
        }
        return name;
    }

    // An object dictionary of one of the given built-in classes; fails for anything else.
    Ref builtinObject(quint64 uid, std::initializer_list<const char*> classes, const QString& key)
    {
        const Ref node = object(uid);
        if (typeOf(node) == Kind::Dict) {
            if (hasClass(node, classes))
                return node;
            if (!className(node, key))
                return none;
        }
        fail(QStringLiteral("the value for key %1 is not of class %2")
                 .arg(quoted(key), QLatin1String(*classes.begin())));
        return none;
    }

    std::optional<QString> stringAt(quint64 uid, const QString& key)
    {
        if (failed)
            return std::nullopt;
        if (entries[uid].hasText)
            return entries[uid].text;
        Ref text = object(uid);
        if (typeOf(text) == Kind::Dict) {
            // A mutable string is archived as an object holding the text.
            const Ref holder = builtinObject(uid, {"NSString", "NSMutableString"}, key);
            if (holder == none)
                return std::nullopt;
            text = plist.value(holder, latin1(stringKey));
        }
        if (!isString(text)) {
            fail(QStringLiteral("the value for key %1 is not a string").arg(quoted(key)));
            return std::nullopt;
        }
        entries[uid].text = plist.stringValue(text);
        entries[uid].hasText = true;
        return entries[uid].text;
    }

    std::optional<QByteArray> dataAt(quint64 uid, const QString& key)
    {
        if (const auto it = datas.constFind(uid); it != datas.constEnd())
            return *it;
        Ref bytes = object(uid);
        if (typeOf(bytes) == Kind::Dict) {
            const Ref holder = builtinObject(uid, {"NSData", "NSMutableData"}, key);
            if (holder == none)
                return std::nullopt;
            bytes = plist.value(holder, latin1(dataKey));
        }
        if (typeOf(bytes) != Kind::Data) {
            fail(QStringLiteral("the value for key %1 is not data").arg(quoted(key)));
            return std::nullopt;
        }
        QByteArray value = plist.dataValue(bytes);
        datas.insert(uid, value);
        return value;
    }

    KQCodingPtr objectAt(quint64 uid, const QSet<QString>& classes, const QString& key)
    {
        if (failed || uid == 0)
            return nullptr;
        Slot& slot = entries[uid]; // entries never moves while decoding
        if (slot.state == State::Decoding) {
            fail(QStringLiteral("reference cycle: the object for key %1 contains itself").arg(quoted(key)));
            return nullptr;
        }
        if (slot.state == State::Done) {
            const QString name = peekClassName(object(uid));
            if (!classes.contains(name)) {
                fail(QStringLiteral("class \"%1\" is not allowed for key %2").arg(name, quoted(key)));
                return nullptr;
            }
            return slot.object;
        }
        const Ref node = object(uid);
        if (typeOf(node) != Kind::Dict) {
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
        slot.state = State::Decoding;
        stack.push_back(node);
        uidStack.push_back(uid);
        nextKeys.push_back(0);
        KQCodingPtr result;
        try {
            result = factory(*self);
        } catch (const std::exception& e) {
            fail(QStringLiteral("decoding class \"%1\" failed: %2").arg(*name, QString::fromLocal8Bit(e.what())));
        } catch (...) {
            fail(QStringLiteral("decoding class \"%1\" failed").arg(*name));
        }
        stack.pop_back();
        uidStack.pop_back();
        nextKeys.pop_back();
        slot.state = State::Done;
        if (failed)
            return nullptr;
        if (!result) {
            fail(QStringLiteral("the object of class \"%1\" for key %2 is unusable").arg(*name, quoted(key)));
            return nullptr;
        }
        slot.object = result;
        return result;
    }

    // The element UIDs of the NSArray a key refers to (empty for none).
    std::vector<quint64> arrayUids(const QString& key)
    {
        const auto uid = uidFor(key);
        if (!uid || *uid == 0)
            return {};
        const Ref array = builtinObject(*uid, {"NSArray", "NSMutableArray"}, key);
        if (array == none)
            return {};
        const Ref list = plist.value(array, latin1(arrayObjectsKey));
        if (typeOf(list) != Kind::Array) {
            fail(QStringLiteral("the array for key %1 has no element list").arg(quoted(key)));
            return {};
        }
        const quint64 count = plist.count(list);
        if (!spend(count))
            return {};
        std::vector<quint64> uids;
        uids.reserve(count);
        for (quint64 i = 0; i < count; ++i) {
            const Ref item = plist.element(list, i);
            const quint64 element = typeOf(item) == Kind::Uid ? plist.uidValue(item) : 0;
            if (element == 0 || element >= objectCount) {
                fail(QStringLiteral("the array for key %1 holds an invalid element").arg(quoted(key)));
                return {};
            }
            uids.push_back(element);
        }
        return uids;
    }

    std::optional<qint64> integer(Ref dict, const char* name, const QString& key)
    {
        const Ref value = plist.value(dict, latin1(name));
        if (typeOf(value) != Kind::Int) {
            fail(QStringLiteral("the index set for key %1 lacks \"%2\"").arg(quoted(key), QLatin1String(name)));
            return std::nullopt;
        }
        const quint64 number = plist.intValue(value);
        if (number > static_cast<quint64>(std::numeric_limits<qint64>::max())) {
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
    std::vector<Ref> saved;
    std::vector<quint64> savedUids;
    std::vector<quint64> savedNextKeys{0};
    saved.swap(d->stack);
    savedUids.swap(d->uidStack);
    savedNextKeys.swap(d->nextKeys);
    const QString key = QString::fromLatin1(rootKey);
    const auto uid = d->uidFor(key);
    KQCodingPtr object = uid ? d->objectAt(*uid, d->allowed, key) : nullptr;
    d->stack.swap(saved);
    d->uidStack.swap(savedUids);
    d->nextKeys.swap(savedNextKeys);
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
    return !d->failed && d->valueFor(key) != none;
}

KQArchiveValueKind KQKeyedUnarchiver::valueKindForKey(const QString& key) const
{
    if (d->failed)
        return KQArchiveValueKind::None;
    const Ref value = d->valueFor(key);
    switch (d->typeOf(value)) {
    case Kind::Bool:
        return KQArchiveValueKind::Bool;
    case Kind::Int:
        return KQArchiveValueKind::Int;
    case Kind::Real:
        return KQArchiveValueKind::Real;
    case Kind::Uid:
        break;
    case Kind::None:
        return KQArchiveValueKind::None;
    default:
        return KQArchiveValueKind::Object; // decoding it will say what is wrong
    }
    const quint64 uid = d->plist.uidValue(value);
    if (uid == 0)
        return KQArchiveValueKind::None;
    if (uid >= d->objectCount)
        return KQArchiveValueKind::Object;
    const Ref node = d->object(uid);
    switch (d->typeOf(node)) {
    case Kind::AsciiString:
    case Kind::Utf16String:
        return KQArchiveValueKind::String;
    case Kind::Data:
        return KQArchiveValueKind::Data;
    case Kind::Dict: {
        if (d->hasClass(node, {"NSString", "NSMutableString"}))
            return KQArchiveValueKind::String;
        if (d->hasClass(node, {"NSData", "NSMutableData"}))
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

Scalar scalarKind(const KQBinaryPlistReader& plist, Ref value)
{
    switch (plist.kind(value)) {
    case Kind::None:
        return Scalar::Missing;
    case Kind::Bool:
    case Kind::Int:
    case Kind::Real:
        return Scalar::Number;
    case Kind::Uid:
        return plist.uidValue(value) == 0 ? Scalar::Missing : Scalar::Wrong;
    default:
        return Scalar::Wrong;
    }
}

// 2^63 is exactly representable; anything at or past it does not fit.
bool fitsInt64(double number)
{
    return std::isfinite(number) && number > -9223372036854775808.0 && number < 9223372036854775808.0;
}

} // namespace

bool KQKeyedUnarchiver::decodeBool(const QString& key)
{
    if (d->failed)
        return false;
    const Ref value = d->valueFor(key);
    const Scalar kind = scalarKind(d->plist, value);
    if (kind == Scalar::Missing)
        return false;
    if (kind == Scalar::Wrong || d->typeOf(value) == Kind::Real) {
        d->fail(QStringLiteral("the value for key %1 is not a boolean").arg(quoted(key)));
        return false;
    }
    return d->typeOf(value) == Kind::Bool ? d->plist.boolValue(value) : d->plist.intValue(value) != 0;
}

qint64 KQKeyedUnarchiver::decodeInt(const QString& key)
{
    if (d->failed)
        return 0;
    const Ref value = d->valueFor(key);
    const Scalar kind = scalarKind(d->plist, value);
    if (kind == Scalar::Missing)
        return 0;
    switch (d->typeOf(value)) {
    case Kind::Bool:
        return d->plist.boolValue(value) ? 1 : 0;
    case Kind::Int:
        return static_cast<qint64>(d->plist.intValue(value));
    case Kind::Real: {
        const double number = d->plist.realValue(value);
        if (fitsInt64(number))
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
    const Ref value = d->valueFor(key);
    const Scalar kind = scalarKind(d->plist, value);
    if (kind == Scalar::Missing)
        return 0;
    if (d->typeOf(value) == Kind::Real)
        return d->plist.realValue(value);
    if (d->typeOf(value) == Kind::Int)
        return static_cast<double>(static_cast<qint64>(d->plist.intValue(value)));
    d->fail(QStringLiteral("the value for key %1 is not a number").arg(quoted(key)));
    return 0;
}

std::optional<QDateTime> KQKeyedUnarchiver::decodeDate(const QString& key)
{
    const auto uid = d->uidFor(key);
    if (!uid || *uid == 0 || !d->spend(1))
        return std::nullopt;
    const Ref date = d->builtinObject(*uid, {"NSDate"}, key);
    if (date == none)
        return std::nullopt;
    const Ref time = d->plist.value(date, latin1(dateTimeKey));
    double seconds = 0;
    if (d->typeOf(time) == Kind::Real) {
        seconds = d->plist.realValue(time);
    } else if (d->typeOf(time) == Kind::Int) {
        seconds = static_cast<double>(static_cast<qint64>(d->plist.intValue(time)));
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
        // Each element counts against the budget, also when it names an object decoded before.
        if (!d->spend(1))
            return {};
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
    const Ref set = d->builtinObject(*uid, {"NSIndexSet", "NSMutableIndexSet"}, key);
    if (set == none)
        return {};
    const auto count = d->integer(set, rangeCountKey, key);
    if (!count || *count == 0)
        return {};

    std::vector<std::pair<qint64, qint64>> ranges;
    const Ref packed = d->plist.value(set, latin1(rangeDataKey));
    if (d->typeOf(packed) == Kind::Data) {
        const QByteArray bytes = d->plist.dataValue(packed);
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
