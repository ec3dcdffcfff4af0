#include "platform/CNDateComponents.h"

#include <QDate>

const QString CNCalendarIdentifierGregorian = QStringLiteral("gregorian");
const QString CNCalendarIdentifierHebrew = QStringLiteral("hebrew");
const QString CNCalendarIdentifierIslamic = QStringLiteral("islamic");
const QString CNCalendarIdentifierChinese = QStringLiteral("chinese");

bool CNDateComponents::isValidGregorianDate() const
{
    return year && month && day && QDate::isValid(*year, *month, *day);
}
