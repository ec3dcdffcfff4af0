#include "model/KQAddressFormatManager.h"
#include "model/KQLabeledValueItemAddresses.h"
#include "store/KQPreferences.h"

#include <gtest/gtest.h>

TEST(AddressFormat, FieldOrderPerCountry)
{
    KQAddressFormatManager& formats = KQAddressFormatManager::sharedObject();
    const QString street = QStringLiteral("street"), city = QStringLiteral("city"), state = QStringLiteral("state"),
                  zip = QStringLiteral("postalCode"), country = QStringLiteral("country"),
                  subArea = QStringLiteral("subAdministrativeArea");
    EXPECT_EQ(formats.adressFormatKeyWithCountryCode(QStringLiteral("US")),
              (QStringList{street, city, state, zip, country}));
    EXPECT_EQ(formats.adressFormatKeyWithCountryCode(QStringLiteral("DE")), (QStringList{street, zip, city, country}));
    EXPECT_EQ(formats.adressFormatKeyWithCountryCode(QStringLiteral("FR")), (QStringList{street, zip, city, country}));
    EXPECT_EQ(formats.adressFormatKeyWithCountryCode(QStringLiteral("GB")),
              (QStringList{street, city, subArea, zip, country}));
    EXPECT_EQ(formats.adressFormatKeyWithCountryCode(QStringLiteral("JP")),
              (QStringList{zip, state, city, street, country}));
    EXPECT_EQ(formats.adressFormatKeyWithCountryCode(QStringLiteral("CN")),
              (QStringList{zip, state, city, street, country}));
    // An empty code follows the preferred country.
    KQPreferences::sharePreferences()->setDefaultAddressFormatContryRegionName(QStringLiteral("Germany"));
    EXPECT_EQ(formats.adressFormatKeyWithCountryCode(QString()), (QStringList{street, zip, city, country}));
    KQPreferences::sharePreferences()->setDefaultAddressFormatContryRegionName(std::nullopt);

    EXPECT_EQ(KQAddressFormatManager::keyArrayWithString(QStringLiteral("a b\n\nc  d\n")),
              (QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("d")}));
    EXPECT_EQ(KQLabeledPostalAddress::countryOrRegionCodeFromName(QStringLiteral("Atlantis")), std::nullopt);
    EXPECT_EQ(KQLabeledPostalAddress::countryOrRegionCodeFromName(QStringLiteral("France")), QStringLiteral("FR"));
}

TEST(AddressFormat, EditorRowShowsFieldsPerCountry)
{
    struct Case
    {
        const char* code;
        bool editable;
        bool hideSubLocality, hideState, hideSubArea;
    };
    const Case cases[] = {
        {"CN", true, false, false, true}, {"CHN", true, false, false, true}, {"GB", true, true, true, false},
        {"GBR", true, true, true, false}, {"US", true, true, false, true},   {"CN", false, true, true, true},
        {"GB", false, true, true, true},
    };
    for (const Case& c : cases) {
        CNPostalAddress address;
        address.isoCountryCode = QString::fromLatin1(c.code);
        auto entry = std::make_shared<KQLabeledPostalAddress>(CNLabeledValue<CNPostalAddress>(CNLabelHome, address));
        const KQLabeledValueItemAddresses row(entry, c.editable);
        EXPECT_EQ(row.hiddenSubLocality(), c.hideSubLocality) << c.code << c.editable;
        EXPECT_EQ(row.hiddenState(), c.hideState) << c.code << c.editable;
        EXPECT_EQ(row.hiddenSubAdministrativeArea(), c.hideSubArea) << c.code << c.editable;
    }
}

TEST(AddressFormat, EditorRowHeight)
{
    CNPostalAddress address;
    address.street = QStringLiteral("1 Main St");
    address.city = QStringLiteral("Springfield");
    address.state = QStringLiteral("IL");
    address.postalCode = QStringLiteral("62701");
    address.country = QStringLiteral("United States");
    address.isoCountryCode = QStringLiteral("US");
    auto full = std::make_shared<KQLabeledPostalAddress>(CNLabeledValue<CNPostalAddress>(CNLabelHome, address));
    const KQLabeledValueItemAddresses readOnly(full, false);
    EXPECT_EQ(readOnly.addressLineCount(), 3);

    CNPostalAddress oneLine;
    oneLine.street = QStringLiteral("1 Main St");
    oneLine.isoCountryCode = QStringLiteral("US");
    auto sparse = std::make_shared<KQLabeledPostalAddress>(CNLabeledValue<CNPostalAddress>(CNLabelHome, oneLine));
    KQLabeledValueItemAddresses editing(sparse, true);
    // One formatted line plus empty boxes for country, state, postal code and city.
    EXPECT_EQ(editing.addressLineCount(), 5);
    // A few lines fit the row's least height; more lines make it grow.
    const int least = editing.height();
    EXPECT_EQ(readOnly.height(), least);
    sparse->setStreet(QStringLiteral("1 Main St\nApt 2\nBuilding 3\nFloor 4\nDesk 5\nSeat 6"));
    EXPECT_EQ(editing.addressLineCount(), 10);
    EXPECT_GT(editing.height(), least);

    // The row follows the entry's country code, and writes its own without looping.
    sparse->setIsoCountryCode(QStringLiteral("GB"));
    EXPECT_EQ(editing.countryCode(), QStringLiteral("GB"));
    editing.setCountryCode(QStringLiteral("CN"));
    EXPECT_EQ(sparse->isoCountryCode(), QStringLiteral("CN"));
    EXPECT_FALSE(editing.hiddenSubLocality());
}
