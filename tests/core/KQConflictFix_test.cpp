#include "KQSharedStoreTestUtil.h"
#include "problems/KQCompareContacts.h"
#include "problems/KQConflictFixer.h"
#include "problems/KQConflictMetaPrefix.h"
#include "store/KQContactManager.h"
#include "store/KQContactStoreHelper.h"
#include "store/KQContainerLatestImport.h"
#include "store/KQContainerRecyle.h"
#include "store/KQPreferences.h"
#include "store/KQRecyleActions.h"
#include "store/KQStorage.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Counts the private files written.
class CountingStorage : public KQStorage
{
public:
    using KQStorage::KQStorage;
    bool writeStep(WriteStep step, QSaveFile& file, const QByteArray& data) override
    {
        if (step == WriteStep::Write)
            ++writes;
        return KQStorage::writeStep(step, file, data);
    }
    int writes = 0;
};

// Stands for the problem window: the sheet's cancel flag and what became current.
class Window : public KQConflictFixerDelegate
{
public:
    bool conflictFixerQueryCancelWithProgress(double) override { return ++asked > cancelAfter; }
    void conflictFixerDidSelect(const KQConflictGroupPtr& g, const KQConflictItemPtr& i) override
    {
        group = g;
        item = i;
    }
    void conflictFixerDidFinishAll() override { closed = true; }
    int asked = 0;
    int cancelAfter = 1000;
    KQConflictGroupPtr group;
    KQConflictItemPtr item;
    bool closed = false;
};

class ConflictFix : public ::testing::Test
{
protected:
    static CNContactStore* cn() { return KQContactStoreHelper::shared()->contactStore(); }

    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        kqEmptySharedStore();
        storage = std::make_unique<CountingStorage>(dir.path());
        recyle = storage->loadDefaultContainerRecyle();
        preferences = KQPreferences::makeForTesting();
        EXPECT_TRUE(kqReloadAccounts());
        account = kqLocalAccount();
        ASSERT_TRUE(account);
    }

    KQContactHelperList addContacts(const std::vector<KQFill>& fills) { return kqAddContacts(account, fills); }

    static bool storeHas(const QString& identifier) { return kqStoreHas(identifier); }

    KQConflictGroupPtr groupOf(const QString& kind, const std::vector<KQContactHelperList>& items)
    {
        auto group = KQConflictGroup::initWithConflictMeta(KQConflictMeta::metaWithName(kind));
        for (const auto& contacts : items) {
            auto item = KQConflictItem::create();
            item->setContactHelpers(contacts);
            group->addConflictItemsObject(item);
            item->setCurrentSolution(group->conflictMeta()->defaultSolution().get());
        }
        result->addConflictGroupsObject(group);
        return group;
    }

    std::shared_ptr<KQConflictFixer> fixer()
    {
        auto f =
            KQConflictFixer::create(result, {KQContactStoreHelper::shared(), storage.get(), recyle, preferences.get()});
        f->setDelegate(&window);
        return f;
    }

    // Runs the fix button and waits for the fix to finish.
    void fix(const KQConflictGroupPtr& group, const KQConflictItemPtr& current, bool all)
    {
        bool done = false;
        const auto f = fixer();
        f->requireFix(group, current, all, [&done] { done = true; });
        ASSERT_TRUE(kqWaitUntil([&done] { return done; }, 20000));
    }

    QTemporaryDir dir;
    std::unique_ptr<CountingStorage> storage;
    std::shared_ptr<KQContainerRecyle> recyle;
    std::unique_ptr<KQPreferences> preferences;
    KQContainerHelperPtr account;
    KQConflictResultPtr result = KQConflictResult::create();
    Window window;
};

auto named(const char* name)
{
    return [name](CNMutableContact& c) { c.setGivenName(QString::fromUtf8(name)); };
}

} // namespace

TEST_F(ConflictFix, FixAllOfExactDuplicatesKeepsEachFirstAndTrashesTheRest)
{
    const KQContactHelperList c = addContacts({named("a1"), named("a2"), named("a3"), named("b1"), named("b2"),
                                               named("b3"), named("c1"), named("c2"), named("c3")});
    ASSERT_EQ(c.size(), 9u);
    const auto group =
        groupOf(KQConflictName::ExactDuplicateContacts, {{c[0], c[1], c[2]}, {c[3], c[4], c[5]}, {c[6], c[7], c[8]}});
    const int writesBefore = storage->writes;
    fix(group, group->conflictItemAtIndex(0), true);
    for (size_t i = 0; i < c.size(); ++i)
        EXPECT_EQ(storeHas(c[i]->identifier()), i % 3 == 0) << "contact " << i;
    EXPECT_EQ(recyle->recyleEntries().size(), 6u);
    EXPECT_EQ(storage->writes - writesBefore, 1);
    EXPECT_TRUE(result->empty());
    EXPECT_TRUE(window.closed);
}

TEST_F(ConflictFix, FixAllAppliesTheCurrentItemsSolutionToEveryItem)
{
    const KQContactHelperList c = addContacts({named("a1"), named("a2"), named("b1"), named("b2")});
    const auto group = groupOf(KQConflictName::ExactDuplicateContacts, {{c[0], c[1]}, {c[2], c[3]}});
    const KQConflictItemPtr current = group->conflictItemAtIndex(0);
    current->setCurrentSolution(KQConflictMeta::solutionIgnoreWithName(KQConflictName::ExactDuplicateContacts).get());
    fixer()->requireFix(group, current, true);
    for (const auto& contact : c)
        EXPECT_TRUE(storeHas(contact->identifier()));
    EXPECT_TRUE(result->empty());
}

TEST_F(ConflictFix, CancelAfterTheFirstOfFiveSavesThatItemOnly)
{
    const KQContactHelperList c = addContacts({named(""), named(""), named(""), named(""), named("")});
    const auto group = groupOf(KQConflictName::BlankName, {{c[0]}, {c[1]}, {c[2]}, {c[3]}, {c[4]}});
    window.cancelAfter = 0;
    group->conflictItemAtIndex(0)->setCurrentSolution(
        KQConflictMeta::solutionDeleteWithName(KQConflictName::BlankName).get());
    fix(group, group->conflictItemAtIndex(0), true);
    EXPECT_FALSE(storeHas(c[0]->identifier()));
    for (size_t i = 1; i < c.size(); ++i)
        EXPECT_TRUE(storeHas(c[i]->identifier()));
    EXPECT_EQ(group->countOfConflictItems(), 4);
    EXPECT_EQ(window.item, group->conflictItemAtIndex(0));
}

TEST_F(ConflictFix, RemovingDuplicatePhonesKeepsTheFirstWithItsLabel)
{
    const KQContactHelperList c = addContacts({[](CNMutableContact& contact) {
        contact.setPhoneNumbers({{CNLabelWork, CNPhoneNumber(QStringLiteral("555-0100"))},
                                 {CNLabelHome, CNPhoneNumber(QStringLiteral("555-0100"))},
                                 {CNLabelHome, CNPhoneNumber(QStringLiteral("5550100"))}});
    }});
    const auto group = groupOf(KQConflictName::DuplicatePhoneInSingleContact, {{c[0]}});
    fix(group, group->conflictItemAtIndex(0), false);
    const auto stored = cn()->unifiedContactsMatchingPredicate(
        CNContactPredicate::predicateForContactsWithIdentifiers({c[0]->identifier()}), {CNContactPhoneNumbersKey},
        nullptr);
    ASSERT_EQ(stored.size(), 1u);
    const CNPhoneNumberList phones = stored.front()->phoneNumbers();
    ASSERT_EQ(phones.size(), 2u);
    EXPECT_EQ(phones[0].label(), CNLabelWork);
    EXPECT_EQ(phones[0].value().stringValue(), QStringLiteral("555-0100"));
    EXPECT_EQ(phones[1].value().stringValue(), QStringLiteral("5550100"));
}

TEST_F(ConflictFix, AllowingTheSamePrefixTwiceAppendsItTwiceAndSavesTheList)
{
    const KQContactHelperList c =
        addContacts({[](CNMutableContact& contact) { contact.setNamePrefix(QStringLiteral("Herr")); },
                     [](CNMutableContact& contact) { contact.setNamePrefix(QStringLiteral("Herr")); }});
    const auto group = groupOf(KQConflictName::UnusualPrefix, {{c[0]}, {c[1]}});
    const auto prefix = preferences->conflictMetaPrefix();
    ASSERT_TRUE(prefix);
    const int before = prefix->countOfAvailableFixs();
    fix(group, group->conflictItemAtIndex(0), true);
    EXPECT_EQ(prefix->countOfAvailableFixs(), before + 2);
    EXPECT_EQ(prefix->objectInAvailableFixsAtIndex(before), QStringLiteral("Herr"));
    EXPECT_EQ(prefix->objectInAvailableFixsAtIndex(before + 1), QStringLiteral("Herr"));
    const auto reread = KQPreferences::makeForTesting();
    EXPECT_EQ(reread->conflictMetaPrefix()->countOfAvailableFixs(), before + 2);
    // Put the stored list back for the other tests.
    prefix->setAvailableFixs(KQConflictMetaPrefix::defaultAvailablePrefix());
    preferences->persistentConflictConfigs();
}

TEST_F(ConflictFix, FixingTheLastItemOfAMiddleGroupSelectsTheGroupInItsPlace)
{
    const KQContactHelperList c = addContacts({named("x"), named("y"), named("z")});
    groupOf(KQConflictName::EmptyNotes, {{c[0]}});
    const auto middle = groupOf(KQConflictName::CompanyNameWithoutJobTitle, {{c[1]}});
    const auto last = groupOf(KQConflictName::IncompleteName, {{c[2]}});
    fixer()->fixConflictItemsWithIgnorSolution({middle->conflictItemAtIndex(0)}, middle);
    EXPECT_EQ(result->countOfConflictGroups(), 2);
    EXPECT_EQ(window.group, last);
    EXPECT_EQ(last->selectedIndex(), 0);
    EXPECT_TRUE(last->conflictItemAtIndex(0)->selected());
    EXPECT_FALSE(window.closed);
}

struct TrimCase
{
    const char* title;
    const char* given;
    const char* expected;
};

void PrintTo(const TrimCase& c, std::ostream* os)
{
    *os << c.title;
}

class RemoveSpace : public ::testing::TestWithParam<TrimCase>
{
};

TEST_P(RemoveSpace, TrimsSpaceSeparatorsAndTabsAtBothEnds)
{
    EXPECT_EQ(KQConflictFixer::trimmedWhiteSpace(QString::fromUtf8(GetParam().given)),
              QString::fromUtf8(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(, RemoveSpace,
                         ::testing::Values(TrimCase{"leading space", " Ann", "Ann"}, TrimCase{"only spaces", "   ", ""},
                                           TrimCase{"inner space stays", " Jean Luc ", "Jean Luc"},
                                           TrimCase{"tab and no-break space", "\t\u00a0Ann\u2003", "Ann"},
                                           TrimCase{"line break is no white space here", "\nAnn", "\nAnn"}),
                         [](const auto& p) {
                             std::string name = p.param.title;
                             std::replace(name.begin(), name.end(), ' ', '_');
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

TEST(ConflictModel, SelectionTitleAndLayoutFollowTheItems)
{
    auto group = KQConflictGroup::initWithConflictMeta(KQConflictMeta::metaWithName(KQConflictName::BlankName));
    ASSERT_TRUE(group);
    EXPECT_FALSE(KQConflictGroup::initWithConflictMeta(nullptr));
    auto a = KQConflictItem::create(), b = KQConflictItem::create();
    group->addConflictItemsObject(a);
    group->addConflictItemsObject(b);
    EXPECT_EQ(a->owner(), group.get());
    EXPECT_EQ(group->title(), QStringLiteral("Blank name(2)"));
    group->setSelectedIndex(1);
    EXPECT_TRUE(b->selected());
    group->setSelectedIndex(0);
    EXPECT_FALSE(b->selected());
    EXPECT_TRUE(a->selected());
    const int collapsed = group->heightOfContent();
    group->setExpanded(true);
    EXPECT_GT(group->heightOfContent(), collapsed);
    EXPECT_TRUE(group->isLastConflictItem(b.get()));
    EXPECT_EQ(group->conflictItemNextItem(a.get()), b);
    EXPECT_FALSE(group->conflictItemNextItem(b.get()));
    EXPECT_FALSE(group->conflictItemAtIndex(-1));

    // The solutions are the item's own copies; choosing one by an equal object selects it.
    const auto& solutions = a->availableSolutions();
    ASSERT_EQ(solutions.size(), 3u);
    a->setCurrentSolution(KQConflictMeta::solutionDeleteWithName(KQConflictName::BlankName).get());
    EXPECT_EQ(a->selectedIndexOfSolution(), 1);
    EXPECT_TRUE(solutions[1]->selected());
    a->setCurrentSolution(nullptr);
    EXPECT_EQ(a->selectedIndexOfSolution(), -1);
    EXPECT_FALSE(solutions[1]->selected());
    EXPECT_FALSE(a->currentSolution());
}

TEST(ConflictModel, PrefixItemsNameTheOffendingValue)
{
    auto group = KQConflictGroup::initWithConflictMeta(KQConflictMeta::metaWithName(KQConflictName::UnusualPrefix));
    CNContactData d;
    d.identifier = CNMakeIdentifier();
    d.setRare(&CNContactRareFields::namePrefix, QStringLiteral("Herr"));
    d.givenName = QStringLiteral("Ann");
    auto item = KQConflictItem::create();
    item->addContactHelpersObject(KQContactHelper::create(std::make_shared<CNContact>(d, CNAllKeysSet()), true));
    item->addContactHelpersObject(nullptr);
    group->addConflictItemsObject(item);
    EXPECT_EQ(item->countOfContactHelpers(), 1);
    EXPECT_EQ(item->conflictDescription(), QStringLiteral("The prefix \"Herr\" of this Contact is invalid"));
}

// --- comparison and merge

namespace {

KQContactHelperPtr detached(const std::function<void(CNContactData&)>& fill)
{
    CNContactData d;
    d.identifier = CNMakeIdentifier();
    fill(d);
    return KQContactHelper::create(std::make_shared<CNContact>(d, CNAllKeysSet()), true);
}

CNLabeledValue<CNPhoneNumber> tel(const QString& label, const char* number)
{
    return {label, CNPhoneNumber(QString::fromUtf8(number))};
}

KQConflictItemPtr itemOf(const QString& kind, const KQContactHelperList& contacts,
                         KQConflictGroupPtr* groupOut = nullptr)
{
    auto group = KQConflictGroup::initWithConflictMeta(KQConflictMeta::metaWithName(kind));
    auto item = KQConflictItem::create();
    item->setContactHelpers(contacts);
    group->addConflictItemsObject(item);
    if (groupOut != nullptr)
        *groupOut = group;
    return item;
}

std::vector<KQCompareRowPtr> rowsOf(const KQCompareContacts& compare, const QString& category)
{
    std::vector<KQCompareRowPtr> rows;
    for (const auto& row : compare.rows()) {
        if (row->catagoryName() == category)
            rows.push_back(row);
    }
    return rows;
}

} // namespace

TEST(ConflictCompare, EqualValuesLineUpAndTheRestFillFreeRowsFromTheTop)
{
    const auto a = detached([](CNContactData& d) {
        d.givenName = QStringLiteral("Ann");
        d.phoneNumbers = {tel(CNLabelWork, "111"), tel(CNLabelHome, "222")};
    });
    const auto b = detached([](CNContactData& d) {
        d.givenName = QStringLiteral("Ann");
        d.phoneNumbers = {tel(CNLabelOther, "999"), tel(CNLabelHome, "111")};
    });
    const auto c = detached([](CNContactData& d) {
        d.phoneNumbers = {tel(CNLabelHome, "777"), tel(CNLabelHome, "888"), tel(CNLabelHome, "666")};
    });
    KQConflictGroupPtr group;
    const auto compare =
        KQCompareContacts::initWithConflictContactItem(itemOf(KQConflictName::DuplicateName, {a, b, c}, &group), group);
    const auto phones = rowsOf(*compare, QStringLiteral("PhoneNumbers"));
    ASSERT_EQ(phones.size(), 3u);
    // Row 0: a's 111 with b's 111, both highlighted; the label is a's.
    const auto bCell = phones[0]->viewControllerOfColWithKey(b->identifier());
    ASSERT_TRUE(bCell);
    EXPECT_EQ(bCell->indexOfPerperty(), 1);
    EXPECT_TRUE(bCell->highlight());
    EXPECT_TRUE(phones[0]->viewControllerOfColWithKey(a->identifier())->highlight());
    EXPECT_EQ(phones[0]->viewControllerOfColWithKey(KQCompareContacts::kFirstColumnKey)->text(),
              CNLabeledValue<CNPhoneNumber>::localizedStringForLabel(CNLabelWork));
    // b's unmatched 999 takes the first free row (a's 222), not a new one.
    EXPECT_EQ(phones[1]->viewControllerOfColWithKey(b->identifier())->text(), QStringLiteral("999"));
    EXPECT_FALSE(phones[1]->viewControllerOfColWithKey(b->identifier())->highlight());
    // c matches nothing: rows 0 and 1 (all of them free for c), then a new row.
    EXPECT_EQ(phones[0]->viewControllerOfColWithKey(c->identifier())->text(), QStringLiteral("777"));
    EXPECT_EQ(phones[1]->viewControllerOfColWithKey(c->identifier())->text(), QStringLiteral("888"));
    EXPECT_EQ(phones[2]->viewControllerOfColWithKey(c->identifier())->text(), QStringLiteral("666"));
    EXPECT_EQ(phones[2]->contactHelper(), c);
    // The delete row closes the table; column keys follow the contacts.
    EXPECT_EQ(compare->rows().back()->catagoryName(), KQCompareCategory::Delete);
    EXPECT_EQ(compare->numberOfColumns(), 4);
    EXPECT_EQ(compare->keyOfColAtIndex(2), b->identifier());
    EXPECT_FALSE(compare->keyOfColAtIndex(-1).has_value());
    EXPECT_EQ(compare->heightOfRowAtIndex(compare->numberOfRows()), 0);
}

TEST(ConflictCompare, ASingleContactHasNoDeleteRowAndCannotMerge)
{
    const auto a = detached([](CNContactData& d) { d.givenName = QStringLiteral("Ann"); });
    KQConflictGroupPtr group;
    const auto compare =
        KQCompareContacts::initWithConflictContactItem(itemOf(KQConflictName::EmptyNotes, {a}, &group), group);
    EXPECT_FALSE(compare->allowMerge());
    EXPECT_EQ(rowsOf(*compare, KQCompareCategory::Delete).size(), 0u);
    EXPECT_EQ(rowsOf(*compare, QStringLiteral("Note")).size(), 1u); // shown for the empty-notes kind
    compare->mergeAllContacts();
    EXPECT_FALSE(compare->contactsMerged());
}

TEST(ConflictCompare, MergedRecordLeadsTheColumnsAndUnmergeRestores)
{
    const auto a = detached([](CNContactData& d) {
        d.givenName = QStringLiteral("Ann");
        d.phoneNumbers = {tel(CNLabelWork, "111")};
    });
    const auto b = detached([](CNContactData& d) {
        d.givenName = QStringLiteral("Ann");
        d.phoneNumbers = {tel(CNLabelHome, "222")};
    });
    KQConflictGroupPtr group;
    const auto compare =
        KQCompareContacts::initWithConflictContactItem(itemOf(KQConflictName::DuplicateName, {a, b}, &group), group);
    compare->mergeAllContacts();
    ASSERT_TRUE(compare->contactsMerged());
    ASSERT_EQ(compare->contacts().size(), 3u);
    EXPECT_TRUE(compare->isMergeContact(compare->contacts().front().get()));
    EXPECT_EQ(rowsOf(*compare, KQCompareCategory::Delete).size(), 0u);
    const auto phones = rowsOf(*compare, QStringLiteral("PhoneNumbers"));
    ASSERT_EQ(phones.size(), 2u);
    // Only the merged record's cells can be edited; sources equal to merged values are highlighted.
    EXPECT_TRUE(phones[0]->viewControllerOfColWithKey(a->identifier())->highlight());
    EXPECT_FALSE(phones[0]->viewControllerOfColWithKey(a->identifier())->editable());
    compare->unmergeContacts();
    EXPECT_FALSE(compare->mergeContact());
    EXPECT_EQ(compare->contacts(), (KQContactHelperList{a, b}));
}

TEST_F(ConflictFix, DeletingAPhoneRowRemovesThatNumberFromEveryContactOnIt)
{
    const KQContactHelperList c =
        addContacts({[](CNMutableContact& x) {
                         x.setGivenName(QStringLiteral("Ann"));
                         x.setPhoneNumbers({tel(CNLabelWork, "111"), tel(CNLabelHome, "222")});
                     },
                     [](CNMutableContact& x) {
                         x.setGivenName(QStringLiteral("Ann"));
                         x.setPhoneNumbers({tel(CNLabelHome, "333"), tel(CNLabelHome, "111")});
                     }});
    KQConflictGroupPtr group;
    const auto compare =
        KQCompareContacts::initWithConflictContactItem(itemOf(KQConflictName::DuplicateName, c, &group), group);
    const auto phones = rowsOf(*compare, QStringLiteral("PhoneNumbers"));
    ASSERT_EQ(phones.size(), 2u);
    phones[0]->viewControllerOfColWithKey(KQCompareContacts::kFirstColumnKey)->removeProperty();
    EXPECT_EQ(compare->deletedRows().size(), 1u);
    compare->saveFix({KQContactStoreHelper::shared(), storage.get(), recyle, preferences.get()});
    for (const auto& contact : c) {
        const auto stored = cn()->unifiedContactsMatchingPredicate(
            CNContactPredicate::predicateForContactsWithIdentifiers({contact->identifier()}),
            {CNContactPhoneNumbersKey}, nullptr);
        ASSERT_EQ(stored.size(), 1u);
        ASSERT_EQ(stored.front()->phoneNumbers().size(), 1u);
        EXPECT_NE(stored.front()->phoneNumbers().front().value().stringValue(), QStringLiteral("111"));
    }
}

TEST_F(ConflictFix, MergingThreeMakesOneContactAndTrashesTheThreeWhichCanBePutBack)
{
    const KQContactHelperList c =
        addContacts({[](CNMutableContact& x) {
                         x.setGivenName(QStringLiteral("Ann"));
                         x.setNote(QStringLiteral("first note"));
                         x.setPhoneNumbers({tel(CNLabelWork, "111")});
                     },
                     [](CNMutableContact& x) {
                         x.setGivenName(QStringLiteral("Anne"));
                         x.setNote(QStringLiteral("second note"));
                         x.setPhoneNumbers({tel(CNLabelHome, "222"), tel(CNLabelHome, "111")});
                     },
                     [](CNMutableContact& x) {
                         x.setGivenName(QStringLiteral("Ann"));
                         x.setPhoneNumbers({tel(CNLabelHome, "333")});
                     }});
    ASSERT_EQ(c.size(), 3u);
    const auto group = groupOf(KQConflictName::DuplicateName, {c});
    const auto compare = KQCompareContacts::initWithConflictContactItem(group->conflictItemAtIndex(0), group);
    compare->mergeAllContacts();
    bool done = false;
    fixer()->mergeConflitItems({}, compare, [&done] { done = true; });
    ASSERT_TRUE(kqWaitUntil([&done] { return done; }, 20000));

    const auto all = cn()->unifiedContactsMatchingPredicate(
        CNContactPredicate::predicateForContactsInContainerWithIdentifier(cn()->defaultContainerIdentifier()),
        {CNContactGivenNameKey, CNContactNoteKey, CNContactPhoneNumbersKey}, nullptr);
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all.front()->givenName(), QStringLiteral("Ann"));
    EXPECT_EQ(all.front()->note(), QStringLiteral("first note"));
    QStringList numbers;
    for (const auto& number : all.front()->phoneNumbers())
        numbers.append(number.value().stringValue());
    numbers.sort();
    EXPECT_EQ(numbers, (QStringList{QStringLiteral("111"), QStringLiteral("222"), QStringLiteral("333")}));
    const auto entries = recyle->recyleEntries();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(group->countOfConflictItems(), 0);

    KQRecyleActions actions(KQContactStoreHelper::shared(), storage.get(), recyle,
                            storage->loadDefaultContainerLatestImport(), [](const QString& identifier) {
                                return KQContactManager::sharedContactManager()->containerHelperWithIdentifier(
                                    identifier);
                            });
    std::optional<KQRecyleActionResult> putBack;
    actions.putBackContactRecyles(entries, nullptr, [&putBack](const KQRecyleActionResult& r) { putBack = r; });
    ASSERT_TRUE(kqWaitUntil([&putBack] { return putBack.has_value(); }, 20000));
    EXPECT_TRUE(putBack->success);
    // Put back as new contacts: the merged one and the three sources, names and notes as they were.
    ASSERT_EQ(putBack->made.size(), 3u);
    QStringList names;
    for (const auto& contact : cn()->unifiedContactsMatchingPredicate(
             CNContactPredicate::predicateForContactsInContainerWithIdentifier(cn()->defaultContainerIdentifier()),
             {CNContactGivenNameKey}, nullptr))
        names.append(contact->givenName());
    names.sort();
    EXPECT_EQ(names, (QStringList{QStringLiteral("Ann"), QStringLiteral("Ann"), QStringLiteral("Ann"),
                                  QStringLiteral("Anne")}));
}

TEST_F(ConflictFix, AMergeOfFiveCancelledAfterTheSecondKeepsTwoMerged)
{
    std::vector<std::function<void(CNMutableContact&)>> fills;
    for (int i = 0; i < 10; ++i)
        fills.push_back([i](CNMutableContact& x) { x.setGivenName(QStringLiteral("P%1").arg(i / 2)); });
    const KQContactHelperList c = addContacts(fills);
    ASSERT_EQ(c.size(), 10u);
    std::vector<KQContactHelperList> items;
    for (size_t i = 0; i < 10; i += 2)
        items.push_back({c[i], c[i + 1]});
    const auto group = groupOf(KQConflictName::DuplicateName, items);
    const auto compare = KQCompareContacts::initWithConflictContactItem(group->conflictItemAtIndex(0), group);
    compare->mergeAllContacts();
    // Each item is three steps (the new contact and two sources): cancel on the sixth.
    window.cancelAfter = 5;
    bool done = false;
    std::vector<KQConflictItemPtr> further = group->conflictItems();
    further.erase(further.begin());
    fixer()->mergeConflitItems(further, compare, [&done] { done = true; });
    ASSERT_TRUE(kqWaitUntil([&done] { return done; }, 20000));
    kqSpin(20);
    EXPECT_EQ(group->countOfConflictItems(), 3);
    for (size_t i = 0; i < c.size(); ++i)
        EXPECT_EQ(storeHas(c[i]->identifier()), i >= 4) << "contact " << i;
    EXPECT_EQ(recyle->recyleEntries().size(), 4u);
}
