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
void KQRegisterArchiveClass(const QString& className, KQDecodeFactory factory);

class KQKeyedArchiver
{
public:
    KQKeyedArchiver();
    ~KQKeyedArchiver();
    KQKeyedArchiver(const KQKeyedArchiver&) = delete;
    KQKeyedArchiver& operator=(const KQKeyedArchiver&) = delete;

    // The whole archive of root as binary property-list data.
    static QByteArray archivedDataWithRootObject(const KQCoding& root);

    // Encoders for the object being written. An object that is encoded twice within one archive
    // is stored once and referenced twice.
    void encodeObject(const KQCoding* object, const QString& key); // nullptr stores "$null"
    void encodeString(const std::optional<QString>& value, const QString& key); // none stores "$null"
    void encodeData(const std::optional<QByteArray>& value, const QString& key);
    void encodeBool(bool value, const QString& key);
    void encodeInt(qint64 value, const QString& key);
    void encodeDouble(double value, const QString& key);
    void encodeDate(const QDateTime& value, const QString& key); // NSDate: seconds since 2001-01-01 UTC
    void encodeArray(const std::vector<const KQCoding*>& objects, const QString& key); // NSArray
    void encodeStringArray(const QStringList& strings, const QString& key);            // NSArray of strings
    // NSIndexSet of non-negative indexes.
    void encodeIndexSet(const std::vector<qint64>& indexes, const QString& key);

private:
    struct Private;
    std::unique_ptr<Private> d;
};

class KQKeyedUnarchiver
{
public:
    // Parses data; on any malformation the unarchiver is failed (error() says why).
    KQKeyedUnarchiver(const QByteArray& data, const QSet<QString>& allowedClasses);
    ~KQKeyedUnarchiver();
    KQKeyedUnarchiver(const KQKeyedUnarchiver&) = delete;
    KQKeyedUnarchiver& operator=(const KQKeyedUnarchiver&) = delete;

    // Decodes the root object of an archive in one step; nullptr with *error set on failure.
    static KQCodingPtr unarchivedObjectOfClasses(const QSet<QString>& allowedClasses, const QByteArray& data,
                                                 QString* error = nullptr);

    // The root object ("root" of "$top"); nullptr on failure.
    KQCodingPtr decodeRootObject();

    bool failed() const;
    QString error() const;
    void failWithError(const QString& error);

    // Decoders for the object being read. A missing key, a "$null" or a value of another type
    // yields none / an empty value / false / 0. A type mismatch on an object fails the unarchiver.
    bool containsValueForKey(const QString& key) const;
    KQCodingPtr decodeObjectOfClasses(const QSet<QString>& classes, const QString& key);
    template <typename T>
    std::shared_ptr<T> decodeObjectOfClass(const QSet<QString>& classes, const QString& key)
    {
        return std::dynamic_pointer_cast<T>(decodeObjectOfClasses(classes, key));
    }
    std::optional<QString> decodeString(const QString& key);
    std::optional<QByteArray> decodeData(const QString& key);
    bool decodeBool(const QString& key);
    qint64 decodeInt(const QString& key);
    double decodeDouble(const QString& key);
    std::optional<QDateTime> decodeDate(const QString& key);
    std::vector<KQCodingPtr> decodeArrayOfClasses(const QSet<QString>& classes, const QString& key);
    QStringList decodeStringArray(const QString& key);
    std::vector<qint64> decodeIndexSet(const QString& key);

private:
    struct Private;
    std::unique_ptr<Private> d;
};
