// A social profile read from a card keeps its service through an edit of the entry.
#include "model/KQLabeledSocial.h"
#include "platform/CNContactVCardSerialization.h"

#include <gtest/gtest.h>

namespace {

TEST(KQLabeledSocial, ServiceOfAReadProfileSurvivesAnEdit)
{
    const CNContactList contacts = CNContactVCardSerialization::contactsWithData(
        "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Lee;Ann;;;\r\n"
        "X-SOCIALPROFILE;TYPE=twitter;X-USER=annlee:https://twitter.com/annlee\r\nEND:VCARD\r\n");
    ASSERT_EQ(contacts.size(), 1u);
    ASSERT_EQ(contacts[0]->socialProfiles().size(), 1u);

    KQLabeledSocial entry(contacts[0]->socialProfiles()[0]);
    entry.setUsrName(QStringLiteral("ann.lee"));
    const auto edited = std::get<CNLabeledValue<CNSocialProfile>>(entry.editedLabeledValue());
    EXPECT_EQ(edited.value().service, CNSocialProfileServiceTwitter);
    EXPECT_EQ(edited.value().username, QStringLiteral("ann.lee"));
    EXPECT_EQ(edited.value().urlString, QStringLiteral("https://twitter.com/annlee"));
}

} // namespace
