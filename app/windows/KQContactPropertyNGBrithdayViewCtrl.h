#pragma once
// The birthday panel of a non-Gregorian calendar (Hebrew, Islamic, Chinese): a calendar menu, and
// a leap-month switch for calendars that repeat a month.

#include "app/windows/KQContactPropertyBirthdayViewCtrl.h"

class KQContactPropertyNGBrithdayViewCtrl : public KQContactPropertyBirthdayViewCtrl
{
    Q_OBJECT
public:
    explicit KQContactPropertyNGBrithdayViewCtrl(QWidget* parent);
    QString localizedCategoryName() const override;
    QString birthdayLabel() const override;

    // Shows the same day in the chosen calendar (today, when the shown date is no real day).
    void selectCalendar(const QString& identifier);
    bool setLeapMonth(bool leap);

protected:
    std::optional<CNDateComponents> storedDate() const override;
    void storeDate(const std::optional<CNDateComponents>& date) override;
    void addCalendarControls(QHBoxLayout* line) override;
};
