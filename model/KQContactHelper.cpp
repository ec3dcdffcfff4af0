#include "model/KQContactHelper.h"

#include "model/KQFullName.h"
#include "model/KQLabeledDateComponents.h"
#include "model/KQLabeledEmail.h"
#include "model/KQLabeledInstantMsg.h"
#include "model/KQLabeledPhoneNumber.h"
#include "model/KQLabeledPostalAddress.h"
#include "model/KQLabeledRelation.h"
#include "model/KQLabeledSocial.h"
#include "model/KQLabeledURL.h"
#include "store/KQContactManager.h"
#include "store/KQContactStoreHelper.h"
#include "store/KQPreferences.h"

#include <QBuffer>
#include <QDate>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <iterator>
#include <unicode/calendar.h>
#include <unicode/locid.h>

namespace {

// The multi-valued fields whose entries count as the record's own edits.
constexpr CNKeyId kLabeledValueKeys[] = {
    CNKeyId::PhoneNumbers,   CNKeyId::EmailAddresses,          CNKeyId::UrlAddresses, CNKeyId::PostalAddresses,
    CNKeyId::SocialProfiles, CNKeyId::InstantMessageAddresses, CNKeyId::Dates,        CNKeyId::Relations};

bool isEmptyText(const std::optional<QString>& text)
{
    return !text || text->isEmpty();
}

// Text rule of the content comparison: both non-empty and equal, or both empty.
bool sameText(const std::optional<QString>& a, const std::optional<QString>& b)
{
    const bool emptyA = isEmptyText(a);
    const bool emptyB = isEmptyText(b);
    if (emptyA || emptyB)
        return emptyA && emptyB;
    return *a == *b;
}

} // namespace

KQContactHelper::KQContactHelper(CNContactPtr contact, bool allKeyLoaded)
    : m_contact(contact ? std::move(contact) : std::make_shared<CNContact>()), m_allKeysLoaded(allKeyLoaded)
{
    m_loadIdentifier = m_contact->identifier();
    m_keysInstalled = allKeyLoaded;
    setupAllLabeledValueProperties();
}

KQContactHelper::~KQContactHelper() = default;

CNContactPtr KQContactHelper::contact() const
{
    std::lock_guard lock(m_contactMutex);
    return m_contact;
}

CNMutableContactPtr KQContactHelper::mutableContact() const
{
    std::lock_guard lock(m_contactMutex);
    return m_mutableContact;
}

CNContactPtr KQContactHelper::effectiveContact() const
{
    std::lock_guard lock(m_contactMutex);
    if (m_mutableContact)
        return m_mutableContact;
    return m_contact;
}

void KQContactHelper::setPropertyEdited(bool edited)
{
    if (m_propertyEdited == edited)
        return;
    m_propertyEdited = edited;
    Q_EMIT propertyEditedChanged();
}

QString KQContactHelper::identifier() const
{
    return effectiveContact()->identifier();
}

KQContainerHelper* KQContactHelper::containerHelper() const
{
    return KQContactManager::sharedContactManager()->containerHelperWithContactIdentifier(identifier()).get();
}

void KQContactHelper::startEditContact()
{
    std::lock_guard lock(m_contactMutex);
    if (m_mutableContact)
        return;
    m_mutableContact = m_contact->mutableCopy();
}

// Properties are made lazily; filling one from the contact marks the record edited when it
// receives a value, and loads clear the mark right after. The same holds here without making
// eight objects per record up front: a record with any multi-valued entry starts marked.
void KQContactHelper::setupAllLabeledValueProperties()
{
    const CNContactPtr contact = effectiveContact();
    std::vector<KQLabeledValuePropertyPtr> made;
    {
        std::lock_guard lock(m_contactMutex);
        if (m_properties) {
            for (const KQLabeledValuePropertyPtr& slot : *m_properties)
                if (slot)
                    made.push_back(slot);
        }
    }
    for (const KQLabeledValuePropertyPtr& property : made)
        property->resetWithLabeledValues(KQLabeledValuesOfContact(*contact, property->propertyKey()));
    // Asked without decoding or copying a field: every record of a list asks at once.
    const bool hasValues = std::any_of(std::begin(kLabeledValueKeys), std::end(kLabeledValueKeys),
                                       [&](CNKeyId key) { return contact->hasValues(key); });
    if (hasValues)
        setPropertyEdited(true);
}

KQLabeledValueProperty* KQContactHelper::property(PropertySlot at, const QString& key)
{
    const CNContactPtr source = effectiveContact();
    std::lock_guard lock(m_contactMutex);
    if (!m_properties)
        m_properties = std::make_unique<std::array<KQLabeledValuePropertyPtr, PropertySlotCount>>();
    KQLabeledValuePropertyPtr& slot = (*m_properties)[at];
    if (!slot) {
        auto made = std::make_shared<KQLabeledValueProperty>(this, key);
        made->resetWithLabeledValues(KQLabeledValuesOfContact(*source, key));
        slot = std::move(made);
    }
    return slot.get();
}

KQLabeledValueProperty* KQContactHelper::propertyPhoneNumbers()
{
    return property(Phones, CNContactPhoneNumbersKey);
}
KQLabeledValueProperty* KQContactHelper::propertyEmails()
{
    return property(Emails, CNContactEmailAddressesKey);
}
KQLabeledValueProperty* KQContactHelper::propertyUrls()
{
    return property(Urls, CNContactUrlAddressesKey);
}
KQLabeledValueProperty* KQContactHelper::propertyPostalAddress()
{
    return property(Addresses, CNContactPostalAddressesKey);
}
KQLabeledValueProperty* KQContactHelper::propertySocial()
{
    return property(Social, CNContactSocialProfilesKey);
}
KQLabeledValueProperty* KQContactHelper::propertyInstantMsg()
{
    return property(InstantMsg, CNContactInstantMessageAddressesKey);
}
KQLabeledValueProperty* KQContactHelper::propertyDates()
{
    return property(Dates, CNContactDatesKey);
}
KQLabeledValueProperty* KQContactHelper::propertyRelation()
{
    return property(Relations, CNContactRelationsKey);
}

KQLabeledValueProperty* KQContactHelper::propertyForKey(const QString& key)
{
    if (key == CNContactPhoneNumbersKey)
        return propertyPhoneNumbers();
    if (key == CNContactEmailAddressesKey)
        return propertyEmails();
    if (key == CNContactUrlAddressesKey)
        return propertyUrls();
    if (key == CNContactPostalAddressesKey)
        return propertyPostalAddress();
    if (key == CNContactSocialProfilesKey)
        return propertySocial();
    if (key == CNContactInstantMessageAddressesKey)
        return propertyInstantMsg();
    if (key == CNContactDatesKey)
        return propertyDates();
    if (key == CNContactRelationsKey)
        return propertyRelation();
    return nullptr;
}

void KQContactHelper::labeledValueHelperDidChanged(KQLabeledValueProperty* property)
{
    if (property->propertyKey() == CNContactPhoneNumbersKey) {
        ++m_phoneNumberDidChanged;
        Q_EMIT phoneNumberDidChangedChanged();
    } else if (property->propertyKey() == CNContactEmailAddressesKey) {
        ++m_emailDidChanged;
        Q_EMIT emailDidChangedChanged();
    }
}

KQLabeledValueHelperPtr KQContactHelper::makeEmptyLabeledValueHelperWithKey(const QString& key) const
{
    if (key == CNContactPhoneNumbersKey)
        return std::make_shared<KQLabeledPhoneNumber>(
            CNLabeledValue<CNPhoneNumber>(CNLocalizedStringForLabel(CNLabelPhoneNumberiPhone), CNPhoneNumber()));
    if (key == CNContactEmailAddressesKey)
        return std::make_shared<KQLabeledEmail>(
            CNLabeledValue<QString>(CNLocalizedStringForLabel(CNLabelHome), QString()));
    if (key == CNContactUrlAddressesKey)
        return std::make_shared<KQLabeledURL>(
            CNLabeledValue<QString>(CNLocalizedStringForLabel(CNLabelHome), QString()));
    if (key == CNContactPostalAddressesKey) {
        CNPostalAddress address;
        const auto countryName = KQPreferences::sharePreferences()->defaultAddressFormatContryRegionName();
        if (countryName) {
            if (const auto code = KQLabeledPostalAddress::countryOrRegionCodeFromName(*countryName))
                address.isoCountryCode = *code;
        }
        return std::make_shared<KQLabeledPostalAddress>(
            CNLabeledValue<CNPostalAddress>(CNLocalizedStringForLabel(CNLabelHome), address));
    }
    if (key == CNContactSocialProfilesKey) {
        const QString service = CNLocalizedStringForSocialService(CNSocialProfileServiceFacebook);
        return std::make_shared<KQLabeledSocial>(
            CNLabeledValue<CNSocialProfile>(service, CNSocialProfile(QString(), QString(), QString(), service)));
    }
    if (key == CNContactInstantMessageAddressesKey)
        return std::make_shared<KQLabeledInstantMsg>(CNLabeledValue<CNInstantMessageAddress>(
            CNLocalizedStringForLabel(CNLabelHome),
            CNInstantMessageAddress(QString(), CNLocalizedStringForInstantMessageService(CNInstantMessageServiceAIM))));
    if (key == CNContactDatesKey) {
        const QDate today = QDate::currentDate();
        CNDateComponents date;
        date.year = today.year();
        date.month = today.month();
        date.day = today.day();
        return std::make_shared<KQLabeledDateComponents>(
            CNLabeledValue<CNDateComponents>(CNLocalizedStringForLabel(CNLabelDateAnniversary), date));
    }
    if (key == CNContactRelationsKey)
        return std::make_shared<KQLabeledRelation>(CNLabeledValue<CNContactRelation>(
            CNLocalizedStringForLabel(CNLabelContactRelationChild), CNContactRelation()));
    return nullptr;
}

// ---------------------------------------------------------------- fields

template <typename Getter> std::optional<QString> KQContactHelper::readText(CNKeyId key, Getter getter) const
{
    const CNContactPtr contact = effectiveContact();
    if (!contact->isKeyAvailable(key))
        return std::nullopt;
    return getter(*contact);
}

std::optional<QString> KQContactHelper::namePrefix() const
{
    return readText(CNKeyId::NamePrefix, [](const CNContact& c) { return c.namePrefix(); });
}
std::optional<QString> KQContactHelper::givenName() const
{
    return readText(CNKeyId::GivenName, [](const CNContact& c) { return c.givenName(); });
}
std::optional<QString> KQContactHelper::middleName() const
{
    return readText(CNKeyId::MiddleName, [](const CNContact& c) { return c.middleName(); });
}
std::optional<QString> KQContactHelper::familyName() const
{
    return readText(CNKeyId::FamilyName, [](const CNContact& c) { return c.familyName(); });
}
std::optional<QString> KQContactHelper::nameSuffix() const
{
    return readText(CNKeyId::NameSuffix, [](const CNContact& c) { return c.nameSuffix(); });
}
std::optional<QString> KQContactHelper::nickName() const
{
    return readText(CNKeyId::Nickname, [](const CNContact& c) { return c.nickname(); });
}
std::optional<QString> KQContactHelper::jobTitle() const
{
    return readText(CNKeyId::JobTitle, [](const CNContact& c) { return c.jobTitle(); });
}
std::optional<QString> KQContactHelper::department() const
{
    return readText(CNKeyId::DepartmentName, [](const CNContact& c) { return c.departmentName(); });
}
std::optional<QString> KQContactHelper::organizationName() const
{
    return readText(CNKeyId::OrganizationName, [](const CNContact& c) { return c.organizationName(); });
}
std::optional<QString> KQContactHelper::phoneticGivenName() const
{
    return readText(CNKeyId::PhoneticGivenName, [](const CNContact& c) { return c.phoneticGivenName(); });
}
std::optional<QString> KQContactHelper::phoneticMiddleName() const
{
    return readText(CNKeyId::PhoneticMiddleName, [](const CNContact& c) { return c.phoneticMiddleName(); });
}
std::optional<QString> KQContactHelper::phoneticFamilyName() const
{
    return readText(CNKeyId::PhoneticFamilyName, [](const CNContact& c) { return c.phoneticFamilyName(); });
}
std::optional<QString> KQContactHelper::phoneticOrgName() const
{
    return readText(CNKeyId::PhoneticOrganizationName, [](const CNContact& c) { return c.phoneticOrganizationName(); });
}
std::optional<QString> KQContactHelper::note() const
{
    return readText(CNKeyId::Note, [](const CNContact& c) { return c.note(); });
}

std::optional<CNDateComponents> KQContactHelper::birthday() const
{
    const CNContactPtr contact = effectiveContact();
    if (!contact->isKeyAvailable(CNKeyId::Birthday))
        return std::nullopt;
    return contact->birthday();
}

std::optional<CNDateComponents> KQContactHelper::ngBirthday() const
{
    const CNContactPtr contact = effectiveContact();
    if (!contact->isKeyAvailable(CNKeyId::NonGregorianBirthday))
        return std::nullopt;
    return contact->nonGregorianBirthday();
}

bool KQContactHelper::companyContact() const
{
    const CNContactPtr contact = effectiveContact();
    return contact->contactType() == CNContactType::Organization;
}

// ---------------------------------------------------------------- names

QString KQContactHelper::fullName() const
{
    return kqJoinFullName(namePrefix(), givenName(), middleName(), familyName(), nameSuffix(),
                          KQPreferences::sharePreferences()->showFirstNameFollowingLastName());
}

QString KQContactHelper::jobFullName() const
{
    return kqJoinJobName(jobTitle(), department(), organizationName());
}

QString KQContactHelper::phoneticFullName() const
{
    QString text = isEmptyText(phoneticGivenName()) ? QString() : *phoneticGivenName();
    if (const auto middle = phoneticMiddleName(); !isEmptyText(middle))
        text += QLatin1Char(' ') + *middle;
    if (const auto family = phoneticFamilyName(); !isEmptyText(family))
        text += QLatin1Char(' ') + *family;
    return text;
}

QString KQContactHelper::displayName() const
{
    return companyContact() ? jobFullName() : fullName();
}

QString KQContactHelper::subDisplayName() const
{
    return companyContact() ? fullName() : jobFullName();
}

QString KQContactHelper::nameForSort()
{
    const int generation = KQPreferences::nameOrderGeneration();
    if (!m_sortName || m_sortNameGeneration != generation) {
        m_sortName = kqSortKey(displayName());
        m_sortNameGeneration = generation;
    }
    return *m_sortName;
}

void KQContactHelper::resetNameForSort()
{
    m_sortName.reset();
}

bool KQContactHelper::nameIsEmpty() const
{
    return isEmptyText(namePrefix()) && isEmptyText(givenName()) && isEmptyText(middleName()) &&
           isEmptyText(familyName()) && isEmptyText(nameSuffix());
}

bool KQContactHelper::phoneticNameIsEmpty() const
{
    return isEmptyText(phoneticGivenName()) && isEmptyText(phoneticMiddleName()) && isEmptyText(phoneticFamilyName());
}

std::optional<QString> KQContactHelper::birthdayString() const
{
    const auto date = birthday();
    if (!date)
        return std::nullopt;
    return QStringLiteral("%1/%2/%3")
        .arg(date->year.value_or(0))
        .arg(date->month.value_or(0))
        .arg(date->day.value_or(0));
}

QString KQContactHelper::info()
{
    const QString name = fullName();
    QString text = QStringLiteral("Name : %1\n").arg(name.isEmpty() ? QStringLiteral("No Name") : name);
    text += QStringLiteral("Phone : %1\n").arg(firstPhoneNumber());
    text += QStringLiteral("Email : %1\n").arg(firstEmail());
    text += QStringLiteral("Address : ");
    QString address = firstAddress();
    text += address.replace(QLatin1Char('\n'), QStringLiteral("  "));
    return text;
}

QString KQContactHelper::firstPhoneNumber()
{
    const auto first =
        std::dynamic_pointer_cast<KQLabeledPhoneNumber>(propertyPhoneNumbers()->firstLabeledValueHelper());
    return first ? first->phoneNumberStringValue() : QString();
}

QString KQContactHelper::firstEmail()
{
    const auto first = std::dynamic_pointer_cast<KQLabeledEmail>(propertyEmails()->firstLabeledValueHelper());
    return first ? first->email() : QString();
}

QString KQContactHelper::firstAddress()
{
    const auto first =
        std::dynamic_pointer_cast<KQLabeledPostalAddress>(propertyPostalAddress()->firstLabeledValueHelper());
    return first ? first->formatPostalAddresses() : QString();
}

// ---------------------------------------------------------------- image

QByteArray KQContactHelper::iconData() const
{
    const CNContactPtr contact = effectiveContact();
    const CNContactData& d = contact->data();
    if (contact->isKeyAvailable(CNKeyId::ImageData) && !d.imageData.isEmpty())
        return d.imageData;
    if (contact->isKeyAvailable(CNKeyId::ThumbnailImageData))
        return d.thumbnailImageData;
    return {};
}

QImage KQContactHelper::icon() const
{
    const QByteArray data = iconData();
    if (!data.isEmpty()) {
        QImage image = QImage::fromData(data);
        if (!image.isNull())
            return image;
    }
    return defaultFaceImage();
}

QImage KQContactHelper::defaultFaceImage()
{
    // Never destroyed: workers may still draw records while the program exits.
    static const QImage& face = *[] {
        auto* made = new QImage(128, 128, QImage::Format_ARGB32_Premultiplied);
        QImage& image = *made;
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0xB8, 0xBE, 0xC6));
        painter.drawEllipse(QRectF(0, 0, 128, 128));
        painter.setBrush(QColor(0xF2, 0xF3, 0xF5));
        painter.drawEllipse(QRectF(40, 22, 48, 48));
        QPainterPath shoulders;
        shoulders.addEllipse(QRectF(18, 78, 92, 80));
        QPainterPath circle;
        circle.addEllipse(QRectF(0, 0, 128, 128));
        painter.drawPath(shoulders.intersected(circle));
        return made;
    }();
    return face;
}

QStringList KQContactHelper::allAvailableIconFormats()
{
    return {QStringLiteral("jpg"), QStringLiteral("jpeg"), QStringLiteral("jp2"), QStringLiteral("png"),
            QStringLiteral("bmp"), QStringLiteral("gif"),  QStringLiteral("tif"), QStringLiteral("tiff")};
}

// ---------------------------------------------------------------- categories

QStringList KQContactHelper::allAvailableCategoryNames()
{
    return {QStringLiteral("General"),        QStringLiteral("Prefix"),        QStringLiteral("Middle Name"),
            QStringLiteral("Suffix"),         QStringLiteral("Job Title"),     QStringLiteral("Department"),
            QStringLiteral("Nickname"),       QStringLiteral("Tags"),          QStringLiteral("PhoneNumbers"),
            QStringLiteral("Email"),          QStringLiteral("Phonetic Name"), QStringLiteral("Birthday"),
            QStringLiteral("Lunar Birthday"), QStringLiteral("URL"),           QStringLiteral("Instant Message"),
            QStringLiteral("Social"),         QStringLiteral("Address"),       QStringLiteral("Related Name"),
            QStringLiteral("Date"),           QStringLiteral("Note")};
}

QStringList KQContactHelper::defCategoryNames()
{
    return {QStringLiteral("General"), QStringLiteral("Tags"), QStringLiteral("PhoneNumbers"), QStringLiteral("Email")};
}

bool KQContactHelper::categoryPropertyIsEmpty(const QString& name)
{
    static const QHash<QString, QString>& propertyCategories = *new QHash<QString, QString>{
        {QStringLiteral("PhoneNumbers"), CNContactPhoneNumbersKey},
        {QStringLiteral("Email"), CNContactEmailAddressesKey},
        {QStringLiteral("URL"), CNContactUrlAddressesKey},
        {QStringLiteral("Address"), CNContactPostalAddressesKey},
        {QStringLiteral("Social"), CNContactSocialProfilesKey},
        {QStringLiteral("Instant Message"), CNContactInstantMessageAddressesKey},
        {QStringLiteral("Date"), CNContactDatesKey},
        {QStringLiteral("Related Name"), CNContactRelationsKey},
    };
    if (const auto it = propertyCategories.constFind(name); it != propertyCategories.constEnd())
        return propertyForKey(*it)->countOfLabeledValueHelpers() == 0;
    if (name == QLatin1String("General")) {
        // The icon is never absent (the default face stands in), so this category is never empty.
        return fullName().isEmpty() && jobFullName().isEmpty() && isEmptyText(nickName()) &&
               isEmptyText(namePrefix()) && isEmptyText(nameSuffix()) &&
               propertyPhoneNumbers()->countOfLabeledValueHelpers() == 0 && icon().isNull();
    }
    if (name == QLatin1String("Phonetic Name"))
        return phoneticNameIsEmpty();
    if (name == QLatin1String("Birthday"))
        return !birthday().has_value();
    if (name == QLatin1String("Lunar Birthday"))
        return !ngBirthday().has_value();
    if (name == QLatin1String("Note"))
        return !note().has_value();
    return true;
}

// ---------------------------------------------------------------- comparison

bool KQContactHelper::isEqual(const KQContactHelper* other) const
{
    return other != nullptr && typeid(*this) == typeid(*other) && identifier() == other->identifier();
}

bool KQContactHelper::isEqualTo(const QObject* object)
{
    auto* other = const_cast<KQContactHelper*>(qobject_cast<const KQContactHelper*>(object));
    if (other == nullptr)
        return false;
    if (!sameText(namePrefix(), other->namePrefix()) || !sameText(givenName(), other->givenName()) ||
        !sameText(middleName(), other->middleName()) || !sameText(familyName(), other->familyName()) ||
        !sameText(nameSuffix(), other->nameSuffix()) || !sameText(jobTitle(), other->jobTitle()) ||
        !sameText(department(), other->department()) || !sameText(organizationName(), other->organizationName()) ||
        !sameText(phoneticGivenName(), other->phoneticGivenName()) ||
        !sameText(phoneticMiddleName(), other->phoneticMiddleName()) ||
        !sameText(phoneticFamilyName(), other->phoneticFamilyName()) ||
        !sameText(phoneticOrgName(), other->phoneticOrgName()) || !sameText(nickName(), other->nickName()))
        return false;
    const auto sameProperty = [](KQLabeledValueProperty* a, KQLabeledValueProperty* b) {
        const bool hasA = a->countOfLabeledValueHelpers() > 0;
        const bool hasB = b->countOfLabeledValueHelpers() > 0;
        if (hasA && hasB)
            return a->isEqualTo(b);
        return hasA == hasB;
    };
    if (!sameProperty(propertyUrls(), other->propertyUrls()) ||
        !sameProperty(propertyEmails(), other->propertyEmails()) ||
        !sameProperty(propertyPostalAddress(), other->propertyPostalAddress()) ||
        !sameProperty(propertyPhoneNumbers(), other->propertyPhoneNumbers()) ||
        !sameProperty(propertySocial(), other->propertySocial()) ||
        !sameProperty(propertyDates(), other->propertyDates()))
        return false;
    if (birthday() != other->birthday() || ngBirthday() != other->ngBirthday())
        return false;
    if (!sameText(note(), other->note()))
        return false;
    return sameProperty(propertyRelation(), other->propertyRelation()) &&
           sameProperty(propertyInstantMsg(), other->propertyInstantMsg());
}

bool KQContactHelper::isEqualToName(KQContactHelper* other, int mask) const
{
    if (other == nullptr || mask == 0)
        return false;
    struct Part
    {
        int bit;
        std::optional<QString> (KQContactHelper::*read)() const;
    };
    static const Part parts[] = {{1, &KQContactHelper::namePrefix},
                                 {4, &KQContactHelper::givenName},
                                 {8, &KQContactHelper::middleName},
                                 {16, &KQContactHelper::familyName},
                                 {2, &KQContactHelper::nameSuffix}};
    bool someFilled = false;
    for (const Part& part : parts) {
        if ((mask & part.bit) == 0)
            continue;
        const auto mine = (this->*part.read)();
        const auto theirs = (other->*part.read)();
        const bool emptyMine = isEmptyText(mine);
        const bool emptyTheirs = isEmptyText(theirs);
        if (emptyMine != emptyTheirs)
            return false;
        if (!emptyMine) {
            if (*mine != *theirs)
                return false;
            someFilled = true;
        }
    }
    return someFilled;
}

bool KQContactHelper::labeledValueHelperValueEqualTo(const KQLabeledValueHelper* helper, const QString& text)
{
    if (const auto* url = qobject_cast<const KQLabeledURL*>(helper))
        return url->urlString() == text;
    if (const auto* email = qobject_cast<const KQLabeledEmail*>(helper))
        return email->email() == text;
    if (const auto* phone = qobject_cast<const KQLabeledPhoneNumber*>(helper))
        return phone->phoneNumberStringValue() == text;
    return false;
}

// ---------------------------------------------------------------- class operations

QString KQContactHelper::stringFromDateComponents(const std::optional<CNDateComponents>& components)
{
    if (!components || components->isEmpty())
        return {};
    QStringList parts;
    const auto add = [&parts](const std::optional<int>& value, const char* one, const char* many) {
        if (value)
            parts.append(QStringLiteral("%1 %2").arg(*value).arg(QLatin1String(*value == 1 ? one : many)));
    };
    add(components->year, "year", "years");
    add(components->month, "month", "months");
    add(components->day, "day", "days");
    add(components->hour, "hour", "hours");
    add(components->minute, "minute", "minutes");
    return QStringLiteral("About ") + parts.join(QStringLiteral(", "));
}

QStringList KQContactHelper::availableNonGregorianCalenderIdentifiers()
{
    return {CNCalendarIdentifierHebrew, CNCalendarIdentifierIslamic, CNCalendarIdentifierChinese};
}

CNDateComponents KQContactHelper::makeCurrentDateComponentWithCalenderIdentifier(const QString& calendarIdentifier)
{
    CNDateComponents parts;
    const bool gregorian = calendarIdentifier.isEmpty() || calendarIdentifier == CNCalendarIdentifierGregorian;
    if (gregorian) {
        const QDate today = QDate::currentDate();
        parts.year = today.year();
        parts.month = today.month();
        parts.day = today.day();
        return parts;
    }
    UErrorCode status = U_ZERO_ERROR;
    const std::string localeId = "en@calendar=" + calendarIdentifier.toStdString();
    std::unique_ptr<icu::Calendar> calendar(icu::Calendar::createInstance(icu::Locale(localeId.c_str()), status));
    if (U_FAILURE(status) || !calendar)
        return parts;
    // The running year count (the Chinese calendar's plain year restarts every sixty years).
    parts.year = calendar->get(UCAL_EXTENDED_YEAR, status);
    parts.month = calendar->get(UCAL_MONTH, status) + 1;
    parts.day = calendar->get(UCAL_DATE, status);
    parts.isLeapMonth = calendar->get(UCAL_IS_LEAP_MONTH, status) != 0;
    parts.calendarIdentifier = calendarIdentifier;
    if (U_FAILURE(status))
        return CNDateComponents();
    return parts;
}

KQLabeledValueHelperPtr KQContactHelper::labeledValueHelperWithKey(const KQAnyLabeledValue& value, const QString& key)
{
    if (key == CNContactDatesKey)
        return std::make_shared<KQLabeledDateComponents>(value);
    if (key == CNContactRelationsKey)
        return std::make_shared<KQLabeledRelation>(value);
    if (key == CNContactPhoneNumbersKey)
        return std::make_shared<KQLabeledPhoneNumber>(value);
    if (key == CNContactUrlAddressesKey)
        return std::make_shared<KQLabeledURL>(value);
    if (key == CNContactEmailAddressesKey)
        return std::make_shared<KQLabeledEmail>(value);
    if (key == CNContactPostalAddressesKey)
        return std::make_shared<KQLabeledPostalAddress>(value);
    if (key == CNContactSocialProfilesKey)
        return std::make_shared<KQLabeledSocial>(value);
    if (key == CNContactInstantMessageAddressesKey)
        return std::make_shared<KQLabeledInstantMsg>(value);
    return nullptr;
}

// ---------------------------------------------------------------- archive

QStringList KQContactHelper::archiveClassNames() const
{
    return {QStringLiteral("KQContactHelper"), QStringLiteral("NSObject")};
}

void KQContactHelper::encodeWithCoder(KQKeyedArchiver& coder) const
{
    coder.encodeObject(effectiveContact().get(), QStringLiteral("contact"));
    coder.encodeBool(allKeysLoaded(), QStringLiteral("allKeysLoaded"));
}

void KQContactHelper::registerArchiveClass()
{
    CNContact::registerArchiveClasses();
    KQRegisterArchiveClass(QStringLiteral("KQContactHelper"), [](KQKeyedUnarchiver& coder) -> KQCodingPtr {
        CNContactPtr contact =
            coder.decodeObjectOfClass<CNContact>(CNContact::archiveClasses(), QStringLiteral("contact"));
        if (!contact || coder.failed())
            contact = std::make_shared<CNContact>();
        // A decoded record always starts partly loaded.
        return std::make_shared<KQContactHelper>(contact, false);
    });
}
