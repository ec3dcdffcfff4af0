#pragma once
// Keyed archives in the NSKeyedArchiver layout, written as binary property lists:
// a top dictionary with "$archiver" = "NSKeyedArchiver", "$version" = 100000, "$top" = {"root": UID}
// and "$objects" = ["$null", ...], where every object is a dictionary with a "$class" UID that
// points at {"$classname": name, "$classes": [name, superclass names...]}. Strings and data are
// stored in "$objects" as plain property-list strings and data, referenced by UID.
//
// Decoding is secure: an object is only made when its class name is in the set the caller allows
// (at the top level: the set given to the unarchiver; for nested objects: the set given to
// decodeObjectOfClasses). Malformed input of any kind - truncated, garbage, wrong types, UIDs out
// of range, reference cycles, absurd counts - makes the unarchiver fail with an error text; it
// never crashes and never allocates more than a small multiple of the input size.
//
// Keys that start with "$" are stored with one more "$" in front, so that they never clash with the
// archive's own keys. Strings cannot hold U+0000 (the property-list codec ends them there).

#include "platform/CNError.h"

#include <QByteArray>
#include <QDateTime>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class KQKeyedArchiver;
class KQKeyedUnarchiver;

// Something that can be written into a keyed archive.
class KQCoding
{
public:
    virtual ~KQCoding() = default;
    // The class name stored in the archive, and its superclasses after it (ending with "NSObject").
    virtual QStringList archiveClassNames() const = 0;
    virtual void encodeWithCoder(KQKeyedArchiver& coder) const = 0;
};

using KQCodingPtr = std::shared_ptr<KQCoding>;

// Makes an object of one archived class from the unarchiver positioned on that object; returns
// nullptr (optionally after unarchiver.failWithError) when the object's content is unusable.
using KQDecodeFactory = std::function<KQCodingPtr(KQKeyedUnarchiver& coder)>;

// Registers how to decode a class name. Registering the same name again replaces the factory.
// Thread-safe.
void KQRegisterArchiveClass(const QString& className, KQDecodeFactory factory);

// What a key of the object being read holds. None: the key is missing or holds "$null".
enum class KQArchiveValueKind
{
    None,
    Bool,
    Int,
    Real,
    String,
    Data,
    Object
};

class KQKeyedArchiver
{
public:
    KQKeyedArchiver();
    ~KQKeyedArchiver();
    KQKeyedArchiver(const KQKeyedArchiver&) = delete;
    KQKeyedArchiver& operator=(const KQKeyedArchiver&) = delete;

    // The whole archive of root as binary property-list data.
    static QByteArray archivedDataWithRootObject(const KQCoding& root);
    // The archive written so far as binary property-list data. Encoders called outside any object
    // write into "$top", so a root that is a plain array is written with encodeArray(list, "root").
    QByteArray encodedData() const;
    // The whole archive of an NSArray root holding objects (nullptrs left out); read it back with
    // decodeArrayOfClasses under the key "root" outside any object.
    static QByteArray archivedDataWithRootArray(const std::vector<const KQCoding*>& objects);

    // Encoders for the object being written. An object that is encoded twice within one archive
    // is stored once and referenced twice; objects are told apart by address, so every object
    // passed here must stay alive until the archive is finished.
    void encodeObject(const KQCoding* object, const QString& key); // nullptr stores "$null"
    // For objects made only to be written (wrappers of plain values): the archiver keeps them
    // alive until the archive is finished, so that no later object can reuse their address.
    void encodeRetainedObject(std::shared_ptr<const KQCoding> object, const QString& key);
    void encodeString(const std::optional<QString>& value, const QString& key); // none stores "$null"
    void encodeData(const std::optional<QByteArray>& value, const QString& key);
    void encodeBool(bool value, const QString& key);
    void encodeInt(qint64 value, const QString& key);
    void encodeDouble(double value, const QString& key);
    void encodeDate(const QDateTime& value, const QString& key); // NSDate: seconds since 2001-01-01 UTC
    void encodeArray(const std::vector<const KQCoding*>& objects, const QString& key); // NSArray; nullptrs left out
    void encodeRetainedArray(std::vector<std::shared_ptr<const KQCoding>> objects, const QString& key);
    void encodeStringArray(const QStringList& strings, const QString& key); // NSArray of strings
    // NSIndexSet of the non-negative indexes (order and repeats are not kept).
    void encodeIndexSet(const std::vector<qint64>& indexes, const QString& key);

private:
    struct Private;
    std::unique_ptr<Private> d;
};

class KQKeyedUnarchiver
{
public:
    // Parses data; on any malformation the unarchiver is failed: error() says why (CorruptData) and
    // where (the number of the object in "$objects" being decoded, -1 before any).
    KQKeyedUnarchiver(const QByteArray& data, const QSet<QString>& allowedClasses);
    ~KQKeyedUnarchiver();
    KQKeyedUnarchiver(const KQKeyedUnarchiver&) = delete;
    KQKeyedUnarchiver& operator=(const KQKeyedUnarchiver&) = delete;

    // Decodes the root object of an archive in one step; nullptr with *error set on failure.
    static KQCodingPtr unarchivedObjectOfClasses(const QSet<QString>& allowedClasses, const QByteArray& data,
                                                 CNError* error = nullptr);

    // The root object ("root" of "$top"); nullptr on failure.
    KQCodingPtr decodeRootObject();

    // failed() is error().isError(). The first failure sticks.
    bool failed() const;
    const CNError& error() const;
    // For decoders of archived classes: fails with text at the object being decoded.
    void failWithError(const QString& error);

    // Decoders for the object being read (outside any object: the "$top" dictionary). A missing
    // key or a "$null" yields none / an empty value / false / 0. A value of another type, an
    // object of a class that is not allowed or any malformation fails the unarchiver; after a
    // failure every decoder yields none / empty. Ints and doubles convert into each other, bools
    // read from ints.
    bool containsValueForKey(const QString& key) const;
    KQArchiveValueKind valueKindForKey(const QString& key) const;
    KQCodingPtr decodeObjectOfClasses(const QSet<QString>& classes, const QString& key);
    template <typename T> std::shared_ptr<T> decodeObjectOfClass(const QSet<QString>& classes, const QString& key)
    {
        return std::dynamic_pointer_cast<T>(decodeObjectOfClasses(classes, key));
    }
    std::optional<QString> decodeString(const QString& key);
    std::optional<QByteArray> decodeData(const QString& key);
    bool decodeBool(const QString& key);
    qint64 decodeInt(const QString& key);
    double decodeDouble(const QString& key);
    std::optional<QDateTime> decodeDate(const QString& key);
    // An NSArray whose elements are all objects of the given classes ("$null" elements fail).
    std::vector<KQCodingPtr> decodeArrayOfClasses(const QSet<QString>& classes, const QString& key);
    QStringList decodeStringArray(const QString& key);
    // Ascending, at most as many indexes as a small multiple of the archive's size.
    std::vector<qint64> decodeIndexSet(const QString& key);

private:
    struct Private;
    std::unique_ptr<Private> d;
};
