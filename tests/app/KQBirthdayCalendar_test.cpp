// Birthdays in the calendars the editor offers: which days exist (leap months included), the
// short date text, and moving a day from one calendar to another.

#include "app/windows/KQBirthdayCalendar.h"

#include <QDate>
#include <gtest/gtest.h>

namespace {

struct CalendarDay
{
    const char* name;
    QString calendar;
    CNDateComponents date;
    bool exists;
};

void PrintTo(const CalendarDay& d, std::ostream* out)
{
    *out << d.name;
}

CNDateComponents day(int year, int month, int dayOfMonth, bool leap = false)
{
    CNDateComponents d{year, month, dayOfMonth, {}, {}, {}};
    d.isLeapMonth = leap;
    return d;
}

class CalendarDays : public ::testing::TestWithParam<CalendarDay>
{
};

} // namespace

TEST_P(CalendarDays, ExistOnlyWhereTheCalendarHasThem)
{
    const KQBirthdayCalendar calendar(GetParam().calendar);
    EXPECT_EQ(calendar.isValidDate(GetParam().date), GetParam().exists);
    EXPECT_EQ(calendar.shortDateString(GetParam().date) == QLatin1String("Invalid date"), !GetParam().exists);
}

INSTANTIATE_TEST_SUITE_P(
    Days, CalendarDays,
    ::testing::Values(CalendarDay{"GregorianLeapDay", QString(), day(2000, 2, 29), true},
                      CalendarDay{"GregorianLeapDayInACommonYear", QString(), day(1900, 2, 29), false},
                      CalendarDay{"GregorianThirtyFirstOfApril", QString(), day(1990, 4, 31), false},
                      CalendarDay{"GregorianMonthThirteen", QString(), day(1990, 13, 1), false},
                      CalendarDay{"MissingDay", QString(), CNDateComponents{1990, 4, {}, {}, {}, {}}, false},
                      // 5784 is a Hebrew leap year (Adar I, month 6 of 13, exists); 5783 is not.
                      CalendarDay{"HebrewAdarIInALeapYear", CNCalendarIdentifierHebrew, day(5784, 6, 10), true},
                      CalendarDay{"HebrewAdarIInACommonYear", CNCalendarIdentifierHebrew, day(5783, 6, 10), false},
                      CalendarDay{"HebrewThirteenthMonth", CNCalendarIdentifierHebrew, day(5784, 13, 1), true},
                      // The Chinese year 4660 (2023) repeats its second month; 4661 (2024) has no leap month.
                      CalendarDay{"ChineseLeapSecondMonth", CNCalendarIdentifierChinese, day(4660, 2, 10, true), true},
                      CalendarDay{"ChineseLeapMonthInAYearWithout", CNCalendarIdentifierChinese, day(4661, 2, 10, true),
                                  false},
                      CalendarDay{"ChinesePlainSecondMonth", CNCalendarIdentifierChinese, day(4661, 2, 10), true},
                      CalendarDay{"IslamicThirtyFirstDay", CNCalendarIdentifierIslamic, day(1445, 2, 31), false},
                      CalendarDay{"UnknownCalendarIsGregorian", QStringLiteral("mayan"), day(2000, 2, 29), true}),
    [](const ::testing::TestParamInfo<CalendarDay>& row) { return std::string(row.param.name); });

TEST(BirthdayCalendar, MonthRangeAndLeapMonthsFollowTheCalendar)
{
    EXPECT_EQ(KQBirthdayCalendar(QString()).maximumMonth(), 12);
    EXPECT_EQ(KQBirthdayCalendar(CNCalendarIdentifierHebrew).maximumMonth(), 13);
    EXPECT_EQ(KQBirthdayCalendar(CNCalendarIdentifierChinese).maximumMonth(), 12);
    EXPECT_TRUE(KQBirthdayCalendar(CNCalendarIdentifierChinese).hasLeapMonths());
    EXPECT_FALSE(KQBirthdayCalendar(CNCalendarIdentifierHebrew).hasLeapMonths());
    EXPECT_TRUE(KQBirthdayCalendar(QStringLiteral("mayan")).isGregorian());
}

TEST(BirthdayCalendar, YearBoundsAreThoseOf1900AndTodayInEachCalendar)
{
    EXPECT_EQ(KQBirthdayCalendar(QString()).minimumYear(), 1900);
    EXPECT_EQ(KQBirthdayCalendar(QString()).currentYear(), QDate::currentDate().year());
    // 1 January 1900 fell in the Hebrew year 5660 and the Chinese year 4536.
    EXPECT_EQ(KQBirthdayCalendar(CNCalendarIdentifierHebrew).minimumYear(), 5660);
    EXPECT_EQ(KQBirthdayCalendar(CNCalendarIdentifierChinese).minimumYear(), 4536);
    EXPECT_GT(KQBirthdayCalendar(CNCalendarIdentifierHebrew).currentYear(), 5785);
}

TEST(BirthdayCalendar, ADayKeepsItsDateThroughAnotherCalendar)
{
    const KQBirthdayCalendar gregorian{QString()};
    const KQBirthdayCalendar chinese(CNCalendarIdentifierChinese);
    const KQBirthdayCalendar hebrew(CNCalendarIdentifierHebrew);
    // 1 April 2023 lay in the leap second month of the Chinese year.
    const auto inChinese = gregorian.convert(day(2023, 4, 1), chinese);
    ASSERT_TRUE(inChinese);
    EXPECT_EQ(inChinese->year, 4660);
    EXPECT_EQ(inChinese->month, 2);
    EXPECT_TRUE(inChinese->isLeapMonth);
    EXPECT_EQ(inChinese->calendarIdentifier, CNCalendarIdentifierChinese);
    const auto back = chinese.convert(*inChinese, gregorian);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->year, 2023);
    EXPECT_EQ(back->month, 4);
    EXPECT_EQ(back->day, 1);
    const auto inHebrew = gregorian.convert(day(2024, 3, 1), hebrew); // 21 Adar I 5784
    ASSERT_TRUE(inHebrew);
    EXPECT_EQ(inHebrew->year, 5784);
    EXPECT_EQ(inHebrew->month, 6);
    EXPECT_EQ(inHebrew->day, 21);
    EXPECT_FALSE(gregorian.convert(day(2023, 2, 30), hebrew));
}

TEST(BirthdayCalendar, ShortDatesNameTheCalendarsOwnYear)
{
    EXPECT_EQ(KQBirthdayCalendar(QString()).shortDateString(day(1980, 2, 29)), QStringLiteral("2/29/80"));
    EXPECT_TRUE(KQBirthdayCalendar(CNCalendarIdentifierHebrew)
                    .shortDateString(day(5784, 6, 21))
                    .contains(QStringLiteral("5784")));
}
