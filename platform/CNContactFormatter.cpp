#include "platform/CNContactFormatter.h"

QStringList CNContactFormatter::descriptorForRequiredKeysForStyle(CNContactFormatterStyle style)
{
    if (style == CNContactFormatterStyle::PhoneticFullName)
        return {CNContactPhoneticGivenNameKey, CNContactPhoneticMiddleNameKey, CNContactPhoneticFamilyNameKey,
                CNContactPhoneticOrganizationNameKey, CNContactTypeKey};
    return {CNContactTypeKey,       CNContactNamePrefixKey,   CNContactGivenNameKey,        CNContactMiddleNameKey,
            CNContactFamilyNameKey, CNContactNameSuffixKey,   CNContactOrganizationNameKey, CNContactNicknameKey};
}

QString CNContactFormatter::stringFromContact(const CNContact& contact, CNContactFormatterStyle style)
{
    if (!contact.areKeysAvailable(descriptorForRequiredKeysForStyle(style)))
        return {};
    const CNContactData& d = contact.data();
    QStringList parts;
    const auto add = [&parts](const QString& part) {
        if (!part.isEmpty())
            parts.append(part);
    };
    if (style == CNContactFormatterStyle::PhoneticFullName) {
        if (d.contactType == CNContactType::Organization)
            return d.rare().phoneticOrganizationName;
        add(d.rare().phoneticGivenName);
        add(d.rare().phoneticMiddleName);
        add(d.rare().phoneticFamilyName);
    } else {
        if (d.contactType == CNContactType::Organization)
            return d.organizationName;
        add(d.rare().namePrefix);
        add(d.givenName);
        add(d.rare().middleName);
        add(d.familyName);
        add(d.rare().nameSuffix);
    }
    return parts.join(QLatin1Char(' '));
}
