#pragma once
// Formats a postal address as the lines a letter to that country carries.
//
// Each country's format is a field-order template of our own: the lines of the address, each a list
// of field key names ("street", "subLocality", "city", "subAdministrativeArea", "state",
// "postalCode", "country"). The templates follow the national address formats that the postal
// administrations publish for mail addressed to their country (street and house line, then the
// line with postal code and town in the order the country writes them, region where it is part of
// the address, country last). Punctuation the postal rules use ("Paris CEDEX", "Kadikoy/Istanbul",
// "Springfield, IL") is deliberately not produced: the output holds only field values, spaces and
// line breaks, so that formatting an address whose values are the key names yields the field order.
//
// Choices worth knowing:
// - China, Japan, the two Koreas, Taiwan, Iran, Belarus and Kazakhstan are written in their native
//   large-to-small order (Japan and China: postal code / province, city, district / street /
//   country). Hong Kong uses its English order (street / district / city / region).
// - Fields a country does not use in its addresses (a state for Germany, a sub-locality for the
//   United States) are not written.
// - A code that is not in the table uses the fallback format
//   "street / subLocality / city state postalCode / country".
//
// The country is chosen by the address's isoCountryCode: two or three letters, any letter case,
// surrounding spaces ignored. When the code is empty the territory of the user's system locale
// (QLocale::system()) decides; a locale without a territory (the "C" locale) gives the fallback.

#include "platform/CNPostalAddress.h"

#include <QList>
#include <QString>

enum class CNPostalAddressFormatterStyle
{
    MailingAddress = 0,
};

class CNPostalAddressFormatter
{
public:
    // One row of the format table: the alpha-2 and alpha-3 codes and the template, lines separated
    // by "\n" and fields on a line by one space.
    struct CountryFormat
    {
        QString code;
        QString alpha3Code;
        QString layout;
    };

    // Lines separated by "\n", fields on a line by one space. Empty fields are left out, and so is
    // a line that ends up empty; line breaks inside the street are kept (each part on its own line).
    static QString
    stringFromPostalAddress(const CNPostalAddress& address,
                            CNPostalAddressFormatterStyle style = CNPostalAddressFormatterStyle::MailingAddress);

    // The template used for a country code under the rules above (empty code: the locale's).
    static QString layoutForCountryCode(const QString& isoCountryCode);
    static QString fallbackLayout();
    // Every row of the table, in table order.
    static const QList<CountryFormat>& countryFormats();
};
