#include "model/KQLabeledDateComponents.h"

#include "model/KQContactHelper.h"

#include <QDate>
#include <QLocale>

KQLabeledDateComponents::KQLabeledDateComponents(const KQAnyLabeledValue& labeledValue)
    : KQLabeledValueHelper(labeledValue)
{
    if (const auto* v = std::get_if<CNLabeledValue<CNDateComponents>>(&labeledValue)) {
        m_date = v->value();
        m_year = v->value().year;
        m_month = v->value().month;
        m_day = v->value().day;
    }
}

void KQLabeledDateComponents::setYear(int year)
{
    m_year = year;
    Q_EMIT valueChanged();
    labelValueDidChanged();
}

void KQLabeledDateComponents::setMonth(int month)
{
    if (month < 1 || month > 12)
        return;
    m_month = month;
    Q_EMIT valueChanged();
    labelValueDidChanged();
}

void KQLabeledDateComponents::setDay(int day)
{
    if (day < 1 || day > 31)
        return;
    m_day = day;
    Q_EMIT valueChanged();
    labelValueDidChanged();
}

QString KQLabeledDateComponents::dateString() const
{
    const CNDateComponents parts = makeNewDateComponents();
    if (!parts.isValidGregorianDate())
        return QStringLiteral("Invalid date");
    return QLocale().toString(QDate(*parts.year, *parts.month, *parts.day), QLocale::ShortFormat);
}

CNDateComponents KQLabeledDateComponents::makeNewDateComponents() const
{
    CNDateComponents parts;
    parts.day = m_day;
    parts.month = m_month;
    parts.year = m_year;
    return parts;
}

KQAnyLabeledValue KQLabeledDateComponents::editedLabeledValue() const
{
    return CNLabeledValue<CNDateComponents>(entryIdentifier(), label(), makeNewDateComponents());
}

QString KQLabeledDateComponents::valueString() const
{
    return KQContactHelper::stringFromDateComponents(makeNewDateComponents());
}
