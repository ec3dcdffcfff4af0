#include "platform/CNMutableContact.h"

#include <gtest/gtest.h>

TEST(CNContact, UnfetchedKeyThrowsAndFetchedKeyReads)
{
    CNContactData data;
    data.identifier = QStringLiteral("A");
    data.givenName = QStringLiteral("Ann");
    data.note = QStringLiteral("secret");
    const CNContact contact(data, CNKeySetFromKeys({CNContactGivenNameKey}));
    EXPECT_EQ(contact.givenName(), QStringLiteral("Ann"));
    EXPECT_TRUE(contact.isKeyAvailable(CNContactIdentifierKey));
    EXPECT_FALSE(contact.isKeyAvailable(CNContactNoteKey));
    EXPECT_THROW(static_cast<void>(contact.note()), CNContactPropertyNotFetchedException);

    auto copy = contact.mutableCopy();
    copy->setNote(QStringLiteral("n"));
    EXPECT_EQ(copy->note(), QStringLiteral("n"));
    EXPECT_EQ(copy->identifier(), QStringLiteral("A"));
}
