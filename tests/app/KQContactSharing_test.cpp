// Mail to contacts and the clipboard forms of contacts.
#include "KQAppTestSupport.h"
#include "KQTestPython.h"
#include "app/windows/KQContactSharing.h"
#include "platform/CNLabels.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
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

// A stand-in mail program on the PATH keeps the arguments it was started with.
TEST(ContactSharing, MailWithCardsHandsTheSummariesAndOneCardFileToTheMailProgram)
{
    QTemporaryDir bin;
    const QString record = bin.filePath(QStringLiteral("args"));
    QFile script(bin.filePath(QStringLiteral("xdg-email")));
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write(QStringLiteral("#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n--\\n' \"$a\"; done > '%1.tmp'\n"
                                "mv '%1.tmp' '%1'\n")
                     .arg(record)
                     .toUtf8());
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", bin.path().toUtf8() + ':' + path);

    const KQContactHelperList two = {withEmails(QStringLiteral("Ada"), {QStringLiteral("ada@example.org")}),
                                     withEmails(QStringLiteral("Grace"), {})};
    QString why;
    EXPECT_TRUE(KQContactSharing::shareWithMail(two, &why)) << why.toStdString();
    ASSERT_TRUE(kqWaitUntil([&record] { return QFile::exists(record); }, 10000));
    qputenv("PATH", path);

    QFile args(record);
    ASSERT_TRUE(args.open(QIODevice::ReadOnly));
    const QStringList given = QString::fromUtf8(args.readAll()).split(QStringLiteral("\n--\n"), Qt::SkipEmptyParts);
    ASSERT_EQ(given.size(), 5) << given.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(given[0], QStringLiteral("--utf8"));
    EXPECT_EQ(given[1], QStringLiteral("--body"));
    EXPECT_EQ(given[2], KQContactSharing::textForContacts(two));
    EXPECT_EQ(given[3], QStringLiteral("--attach"));
    EXPECT_TRUE(given[4].endsWith(QStringLiteral("/Contacts.vcf"))) << given[4].toStdString();
    QFile cards(given[4]);
    ASSERT_TRUE(cards.open(QIODevice::ReadOnly));
    EXPECT_EQ(cards.readAll().count("BEGIN:VCARD"), 2);

    // One contact's file is named after it, with what a file name cannot hold replaced.
    const KQContactHelperList one = {withEmails(QStringLiteral("AC/DC: \"Live\""), {})};
    EXPECT_TRUE(KQContactSharing::shareFilePath(one).endsWith(QStringLiteral("/AC DC Live.vcf")))
        << KQContactSharing::shareFilePath(one).toStdString();
}
