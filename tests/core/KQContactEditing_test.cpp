#include "KQSharedStoreTestUtil.h"
#include "model/KQLabeledEmail.h"
#include "model/KQLabeledPhoneNumber.h"
#include "model/KQLabeledURL.h"
#include "store/KQContactManager.h"
#include "store/KQTagsManager.h"

#include <QBuffer>
#include <gtest/gtest.h>

namespace {

CNLabeledValue<CNPhoneNumber> phone(const QString& label, const QString& number)
{
    return {label, CNPhoneNumber(number)};
}

KQContactHelperPtr loadedRecord(CNContactData d)
{
    d.identifier = CNMakeIdentifier();
    return KQContactHelper::create(std::make_shared<CNContact>(d, CNAllKeysSet()), true);
}

QStringList numbers(const CNContact& contact)
{
    QStringList list;
    for (const auto& p : contact.phoneNumbers())
        list.append(p.label() + QLatin1Char('=') + p.value().stringValue());
    return list;
}

// Records of the shared store's default account, loaded through the contact manager.
class EditingTest : public ::testing::Test
{
protected:
    KQContactHelperPtr storedRecord(const CNMutableContact& contact)
    {
        CNSaveRequest request;
        request.addContact(contact, QString());
        EXPECT_TRUE(KQContactStoreHelper::shared()->contactStore()->executeSaveRequest(request));
        KQContactManager::sharedContactManager();
        EXPECT_TRUE(kqReloadAccounts());
        const auto account = kqLocalAccount();
        bool loaded = false;
        account->loadContactsWithCompleteHandler([&loaded](KQGroupTreeNode*, bool) { loaded = true; });
        EXPECT_TRUE(kqWaitUntil([&loaded] { return loaded; }));
        return account->contactHelperWithIdentifier(contact.identifier());
    }

    CNContactPtr fetchFresh(const QString& identifier)
    {
        CNContactFetchRequest request(KQContactStoreHelper::allKeys());
        request.setPredicate(CNContactPredicate::predicateForContactsWithIdentifiers({identifier}));
        CNContactPtr found;
        KQContactStoreHelper::shared()->contactStore()->enumerateContactsWithFetchRequest(
            request, nullptr, [&found](const CNContactPtr& c, bool*) { found = c; });
        return found;
    }
};

} // namespace

TEST_F(EditingTest, AnEditSavedThroughTheStoreReadsBackIdentically)
{
    CNMutableContact contact;
    contact.setGivenName(QStringLiteral("Ann"));
    contact.setPhoneNumbers({phone(CNLabelHome, QStringLiteral("555-0100"))});
    const auto record = storedRecord(contact);
    ASSERT_TRUE(record);

    record->setGivenName(QStringLiteral("ignored")); // not editing yet
    EXPECT_EQ(record->givenName(), QStringLiteral("Ann"));
    record->syncLoadAllKeysIfNecessary();
    record->startEditContact();
    record->setGivenName(QStringLiteral("Anne"));
    record->setFamilyName(QStringLiteral("Lee"));
    record->setNote(std::nullopt);
    record->setCompanyContact(true);
    record->setBirthday(CNDateComponents{1990, 4, 15, {}, {}, {}});
    record->addPropertyEmptyValueWithCategoryName(QStringLiteral("Email"));
    std::dynamic_pointer_cast<KQLabeledEmail>(record->propertyEmails()->firstLabeledValueHelper())
        ->setEmail(QStringLiteral("anne@example.com"));
    record->setFirstPhoneNumber(QStringLiteral("555-0199"));
    EXPECT_TRUE(record->propertyEdited());
    EXPECT_EQ(record->displayName(), QString()); // a company without job fields

    ASSERT_TRUE(record->syncEndEditContactWithError());
    EXPECT_FALSE(record->propertyEdited());
    const CNContactPtr fresh = fetchFresh(contact.identifier());
    ASSERT_TRUE(fresh);
    EXPECT_EQ(fresh->givenName(), QStringLiteral("Anne"));
    EXPECT_EQ(fresh->familyName(), QStringLiteral("Lee"));
    EXPECT_EQ(fresh->contactType(), CNContactType::Organization);
    EXPECT_EQ(fresh->birthday(), (CNDateComponents{1990, 4, 15, {}, {}, {}}));
    EXPECT_EQ(fresh->emailAddresses().size(), 1u);
    EXPECT_EQ(fresh->emailAddresses()[0].value(), QStringLiteral("anne@example.com"));
    EXPECT_EQ(fresh->emailAddresses()[0].label(), QStringLiteral("home"));
    EXPECT_EQ(numbers(*fresh), QStringList{CNLabelHome + QStringLiteral("=555-0199")});
    EXPECT_EQ(fresh->data().phoneNumbers, record->mutableContact()->data().phoneNumbers);
}

TEST_F(EditingTest, AFailedSaveLeavesTheRecordEditedForALaterSave)
{
    CNMutableContact contact;
    contact.setGivenName(QStringLiteral("Bob"));
    const auto record = storedRecord(contact);
    ASSERT_TRUE(record);
    record->syncLoadAllKeysIfNecessary();
    record->startEditContact();
    record->setJobTitle(QStringLiteral("Chief"));

    // The contact disappears behind the program's back: the save fails.
    CNSaveRequest removal;
    removal.deleteContact(contact);
    ASSERT_TRUE(KQContactStoreHelper::shared()->contactStore()->executeSaveRequest(removal));
    CNError error;
    EXPECT_FALSE(record->syncEndEditContactWithError(&error));
    EXPECT_TRUE(error.isError());
    EXPECT_TRUE(record->propertyEdited());

    CNSaveRequest back;
    back.addContact(contact, QString());
    ASSERT_TRUE(KQContactStoreHelper::shared()->contactStore()->executeSaveRequest(back));
    EXPECT_TRUE(record->syncEndEditContactWithError());
    EXPECT_FALSE(record->propertyEdited());
    EXPECT_EQ(fetchFresh(contact.identifier())->jobTitle(), QStringLiteral("Chief"));

    // Nothing edited: true without touching the store.
    EXPECT_TRUE(record->syncEndEditContactWithError());
}

TEST_F(EditingTest, BackgroundSaveReportsAFailureThroughThePresenter)
{
    CNMutableContact contact;
    contact.setGivenName(QStringLiteral("Cy"));
    const auto record = storedRecord(contact);
    ASSERT_TRUE(record);
    record->startEditContact();
    record->setNickName(QStringLiteral("C"));
    CNSaveRequest removal;
    removal.deleteContact(contact);
    ASSERT_TRUE(KQContactStoreHelper::shared()->contactStore()->executeSaveRequest(removal));

    QStringList alerts;
    KQContactHelper::setErrorPresenter([&alerts](const QString& text) { alerts.append(text); });
    std::optional<bool> result;
    record->endEditContactWithCompleteHandler([&result](bool saved) { result = saved; });
    ASSERT_TRUE(kqWaitUntil([&result] { return result.has_value(); }));
    KQContactHelper::setErrorPresenter(nullptr);
    EXPECT_FALSE(*result);
    ASSERT_EQ(alerts.size(), 1);
}

TEST(ContactMerge, FirstRecordsFieldsAndTheUnionOfValues)
{
    CNContactData a;
    a.givenName = QStringLiteral("Ann");
    a.note = QStringLiteral("first");
    a.phoneNumbers = {phone(CNLabelHome, QStringLiteral("1")), phone(CNLabelWork, QStringLiteral("2"))};
    a.emailAddresses = {CNLabeledValue<QString>(CNLabelHome, QStringLiteral("a@x.org"))};
    CNContactData b;
    b.givenName = QStringLiteral("Bob");
    b.phoneNumbers = {phone(CNLabelOther, QStringLiteral("2")), phone(CNLabelPhoneNumberMobile, QStringLiteral("3"))};
    b.emailAddresses = {CNLabeledValue<QString>(CNLabelWork, QString()),
                        CNLabeledValue<QString>(CNLabelWork, QStringLiteral("b@x.org"))};
    QByteArray picture;
    {
        QImage image(4, 4, QImage::Format_RGB32);
        image.fill(Qt::red);
        QBuffer buffer(&picture);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
    }
    b.imageData = picture;
    CNContactData c;
    c.phoneNumbers = {phone(CNLabelHome, QStringLiteral("3")), phone(CNLabelHome, QStringLiteral("4"))};
    c.editRare().urlAddresses = {CNLabeledValue<QString>(CNLabelHome, QStringLiteral("https://c.example"))};

    const auto ra = loadedRecord(a), rb = loadedRecord(b), rc = loadedRecord(c);
    const CNContactData beforeB = rb->effectiveContact()->data();
    EXPECT_EQ(KQContactHelper::mergeContactHelpers({ra}), nullptr);
    const auto merged = KQContactHelper::mergeContactHelpers({ra, rb, rc});
    ASSERT_TRUE(merged);
    EXPECT_TRUE(merged->allKeysLoaded());
    const CNContactPtr m = merged->effectiveContact();
    EXPECT_NE(m->identifier(), ra->identifier());
    EXPECT_EQ(m->givenName(), QStringLiteral("Ann"));
    EXPECT_EQ(m->note(), QStringLiteral("first"));
    EXPECT_EQ(numbers(*m),
              (QStringList{CNLabelHome + QStringLiteral("=1"), CNLabelWork + QStringLiteral("=2"),
                           CNLabelPhoneNumberMobile + QStringLiteral("=3"), CNLabelHome + QStringLiteral("=4")}));
    // An empty e-mail equals nothing, so it is carried over too.
    ASSERT_EQ(m->emailAddresses().size(), 3u);
    EXPECT_EQ(m->emailAddresses()[2].value(), QStringLiteral("b@x.org"));
    EXPECT_EQ(m->urlAddresses().size(), 1u);
    EXPECT_EQ(m->imageData(), picture);
    // The sources are untouched.
    EXPECT_EQ(rb->effectiveContact()->data(), beforeB);
    EXPECT_EQ(ra->effectiveContact()->data().phoneNumbers.size(), 2u);
}

TEST(ContactActions, OpenDesktopAddresses)
{
    QStringList opened;
    KQContactHelper::setUrlOpener([&opened](const QUrl& url) {
        opened.append(url.toString());
        return true;
    });
    CNContactData d;
    d.phoneNumbers = {phone(CNLabelHome, QStringLiteral("+1 (555) 010-0200")),
                      phone(QString(), QStringLiteral("555 0300"))};
    d.emailAddresses = {CNLabeledValue<QString>(CNLabelWork, QStringLiteral("ann@example.com"))};
    d.editRare().urlAddresses = {CNLabeledValue<QString>(CNLabelHome, QStringLiteral("https://example.com/a"))};
    const auto record = loadedRecord(d);

    EXPECT_TRUE(record->enableCall());
    EXPECT_TRUE(record->enableFacetime());
    EXPECT_EQ(record->availableCallNames(), (QStringList{QStringLiteral("home"), QStringLiteral("555 0300")}));
    EXPECT_EQ(record->availableFacetimeNames(),
              (QStringList{QStringLiteral("home"), QStringLiteral("555 0300"), QStringLiteral("work")}));
    record->callToPersonAtIndex(0);
    record->messageToPersonWithName(QStringLiteral("555 0300"));
    record->emailToPersonAtIndex(0);
    record->facetimeToPersonAtIndex(2);
    record->facetimeToPersonWithName(QStringLiteral("home"));
    record->callToPersonAtIndex(7); // out of range: nothing
    KQContactHelper::openURLWithURLAddresses(record->propertyUrls()->firstLabeledValueHelper().get());
    KQContactHelper::setUrlOpener([](const QUrl&) { return false; });
    EXPECT_EQ(opened, (QStringList{QStringLiteral("tel:15550100200"), QStringLiteral("sms:5550300"),
                                   QStringLiteral("mailto:ann@example.com"), QStringLiteral("facetime:ann@example.com"),
                                   QStringLiteral("facetime:15550100200"), QStringLiteral("https://example.com/a")}));
    EXPECT_EQ(KQContactHelper::adjustPhoneNumber(QStringLiteral("+44 (20) 7946-0958")), QStringLiteral("442079460958"));
    EXPECT_EQ(KQContactHelper::adjustPhoneNumber(QStringLiteral("none")), QString());
}

TEST(ContactEditing, AnEmptyValueNeverReplacesAWrittenOne)
{
    CNContactData d;
    d.note = QStringLiteral("keep");
    const auto record = loadedRecord(d);
    record->startEditContact();
    record->addPropertyEmptyValueWithCategoryName(QStringLiteral("Note"));
    EXPECT_EQ(record->note(), QStringLiteral("keep"));
    record->addPropertyEmptyValueWithCategoryName(QStringLiteral("Related Name"));
    EXPECT_EQ(record->propertyRelation()->countOfLabeledValueHelpers(), 1);
    record->addPropertyEmptyValueWithCategoryName(QStringLiteral("Unknown"));
}

TEST(ContactTags, RecordTagsLiveInTheTagsManager)
{
    const auto record = loadedRecord({});
    const auto other = loadedRecord({});
    const auto friends = record->addTagsWithName(QStringLiteral("Friends"));
    ASSERT_TRUE(friends);
    kqSpin(20); // the new tag joins the manager's list on the main loop
    EXPECT_EQ(KQContactManager::sharedContactManager()->tagsMgr()->tagWithName(QStringLiteral("Friends")), friends);
    EXPECT_EQ(record->addTagsWithName(QStringLiteral("Friends")), friends);
    EXPECT_EQ(record->tags().size(), 1u);
    EXPECT_TRUE(other->tags().empty());

    const auto work = record->addTagsWithName(QStringLiteral("Work"));
    kqSpin(20);
    record->setTags({work});
    ASSERT_EQ(record->tags().size(), 1u);
    EXPECT_EQ(record->tags().front(), work);
    record->removeTag(work);
    EXPECT_TRUE(record->tags().empty());
}
