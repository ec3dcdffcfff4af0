#include "model/KQAnyLabeledValue.h"

#include "platform/CNMutableContact.h"

QString KQLabelOf(const KQAnyLabeledValue& value)
{
    return std::visit(
        [](const auto& v) -> QString {
            if constexpr (std::is_same_v<std::decay_t<decltype(v)>, std::monostate>)
                return {};
            else
                return v.label();
        },
        value);
}

namespace {

template <typename T> std::vector<KQAnyLabeledValue> wrap(const std::vector<CNLabeledValue<T>>& list)
{
    std::vector<KQAnyLabeledValue> out;
    out.reserve(list.size());
    for (const auto& v : list)
        out.emplace_back(v);
    return out;
}

template <typename T> std::vector<CNLabeledValue<T>> unwrap(const std::vector<KQAnyLabeledValue>& values)
{
    std::vector<CNLabeledValue<T>> out;
    out.reserve(values.size());
    for (const auto& v : values) {
        if (const auto* typed = std::get_if<CNLabeledValue<T>>(&v))
            out.push_back(*typed);
    }
    return out;
}

} // namespace

std::vector<KQAnyLabeledValue> KQLabeledValuesOfContact(const CNContact& contact, const QString& key)
{
    const auto id = CNKeyIdForName(key);
    if (!id || !contact.isKeyAvailable(*id))
        return {};
    const CNContactData& d = contact.data();
    switch (*id) {
    case CNKeyId::PhoneNumbers:
        return wrap(d.phoneNumbers);
    case CNKeyId::EmailAddresses:
        return wrap(d.emailAddresses);
    case CNKeyId::UrlAddresses:
        return wrap(d.rare().urlAddresses);
    case CNKeyId::PostalAddresses:
        return wrap(d.postalAddresses);
    case CNKeyId::Dates:
        return wrap(d.rare().dates);
    case CNKeyId::Relations:
        return wrap(d.rare().contactRelations);
    case CNKeyId::SocialProfiles:
        return wrap(d.rare().socialProfiles);
    case CNKeyId::InstantMessageAddresses:
        return wrap(d.rare().instantMessageAddresses);
    default:
        return {};
    }
}

void KQSetLabeledValuesOnContact(CNMutableContact& contact, const QString& key,
                                 const std::vector<KQAnyLabeledValue>& values)
{
    const auto id = CNKeyIdForName(key);
    if (!id)
        return;
    switch (*id) {
    case CNKeyId::PhoneNumbers:
        contact.setPhoneNumbers(unwrap<CNPhoneNumber>(values));
        break;
    case CNKeyId::EmailAddresses:
        contact.setEmailAddresses(unwrap<QString>(values));
        break;
    case CNKeyId::UrlAddresses:
        contact.setUrlAddresses(unwrap<QString>(values));
        break;
    case CNKeyId::PostalAddresses:
        contact.setPostalAddresses(unwrap<CNPostalAddress>(values));
        break;
    case CNKeyId::Dates:
        contact.setDates(unwrap<CNDateComponents>(values));
        break;
    case CNKeyId::Relations:
        contact.setContactRelations(unwrap<CNContactRelation>(values));
        break;
    case CNKeyId::SocialProfiles:
        contact.setSocialProfiles(unwrap<CNSocialProfile>(values));
        break;
    case CNKeyId::InstantMessageAddresses:
        contact.setInstantMessageAddresses(unwrap<CNInstantMessageAddress>(values));
        break;
    default:
        break;
    }
}

bool KQIsLabeledValueKey(const QString& key)
{
    return key == CNContactPhoneNumbersKey || key == CNContactEmailAddressesKey || key == CNContactUrlAddressesKey ||
           key == CNContactPostalAddressesKey || key == CNContactDatesKey || key == CNContactRelationsKey ||
           key == CNContactSocialProfilesKey || key == CNContactInstantMessageAddressesKey;
}
