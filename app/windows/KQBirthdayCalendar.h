#pragma once
// The calendars a birthday can be entered in: the Gregorian one and the non-Gregorian ones of the
// contact record (Hebrew, Islamic, Chinese), computed with ICU because Qt's calendars lack some of
// them. Years are running year counts (ICU's extended year), months count from 1 (the Hebrew leap
// year's Adar I is month 6 of 13), and a Chinese leap month carries the leap flag.

#include "platform/CNDateComponents.h"

#include <QString>
#include <memory>
#include <optional>

class KQBirthdayCalendar
{
public:
    // An empty or unknown identifier is the Gregorian calendar.
    explicit KQBirthdayCalendar(const QString& identifier);
    ~KQBirthdayCalendar();
    KQBirthdayCalendar(const KQBirthdayCalendar&) = delete;
    KQBirthdayCalendar& operator=(const KQBirthdayCalendar&) = delete;

    // The identifier the date is stored with: empty for the Gregorian calendar.
    QString identifier() const { return m_identifier; }
    bool isGregorian() const { return m_identifier.isEmpty(); }
    // The last month number of the calendar's largest year (12, or 13 for the Hebrew calendar).
    int maximumMonth() const;
    // Whether a month may be a leap month of the same number (the Chinese calendar).
    bool hasLeapMonths() const;
    // The accepted year range: from the year that holds 1 January 1900 to the current year.
    int minimumYear() const;
    int currentYear() const;

    // Year, month and day are present and name a day that exists in this calendar.
    bool isValidDate(const CNDateComponents& date) const;
    // The date in the short date style of this calendar, or "Invalid date".
    QString shortDateString(const CNDateComponents& date) const;
    // The same day in another calendar; none when date is not a valid day here.
    std::optional<CNDateComponents> convert(const CNDateComponents& date, const KQBirthdayCalendar& to) const;

private:
    // Milliseconds since the epoch of the date's noon; none when the date is not valid.
    std::optional<double> timeOf(const CNDateComponents& date) const;
    CNDateComponents componentsAt(double time) const;

    struct Icu;
    QString m_identifier;
    std::unique_ptr<Icu> m_icu;
};
