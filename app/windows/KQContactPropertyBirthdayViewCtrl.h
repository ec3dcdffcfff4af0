#pragma once
// The birthday panel: day, month and year fields in a calendar, with the date shown in that
// calendar's short style. A rejected entry (no number, or out of range) gets the previous value
// back; the contact's birthday is written only while the three parts form a real day.

#include "app/windows/KQContactPropertyViewCtrl.h"
#include "platform/CNDateComponents.h"

class QLabel;
class QLineEdit;

class KQContactPropertyBirthdayViewCtrl : public KQContactPropertyViewCtrl
{
    Q_OBJECT
public:
    explicit KQContactPropertyBirthdayViewCtrl(QWidget* parent);
    QString localizedCategoryName() const override;
    virtual QString birthdayLabel() const { return tr("birthday"); }

    // Empty for the Gregorian calendar.
    QString currentCalenderIdentifier() const { return m_date.calendarIdentifier; }
    const CNDateComponents& shownDate() const { return m_date; }
    // What typing into a field does: true when the value was taken.
    bool setDayText(const QString& text);
    bool setMonthText(const QString& text);
    bool setYearText(const QString& text);
    QString dateText() const;

protected:
    KQContactPropertyBirthdayViewCtrl(const QString& categoryName, QWidget* parent);
    void buildRows(QVBoxLayout* body) override;
    virtual std::optional<CNDateComponents> storedDate() const;
    virtual void storeDate(const std::optional<CNDateComponents>& date);
    // Extra controls of a subclass (the calendar menu), added after the date fields.
    virtual void addCalendarControls(class QHBoxLayout* line) { Q_UNUSED(line); }
    // Writes the shown date when it is a real day, and refreshes the date text.
    void commit();
    CNDateComponents m_date;

private:
    bool take(const QString& text, int minimum, int maximum, std::optional<int> CNDateComponents::*part);
    QLabel* m_dateText = nullptr;
};
