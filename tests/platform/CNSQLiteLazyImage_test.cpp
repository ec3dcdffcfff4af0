// Fetched contacts read their image bytes on first use, not during the fetch.
#include "CNContactStoreTestSupport.h"
#include "platform/CNMutableContact.h"

#include <QTemporaryDir>
#include <thread>

using namespace storetest;

namespace {

class LazyImageTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_path = m_dir.filePath(QStringLiteral("store.sqlite"));
        m_store = std::make_unique<CNContactStore>(m_path);
        CNSaveRequest request;
        for (int i = 0; i < 6; ++i) {
            auto c = person(QStringLiteral("P%1").arg(i), QStringLiteral("Given %1").arg(i));
            if (i % 3 == 0)
                c->setImageData(pngImage(40 + i, 30));
            request.addContact(*c, {});
        }
        CNError error;
        ASSERT_TRUE(m_store->executeSaveRequest(request, &error)) << error.description().toStdString();
    }

    QTemporaryDir m_dir;
    QString m_path;
    std::unique_ptr<CNContactStore> m_store;
};

TEST_F(LazyImageTest, FetchLeavesTheBytesInTheDatabaseUntilFirstUse)
{
    const CNContactList contacts =
        fetch(*m_store, {CNContactGivenNameKey, CNContactImageDataKey, CNContactImageDataAvailableKey,
                         CNContactThumbnailImageDataKey});
    ASSERT_EQ(contacts.size(), 6u);
    // Changed behind the fetch's back: a contact that had read its bytes would still show the old ones.
    ASSERT_TRUE(execSql(m_path, "UPDATE images SET image = x'C0FFEE'"));
    for (size_t i = 0; i < contacts.size(); ++i) {
        const bool hasImage = i % 3 == 0;
        EXPECT_EQ(contacts[i]->imageData(), hasImage ? QByteArray("\xC0\xFF\xEE") : QByteArray()) << i;
        EXPECT_EQ(contacts[i]->imageDataAvailable(), hasImage) << i;
        // Thumbnails come with the fetch.
        EXPECT_EQ(contacts[i]->thumbnailImageData().isEmpty(), !hasImage) << i;
    }
}

TEST_F(LazyImageTest, AvailabilityAloneReadsNoBytes)
{
    const CNContactList contacts = fetch(*m_store, {CNContactImageDataAvailableKey});
    ASSERT_TRUE(execSql(m_path, "DELETE FROM images"));
    ASSERT_EQ(contacts.size(), 6u);
    EXPECT_TRUE(contacts[0]->imageDataAvailable());
    EXPECT_FALSE(contacts[1]->imageDataAvailable());
    EXPECT_TRUE(contacts[0]->imageData().isEmpty()); // not fetched
}

TEST_F(LazyImageTest, CopiesArchivesAndSavesSeeTheImage)
{
    const QByteArray original = pngImage(40, 30);
    const CNContactPtr fetched = fetch(*m_store, CNAllContactKeys())[0];

    // Equal to a contact that holds the same bytes.
    CNMutableContact withBytes(fetched->data(), fetched->availableKeys());
    withBytes.setImageData(original);
    EXPECT_TRUE(static_cast<const CNContact&>(withBytes) == *fetched);

    // The archive carries the bytes.
    CNContact::registerArchiveClasses();
    const QByteArray archive = KQKeyedArchiver::archivedDataWithRootObject(*fetched);
    EXPECT_TRUE(archive.contains(original.mid(0, 16)));

    // A mutable copy keeps the image until it is replaced; saving it keeps the bytes.
    auto edited = fetched->mutableCopy();
    edited->setGivenName(QStringLiteral("Renamed"));
    CNSaveRequest update;
    update.updateContact(*edited);
    ASSERT_TRUE(m_store->executeSaveRequest(update, nullptr));
    EXPECT_EQ(fetch(*m_store, CNAllContactKeys())[0]->imageData(), original);
    edited->setImageData(QByteArray());
    EXPECT_TRUE(edited->imageData().isEmpty());
    EXPECT_EQ(fetched->imageData(), original);
}

TEST_F(LazyImageTest, ThreadsReadingFirstAllGetTheBytes)
{
    const CNContactPtr contact = fetch(*m_store, {CNContactImageDataKey})[0];
    std::vector<std::thread> threads;
    std::vector<QByteArray> seen(4);
    for (size_t i = 0; i < seen.size(); ++i)
        threads.emplace_back([&, i] { seen[i] = contact->imageData(); });
    for (auto& t : threads)
        t.join();
    for (const QByteArray& bytes : seen)
        EXPECT_EQ(bytes, pngImage(40, 30));
}

TEST_F(LazyImageTest, TheStoreMayGoFirst)
{
    const CNContactPtr contact = fetch(*m_store, {CNContactImageDataKey})[0];
    m_store.reset();
    EXPECT_EQ(contact->imageData(), pngImage(40, 30));
}

} // namespace
