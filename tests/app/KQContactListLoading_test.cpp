// The main window's list while a node loads: the names come first as rows that cannot be picked,
// then the records take their places; a search typed meanwhile is never shown everyone.
#include "KQMainWindowTestSupport.h"

#include <QAbstractItemModelTester>
#include <QLineEdit>

namespace {

class ContactListLoading : public ::testing::Test
{
protected:
    void SetUp() override
    {
        manager = KQContactManager::sharedContactManager();
        store = KQContactStoreHelper::shared();
        ASSERT_TRUE(kqWaitForAccounts());
        local = store->contactStore()->defaultContainerIdentifier();
        // A group, whose contacts are loaded only when it is selected; its members out of order.
        CNMutableGroupPtr made = store->newGroupWithName(QStringLiteral("Friends"));
        ASSERT_TRUE(store->addGroup(*made, local));
        for (const int i : {7, 3, 11, 0, 5, 9, 1, 10, 4, 2, 8, 6})
            kqAddStoreContact(QStringLiteral("Person%1").arg(i, 2, 10, QLatin1Char('0')), QString(), local, made.get());
        ASSERT_TRUE(kqReloadAccounts());
        window = std::make_unique<KQMainWindow>(manager);
        window->show();
        contacts = window->contactsViewController();
        ASSERT_TRUE(kqWaitUntil([this] { return window->selectedGroupTreeNode() != nullptr; }));
        ASSERT_TRUE(kqWaitUntil([this] { return !contacts->isLoading(); }));
        group = kqGroupNamed(manager->containerHelperWithIdentifier(local), QStringLiteral("Friends"));
        ASSERT_NE(group, nullptr);
        // The sidebar fetches a group's contacts for its count when the account's row opens. Open
        // it now and let that end, then mark the group to be fetched again, so that only the list
        // fetches it.
        KQGroupViewController* groups = window->groupsViewController();
        groups->groupTreeModel()->syncNow();
        groups->groupTree()->expandAll();
        ASSERT_TRUE(kqWaitUntil([this] { return group->isContactsLoaded(); }));
        kqSpin(30);
        group->refetchContacts();
        ASSERT_FALSE(group->isContactsLoaded());
        tester = std::make_unique<QAbstractItemModelTester>(contacts->listModel(),
                                                            QAbstractItemModelTester::FailureReportingMode::Fatal);
    }

    static QStringList sortedNames(int count)
    {
        QStringList names;
        for (int i = 0; i < count; ++i)
            names << QStringLiteral("Person%1").arg(i, 2, 10, QLatin1Char('0'));
        return names;
    }

    KQAlertScript script;
    KQContactManager* manager = nullptr;
    KQContactStoreHelper* store = nullptr;
    QString local;
    std::unique_ptr<KQMainWindow> window;
    KQContactsViewController* contacts = nullptr;
    KQGroupTreeNodePtr group;
    std::unique_ptr<QAbstractItemModelTester> tester;
};

} // namespace

TEST_F(ContactListLoading, NamesAreListedBeforeTheRecordsWhichThenTakeTheirPlacesInOrder)
{
    KQContactListModel* model = contacts->listModel();
    QStringList firstListed;
    int resetsAfterRows = -1;
    QObject::connect(model, &QAbstractItemModel::rowsInserted, model, [&] {
        if (firstListed.isEmpty()) {
            for (int row = 0; row < model->rowCount(); ++row)
                firstListed << model->index(row).data().toString();
            // Rows listed while the records load cannot be picked.
            EXPECT_TRUE(model->isPreview());
            EXPECT_TRUE(contacts->isLoading());
            EXPECT_FALSE(model->flags(model->index(0)) & Qt::ItemIsSelectable);
        }
        resetsAfterRows = 0;
    });
    QObject::connect(model, &QAbstractItemModel::modelReset, model, [&] {
        if (resetsAfterRows >= 0)
            ++resetsAfterRows;
    });
    ASSERT_TRUE(window->selectGroupTreeNode(group.get()));
    ASSERT_TRUE(kqWaitListed(contacts, 12));
    EXPECT_EQ(firstListed, sortedNames(12));
    EXPECT_EQ(kqListedNames(contacts), sortedNames(12));
    // The records came in the rows' order, so the view kept its rows.
    EXPECT_EQ(resetsAfterRows, 0);
    EXPECT_FALSE(model->isPreview());
    contacts->selectContactHelpersAtIndexes({3});
    ASSERT_EQ(contacts->selectedContactHelpers().size(), 1u);
    EXPECT_EQ(contacts->selectedContactHelpers().front()->displayName(), QStringLiteral("Person03"));
}

TEST_F(ContactListLoading, ASearchTypedWhileTheNodeLoadsNeverShowsEveryone)
{
    KQContactListModel* model = contacts->listModel();
    QStringList shownUnmatched;
    QObject::connect(model, &QAbstractItemModel::rowsInserted, model, [&](const QModelIndex&, int first, int last) {
        for (int row = first; row <= last; ++row) {
            const QString name = model->index(row).data().toString();
            if (!name.contains(QStringLiteral("Person1")))
                shownUnmatched << name;
        }
    });
    ASSERT_TRUE(window->selectGroupTreeNode(group.get()));
    contacts->setSearchKeywords(QStringLiteral("Person1"));
    ASSERT_TRUE(kqWaitListed(contacts, 2));
    EXPECT_EQ(kqListedNames(contacts), (QStringList{QStringLiteral("Person10"), QStringLiteral("Person11")}));
    EXPECT_EQ(shownUnmatched, QStringList());
}

namespace {

// The local account, filled by each test with more contacts than the main thread filters.
class LargeContactList : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(kqWaitForAccounts()); }
    // Saves the contacts and has the accounts load them.
    bool saved(const CNSaveRequest& request) { return cn->executeSaveRequest(request) && kqReloadAccounts(); }

    KQAlertScript script;
    KQContactManager* manager = KQContactManager::sharedContactManager();
    CNContactStore* cn = KQContactStoreHelper::shared()->contactStore();
    const QString local = cn->defaultContainerIdentifier();
};

} // namespace

// A node too large to filter on the main thread: its index is made without search texts, which the
// first search (or the search field taking the focus) adds; either way every field is searched.
TEST_F(LargeContactList, FindsByNamePhoneEmailAndNoteBeforeAndAfterTheSearchFieldTakesTheFocus)
{
    CNSaveRequest request;
    for (int i = 0; i < 3200; ++i) {
        CNMutableContact contact;
        contact.setGivenName(QStringLiteral("Given%1").arg(i, 4, 10, QLatin1Char('0')));
        contact.setPhoneNumbers({CNLabeledValue<CNPhoneNumber>(
            CNLabelPhoneNumberMobile, CNPhoneNumber(QStringLiteral("+1 (555) 01-%1").arg(i, 4, 10, QLatin1Char('0'))))});
        contact.setEmailAddresses({CNLabeledValue<QString>(CNLabelHome, QStringLiteral("p%1@example.org").arg(i))});
        contact.setNote(QStringLiteral("Met at the Harbour %1").arg(i));
        request.addContact(contact, local);
    }
    ASSERT_TRUE(saved(request));
    KQMainWindow window(manager);
    window.show();
    KQContactsViewController* contacts = window.contactsViewController();
    ASSERT_TRUE(window.selectGroupTreeNode(manager->containerHelperWithIdentifier(local).get()));
    ASSERT_TRUE(kqWaitListed(contacts, 3200, 30000));
    EXPECT_FALSE(contacts->isSearchPrepared());

    const auto found = [contacts](const QString& text) {
        contacts->searchField()->setText(text);
        EXPECT_TRUE(kqWaitUntil([contacts] { return !contacts->isLoading(); }, 30000));
        return kqListedNames(contacts);
    };
    EXPECT_EQ(found(QStringLiteral("555010003")), QStringList{QStringLiteral("Given0003")});
    EXPECT_EQ(found(QString()).size(), 3200);

    // Shown again, the node is indexed afresh, without texts until the field takes the focus.
    ASSERT_TRUE(window.selectGroupTreeNode(manager->recyle().get()));
    ASSERT_TRUE(kqWaitUntil([contacts] { return !contacts->isLoading(); }, 30000));
    ASSERT_TRUE(window.selectGroupTreeNode(manager->containerHelperWithIdentifier(local).get()));
    ASSERT_TRUE(kqWaitListed(contacts, 3200, 30000));
    EXPECT_FALSE(contacts->isSearchPrepared());
    contacts->searchField()->setFocus();
    QFocusEvent focus(QEvent::FocusIn);
    QCoreApplication::sendEvent(contacts->searchField(), &focus);
    ASSERT_TRUE(kqWaitUntil([contacts] { return contacts->isSearchPrepared(); }, 30000));
    EXPECT_EQ(found(QStringLiteral("harbour 3199")), QStringList{QStringLiteral("Given3199")});
    EXPECT_EQ(found(QStringLiteral("p1234@")), QStringList{QStringLiteral("Given1234")});
    EXPECT_EQ(found(QStringLiteral("given0010")), QStringList{QStringLiteral("Given0010")});
}
