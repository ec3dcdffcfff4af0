// What the contact list shows of a node: search over names, job line, phone numbers, e-mail
// addresses and note; the tag filter; the three sort orders.
#include "KQAppTestSupport.h"
#include "app/windows/KQContactListFilter.h"
#include "platform/CNLabels.h"

#include <gtest/gtest.h>

namespace {

KQContactHelperPtr person(const QString& given, const QString& family = {})
{
    auto contact = std::make_shared<CNMutableContact>();
    contact->setGivenName(given);
    contact->setFamilyName(family);
    contact->setMiddleName(QString());
    contact->setNamePrefix(QString());
    contact->setNameSuffix(QString());
    contact->setContactType(CNContactType::Person);
    return KQContactHelper::create(contact, true);
}

KQContactHelperPtr ada()
{
    auto contact = std::make_shared<CNMutableContact>();
    contact->setGivenName(QStringLiteral("Ada"));
    contact->setFamilyName(QStringLiteral("Lovelace"));
    contact->setMiddleName(QString());
    contact->setNamePrefix(QString());
    contact->setNameSuffix(QString());
    contact->setContactType(CNContactType::Person);
    contact->setJobTitle(QStringLiteral("Analyst"));
    contact->setOrganizationName(QStringLiteral("Engines Ltd"));
    contact->setPhoneNumbers(
        {CNLabeledValue<CNPhoneNumber>(CNLabelHome, CNPhoneNumber(QStringLiteral("+44 (20) 7946-0018")))});
    contact->setEmailAddresses({CNLabeledValue<QString>(CNLabelWork, QStringLiteral("ada@example.org"))});
    contact->setNote(QStringLiteral("Met at the Royal Society"));
    return KQContactHelper::create(contact, true);
}

QStringList names(const KQContactHelperList& contacts)
{
    QStringList out;
    for (const auto& contact : contacts)
        out << contact->givenName().value_or(QString());
    return out;
}

struct SearchCase
{
    const char* name;
    const char* text;
    bool found;
};

class SearchFields : public ::testing::TestWithParam<SearchCase>
{
};

void PrintTo(const SearchCase& c, std::ostream* os)
{
    *os << c.name;
}

std::string searchName(const ::testing::TestParamInfo<SearchCase>& param)
{
    return param.param.name;
}

} // namespace

TEST_P(SearchFields, FindsTheContactByEachSearchedField)
{
    const KQContactHelperPtr contact = ada();
    EXPECT_EQ(KQContactListFilter::matchesSearch(*contact, QString::fromUtf8(GetParam().text), false),
              GetParam().found);
}

INSTANTIATE_TEST_SUITE_P(
    ContactList, SearchFields,
    ::testing::Values(SearchCase{"GivenNameIgnoringCase", "ada", true}, SearchCase{"FamilyNamePart", "LOVE", true},
                      SearchCase{"FullNameAcrossParts", "ada lovelace", true},
                      SearchCase{"JobLineIgnoringCase", "engines", true},
                      SearchCase{"PhoneNumberAsWritten", "7946-0018", true},
                      SearchCase{"PhoneNumberByItsDigits", "2079460018", true},
                      SearchCase{"EmailAddress", "example.org", true}, SearchCase{"NoteIgnoringCase", "royal", true},
                      SearchCase{"NobodyElse", "Babbage", false}, SearchCase{"EmptyTextFindsEveryone", "", true}),
    searchName);

TEST(ContactListFilter, NoteIsLeftOutWhereThePopupSearches)
{
    const KQContactHelperPtr contact = ada();
    EXPECT_FALSE(KQContactListFilter::matchesSearch(*contact, QStringLiteral("royal"), false, false));
    EXPECT_TRUE(KQContactListFilter::matchesSearch(*contact, QStringLiteral("analyst"), false, false));
}

TEST(ContactListFilter, SortsByNameWithEmptyNamesLastAscendingAndFirstDescending)
{
    const KQContactHelperList contacts = {person(QStringLiteral("bob")), person(QString()),
                                          person(QStringLiteral("Alice")), person(QStringLiteral("carol"))};
    EXPECT_EQ(names(KQContactListFilter::sortContactHelpers(contacts, 0, false)),
              (QStringList{QStringLiteral("Alice"), QStringLiteral("bob"), QStringLiteral("carol"), QString()}));
    EXPECT_EQ(names(KQContactListFilter::sortContactHelpers(contacts, 1, false)),
              (QStringList{QString(), QStringLiteral("carol"), QStringLiteral("bob"), QStringLiteral("Alice")}));
    EXPECT_EQ(names(KQContactListFilter::sortContactHelpers(contacts, 2, false)), names(contacts));
}

TEST(ContactListFilter, NameOrderDecidesWhichNameSortsFirst)
{
    const KQContactHelperList contacts = {person(QStringLiteral("Zoe"), QStringLiteral("Adams")),
                                          person(QStringLiteral("Adam"), QStringLiteral("Zimmer"))};
    EXPECT_EQ(names(KQContactListFilter::sortContactHelpers(contacts, 0, false)),
              (QStringList{QStringLiteral("Adam"), QStringLiteral("Zoe")}));
    EXPECT_EQ(names(KQContactListFilter::sortContactHelpers(contacts, 0, true)),
              (QStringList{QStringLiteral("Zoe"), QStringLiteral("Adam")}));
}

TEST(ContactListFilter, TagAndSearchBothNarrowTheListThenItIsSorted)
{
    const KQContactHelperList contacts = {person(QStringLiteral("Carl"), QStringLiteral("Sagan")),
                                          person(QStringLiteral("Ada"), QStringLiteral("Lovelace")),
                                          person(QStringLiteral("Alan"), QStringLiteral("Turing")),
                                          person(QStringLiteral("Anne"), QStringLiteral("Sagan"))};
    KQContactListQuery query;
    query.taggedIdentifiers =
        QSet<QString>{contacts[0]->identifier(), contacts[2]->identifier(), contacts[3]->identifier()};
    EXPECT_EQ(names(KQContactListFilter::filter(contacts, query)),
              (QStringList{QStringLiteral("Alan"), QStringLiteral("Anne"), QStringLiteral("Carl")}));
    query.searchText = QStringLiteral("sagan");
    query.sortType = 1;
    EXPECT_EQ(names(KQContactListFilter::filter(contacts, query)),
              (QStringList{QStringLiteral("Carl"), QStringLiteral("Anne")}));
}

TEST(ContactListFilter, AStoppedFilterAnswersNothing)
{
    KQContactHelperList contacts;
    for (int i = 0; i < 2000; ++i)
        contacts.push_back(person(QStringLiteral("P%1").arg(i)));
    int polls = 0;
    const KQContactHelperList kept = KQContactListFilter::filter(contacts, {}, [&polls] { return ++polls > 1; });
    EXPECT_TRUE(kept.empty());
}
