#include "platform/CNContactKeys.h"

#include <QHash>

const QString CNContactIdentifierKey = QStringLiteral("identifier");
const QString CNContactTypeKey = QStringLiteral("contactType");
const QString CNContactNamePrefixKey = QStringLiteral("namePrefix");
const QString CNContactGivenNameKey = QStringLiteral("givenName");
const QString CNContactMiddleNameKey = QStringLiteral("middleName");
const QString CNContactFamilyNameKey = QStringLiteral("familyName");
const QString CNContactPreviousFamilyNameKey = QStringLiteral("previousFamilyName");
const QString CNContactNameSuffixKey = QStringLiteral("nameSuffix");
const QString CNContactNicknameKey = QStringLiteral("nickname");
const QString CNContactOrganizationNameKey = QStringLiteral("organizationName");
const QString CNContactDepartmentNameKey = QStringLiteral("departmentName");
const QString CNContactJobTitleKey = QStringLiteral("jobTitle");
const QString CNContactPhoneticGivenNameKey = QStringLiteral("phoneticGivenName");
const QString CNContactPhoneticMiddleNameKey = QStringLiteral("phoneticMiddleName");
const QString CNContactPhoneticFamilyNameKey = QStringLiteral("phoneticFamilyName");
const QString CNContactPhoneticOrganizationNameKey = QStringLiteral("phoneticOrganizationName");
const QString CNContactBirthdayKey = QStringLiteral("birthday");
const QString CNContactNonGregorianBirthdayKey = QStringLiteral("nonGregorianBirthday");
const QString CNContactNoteKey = QStringLiteral("note");
const QString CNContactImageDataKey = QStringLiteral("imageData");
const QString CNContactThumbnailImageDataKey = QStringLiteral("thumbnailImageData");
const QString CNContactImageDataAvailableKey = QStringLiteral("imageDataAvailable");
const QString CNContactPhoneNumbersKey = QStringLiteral("phoneNumbers");
const QString CNContactEmailAddressesKey = QStringLiteral("emailAddresses");
const QString CNContactPostalAddressesKey = QStringLiteral("postalAddresses");
const QString CNContactDatesKey = QStringLiteral("dates");
const QString CNContactUrlAddressesKey = QStringLiteral("urlAddresses");
const QString CNContactRelationsKey = QStringLiteral("contactRelations");
const QString CNContactSocialProfilesKey = QStringLiteral("socialProfiles");
const QString CNContactInstantMessageAddressesKey = QStringLiteral("instantMessageAddresses");

const QString CNPostalAddressStreetKey = QStringLiteral("street");
const QString CNPostalAddressSubLocalityKey = QStringLiteral("subLocality");
const QString CNPostalAddressCityKey = QStringLiteral("city");
const QString CNPostalAddressSubAdministrativeAreaKey = QStringLiteral("subAdministrativeArea");
const QString CNPostalAddressStateKey = QStringLiteral("state");
const QString CNPostalAddressPostalCodeKey = QStringLiteral("postalCode");
const QString CNPostalAddressCountryKey = QStringLiteral("country");
const QString CNPostalAddressISOCountryCodeKey = QStringLiteral("ISOCountryCode");

namespace {

struct KeyEntry
{
    const QString* key;
    const char* display;
};

// In CNKeyId order.
const KeyEntry& entry(int index)
{
    static const KeyEntry entries[CNKeyCount] = {
        {&CNContactIdentifierKey, "Identifier"},
        {&CNContactTypeKey, "Contact type"},
        {&CNContactNamePrefixKey, "Prefix"},
        {&CNContactGivenNameKey, "First name"},
        {&CNContactMiddleNameKey, "Middle name"},
        {&CNContactFamilyNameKey, "Last name"},
        {&CNContactPreviousFamilyNameKey, "Maiden name"},
        {&CNContactNameSuffixKey, "Suffix"},
        {&CNContactNicknameKey, "Nickname"},
        {&CNContactOrganizationNameKey, "Company"},
        {&CNContactDepartmentNameKey, "Department"},
        {&CNContactJobTitleKey, "Job title"},
        {&CNContactPhoneticGivenNameKey, "Phonetic first name"},
        {&CNContactPhoneticMiddleNameKey, "Phonetic middle name"},
        {&CNContactPhoneticFamilyNameKey, "Phonetic last name"},
        {&CNContactPhoneticOrganizationNameKey, "Phonetic company name"},
        {&CNContactBirthdayKey, "Birthday"},
        {&CNContactNonGregorianBirthdayKey, "Alternate birthday"},
        {&CNContactNoteKey, "Note"},
        {&CNContactImageDataKey, "Image"},
        {&CNContactThumbnailImageDataKey, "Thumbnail"},
        {&CNContactImageDataAvailableKey, "Image available"},
        {&CNContactPhoneNumbersKey, "Phone"},
        {&CNContactEmailAddressesKey, "Email"},
        {&CNContactPostalAddressesKey, "Address"},
        {&CNContactDatesKey, "Date"},
        {&CNContactUrlAddressesKey, "URL"},
        {&CNContactRelationsKey, "Related name"},
        {&CNContactSocialProfilesKey, "Social profile"},
        {&CNContactInstantMessageAddressesKey, "Instant message"},
    };
    return entries[index];
}

} // namespace

const QString& CNKeyName(CNKeyId key)
{
    return *entry(static_cast<int>(key)).key;
}

std::optional<CNKeyId> CNKeyIdForName(const QString& key)
{
    // Never destroyed: a worker may still look a key up while the program exits.
    static const QHash<QString, int>& index = *[] {
        auto* h = new QHash<QString, int>;
        for (int i = 0; i < CNKeyCount; ++i)
            h->insert(*entry(i).key, i);
        return h;
    }();
    const auto it = index.constFind(key);
    if (it == index.constEnd())
        return std::nullopt;
    return static_cast<CNKeyId>(*it);
}

QStringList CNAllContactKeys()
{
    QStringList keys;
    keys.reserve(CNKeyCount);
    for (int i = 0; i < CNKeyCount; ++i)
        keys.append(*entry(i).key);
    return keys;
}

QString CNContactLocalizedStringForKey(const QString& key)
{
    const auto id = CNKeyIdForName(key);
    if (!id)
        return key;
    return QString::fromLatin1(entry(static_cast<int>(*id)).display);
}
