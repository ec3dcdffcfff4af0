#include "app/windows/KQContactPropertyNGBrithdayViewCtrl.h"

#include "app/windows/KQBirthdayCalendar.h"
#include "platform/CNContactKeys.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QTimer>

KQContactPropertyNGBrithdayViewCtrl::KQContactPropertyNGBrithdayViewCtrl(QWidget* parent)
    : KQContactPropertyBirthdayViewCtrl(QStringLiteral("Lunar Birthday"), parent)
{
}

QString KQContactPropertyNGBrithdayViewCtrl::localizedCategoryName() const
{
    return CNContactLocalizedStringForKey(CNContactNonGregorianBirthdayKey);
}

QString KQContactPropertyNGBrithdayViewCtrl::birthdayLabel() const
{
    return tr("birthday(%1)").arg(currentCalenderIdentifier());
}

std::optional<CNDateComponents> KQContactPropertyNGBrithdayViewCtrl::storedDate() const
{
    return contactHelper()->ngBirthday();
}

void KQContactPropertyNGBrithdayViewCtrl::storeDate(const std::optional<CNDateComponents>& date)
{
    contactHelper()->setNgBirthday(date);
}

void KQContactPropertyNGBrithdayViewCtrl::selectCalendar(const QString& identifier)
{
    if (identifier == m_date.calendarIdentifier)
        return;
    const KQBirthdayCalendar from(m_date.calendarIdentifier);
    const KQBirthdayCalendar to(identifier);
    std::optional<CNDateComponents> same = from.convert(m_date, to);
    if (!same)
        same = KQContactHelper::makeCurrentDateComponentWithCalenderIdentifier(to.identifier());
    m_date = *same;
    m_date.calendarIdentifier = to.identifier();
    commit();
    // The fields show the converted parts; rebuilt after the menu's signal has returned.
    QTimer::singleShot(0, this, [this] { reload(); });
}

bool KQContactPropertyNGBrithdayViewCtrl::setLeapMonth(bool leap)
{
    if (!KQBirthdayCalendar(m_date.calendarIdentifier).hasLeapMonths())
        return false;
    m_date.isLeapMonth = leap;
    commit();
    return true;
}

void KQContactPropertyNGBrithdayViewCtrl::addCalendarControls(QHBoxLayout* line)
{
    auto* calendars = new QComboBox;
    calendars->setObjectName(QStringLiteral("calendarCombo"));
    calendars->setAccessibleName(tr("Calendar"));
    for (const QString& identifier : KQContactHelper::availableNonGregorianCalenderIdentifiers())
        calendars->addItem(identifier, identifier);
    calendars->setCurrentIndex(std::max(0, calendars->findData(m_date.calendarIdentifier)));
    connect(calendars, &QComboBox::activated, this,
            [this, calendars](int index) { selectCalendar(calendars->itemData(index).toString()); });
    line->addWidget(calendars);
    if (KQBirthdayCalendar(m_date.calendarIdentifier).hasLeapMonths()) {
        auto* leap = new QCheckBox(tr("Leap month"));
        leap->setObjectName(QStringLiteral("leapMonthCheck"));
        leap->setChecked(m_date.isLeapMonth);
        connect(leap, &QCheckBox::toggled, this, [this](bool on) { setLeapMonth(on); });
        line->addWidget(leap);
    }
}
