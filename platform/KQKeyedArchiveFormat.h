#pragma once
// Names and small codecs shared by the keyed archiver and unarchiver (not part of the public API).

#include "platform/KQKeyedArchiver.h"

#include <QDateTime>
#include <QString>
#include <QTimeZone>

namespace KQKeyedArchiveFormat {

inline const char* const archiverKey = "$archiver";
inline const char* const archiverName = "NSKeyedArchiver";
inline const char* const versionKey = "$version";
inline constexpr quint64 version = 100000;
inline const char* const topKey = "$top";
inline const char* const objectsKey = "$objects";
inline const char* const nullName = "$null";
inline const char* const classKey = "$class";
inline const char* const classNameKey = "$classname";
inline const char* const classesKey = "$classes";
inline const char* const rootKey = "root";

inline const char* const arrayObjectsKey = "NS.objects";
inline const char* const dateTimeKey = "NS.time";
inline const char* const stringKey = "NS.string";
inline const char* const dataKey = "NS.data";
inline const char* const rangeCountKey = "NSRangeCount";
inline const char* const locationKey = "NSLocation";
inline const char* const lengthKey = "NSLength";
inline const char* const rangeDataKey = "NSRangeData";

// A caller's key that starts with "$" gets one more "$", so it can never be read as "$class".
inline QByteArray escapedKey(const QString& key)
{
    QByteArray utf8 = key.toUtf8();
    if (utf8.startsWith('$'))
        utf8.prepend('$');
    return utf8;
}

// The reference date of archived dates: 2001-01-01 00:00:00 UTC.
inline QDateTime referenceDate()
{
    return QDateTime(QDate(2001, 1, 1), QTime(0, 0), QTimeZone::utc());
}

// A copy of the factory registered for a class name (empty when none), to be run outside the lock.
KQDecodeFactory registeredFactory(const QString& className);

} // namespace KQKeyedArchiveFormat
