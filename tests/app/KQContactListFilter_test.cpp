// What the contact list shows of a node: search over names, job line, phone numbers, e-mail
// addresses and note; the tag filter; the three sort orders.
#include "KQAppTestSupport.h"
#include "app/windows/KQContactListFilter.h"
#include "platform/CNLabels.h"

#include <gtest/gtest.h>

#include <numeric>

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

// ---- rows listed before the records load: each must read as its record does and sort to the
// same place, or the records could not take the rows' places.

namespace {

struct RowCase
{
    const char* name;
    const char* prefix;
    const char* given;
    const char* middle;
    const char* family;
    const char* suffix;
    const char* job;
    const char* organization;
    bool company;
};

CNContactData rowData(const RowCase& c)
{
    CNContactData data;
    data.identifier = CNContact().identifier();
    data.setRare(&CNContactRareFields::namePrefix, QString::fromUtf8(c.prefix));
    data.givenName = QString::fromUtf8(c.given);
    data.setRare(&CNContactRareFields::middleName, QString::fromUtf8(c.middle));
    data.familyName = QString::fromUtf8(c.family);
    data.setRare(&CNContactRareFields::nameSuffix, QString::fromUtf8(c.suffix));
    data.jobTitle = QString::fromUtf8(c.job);
    data.organizationName = QString::fromUtf8(c.organization);
    data.contactType = c.company ? CNContactType::Organization : CNContactType::Person;
    return data;
}

class ListRows : public ::testing::TestWithParam<RowCase>
{
};

void PrintTo(const RowCase& c, std::ostream* os)
{
    *os << c.name;
}

std::string rowName(const ::testing::TestParamInfo<RowCase>& param)
{
    return param.param.name;
}

} // namespace

TEST_P(ListRows, ARowFetchedWithTheListKeysReadsAsTheFullyLoadedRecord)
{
    const CNContactData data = rowData(GetParam());
    // The row's contact holds the list's keys only, as the early fetch leaves it.
    const CNContact listed(data, CNKeySetFromKeys(KQContactListFilter::listKeys()));
    const KQContactHelperPtr record =
        KQContactHelper::create(std::make_shared<CNContact>(data, CNKeySet().set()), true);
    for (const bool familyNameFirst : {false, true}) {
        const KQContactListRow row = KQContactListFilter::listRow(listed, 7, familyNameFirst);
        const QString fullName = KQContactListFilter::fullName(*record, familyNameFirst);
        EXPECT_EQ(row.name, GetParam().company ? record->jobFullName() : fullName) << familyNameFirst;
        EXPECT_EQ(row.subtitle, GetParam().company ? fullName : record->jobFullName()) << familyNameFirst;
        EXPECT_EQ(row.sortKey, KQContactListFilter::sortName(*record, familyNameFirst)) << familyNameFirst;
        EXPECT_EQ(row.identifier, record->identifier());
        EXPECT_EQ(row.position, 7);
    }
}

INSTANTIATE_TEST_SUITE_P(
    ContactList, ListRows,
    ::testing::Values(RowCase{"EveryNamePart", "Dr", "Ada", "King", "Lovelace", "PhD", "", "", false},
                      RowCase{"PersonWithAJobLine", "", "Alan", "", "Turing", "", "Fellow", "King's College", false},
                      RowCase{"CompanyShowsItsJobLineFirst", "", "Grace", "", "Hopper", "", "", "Navy", true},
                      RowCase{"FamilyNameOnly", "", "", "", "Babbage", "", "", "", false},
                      RowCase{"NoNameAtAll", "", "", "", "", "", "", "", false}),
    rowName);

namespace {

class RowOrder : public ::testing::TestWithParam<int>
{
};

std::string orderName(const ::testing::TestParamInfo<int>& param)
{
    static const char* const names[] = {"Ascending", "Descending", "NodeOrder"};
    return names[param.param];
}

} // namespace

TEST_P(RowOrder, RowsSortToTheirRecordsPlacesTiesAndEmptyNamesIncluded)
{
    // Ties, empty names, names alike in their first letters (which the sorts compare packed
    // into one number), a name of four highest code units, and letters past ASCII.
    const QStringList given = {QStringLiteral("bob"),      QString(),
                               QStringLiteral("Alice"),    QStringLiteral("bob"),
                               QStringLiteral("Bob"),      QString(),
                               QStringLiteral("carol"),    QStringLiteral("alice"),
                               QStringLiteral("Roberta"),  QStringLiteral("Rob"),
                               QStringLiteral("Robert"),   QStringLiteral("Robe"),
                               QStringLiteral("James Smith"), QStringLiteral("James Smit"),
                               QStringLiteral("James Johnson"), QStringLiteral("james s"),
                               QStringLiteral("\uFFFF\uFFFF\uFFFF\uFFFF"), QStringLiteral("\u00C9lodie"),
                               QStringLiteral("Zo\u00EB"), QStringLiteral("\U0001F600 Smile")};
    KQContactHelperList records;
    std::vector<KQContactListRow> rows;
    for (const QString& name : given) {
        const KQContactHelperPtr record = person(name);
        rows.push_back(KQContactListFilter::listRow(*record->contact(), static_cast<int>(records.size()), false));
        records.push_back(record);
    }
    KQContactListFilter::sortRows(rows, GetParam());
    QStringList rowOrder;
    for (const auto& row : rows)
        rowOrder << row.identifier;
    QStringList recordOrder;
    for (const auto& record : KQContactListFilter::sortContactHelpers(records, GetParam(), false))
        recordOrder << record->identifier();
    EXPECT_EQ(rowOrder, recordOrder);
    if (GetParam() == KQContactListFilter::Ascending) {
        // The names in lower case as plain texts, the empty ones last, ties in the node's order.
        std::vector<int> expected(static_cast<size_t>(given.size()));
        std::iota(expected.begin(), expected.end(), 0);
        std::stable_sort(expected.begin(), expected.end(), [&given](int a, int b) {
            const QString x = given[a].toLower(), y = given[b].toLower();
            return x.isEmpty() != y.isEmpty() ? y.isEmpty() : QString::compare(x, y, Qt::CaseSensitive) < 0;
        });
        QStringList expectedOrder;
        for (const int at : expected)
            expectedOrder << records[static_cast<size_t>(at)]->identifier();
        EXPECT_EQ(recordOrder, expectedOrder);
    }
}

INSTANTIATE_TEST_SUITE_P(ContactList, RowOrder, ::testing::Values(0, 1, 2), orderName);
