// Mail to contacts and the clipboard forms of contacts.
#include "KQAppTestSupport.h"
#include "KQTestPython.h"
#include "app/windows/KQContactSharing.h"
#include "platform/CNLabels.h"

#include <QBuffer>
#include <QImage>
#include <gtest/gtest.h>

namespace {

KQContactHelperPtr withEmails(const QString& given, const QStringList& emails)
{
    auto contact = std::make_shared<CNMutableContact>();
    contact->setGivenName(given);
    CNStringValueList values;
    for (const QString& email : emails)
        values.emplace_back(CNLabelHome, email);
    contact->setEmailAddresses(values);
    return KQContactHelper::create(contact, true);
}

} // namespace

TEST(ContactSharing, MailGoesToEachFirstValidAddressOnce)
{
    const KQContactHelperList contacts = {
        withEmails(QStringLiteral("Ada"), {QStringLiteral("not an address"), QStringLiteral("ada@example.org")}),
        withEmails(QStringLiteral("Twin"), {QStringLiteral("ada@example.org")}),
        withEmails(QStringLiteral("Nobody"), {}),
        withEmails(QStringLiteral("Grace"), {QStringLiteral("grace@example.org"), QStringLiteral("g2@example.org")})};
    EXPECT_EQ(KQContactSharing::mailtoURLForContacts(contacts).toString(),
              QStringLiteral("mailto:ada@example.org,grace@example.org"));
}

TEST(ContactSharing, NoMailWithoutAnyAddress)
{
    EXPECT_TRUE(KQContactSharing::mailtoURLForContacts({withEmails(QStringLiteral("Nobody"), {})}).isEmpty());
    EXPECT_FALSE(KQContactSharing::sendEmailToContacts({}));
}

TEST(ContactSharing, CopiedCardsReadBackWithAnIndependentReader)
{
    auto contact = std::make_shared<CNMutableContact>();
    contact->setGivenName(QStringLiteral("Zoë"));
    contact->setFamilyName(QStringLiteral("Ångström"));
    contact->setNote(QStringLiteral("Line one\nLine two"));
    contact->setEmailAddresses({CNLabeledValue<QString>(CNLabelWork, QStringLiteral("zoe@example.org"))});
    QImage face(8, 8, QImage::Format_RGB32);
    face.fill(Qt::red);
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    face.save(&buffer, "JPEG");
    contact->setImageData(jpeg);
    const KQContactHelperPtr record = KQContactHelper::create(contact, true);
    const auto mime = KQContactSharing::vCardMimeData({record, record});
    ASSERT_TRUE(mime->hasFormat(QStringLiteral("text/vcard")));
    const QByteArray cards = mime->data(QStringLiteral("text/vcard"));

    const auto read = KQRunPythonOnData(
        QStringLiteral("import sys, vobject\n"
                       "cards = list(vobject.readComponents(open(sys.argv[1], encoding='utf-8').read()))\n"
                       "c = cards[0]\n"
                       "print(len(cards), c.n.value.given, c.n.value.family, c.email.value, "
                       "repr(c.note.value), 'photo' in c.contents)\n"),
        cards, QStringLiteral("vobject"));
    if (!read)
        GTEST_SKIP() << "python3 with vobject is not installed";
    EXPECT_EQ(read->trimmed(), QStringLiteral("2 Zoë Ångström zoe@example.org 'Line one\\nLine two' True"));
}

TEST(ContactSharing, CopiedTextHoldsEachContactsInfoFollowedByAnEmptyLine)
{
    const KQContactHelperPtr ada = withEmails(QStringLiteral("Ada"), {QStringLiteral("ada@example.org")});
    const KQContactHelperPtr grace = withEmails(QStringLiteral("Grace"), {});
    const QString text = KQContactSharing::textMimeData({ada, grace})->text();
    EXPECT_EQ(text, ada->info() + QStringLiteral("\n\n") + grace->info() + QStringLiteral("\n\n"));
    EXPECT_TRUE(text.contains(QStringLiteral("ada@example.org")));
}
