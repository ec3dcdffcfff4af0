// Records against a real store: loading all keys and the archived form.
#include "model/KQContactHelper.h"
#include "store/KQContactRecyle.h"
#include "store/KQContactStoreHelper.h"
#include "KQTestUtil.h"

#include <gtest/gtest.h>

namespace {

CNMutableContactPtr savedContact()
{
    auto contact = std::make_shared<CNMutableContact>();
    contact->setGivenName(QStringLiteral("Ann"));
    contact->setFamilyName(QStringLiteral("Lee"));
    contact->setNickname(QStringLiteral("Annie"));
    contact->setNote(QStringLiteral("met at the fair"));
    contact->setPhoneNumbers({CNLabeledValue<CNPhoneNumber>(CNLabelHome, CNPhoneNumber(QStringLiteral("555-0100")))});
    CNPostalAddress address;
    address.city = QStringLiteral("Lyon");
    contact->setPostalAddresses({CNLabeledValue<CNPostalAddress>(CNLabelWork, address)});
    CNSaveRequest request;
    request.addContact(*contact, QString());
    EXPECT_TRUE(KQContactStoreHelper::shared()->contactStore()->executeSaveRequest(request));
    return contact;
}

CNContactPtr fetch(const QString& identifier, const QStringList& keys)
{
    CNContactFetchRequest request(keys);
    request.setPredicate(CNContactPredicate::predicateForContactsWithIdentifiers({identifier}));
    CNContactPtr found;
    KQContactStoreHelper::shared()->contactStore()->enumerateContactsWithFetchRequest(
        request, nullptr, [&found](const CNContactPtr& c, bool*) { found = c; });
    return found;
}

} // namespace

TEST(ContactRecordStore, SynchronousLoadFetchesTheRestAndDropsTheEditCopy)
{
    const auto saved = savedContact();
    const auto record = KQContactHelper::create(fetch(saved->identifier(), KQContactStoreHelper::mainKeys()));
    EXPECT_FALSE(record->allKeysLoaded());
    EXPECT_FALSE(record->contact()->isKeyAvailable(CNContactPostalAddressesKey));
    EXPECT_EQ(record->propertyPostalAddress()->countOfLabeledValueHelpers(), 0);
    record->startEditContact();
    EXPECT_TRUE(record->propertyEdited());

    record->syncLoadAllKeysIfNecessary();
    EXPECT_TRUE(record->allKeysLoaded());
    EXPECT_FALSE(record->propertyEdited());
    EXPECT_EQ(record->mutableContact(), nullptr);
    EXPECT_EQ(record->nickName(), QStringLiteral("Annie"));
    EXPECT_EQ(record->propertyPostalAddress()->countOfLabeledValueHelpers(), 1);
    EXPECT_EQ(record->firstAddress(), QStringLiteral("Lyon"));
}

// A fetched contact holds its phone numbers coded until they are read; the record still counts
// them as values from the start, and reads them when asked.
TEST(ContactRecordStore, AFetchedContactsCodedValuesCountFromTheStart)
{
    const auto saved = savedContact();
    const auto record = KQContactHelper::create(fetch(saved->identifier(), KQContactStoreHelper::mainKeys()));
    EXPECT_TRUE(record->propertyEdited());
    EXPECT_EQ(record->firstPhoneNumber(), QStringLiteral("555-0100"));

    auto plain = std::make_shared<CNMutableContact>();
    plain->setGivenName(QStringLiteral("Bo"));
    CNSaveRequest request;
    request.addContact(*plain, QString());
    ASSERT_TRUE(KQContactStoreHelper::shared()->contactStore()->executeSaveRequest(request));
    EXPECT_FALSE(
        KQContactHelper::create(fetch(plain->identifier(), KQContactStoreHelper::mainKeys()))->propertyEdited());
}

TEST(ContactRecordStore, HandlerLoadRunsOnTheMainThreadOnce)
{
    const auto saved = savedContact();
    const auto record = KQContactHelper::create(fetch(saved->identifier(), KQContactStoreHelper::mainKeys()));
    QList<bool> results;
    bool onMain = false;
    record->loadAllKeysIfNecessaryWithCompleteHandler([&](KQContactHelper*, bool fetched) {
        results.append(fetched);
        onMain = KQDispatch::isMainThread();
    });
    ASSERT_TRUE(kqWaitUntil([&results] { return results.size() == 1; }));
    EXPECT_TRUE(onMain);
    EXPECT_TRUE(record->allKeysLoaded());
    EXPECT_EQ(record->note(), QStringLiteral("met at the fair"));
    record->loadAllKeysIfNecessaryWithCompleteHandler([&](KQContactHelper*, bool fetched) { results.append(fetched); });
    ASSERT_TRUE(kqWaitUntil([&results] { return results.size() == 2; }));
    EXPECT_EQ(results, (QList<bool>{true, false}));
}

TEST(ContactRecordStore, ArchivedRecordComesBackPartlyLoaded)
{
    KQContactRecyle::registerArchiveClass();
    const auto saved = savedContact();
    const auto record = KQContactHelper::create(fetch(saved->identifier(), KQContactStoreHelper::allKeys()), true);
    record->startEditContact();
    record->mutableContact()->setJobTitle(QStringLiteral("Chief"));

    const QByteArray data = KQKeyedArchiver::archivedDataWithRootObject(*record);
    CNError error;
    auto decoded = std::dynamic_pointer_cast<KQContactHelper>(KQKeyedUnarchiver::unarchivedObjectOfClasses(
        CNContact::archiveClasses() + QSet<QString>{QStringLiteral("KQContactHelper")}, data, &error));
    ASSERT_TRUE(decoded) << error.localizedDescription.toStdString();
    EXPECT_FALSE(decoded->allKeysLoaded());
    // The effective (edited) contact is what was archived.
    EXPECT_EQ(decoded->jobTitle(), QStringLiteral("Chief"));
    EXPECT_EQ(decoded->contact()->data(), record->effectiveContact()->data());
    EXPECT_TRUE(decoded->isEqualTo(record.get()));

    const KQContactRecyle entry(record->effectiveContact(), QStringLiteral("acc"),
                                {QStringLiteral("g1"), QStringLiteral("g2")});
    auto entryDecoded = std::dynamic_pointer_cast<KQContactRecyle>(KQKeyedUnarchiver::unarchivedObjectOfClasses(
        CNContact::archiveClasses() + QSet<QString>{QStringLiteral("KQContactRecyle")},
        KQKeyedArchiver::archivedDataWithRootObject(entry), &error));
    ASSERT_TRUE(entryDecoded) << error.localizedDescription.toStdString();
    EXPECT_EQ(entryDecoded->containerIdentifier(), QStringLiteral("acc"));
    EXPECT_EQ(entryDecoded->groupsIdentifier(), (QStringList{QStringLiteral("g1"), QStringLiteral("g2")}));
    EXPECT_EQ(entryDecoded->contact()->data(), record->effectiveContact()->data());

    // A foreign class in the archive is refused.
    EXPECT_EQ(KQKeyedUnarchiver::unarchivedObjectOfClasses(CNContact::archiveClasses(), data, &error), nullptr);
    EXPECT_TRUE(error.isError());
}
