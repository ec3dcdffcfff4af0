#include "model/KQAddressFormatManager.h"

#include "platform/CNContactKeys.h"
#include "platform/CNPostalAddressFormatter.h"
#include "model/KQLabeledPostalAddress.h"
#include "store/KQPreferences.h"

KQAddressFormatManager& KQAddressFormatManager::sharedObject()
{
    static KQAddressFormatManager manager;
    return manager;
}

KQAddressFormatManager::KQAddressFormatManager()
{
    m_template.street = CNPostalAddressStreetKey;
    m_template.city = CNPostalAddressCityKey;
    m_template.state = CNPostalAddressStateKey;
    m_template.postalCode = CNPostalAddressPostalCodeKey;
    m_template.country = CNPostalAddressCountryKey;
    m_template.subAdministrativeArea = CNPostalAddressSubAdministrativeAreaKey;
}

QStringList KQAddressFormatManager::adressFormatKeyWithCountryCode(const QString& isoCountryCode)
{
    QString code = isoCountryCode;
    if (code.isEmpty()) {
        if (const auto name = KQPreferences::sharePreferences()->defaultAddressFormatContryRegionName())
            code = KQLabeledPostalAddress::countryOrRegionCodeFromName(*name).value_or(QString());
    }
    std::lock_guard lock(m_mutex);
    m_template.isoCountryCode = code;
    return keyArrayWithString(formatAddressStringWithAddress(m_template));
}

QStringList KQAddressFormatManager::keyArrayWithString(const QString& text)
{
    QString lines = text;
    lines.replace(QLatin1Char(' '), QLatin1Char('\n'));
    return lines.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QString KQAddressFormatManager::formatAddressStringWithAddress(const CNPostalAddress& address)
{
    return CNPostalAddressFormatter::stringFromPostalAddress(address);
}
