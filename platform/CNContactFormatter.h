#pragma once

#include "platform/CNContact.h"

enum class CNContactFormatterStyle : int { FullName = 0, PhoneticFullName = 1 };

// Formats a contact's name in one line.
class CNContactFormatter
{
public:
    // The keys a contact must have been fetched with to be formatted in style.
    static QStringList descriptorForRequiredKeysForStyle(CNContactFormatterStyle style);
    // Given-name-first order; an organisation shows its organisation name. Empty when the keys
    // were not fetched or every part is empty.
    static QString stringFromContact(const CNContact& contact, CNContactFormatterStyle style);
};
