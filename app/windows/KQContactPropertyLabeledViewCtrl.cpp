#include "app/windows/KQContactPropertyLabeledViewCtrl.h"

#include "app/windows/KQCustomLabelValueWndCtrl.h"
#include "app/windows/KQIcons.h"
#include "model/KQLabeledDateComponents.h"
#include "model/KQLabeledEmail.h"
#include "model/KQLabeledInstantMsg.h"
#include "model/KQLabeledPhoneNumber.h"
#include "model/KQLabeledPostalAddress.h"
#include "model/KQLabeledRelation.h"
#include "model/KQLabeledSocial.h"
#include "model/KQLabeledURL.h"
#include "model/KQLabeledValueItemAddresses.h"
#include "platform/CNContactKeys.h"
#include "platform/CNLabels.h"
#include "problems/KQCompareCell.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

const QStringList& labeledCategories()
{
    static const QStringList names = {QStringLiteral("PhoneNumbers"), QStringLiteral("Email"),
                                      QStringLiteral("URL"),          QStringLiteral("Instant Message"),
                                      QStringLiteral("Social"),       QStringLiteral("Address"),
                                      QStringLiteral("Related Name"), QStringLiteral("Date")};
    return names;
}

QLineEdit* lineEdit(QWidget* parent, const QString& name, const QString& text, const QString& placeholder)
{
    auto* edit = new QLineEdit(text, parent);
    edit->setObjectName(name);
    edit->setPlaceholderText(placeholder);
    edit->setAccessibleName(placeholder);
    return edit;
}

// A whole number typed into a date field; none for anything else.
std::optional<int> number(const QString& text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    return ok ? std::optional<int>(value) : std::nullopt;
}

} // namespace

KQContactPropertyLabeledViewCtrl::KQContactPropertyLabeledViewCtrl(const QString& categoryName, QWidget* parent)
    : KQContactPropertyViewCtrl(categoryName, parent)
{
}

bool KQContactPropertyLabeledViewCtrl::isLabeledCategory(const QString& categoryName)
{
    return labeledCategories().contains(categoryName);
}

QString KQContactPropertyLabeledViewCtrl::localizedCategoryName() const
{
    return CNContactLocalizedStringForKey(KQCompareCell::propertyKeyOfCatagory(categoryName()));
}

KQLabeledValueProperty* KQContactPropertyLabeledViewCtrl::labeledValueProperty() const
{
    const QString key = KQCompareCell::propertyKeyOfCatagory(categoryName());
    return contactHelper() ? contactHelper()->propertyForKey(key) : nullptr;
}

QStringList KQContactPropertyLabeledViewCtrl::defaultLabels() const
{
    const QString& c = categoryName();
    if (c == QLatin1String("PhoneNumbers"))
        return {CNLabelHome,
                CNLabelWork,
                CNLabelOther,
                CNLabelPhoneNumberMobile,
                CNLabelPhoneNumberiPhone,
                CNLabelPhoneNumberMain,
                CNLabelPhoneNumberPager,
                CNLabelPhoneNumberWorkFax,
                CNLabelPhoneNumberHomeFax,
                CNLabelPhoneNumberOtherFax};
    if (c == QLatin1String("Email"))
        return {CNLabelHome, CNLabelWork, CNLabelOther, CNLabelEmailiCloud};
    if (c == QLatin1String("URL"))
        return {CNLabelHome, CNLabelWork, CNLabelOther, CNLabelURLAddressHomePage};
    if (c == QLatin1String("Date"))
        return {CNLabelDateAnniversary, CNLabelOther};
    if (c == QLatin1String("Related Name"))
        return {CNLabelContactRelationSon,      CNLabelContactRelationDaughter, CNLabelContactRelationSpouse,
                CNLabelContactRelationPartner,  CNLabelContactRelationChild,    CNLabelContactRelationParent,
                CNLabelContactRelationFather,   CNLabelContactRelationMother,   CNLabelContactRelationSister,
                CNLabelContactRelationBrother,  CNLabelContactRelationFriend,   CNLabelContactRelationManager,
                CNLabelContactRelationAssistant};
    if (c == QLatin1String("Social"))
        return {CNSocialProfileServiceFacebook,     CNSocialProfileServiceFlickr,  CNSocialProfileServiceGameCenter,
                CNSocialProfileServiceLinkedIn,     CNSocialProfileServiceMySpace, CNSocialProfileServiceSinaWeibo,
                CNSocialProfileServiceTencentWeibo, CNSocialProfileServiceTwitter, CNSocialProfileServiceYelp};
    return {CNLabelHome, CNLabelWork, CNLabelOther};
}

bool KQContactPropertyLabeledViewCtrl::allowsCustomLabel() const
{
    return categoryName() != QLatin1String("Social");
}

void KQContactPropertyLabeledViewCtrl::buildRows(QVBoxLayout* body)
{
    KQLabeledValueProperty* property = labeledValueProperty();
    if (property == nullptr)
        return;
    const auto& values = property->labeledValueHelpers();
    for (int row = 0; row < static_cast<int>(values.size()); ++row)
        body->addWidget(makeRow(row, values[static_cast<size_t>(row)]));
}

QWidget* KQContactPropertyLabeledViewCtrl::makeRow(int row, const KQLabeledValueHelperPtr& value)
{
    auto* widget = new QWidget;
    widget->setObjectName(QStringLiteral("row%1").arg(row));
    auto* grid = new QGridLayout(widget);
    grid->setContentsMargins(0, 0, 0, 0);
    const QString shownLabel = value->localizedLabel();
    if (editable()) {
        auto* label = new QToolButton(widget);
        label->setObjectName(QStringLiteral("labelButton"));
        label->setText(shownLabel.isEmpty() ? tr("label") : shownLabel);
        label->setPopupMode(QToolButton::InstantPopup);
        label->setToolButtonStyle(Qt::ToolButtonTextOnly);
        label->setAccessibleName(tr("Label of %1 %2").arg(localizedCategoryName()).arg(row + 1));
        label->setMenu(labelOptMenu(row, label));
        grid->addWidget(label, 0, 0, Qt::AlignTop | Qt::AlignRight);
    } else {
        auto* label = new QLabel(shownLabel, widget);
        label->setObjectName(QStringLiteral("labelText"));
        label->setForegroundRole(QPalette::PlaceholderText);
        grid->addWidget(label, 0, 0, Qt::AlignTop | Qt::AlignRight);
    }
    addValueEditors(widget, grid, value);
    if (editable()) {
        auto* remove = new QToolButton(widget);
        remove->setObjectName(QStringLiteral("removeButton"));
        remove->setIcon(KQIcons::icon(QStringLiteral("list-remove")));
        remove->setAutoRaise(true);
        remove->setAccessibleName(tr("Remove %1 %2").arg(localizedCategoryName()).arg(row + 1));
        remove->setToolTip(remove->accessibleName());
        connect(remove, &QToolButton::clicked, this, [this, row] { removeRow(row); });
        grid->addWidget(remove, 0, 2, Qt::AlignTop);
    }
    grid->setColumnStretch(1, 1);
    grid->setColumnMinimumWidth(0, fontMetrics().horizontalAdvance(QStringLiteral("home page  ")));
    return widget;
}

void KQContactPropertyLabeledViewCtrl::addValueEditors(QWidget* row, QGridLayout* grid,
                                                       const KQLabeledValueHelperPtr& value)
{
    if (!editable()) {
        auto* text = new QLabel(value->valueString(), row);
        text->setObjectName(QStringLiteral("valueText"));
        text->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
        text->setWordWrap(true);
        grid->addWidget(text, 0, 1);
        return;
    }
    auto* fields = new QVBoxLayout;
    grid->addLayout(fields, 0, 1);
    const QString& c = categoryName();
    KQLabeledValueHelper* raw = value.get();
    if (auto* phone = dynamic_cast<KQLabeledPhoneNumber*>(raw)) {
        auto* edit = lineEdit(row, QStringLiteral("valueEdit"), phone->phoneNumberStringValue(), tr("Phone Numbers"));
        connect(edit, &QLineEdit::textEdited, this, [value](const QString& text) {
            static_cast<KQLabeledPhoneNumber*>(value.get())->setPhoneNumberStringValue(text);
        });
        fields->addWidget(edit);
    } else if (auto* email = dynamic_cast<KQLabeledEmail*>(raw)) {
        auto* edit = lineEdit(row, QStringLiteral("valueEdit"), email->email(), tr("Email"));
        connect(edit, &QLineEdit::textEdited, this,
                [value](const QString& text) { static_cast<KQLabeledEmail*>(value.get())->setEmail(text); });
        fields->addWidget(edit);
    } else if (auto* url = dynamic_cast<KQLabeledURL*>(raw)) {
        auto* edit = lineEdit(row, QStringLiteral("valueEdit"), url->urlString(), tr("URL"));
        connect(edit, &QLineEdit::textEdited, this,
                [value](const QString& text) { static_cast<KQLabeledURL*>(value.get())->setUrlString(text); });
        fields->addWidget(edit);
    } else if (auto* relation = dynamic_cast<KQLabeledRelation*>(raw)) {
        auto* edit = lineEdit(row, QStringLiteral("valueEdit"), relation->name(), tr("Relation"));
        connect(edit, &QLineEdit::textEdited, this,
                [value](const QString& text) { static_cast<KQLabeledRelation*>(value.get())->setName(text); });
        fields->addWidget(edit);
    } else if (auto* date = dynamic_cast<KQLabeledDateComponents*>(raw)) {
        auto* line = new QHBoxLayout;
        const auto part = [&](const QString& name, std::optional<int> current, const QString& title,
                              void (KQLabeledDateComponents::*setter)(int)) {
            auto* edit = lineEdit(row, name, current ? QString::number(*current) : QString(), title);
            edit->setMaxLength(4);
            // A text that is no number is not taken: the field shows the value again.
            connect(edit, &QLineEdit::editingFinished, this, [value, edit, setter, name] {
                auto* d = static_cast<KQLabeledDateComponents*>(value.get());
                if (const std::optional<int> n = number(edit->text()); n && *n > 0) {
                    (d->*setter)(*n);
                    return;
                }
                const std::optional<int> old = name == QLatin1String("yearEdit")    ? d->year()
                                               : name == QLatin1String("monthEdit") ? d->month()
                                                                                    : d->day();
                edit->setText(old ? QString::number(*old) : QString());
            });
            line->addWidget(edit);
        };
        part(QStringLiteral("dayEdit"), date->day(), tr("Day"), &KQLabeledDateComponents::setDay);
        part(QStringLiteral("monthEdit"), date->month(), tr("Month"), &KQLabeledDateComponents::setMonth);
        part(QStringLiteral("yearEdit"), date->year(), tr("Year"), &KQLabeledDateComponents::setYear);
        fields->addLayout(line);
    } else if (auto* social = dynamic_cast<KQLabeledSocial*>(raw)) {
        auto* user = lineEdit(row, QStringLiteral("usrNameEdit"), social->usrName(), tr("User name"));
        auto* link = lineEdit(row, QStringLiteral("urlEdit"), social->urlString(), tr("Social"));
        connect(user, &QLineEdit::textEdited, this,
                [value](const QString& text) { static_cast<KQLabeledSocial*>(value.get())->setUsrName(text); });
        connect(link, &QLineEdit::textEdited, this,
                [value](const QString& text) { static_cast<KQLabeledSocial*>(value.get())->setUrlString(text); });
        fields->addWidget(user);
        fields->addWidget(link);
    } else if (auto* im = dynamic_cast<KQLabeledInstantMsg*>(raw)) {
        auto* user = lineEdit(row, QStringLiteral("usrNameEdit"), im->usrName(), tr("Instant Message"));
        auto* service = new QComboBox(row);
        service->setObjectName(QStringLiteral("serviceCombo"));
        service->setAccessibleName(tr("Service"));
        service->setEditable(true);
        for (const QString* s :
             {&CNInstantMessageServiceAIM, &CNInstantMessageServiceFacebook, &CNInstantMessageServiceGaduGadu,
              &CNInstantMessageServiceGoogleTalk, &CNInstantMessageServiceICQ, &CNInstantMessageServiceJabber,
              &CNInstantMessageServiceMSN, &CNInstantMessageServiceQQ, &CNInstantMessageServiceSkype,
              &CNInstantMessageServiceYahoo})
            service->addItem(CNLocalizedStringForInstantMessageService(*s));
        service->setCurrentText(im->serviceName());
        connect(user, &QLineEdit::textEdited, this,
                [value](const QString& text) { static_cast<KQLabeledInstantMsg*>(value.get())->setUsrName(text); });
        connect(service, &QComboBox::currentTextChanged, this,
                [value](const QString& text) { static_cast<KQLabeledInstantMsg*>(value.get())->setServiceName(text); });
        fields->addWidget(user);
        fields->addWidget(service);
    } else if (auto* address = dynamic_cast<KQLabeledPostalAddress*>(raw)) {
        using Setter = void (KQLabeledPostalAddress::*)(const QString&);
        const auto field = [&](const QString& name, const QString& text, const QString& title, Setter setter) {
            auto* edit = lineEdit(row, name, text, title);
            connect(edit, &QLineEdit::textEdited, this, [value, setter](const QString& typed) {
                (static_cast<KQLabeledPostalAddress*>(value.get())->*setter)(typed);
            });
            fields->addWidget(edit);
        };
        // The boxes follow the address's country: a district for China, a county instead of a
        // state for the United Kingdom.
        const KQLabeledValueItemAddresses form(value, true);
        field(QStringLiteral("streetEdit"), address->street(), tr("Street"), &KQLabeledPostalAddress::setStreet);
        if (!form.hiddenSubLocality())
            field(QStringLiteral("subLocalityEdit"), address->subLocality(), tr("District"),
                  &KQLabeledPostalAddress::setSubLocality);
        field(QStringLiteral("cityEdit"), address->city(), tr("City"), &KQLabeledPostalAddress::setCity);
        if (!form.hiddenSubAdministrativeArea())
            field(QStringLiteral("subAdministrativeAreaEdit"), address->subAdministrativeArea(), tr("County"),
                  &KQLabeledPostalAddress::setSubAdministrativeArea);
        if (!form.hiddenState())
            field(QStringLiteral("stateEdit"), address->state(), tr("State"), &KQLabeledPostalAddress::setState);
        field(QStringLiteral("postalCodeEdit"), address->postalCode(), tr("Postal Code"),
              &KQLabeledPostalAddress::setPostalCode);
        field(QStringLiteral("countryEdit"), address->country(), tr("Country"), &KQLabeledPostalAddress::setCountry);
    } else {
        Q_UNUSED(c);
        auto* text = new QLabel(value->valueString(), row);
        grid->addWidget(text, 0, 1);
    }
}

QMenu* KQContactPropertyLabeledViewCtrl::labelOptMenu(int row, QToolButton* button)
{
    auto* menu = new QMenu(button);
    menu->setObjectName(QStringLiteral("labelOptMenu"));
    const bool social = categoryName() == QLatin1String("Social");
    for (const QString& label : defaultLabels()) {
        const QString title = social ? CNLocalizedStringForSocialService(label) : CNLocalizedStringForLabel(label);
        QAction* action = menu->addAction(title);
        connect(action, &QAction::triggered, this, [this, row, title] { selectDefLabel(row, title); });
    }
    if (allowsCustomLabel()) {
        menu->addSeparator();
        QAction* custom = menu->addAction(tr("Custom..."));
        custom->setObjectName(QStringLiteral("customLabelAction"));
        connect(custom, &QAction::triggered, this, [this, row] { chooseCustomLabel(row); });
    }
    if (categoryName() == QLatin1String("Address")) {
        QMenu* formats = menu->addMenu(tr("Change Address Format"));
        for (const QString& name : KQLabeledPostalAddress::availableCountryOrRegionNames()) {
            QAction* action = formats->addAction(name);
            connect(action, &QAction::triggered, this, [this, row, name] { changeAddressFormat(row, name); });
        }
    }
    return menu;
}

void KQContactPropertyLabeledViewCtrl::selectDefLabel(int row, const QString& title)
{
    KQLabeledValueProperty* property = labeledValueProperty();
    const KQLabeledValueHelperPtr value = property ? property->objectInLabeledValueHelpersAtIndex(row) : nullptr;
    if (!value)
        return;
    value->setLabel(title);
    reload();
}

void KQContactPropertyLabeledViewCtrl::chooseCustomLabel(int row)
{
    KQLabeledValueProperty* property = labeledValueProperty();
    const KQLabeledValueHelperPtr value = property ? property->objectInLabeledValueHelpersAtIndex(row) : nullptr;
    if (!value)
        return;
    QPointer<KQContactPropertyLabeledViewCtrl> self(this);
    KQCustomLabelValueWndCtrl::sharedCustomLabelValueWndCtrl()->beginSheetForWindow(
        hostWindow(), value->localizedLabel(), [self, value](bool accepted, const QString& label) {
            if (!accepted || !self)
                return;
            value->setLabel(label.trimmed());
            self->reload();
        });
}

void KQContactPropertyLabeledViewCtrl::changeAddressFormat(int row, const QString& countryOrRegionName)
{
    KQLabeledValueProperty* property = labeledValueProperty();
    const KQLabeledValueHelperPtr value = property ? property->objectInLabeledValueHelpersAtIndex(row) : nullptr;
    auto* address = dynamic_cast<KQLabeledPostalAddress*>(value.get());
    const std::optional<QString> code = KQLabeledPostalAddress::countryOrRegionCodeFromName(countryOrRegionName);
    if (address == nullptr || !code)
        return;
    address->setIsoCountryCode(*code);
    reload();
}

void KQContactPropertyLabeledViewCtrl::removeRow(int row)
{
    KQLabeledValueProperty* property = labeledValueProperty();
    const KQLabeledValueHelperPtr value = property ? property->objectInLabeledValueHelpersAtIndex(row) : nullptr;
    if (!value)
        return;
    property->removeLabeledValueHelper(value);
    if (property->countOfLabeledValueHelpers() == 0)
        requestRemove();
    else
        reload();
}

void KQContactPropertyLabeledViewCtrl::addAction()
{
    if (!contactHelper())
        return;
    contactHelper()->addPropertyEmptyValueWithCategoryName(categoryName());
    reload();
}
