#pragma once
// One store labelled value of any of the eight multi-valued fields. E-mail addresses and URLs both
// hold text; which field an entry belongs to is known from its property's key.

#include "platform/CNContact.h"

#include <variant>

using KQAnyLabeledValue =
    std::variant<std::monostate, CNLabeledValue<CNPhoneNumber>, CNLabeledValue<QString>,
                 CNLabeledValue<CNPostalAddress>, CNLabeledValue<CNDateComponents>, CNLabeledValue<CNContactRelation>,
                 CNLabeledValue<CNSocialProfile>, CNLabeledValue<CNInstantMessageAddress>>;

inline bool KQIsNone(const KQAnyLabeledValue& value)
{
    return std::holds_alternative<std::monostate>(value);
}

// The label of an entry; empty for none.
QString KQLabelOf(const KQAnyLabeledValue& value);

// The entries of a contact's field, or an empty list when the field was not fetched or the key
// names no multi-valued field.
std::vector<KQAnyLabeledValue> KQLabeledValuesOfContact(const CNContact& contact, const QString& key);
// Writes a field's entries into a contact; entries of another type than the field's are skipped.
void KQSetLabeledValuesOnContact(CNMutableContact& contact, const QString& key,
                                 const std::vector<KQAnyLabeledValue>& values);
// True for the eight multi-valued field keys.
bool KQIsLabeledValueKey(const QString& key);
