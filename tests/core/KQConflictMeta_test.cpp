#include "KQTestPython.h"
#include "model/KQContactHelper.h"
#include "problems/KQConflictMeta.h"
#include "problems/KQConflictMetaDuplicateName.h"
#include "problems/KQConflictMetaPrefix.h"

#include <functional>
#include <gtest/gtest.h>

namespace {

// Sets LC_ALL for the lifetime of the object; the allowed lists are built from it.
class LocaleScope
{
public:
    explicit LocaleScope(const char* identifier)
        : m_saved(qgetenv("LC_ALL")), m_wasSet(qEnvironmentVariableIsSet("LC_ALL"))
    {
        qputenv("LC_ALL", identifier);
    }
    ~LocaleScope()
    {
        if (m_wasSet)
            qputenv("LC_ALL", m_saved);
        else
            qunsetenv("LC_ALL");
    }

private:
    QByteArray m_saved;
    bool m_wasSet;
};

QString s(const char* text)
{
    return QString::fromUtf8(text);
}

CNLabeledValue<CNPhoneNumber> phone(const char* text)
{
    return {CNLabelHome, CNPhoneNumber(s(text))};
}

CNLabeledValue<QString> email(const char* text)
{
    return {CNLabelWork, s(text)};
}

CNLabeledValue<CNPostalAddress> address(const char* street, const char* city)
{
    CNPostalAddress a;
    a.street = s(street);
    a.city = s(city);
    a.country = QStringLiteral("United States");
    return {CNLabelHome, a};
}

using Fill = std::function<void(CNContactData&)>;

struct CheckCase
{
    const char* title;
    const char* kind;
    Fill fill;
    bool expected;
    const char* locale = "en_US.UTF-8";
};

void PrintTo(const CheckCase& c, std::ostream* os)
{
    *os << c.kind << ": " << c.title;
}

KQContactHelperPtr record(const Fill& fill)
{
    CNContactData d;
    d.identifier = CNMakeIdentifier();
    fill(d);
    return KQContactHelper::create(std::make_shared<CNContact>(d, CNAllKeysSet()), true);
}

Fill given(const char* text)
{
    return [text](CNContactData& d) { d.givenName = s(text); };
}

} // namespace

class CheckContact : public ::testing::TestWithParam<CheckCase>
{
};

TEST_P(CheckContact, FollowsTheKindsRule)
{
    const CheckCase& c = GetParam();
    LocaleScope locale(c.locale);
    const KQConflictMetaPtr meta = KQConflictMeta::metaWithName(s(c.kind));
    const KQContactHelperPtr contact = record(c.fill);
    EXPECT_EQ(meta->checkContactHelper(contact.get()), c.expected) << c.kind << ": " << c.title;
}

const char* const kNotes = "Empty notes";
const char* const kCompany = "Has company name but no job title";
const char* const kBlank = "Blank name";
const char* const kIncomplete = "Incomplete name";
const char* const kSpace = "Blank space in the first name";
const char* const kDupPhone = "Duplicate phone numbers in a single contact";
const char* const kDupEmail = "Duplicate email addresses in a single contact";
const char* const kDupAddress = "Duplicate postal addresses in a single contact";
const char* const kInvalid = "Invalid phone number or email address";
const char* const kPrefix = "Unusual prefix";
const char* const kSuffix = "Unusual suffix";

INSTANTIATE_TEST_SUITE_P(
    Rules, CheckContact,
    ::testing::Values(
        CheckCase{"no note", kNotes, given("Ann"), true},
        CheckCase{"a note", kNotes, [](CNContactData& d) { d.note = s("call back"); }, false},
        CheckCase{"a note of one space", kNotes, [](CNContactData& d) { d.note = s(" "); }, false},

        CheckCase{"company without title", kCompany, [](CNContactData& d) { d.organizationName = s("Acme"); }, true},
        CheckCase{"company with title", kCompany,
                  [](CNContactData& d) {
                      d.organizationName = s("Acme");
                      d.jobTitle = s("CEO");
                  },
                  false},
        CheckCase{"title without company", kCompany, [](CNContactData& d) { d.jobTitle = s("CEO"); }, false},

        CheckCase{"nothing at all", kBlank, [](CNContactData&) {}, true},
        CheckCase{"nickname only", kBlank, [](CNContactData& d) { d.editRare().nickname = s("Bo"); }, true},
        CheckCase{"organization only", kBlank, [](CNContactData& d) { d.organizationName = s("Acme"); }, true},
        CheckCase{"phonetic name only", kBlank, [](CNContactData& d) { d.editRare().phoneticGivenName = s("an"); }, true},
        CheckCase{"prefix only", kBlank, [](CNContactData& d) { d.editRare().namePrefix = s("Dr"); }, false},
        CheckCase{"suffix only", kBlank, [](CNContactData& d) { d.editRare().nameSuffix = s("Jr"); }, false},

        CheckCase{"given name only", kIncomplete, given("Ann"), true},
        CheckCase{"family name only", kIncomplete, [](CNContactData& d) { d.familyName = s("Lee"); }, true},
        CheckCase{"prefix only", kIncomplete, [](CNContactData& d) { d.editRare().namePrefix = s("Dr"); }, true},
        CheckCase{"middle name only", kIncomplete, [](CNContactData& d) { d.editRare().middleName = s("B"); }, true},
        CheckCase{"nickname only is blank, not incomplete", kIncomplete,
                  [](CNContactData& d) { d.editRare().nickname = s("Bo"); }, false},
        CheckCase{"given and family", kIncomplete,
                  [](CNContactData& d) {
                      d.givenName = s("Ann");
                      d.familyName = s("Lee");
                  },
                  false},

        CheckCase{"leading space", kSpace, given(" Ann"), true},
        CheckCase{"a single space", kSpace, given(" "), true},
        CheckCase{"leading tab", kSpace, given("\tAnn"), false},
        CheckCase{"trailing space", kSpace, given("Ann "), false},
        CheckCase{"inner space", kSpace, given("Ann Marie"), false},
        CheckCase{"leading no-break space", kSpace, given("\u00a0Ann"), false},
        CheckCase{"no given name", kSpace, [](CNContactData& d) { d.familyName = s(" Lee"); }, false},

        CheckCase{"same phone twice", kDupPhone,
                  [](CNContactData& d) { d.phoneNumbers = {phone("555-0100"), phone("555-0100")}; }, true},
        CheckCase{"equal pair not adjacent", kDupPhone,
                  [](CNContactData& d) { d.phoneNumbers = {phone("1"), phone("2"), phone("3"), phone("2")}; }, true},
        CheckCase{"same digits written differently", kDupPhone,
                  [](CNContactData& d) { d.phoneNumbers = {phone("555-0100"), phone("5550100")}; }, false},
        CheckCase{"one phone", kDupPhone, [](CNContactData& d) { d.phoneNumbers = {phone("555-0100")}; }, false},

        CheckCase{"same address twice", kDupEmail,
                  [](CNContactData& d) { d.emailAddresses = {email("ann@example.com"), email("ann@example.com")}; },
                  true},
        CheckCase{"addresses differing in case", kDupEmail,
                  [](CNContactData& d) { d.emailAddresses = {email("ann@example.com"), email("Ann@Example.com")}; },
                  false},
        CheckCase{"two empty addresses", kDupEmail,
                  [](CNContactData& d) { d.emailAddresses = {email(""), email("")}; }, false},
        CheckCase{"phones do not count", kDupEmail,
                  [](CNContactData& d) { d.phoneNumbers = {phone("555-0100"), phone("555-0100")}; }, false},

        CheckCase{"same postal address twice", kDupAddress,
                  [](CNContactData& d) { d.postalAddresses = {address("1 Main St", "Springfield"), address("1 Main St", "Springfield")}; },
                  true},
        CheckCase{"different cities", kDupAddress,
                  [](CNContactData& d) { d.postalAddresses = {address("1 Main St", "Springfield"), address("1 Main St", "Shelbyville")}; },
                  false},

        CheckCase{"no values", kInvalid, given("Ann"), false},
        CheckCase{"empty e-mail", kInvalid, [](CNContactData& d) { d.emailAddresses = {email("")}; }, false},
        CheckCase{"upper-case e-mail", kInvalid,
                  [](CNContactData& d) { d.emailAddresses = {email("ANN@EXAMPLE.COM")}; }, false},
        CheckCase{"domain without dot", kInvalid, [](CNContactData& d) { d.emailAddresses = {email("ann@example")}; },
                  true},
        CheckCase{"bad e-mail after a good one", kInvalid,
                  [](CNContactData& d) { d.emailAddresses = {email("ann@example.com"), email("ann at example")}; },
                  true},
        CheckCase{"full phone number", kInvalid,
                  [](CNContactData& d) { d.phoneNumbers = {phone("+1 (415) 555-2671")}; }, false},
        CheckCase{"four digits are padded", kInvalid, [](CNContactData& d) { d.phoneNumbers = {phone("5550")}; },
                  false},
        CheckCase{"three digits are not padded", kInvalid, [](CNContactData& d) { d.phoneNumbers = {phone("555")}; },
                  true},
        CheckCase{"words in the phone", kInvalid, [](CNContactData& d) { d.phoneNumbers = {phone("call 555-0100")}; },
                  true},
        CheckCase{"bad phone next to good e-mail", kInvalid,
                  [](CNContactData& d) {
                      d.emailAddresses = {email("ann@example.com")};
                      d.phoneNumbers = {phone("+1 (415) 555-2671"), phone("12")};
                  },
                  true},

        CheckCase{"no prefix", kPrefix, given("Ann"), false},
        CheckCase{"allowed prefix", kPrefix, [](CNContactData& d) { d.editRare().namePrefix = s("Dr"); }, false},
        CheckCase{"allowed prefix in lower case", kPrefix, [](CNContactData& d) { d.editRare().namePrefix = s("dr"); }, false},
        CheckCase{"allowed prefix in upper case", kPrefix, [](CNContactData& d) { d.editRare().namePrefix = s("PROFESSOR"); },
                  false},
        CheckCase{"allowed prefix with a period", kPrefix, [](CNContactData& d) { d.editRare().namePrefix = s("Dr."); }, true},
        CheckCase{"two allowed words", kPrefix, [](CNContactData& d) { d.editRare().namePrefix = s("Dr Prof"); }, true},
        CheckCase{"prefix with a trailing space", kPrefix, [](CNContactData& d) { d.editRare().namePrefix = s("Dr "); }, true},
        CheckCase{"French prefix in English", kPrefix, [](CNContactData& d) { d.editRare().namePrefix = s("Mme"); }, true},
        CheckCase{"French prefix in fr_FR", kPrefix, [](CNContactData& d) { d.editRare().namePrefix = s("Mme"); }, false,
                  "fr_FR.UTF-8"},
        CheckCase{"French prefix with its period in fr_FR", kPrefix, [](CNContactData& d) { d.editRare().namePrefix = s("m."); },
                  false, "fr_FR.UTF-8"},
        CheckCase{"English prefix in fr_FR", kPrefix, [](CNContactData& d) { d.editRare().namePrefix = s("Mr"); }, true,
                  "fr_FR.UTF-8"},
        CheckCase{"English prefix in fr_CA", kPrefix, [](CNContactData& d) { d.editRare().namePrefix = s("Mr"); }, false,
                  "fr_CA.UTF-8"},
        CheckCase{"English prefix in plain fr", kPrefix, [](CNContactData& d) { d.editRare().namePrefix = s("Mr"); }, false,
                  "fr"},

        CheckCase{"no suffix", kSuffix, given("Ann"), false},
        CheckCase{"allowed suffix", kSuffix, [](CNContactData& d) { d.editRare().nameSuffix = s("jr"); }, false},
        CheckCase{"allowed suffix with a period", kSuffix, [](CNContactData& d) { d.editRare().nameSuffix = s("Jr."); }, true},
        CheckCase{"prefix entry is not a suffix", kSuffix, [](CNContactData& d) { d.editRare().nameSuffix = s("Dr"); }, true},
        CheckCase{"French suffix in fr_FR", kSuffix, [](CNContactData& d) { d.editRare().nameSuffix = s("ETC."); }, false,
                  "fr_FR.UTF-8"},
        CheckCase{"English suffix in fr_FR", kSuffix, [](CNContactData& d) { d.editRare().nameSuffix = s("Jr"); }, true,
                  "fr_FR.UTF-8"},

        CheckCase{"duplicate name is found pairwise", "Duplicate name", [](CNContactData&) {}, false},
        CheckCase{"exact duplicates are found pairwise", "Exact duplicate contacts", [](CNContactData&) {}, false},
        CheckCase{"same-phone kind is found pairwise", "Duplicate phone numbers in multiple contacts",
                  [](CNContactData& d) { d.phoneNumbers = {phone("1"), phone("1")}; }, false},
        CheckCase{"unknown kind", "Company without title", [](CNContactData& d) { d.organizationName = s("Acme"); },
                  false}));

TEST(CheckContact, PrefixTestNeedsThePrefixClass)
{
    LocaleScope locale("en_US.UTF-8");
    const KQContactHelperPtr contact = record([](CNContactData& d) {
        d.setRare(&CNContactRareFields::namePrefix, s("Grand Vizier"));
        d.setRare(&CNContactRareFields::nameSuffix, s("Grand Vizier"));
    });
    KQConflictMeta plainPrefix(s(kPrefix));
    EXPECT_FALSE(plainPrefix.checkContactHelper(contact.get()));
    KQConflictMeta plainSuffix(s(kSuffix));
    EXPECT_FALSE(plainSuffix.checkContactHelper(contact.get()));
    KQConflictMetaPrefix prefix(s(kPrefix));
    EXPECT_TRUE(prefix.checkContactHelper(contact.get()));
    prefix.addAvailableFix(s("grand vizier"));
    EXPECT_FALSE(prefix.checkContactHelper(contact.get()));
}

// --- the catalogue

using T = KQConflictSolutionType;

// What holds for every kind, without restating the catalogue's texts.
TEST(Catalogue, EveryKindOffersItsDefaultSolutionAndFreshObjects)
{
    for (const KQConflictMetaPtr& meta : KQConflictMeta::avaliableConflictMetas()) {
        SCOPED_TRACE(meta->name().toStdString());
        EXPECT_FALSE(meta->conflictDescription().isEmpty());
        const auto solutions = meta->availableSolutions();
        ASSERT_FALSE(solutions.empty());
        const KQConflictSolutionPtr chosen = meta->defaultSolution();
        EXPECT_TRUE(
            std::any_of(solutions.begin(), solutions.end(), [&](const auto& x) { return x->isEqualTo(chosen.get()); }));
        // Ignoring is always possible, and each call makes new objects.
        EXPECT_TRUE(
            std::any_of(solutions.begin(), solutions.end(), [](const auto& x) { return x->type() == T::Ignore; }));
        EXPECT_NE(meta->availableSolutions().front().get(), solutions.front().get());
    }
    // A name outside the catalogue has only the unknown solution.
    const KQConflictMetaPtr unknown = KQConflictMeta::metaWithName(s("duplicate name"));
    ASSERT_EQ(unknown->availableSolutions().size(), 1u);
    EXPECT_EQ(unknown->availableSolutions().front()->type(), T::Unknown);
}

// The allowed-list kinds name their edit solution after the list, unlike the others.
TEST(Solutions, PrefixAndSuffixKindsEditTheirList)
{
    const QString plainEdit = KQConflictMeta::solutionEditWithName(s(kBlank))->solutionName();
    EXPECT_NE(KQConflictMeta::solutionEditWithName(s(kPrefix))->solutionName(), plainEdit);
    EXPECT_NE(KQConflictMeta::solutionEditWithName(s(kSuffix))->solutionName(), plainEdit);
    EXPECT_NE(KQConflictMeta::solutionEditWithName(s(kPrefix))->solutionName(),
              KQConflictMeta::solutionEditWithName(s(kSuffix))->solutionName());
}

TEST(Catalogue, KindsAreEqualByName)
{
    KQConflictMeta a(s(kBlank));
    KQConflictMetaPrefix b(s(kBlank));
    KQConflictMeta c(s(kNotes));
    QObject other;
    EXPECT_TRUE(a.isEqualTo(&b));
    EXPECT_FALSE(a.isEqualTo(&c));
    EXPECT_FALSE(a.isEqualTo(&other));
    EXPECT_FALSE(a.isEqualTo(nullptr));
}

TEST(Solutions, EqualByTextsNotType)
{
    KQConflictSolution edit(T::Edit, s("Edit"), s("x"));
    KQConflictSolution del(T::Delete, s("Edit"), s("x"));
    KQConflictSolution other(T::Edit, s("Edit"), s("y"));
    EXPECT_TRUE(edit.isEqualTo(&del));
    EXPECT_FALSE(edit.isEqualTo(&other));
    EXPECT_FALSE(edit.isEqualTo(nullptr));
    edit.setSelected(true);
    const KQConflictSolutionPtr copy = edit.copy();
    EXPECT_EQ(copy->type(), T::Edit);
    EXPECT_FALSE(copy->selected());
    EXPECT_TRUE(copy->isEqualTo(&edit));
}

// --- duplicate-name settings

TEST(DuplicateName, MaskFollowsTheParts)
{
    KQConflictMetaDuplicateName meta(s("Duplicate name"));
    int partsChanged = 0;
    QObject::connect(&meta, &KQConflictMetaDuplicateName::duplicateNamePartsChanged, [&] { ++partsChanged; });
    EXPECT_TRUE(meta.duplicateFullName());
    EXPECT_EQ(meta.duplicateNameMask(), 31);

    meta.setDuplicateMiddleName(false);
    EXPECT_FALSE(meta.duplicateFullName());
    EXPECT_EQ(meta.duplicateNameMask(), 1 + 2 + 4 + 16);
    meta.setDuplicateNamePrefix(false);
    meta.setDuplicateNamePrefix(false); // no change, no signal
    EXPECT_EQ(meta.duplicateNameMask(), 2 + 4 + 16);
    EXPECT_EQ(partsChanged, 2);

    meta.setDuplicateFullName(false);
    EXPECT_EQ(meta.duplicateNameMask(), 0);
    meta.setDuplicateFullName(true);
    EXPECT_EQ(meta.duplicateNameMask(), 31);
    EXPECT_TRUE(meta.duplicateFullName());
}

// --- allowed lists

TEST(AllowedLists, DefaultsFollowTheLocale)
{
    QStringList english;
    {
        LocaleScope locale("en_GB.UTF-8");
        english = KQConflictMetaPrefix::defaultAvailablePrefix();
    }
    {
        LocaleScope locale("fr_FR.UTF-8");
        EXPECT_NE(KQConflictMetaPrefix::defaultAvailablePrefix(), english);
    }
    // Only France's French has a list of its own.
    for (const char* other : {"fr_CA.UTF-8", "fr", "fr_BE@euro", "C"}) {
        LocaleScope locale(other);
        EXPECT_EQ(KQConflictMetaPrefix::defaultAvailablePrefix(), english) << other;
    }
}

TEST(AllowedLists, KindKeepsTheListItWasMadeWith)
{
    std::unique_ptr<KQConflictMetaPrefix> prefix;
    QStringList frenchPrefixes;
    {
        LocaleScope locale("fr_FR.UTF-8");
        prefix = std::make_unique<KQConflictMetaPrefix>(s(kPrefix));
        frenchPrefixes = KQConflictMetaPrefix::defaultAvailablePrefix();
    }
    LocaleScope locale("en_US.UTF-8");
    EXPECT_EQ(prefix->availableFixs(), frenchPrefixes);
    KQConflictMetaPrefix other(s("Empty notes"));
    EXPECT_FALSE(other.hasAvailableFixs());
    EXPECT_EQ(other.countOfAvailableFixs(), 0);
}

TEST(AllowedLists, ListOperations)
{
    LocaleScope locale("en_US.UTF-8");
    KQConflictMetaPrefix meta(s(kSuffix));
    QList<QList<int>> inserted, removed, replaced;
    QObject::connect(&meta, &KQConflictMetaPrefix::availableFixsInserted,
                     [&](const QList<int>& i) { inserted.append(i); });
    QObject::connect(&meta, &KQConflictMetaPrefix::availableFixsRemoved,
                     [&](const QList<int>& i) { removed.append(i); });
    QObject::connect(&meta, &KQConflictMetaPrefix::availableFixsReplaced,
                     [&](const QList<int>& i) { replaced.append(i); });

    meta.setAvailableFixs({s("Jr"), s("Sr")});
    EXPECT_EQ(meta.availableFixs(), QStringList({s("Jr"), s("Sr")}));
    ASSERT_EQ(removed.size(), 1);
    EXPECT_EQ(removed.front().size(), KQConflictMetaPrefix::defaultAvailableSuffix().size());
    ASSERT_EQ(inserted.size(), 1);
    EXPECT_EQ(inserted.front(), QList<int>({0, 1}));

    meta.addAvailableFix(s("Jr"));
    EXPECT_EQ(meta.availableFixs(), QStringList({s("Jr"), s("Sr"), s("Jr")}));
    meta.removeAvailableFix(s("Jr"));
    EXPECT_EQ(meta.availableFixs(), QStringList({s("Sr"), s("Jr")}));
    meta.removeAvailableFix(s("jr")); // not equal: case matters here
    EXPECT_EQ(meta.countOfAvailableFixs(), 2);
    EXPECT_EQ(meta.indexOfAvailableFix(s("Jr")), 1);
    EXPECT_EQ(meta.indexOfAvailableFix(s("III")), KQConflictMetaPrefix::NotFound);

    EXPECT_EQ(meta.objectInAvailableFixsAtIndex(1), s("Jr"));
    EXPECT_EQ(meta.objectInAvailableFixsAtIndex(2), std::nullopt);
    EXPECT_EQ(meta.objectInAvailableFixsAtIndex(-1), std::nullopt);

    meta.insertAvailableFixsAtIndexes({s("A"), s("B")}, {3, 0});
    EXPECT_EQ(meta.availableFixs(), QStringList({s("A"), s("Sr"), s("Jr"), s("B")}));
    meta.removeAvailableFixsAtIndexes({3, 1, 9});
    EXPECT_EQ(meta.availableFixs(), QStringList({s("A"), s("Jr")}));
    EXPECT_EQ(removed.back(), QList<int>({1, 3}));
    meta.replaceObjectInAvailableFixsAtIndex(0, s("PhD"));
    meta.replaceObjectInAvailableFixsAtIndex(5, s("no"));
    meta.insertObjectInAvailableFixsAtIndex(s("no"), 7);
    meta.removeObjectFromAvailableFixsAtIndex(-1);
    EXPECT_EQ(meta.availableFixs(), QStringList({s("PhD"), s("Jr")}));
    EXPECT_EQ(replaced, QList<QList<int>>({{0}}));
}

// --- archived form

namespace {

QByteArray archiveList(const std::vector<KQConflictMetaPtr>& metas)
{
    std::vector<const KQCoding*> objects;
    for (const auto& meta : metas)
        objects.push_back(meta.get());
    KQKeyedArchiver archiver;
    archiver.encodeArray(objects, QStringLiteral("root"));
    return archiver.encodedData();
}

std::vector<KQConflictMetaPtr> unarchiveList(const QByteArray& data, const QSet<QString>& classes, QString* error)
{
    KQConflictMeta::registerArchiveClasses();
    KQKeyedUnarchiver unarchiver(data, classes);
    std::vector<KQConflictMetaPtr> metas;
    for (const auto& object : unarchiver.decodeArrayOfClasses(classes, QStringLiteral("root")))
        metas.push_back(std::dynamic_pointer_cast<KQConflictMeta>(object));
    *error = unarchiver.error().localizedDescription;
    return metas;
}

} // namespace

TEST(ConflictArchive, RoundTripKeepsSettingsAndClasses)
{
    LocaleScope locale("en_US.UTF-8");
    auto metas = KQConflictMeta::avaliableConflictMetas();
    metas.push_back(KQConflictMeta::metaWithName(s("Duplicate postal addresses in multiple contacts")));
    metas[2]->setValidate(false);
    auto duplicateName = std::dynamic_pointer_cast<KQConflictMetaDuplicateName>(metas[0]);
    duplicateName->setDuplicateMiddleName(false);
    duplicateName->setDuplicateNameSuffix(false);
    auto prefix = std::dynamic_pointer_cast<KQConflictMetaPrefix>(metas[10]);
    prefix->setAvailableFixs({s("Dr"), s("Herr")});
    auto suffix = std::dynamic_pointer_cast<KQConflictMetaPrefix>(metas[11]);
    suffix->setAvailableFixs({});

    QString error;
    const auto decoded = unarchiveList(archiveList(metas), KQConflictMeta::archiveClasses(), &error);
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    ASSERT_EQ(decoded.size(), metas.size());
    for (size_t i = 0; i < metas.size(); ++i) {
        ASSERT_TRUE(decoded[i]);
        EXPECT_EQ(decoded[i]->name(), metas[i]->name());
        EXPECT_EQ(decoded[i]->validate(), metas[i]->validate()) << i;
        EXPECT_STREQ(decoded[i]->metaObject()->className(), metas[i]->metaObject()->className());
    }
    auto decodedName = std::dynamic_pointer_cast<KQConflictMetaDuplicateName>(decoded[0]);
    EXPECT_EQ(decodedName->duplicateNameMask(), 1 + 4 + 16);
    EXPECT_EQ(std::dynamic_pointer_cast<KQConflictMetaPrefix>(decoded[10])->availableFixs(), prefix->availableFixs());
    // An emptied list stays empty instead of coming back as the defaults.
    auto decodedSuffix = std::dynamic_pointer_cast<KQConflictMetaPrefix>(decoded[11]);
    EXPECT_TRUE(decodedSuffix->hasAvailableFixs());
    EXPECT_EQ(decodedSuffix->countOfAvailableFixs(), 0);
}

TEST(ConflictArchive, SubclassesNeedTheirOwnClassAllowed)
{
    QString error;
    const auto decoded = unarchiveList(archiveList(KQConflictMeta::avaliableConflictMetas()),
                                       {QStringLiteral("KQConflictMeta")}, &error);
    EXPECT_TRUE(decoded.empty());
    EXPECT_TRUE(error.contains(QStringLiteral("KQConflictMetaDuplicateName"))) << error.toStdString();
}

TEST(ConflictArchive, ClassNamesAndKeysAsAnIndependentReaderSeesThem)
{
    LocaleScope locale("C.UTF-8");
    std::vector<KQConflictMetaPtr> metas = {KQConflictMeta::metaWithName(s("Duplicate name")),
                                            KQConflictMeta::metaWithName(s("Unusual suffix")),
                                            KQConflictMeta::metaWithName(s("Empty notes"))};
    metas[2]->setValidate(false);
    const auto out = KQRunPythonOnData(
        QStringLiteral("import plistlib,sys\n"
                       "d=plistlib.load(open(sys.argv[1],'rb'))\n"
                       "o=d['$objects']\n"
                       "for u in o[d['$top']['root'].data]['NS.objects']:\n"
                       "  x=o[u.data]\n"
                       "  c=o[x['$class'].data]\n"
                       "  keys=[k for k in x if k!='$class']\n"
                       "  v=[o[x[k].data] if isinstance(x[k],plistlib.UID) else x[k] for k in keys]\n"
                       "  v=[len(y['NS.objects']) if isinstance(y,dict) and 'NS.objects' in y else y for y in v]\n"
                       "  print(','.join(c['$classes']),*[f'{k}={w}' for k,w in zip(keys,v)])\n"),
        archiveList(metas));
    if (!out)
        GTEST_SKIP() << "python3 not available";
    EXPECT_EQ(out->toStdString(),
              std::string("KQConflictMetaDuplicateName,KQConflictMeta,NSObject name=Duplicate name validate=True "
                          "duplicateMiddleName=True duplicateFamilyName=True duplicateGivenName=True "
                          "duplicateNameSuffix=True duplicateNamePrefix=True\n"
                          "KQConflictMetaPrefix,KQConflictMeta,NSObject name=Unusual suffix validate=True "
                          "availableFixs=25\n"
                          "KQConflictMeta,NSObject name=Empty notes validate=False"));
}
