#pragma once

#include "model/KQLabeledValueHelper.h"

#include <optional>

class KQLabeledDateComponents : public KQLabeledValueHelper
{
    Q_OBJECT
    Q_PROPERTY(QString dateString READ dateString NOTIFY valueChanged)
public:
    explicit KQLabeledDateComponents(const KQAnyLabeledValue& labeledValue);

    const std::optional<CNDateComponents>& dateComponents() const { return m_date; }
    std::optional<int> year() const { return m_year; }
    std::optional<int> month() const { return m_month; }
    std::optional<int> day() const { return m_day; }
    void setYear(int year);
    // Values outside 1 to 12 are ignored.
    void setMonth(int month);
    // Values outside 1 to 31 are ignored.
    void setDay(int day);

    // The date in the short date style, or "Invalid date" when the parts form no Gregorian date.
    QString dateString() const;
    CNDateComponents makeNewDateComponents() const;

    KQAnyLabeledValue editedLabeledValue() const override;
    QString valueString() const override;

private:
    std::optional<CNDateComponents> m_date;
    std::optional<int> m_year;
    std::optional<int> m_month;
    std::optional<int> m_day;
};
