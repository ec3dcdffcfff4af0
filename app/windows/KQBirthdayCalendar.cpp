#include "app/windows/KQBirthdayCalendar.h"

#include "model/KQContactHelper.h"

#include <QCoreApplication>
#include <unicode/calendar.h>
#include <unicode/datefmt.h>
#include <unicode/gregocal.h>
#include <unicode/locid.h>

struct KQBirthdayCalendar::Icu
{
    std::unique_ptr<icu::Calendar> calendar;
    icu::Locale locale;
};

namespace {

QString fromUnicode(const icu::UnicodeString& text)
{
    return QString(reinterpret_cast<const QChar*>(text.getBuffer()), text.length());
}

} // namespace

KQBirthdayCalendar::KQBirthdayCalendar(const QString& identifier) : m_icu(std::make_unique<Icu>())
{
    if (KQContactHelper::availableNonGregorianCalenderIdentifiers().contains(identifier))
        m_identifier = identifier;
    const std::string name = m_identifier.isEmpty() ? std::string("gregorian") : m_identifier.toStdString();
    m_icu->locale = icu::Locale(("en_US@calendar=" + name).c_str());
    UErrorCode status = U_ZERO_ERROR;
    m_icu->calendar.reset(icu::Calendar::createInstance(icu::TimeZone::getGMT()->clone(), m_icu->locale, status));
    if (U_FAILURE(status))
        m_icu->calendar.reset();
    if (m_icu->calendar)
        m_icu->calendar->setLenient(false);
}

KQBirthdayCalendar::~KQBirthdayCalendar() = default;

int KQBirthdayCalendar::maximumMonth() const
{
    if (!m_icu->calendar)
        return 12;
    return m_icu->calendar->getMaximum(UCAL_MONTH) + 1;
}

bool KQBirthdayCalendar::hasLeapMonths() const
{
    return m_identifier == CNCalendarIdentifierChinese;
}

int KQBirthdayCalendar::minimumYear() const
{
    if (isGregorian())
        return 1900;
    UErrorCode status = U_ZERO_ERROR;
    icu::GregorianCalendar start(1900, UCAL_JANUARY, 1, status);
    start.setTimeZone(*icu::TimeZone::getGMT());
    const UDate time = start.getTime(status);
    if (U_FAILURE(status))
        return 1900;
    return componentsAt(time).year.value_or(1900);
}

int KQBirthdayCalendar::currentYear() const
{
    return componentsAt(icu::Calendar::getNow()).year.value_or(1900);
}

std::optional<double> KQBirthdayCalendar::timeOf(const CNDateComponents& date) const
{
    if (!m_icu->calendar || !date.year || !date.month || !date.day)
        return std::nullopt;
    if (*date.month < 1 || *date.month > maximumMonth() || *date.day < 1 || *date.day > 31)
        return std::nullopt;
    icu::Calendar& calendar = *m_icu->calendar;
    calendar.clear();
    calendar.set(UCAL_EXTENDED_YEAR, *date.year);
    calendar.set(UCAL_MONTH, *date.month - 1);
    if (hasLeapMonths())
        calendar.set(UCAL_IS_LEAP_MONTH, date.isLeapMonth ? 1 : 0);
    calendar.set(UCAL_DATE, *date.day);
    calendar.set(UCAL_HOUR_OF_DAY, 12);
    UErrorCode status = U_ZERO_ERROR;
    const UDate time = calendar.getTime(status);
    if (U_FAILURE(status))
        return std::nullopt;
    // A strict calendar still moves some days over (a Hebrew Adar I outside a leap year): the day
    // exists only when it reads back unchanged.
    const CNDateComponents back = componentsAt(time);
    if (back.year != date.year || back.month != date.month || back.day != date.day ||
        (hasLeapMonths() && back.isLeapMonth != date.isLeapMonth))
        return std::nullopt;
    return time;
}

CNDateComponents KQBirthdayCalendar::componentsAt(double time) const
{
    CNDateComponents parts;
    if (!m_icu->calendar)
        return parts;
    icu::Calendar& calendar = *m_icu->calendar;
    UErrorCode status = U_ZERO_ERROR;
    calendar.clear();
    calendar.setTime(time, status);
    parts.year = calendar.get(UCAL_EXTENDED_YEAR, status);
    parts.month = calendar.get(UCAL_MONTH, status) + 1;
    parts.day = calendar.get(UCAL_DATE, status);
    parts.isLeapMonth = hasLeapMonths() && calendar.get(UCAL_IS_LEAP_MONTH, status) != 0;
    parts.calendarIdentifier = m_identifier;
    if (U_FAILURE(status))
        return CNDateComponents();
    return parts;
}

bool KQBirthdayCalendar::isValidDate(const CNDateComponents& date) const
{
    return timeOf(date).has_value();
}

QString KQBirthdayCalendar::shortDateString(const CNDateComponents& date) const
{
    const std::optional<double> time = timeOf(date);
    if (!time)
        return QCoreApplication::translate("KQBirthdayCalendar", "Invalid date");
    std::unique_ptr<icu::DateFormat> format(
        icu::DateFormat::createDateInstance(icu::DateFormat::kShort, m_icu->locale));
    if (!format)
        return QCoreApplication::translate("KQBirthdayCalendar", "Invalid date");
    format->setCalendar(*m_icu->calendar);
    format->setTimeZone(*icu::TimeZone::getGMT());
    icu::UnicodeString text;
    format->format(*time, text);
    return fromUnicode(text);
}

std::optional<CNDateComponents> KQBirthdayCalendar::convert(const CNDateComponents& date,
                                                            const KQBirthdayCalendar& to) const
{
    const std::optional<double> time = timeOf(date);
    if (!time)
        return std::nullopt;
    return to.componentsAt(*time);
}
