// The tabular engine's columns and cells, the export keys and the format catalogue.
#include "KQExchangeTestSupport.h"
#include "exchange/KQContactFormat.h"
#include "exchange/KQContactSerialization.h"
#include "store/KQContactManager.h"

using namespace exchangetest;

namespace {

KQContactHelperPtr withPhones(const CNPhoneNumberList& phones)
{
    auto c = std::make_shared<CNMutableContact>();
    c->setPhoneNumbers(phones);
    return KQContactHelper::create(c, true);
}

TEST(Columns, RepeatedLabelsGetNumberedColumnsAndCaseDoesNotSplitThem)
{
    const KQContactHelperList contacts = {withPhones({{CNLabelHome, CNPhoneNumber(QStringLiteral("1"))},
                                                      {CNLabelHome, CNPhoneNumber(QStringLiteral("2"))}}),
                                          withPhones({{CNLabelHome, CNPhoneNumber(QStringLiteral("3"))},
                                                      {QStringLiteral("HOME"), CNPhoneNumber(QStringLiteral("4"))}}),
                                          withPhones({{QStringLiteral("Boat"), CNPhoneNumber(QStringLiteral("5"))}})};
    auto engine = KQContactSerialization::contactSerializationWithFormat(KQContactFormat::CSV, contacts,
                                                                         {CNContactPhoneNumbersKey});
    const QStringList titles = engine->colums(CNContactPhoneNumbersKey);
    EXPECT_EQ(titles, (QStringList{QStringLiteral("Phone home"), QStringLiteral("Phone home 2"),
                                   QStringLiteral("Phone Boat")}));
    EXPECT_EQ(engine->columCount(), 3);
    EXPECT_EQ(engine->setupRowWithContact(*contacts[1]),
              (QStringList{QStringLiteral("3"), QStringLiteral("4"), QString()}));
    // A label without a column and no "other" column: the value is left out.
    EXPECT_EQ(
        engine->fieldValuesFromContact(*withPhones({{CNLabelWork, CNPhoneNumber(QStringLiteral("9"))}})->contact(),
                                       CNContactPhoneNumbersKey, titles),
        (QStringList{QString(), QString(), QString()}));
}

TEST(Columns, TwoAddressesWithOneLabelShareOneGroupOfSevenColumns)
{
    auto c = std::make_shared<CNMutableContact>();
    CNPostalAddress first;
    first.city = QStringLiteral("Paris");
    first.subAdministrativeArea = QStringLiteral("Europe");
    CNPostalAddress second;
    second.city = QStringLiteral("Lyon");
    c->setPostalAddresses({{CNLabelHome, first}, {CNLabelHome, second}});
    const KQContactHelperList contacts = {KQContactHelper::create(c, true)};
    auto engine = KQContactSerialization::contactSerializationWithFormat(KQContactFormat::CSV, contacts,
                                                                         {CNContactPostalAddressesKey});
    const QStringList titles = engine->colums(CNContactPostalAddressesKey);
    ASSERT_EQ(titles.size(), 7);
    EXPECT_EQ(titles.first(), QStringLiteral("Address home Continent"));
    const QStringList row = engine->setupRowWithContact(*contacts[0]);
    EXPECT_EQ(row.at(0), QStringLiteral("Europe")); // the continent column carries the sub-administrative area
    EXPECT_EQ(row.at(3), QStringLiteral("Paris"));  // the second address found no free group
}

TEST(ExportKeys, CustomFieldsWithMergedAddressesPutAddressLast)
{
    KQContactManager::sharedContactManager();
    KQImportExportMgr manager;
    KQContactFormat format(KQContactFormat::CSV);
    format.setContactFields(KQContactFormat::CustomFields);
    format.setMergeAddress(true);
    const QStringList keys = manager.exportKeysFromContacts({}, format);
    ASSERT_FALSE(keys.isEmpty());
    EXPECT_EQ(keys.last(), KQPropertyKeyAddress);
    EXPECT_FALSE(keys.contains(CNContactPostalAddressesKey));
    EXPECT_TRUE(manager.exportKeysFromContacts({}, KQContactFormat(KQContactFormat::VCard)).isEmpty());
}

TEST(ExportKeys, ValidFieldsAreThoseSomeContactHas)
{
    KQContactManager::sharedContactManager(); // the tags live there
    auto c = std::make_shared<CNMutableContact>();
    c->setJobTitle(QStringLiteral("Pilot"));
    c->setEmailAddresses({{CNLabelWork, QStringLiteral("a@b.c")}});
    EXPECT_EQ(KQImportExportMgr::availablePropertyKeys({KQContactHelper::create(c, true)}, false, true),
              (QStringList{KQPropertyKeyName, CNContactEmailAddressesKey, CNContactJobTitleKey}));
}

TEST(Formats, NamesTypesAndExtensionsLookUpBothWays)
{
    const QStringList names = KQContactFormat::availableFormatNames();
    ASSERT_EQ(names.size(), 9);
    for (qint32 type = 1; type <= 9; ++type) {
        EXPECT_EQ(KQContactFormat::formatTypeWithName(KQContactFormat::nameWithFormatType(type)), type);
        EXPECT_EQ(KQContactFormat::initWithName(names.at(type - 1))->type(), type);
    }
    EXPECT_EQ(KQContactFormat::nameWithFormatType(12), QStringLiteral("unknown"));
    EXPECT_TRUE(KQContactFormat::extensionsWithFormatType(0).isEmpty());
    EXPECT_EQ(KQContactFormat::formatTypeWithName(QStringLiteral("csv")), 0); // names match exactly
    EXPECT_EQ(KQContactFormat::contactFormatTypeFromPath(QStringLiteral("/x/PEOPLE.CSV")), KQContactFormat::CSV);
    EXPECT_EQ(KQContactFormat::contactFormatTypeFromPath(QStringLiteral("a.vcard")), KQContactFormat::VCard);
    EXPECT_EQ(KQContactFormat::contactFormatTypeFromPath(QStringLiteral("a.htm")), KQContactFormat::HTML);
    EXPECT_EQ(KQContactFormat::contactFormatTypeFromPath(QStringLiteral("a.pdf")), 0);
}

TEST(Formats, SplitNameIsOfferedOnlyWhereItMeansSomething)
{
    KQContactFormat csv(KQContactFormat::CSV);
    EXPECT_TRUE(csv.canSplitContactName());
    csv.setContactFieldsName(QStringLiteral("Custom Fields"));
    EXPECT_FALSE(csv.canSplitContactName());
    csv.setContactFieldsName(QStringLiteral("nonsense"));
    EXPECT_EQ(csv.contactFields(), KQContactFormat::CustomFields);
    EXPECT_FALSE(KQContactFormat(KQContactFormat::CSVOutlook).canSplitContactName());
    EXPECT_FALSE(KQContactFormat(KQContactFormat::VCard).canChooseContactFields());
}

} // namespace
