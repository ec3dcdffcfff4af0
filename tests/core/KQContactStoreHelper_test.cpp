#include "KQTestUtil.h"
#include "platform/KQNotificationCenter.h"
#include "store/KQContactStoreHelper.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class StoreHelperTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        path = dir.filePath(QStringLiteral("store.sqlite"));
        helper = std::make_unique<KQContactStoreHelper>(std::make_shared<CNContactStore>(path));
        KQNotificationCenter::defaultCenter()->addObserver(KQContactsStoreDidChangedNotification, &context,
                                                           [this](const KQNotification& n) {
                                                               if (n.object == helper.get())
                                                                   ++notifications;
                                                           });
    }

    CNMutableContactPtr contactNamed(const QString& name)
    {
        auto contact = std::make_shared<CNMutableContact>();
        contact->setGivenName(name);
        return contact;
    }

    CNContactList fetchAll(const QStringList& keys = KQContactStoreHelper::allKeys())
    {
        CNContactList all;
        CNContactFetchRequest request(keys);
        helper->contactStore()->enumerateContactsWithFetchRequest(
            request, nullptr, [&all](const CNContactPtr& c, bool*) { all.push_back(c); });
        return all;
    }

    QTemporaryDir dir;
    QString path;
    std::unique_ptr<KQContactStoreHelper> helper;
    QObject context;
    int notifications = 0;
};

} // namespace

TEST_F(StoreHelperTest, OwnSavesAreHeldBackUntilTheWindowCloses)
{
    helper->setDiscardWindowInterval(600);
    ASSERT_TRUE(helper->importContacts({contactNamed(QStringLiteral("Ann"))}, QString()));
    EXPECT_TRUE(helper->discardStoreDidChangedNotify());
    // The store reports its change within a fraction of a second; it must be dropped.
    kqSpin(400);
    EXPECT_EQ(notifications, 0);

    // A second save restarts the window.
    ASSERT_TRUE(helper->importContacts({contactNamed(QStringLiteral("Bob"))}, QString()));
    kqSpin(400);
    EXPECT_EQ(notifications, 0);
    EXPECT_TRUE(kqWaitUntil([this] { return !helper->discardStoreDidChangedNotify(); }, 3000));

    // Another writer (its own connection, as a second program would have) is reported.
    CNContactStore outside(path);
    CNSaveRequest request;
    request.addContact(*contactNamed(QStringLiteral("Cy")), QString());
    ASSERT_TRUE(outside.executeSaveRequest(request));
    EXPECT_TRUE(kqWaitUntil([this] { return notifications > 0; }, 5000));
}

TEST_F(StoreHelperTest, ChangesDuringAReloadAreDropped)
{
    helper->setUpdatingStore(true);
    CNContactStore outside(path);
    CNSaveRequest request;
    request.addContact(*contactNamed(QStringLiteral("Cy")), QString());
    ASSERT_TRUE(outside.executeSaveRequest(request));
    kqSpin(700);
    EXPECT_EQ(notifications, 0);
    helper->setUpdatingStore(false);
}

TEST_F(StoreHelperTest, ImportIntoAGroupAddsMembershipOnlyAfterASuccessfulAdd)
{
    auto group = helper->newGroupWithName(QString());
    EXPECT_EQ(group->name(), QStringLiteral("New Group"));
    ASSERT_TRUE(helper->addGroup(*group, QString()));

    auto ann = contactNamed(QStringLiteral("Ann"));
    ASSERT_TRUE(helper->importContacts({ann}, QString(), group.get()));
    CNContactFetchRequest inGroup({CNContactGivenNameKey});
    inGroup.setPredicate(CNContactPredicate::predicateForContactsInGroupWithIdentifier(group->identifier()));
    int members = 0;
    helper->contactStore()->enumerateContactsWithFetchRequest(inGroup, nullptr,
                                                              [&members](const CNContactPtr&, bool*) { ++members; });
    EXPECT_EQ(members, 1);

    // The same contact again: the add fails, so no membership is attempted and nothing changes.
    auto bob = contactNamed(QStringLiteral("Bob"));
    EXPECT_FALSE(helper->importContacts({bob, ann}, QString(), group.get()));
    EXPECT_EQ(fetchAll().size(), 1u);

    EXPECT_TRUE(helper->importContacts({bob}, QString(), nullptr));
    EXPECT_EQ(fetchAll().size(), 2u);
}

TEST_F(StoreHelperTest, NewContactHasOneEmptyValueOfEachMainKind)
{
    const auto contact = helper->newContact();
    ASSERT_EQ(contact->emailAddresses().size(), 1u);
    ASSERT_EQ(contact->phoneNumbers().size(), 1u);
    ASSERT_EQ(contact->postalAddresses().size(), 1u);
    EXPECT_EQ(contact->emailAddresses()[0].label(), CNLabelHome);
    EXPECT_TRUE(contact->emailAddresses()[0].value().isEmpty());
    EXPECT_EQ(contact->phoneNumbers()[0].label(), CNLabelHome);
    EXPECT_EQ(contact->postalAddresses()[0].label(), CNLabelHome);
}

TEST_F(StoreHelperTest, AllKeysAreEveryKeyOfAContact)
{
    // Whatever is fetched with all keys is the whole contact.
    const QStringList all = KQContactStoreHelper::allKeys();
    for (const QString& key : CNAllContactKeys())
        EXPECT_TRUE(all.contains(key)) << key.toStdString();
}
