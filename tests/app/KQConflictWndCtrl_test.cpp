// The problem window driven through its buttons: a scan result with every kind fixed item by item
// and with Fix All, a merge from the compare view, Next and the merge option, the close question,
// and a Fix All cancelled from the progress sheet.

#include "KQWindowTestSupport.h"
#include "app/windows/KQConflictWndCtrl.h"
#include "app/windows/KQMergeInfoViewCtrl.h"
#include "app/windows/KQProgressWndCtrl.h"
#include "platform/CNLabels.h"
#include "problems/KQConflictScanTask.h"
#include "store/KQContainerRecyle.h"
#include "store/KQPreferences.h"

#include <QCheckBox>
#include <QMainWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

using namespace kqwin;

namespace {

Fill person(const QString& given, const QString& family, const std::function<void(CNMutableContact&)>& more = {})
{
    return [=](CNMutableContact& c) {
        c.setGivenName(given);
        c.setFamilyName(family);
        if (more)
            more(c);
    };
}

CNPhoneNumberList phones(std::initializer_list<const char*> numbers)
{
    CNPhoneNumberList list;
    for (const char* n : numbers)
        list.push_back({CNLabelHome, CNPhoneNumber(QString::fromUtf8(n))});
    return list;
}

// An address book with at least one problem of most kinds.
std::vector<Fill> messyBook()
{
    return {
        person(QStringLiteral("Ann"), QStringLiteral("Exact"),
               [](CNMutableContact& c) { c.setPhoneNumbers(phones({"555-0100"})); }),
        person(QStringLiteral("Ann"), QStringLiteral("Exact"),
               [](CNMutableContact& c) { c.setPhoneNumbers(phones({"555-0100"})); }),
        person(QStringLiteral("Bob"), QStringLiteral("Same"),
               [](CNMutableContact& c) { c.setPhoneNumbers(phones({"555-0111"})); }),
        person(QStringLiteral("Bob"), QStringLiteral("Same"),
               [](CNMutableContact& c) { c.setPhoneNumbers(phones({"555-0122"})); }),
        person(QStringLiteral("Carl"), QStringLiteral("Ohm"),
               [](CNMutableContact& c) { c.setPhoneNumbers(phones({"555-0133"})); }),
        person(QStringLiteral("Dora"), QStringLiteral("Pim"),
               [](CNMutableContact& c) { c.setPhoneNumbers(phones({"555-0133"})); }),
        person(QStringLiteral("Eve"), QStringLiteral("Quay"),
               [](CNMutableContact& c) {
                   c.setEmailAddresses({{CNLabelHome, QStringLiteral("shared@example.org")}});
               }),
        person(QStringLiteral("Finn"), QStringLiteral("Ray"),
               [](CNMutableContact& c) {
                   c.setEmailAddresses({{CNLabelWork, QStringLiteral("shared@example.org")}});
               }),
        person(QStringLiteral("Gus"), QString()),
        [](CNMutableContact& c) { c.setPhoneNumbers(phones({"555-0144"})); },
        person(QStringLiteral("Hal"), QStringLiteral("Sun"),
               [](CNMutableContact& c) { c.setPhoneNumbers(phones({"call me maybe"})); }),
        person(QStringLiteral("Ivy"), QStringLiteral("Tam"),
               [](CNMutableContact& c) {
                   c.setPhoneNumbers(phones({"+1 415 555 2671", "+1 415 555 2671"}));
               }),
        person(QStringLiteral("Jo"), QStringLiteral("Uhl"),
               [](CNMutableContact& c) {
                   c.setEmailAddresses({{CNLabelHome, QStringLiteral("jo@example.org")},
                                        {CNLabelWork, QStringLiteral("jo@example.org")}});
               }),
        person(QStringLiteral("Kai"), QStringLiteral("Vos"),
               [](CNMutableContact& c) {
                   CNPostalAddress a;
                   a.street = QStringLiteral("1 Main St");
                   a.city = QStringLiteral("Springfield");
                   c.setPostalAddresses({{CNLabelHome, a}, {CNLabelWork, a}});
               }),
        person(QStringLiteral("Lou"), QStringLiteral("Wex"),
               [](CNMutableContact& c) { c.setNamePrefix(QStringLiteral("Grand Vizier")); }),
        person(QStringLiteral("Max"), QStringLiteral("Yoe"),
               [](CNMutableContact& c) { c.setNameSuffix(QStringLiteral("XIV-b")); }),
        person(QStringLiteral(" Ned"), QStringLiteral("Zed")),
        person(QStringLiteral("Ola"), QStringLiteral("Ark"),
               [](CNMutableContact& c) { c.setOrganizationName(QStringLiteral("Acme")); }),
        person(QStringLiteral("Pia"), QStringLiteral("Bex"), [](CNMutableContact& c) { c.setNote(QString()); }),
    };
}

class ConflictWindow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        account = cleanAccount();
        ASSERT_TRUE(account);
        for (const auto& meta : KQPreferences::sharePreferences()->availableConflicts())
            meta->setValidate(true);
        mainWindow.resize(600, 400);
        mainWindow.show();
        window = new KQConflictWndCtrl;
        window->setAttribute(Qt::WA_DeleteOnClose, false);
    }

    void TearDown() override
    {
        if (QMessageBox* box = alert())
            box->close();
        delete window;
    }

    static KQConflictResultPtr scan(const KQContactHelperList& contacts)
    {
        auto task = KQConflictScanTask::initWithContactHelpers(contacts);
        task->setKinds(KQConflictScanKinds::fromPreferences(*KQPreferences::sharePreferences()));
        return task->scan({});
    }

    QPushButton* button(const QString& name) { return child<QPushButton>(window, name); }

    // Clicks and waits until the background job the click started has ended.
    void clickAndWait(QAbstractButton* target)
    {
        target->click();
        EXPECT_TRUE(kqWaitUntil([this] { return !window->busy(); }, 20000));
        kqSpin(20);
    }

    QStringList kindsShown() const
    {
        QStringList kinds;
        if (window->conflictResult()) {
            for (const auto& group : window->conflictResult()->conflictGroups())
                kinds.append(group->conflictMeta()->name());
        }
        return kinds;
    }

    QMainWindow mainWindow;
    KQConflictWndCtrl* window = nullptr;
    KQContainerHelperPtr account;
};

} // namespace

TEST_F(ConflictWindow, ListsTheGroupsInTheOrderOfTheKindsAndHidesTheMainWindow)
{
    const auto records = addContacts(account, messyBook());
    const KQConflictResultPtr result = scan(records);
    ASSERT_TRUE(result);
    // Shuffle the groups: the window puts them back into the kinds' order.
    auto groups = result->conflictGroups();
    std::reverse(groups.begin(), groups.end());
    result->setConflictGroups(groups);
    window->runModalForWindow(&mainWindow, result);
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(mainWindow.isVisible());

    QStringList expected;
    for (const auto& meta : KQPreferences::sharePreferences()->availableConflicts()) {
        for (const auto& group : groups) {
            if (group->conflictMeta() == meta)
                expected.append(meta->name());
        }
    }
    EXPECT_EQ(kindsShown(), expected);
    EXPECT_GE(expected.size(), 12) << expected.join(QStringLiteral(", ")).toStdString();

    auto* list = child<QTreeWidget>(window, QStringLiteral("conflictList"));
    EXPECT_EQ(list->topLevelItemCount(), expected.size());
    EXPECT_TRUE(list->topLevelItem(0)->isExpanded());
    EXPECT_EQ(window->reviewViewCtrl()->currentConflictGroup(), result->conflictGroupAtIndex(0));
    EXPECT_EQ(window->reviewViewCtrl()->currentConflictItem(), result->conflictGroupAtIndex(0)->conflictItemAtIndex(0));

    // Picking a row of another group makes it current and clears the first group's selection.
    list->setCurrentItem(list->topLevelItem(1)->child(0));
    EXPECT_EQ(window->reviewViewCtrl()->currentConflictGroup(), result->conflictGroupAtIndex(1));
    EXPECT_EQ(result->conflictGroupAtIndex(0)->selectedIndex(), -1);
    EXPECT_EQ(result->conflictGroupAtIndex(1)->selectedIndex(), 0);
}

TEST_F(ConflictWindow, EveryKindIsFixedItemByItemAndClosingAfterTheLastAsksNothing)
{
    const auto records = addContacts(account, messyBook());
    const KQConflictResultPtr result = scan(records);
    ASSERT_TRUE(result);
    QSignalSpy closed(window, &KQConflictWndCtrl::windowDidClose);
    window->runModalForWindow(&mainWindow, result);
    const QStringList kinds = kindsShown();
    QStringList fixed;
    for (int round = 0; round < 200 && window->isVisible(); ++round) {
        const auto group = window->reviewViewCtrl()->currentConflictGroup();
        const auto item = window->reviewViewCtrl()->currentConflictItem();
        ASSERT_TRUE(group && item);
        if (!fixed.contains(group->conflictMeta()->name()))
            fixed.append(group->conflictMeta()->name());
        clickAndWait(button(QStringLiteral("fixButton")));
        if (window->isComparing()) {
            EXPECT_FALSE(button(QStringLiteral("nextButton"))->isEnabled()) << "plain Fix compares one item";
            clickAndWait(button(QStringLiteral("okButton")));
        }
        EXPECT_LT(group->indexOfConflictItem(item.get()), 0) << "the fixed item left its group";
        EXPECT_EQ(alert(), nullptr);
    }
    EXPECT_EQ(fixed, kinds);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(alert(), nullptr) << "an empty result closes without asking";
    EXPECT_EQ(closed.count(), 1);
    EXPECT_TRUE(mainWindow.isVisible());
    EXPECT_TRUE(result->empty());

    // The fixes reached the store: one of the exact duplicates is left, the repeated phone is gone.
    EXPECT_NE(stored(records[0]->identifier()), nullptr);
    EXPECT_EQ(stored(records[1]->identifier()), nullptr);
    EXPECT_EQ(stored(records[11]->identifier())->data().phoneNumbers.size(), 1u);
    EXPECT_EQ(stored(records[16]->identifier())->data().givenName, QStringLiteral("Ned"));
}

TEST_F(ConflictWindow, FixAllFixesEachGroupAndComparesWithNextWhereTheSolutionIsAnEdit)
{
    const auto records = addContacts(account, messyBook());
    const KQConflictResultPtr result = scan(records);
    ASSERT_TRUE(result);
    window->runModalForWindow(&mainWindow, result);
    for (int round = 0; round < 200 && window->isVisible(); ++round) {
        const auto group = window->reviewViewCtrl()->currentConflictGroup();
        ASSERT_TRUE(group);
        const int before = group->countOfConflictItems();
        clickAndWait(button(QStringLiteral("fixAllButton")));
        while (window->isVisible() && window->isComparing()) {
            // Next is offered unless the compared item is the group's last.
            auto* next = button(QStringLiteral("nextButton"));
            EXPECT_EQ(next->isEnabled(), !window->editViewCtrl()->isLastItem());
            clickAndWait(next->isEnabled() ? next : button(QStringLiteral("okButton")));
        }
        if (window->isVisible() && window->reviewViewCtrl()->currentConflictGroup() == group) {
            EXPECT_LT(group->countOfConflictItems(), before);
        }
    }
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(result->empty());
    EXPECT_EQ(alert(), nullptr);
}

TEST_F(ConflictWindow, AMergeFromTheCompareViewLeavesOneNewContactAndTheSourcesInTheTrash)
{
    const auto records =
        addContacts(account, {person(QStringLiteral("Bob"), QStringLiteral("Same"),
                                     [](CNMutableContact& c) {
                                         c.setPhoneNumbers(phones({"555-0111"}));
                                         c.setNote(QStringLiteral("first"));
                                     }),
                              person(QStringLiteral("Bob"), QStringLiteral("Same"), [](CNMutableContact& c) {
                                  c.setPhoneNumbers(phones({"555-0122", "555-0111"}));
                              })});
    const KQConflictResultPtr result = scan(records);
    ASSERT_TRUE(result);
    window->runModalForWindow(&mainWindow, result);
    ASSERT_EQ(kindsShown(), QStringList{KQConflictName::DuplicateName});
    clickAndWait(button(QStringLiteral("fixButton")));
    ASSERT_TRUE(window->isComparing());
    auto* merge = child<QToolButton>(window, QStringLiteral("mergeButton"));
    merge->click();
    EXPECT_TRUE(window->editViewCtrl()->mergeOpened());
    EXPECT_EQ(window->editViewCtrl()->compareContacts()->numberOfColumns(), 4) << "merged, then both sources";
    // The information button explains the merge in a popover that Escape closes.
    child<QToolButton>(window, QStringLiteral("mergeInfoButton"))->click();
    KQMergeInfoViewCtrl* info = KQMergeInfoViewCtrl::sharedMergeInfoViewCtrl();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(info));
    EXPECT_TRUE(info->text().contains(QStringLiteral("Trash")));
    QTest::keyClick(info, Qt::Key_Escape);
    EXPECT_TRUE(kqWaitUntil([info] { return !info->isVisible(); }, 2000));
    const auto recyle = KQContactManager::sharedContactManager()->recyle();
    const int trashBefore = recyle->countOfContacts();
    clickAndWait(button(QStringLiteral("okButton")));
    EXPECT_FALSE(window->isVisible());

    EXPECT_EQ(stored(records[0]->identifier()), nullptr);
    EXPECT_EQ(stored(records[1]->identifier()), nullptr);
    EXPECT_EQ(recyle->countOfContacts(), trashBefore + 2);
    CNContactList all;
    cn()->enumerateContactsWithFetchRequest(CNContactFetchRequest(CNAllContactKeys()), nullptr,
                                            [&all](const CNContactPtr& c, bool*) { all.push_back(c); });
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0]->data().givenName, QStringLiteral("Bob"));
    EXPECT_EQ(all[0]->data().note, QStringLiteral("first"));
    EXPECT_EQ(all[0]->data().phoneNumbers.size(), 2u);
}

TEST_F(ConflictWindow, MergeWithApplyToTheRestDisablesNextAndMergesEveryLaterItem)
{
    std::vector<Fill> book;
    for (const char* name : {"Ana", "Ben", "Cy"}) {
        for (int copy = 0; copy < 2; ++copy) {
            book.push_back(person(QString::fromUtf8(name), QStringLiteral("Twin"), [copy](CNMutableContact& c) {
                c.setPhoneNumbers(phones({copy == 0 ? "555-0001" : "555-0002"}));
            }));
        }
    }
    const auto records = addContacts(account, book);
    window->runModalForWindow(&mainWindow, scan(records));
    ASSERT_EQ(kindsShown(), QStringList{KQConflictName::DuplicateName});
    clickAndWait(button(QStringLiteral("fixAllButton")));
    ASSERT_TRUE(window->isComparing());
    EXPECT_TRUE(button(QStringLiteral("nextButton"))->isEnabled());
    child<QToolButton>(window, QStringLiteral("mergeButton"))->click();
    auto* toRest = child<QCheckBox>(window, QStringLiteral("applyMergeToLeftCheck"));
    ASSERT_TRUE(toRest->isEnabled());
    toRest->click();
    EXPECT_FALSE(button(QStringLiteral("nextButton"))->isEnabled());
    clickAndWait(button(QStringLiteral("okButton")));
    kqSpin(50);
    EXPECT_FALSE(window->isVisible());
    CNContactList all;
    cn()->enumerateContactsWithFetchRequest(CNContactFetchRequest(CNAllContactKeys()), nullptr,
                                            [&all](const CNContactPtr& c, bool*) { all.push_back(c); });
    EXPECT_EQ(all.size(), 3u) << "three merged contacts in place of six";
    for (const auto& record : records)
        EXPECT_EQ(stored(record->identifier()), nullptr);
}

TEST_F(ConflictWindow, TheCloseButtonWhileComparingOnlyReturnsToTheList)
{
    const auto records = addContacts(account, messyBook());
    window->runModalForWindow(&mainWindow, scan(records));
    // The duplicate-name group's edit solution opens the compare view.
    auto* list = child<QTreeWidget>(window, QStringLiteral("conflictList"));
    const int g = static_cast<int>(kindsShown().indexOf(KQConflictName::DuplicateName));
    ASSERT_GE(g, 0);
    list->setCurrentItem(list->topLevelItem(g)->child(0));
    clickAndWait(button(QStringLiteral("fixButton")));
    ASSERT_TRUE(window->isComparing());
    window->close();
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->isComparing());
    EXPECT_EQ(alert(), nullptr);

    // With groups left, closing asks; Cancel keeps the window, OK closes it.
    window->close();
    auto [message, informative] = answerAlert(QMessageBox::Cancel);
    EXPECT_EQ(message, QStringLiteral("Do you want to close the window?"));
    EXPECT_EQ(informative, QStringLiteral("The scan results will be lost if you close the window."));
    EXPECT_TRUE(window->isVisible());
    window->close();
    answerAlert(QMessageBox::Ok);
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(mainWindow.isVisible());
    EXPECT_EQ(window->conflictResult(), nullptr) << "the result is not kept";
}

TEST_F(ConflictWindow, CancellingFixAllFromTheSheetStopsAfterTheCurrentItem)
{
    std::vector<Fill> book;
    const int pairs = kqScaled(60, 10);
    for (int i = 0; i < pairs; ++i) {
        for (int copy = 0; copy < 2; ++copy)
            book.push_back(person(QStringLiteral("Twin%1").arg(i), QStringLiteral("Exact"), [i](CNMutableContact& c) {
                c.setPhoneNumbers(phones({}));
                c.setNote(QStringLiteral("pair %1").arg(i));
            }));
    }
    const auto records = addContacts(account, book);
    const KQConflictResultPtr result = scan(records);
    window->runModalForWindow(&mainWindow, result);
    ASSERT_EQ(kindsShown(), QStringList{KQConflictName::ExactDuplicateContacts});
    const auto group = result->conflictGroupAtIndex(0);
    ASSERT_EQ(group->countOfConflictItems(), pairs);
    const auto items = group->conflictItems();

    KQProgressWndCtrl* sheet = KQProgressWndCtrl::sharedProgressWndCtrl();
    button(QStringLiteral("fixAllButton"))->click();
    // One pass over the pending events at a time, so that no item is done between the sheet
    // showing and the click (the job hands each item to the main thread and waits for it).
    QDeadlineTimer deadline(10000);
    while (!sheet->isVisible() && !deadline.hasExpired()) {
        QCoreApplication::processEvents();
        QThread::msleep(1);
    }
    ASSERT_TRUE(sheet->isVisible());
    child<QPushButton>(sheet, QStringLiteral("cancelButton"))->click();
    ASSERT_TRUE(kqWaitUntil([this] { return !window->busy(); }, 20000));
    kqSpin(50);
    EXPECT_FALSE(sheet->isVisible());
    const int left = group->countOfConflictItems();
    // The item being done when Cancel was pressed is the last one done.
    EXPECT_LT(left, pairs);
    EXPECT_GE(left, pairs - 2);
    // Every item that left its group was saved; every item still there is untouched.
    for (const auto& item : items) {
        const bool done = group->indexOfConflictItem(item.get()) < 0;
        EXPECT_NE(stored(item->contactHelpers()[0]->identifier()), nullptr);
        EXPECT_EQ(stored(item->contactHelpers()[1]->identifier()) == nullptr, done);
    }
    window->close();
    answerAlert(QMessageBox::Ok);
}
