#pragma once
// One entry of a backup file's contact index: where a contact's archive lies in the file.

#include "platform/KQKeyedArchiver.h"

#include <memory>

class KQContactBackupInfo : public KQCoding
{
public:
    KQContactBackupInfo(qint64 offset, qint64 length) : m_offset(offset), m_length(length) {}

    qint64 offset() const { return m_offset; }
    qint64 length() const { return m_length; }

    QStringList archiveClassNames() const override;
    void encodeWithCoder(KQKeyedArchiver& coder) const override;
    static QString className() { return QStringLiteral("KQContactBackupInfo"); }
    static void registerArchiveClass();

private:
    qint64 m_offset;
    qint64 m_length;
};

using KQContactBackupInfoPtr = std::shared_ptr<KQContactBackupInfo>;
