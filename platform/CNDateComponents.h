#pragma once
// Date parts as the contact store keeps them: any part may be missing (a birthday without a year),
// and a non-Gregorian date names its calendar.

#include <QString>

#include <optional>

extern const QString CNCalendarIdentifierGregorian;
extern const QString CNCalendarIdentifierHebrew;
extern const QString CNCalendarIdentifierIslamic;
extern const QString CNCalendarIdentifierChinese;

class CNDateComponents
{
public:
    std::optional<int> year;
    std::optional<int> month;
    std::optional<int> day;
    std::optional<int> hour;
    std::optional<int> minute;
    // Empty for a date without a calendar (read as Gregorian).
    QString calendarIdentifier;
    // The month is the leap (intercalary) month of that number, as in the Chinese calendar.
    bool isLeapMonth = false;

    bool isEmpty() const { return !year && !month && !day && !hour && !minute; }
    // True when year, month and day are present and form a real Gregorian date.
    bool isValidGregorianDate() const;

    friend bool operator==(const CNDateComponents&, const CNDateComponents&) = default;
};
