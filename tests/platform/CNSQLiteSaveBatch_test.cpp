// Saving in batches reuses one insert statement and its text buffers from contact to contact, and
// the writer keeps a large cache: every contact of every batch must come back exactly as given,
// whatever the lengths and scripts of the texts before it, and a failing contact must still undo
// its whole batch.

#include "CNContactStoreTestSupport.h"
#include "platform/CNMutableContact.h"
#include "platform/CNSaveRequest.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <type_traits>

using namespace storetest;

namespace {

// Texts of varying length and script, so that a buffer kept from one contact is too long, too
// short or differently encoded for the next.
const char* const texts[] = {"A",
                             "A rather long family name that does not fit a short-string buffer at all",
                             "",
                             "Zoë",
                             "東京都",
                             "Ann",
                             "O'Brien-Ó'Súilleabháin",
                             "x"};

CNMutableContact makeContact(int i)
{
    CNMutableContact c;
    c.setIdentifier(QStringLiteral("BATCH-%1").arg(i));
    const auto text = [i](int shift) { return QString::fromUtf8(texts[(i + shift) % std::size(texts)]); };
    c.setGivenName(text(0));
    c.setFamilyName(text(1));
    c.setOrganizationName(text(2));
    c.setNote(text(3) + QStringLiteral(" / ") + text(4));
    c.setPhoneNumbers({CNLabeledValue<CNPhoneNumber>(CNLabelHome, CNPhoneNumber(QStringLiteral("+1 555 %1").arg(i)))});
    c.setEmailAddresses({CNLabeledValue<QString>(text(5), text(6) + QStringLiteral("@example.org"))});
    c.setCardUID(i % 3 == 0 ? QString() : QStringLiteral("uid-%1-").arg(i) + text(7));
    return c;
}

// Label and value of each entry (entry identifiers are made anew with each contact).
template <typename T> std::vector<std::pair<QString, QString>> entries(const std::vector<CNLabeledValue<T>>& list)
{
    std::vector<std::pair<QString, QString>> out;
    for (const auto& entry : list) {
        if constexpr (std::is_same_v<T, QString>)
            out.emplace_back(entry.label(), entry.value());
        else
            out.emplace_back(entry.label(), entry.value().stringValue());
    }
    return out;
}

class SaveBatch : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_store = std::make_unique<CNContactStore>(m_dir.filePath(QStringLiteral("store.sqlite")));
    }

    CNContactList fetchAll() const
    {
        CNContactList all;
        CNContactFetchRequest request({CNContactGivenNameKey, CNContactFamilyNameKey, CNContactOrganizationNameKey,
                                       CNContactNoteKey, CNContactPhoneNumbersKey, CNContactEmailAddressesKey});
        EXPECT_TRUE(m_store->enumerateContactsWithFetchRequest(
            request, nullptr, [&](const CNContactPtr& c, bool*) { all.push_back(c); }));
        return all;
    }

    QTemporaryDir m_dir;
    std::unique_ptr<CNContactStore> m_store;
};

TEST_F(SaveBatch, EveryContactOfSeveralBatchesComesBackAsGiven)
{
    constexpr int Batches = 3;
    constexpr int PerBatch = 40;
    for (int b = 0; b < Batches; ++b) {
        CNSaveRequest request;
        for (int i = b * PerBatch; i < (b + 1) * PerBatch; ++i)
            request.addContact(makeContact(i), QString());
        CNError error;
        ASSERT_TRUE(m_store->executeSaveRequest(request, &error)) << error.localizedDescription.toStdString();
    }
    const CNContactList all = fetchAll();
    ASSERT_EQ(all.size(), static_cast<size_t>(Batches * PerBatch));
    for (int i = 0; i < Batches * PerBatch; ++i) {
        const CNMutableContact expected = makeContact(i);
        const CNContact& got = *all[static_cast<size_t>(i)];
        SCOPED_TRACE(i);
        EXPECT_EQ(got.identifier(), expected.identifier());
        EXPECT_EQ(got.givenName(), expected.givenName());
        EXPECT_EQ(got.familyName(), expected.familyName());
        EXPECT_EQ(got.organizationName(), expected.organizationName());
        EXPECT_EQ(got.note(), expected.note());
        EXPECT_EQ(entries(got.phoneNumbers()), entries(expected.phoneNumbers()));
        EXPECT_EQ(entries(got.emailAddresses()), entries(expected.emailAddresses()));
        EXPECT_EQ(got.cardUID(), expected.cardUID());
    }
}

TEST_F(SaveBatch, AContactThatFailsUndoesItsBatchAndTheNextBatchSavesCleanly)
{
    CNSaveRequest first;
    first.addContact(makeContact(0), QString());
    ASSERT_TRUE(m_store->executeSaveRequest(first, nullptr));

    // The third contact repeats the first one's identifier: the whole batch is refused.
    CNSaveRequest failing;
    failing.addContact(makeContact(1), QString());
    failing.addContact(makeContact(2), QString());
    failing.addContact(makeContact(0), QString());
    CNError error;
    EXPECT_FALSE(m_store->executeSaveRequest(failing, &error));
    EXPECT_EQ(error.code, CNError::InsertedRecordAlreadyExists);
    EXPECT_TRUE(error.localizedDescription.contains(QStringLiteral("Operation 3 of 3")))
        << error.localizedDescription.toStdString();
    EXPECT_EQ(fetchAll().size(), 1u);

    // The statement left by the failure saves the next batch with no trace of it.
    CNSaveRequest next;
    next.addContact(makeContact(3), QString());
    next.addContact(makeContact(4), QString());
    ASSERT_TRUE(m_store->executeSaveRequest(next, &error)) << error.localizedDescription.toStdString();
    const CNContactList all = fetchAll();
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[1]->familyName(), makeContact(3).familyName());
    EXPECT_EQ(all[2]->note(), makeContact(4).note());
}

} // namespace
