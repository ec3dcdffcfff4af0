#pragma once

#include "platform/CNPostalAddress.h"

#include <QStringList>
#include <mutex>

// The order of the address fields for a country, derived from the mailing-style formatter by
// formatting an address whose field values are the field key names.
class KQAddressFormatManager
{
public:
    static KQAddressFormatManager& sharedObject();

    // Field key names in the country's order. An empty code uses the preferred address format
    // (the country named by the preference).
    QStringList adressFormatKeyWithCountryCode(const QString& isoCountryCode);
    // Spaces become line breaks; the non-empty pieces, in order.
    static QStringList keyArrayWithString(const QString& text);
    static QString formatAddressStringWithAddress(const CNPostalAddress& address);

    const CNPostalAddress& templateAddress() const { return m_template; }

private:
    KQAddressFormatManager();

    std::mutex m_mutex;
    CNPostalAddress m_template;
};
