#pragma once
// A keyed archiver that writes the binary property list directly, with no property-list tree in
// between. It stores the same object graph as KQKeyedArchiver (the same "$objects", UIDs, classes
// and keys), so either archiver's output decodes to the same objects; it is several times faster,
// which matters where thousands of archives are written in a row (backups).
//
// One archiver can write many archives: reset() forgets the archive written so far but keeps the
// memory of its buffers.

#include "platform/KQBinaryPlistWriter.h"
#include "platform/KQKeyedArchiver.h"

#include <QHash>
#include <deque>

class KQBinaryKeyedArchiver final : public KQKeyedArchiver
{
public:
    KQBinaryKeyedArchiver();
    ~KQBinaryKeyedArchiver() override;

    static QByteArray archivedDataWithRootObject(const KQCoding& root);
    static QByteArray archivedDataWithRootArray(const std::vector<const KQCoding*>& objects);

    // Starts a new, empty archive.
    void reset();
    // reset(), then the archive of root.
    QByteArray archiveRootObject(const KQCoding& root);

    QByteArray encodedData() const override;

    void encodeObject(const KQCoding* object, const QString& key) override;
    void encodeRetainedObject(std::shared_ptr<const KQCoding> object, const QString& key) override;
    void encodeString(const std::optional<QString>& value, const QString& key) override;
    void encodeData(const std::optional<QByteArray>& value, const QString& key) override;
    void encodeBool(bool value, const QString& key) override;
    void encodeInt(qint64 value, const QString& key) override;
    void encodeDouble(double value, const QString& key) override;
    void encodeDate(const QDateTime& value, const QString& key) override;
    void encodeArray(const std::vector<const KQCoding*>& objects, const QString& key) override;
    void encodeRetainedArray(std::vector<std::shared_ptr<const KQCoding>> objects, const QString& key) override;
    void encodeStringArray(const QStringList& strings, const QString& key) override;
    void encodeIndexSet(const std::vector<qint64>& indexes, const QString& key) override;

private:
    using Ref = KQBinaryPlistWriter::Ref;

    // The keys and values of a dictionary being written.
    struct Frame
    {
        quint64 uid = 0;
        std::vector<Ref> keys;
        std::vector<Ref> values;
    };

    Frame& current() { return m_depth == 0 ? m_top : m_frames[m_depth - 1]; }
    void set(const QString& key, Ref value);
    void setRaw(Frame& frame, const char* key, Ref value);
    Ref keyRef(const QString& key);
    Ref rawKeyRef(const char* key);
    Ref uidRef(quint64 uid);
    quint64 reserveObject();
    quint64 stringUid(const QString& value);
    quint64 classUid(QStringList names);
    // Opens the dictionary of a new object of the given classes; closeObject() writes it.
    quint64 openObject(const QStringList& classNames);
    void closeObject();
    quint64 objectUid(const KQCoding* object);
    quint64 arrayUid(const std::vector<quint64>& elements);

    mutable KQBinaryPlistWriter m_writer;
    std::vector<Ref> m_objects; // by UID; filled when each object is complete
    Frame m_top;
    std::deque<Frame> m_frames; // open object dictionaries, reused across archives (references stay valid)
    size_t m_depth = 0;
    // Keys stay known across archives: each archive writes a key's string once, the first time it
    // uses it, without converting it again.
    struct Key
    {
        QByteArray utf8;
        quint64 archive = 0; // the archive whose key object ref is
        Ref ref = 0;
    };
    QHash<QString, Key> m_keys;
    quint64 m_archive = 0; // counts archives started by reset()
    QHash<const char*, Ref> m_rawKeys;
    std::vector<Ref> m_uidRefs;
    QHash<const KQCoding*, quint64> m_objectUids;
    QHash<QString, quint64> m_stringUids;
    QHash<QString, quint64> m_classUids;
    std::vector<std::shared_ptr<const KQCoding>> m_retained;
};
