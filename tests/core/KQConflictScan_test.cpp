#include "KQConflictTestBooks.h"
#include "KQTestUtil.h"
#include "platform/CNContactVCardSerialization.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace kqscan;

namespace {

QString s(const char* text)
{
    return QString::fromUtf8(text);
}

CNContactData named(const char* given, const char* family = "")
{
    CNContactData d;
    d.identifier = CNMakeIdentifier();
    d.givenName = s(given);
    d.familyName = s(family);
    d.note = QStringLiteral("n");
    return d;
}

CNLabeledValue<CNPhoneNumber> phone(const char* text)
{
    return {CNLabelHome, CNPhoneNumber(s(text))};
}

KQConflictScanKinds only(const std::vector<const QString*>& names)
{
    KQConflictScanKinds kinds = allKinds();
    for (const auto& meta : kinds.metas)
        meta->setValidate(
            std::any_of(names.begin(), names.end(), [&](const QString* n) { return *n == meta->name(); }));
    return kinds;
}

QStringList ids(const KQContactHelperList& list, std::initializer_list<int> positions)
{
    QStringList out;
    for (int p : positions)
        out.append(list[static_cast<size_t>(p)]->identifier());
    return out;
}

// How many books, and how large, the property test draws; KQ_TEST_SCALE multiplies both.
int scale()
{
    const int value = qEnvironmentVariableIntValue("KQ_TEST_SCALE");
    return value > 0 ? value : 1;
}

} // namespace

// --- the cases the rules single out, with results worked out by hand

TEST(ConflictScan, ThreeExactDuplicatesFormOneItemWithDeleteAsDefault)
{
    CNContactData a = named("Ann", "Smith");
    a.phoneNumbers = {phone("1"), phone("2")};
    CNContactData b = a, c = a;
    b.identifier = CNMakeIdentifier();
    c.identifier = CNMakeIdentifier();
    std::reverse(c.phoneNumbers.begin(), c.phoneNumbers.end());
    const KQContactHelperList list = records({a, b, c});
    const auto task = KQConflictScanTask::initWithContactHelpers(list);
    task->setKinds(allKinds());
    const KQConflictResultPtr result = task->scan({});
    ASSERT_TRUE(result);
    ASSERT_EQ(result->countOfConflictGroups(), 1);
    const KQConflictGroupPtr group = result->conflictGroupAtIndex(0);
    EXPECT_EQ(group->conflictMeta()->name(), KQConflictName::ExactDuplicateContacts);
    ASSERT_EQ(group->countOfConflictItems(), 1);
    EXPECT_EQ(outcomeOf(*result).front().items.front(), ids(list, {0, 1, 2}));
    ASSERT_TRUE(group->conflictItemAtIndex(0)->currentSolution());
    EXPECT_EQ(group->conflictItemAtIndex(0)->currentSolution()->solutionName(),
              QStringLiteral("Delete duplicate contacts"));
}

TEST(ConflictScan, PlacedContactsTakeNoPartInLaterPhases)
{
    // A and B share a name; C shares A's phone but A has already left the list.
    CNContactData a = named("Ann"), b = named("Ann"), c = named("");
    a.phoneNumbers = {phone("555-0100")};
    b.phoneNumbers = {phone("555-0199")};
    c.phoneNumbers = {phone("555-0100")};
    c.note.clear();
    const KQContactHelperList list = records({a, b, c});
    const auto outcome = fastScan(list, allKinds());
    ASSERT_TRUE(outcome);
    ASSERT_FALSE(outcome->empty());
    EXPECT_EQ(outcome->front(), (Found{KQConflictName::DuplicateName, {ids(list, {0, 1})}}));
    for (const Found& found : *outcome)
        EXPECT_NE(found.kind, KQConflictName::DuplicatePhoneInMultipleContacts);
    EXPECT_EQ(*outcome, literalScan(list, allKinds()));
}

TEST(ConflictScan, ItemsAreAnchoredOnTheirFirstContact)
{
    // A shares a number with B and another with C; B and C share nothing. In the order B, A, C the
    // item is [B, A], and C, compared with B only, stays out.
    CNContactData a = named("A"), b = named("B"), c = named("C");
    a.phoneNumbers = {phone("1111"), phone("2222")};
    b.phoneNumbers = {phone("1111")};
    c.phoneNumbers = {phone("2222")};
    const KQContactHelperList list = records({b, a, c});
    const KQConflictScanKinds kinds = only({&KQConflictName::DuplicatePhoneInMultipleContacts});
    const auto outcome = fastScan(list, kinds);
    ASSERT_TRUE(outcome);
    EXPECT_EQ(*outcome, (Outcome{Found{KQConflictName::DuplicatePhoneInMultipleContacts, {ids(list, {0, 1})}}}));
}

TEST(ConflictScan, AContactGetsOnlyTheFirstSingleContactKind)
{
    CNContactData blank;
    blank.identifier = CNMakeIdentifier();
    const KQContactHelperList list = records({blank});
    const auto outcome = fastScan(list, allKinds());
    ASSERT_TRUE(outcome);
    EXPECT_EQ(*outcome, (Outcome{Found{KQConflictName::BlankName, {ids(list, {0})}}}));
}

TEST(ConflictScan, WithoutTheExactKindDuplicatesShowAsDuplicateNamesOnly)
{
    CNContactData a = named("Ann", "Smith");
    a.phoneNumbers = {phone("555-0100")};
    CNContactData b = a;
    b.identifier = CNMakeIdentifier();
    const KQContactHelperList list = records({a, b});
    KQConflictScanKinds kinds = allKinds();
    kinds.conflictMetaWithName(KQConflictName::ExactDuplicateContacts)->setValidate(false);
    const auto outcome = fastScan(list, kinds);
    ASSERT_TRUE(outcome);
    EXPECT_EQ(*outcome, (Outcome{Found{KQConflictName::DuplicateName, {ids(list, {0, 1})}}}));
}

TEST(ConflictScan, NoContactsGiveAnEmptyResult)
{
    const auto outcome = fastScan({}, allKinds());
    ASSERT_TRUE(outcome);
    EXPECT_TRUE(outcome->empty());
}

TEST(ConflictScan, TheDefaultListNeverLooksForSharedPostalAddresses)
{
    CNContactData a = named("A"), b = named("B");
    CNPostalAddress address;
    address.street = QStringLiteral("1 Main St");
    a.postalAddresses = {{CNLabelHome, address}};
    b.postalAddresses = {{CNLabelWork, address}};
    const KQContactHelperList list = records({a, b});
    const auto outcome = fastScan(list, KQConflictScanKinds{KQConflictMeta::avaliableConflictMetas()});
    ASSERT_TRUE(outcome);
    for (const Found& found : *outcome)
        EXPECT_NE(found.kind, KQConflictName::DuplicateAddressInMultipleContacts);
    const auto withPostal = fastScan(list, only({&KQConflictName::DuplicateAddressInMultipleContacts}));
    ASSERT_TRUE(withPostal);
    EXPECT_EQ(*withPostal, (Outcome{Found{KQConflictName::DuplicateAddressInMultipleContacts, {ids(list, {0, 1})}}}));
}

TEST(ConflictScan, ExactDuplicatesWithRepeatedValuesCompareOneWay)
{
    // [x, x, y] has each of its values among [x, y, z] (same count), but not the other way round:
    // the earlier contact decides.
    CNContactData a = named("Ann"), b = named("Ann");
    a.phoneNumbers = {phone("1"), phone("1"), phone("2")};
    b.phoneNumbers = {phone("1"), phone("2"), phone("3")};
    const KQConflictScanKinds kinds = only({&KQConflictName::ExactDuplicateContacts});
    for (const auto& order : {std::vector<CNContactData>{a, b}, std::vector<CNContactData>{b, a}}) {
        const KQContactHelperList list = records(order);
        const auto outcome = fastScan(list, kinds);
        ASSERT_TRUE(outcome);
        EXPECT_EQ(*outcome, literalScan(list, kinds));
    }
    EXPECT_EQ(fastScan(records({a, b}), kinds)->size(), 1u);
    EXPECT_TRUE(fastScan(records({b, a}), kinds)->empty());
}

TEST(ConflictScan, TheSameContactListedTwiceIsPlacedOnce)
{
    CNContactData a = named("Ann");
    const KQContactHelperList one = records({a});
    const KQContactHelperList list = {one[0], records({named("Bob")})[0], one[0]};
    const KQConflictScanKinds kinds = allKinds();
    EXPECT_EQ(*fastScan(list, kinds), literalScan(list, kinds));
}

// --- cancel and the delegate's calls

namespace {

class Recorder : public KQConflictScanTaskDelegate
{
public:
    void conflictScanTaskStart(KQConflictScanTask*) override { calls.append(QStringLiteral("start")); }
    bool conflictScanTaskQueryCancelWithProgress(KQConflictScanTask*, double progress) override
    {
        EXPECT_TRUE(KQDispatch::isMainThread());
        calls.append(QStringLiteral("progress"));
        progresses.push_back(progress);
        return progress >= cancelAt;
    }
    void conflictScanTaskCompleteWithResult(KQConflictScanTask*, const KQConflictResultPtr& r) override
    {
        calls.append(QStringLiteral("complete"));
        result = r;
        completed = true;
    }
    QStringList calls;
    std::vector<double> progresses;
    double cancelAt = 1000;
    KQConflictResultPtr result;
    bool completed = false;
};

} // namespace

struct CancelCase
{
    const char* title;
    double cancelAt;
};

void PrintTo(const CancelCase& c, std::ostream* os)
{
    *os << c.title;
}

class ScanCancel : public ::testing::TestWithParam<CancelCase>
{
};

TEST_P(ScanCancel, CallsStartProgressCompleteInOrderAndACancelYieldsNoResult)
{
    BookGenerator generator(11);
    const KQContactHelperList list = records(generator.book(1500));
    Recorder recorder;
    recorder.cancelAt = GetParam().cancelAt;
    const auto task = KQConflictScanTask::initWithContactHelpers(list);
    task->setKinds(allKinds());
    task->setDelegate(&recorder);
    task->startScanConflicts();
    ASSERT_TRUE(kqWaitUntil([&] { return recorder.completed; }, 60000));
    ASSERT_GE(recorder.calls.size(), 2);
    EXPECT_EQ(recorder.calls.front(), QStringLiteral("start"));
    EXPECT_EQ(recorder.calls.back(), QStringLiteral("complete"));
    EXPECT_EQ(recorder.calls.count(QStringLiteral("complete")), 1);
    EXPECT_TRUE(std::is_sorted(recorder.progresses.begin(), recorder.progresses.end()));
    if (!recorder.progresses.empty()) {
        EXPECT_GE(recorder.progresses.front(), 0.0);
        EXPECT_LE(recorder.progresses.back(), 100.0);
    }
    if (GetParam().cancelAt <= 100) {
        EXPECT_FALSE(recorder.result);
        EXPECT_GE(recorder.progresses.back(), GetParam().cancelAt);
    } else {
        ASSERT_TRUE(recorder.result);
        EXPECT_EQ(outcomeOf(*recorder.result), literalScan(list, allKinds()));
    }
}

INSTANTIATE_TEST_SUITE_P(, ScanCancel,
                         ::testing::Values(CancelCase{"cancelled at the first report", 0},
                                           CancelCase{"cancelled among the phone numbers", 55},
                                           CancelCase{"cancelled among single contacts", 85},
                                           CancelCase{"never cancelled", 1000}),
                         [](const auto& p) {
                             std::string name = p.param.title;
                             std::replace(name.begin(), name.end(), ' ', '_');
                             return name;
                         });

// --- the fast scan against the literal one on generated books

namespace {

// Drops contacts while the two scans still disagree, so that a failure shows a small book.
std::vector<CNContactData> shrink(std::vector<CNContactData> book, const KQConflictScanKinds& kinds)
{
    const auto disagree = [&](const std::vector<CNContactData>& b) {
        const KQContactHelperList list = records(b);
        return fastScan(list, kinds) != std::optional<Outcome>(literalScan(list, kinds));
    };
    for (size_t i = book.size(); i-- > 0;) {
        std::vector<CNContactData> smaller = book;
        smaller.erase(smaller.begin() + static_cast<std::ptrdiff_t>(i));
        if (disagree(smaller))
            book = smaller;
    }
    return book;
}

} // namespace

TEST(ConflictScanProperty, FastScanEqualsLiteralScanOnMessyBooks)
{
    const int books = 200 * scale();
    const int largest = 300 * scale();
    for (int seed = 1; seed <= books; ++seed) {
        BookGenerator generator(static_cast<quint32>(seed));
        const KQConflictScanKinds kinds = generator.kinds();
        const std::vector<CNContactData> book = generator.book(generator.pick(largest + 1));
        const KQContactHelperList list = records(book);
        const std::optional<Outcome> fast = fastScan(list, kinds);
        const Outcome literal = literalScan(list, kinds);
        ASSERT_TRUE(fast);
        if (*fast != literal) {
            const std::vector<CNContactData> small = shrink(book, kinds);
            // Keep the shrunk book for a fixture.
            QTemporaryDir keep;
            keep.setAutoRemove(false);
            QFile file(keep.filePath(QStringLiteral("failing-book.vcf")));
            CNContactList contacts;
            for (const auto& d : small)
                contacts.push_back(std::make_shared<CNContact>(d, CNAllKeysSet()));
            if (file.open(QIODevice::WriteOnly))
                file.write(CNContactVCardSerialization::dataWithContacts(contacts));
            const KQContactHelperList smallList = records(small);
            FAIL() << "seed " << seed << ": " << small.size() << " contacts kept in " << file.fileName().toStdString()
                   << "\nfast:\n"
                   << *fastScan(smallList, kinds) << "literal:\n"
                   << literalScan(smallList, kinds);
        }
    }
}
