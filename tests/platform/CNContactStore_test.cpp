#include "CNContactStoreTestSupport.h"
#include "platform/CNContactVCardSerialization.h"
#include "platform/CNContactValueCodec.h"
#include "platform/CNSQLiteSchema.h"
#include "platform/KQKeyedArchiver.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <thread>

using namespace storetest;

namespace {

class CNContactStoreTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_path = m_dir.filePath(QStringLiteral("nested/folder/store.sqlite"));
        m_store = std::make_unique<CNContactStore>(m_path);
        ASSERT_EQ(m_store->authorizationStatusForEntityType(CNEntityType::Contacts), CNAuthorizationStatus::Authorized);
        m_local = m_store->defaultContainerIdentifier();
    }

    bool save(const std::function<void(CNSaveRequest&)>& fill, CNError* error = nullptr)
    {
        CNSaveRequest request;
        fill(request);
        CNError e;
        const bool ok = m_store->executeSaveRequest(request, &e);
        if (error)
            *error = e;
        else
            EXPECT_TRUE(ok) << e.description().toStdString();
        return ok;
    }

    void addPeople(const QStringList& ids, const QString& container = {})
    {
        save([&](CNSaveRequest& r) {
            for (const QString& id : ids)
                r.addContact(*person(id, QStringLiteral("Given ") + id), container);
        });
    }

    CNGroup addGroup(const QString& id, const QString& container = {})
    {
        CNGroup group(id, QStringLiteral("Group ") + id);
        save([&](CNSaveRequest& r) { r.addGroup(group, container); });
        return group;
    }

    QStringList groupIds(const std::optional<CNGroupPredicate>& predicate)
    {
        QStringList ids;
        for (const CNGroup& g : m_store->groupsMatchingPredicate(predicate))
            ids << g.identifier();
        return ids;
    }

    QStringList memberIds(const QString& group)
    {
        return identifiers(fetch(*m_store, {CNContactGivenNameKey},
                                 CNContactPredicate::predicateForContactsInGroupWithIdentifier(group)));
    }

    QTemporaryDir m_dir;
    QString m_path;
    std::unique_ptr<CNContactStore> m_store;
    QString m_local;
};

} // namespace

TEST_F(CNContactStoreTest, FreshStoreHasOneLocalDefaultContainer)
{
    const auto containers = m_store->containersMatchingPredicate(std::nullopt);
    ASSERT_EQ(containers.size(), 1u);
    EXPECT_EQ(containers[0].type(), CNContainerType::Local);
    EXPECT_FALSE(containers[0].name().isEmpty());
    EXPECT_EQ(containers[0].identifier(), m_local);
    EXPECT_EQ(queryInt(m_path, "PRAGMA user_version"), CNSQLiteSchema::CurrentVersion);
    EXPECT_EQ(queryInt(m_path, "SELECT count(*) FROM pragma_journal_mode WHERE journal_mode = 'wal'"), 1);

    // Reopening keeps the same account rather than adding another.
    m_store.reset();
    CNContactStore again(m_path);
    EXPECT_EQ(again.containersMatchingPredicate(std::nullopt), containers);
    EXPECT_EQ(again.defaultContainerIdentifier(), m_local);
}

TEST_F(CNContactStoreTest, DefaultPathIsInTheUsersDataFolder)
{
    EXPECT_TRUE(CNContactStore::defaultDatabasePath().endsWith(QStringLiteral("/contacts/store.sqlite")));
    CNContactStore store;
    EXPECT_EQ(store.authorizationStatusForEntityType(CNEntityType::Contacts), CNAuthorizationStatus::Authorized);
    EXPECT_TRUE(QFile::exists(CNContactStore::defaultDatabasePath()));
}

TEST_F(CNContactStoreTest, EveryFieldRoundTripsWithAllKeys)
{
    const auto original = fullContact();
    save([&](CNSaveRequest& r) { r.addContact(*original, m_local); });
    const auto fetched = fetch(*m_store, CNAllContactKeys());
    ASSERT_EQ(fetched.size(), 1u);
    EXPECT_EQ(fetched[0]->availableKeys(), CNAllKeysSet());
    EXPECT_TRUE(*fetched[0] == static_cast<const CNContact&>(*original));
    EXPECT_TRUE(fetched[0]->imageDataAvailable());
}

// Most contacts have none of the rare fields (middle names, phonetic names, birthdays, dates, web
// pages, relations, profiles, messaging): every reader leaves such a contact without their block,
// and gives one to a contact that has any of them. Setting an empty value makes none either, and a
// copy that changes a rare field leaves the original as it was.
TEST_F(CNContactStoreTest, ReadersMakeTheRareFieldsBlockOnlyForAContactThatHasOne)
{
    auto plain = std::make_shared<CNMutableContact>();
    plain->setGivenName(QStringLiteral("Ann"));
    plain->setFamilyName(QStringLiteral("Lee"));
    plain->setNote(QStringLiteral("note"));
    plain->setMiddleName(QString());
    plain->setDates({});
    plain->setBirthday(std::nullopt);
    EXPECT_FALSE(plain->data().rareFields.isAllocated());
    EXPECT_TRUE(plain->isKeyAvailable(CNKeyId::MiddleName));
    auto rare = std::make_shared<CNMutableContact>();
    rare->setGivenName(QStringLiteral("Bo"));
    rare->setBirthday(CNDateComponents{1980, 2, 29, {}, {}, {}});
    EXPECT_TRUE(rare->data().rareFields.isAllocated());
    save([&](CNSaveRequest& r) {
        r.addContact(*plain, m_local);
        r.addContact(*rare, m_local);
    });

    const auto check = [&](const char* reader, const CNContactList& read) {
        ASSERT_EQ(read.size(), 2u) << reader;
        EXPECT_FALSE(read[0]->data().rareFields.isAllocated()) << reader;
        EXPECT_EQ(read[0]->givenName(), QStringLiteral("Ann")) << reader;
        EXPECT_TRUE(read[1]->data().rareFields.isAllocated()) << reader;
        EXPECT_EQ(read[1]->birthday(), rare->birthday()) << reader;
    };
    check("store", fetch(*m_store, CNAllContactKeys()));
    check("vCard", CNContactVCardSerialization::contactsWithData(
                       CNContactVCardSerialization::dataWithContacts({plain, rare})));
    CNContactList unarchived;
    for (const CNContactPtr& contact : CNContactList{plain, rare}) {
        CNError error;
        unarchived.push_back(std::dynamic_pointer_cast<CNContact>(KQKeyedUnarchiver::unarchivedObjectOfClasses(
            CNContact::archiveClasses(), KQKeyedArchiver::archivedDataWithRootObject(*contact), &error)));
        ASSERT_TRUE(unarchived.back()) << error.description().toStdString();
    }
    check("archive", unarchived);

    const auto copy = rare->mutableCopy();
    copy->setBirthday(std::nullopt);
    copy->setNickname(QStringLiteral("B"));
    EXPECT_EQ(rare->birthday(), (CNDateComponents{1980, 2, 29, {}, {}, {}}));
    EXPECT_EQ(rare->nickname(), QString());
    EXPECT_EQ(copy->nickname(), QStringLiteral("B"));
    // A block whose fields are all empty is the same as none.
    CNContactData none;
    CNContactData emptied;
    emptied.editRare().nickname = QStringLiteral("B");
    emptied.editRare().nickname.clear();
    EXPECT_EQ(none, emptied);
}

// The UID of the card a contact came from is its identity for other address books: it comes back
// with every fetch, and a store written before it was kept gains the column and keeps its contacts.
TEST_F(CNContactStoreTest, TheCardUIDComesBackWithAnyKeysAndAnOlderStoreGainsIt)
{
    CNMutableContact imported;
    imported.setGivenName(QStringLiteral("Ann"));
    imported.setCardUID(QStringLiteral("urn:uuid:0e6f4c52-5f0e-4d4c-9b1a-2a7f4f0d9c11"));
    CNMutableContact typed;
    typed.setGivenName(QStringLiteral("Bo"));
    save([&](CNSaveRequest& r) {
        r.addContact(imported, m_local);
        r.addContact(typed, m_local);
    });
    const auto fetched = fetch(*m_store, {CNContactFamilyNameKey});
    ASSERT_EQ(fetched.size(), 2u);
    EXPECT_EQ(fetched[0]->cardUID(), imported.cardUID());
    EXPECT_TRUE(fetched[1]->cardUID().isEmpty());

    // An edit keeps it.
    auto edited = fetched[0]->mutableCopy();
    edited->setFamilyName(QStringLiteral("Lee"));
    save([&](CNSaveRequest& r) { r.updateContact(*edited); });
    EXPECT_EQ(fetch(*m_store, {CNContactGivenNameKey})[0]->cardUID(), imported.cardUID());

    // The same store as the previous version wrote it.
    m_store.reset();
    ASSERT_TRUE(execSql(m_path, "ALTER TABLE contacts DROP COLUMN card_uid; PRAGMA user_version = 1"));
    m_store = std::make_unique<CNContactStore>(m_path);
    EXPECT_EQ(queryInt(m_path, "PRAGMA user_version"), CNSQLiteSchema::CurrentVersion);
    const auto migrated = fetch(*m_store, {CNContactGivenNameKey});
    ASSERT_EQ(migrated.size(), 2u);
    EXPECT_EQ(migrated[0]->givenName(), QStringLiteral("Ann"));
    EXPECT_TRUE(migrated[0]->cardUID().isEmpty());
}

TEST_F(CNContactStoreTest, EmptyContactRoundTripsAsEmpty)
{
    auto empty = std::make_shared<CNMutableContact>();
    save([&](CNSaveRequest& r) { r.addContact(*empty, QString()); });
    const auto fetched = fetch(*m_store, CNAllContactKeys());
    ASSERT_EQ(fetched.size(), 1u);
    EXPECT_EQ(fetched[0]->data(), empty->data());
    EXPECT_FALSE(fetched[0]->imageDataAvailable());
}

// The fetched keys, as the list of key names.
void PrintTo(const QStringList& keys, std::ostream* os)
{
    *os << (keys.isEmpty() ? std::string("no keys") : keys.join(QLatin1Char(' ')).toStdString());
}

class CNContactStorePartialKeys : public CNContactStoreTest, public ::testing::WithParamInterface<QStringList>
{
};

TEST_P(CNContactStorePartialKeys, OnlyRequestedKeysAreFilled)
{
    const auto original = fullContact();
    save([&](CNSaveRequest& r) { r.addContact(*original, m_local); });
    const QStringList keys = GetParam();
    const auto fetched = fetch(*m_store, keys);
    ASSERT_EQ(fetched.size(), 1u);
    const CNContact& c = *fetched[0];
    EXPECT_EQ(c.identifier(), original->identifier());
    for (const QString& key : CNAllContactKeys()) {
        const bool wanted = keys.contains(key) || key == CNContactIdentifierKey;
        EXPECT_EQ(c.isKeyAvailable(key), wanted) << key.toStdString();
    }
    // What was fetched holds the stored value; what was not reads as empty.
    if (keys.contains(CNContactGivenNameKey)) {
        EXPECT_EQ(c.givenName(), original->givenName());
    } else {
        EXPECT_EQ(c.givenName(), QString());
    }
    if (keys.contains(CNContactPhoneNumbersKey)) {
        EXPECT_EQ(c.phoneNumbers(), original->phoneNumbers());
    } else {
        EXPECT_TRUE(c.phoneNumbers().empty());
    }
    if (keys.contains(CNContactImageDataAvailableKey)) {
        EXPECT_TRUE(c.imageDataAvailable());
    }
    if (keys.contains(CNContactThumbnailImageDataKey)) {
        EXPECT_EQ(c.thumbnailImageData(), original->thumbnailImageData());
    }
    EXPECT_EQ(c.note(), QString());
    EXPECT_FALSE(c.checkKeys({CNKeyId::Note}, nullptr));
}

INSTANTIATE_TEST_SUITE_P(KeySets, CNContactStorePartialKeys,
                         ::testing::Values(QStringList{}, QStringList{CNContactGivenNameKey},
                                           QStringList{CNContactPhoneNumbersKey, CNContactFamilyNameKey},
                                           QStringList{CNContactImageDataAvailableKey, CNContactGivenNameKey},
                                           QStringList{CNContactThumbnailImageDataKey, CNContactPostalAddressesKey,
                                                       CNContactBirthdayKey},
                                           QStringList{QStringLiteral("notAKey"), CNContactDatesKey}));

TEST_F(CNContactStoreTest, PredicatesSelectAndOrder)
{
    addPeople({QStringLiteral("C1"), QStringLiteral("C2"), QStringLiteral("C3")});
    ASSERT_TRUE(
        m_store->addContainer(CNContainer(QStringLiteral("EX"), QStringLiteral("Work"), CNContainerType::Exchange)));
    addPeople({QStringLiteral("X1")}, QStringLiteral("EX"));
    const CNGroup group = addGroup(QStringLiteral("G"));
    save([&](CNSaveRequest& r) {
        r.addMember(*person(QStringLiteral("C3"), {}), group);
        r.addMember(*person(QStringLiteral("C1"), {}), group);
    });

    struct Row
    {
        const char* name;
        std::optional<CNContactPredicate> predicate;
        QStringList expected;
    };
    const Row rows[] = {
        {"all", std::nullopt, {"C1"_q, "C2"_q, "C3"_q, "X1"_q}},
        {"identifiers in creation order, unknown ignored",
         CNContactPredicate::predicateForContactsWithIdentifiers({"X1"_q, "nope"_q, "C2"_q}),
         {"C2"_q, "X1"_q}},
        {"container",
         CNContactPredicate::predicateForContactsInContainerWithIdentifier(m_local),
         {"C1"_q, "C2"_q, "C3"_q}},
        {"other container", CNContactPredicate::predicateForContactsInContainerWithIdentifier("EX"_q), {"X1"_q}},
        {"group in membership order",
         CNContactPredicate::predicateForContactsInGroupWithIdentifier("G"_q),
         {"C3"_q, "C1"_q}},
    };
    for (const Row& row : rows) {
        CNError error;
        EXPECT_EQ(identifiers(fetch(*m_store, {CNContactGivenNameKey}, row.predicate, &error)), row.expected)
            << row.name;
        EXPECT_FALSE(error.isError()) << row.name;
    }

    CNError error;
    EXPECT_TRUE(
        fetch(*m_store, {}, CNContactPredicate::predicateForContactsInGroupWithIdentifier("none"_q), &error).empty());
    EXPECT_EQ(error.code, CNError::RecordDoesNotExist);
}

TEST_F(CNContactStoreTest, EnumerationStopsWhenAsked)
{
    addPeople({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")});
    int seen = 0;
    CNContactFetchRequest request({CNContactGivenNameKey});
    EXPECT_TRUE(m_store->enumerateContactsWithFetchRequest(
        request, nullptr, [&](const CNContactPtr&, bool* stop) { *stop = ++seen == 2; }));
    EXPECT_EQ(seen, 2);
}

// The transient enumeration fills one contact for every row: no field of a row may stay behind for
// the next, and each row must read as the ordinary fetch gives it.
TEST_F(CNContactStoreTest, TransientEnumerationGivesEachRowAsTheOrdinaryFetchDoes)
{
    auto pictured = person(QStringLiteral("P"), QStringLiteral("Pictured"));
    pictured->setImageData(pngImage(40, 40));
    save([&](CNSaveRequest& r) {
        r.addContact(*fullContact(), m_local);
        r.addContact(CNMutableContact(), m_local);
        r.addContact(*pictured, m_local);
        r.addContact(CNMutableContact(), m_local);
    });
    for (const QStringList& keys : {CNAllContactKeys(), QStringList{CNContactFamilyNameKey, CNContactNoteKey}}) {
        const CNContactList kept = fetch(*m_store, keys);
        ASSERT_EQ(kept.size(), 4u);
        size_t row = 0;
        CNContactFetchRequest request(keys);
        EXPECT_TRUE(m_store->enumerateTransientContactsWithFetchRequest(
            request, nullptr, [&](const CNContact& contact, bool*) {
                ASSERT_LT(row, kept.size());
                EXPECT_TRUE(contact == *kept[row]) << "row " << row << " with " << keys.size() << " keys";
                EXPECT_EQ(contact.availableKeys(), kept[row]->availableKeys());
                if (keys.contains(CNContactImageDataKey)) {
                    EXPECT_EQ(contact.imageData(), kept[row]->imageData()) << "row " << row;
                }
                ++row;
            }));
        EXPECT_EQ(row, kept.size());
    }
}

TEST_F(CNContactStoreTest, ContainerAndGroupPredicates)
{
    ASSERT_TRUE(
        m_store->addContainer(CNContainer(QStringLiteral("EX"), QStringLiteral("Work"), CNContainerType::Exchange)));
    addPeople({QStringLiteral("P")}, QStringLiteral("EX"));
    addGroup(QStringLiteral("A"));
    addGroup(QStringLiteral("B"), QStringLiteral("EX"));
    addGroup(QStringLiteral("C"), QStringLiteral("EX"));
    save([&](CNSaveRequest& r) { r.addSubgroup(CNGroup(QStringLiteral("C"), {}), CNGroup(QStringLiteral("B"), {})); });

    EXPECT_EQ(groupIds(std::nullopt), (QStringList{"A"_q, "B"_q, "C"_q}));
    EXPECT_EQ(groupIds(CNGroupPredicate::predicateForGroupsInContainerWithIdentifier("EX"_q)),
              (QStringList{"B"_q, "C"_q}));
    EXPECT_EQ(groupIds(CNGroupPredicate::predicateForSubgroupsInGroupWithIdentifier("B"_q)), (QStringList{"C"_q}));
    EXPECT_EQ(groupIds(CNGroupPredicate::predicateForGroupsWithIdentifiers({"C"_q, "A"_q, "Z"_q})),
              (QStringList{"A"_q, "C"_q}));

    const auto ofGroup =
        m_store->containersMatchingPredicate(CNContainerPredicate::predicateForContainerOfGroupWithIdentifier("C"_q));
    ASSERT_EQ(ofGroup.size(), 1u);
    EXPECT_EQ(ofGroup[0], CNContainer(QStringLiteral("EX"), QStringLiteral("Work"), CNContainerType::Exchange));
    const auto ofContact =
        m_store->containersMatchingPredicate(CNContainerPredicate::predicateForContainerOfContactWithIdentifier("P"_q));
    ASSERT_EQ(ofContact.size(), 1u);
    EXPECT_EQ(ofContact[0].identifier(), QStringLiteral("EX"));
    EXPECT_TRUE(
        m_store->containersMatchingPredicate(CNContainerPredicate::predicateForContainerOfGroupWithIdentifier("Z"_q))
            .empty());
    EXPECT_EQ(m_store
                  ->containersMatchingPredicate(
                      CNContainerPredicate::predicateForContainersWithIdentifiers({"EX"_q, m_local}))
                  .size(),
              2u);
}

TEST_F(CNContactStoreTest, MembershipKeepsOrderAndIgnoresRepeats)
{
    addPeople({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")});
    const CNGroup group = addGroup(QStringLiteral("G"));
    const auto member = [](const char* id) { return *person(QString::fromLatin1(id), {}); };
    save([&](CNSaveRequest& r) {
        r.addMember(member("B"), group);
        r.addMember(member("A"), group);
        r.addMember(member("B"), group); // already a member: keeps its place
    });
    EXPECT_EQ(memberIds("G"_q), (QStringList{"B"_q, "A"_q}));
    save([&](CNSaveRequest& r) {
        r.removeMember(member("B"), group);
        r.addMember(member("C"), group);
        r.addMember(member("B"), group);
    });
    EXPECT_EQ(memberIds("G"_q), (QStringList{"A"_q, "C"_q, "B"_q}));
}

TEST_F(CNContactStoreTest, GroupMembersAreDirectOnly)
{
    addPeople({QStringLiteral("A"), QStringLiteral("B")});
    const CNGroup parent = addGroup(QStringLiteral("P"));
    const CNGroup child = addGroup(QStringLiteral("C"));
    save([&](CNSaveRequest& r) {
        r.addSubgroup(child, parent);
        r.addMember(*person(QStringLiteral("A"), {}), parent);
        r.addMember(*person(QStringLiteral("B"), {}), child);
    });
    EXPECT_EQ(memberIds("P"_q), QStringList{"A"_q});
    EXPECT_EQ(memberIds("C"_q), QStringList{"B"_q});
}

TEST_F(CNContactStoreTest, DeletingAGroupLiftsItsSubgroupsAndKeepsContacts)
{
    addPeople({QStringLiteral("A")});
    const CNGroup top = addGroup(QStringLiteral("TOP"));
    const CNGroup mid = addGroup(QStringLiteral("MID"));
    const CNGroup leaf = addGroup(QStringLiteral("LEAF"));
    save([&](CNSaveRequest& r) {
        r.addSubgroup(mid, top);
        r.addSubgroup(leaf, mid);
        r.addMember(*person(QStringLiteral("A"), {}), mid);
    });
    save([&](CNSaveRequest& r) { r.deleteGroup(mid); });

    EXPECT_EQ(groupIds(std::nullopt), (QStringList{"TOP"_q, "LEAF"_q}));
    EXPECT_TRUE(groupIds(CNGroupPredicate::predicateForSubgroupsInGroupWithIdentifier("TOP"_q)).isEmpty());
    EXPECT_EQ(groupIds(CNGroupPredicate::predicateForGroupsInContainerWithIdentifier(m_local)),
              (QStringList{"TOP"_q, "LEAF"_q}));
    EXPECT_EQ(identifiers(fetch(*m_store, {})), QStringList{"A"_q});
    EXPECT_EQ(queryInt(m_path, "SELECT count(*) FROM memberships"), 0);
}

TEST_F(CNContactStoreTest, SubgroupRulesAreEnforced)
{
    ASSERT_TRUE(
        m_store->addContainer(CNContainer(QStringLiteral("EX"), QStringLiteral("Work"), CNContainerType::CardDAV)));
    addPeople({QStringLiteral("LOCAL")});
    const CNGroup a = addGroup(QStringLiteral("A"));
    const CNGroup b = addGroup(QStringLiteral("B"));
    const CNGroup c = addGroup(QStringLiteral("C"));
    const CNGroup other = addGroup(QStringLiteral("OTHER"), QStringLiteral("EX"));
    save([&](CNSaveRequest& r) {
        r.addSubgroup(b, a);
        r.addSubgroup(c, b);
    });

    struct Row
    {
        const char* name;
        std::function<void(CNSaveRequest&)> fill;
        int code;
    };
    const Row rows[] = {
        {"own subgroup", [&](CNSaveRequest& r) { r.addSubgroup(a, a); }, CNError::ContainmentCycle},
        {"below a descendant", [&](CNSaveRequest& r) { r.addSubgroup(a, c); }, CNError::ContainmentCycle},
        {"across accounts", [&](CNSaveRequest& r) { r.addSubgroup(other, a); }, CNError::ContainmentScope},
        {"member across accounts", [&](CNSaveRequest& r) { r.addMember(*person(QStringLiteral("LOCAL"), {}), other); },
         CNError::ContainmentScope},
        {"unknown parent", [&](CNSaveRequest& r) { r.addSubgroup(a, CNGroup(QStringLiteral("Z"), {})); },
         CNError::RecordDoesNotExist},
    };
    for (const Row& row : rows) {
        CNError error;
        EXPECT_FALSE(save(row.fill, &error)) << row.name;
        EXPECT_EQ(error.code, row.code) << row.name << ": " << error.description().toStdString();
    }
    EXPECT_EQ(groupIds(CNGroupPredicate::predicateForSubgroupsInGroupWithIdentifier("B"_q)), QStringList{"C"_q});

    // Moving a group elsewhere in its own account is allowed; removing it from a parent it is not
    // under changes nothing.
    save([&](CNSaveRequest& r) {
        r.addSubgroup(c, a);
        r.removeSubgroup(b, c);
    });
    EXPECT_EQ(groupIds(CNGroupPredicate::predicateForSubgroupsInGroupWithIdentifier("A"_q)),
              (QStringList{"B"_q, "C"_q}));
    save([&](CNSaveRequest& r) { r.removeSubgroup(b, a); });
    EXPECT_EQ(groupIds(CNGroupPredicate::predicateForSubgroupsInGroupWithIdentifier("A"_q)), QStringList{"C"_q});
}

TEST_F(CNContactStoreTest, UpdatingAPartlyFetchedContactKeepsTheOtherFields)
{
    const auto original = fullContact();
    save([&](CNSaveRequest& r) { r.addContact(*original, m_local); });
    const auto partial = fetch(*m_store, {CNContactGivenNameKey, CNContactEmailAddressesKey});
    ASSERT_EQ(partial.size(), 1u);
    auto edited = partial[0]->mutableCopy();
    edited->setGivenName(QStringLiteral("Zed"));
    edited->setEmailAddresses({});
    save([&](CNSaveRequest& r) { r.updateContact(*edited); });

    CNContactData expected = original->data();
    expected.givenName = QStringLiteral("Zed");
    expected.emailAddresses.clear();
    const auto all = fetch(*m_store, CNAllContactKeys());
    ASSERT_EQ(all.size(), 1u);
    EXPECT_TRUE(*all[0] == CNContact(expected, CNAllKeysSet()));
}

TEST_F(CNContactStoreTest, ImagesGetThumbnailsAndGoAway)
{
    auto contact = person(QStringLiteral("IMG"), QStringLiteral("Pic"));
    contact->setImageData(pngImage(1000, 500));
    save([&](CNSaveRequest& r) { r.addContact(*contact, {}); });

    const auto thumbnailOf = [&] {
        return QImage::fromData(fetch(*m_store, {CNContactThumbnailImageDataKey})[0]->thumbnailImageData());
    };
    QImage thumbnail = thumbnailOf();
    EXPECT_EQ(thumbnail.size(), QSize(320, 160));

    // A new image replaces the thumbnail even though the edited contact still carries the old one.
    auto edited = fetch(*m_store, CNAllContactKeys())[0]->mutableCopy();
    edited->setImageData(pngImage(100, 200));
    save([&](CNSaveRequest& r) { r.updateContact(*edited); });
    EXPECT_EQ(thumbnailOf().size(), QSize(100, 200));

    // A thumbnail given with a new image is kept as it is.
    edited->setImageData(pngImage(10, 10));
    edited->setThumbnailImageData(QByteArray("mine"));
    save([&](CNSaveRequest& r) { r.updateContact(*edited); });
    EXPECT_EQ(fetch(*m_store, {CNContactThumbnailImageDataKey})[0]->thumbnailImageData(), QByteArray("mine"));

    // Image data that is no image is kept, without a thumbnail.
    edited->setImageData(QByteArray("not an image"));
    edited->setThumbnailImageData({});
    save([&](CNSaveRequest& r) { r.updateContact(*edited); });
    auto fetched = fetch(*m_store, CNAllContactKeys())[0];
    EXPECT_EQ(fetched->imageData(), QByteArray("not an image"));
    EXPECT_TRUE(fetched->thumbnailImageData().isEmpty());

    edited->setImageData({});
    save([&](CNSaveRequest& r) { r.updateContact(*edited); });
    fetched = fetch(*m_store, CNAllContactKeys())[0];
    EXPECT_TRUE(fetched->imageData().isEmpty());
    EXPECT_TRUE(fetched->thumbnailImageData().isEmpty());
    EXPECT_EQ(queryInt(m_path, "SELECT count(*) FROM images"), 0);
}

TEST_F(CNContactStoreTest, DeletingAContactRemovesItsImageAndMemberships)
{
    auto contact = fullContact(QStringLiteral("DEL"));
    save([&](CNSaveRequest& r) {
        r.addContact(*contact, {});
        r.addGroup(CNGroup(QStringLiteral("G"), {}), {});
        r.addMember(*contact, CNGroup(QStringLiteral("G"), {}));
    });
    EXPECT_EQ(queryInt(m_path, "SELECT count(*) FROM images"), 1);
    save([&](CNSaveRequest& r) { r.deleteContact(*contact); });
    EXPECT_EQ(queryInt(m_path, "SELECT count(*) FROM images"), 0);
    EXPECT_EQ(queryInt(m_path, "SELECT count(*) FROM memberships"), 0);
    EXPECT_EQ(queryInt(m_path, "SELECT count(*) FROM contacts"), 0);
}

TEST_F(CNContactStoreTest, FailingLastOperationLeavesTheDatabaseAsItWas)
{
    addPeople({QStringLiteral("A"), QStringLiteral("B")});
    const CNGroup group = addGroup(QStringLiteral("G"));
    const CNGroup sub = addGroup(QStringLiteral("S"));
    save([&](CNSaveRequest& r) {
        r.addSubgroup(sub, group);
        r.addMember(*person(QStringLiteral("A"), {}), group);
    });
    ASSERT_TRUE(
        m_store->addContainer(CNContainer(QStringLiteral("EX"), QStringLiteral("Work"), CNContainerType::Exchange)));
    addPeople({QStringLiteral("X")}, QStringLiteral("EX"));
    const QStringList before = dumpDatabase(m_path);

    struct Row
    {
        const char* name;
        std::function<void(CNSaveRequest&)> last;
        int code;
        const char* operation;
    };
    const Row rows[] = {
        {"update unknown contact", [](CNSaveRequest& r) { r.updateContact(*person(QStringLiteral("NONE"), {})); },
         CNError::RecordDoesNotExist, "updateContact"},
        {"delete unknown contact", [](CNSaveRequest& r) { r.deleteContact(*person(QStringLiteral("NONE"), {})); },
         CNError::RecordDoesNotExist, "deleteContact"},
        {"add existing contact", [](CNSaveRequest& r) { r.addContact(*person(QStringLiteral("A"), {}), {}); },
         CNError::InsertedRecordAlreadyExists, "addContact"},
        {"add existing group", [&](CNSaveRequest& r) { r.addGroup(sub, {}); }, CNError::InsertedRecordAlreadyExists,
         "addGroup"},
        {"unknown container", [](CNSaveRequest& r) { r.addContact(*person(QStringLiteral("N"), {}), "NOPE"_q); },
         CNError::RecordDoesNotExist, "addContact"},
        {"cycle", [&](CNSaveRequest& r) { r.addSubgroup(sub, sub); }, CNError::ContainmentCycle, "addSubgroup"},
        {"member across accounts", [&](CNSaveRequest& r) { r.addMember(*person(QStringLiteral("X"), {}), sub); },
         CNError::ContainmentScope, "addMember"},
        {"update unknown group", [](CNSaveRequest& r) { r.updateGroup(CNGroup(QStringLiteral("NONE"), {})); },
         CNError::RecordDoesNotExist, "updateGroup"},
        {"remove member of unknown group",
         [](CNSaveRequest& r) {
             r.removeMember(*person(QStringLiteral("A"), {}), CNGroup(QStringLiteral("NONE"), {}));
         },
         CNError::RecordDoesNotExist, "removeMember"},
    };
    for (const Row& row : rows) {
        CNError error;
        CNSaveRequest request;
        // Every kind of change before the failing one.
        auto edited = person(QStringLiteral("A"), QStringLiteral("Changed"));
        request.addContact(*fullContact(QStringLiteral("NEW")), {});
        request.updateContact(*edited);
        request.addMember(*person(QStringLiteral("B"), {}), group);
        request.removeMember(*person(QStringLiteral("A"), {}), group);
        request.addGroup(CNGroup(QStringLiteral("G2"), QStringLiteral("New")), {});
        request.updateGroup(CNGroup(QStringLiteral("S"), QStringLiteral("Renamed")));
        request.removeSubgroup(sub, group);
        request.deleteGroup(group);
        request.deleteContact(*person(QStringLiteral("B"), {}));
        row.last(request);
        EXPECT_FALSE(m_store->executeSaveRequest(request, &error)) << row.name;
        EXPECT_EQ(error.code, row.code) << row.name;
        const QString text = error.localizedDescription;
        EXPECT_TRUE(text.contains(QLatin1String(row.operation)) && text.contains(QStringLiteral("Operation 10 of 10")))
            << row.name << ": " << text.toStdString();
        EXPECT_EQ(dumpDatabase(m_path), before) << row.name;
    }
}

TEST_F(CNContactStoreTest, AccountSettings)
{
    CNError error;
    EXPECT_TRUE(
        m_store->addContainer(CNContainer(QStringLiteral("G1"), QStringLiteral("Google"), CNContainerType::CardDAV)));
    EXPECT_FALSE(m_store->addContainer(
        CNContainer(QStringLiteral("G1"), QStringLiteral("Again"), CNContainerType::Local), &error));
    EXPECT_EQ(error.code, CNError::InsertedRecordAlreadyExists);
    EXPECT_TRUE(m_store->renameContainer(QStringLiteral("G1"), QStringLiteral("Gmail")));
    EXPECT_FALSE(m_store->renameContainer(QStringLiteral("none"), QStringLiteral("x"), &error));
    EXPECT_EQ(error.code, CNError::RecordDoesNotExist);
    EXPECT_FALSE(m_store->setDefaultContainerIdentifier(QStringLiteral("none"), &error));
    EXPECT_EQ(error.code, CNError::RecordDoesNotExist);
    EXPECT_TRUE(m_store->setDefaultContainerIdentifier(QStringLiteral("G1")));
    EXPECT_EQ(m_store->defaultContainerIdentifier(), QStringLiteral("G1"));

    // The default account takes contacts added without an account.
    addPeople({QStringLiteral("P")});
    const CNGroup g = addGroup(QStringLiteral("GG"));
    save([&](CNSaveRequest& r) { r.addMember(*person(QStringLiteral("P"), {}), g); });
    EXPECT_EQ(
        identifiers(fetch(*m_store, {}, CNContactPredicate::predicateForContactsInContainerWithIdentifier("G1"_q))),
        QStringList{"P"_q});
    const auto containers = m_store->containersMatchingPredicate(std::nullopt);
    ASSERT_EQ(containers.size(), 2u);
    EXPECT_EQ(containers[1], CNContainer(QStringLiteral("G1"), QStringLiteral("Gmail"), CNContainerType::CardDAV));

    // Removing the account removes everything in it; the default moves to the remaining one.
    EXPECT_TRUE(m_store->removeContainer(QStringLiteral("G1")));
    EXPECT_EQ(m_store->defaultContainerIdentifier(), m_local);
    EXPECT_TRUE(fetch(*m_store, {}).empty());
    EXPECT_TRUE(groupIds(std::nullopt).isEmpty());
    EXPECT_EQ(queryInt(m_path, "SELECT count(*) FROM memberships"), 0);

    // With no account left there is no default, and adding one makes it the default.
    EXPECT_TRUE(m_store->removeContainer(m_local));
    EXPECT_TRUE(m_store->defaultContainerIdentifier().isEmpty());
    EXPECT_FALSE(save([](CNSaveRequest& r) { r.addContact(*person(QStringLiteral("Q"), {}), {}); }, &error));
    EXPECT_EQ(error.code, CNError::RecordDoesNotExist);
    EXPECT_TRUE(m_store->addContainer(CNContainer(QStringLiteral("N"), QStringLiteral("New"), CNContainerType::Local)));
    EXPECT_EQ(m_store->defaultContainerIdentifier(), QStringLiteral("N"));
}

TEST_F(CNContactStoreTest, DamagedFieldIsLeftUnfetchedAndUntouched)
{
    const auto original = fullContact(QStringLiteral("D"));
    save([&](CNSaveRequest& r) { r.addContact(*original, {}); });
    m_store.reset();
    ASSERT_TRUE(execSql(m_path, "UPDATE contacts SET phone_numbers = x'05ff' WHERE identifier = 'D'"));
    m_store = std::make_unique<CNContactStore>(m_path);

    const auto fetched = fetch(*m_store, CNAllContactKeys());
    ASSERT_EQ(fetched.size(), 1u);
    EXPECT_FALSE(fetched[0]->isKeyAvailable(CNContactPhoneNumbersKey));
    EXPECT_EQ(fetched[0]->givenName(), QStringLiteral("Zoë"));
    EXPECT_EQ(fetched[0]->emailAddresses(), original->emailAddresses());

    // Saving the contact back does not overwrite the damaged bytes, so nothing more is lost.
    auto edited = fetched[0]->mutableCopy();
    edited->setNote(QStringLiteral("edited"));
    save([&](CNSaveRequest& r) { r.updateContact(*edited); });
    EXPECT_EQ(queryInt(m_path, "SELECT count(*) FROM contacts WHERE phone_numbers = x'05ff'"), 1);
}

TEST_F(CNContactStoreTest, FetchedValuesAreDecodedOnFirstReadOnceWhicheverThreadsRead)
{
    const auto original = fullContact(QStringLiteral("V"));
    save([&](CNSaveRequest& r) {
        r.addContact(*original, {});
        r.addContact(*person(QStringLiteral("W"), QStringLiteral("Plain")), {});
    });
    // A list of no entries, as no version writes it but the format allows.
    ASSERT_TRUE(execSql(m_path, "UPDATE contacts SET email_addresses = x'00' WHERE identifier = 'W'"));
    const CNContactList fetched = fetch(*m_store, CNAllContactKeys());
    ASSERT_EQ(fetched.size(), 2u);
    // Whether a field has entries is known before anything is decoded.
    EXPECT_TRUE(fetched[0]->hasValues(CNKeyId::PostalAddresses));
    EXPECT_TRUE(fetched[0]->hasValues(CNKeyId::Dates));
    EXPECT_FALSE(fetched[1]->hasValues(CNKeyId::PhoneNumbers));
    EXPECT_FALSE(fetched[1]->hasValues(CNKeyId::EmailAddresses));
    EXPECT_TRUE(fetched[1]->isKeyAvailable(CNKeyId::EmailAddresses));
    // The contacts hold their rows' bytes: what the database holds now no longer matters.
    ASSERT_TRUE(execSql(m_path, "UPDATE contacts SET phone_numbers = NULL, email_addresses = NULL"));

    // Readers on several threads at once, each through a different accessor first.
    constexpr int Readers = 6;
    std::atomic<int> ready{0};
    std::atomic<int> mismatches{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < Readers; ++t) {
        threads.emplace_back([&, t] {
            const CNContact& contact = *fetched[0];
            ++ready;
            while (ready.load() < Readers) {
            }
            const bool same = t % 3 == 0   ? contact.phoneNumbers() == original->phoneNumbers()
                              : t % 3 == 1 ? contact.postalAddresses() == original->postalAddresses()
                                           : contact.data().emailAddresses == original->emailAddresses();
            if (!same || contact.phoneNumbers() != original->phoneNumbers() ||
                contact.emailAddresses() != original->emailAddresses() ||
                contact.postalAddresses() != original->postalAddresses())
                ++mismatches;
        });
    }
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(mismatches.load(), 0);
    EXPECT_TRUE(fetched[1]->phoneNumbers().empty());

    // Copies and archives see the values of a contact that has not decoded them yet (equality:
    // EveryFieldRoundTripsWithAllKeys).
    const CNContactList third = fetch(*m_store, {CNContactGivenNameKey, CNContactPostalAddressesKey});
    const auto copied = third[0]->mutableCopy();
    EXPECT_EQ(copied->postalAddresses(), original->postalAddresses());
    CNContact::registerArchiveClasses();
    const auto fourth = fetch(*m_store, {CNContactPostalAddressesKey})[0];
    EXPECT_TRUE(KQKeyedArchiver::archivedDataWithRootObject(*fourth).contains("Springfield"));

    // A field set on a contact that still holds it coded keeps the value set; the others decode.
    CNMutableContact edited;
    edited.setCodedLists({CNContactValueCodec::encode(original->phoneNumbers()),
                          CNContactValueCodec::encode(original->emailAddresses()), QByteArrayView()});
    const CNPhoneNumberList replaced = {{CNLabelHome, CNPhoneNumber(QStringLiteral("+44 20 7946 0000"))}};
    edited.setPhoneNumbers(replaced);
    EXPECT_EQ(edited.phoneNumbers(), replaced);
    EXPECT_EQ(edited.emailAddresses(), original->emailAddresses());
}

class CNContactStoreUnopenable : public ::testing::TestWithParam<const char*>
{
};

TEST_P(CNContactStoreUnopenable, IsRefusedAndEveryOperationFails)
{
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("file")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not a folder");
    file.close();
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("folder")));
    QFile garbage(dir.filePath(QStringLiteral("garbage.sqlite")));
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
    garbage.write(QByteArray(4096, 'x'));
    garbage.close();

    CNContactStore store(dir.filePath(QString::fromLatin1(GetParam())));
    // A folder that cannot be made is refused access; a store file that is not one is damaged.
    const int expected = QByteArrayView(GetParam()) == QByteArrayView("file/store.sqlite")
                             ? CNError::DataAccessAuthorizationDenied
                             : CNError::CorruptData;
    EXPECT_EQ(store.authorizationStatusForEntityType(CNEntityType::Contacts), CNAuthorizationStatus::Denied);
    bool called = false;
    store.requestAccessForEntityType(CNEntityType::Contacts, [&](bool granted, const CNError& error) {
        called = true;
        EXPECT_FALSE(granted);
        EXPECT_EQ(error.code, expected);
        EXPECT_FALSE(error.localizedDescription.isEmpty());
    });
    EXPECT_TRUE(called);

    CNError error;
    EXPECT_TRUE(store.containersMatchingPredicate(std::nullopt, &error).empty());
    EXPECT_EQ(error.code, expected);
    error = {};
    EXPECT_TRUE(store.groupsMatchingPredicate(std::nullopt, &error).empty());
    EXPECT_EQ(error.code, expected);
    error = {};
    EXPECT_TRUE(fetch(store, {}, std::nullopt, &error).empty());
    EXPECT_EQ(error.code, expected);
    error = {};
    CNSaveRequest request;
    request.addContact(*person(QStringLiteral("A"), {}), {});
    EXPECT_FALSE(store.executeSaveRequest(request, &error));
    EXPECT_EQ(error.code, expected);
    error = {};
    EXPECT_FALSE(store.addContainer(CNContainer(QStringLiteral("C"), {}, CNContainerType::Local), &error));
    EXPECT_EQ(error.code, expected);
    EXPECT_TRUE(store.defaultContainerIdentifier().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Paths, CNContactStoreUnopenable,
                         ::testing::Values("file/store.sqlite", "folder", "garbage.sqlite"));

TEST(CNContactStoreSchema, NewerSchemaIsRefusedAndLeftAlone)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("store.sqlite"));
    {
        CNContactStore store(path);
    }
    ASSERT_TRUE(execSql(path, "PRAGMA user_version = 99"));
    const QStringList before = dumpDatabase(path);
    CNContactStore store(path);
    EXPECT_EQ(store.authorizationStatusForEntityType(CNEntityType::Contacts), CNAuthorizationStatus::Denied);
    CNError error;
    store.containersMatchingPredicate(std::nullopt, &error);
    EXPECT_TRUE(error.localizedDescription.contains(QLatin1String("99"))) << error.localizedDescription.toStdString();
    EXPECT_EQ(dumpDatabase(path), before);
}

TEST_F(CNContactStoreTest, ConcurrentFetchesAndSavesFromManyThreads)
{
    constexpr int Writers = 2;
    constexpr int Batches = 10;
    constexpr int PerBatch = 25;
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int w = 0; w < Writers; ++w) {
        threads.emplace_back([&, w] {
            for (int b = 0; b < Batches; ++b) {
                CNSaveRequest request;
                for (int i = 0; i < PerBatch; ++i)
                    request.addContact(*person(QStringLiteral("W%1-%2-%3").arg(w).arg(b).arg(i), QStringLiteral("n")),
                                       {});
                if (!m_store->executeSaveRequest(request))
                    ++failures;
            }
        });
    }
    for (int r = 0; r < 2; ++r) {
        threads.emplace_back([&] {
            for (int i = 0; i < 20; ++i) {
                CNError error;
                // A fetch inside a fetch's block must not wait for itself.
                fetch(*m_store, {CNContactGivenNameKey}, std::nullopt, &error);
                CNContactFetchRequest request({CNContactGivenNameKey});
                m_store->enumerateContactsWithFetchRequest(request, &error, [&](const CNContactPtr&, bool* stop) {
                    static_cast<void>(m_store->containersMatchingPredicate(std::nullopt));
                    *stop = true;
                });
                if (error.isError())
                    ++failures;
            }
        });
    }
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(fetch(*m_store, {}).size(), static_cast<size_t>(Writers * Batches * PerBatch));
}
