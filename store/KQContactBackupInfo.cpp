#include "store/KQContactBackupInfo.h"

#include <mutex>

namespace {

const QString kOffsetKey = QStringLiteral("offset");
const QString kLengthKey = QStringLiteral("length");

} // namespace

QStringList KQContactBackupInfo::archiveClassNames() const
{
    return {className(), QStringLiteral("NSObject")};
}

void KQContactBackupInfo::encodeWithCoder(KQKeyedArchiver& coder) const
{
    coder.encodeInt(m_offset, kOffsetKey);
    coder.encodeInt(m_length, kLengthKey);
}

void KQContactBackupInfo::registerArchiveClass()
{
    static std::once_flag once;
    std::call_once(once, [] {
        KQRegisterArchiveClass(className(), [](KQKeyedUnarchiver& coder) -> KQCodingPtr {
            if (coder.valueKindForKey(kOffsetKey) != KQArchiveValueKind::Int ||
                coder.valueKindForKey(kLengthKey) != KQArchiveValueKind::Int) {
                coder.failWithError(QStringLiteral("an index entry has no offset or length"));
                return nullptr;
            }
            const qint64 offset = coder.decodeInt(kOffsetKey);
            const qint64 length = coder.decodeInt(kLengthKey);
            if (coder.failed())
                return nullptr;
            return std::make_shared<KQContactBackupInfo>(offset, length);
        });
    });
}
