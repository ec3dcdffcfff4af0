#include "exchange/KQExportKeys.h"

#include "platform/CNPostalAddressFormatter.h"

#include <QSet>

const QString KQPropertyKeyName = QStringLiteral("Name");
const QString KQPropertyKeyPhoneticName = QStringLiteral("Phonetic Name");
const QString KQPropertyKeyAddress = QStringLiteral("Address");
const QString KQPropertyKeyTags = QStringLiteral("Tags");
const QString KQPropertyKeyUnknownColumn = QStringLiteral("unknown column");

namespace {

template <typename T, typename Text>
void append(std::vector<KQExportEntry>& out, const std::vector<CNLabeledValue<T>>& values, Text text)
{
    out.reserve(out.size() + values.size());
    for (const auto& value : values)
        out.push_back({value.label(), text(value.value()), nullptr});
}

// The same texts the record's entries show (their valueString).
QString socialText(const CNSocialProfile& profile)
{
    QString text;
    if (!profile.username.isEmpty())
        text = QStringLiteral("user name ") + profile.username;
    if (!profile.urlString.isEmpty())
        text += (text.isEmpty() ? QStringLiteral("url ") : QStringLiteral("|url ")) + profile.urlString;
    return text;
}

QString instantMessageText(const CNInstantMessageAddress& address)
{
    if (address.service.isEmpty())
        return address.username;
    if (address.username.isEmpty())
        return address.service;
    return address.service + QLatin1Char(' ') + address.username;
}

QString dateText(const CNDateComponents& date)
{
    return QStringLiteral("%1/%2/%3").arg(date.year.value_or(0)).arg(date.month.value_or(0)).arg(date.day.value_or(0));
}

} // namespace

namespace KQExportKeys {

bool isLabeledKey(const QString& key)
{
    static const QSet<QString> keys = {CNContactPhoneNumbersKey,
                                       CNContactEmailAddressesKey,
                                       CNContactUrlAddressesKey,
                                       CNContactSocialProfilesKey,
                                       CNContactDatesKey,
                                       CNContactRelationsKey,
                                       CNContactInstantMessageAddressesKey,
                                       CNContactPostalAddressesKey,
                                       KQPropertyKeyAddress};
    return keys.contains(key);
}

QString keyText(const QString& key)
{
    return CNContactLocalizedStringForKey(key);
}

QString labelText(const QString& label)
{
    if (label.isEmpty())
        return QStringLiteral("Other");
    const QString text = CNLocalizedStringForLabel(label);
    return text.isEmpty() ? label : text;
}

std::vector<KQExportEntry> labeledEntries(const CNContact& contact, const QString& key)
{
    std::vector<KQExportEntry> out;
    const std::optional<CNKeyId> id =
        key == KQPropertyKeyAddress ? std::optional<CNKeyId>(CNKeyId::PostalAddresses) : CNKeyIdForName(key);
    if (!id || !contact.isKeyAvailable(*id))
        return out;
    const CNContactData& d = contact.data();
    const auto same = [](const QString& text) { return text; };
    switch (*id) {
    case CNKeyId::PhoneNumbers:
        append(out, d.phoneNumbers, [](const CNPhoneNumber& phone) { return phone.stringValue(); });
        break;
    case CNKeyId::EmailAddresses:
        append(out, d.emailAddresses, same);
        break;
    case CNKeyId::UrlAddresses:
        append(out, d.rare().urlAddresses, same);
        break;
    case CNKeyId::SocialProfiles:
        append(out, d.rare().socialProfiles, socialText);
        break;
    case CNKeyId::Dates:
        append(out, d.rare().dates,
               [](const CNDateComponents& date) { return KQContactHelper::stringFromDateComponents(date); });
        break;
    case CNKeyId::Relations:
        append(out, d.rare().contactRelations, [](const CNContactRelation& relation) { return relation.name; });
        break;
    case CNKeyId::InstantMessageAddresses:
        append(out, d.rare().instantMessageAddresses, instantMessageText);
        break;
    case CNKeyId::PostalAddresses:
        out.reserve(d.postalAddresses.size());
        for (const auto& value : d.postalAddresses)
            out.push_back(
                {value.label(), CNPostalAddressFormatter::stringFromPostalAddress(value.value()), &value.value()});
        break;
    default:
        break;
    }
    return out;
}

QString textValue(const CNContact& contact, const QString& key)
{
    const std::optional<CNKeyId> id = CNKeyIdForName(key);
    if (!id || !contact.isKeyAvailable(*id))
        return {};
    const CNContactData& d = contact.data();
    switch (*id) {
    case CNKeyId::Identifier:
        return d.identifier;
    case CNKeyId::NamePrefix:
        return d.rare().namePrefix;
    case CNKeyId::GivenName:
        return d.givenName;
    case CNKeyId::MiddleName:
        return d.rare().middleName;
    case CNKeyId::FamilyName:
        return d.familyName;
    case CNKeyId::PreviousFamilyName:
        return d.rare().previousFamilyName;
    case CNKeyId::NameSuffix:
        return d.rare().nameSuffix;
    case CNKeyId::Nickname:
        return d.rare().nickname;
    case CNKeyId::OrganizationName:
        return d.organizationName;
    case CNKeyId::DepartmentName:
        return d.departmentName;
    case CNKeyId::JobTitle:
        return d.jobTitle;
    case CNKeyId::PhoneticGivenName:
        return d.rare().phoneticGivenName;
    case CNKeyId::PhoneticMiddleName:
        return d.rare().phoneticMiddleName;
    case CNKeyId::PhoneticFamilyName:
        return d.rare().phoneticFamilyName;
    case CNKeyId::PhoneticOrganizationName:
        return d.rare().phoneticOrganizationName;
    case CNKeyId::Note:
        return d.note;
    case CNKeyId::Birthday:
        return d.rare().birthday ? dateText(*d.rare().birthday) : QString();
    case CNKeyId::NonGregorianBirthday:
        return d.rare().nonGregorianBirthday ? dateText(*d.rare().nonGregorianBirthday) : QString();
    case CNKeyId::Type:
        return QString::number(static_cast<int>(d.contactType));
    default:
        return {};
    }
}

bool setTextValue(CNMutableContact& contact, const QString& key, const QString& value)
{
    const std::optional<CNKeyId> id = CNKeyIdForName(key);
    if (!id)
        return false;
    switch (*id) {
    case CNKeyId::NamePrefix:
        contact.setNamePrefix(value);
        return true;
    case CNKeyId::GivenName:
        contact.setGivenName(value);
        return true;
    case CNKeyId::MiddleName:
        contact.setMiddleName(value);
        return true;
    case CNKeyId::FamilyName:
        contact.setFamilyName(value);
        return true;
    case CNKeyId::PreviousFamilyName:
        contact.setPreviousFamilyName(value);
        return true;
    case CNKeyId::NameSuffix:
        contact.setNameSuffix(value);
        return true;
    case CNKeyId::Nickname:
        contact.setNickname(value);
        return true;
    case CNKeyId::OrganizationName:
        contact.setOrganizationName(value);
        return true;
    case CNKeyId::DepartmentName:
        contact.setDepartmentName(value);
        return true;
    case CNKeyId::JobTitle:
        contact.setJobTitle(value);
        return true;
    case CNKeyId::PhoneticGivenName:
        contact.setPhoneticGivenName(value);
        return true;
    case CNKeyId::PhoneticMiddleName:
        contact.setPhoneticMiddleName(value);
        return true;
    case CNKeyId::PhoneticFamilyName:
        contact.setPhoneticFamilyName(value);
        return true;
    case CNKeyId::PhoneticOrganizationName:
        contact.setPhoneticOrganizationName(value);
        return true;
    case CNKeyId::Note:
        contact.setNote(value);
        return true;
    default:
        return false;
    }
}

QStringList allPropertyKeys(bool splitName, bool mergeAddress)
{
    QStringList keys;
    if (splitName)
        keys << CNContactNamePrefixKey << CNContactGivenNameKey << CNContactMiddleNameKey << CNContactFamilyNameKey
             << CNContactNameSuffixKey << CNContactPhoneticGivenNameKey << CNContactPhoneticMiddleNameKey
             << CNContactPhoneticFamilyNameKey;
    else
        keys << KQPropertyKeyName << KQPropertyKeyPhoneticName;
    keys << KQPropertyKeyTags << CNContactPhoneNumbersKey << CNContactEmailAddressesKey << CNContactBirthdayKey
         << CNContactJobTitleKey << CNContactDepartmentNameKey << CNContactOrganizationNameKey
         << CNContactUrlAddressesKey << CNContactNonGregorianBirthdayKey
         << (mergeAddress ? KQPropertyKeyAddress : CNContactPostalAddressesKey) << CNContactDatesKey
         << CNContactSocialProfilesKey << CNContactRelationsKey << CNContactInstantMessageAddressesKey
         << CNContactNoteKey;
    return keys;
}

QStringList availablePropertyKeys(const std::vector<KQContactHelperPtr>& contacts, bool splitName, bool mergeAddress)
{
    const QStringList all = allPropertyKeys(splitName, mergeAddress);
    QSet<QString> present;
    if (!splitName)
        present.insert(KQPropertyKeyName);
    for (const KQContactHelperPtr& record : contacts) {
        if (present.size() == all.size())
            break;
        const CNContactPtr contact = record->effectiveContact();
        for (const QString& key : all) {
            if (present.contains(key))
                continue;
            bool has = false;
            if (key == KQPropertyKeyPhoneticName)
                has = !record->phoneticFullName().isEmpty();
            else if (key == KQPropertyKeyTags)
                has = !record->tags().empty();
            else if (isLabeledKey(key))
                has = !labeledEntries(*contact, key).empty();
            else
                has = !textValue(*contact, key).isEmpty();
            if (has)
                present.insert(key);
        }
    }
    QStringList keys;
    for (const QString& key : all)
        if (present.contains(key))
            keys.append(key);
    return keys;
}

QStringList generalPropertyKeys(bool splitName, bool mergeAddress)
{
    QStringList keys;
    if (splitName)
        keys << CNContactGivenNameKey << CNContactMiddleNameKey << CNContactFamilyNameKey;
    else
        keys << KQPropertyKeyName;
    keys << CNContactPhoneNumbersKey << (mergeAddress ? KQPropertyKeyAddress : CNContactPostalAddressesKey);
    return keys;
}

} // namespace KQExportKeys
