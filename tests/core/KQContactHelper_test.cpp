#include "model/KQContactHelper.h"
#include "model/KQFullName.h"
#include "model/KQLabeledEmail.h"
#include "model/KQLabeledPhoneNumber.h"
#include "store/KQPreferences.h"

#include <gtest/gtest.h>

namespace {

struct Names
{
    QString prefix, given, middle, family, suffix;
};

KQContactHelperPtr person(const Names& n, const QStringList& keys = CNAllContactKeys())
{
    CNContactData d;
    d.identifier = CNMakeIdentifier();
    d.setRare(&CNContactRareFields::namePrefix, n.prefix);
    d.givenName = n.given;
    d.setRare(&CNContactRareFields::middleName, n.middle);
    d.familyName = n.family;
    d.setRare(&CNContactRareFields::nameSuffix, n.suffix);
    return KQContactHelper::create(std::make_shared<CNContact>(d, CNKeySetFromKeys(keys)));
}

KQContactHelperPtr fromData(CNContactData d)
{
    d.identifier = CNMakeIdentifier();
    return KQContactHelper::create(std::make_shared<CNContact>(d, CNAllKeysSet()));
}

class NameOrder
{
public:
    explicit NameOrder(bool familyFirst)
    {
        KQPreferences::sharePreferences()->setShowFirstNameFollowingLastName(familyFirst);
    }
    ~NameOrder() { KQPreferences::sharePreferences()->setShowFirstNameFollowingLastName(false); }
};

} // namespace

struct FullNameCase
{
    Names names;
    bool familyFirst;
    const char* expected;
};

void PrintTo(const FullNameCase& c, std::ostream* os)
{
    *os << c.expected;
}

class FullName : public ::testing::TestWithParam<FullNameCase>
{
};

TEST_P(FullName, FollowsThePreferredOrder)
{
    const FullNameCase& c = GetParam();
    NameOrder order(c.familyFirst);
    EXPECT_EQ(person(c.names)->fullName(), QString::fromUtf8(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FullName,
    ::testing::Values(
        FullNameCase{
            {QStringLiteral("Dr."), QStringLiteral("Ann"), {}, QStringLiteral("Lee"), {}}, false, "Dr. Ann Lee"},
        FullNameCase{
            {QStringLiteral("Dr."), QStringLiteral("Ann"), {}, QStringLiteral("Lee"), {}}, true, "Dr. Lee Ann"},
        FullNameCase{{{}, {}, {}, {}, QStringLiteral("Jr.")}, false, "Jr."},
        FullNameCase{{{}, QStringLiteral("Ann"), QStringLiteral("B"), QStringLiteral("Lee"), QStringLiteral("III")},
                     false,
                     "Ann B Lee III"},
        FullNameCase{{{}, {}, {}, {}, {}}, false, ""}));

TEST(ContactRecord, NameStopsAtTheFirstUnfetchedPart)
{
    // Middle name not fetched: the name built so far is the result.
    const auto record =
        person({QStringLiteral("Dr."), QStringLiteral("Ann"), QStringLiteral("B"), QStringLiteral("Lee"), {}},
               {CNContactNamePrefixKey, CNContactGivenNameKey, CNContactFamilyNameKey});
    EXPECT_EQ(record->fullName(), QStringLiteral("Dr. Ann"));
    EXPECT_FALSE(record->middleName().has_value());
    EXPECT_FALSE(record->note().has_value());
}

TEST(ContactRecord, CompanyShowsItsJobNameAndSortKeyFollowsThePreference)
{
    CNContactData d;
    d.contactType = CNContactType::Organization;
    d.givenName = QStringLiteral("Ann");
    d.familyName = QStringLiteral("Lee");
    d.jobTitle = QStringLiteral("Chief");
    d.organizationName = QStringLiteral("Acme");
    const auto company = fromData(d);
    EXPECT_EQ(company->displayName(), QStringLiteral("Chief Acme"));
    EXPECT_EQ(company->subDisplayName(), QStringLiteral("Ann Lee"));
    EXPECT_EQ(company->nameForSort(), QStringLiteral("chief acme"));

    d.contactType = CNContactType::Person;
    const auto record = fromData(d);
    EXPECT_EQ(record->nameForSort(), QStringLiteral("ann lee"));
    NameOrder order(true);
    EXPECT_EQ(record->nameForSort(), QStringLiteral("lee ann"));
}

// The sort key lowers plain ASCII names itself; it must agree with QString::toLower on every name,
// at the edges of the capital letters and past ASCII alike.
TEST(ContactRecord, SortKeyIsTheNameInLowerCase)
{
    for (const QString& name :
         {QString(), QStringLiteral("@AZ[`az{"), QStringLiteral("O'Brien-Smith 2nd"), QStringLiteral("ÉMILE Zoë"),
          QStringLiteral("ANN \u0130STANBUL"), QStringLiteral("\u039F\u0394\u03A5\u03A3\u03A3\u0395\u03A5\u03A3"),
          QStringLiteral("LEE \U0001D400")})
        EXPECT_EQ(kqSortKey(name), name.toLower()) << name.toStdString();
}

TEST(ContactRecord, PhoneticNameKeepsItsLeadingSpace)
{
    CNContactData d;
    d.setRare(&CNContactRareFields::phoneticFamilyName, QStringLiteral("Kim"));
    EXPECT_EQ(fromData(d)->phoneticFullName(), QStringLiteral(" Kim"));
    d.setRare(&CNContactRareFields::phoneticGivenName, QStringLiteral("Ann"));
    EXPECT_EQ(fromData(d)->phoneticFullName(), QStringLiteral("Ann Kim"));
}

TEST(ContactRecord, InfoOfAnEmptyContact)
{
    EXPECT_EQ(fromData({})->info(), QStringLiteral("Name : No Name\nPhone : \nEmail : \nAddress : "));

    CNContactData d;
    d.givenName = QStringLiteral("Ann");
    d.phoneNumbers = {CNLabeledValue<CNPhoneNumber>(CNLabelHome, CNPhoneNumber(QStringLiteral("555-1234")))};
    d.emailAddresses = {CNLabeledValue<QString>(CNLabelWork, QStringLiteral("ann@example.com"))};
    CNPostalAddress address;
    address.street = QStringLiteral("1 Main St");
    address.city = QStringLiteral("Springfield");
    address.isoCountryCode = QStringLiteral("us");
    d.postalAddresses = {CNLabeledValue<CNPostalAddress>(CNLabelHome, address)};
    EXPECT_EQ(fromData(d)->info(), QStringLiteral("Name : Ann\nPhone : 555-1234\nEmail : ann@example.com\n"
                                                  "Address : 1 Main St  Springfield"));
}

struct NameMaskCase
{
    const char* name;
    Names a, b;
    int mask; // prefix 1, suffix 2, given 4, middle 8, family 16
    bool equal;
};

void PrintTo(const NameMaskCase& c, std::ostream* os)
{
    *os << c.name;
}

class NameEquality : public ::testing::TestWithParam<NameMaskCase>
{
};

TEST_P(NameEquality, ComparesTheSelectedParts)
{
    const NameMaskCase& c = GetParam();
    EXPECT_EQ(person(c.a)->isEqualToName(person(c.b).get(), c.mask), c.equal);
}

const QString ann = QStringLiteral("Ann");
const QString lee = QStringLiteral("Lee");

// Each part is read under its own bit: a part that differs counts only when its bit is set.
INSTANTIATE_TEST_SUITE_P(
    Masks, NameEquality,
    ::testing::Values(
        NameMaskCase{
            "GivenOnlyIgnoresFamily", {{}, ann, {}, lee, {}}, {{}, ann, {}, QStringLiteral("Kim"), {}}, 4, true},
        NameMaskCase{"AllEmptyIsNoMatch", {}, {}, 4, false},
        NameMaskCase{"FamilyMissingOnOneSide", {{}, ann, {}, lee, {}}, {{}, ann, {}, {}, {}}, 20, false},
        NameMaskCase{"EmptyMaskIsNoMatch", {{}, ann, {}, lee, {}}, {{}, ann, {}, lee, {}}, 0, false},
        NameMaskCase{"PrefixDiffers",
                     {QStringLiteral("Dr"), ann, {}, {}, {}},
                     {QStringLiteral("Mr"), ann, {}, {}, {}},
                     5,
                     false},
        NameMaskCase{"CaseCounts", {{}, QStringLiteral("ann"), {}, {}, {}}, {{}, ann, {}, {}, {}}, 4, false},
        NameMaskCase{"SuffixDiffersUnderItsBit",
                     {{}, ann, {}, {}, QStringLiteral("Jr")},
                     {{}, ann, {}, {}, QStringLiteral("Sr")},
                     4 | 2,
                     false},
        NameMaskCase{"SuffixIgnoredUnderTheMiddleBit",
                     {{}, ann, {}, {}, QStringLiteral("Jr")},
                     {{}, ann, {}, {}, QStringLiteral("Sr")},
                     4 | 8,
                     true},
        NameMaskCase{"SuffixAloneMatches",
                     {{}, {}, {}, {}, QStringLiteral("Jr")},
                     {{}, ann, {}, {}, QStringLiteral("Jr")},
                     2,
                     true},
        NameMaskCase{"MiddleDiffersUnderItsBit",
                     {{}, ann, QStringLiteral("May"), {}, {}},
                     {{}, ann, QStringLiteral("Sue"), {}, {}},
                     4 | 8,
                     false},
        NameMaskCase{"MiddleIgnoredUnderTheSuffixBit",
                     {{}, ann, QStringLiteral("May"), {}, {}},
                     {{}, ann, QStringLiteral("Sue"), {}, {}},
                     4 | 2,
                     true}),
    [](const ::testing::TestParamInfo<NameMaskCase>& row) { return std::string(row.param.name); });

TEST(ContactRecord, ContentEquality)
{
    CNContactData a;
    a.givenName = QStringLiteral("Ann");
    a.phoneNumbers = {CNLabeledValue<CNPhoneNumber>(CNLabelHome, CNPhoneNumber(QStringLiteral("1"))),
                      CNLabeledValue<CNPhoneNumber>(CNLabelWork, CNPhoneNumber(QStringLiteral("2")))};
    CNContactData b = a;
    // Order of values does not matter; identifiers, images and notes absent vs empty do not either.
    std::swap(b.phoneNumbers[0], b.phoneNumbers[1]);
    b.imageData = QByteArray("x");
    EXPECT_TRUE(fromData(a)->isEqualTo(fromData(b).get()));

    CNContactData lower = a;
    lower.givenName = QStringLiteral("ann");
    EXPECT_FALSE(fromData(a)->isEqualTo(fromData(lower).get()));

    CNContactData relabelled = a;
    relabelled.phoneNumbers[0] = relabelled.phoneNumbers[0].labeledValueBySettingLabel(CNLabelOther);
    EXPECT_FALSE(fromData(a)->isEqualTo(fromData(relabelled).get()));

    CNContactData withNote = a;
    withNote.note = QStringLiteral("n");
    EXPECT_FALSE(fromData(a)->isEqualTo(fromData(withNote).get()));

    CNContactData withBirthday = a;
    withBirthday.setRare(&CNContactRareFields::birthday, CNDateComponents{1990, 4, 15, {}, {}, {}});
    EXPECT_FALSE(fromData(a)->isEqualTo(fromData(withBirthday).get()));

    // A missing (unfetched) given name and an empty one are the same.
    CNContactData empty;
    const auto unfetched = KQContactHelper::create(std::make_shared<CNContact>(empty, CNKeySetFromKeys({})));
    EXPECT_TRUE(fromData(empty)->isEqualTo(unfetched.get()));
}

TEST(ContactRecord, EmptyCategories)
{
    CNContactData d;
    d.note = QString(); // fetched but empty: present
    const auto record = fromData(d);
    EXPECT_FALSE(record->categoryPropertyIsEmpty(QStringLiteral("Note")));
    EXPECT_FALSE(record->categoryPropertyIsEmpty(QStringLiteral("General")));
    EXPECT_TRUE(record->categoryPropertyIsEmpty(QStringLiteral("PhoneNumbers")));
    EXPECT_TRUE(record->categoryPropertyIsEmpty(QStringLiteral("Birthday")));
    EXPECT_TRUE(record->categoryPropertyIsEmpty(QStringLiteral("Tags")));
    EXPECT_TRUE(record->categoryPropertyIsEmpty(QStringLiteral("Phonetic Name")));

    const auto unfetched = KQContactHelper::create(std::make_shared<CNContact>(d, CNKeySetFromKeys({})));
    EXPECT_TRUE(unfetched->categoryPropertyIsEmpty(QStringLiteral("Note")));
}

TEST(ContactRecord, EditingWritesLabelledValuesIntoTheEditCopyOnly)
{
    CNContactData d;
    d.phoneNumbers = {CNLabeledValue<CNPhoneNumber>(CNLabelHome, CNPhoneNumber(QStringLiteral("555")))};
    const auto record = fromData(d);
    record->setPropertyEdited(false);
    record->startEditContact();

    auto phone =
        std::dynamic_pointer_cast<KQLabeledPhoneNumber>(record->propertyPhoneNumbers()->firstLabeledValueHelper());
    ASSERT_TRUE(phone);
    const int marker = record->phoneNumberDidChanged();
    phone->setPhoneNumberStringValue(QStringLiteral("556"));
    EXPECT_TRUE(record->propertyEdited());
    EXPECT_GT(record->phoneNumberDidChanged(), marker);
    EXPECT_EQ(record->mutableContact()->phoneNumbers().at(0).value().stringValue(), QStringLiteral("556"));
    // The entry keeps its identifier, so that the store updates it in place.
    EXPECT_EQ(record->mutableContact()->phoneNumbers().at(0).identifier(), d.phoneNumbers[0].identifier());
    EXPECT_EQ(record->contact()->phoneNumbers().at(0).value().stringValue(), QStringLiteral("555"));
    EXPECT_EQ(record->firstPhoneNumber(), QStringLiteral("556"));
}

TEST(ContactRecord, TypingIntoTheTemplateRowAddsAValue)
{
    const auto record = fromData({});
    record->startEditContact();
    KQLabeledValueProperty* emails = record->propertyEmails();
    auto row = std::dynamic_pointer_cast<KQLabeledEmail>(emails->templateValueHelper());
    ASSERT_TRUE(row);
    EXPECT_TRUE(row->isTemplate());
    EXPECT_EQ(emails->countOfLabeledValueHelpers(), 0);

    row->setEmail(QStringLiteral("ann@example.com"));
    EXPECT_FALSE(row->isTemplate());
    ASSERT_EQ(emails->countOfLabeledValueHelpers(), 1);
    EXPECT_EQ(emails->objectInLabeledValueHelpersAtIndex(0), row);
    EXPECT_TRUE(record->propertyEdited());
    EXPECT_EQ(record->mutableContact()->emailAddresses().at(0).value(), QStringLiteral("ann@example.com"));
    EXPECT_NE(emails->templateValueHelper(), row);
}

TEST(ContactRecord, ListAccessorsIgnoreBadIndexesAndEmitChanges)
{
    CNContactData d;
    d.editRare().urlAddresses = {CNLabeledValue<QString>(CNLabelHome, QStringLiteral("a")),
                                 CNLabeledValue<QString>(QStringLiteral("blog"), QStringLiteral("b"))};
    const auto record = fromData(d);
    record->startEditContact();
    KQLabeledValueProperty* urls = record->propertyUrls();
    QList<QList<int>> removed;
    QObject::connect(urls, &KQLabeledValueProperty::labeledValueHelpersRemoved,
                     [&removed](const QList<int>& indexes) { removed.append(indexes); });

    urls->removeObjectFromLabeledValueHelpersAtIndex(5);
    EXPECT_EQ(urls->countOfLabeledValueHelpers(), 2);
    EXPECT_EQ(urls->objectInLabeledValueHelpersAtIndex(2), nullptr);
    EXPECT_EQ(urls->labeledValueHelperWithName(QString()), urls->objectInLabeledValueHelpersAtIndex(0));
    EXPECT_EQ(urls->labeledValueHelperWithName(QStringLiteral("blog")), urls->objectInLabeledValueHelpersAtIndex(1));
    EXPECT_EQ(urls->labeledValueHelperWithName(QStringLiteral("home")), urls->objectInLabeledValueHelpersAtIndex(0));
    EXPECT_EQ(urls->labeledValueHelperWithName(QStringLiteral("nothing")), nullptr);

    urls->removeLabeledValueHelpersAtIndexes({0, 1});
    EXPECT_EQ(removed, (QList<QList<int>>{{0, 1}}));
    EXPECT_TRUE(record->mutableContact()->urlAddresses().empty());
}

TEST(ContactRecord, DateComponentsText)
{
    EXPECT_EQ(KQContactHelper::stringFromDateComponents(std::nullopt), QString());
    EXPECT_EQ(KQContactHelper::stringFromDateComponents(CNDateComponents{1, 4, 15, {}, {}, {}}),
              QStringLiteral("About 1 year, 4 months, 15 days"));
    const CNDateComponents hebrew =
        KQContactHelper::makeCurrentDateComponentWithCalenderIdentifier(CNCalendarIdentifierHebrew);
    EXPECT_EQ(hebrew.calendarIdentifier, CNCalendarIdentifierHebrew);
    EXPECT_GT(hebrew.year.value_or(0), 5700);
    const CNDateComponents gregorian =
        KQContactHelper::makeCurrentDateComponentWithCalenderIdentifier(CNCalendarIdentifierGregorian);
    EXPECT_TRUE(gregorian.calendarIdentifier.isEmpty());
    EXPECT_EQ(gregorian.year, QDate::currentDate().year());
}
