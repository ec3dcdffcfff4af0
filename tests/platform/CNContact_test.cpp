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
    EXPECT_EQ(contact.note(), QString());
    CNError error;
    EXPECT_TRUE(contact.checkKeys({CNKeyId::GivenName}, &error));
    EXPECT_FALSE(contact.checkKeys({CNKeyId::GivenName, CNKeyId::Note}, &error));
    EXPECT_EQ(error.code, CNError::PropertyNotFetched);
    EXPECT_TRUE(error.localizedDescription.contains(CNContactNoteKey)) << error.localizedDescription.toStdString();

    auto copy = contact.mutableCopy();
    copy->setNote(QStringLiteral("n"));
    EXPECT_EQ(copy->note(), QStringLiteral("n"));
    EXPECT_EQ(copy->identifier(), QStringLiteral("A"));
}
