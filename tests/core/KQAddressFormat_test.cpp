#include "model/KQAddressFormatManager.h"
#include "model/KQLabeledValueItemAddresses.h"
#include "store/KQPreferences.h"

#include <gtest/gtest.h>

namespace {

std::shared_ptr<KQLabeledPostalAddress> entryIn(const char* code)
{
    CNPostalAddress address;
    address.street = QStringLiteral("1 Main St");
    address.isoCountryCode = QString::fromLatin1(code);
    return std::make_shared<KQLabeledPostalAddress>(CNLabeledValue<CNPostalAddress>(CNLabelHome, address));
}

} // namespace

TEST(AddressFormat, EmptyCodeFollowsThePreferredCountry)
{
    KQAddressFormatManager& formats = KQAddressFormatManager::sharedObject();
    KQPreferences::sharePreferences()->setDefaultAddressFormatContryRegionName(QStringLiteral("Germany"));
    EXPECT_EQ(formats.adressFormatKeyWithCountryCode(QString()),
              formats.adressFormatKeyWithCountryCode(QStringLiteral("DE")));
    KQPreferences::sharePreferences()->setDefaultAddressFormatContryRegionName(std::nullopt);

    EXPECT_EQ(KQAddressFormatManager::keyArrayWithString(QStringLiteral("a b\n\nc  d\n")),
              (QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("d")}));
    EXPECT_EQ(KQLabeledPostalAddress::countryOrRegionCodeFromName(QStringLiteral("Atlantis")), std::nullopt);
    EXPECT_EQ(KQLabeledPostalAddress::countryOrRegionCodeFromName(QStringLiteral("France")), QStringLiteral("FR"));
}

TEST(AddressFormat, EditorRowShowsTheSameBoxesForBothCodeLengthsAndNoneWhenReadOnly)
{
    for (const auto& [two, three] : {std::pair{"CN", "CHN"}, std::pair{"GB", "GBR"}}) {
        const KQLabeledValueItemAddresses a(entryIn(two), true), b(entryIn(three), true);
        EXPECT_EQ(a.hiddenSubLocality(), b.hiddenSubLocality()) << two;
        EXPECT_EQ(a.hiddenState(), b.hiddenState()) << two;
        EXPECT_EQ(a.hiddenSubAdministrativeArea(), b.hiddenSubAdministrativeArea()) << two;
        const KQLabeledValueItemAddresses readOnly(entryIn(two), false);
        EXPECT_TRUE(readOnly.hiddenSubLocality() && readOnly.hiddenState() && readOnly.hiddenSubAdministrativeArea())
            << two;
    }
}

TEST(AddressFormat, EditorRowGrowsWithItsLinesAndFollowsTheEntrysCountry)
{
    const auto entry = entryIn("US");
    KQLabeledValueItemAddresses editing(entry, true);
    const int lines = editing.addressLineCount();
    const int least = editing.height();
    entry->setStreet(QStringLiteral("1 Main St\nApt 2\nBuilding 3\nFloor 4\nDesk 5\nSeat 6"));
    EXPECT_EQ(editing.addressLineCount(), lines + 5);
    EXPECT_GT(editing.height(), least);

    // The row follows the entry's country code, and writes its own without looping.
    entry->setIsoCountryCode(QStringLiteral("GB"));
    EXPECT_EQ(editing.countryCode(), QStringLiteral("GB"));
    editing.setCountryCode(QStringLiteral("CN"));
    EXPECT_EQ(entry->isoCountryCode(), QStringLiteral("CN"));
    EXPECT_FALSE(editing.hiddenSubLocality());
}
