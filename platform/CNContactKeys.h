#pragma once
// Names of the contact fields. The same names identify fields in fetch key sets, in archives,
// in exports and in the editor, so their texts never change.

#include <QString>
#include <QStringList>

#include <optional>

extern const QString CNContactIdentifierKey;
extern const QString CNContactTypeKey;
extern const QString CNContactNamePrefixKey;
extern const QString CNContactGivenNameKey;
extern const QString CNContactMiddleNameKey;
extern const QString CNContactFamilyNameKey;
extern const QString CNContactPreviousFamilyNameKey;
extern const QString CNContactNameSuffixKey;
extern const QString CNContactNicknameKey;
extern const QString CNContactOrganizationNameKey;
extern const QString CNContactDepartmentNameKey;
extern const QString CNContactJobTitleKey;
extern const QString CNContactPhoneticGivenNameKey;
extern const QString CNContactPhoneticMiddleNameKey;
extern const QString CNContactPhoneticFamilyNameKey;
extern const QString CNContactPhoneticOrganizationNameKey;
extern const QString CNContactBirthdayKey;
extern const QString CNContactNonGregorianBirthdayKey;
extern const QString CNContactNoteKey;
extern const QString CNContactImageDataKey;
extern const QString CNContactThumbnailImageDataKey;
extern const QString CNContactImageDataAvailableKey;
extern const QString CNContactPhoneNumbersKey;
extern const QString CNContactEmailAddressesKey;
extern const QString CNContactPostalAddressesKey;
extern const QString CNContactDatesKey;
extern const QString CNContactUrlAddressesKey;
extern const QString CNContactRelationsKey;
extern const QString CNContactSocialProfilesKey;
extern const QString CNContactInstantMessageAddressesKey;

extern const QString CNPostalAddressStreetKey;
extern const QString CNPostalAddressSubLocalityKey;
extern const QString CNPostalAddressCityKey;
extern const QString CNPostalAddressSubAdministrativeAreaKey;
extern const QString CNPostalAddressStateKey;
extern const QString CNPostalAddressPostalCodeKey;
extern const QString CNPostalAddressCountryKey;
extern const QString CNPostalAddressISOCountryCodeKey;

// Dense index of every contact key, used for the per-contact "fetched keys" bit set.
enum class CNKeyId : int {
    Identifier,
    Type,
    NamePrefix,
    GivenName,
    MiddleName,
    FamilyName,
    PreviousFamilyName,
    NameSuffix,
    Nickname,
    OrganizationName,
    DepartmentName,
    JobTitle,
    PhoneticGivenName,
    PhoneticMiddleName,
    PhoneticFamilyName,
    PhoneticOrganizationName,
    Birthday,
    NonGregorianBirthday,
    Note,
    ImageData,
    ThumbnailImageData,
    ImageDataAvailable,
    PhoneNumbers,
    EmailAddresses,
    PostalAddresses,
    Dates,
    UrlAddresses,
    Relations,
    SocialProfiles,
    InstantMessageAddresses,
    Count
};

constexpr int CNKeyCount = static_cast<int>(CNKeyId::Count);

// The key text of an index, and the index of a key text (none for texts that name no key).
const QString& CNKeyName(CNKeyId key);
std::optional<CNKeyId> CNKeyIdForName(const QString& key);

// Every contact key, in the order of CNKeyId.
QStringList CNAllContactKeys();

// The English display name of a contact key ("First name", "Phone"); the key itself when unknown.
QString CNContactLocalizedStringForKey(const QString& key);
