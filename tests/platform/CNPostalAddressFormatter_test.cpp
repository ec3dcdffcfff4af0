#include "platform/CNContactKeys.h"
#include "platform/CNPostalAddressFormatter.h"
#include "platform/KQCountryTable.h"

#include <QLocale>
#include <QRegularExpression>
#include <QSet>
#include <algorithm>
#include <gtest/gtest.h>
#include <iostream>

namespace {

CNPostalAddress fullAddress(const QString& code)
{
    CNPostalAddress address;
    address.street = QStringLiteral("1 Main St");
    address.subLocality = QStringLiteral("Downtown");
    address.city = QStringLiteral("Springfield");
    address.subAdministrativeArea = QStringLiteral("Sangamon");
    address.state = QStringLiteral("IL");
    address.postalCode = QStringLiteral("62701");
    address.country = QStringLiteral("Freedonia");
    address.isoCountryCode = code;
    return address;
}

// Every field holds its own key name, as the program's address-format manager does it.
CNPostalAddress keyNameAddress(const QString& code)
{
    CNPostalAddress address;
    address.street = CNPostalAddressStreetKey;
    address.subLocality = CNPostalAddressSubLocalityKey;
    address.city = CNPostalAddressCityKey;
    address.subAdministrativeArea = CNPostalAddressSubAdministrativeAreaKey;
    address.state = CNPostalAddressStateKey;
    address.postalCode = CNPostalAddressPostalCodeKey;
    address.country = CNPostalAddressCountryKey;
    address.isoCountryCode = code;
    return address;
}

QStringList keyArray(QString text)
{
    return text.replace(QLatin1Char(' '), QLatin1Char('\n')).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QString format(const CNPostalAddress& address)
{
    return CNPostalAddressFormatter::stringFromPostalAddress(address);
}

struct CountryCase
{
    const char* code;
    const char* text;
    const char* keys;
};

class CNPostalAddressFormatterCountry : public ::testing::TestWithParam<CountryCase>
{
};

TEST_P(CNPostalAddressFormatterCountry, WritesFieldsInTheCountrysOrder)
{
    const CountryCase& c = GetParam();
    EXPECT_EQ(format(fullAddress(QString::fromLatin1(c.code))), QString::fromUtf8(c.text));
    EXPECT_EQ(keyArray(format(keyNameAddress(QString::fromLatin1(c.code)))),
              QString::fromLatin1(c.keys).split(QLatin1Char(' ')));
}

INSTANTIATE_TEST_SUITE_P(
    Countries, CNPostalAddressFormatterCountry,
    ::testing::Values(CountryCase{"US", "1 Main St\nSpringfield IL 62701\nFreedonia",
                                  "street city state postalCode country"},
                      CountryCase{"GB", "1 Main St\nDowntown\nSpringfield\nSangamon\n62701\nFreedonia",
                                  "street subLocality city subAdministrativeArea postalCode country"},
                      CountryCase{"DE", "1 Main St\n62701 Springfield\nFreedonia", "street postalCode city country"},
                      CountryCase{"FR", "1 Main St\n62701 Springfield\nFreedonia", "street postalCode city country"},
                      CountryCase{"JP", "62701\nIL Springfield Downtown\n1 Main St\nFreedonia",
                                  "postalCode state city subLocality street country"},
                      CountryCase{"CN", "Freedonia\nIL Springfield Downtown\n1 Main St\n62701",
                                  "country state city subLocality street postalCode"},
                      CountryCase{"HU", "Springfield\n1 Main St\n62701\nFreedonia", "city street postalCode country"},
                      CountryCase{"ZZ", "1 Main St\nDowntown\nSpringfield IL 62701\nFreedonia",
                                  "street subLocality city state postalCode country"}),
    [](const ::testing::TestParamInfo<CountryCase>& row) { return std::string(row.param.code); });

TEST(CNPostalAddressFormatter, DropsEmptyFieldsAndBlankLines)
{
    struct Case
    {
        CNPostalAddress address;
        QString expected;
    };
    CNPostalAddress britishPartial;
    britishPartial.isoCountryCode = QStringLiteral("GB");
    britishPartial.street = QStringLiteral("10 Downing St");
    britishPartial.subLocality = QStringLiteral("   ");
    britishPartial.postalCode = QStringLiteral("SW1A 2AA");

    CNPostalAddress multiLineStreet = fullAddress(QStringLiteral("DE"));
    multiLineStreet.street = QStringLiteral("c/o Example\r\n\n  Hauptstr. 5 \n");
    multiLineStreet.postalCode.clear();

    CNPostalAddress japaneseNoRegion = fullAddress(QStringLiteral("JP"));
    japaneseNoRegion.state.clear();
    japaneseNoRegion.city.clear();
    japaneseNoRegion.subLocality.clear();

    CNPostalAddress usMiddleGap = fullAddress(QStringLiteral("US"));
    usMiddleGap.state = QStringLiteral(" ");

    const Case cases[] = {
        {britishPartial, QStringLiteral("10 Downing St\nSW1A 2AA")},
        {multiLineStreet, QStringLiteral("c/o Example\nHauptstr. 5\nSpringfield\nFreedonia")},
        {japaneseNoRegion, QStringLiteral("62701\n1 Main St\nFreedonia")},
        {usMiddleGap, QStringLiteral("1 Main St\nSpringfield 62701\nFreedonia")},
        {CNPostalAddress{}, QString()},
    };
    for (const Case& c : cases)
        EXPECT_EQ(format(c.address), c.expected);
}

TEST(CNPostalAddressFormatter, CountryCodesInAnyCaseAndLength)
{
    const QString expected = format(fullAddress(QStringLiteral("US")));
    for (const char* code : {"us", "Us", "USA", "usa", " US "})
        EXPECT_EQ(format(fullAddress(QString::fromLatin1(code))), expected) << code;
    EXPECT_EQ(CNPostalAddressFormatter::layoutForCountryCode(QStringLiteral("gbr")),
              CNPostalAddressFormatter::layoutForCountryCode(QStringLiteral("GB")));
}

TEST(CNPostalAddressFormatter, UnknownCodeUsesFallbackAndEmptyCodeTheLocale)
{
    const QString fallback = CNPostalAddressFormatter::fallbackLayout();
    for (const char* code : {"ZZ", "XYZ", "U", "001"})
        EXPECT_EQ(CNPostalAddressFormatter::layoutForCountryCode(QString::fromLatin1(code)), fallback) << code;

    const QString localeCode = QLocale::territoryToCode(QLocale::system().territory());
    EXPECT_EQ(CNPostalAddressFormatter::layoutForCountryCode(QString()),
              CNPostalAddressFormatter::layoutForCountryCode(localeCode));
    EXPECT_EQ(format(fullAddress(QString())), format(fullAddress(localeCode)));
}

// Guards the hand-written table: every template uses known field names once, has a street and a
// country line, and every code is a distinct, real one.
TEST(CNPostalAddressFormatter, TableIsWellFormed)
{
    const QSet<QString> known{CNPostalAddressStreetKey, CNPostalAddressSubLocalityKey,
                              CNPostalAddressCityKey,   CNPostalAddressSubAdministrativeAreaKey,
                              CNPostalAddressStateKey,  CNPostalAddressPostalCodeKey,
                              CNPostalAddressCountryKey};
    const QRegularExpression alpha2(QStringLiteral("^[A-Z]{2}$"));
    const QRegularExpression alpha3(QStringLiteral("^[A-Z]{3}$"));
    QSet<QString> codes;
    const auto& table = CNPostalAddressFormatter::countryFormats();
    for (const auto& row : table) {
        SCOPED_TRACE(row.code.toStdString());
        EXPECT_TRUE(alpha2.match(row.code).hasMatch());
        EXPECT_TRUE(alpha3.match(row.alpha3Code).hasMatch());
        EXPECT_TRUE(KQCountryTable::nameForCode(row.code).has_value());
        EXPECT_FALSE(codes.contains(row.code));
        EXPECT_FALSE(codes.contains(row.alpha3Code));
        codes << row.code << row.alpha3Code;

        QStringList used;
        for (const QString& line : row.layout.split(QLatin1Char('\n'))) {
            EXPECT_FALSE(line.isEmpty());
            const QStringList keys = line.split(QLatin1Char(' '));
            for (const QString& key : keys)
                EXPECT_TRUE(known.contains(key)) << key.toStdString();
            used += keys;
        }
        EXPECT_EQ(QSet<QString>(used.cbegin(), used.cend()).size(), used.size()) << "a field twice";
        EXPECT_TRUE(used.contains(CNPostalAddressStreetKey));
        EXPECT_TRUE(used.contains(CNPostalAddressCountryKey));
        EXPECT_EQ(keyArray(format(keyNameAddress(row.code))), used);
    }

    // The most populous countries and every EU member state have their own format.
    const char* required[] = {"AT", "BE", "BG", "HR", "CY", "CZ", "DK", "EE", "FI", "FR", "DE", "GR", "HU", "IE",
                              "IT", "LV", "LT", "LU", "MT", "NL", "PL", "PT", "RO", "SK", "SI", "ES", "SE", "IN",
                              "CN", "US", "ID", "PK", "NG", "BR", "BD", "RU", "ET", "MX", "JP", "EG", "PH", "CD",
                              "VN", "IR", "TR", "TH", "TZ", "GB", "ZA", "KE", "MM", "CO", "KR", "SD", "UG", "DZ",
                              "IQ", "AR", "AF", "YE", "CA", "MA", "AO", "UA", "UZ", "MY", "MZ", "GH", "PE", "SA",
                              "MG", "CI", "NP", "CM", "VE", "NE", "AU", "KP", "SY", "ML", "BF", "TW", "LK"};
    for (const char* code : required)
        EXPECT_TRUE(codes.contains(QString::fromLatin1(code))) << code;
    std::cout << "[          ] " << table.size() << " countries in the address format table\n";
}

TEST(KQCountryTable, LooksUpNamesAndCodesBothWays)
{
    struct Case
    {
        const char* code;
        const char* name;
    };
    for (const Case c : {Case{"DE", "Germany"}, Case{"GB", "United Kingdom"}, Case{"US", "United States"},
                         Case{"CN", "China"}, Case{"JP", "Japan"}, Case{"XK", "Kosovo"}}) {
        EXPECT_EQ(KQCountryTable::codeForName(QString::fromLatin1(c.name)), QString::fromLatin1(c.code));
        EXPECT_EQ(KQCountryTable::nameForCode(QString::fromLatin1(c.code)), QString::fromLatin1(c.name));
    }
    EXPECT_EQ(KQCountryTable::nameForCode(QStringLiteral("de")), QStringLiteral("Germany"));

    for (const char* name : {"germany", "Germany ", "Atlantis", "", "World", "European Union"})
        EXPECT_FALSE(KQCountryTable::codeForName(QString::fromLatin1(name)).has_value()) << name;
    for (const char* code : {"ZZ", "", "001", "EU", "QO", "DEU"})
        EXPECT_FALSE(KQCountryTable::nameForCode(QString::fromLatin1(code)).has_value()) << code;
}

TEST(KQCountryTable, EveryEntryRoundTripsAndNamesAreSorted)
{
    const auto& entries = KQCountryTable::entries();
    EXPECT_GT(entries.size(), 240);
    for (const auto& entry : entries) {
        EXPECT_EQ(entry.code.size(), 2);
        EXPECT_EQ(KQCountryTable::codeForName(entry.name), entry.code) << entry.name.toStdString();
    }
    const QStringList names = KQCountryTable::names();
    EXPECT_EQ(names.size(), entries.size());
    EXPECT_TRUE(std::is_sorted(names.cbegin(), names.cend()));
}

} // namespace
