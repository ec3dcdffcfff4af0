#include "app/windows/KQContactPropertyBirthdayViewCtrl.h"

#include "app/windows/KQBirthdayCalendar.h"
#include "app/windows/KQIcons.h"
#include "platform/CNContactKeys.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

KQContactPropertyBirthdayViewCtrl::KQContactPropertyBirthdayViewCtrl(QWidget* parent)
    : KQContactPropertyBirthdayViewCtrl(QStringLiteral("Birthday"), parent)
{
}

KQContactPropertyBirthdayViewCtrl::KQContactPropertyBirthdayViewCtrl(const QString& categoryName, QWidget* parent)
    : KQContactPropertyViewCtrl(categoryName, parent)
{
}

QString KQContactPropertyBirthdayViewCtrl::localizedCategoryName() const
{
    return CNContactLocalizedStringForKey(CNContactBirthdayKey);
}

std::optional<CNDateComponents> KQContactPropertyBirthdayViewCtrl::storedDate() const
{
    return contactHelper()->birthday();
}

void KQContactPropertyBirthdayViewCtrl::storeDate(const std::optional<CNDateComponents>& date)
{
    contactHelper()->setBirthday(date);
}

QString KQContactPropertyBirthdayViewCtrl::dateText() const
{
    return KQBirthdayCalendar(m_date.calendarIdentifier).shortDateString(m_date);
}

bool KQContactPropertyBirthdayViewCtrl::take(const QString& text, int minimum, int maximum,
                                             std::optional<int> CNDateComponents::*part)
{
    bool ok = false;
    // An empty field reads as 0 and is refused like any other value out of range.
    const int value = text.trimmed().isEmpty() ? 0 : text.trimmed().toInt(&ok);
    if ((!ok && !text.trimmed().isEmpty()) || value < minimum || value > maximum)
        return false;
    m_date.*part = value;
    commit();
    return true;
}

bool KQContactPropertyBirthdayViewCtrl::setDayText(const QString& text)
{
    return take(text, 1, 31, &CNDateComponents::day);
}

bool KQContactPropertyBirthdayViewCtrl::setMonthText(const QString& text)
{
    return take(text, 1, KQBirthdayCalendar(m_date.calendarIdentifier).maximumMonth(), &CNDateComponents::month);
}

bool KQContactPropertyBirthdayViewCtrl::setYearText(const QString& text)
{
    const KQBirthdayCalendar calendar(m_date.calendarIdentifier);
    return take(text, calendar.minimumYear(), calendar.currentYear(), &CNDateComponents::year);
}

void KQContactPropertyBirthdayViewCtrl::commit()
{
    const KQBirthdayCalendar calendar(m_date.calendarIdentifier);
    if (calendar.isValidDate(m_date)) {
        CNDateComponents stored = m_date;
        stored.calendarIdentifier = calendar.identifier();
        if (!calendar.hasLeapMonths())
            stored.isLeapMonth = false;
        storeDate(stored);
    }
    if (m_dateText != nullptr)
        m_dateText->setText(dateText());
}

void KQContactPropertyBirthdayViewCtrl::buildRows(QVBoxLayout* body)
{
    m_date = storedDate().value_or(CNDateComponents());
    auto* line = new QHBoxLayout;
    auto* label = new QLabel(birthdayLabel());
    label->setObjectName(QStringLiteral("birthdayLabel"));
    label->setForegroundRole(QPalette::PlaceholderText);
    line->addWidget(label);
    m_dateText = new QLabel(dateText());
    m_dateText->setObjectName(QStringLiteral("dateText"));
    if (!editable()) {
        line->addWidget(m_dateText, 1);
        body->addLayout(line);
        return;
    }
    using Setter = bool (KQContactPropertyBirthdayViewCtrl::*)(const QString&);
    const auto field = [&](const QString& name, const QString& title, std::optional<int> CNDateComponents::*part,
                           Setter setter) {
        auto* edit = new QLineEdit(m_date.*part ? QString::number(*(m_date.*part)) : QString());
        edit->setObjectName(name);
        edit->setPlaceholderText(title);
        edit->setAccessibleName(title);
        edit->setMaxLength(6);
        edit->setMaximumWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("000000")) + 16);
        QPointer<QLineEdit> guard(edit);
        connect(edit, &QLineEdit::editingFinished, this, [this, guard, part, setter] {
            if (!guard || (this->*setter)(guard->text()))
                return;
            // Refused: the previous value comes back once the edit has finished.
            QTimer::singleShot(0, this, [this, guard, part] {
                if (guard)
                    guard->setText(m_date.*part ? QString::number(*(m_date.*part)) : QString());
            });
        });
        line->addWidget(edit);
    };
    field(QStringLiteral("dayEdit"), tr("Day"), &CNDateComponents::day, &KQContactPropertyBirthdayViewCtrl::setDayText);
    field(QStringLiteral("monthEdit"), tr("Month"), &CNDateComponents::month,
          &KQContactPropertyBirthdayViewCtrl::setMonthText);
    field(QStringLiteral("yearEdit"), tr("Year"), &CNDateComponents::year,
          &KQContactPropertyBirthdayViewCtrl::setYearText);
    addCalendarControls(line);
    line->addWidget(m_dateText, 1);
    auto* remove = new QToolButton;
    remove->setObjectName(QStringLiteral("removeButton"));
    remove->setIcon(KQIcons::icon(QStringLiteral("list-remove")));
    remove->setAutoRaise(true);
    remove->setAccessibleName(tr("Remove the %1").arg(birthdayLabel()));
    remove->setToolTip(remove->accessibleName());
    connect(remove, &QToolButton::clicked, this, [this] {
        storeDate(std::nullopt);
        requestRemove();
    });
    line->addWidget(remove);
    body->addLayout(line);
}
