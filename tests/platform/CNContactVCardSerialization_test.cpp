// Reading real vCard files and hand-made cards, malformed input, and the writer's card format.
#include "platform/CNContactVCardSerialization.h"
#include "platform/CNLabels.h"
#include "platform/CNMutableContact.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QStringDecoder>
#include <functional>
#include <gtest/gtest.h>
#include <ostream>

static void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace {

QByteArray card(const char* body)
{
    return QByteArray("BEGIN:VCARD\r\nVERSION:3.0\r\n") + body + "END:VCARD\r\n";
}

CNContactList read(const QByteArray& data, CNError* error = nullptr)
{
    return CNContactVCardSerialization::contactsWithData(data, error);
}

QStringList phones(const CNContactData& d)
{
    QStringList out;
    for (const auto& lv : d.phoneNumbers)
        out << lv.value().stringValue();
    return out;
}

QStringList emails(const CNContactData& d)
{
    QStringList out;
    for (const auto& lv : d.emailAddresses)
        out << lv.value();
    return out;
}

QStringList utf8List(std::initializer_list<const char*> items)
{
    QStringList out;
    for (const char* s : items)
        out << QString::fromUtf8(s);
    return out;
}

// ---- corpus -------------------------------------------------------------------------------------

struct CorpusCase
{
    const char* file;
    int count;
    const char* prefix;
    const char* given;
    const char* middle;
    const char* family;
    const char* suffix;
    std::initializer_list<const char*> phones;
    std::initializer_list<const char*> emails;
};

void PrintTo(const CorpusCase& c, std::ostream* os)
{
    *os << c.file;
}

const char* const kRichterNames[] = {"Mr.", "John", "Richter,James", "Doe", "Sr."};

const CorpusCase kCorpus[] = {
    {"ez-vcard/John_Doe_ANDROID.vcf", 6, "", "", "", "", "", {}, {"john.doe@company.com"}},
    {"ez-vcard/John_Doe_BLACK_BERRY.vcf", 1, "", "john", "", "Doe", "", {"+96123456789"}, {}},
    {"ez-vcard/John_Doe_EVOLUTION.vcf",
     1,
     "Mr.",
     "John",
     "Richter, James",
     "Doe",
     "Sr.",
     {"905-666-1234", "905-555-1234"},
     {"john.doe@ibm.com"}},
    {"ez-vcard/John_Doe_GMAIL.vcf",
     1,
     "Mr.",
     "John",
     "Richter, James",
     "Doe",
     "Sr.",
     {"905-555-1234", "905-666-1234"},
     {"john.doe@ibm.com"}},
    {"ez-vcard/John_Doe_IPHONE.vcf",
     1,
     kRichterNames[0],
     kRichterNames[1],
     kRichterNames[2],
     kRichterNames[3],
     kRichterNames[4],
     {"905-555-1234", "905-666-1234", "905-777-1234", "905-888-1234", "905-999-1234", "905-111-1234", "905-222-1234"},
     {"john.doe@ibm.com"}},
    {"ez-vcard/John_Doe_LOTUS_NOTES.vcf",
     1,
     "Mr.",
     "John",
     "Johny",
     "Doe",
     "I",
     {"+1 (212) 204-34456", "00-1-212-555-7777"},
     {"john.doe@ibm.com", "billy_bob@gmail.com"}},
    {"ez-vcard/John_Doe_MAC_ADDRESS_BOOK.vcf",
     1,
     kRichterNames[0],
     kRichterNames[1],
     kRichterNames[2],
     kRichterNames[3],
     kRichterNames[4],
     {"905-777-1234", "905-666-1234", "905-555-1234", "905-888-1234", "905-999-1234", "905-111-1234", "905-222-1234"},
     {"john.doe@ibm.com"}},
    {"ez-vcard/John_Doe_MS_OUTLOOK.vcf",
     1,
     kRichterNames[0],
     kRichterNames[1],
     kRichterNames[2],
     kRichterNames[3],
     kRichterNames[4],
     {"(905) 555-1234", "(905) 666-1234"},
     {"john.doe@ibm.cm"}},
    {"ez-vcard/fullcontact.vcf",
     1,
     "Prefix",
     "FirstName",
     "MiddleName",
     "LastName",
     "Suffix",
     {"555-555-1111", "555-555-1112", "555-555-1113", "555-555-1114", "555-555-1115", "555-555-1116", "555-555-1117",
      "555-555-1118", "555-555-1119"},
     {"home@example.com", "work@example.com", "school@example.com", "other@example.com", "custom@example.com"}},
    {"ez-vcard/gmail-list.vcf", 3, "", "Arnold", "", "Smith", "", {}, {"asmithk@gmail.com"}},
    {"ez-vcard/gmail-single.vcf",
     1,
     "",
     "Greg",
     "",
     "Dartmouth",
     "",
     {"555 555 1111", "555 555 2222"},
     {"gdartmouth@hotmail.com"}},
    {"ez-vcard/gmail-single2.vcf",
     1,
     "",
     "VCard",
     "",
     "Test",
     "",
     {"5555551111", "5555551112", "5555551113", "5555551114", "5555551115", "5555551116", "5555551117", "5555551118",
      "5555551119", "5555551120", "5555551121"},
     {"email@example.com", "homeemail@example.com", "workemail@example.com", "otheremail@example.com",
      "customcategory@example.com"}},
    {"ez-vcard/issue114.vcf",
     1,
     "",
     "Dummy",
     "",
     "Dummy",
     "",
     {"+49 1234 56789", "+49 9876 54321"},
     {"dummy.dummy@dummy.com"}},
    {"ez-vcard/outlook-2003.vcf",
     1,
     "Mr.",
     "John",
     "",
     "Doe",
     "III",
     {"BusinessPhone", "HomePhone", "MobilePhone", "BusinessFaxPhone"},
     {"jdoe@hotmail.com"}},
    {"ez-vcard/outlook-2007.vcf",
     1,
     "Mr.",
     "Michael",
     "",
     "Angstadt",
     "Jr.",
     {"(111) 555-1111", "(111) 555-2222", "(111) 555-4444", "(111) 555-3333"},
     {"mike.angstadt@gmail.com"}},
    // No N: the name comes from FN.
    {"ez-vcard/rfc2426-example.vcf",
     2,
     "",
     "Frank",
     "",
     "Dawson",
     "",
     {"+1-919-676-9515", "+1-919-676-9564"},
     {"Frank_Dawson@Lotus.com", "fdawson@earthlink.net"}},
    {"ez-vcard/rfc6350-example.vcf",
     1,
     "",
     "Simon",
     "",
     "Perreault",
     "ing. jr,M.Sc.",
     {"+1-418-656-9254;ext=102", "+1-418-262-6501"},
     {"simon.perreault@viagenie.ca"}},
    {"ez-vcard/thunderbird-MoreFunctionsForAddressBook-extension.vcf",
     1,
     "",
     "John",
     "",
     "Doe",
     "",
     {"555-555-1111", "555-555-2222", "555-555-5555", "555-555-3333", "555-555-4444"},
     {"doe.john@hotmail.com", "additional-email@company.com", "additional-email1@company.com",
      "additional-email2@company.com", "additional-email3@company.com"}},
    {"kcontacts/testfullvcard.vcf",
     1,
     "Mr",
     "Sherlock",
     "",
     "Holmes",
     "",
     {"+44-555-555-5555;ext=5555", "+44-555-555-6666", "+44-555-555-7777"},
     {"sherlock.holmes@gmail.com", "detective@sherlockholmes.com"}},
    {"kcontacts/vcard10.vcf", 5, "", "", "", "", "", {}, {}},
    {"kcontacts/vcard12.vcf", 1, "", "Good", "", "Looking", "", {}, {"goodlooking@example.com"}},
    {"kcontacts/vcard3.vcf", 1, "", "ian", "", "geiser", "", {}, {"geiseri@yahoo.com"}},
    {"kcontacts/vcard4.vcf", 1, "", "", "", "", "", {"(617) 236-0442", "(617) 236-8630"}, {"hello@ximian.com"}},
    {"kcontacts/vcard7.vcf", 1, "", "", "", "", "", {}, {}},
    // Folded in the middle of UTF-8 sequences.
    {"kcontacts/vcard9.vcf", 1, "", "", "", "123ㄓㄕㄖbcdeαβγδαβγδαβγδαβγδαβγδαβγδαβㄤㄓㄕㄖ", "", {}, {}},
    {"kcontacts/vcard_legacy_messaging_fields.vcf", 1, "", "My", "", "Name", "", {}, {}},
    {"kcontacts/vcardwithitemasapplesupport.vcf", 1, "", "SOMENAME", "", "", "", {"(111) 111-1111"}, {}},
    {"khard/altid.vcf", 1, "", "one", "", "representation", "", {}, {}},
    {"khard/korean-c.vcf", 1, "", "최유림", "", "", "", {}, {}},
    {"khard/photov4.vcf", 1, "", "with photo", "", "v4", "", {}, {}},
    {"khard/tel-value-uri.vcf", 1, "", "bug", "", "195", "", {"67545678"}, {}},
    {"khard/unparsable.vcf", 0, "", "", "", "", "", {}, {}},
    {"roundcube/apple.vcf", 1, "", "", "", "", "", {}, {}},
    {"roundcube/johndoe.vcf",
     1,
     "",
     "John",
     "",
     "Doë",
     "",
     {"+123456789", "+987654321"},
     {"inbox@roundcube.net", "roundcube@gmail.com"}},
    {"roundcube/photo.vcf", 1, "", "Jörg", "", "Müller", "", {}, {}},
    // QP without a charset: 8-bit text that is no UTF-8 is read as Windows-1252.
    {"roundcube/thebat.vcf", 1, "", "Piotr", "", "Iksiñski", "", {}, {"piotr.iksinski@somedomain.com"}},
    {"roundcube/utf-16_sample.vcf", 1, "", "Ǽgean", "", "ĽdaMonté", "", {}, {}},
    {"thunderbird/basic_vcard_addressbook.vcf", 2, "", "John", "", "Doe", "", {}, {"john.doe@genericemail.invalid"}},
    {"thunderbird/dos_vcard_addressbook.vcf", 1, "", "Name", "", "Surname", "", {}, {"example@gmail.com"}},
    {"thunderbird/emptylines_vcard_addressbook.vcf",
     2,
     "",
     "John",
     "",
     "Doe",
     "",
     {},
     {"john.doe@genericemail.invalid"}},
    {"thunderbird/export.vcf", 2, "", "contact", "", "one", "", {}, {"contact1@invalid"}},
    {"thunderbird/v3-binary-jpeg.vcf", 1, "", "Binary", "", "JPEG", "", {}, {}},
    {"thunderbird/v3-uri-binary-png.vcf", 1, "", "URI PNG, version", "", "3.0", "", {}, {}},
    {"thunderbird/v4-uri-webp.vcf", 1, "", "URI WebP, version", "", "4.0", "", {}, {}},
};

class CorpusTest : public ::testing::TestWithParam<CorpusCase>
{
};

TEST_P(CorpusTest, FirstCardAsTheFileMeansIt)
{
    const CorpusCase& c = GetParam();
    QFile file(QStringLiteral(KQ_CORPUS_DIR "/") + QString::fromUtf8(c.file));
    if (!QDir(QStringLiteral(KQ_CORPUS_DIR)).exists())
        GTEST_SKIP() << "corpus folder absent";
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << c.file;
    CNError error;
    const CNContactList contacts = read(file.readAll(), &error);
    ASSERT_EQ(int(contacts.size()), c.count) << error.description().toStdString();
    // Only the truncated file is malformed.
    EXPECT_EQ(error.isError(), c.count == 0) << error.description().toStdString();
    if (c.count == 0)
        return;
    const CNContactData& d = contacts.front()->data();
    EXPECT_EQ(d.rare().namePrefix, QString::fromUtf8(c.prefix));
    EXPECT_EQ(d.givenName, QString::fromUtf8(c.given));
    EXPECT_EQ(d.rare().middleName, QString::fromUtf8(c.middle));
    EXPECT_EQ(d.familyName, QString::fromUtf8(c.family));
    EXPECT_EQ(d.rare().nameSuffix, QString::fromUtf8(c.suffix));
    EXPECT_EQ(phones(d), utf8List(c.phones));
    EXPECT_EQ(emails(d), utf8List(c.emails));
}

INSTANTIATE_TEST_SUITE_P(CNContactVCardSerialization, CorpusTest, ::testing::ValuesIn(kCorpus),
                         [](const ::testing::TestParamInfo<CorpusCase>& p) {
                             QString name = QString::fromUtf8(p.param.file);
                             name.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9]")), QStringLiteral("_"));
                             return name.toStdString();
                         });

TEST(CNContactVCardSerialization, EveryCorpusFileIsListedAndReads)
{
    const QDir dir(QStringLiteral(KQ_CORPUS_DIR));
    if (!dir.exists())
        GTEST_SKIP() << "corpus folder absent";
    QStringList listed;
    for (const CorpusCase& c : kCorpus)
        listed << QString::fromUtf8(c.file);
    QDirIterator it(dir.path(), {QStringLiteral("*.vcf")}, QDir::Files, QDirIterator::Subdirectories);
    int files = 0;
    while (it.hasNext()) {
        const QString path = it.next();
        ++files;
        EXPECT_TRUE(listed.contains(dir.relativeFilePath(path))) << path.toStdString();
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray data = file.readAll();
        // Every prefix too: a file cut anywhere must not crash the reader.
        for (qsizetype cut = 0; cut < data.size(); cut += 97)
            read(data.first(cut));
    }
    EXPECT_EQ(files, int(std::size(kCorpus)));
}

// ---- reading features ---------------------------------------------------------------------------

struct FeatureCase
{
    const char* name;
    QByteArray data;
    std::function<void(const CNContactData&)> check;
};

void PrintTo(const FeatureCase& c, std::ostream* os)
{
    *os << c.name;
}

QByteArray utf16(const QByteArray& utf8, QStringConverter::Encoding encoding, bool bom)
{
    QStringEncoder encoder(encoding, bom ? QStringConverter::Flag::WriteBom : QStringConverter::Flag::Default);
    return encoder.encode(QString::fromUtf8(utf8));
}

QString labelOf(const CNPhoneNumberList& list, const char* number)
{
    for (const auto& lv : list) {
        if (lv.value().stringValue() == QLatin1String(number))
            return lv.label();
    }
    return QStringLiteral("<missing>");
}

std::vector<FeatureCase> featureCases()
{
    const auto name = [](const char* given, const char* family) {
        return [=](const CNContactData& d) {
            EXPECT_EQ(d.givenName, QString::fromUtf8(given));
            EXPECT_EQ(d.familyName, QString::fromUtf8(family));
        };
    };
    const QByteArray accented = card("N:Müller;Jörg;;;\r\n");
    return {
        {"LfEndingsAndTabFolding", "BEGIN:VCARD\nVERSION:3.0\nN:Lang;Ann\n\tika;;;\nEND:VCARD\n",
         name("Annika", "Lang")},
        {"CrOnlyEndings", "BEGIN:VCARD\rVERSION:2.1\rN:Old;Mac;;;\rEND:VCARD\r", name("Mac", "Old")},
        {"QuotedPrintableSoftBreaksAndCharset",
         card("N;CHARSET=ISO-8859-1;ENCODING=QUOTED-PRINTABLE:M=FC=\r\nller;J=F6rg;;;\r\n"), name("Jörg", "Müller")},
        {"QuotedPrintableBreakWithoutSoftBreakMarker",
         card("N;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:M=C3=BC\r\n=6C=6Cer;Ann;;;\r\n"), name("Ann", "Müller")},
        {"BareQuotedPrintableParameter", card("N;QUOTED-PRINTABLE:A=3Db;C;;;\r\n"), name("C", "A=b")},
        {"Windows1251", card("N;CHARSET=Windows-1251:\xC8\xE2\xE0\xED\xEE\xE2;\xC8\xE2\xE0\xED;;;\r\n"),
         name("Иван", "Иванов")},
        {"Iso8859_2",
         card("N;CHARSET=ISO-8859-2:\xA3\xF3"
              "d\xBC;Pawe\xB3;;;\r\n"),
         name("Paweł", "Łódź")},
        {"Utf16LeWithBom", utf16(accented, QStringConverter::Utf16LE, true), name("Jörg", "Müller")},
        {"Utf16BeWithoutBom", utf16(accented, QStringConverter::Utf16BE, false), name("Jörg", "Müller")},
        {"Utf8Bom", "\xEF\xBB\xBF" + accented, name("Jörg", "Müller")},
        {"BackslashEscapes", card("N:O\\;Neil\\, Jr.;A\\\\B\\nC;;;\r\nNOTE:one\\Ntwo\r\n"),
         [](const CNContactData& d) {
             EXPECT_EQ(d.familyName, QStringLiteral("O;Neil, Jr."));
             EXPECT_EQ(d.givenName, QStringLiteral("A\\B\nC"));
             EXPECT_EQ(d.note, QStringLiteral("one\ntwo"));
         }},
        {"CaretEscapedParameter", card("X-SOCIALPROFILE;TYPE=twitter;X-USER=\"a^'b^^c^nd\":https://twitter.com/ab\r\n"),
         [](const CNContactData& d) {
             ASSERT_EQ(d.rare().socialProfiles.size(), 1u);
             EXPECT_EQ(d.rare().socialProfiles[0].value().username, QStringLiteral("a\"b^c\nd"));
             EXPECT_EQ(d.rare().socialProfiles[0].value().service, CNSocialProfileServiceTwitter);
             EXPECT_EQ(d.rare().socialProfiles[0].value().urlString, QStringLiteral("https://twitter.com/ab"));
         }},
        {"PhoneTypes",
         card("TEL;TYPE=pref;TYPE=CELL:1\r\nTEL;TYPE=WORK,VOICE:2\r\nTEL;HOME;FAX:3\r\nTEL;TYPE=iPhone:4\r\n"
              "TEL;TYPE=MAIN:5\r\nTEL;TYPE=PAGER:6\r\nTEL;TYPE=FAX:7\r\nTEL;TYPE=WORK;TYPE=FAX:8\r\nTEL;PREF:9\r\n"
              "TEL;TYPE=\"voice,home\":10\r\nTEL;TYPE=OTHER:11\r\nTEL;VALUE=uri;TYPE=cell:tel:+1-555\r\n"),
         [](const CNContactData& d) {
             EXPECT_EQ(labelOf(d.phoneNumbers, "1"), CNLabelPhoneNumberMobile);
             EXPECT_EQ(labelOf(d.phoneNumbers, "2"), CNLabelWork);
             EXPECT_EQ(labelOf(d.phoneNumbers, "3"), CNLabelPhoneNumberHomeFax);
             EXPECT_EQ(labelOf(d.phoneNumbers, "4"), CNLabelPhoneNumberiPhone);
             EXPECT_EQ(labelOf(d.phoneNumbers, "5"), CNLabelPhoneNumberMain);
             EXPECT_EQ(labelOf(d.phoneNumbers, "6"), CNLabelPhoneNumberPager);
             EXPECT_EQ(labelOf(d.phoneNumbers, "7"), CNLabelPhoneNumberOtherFax);
             EXPECT_EQ(labelOf(d.phoneNumbers, "8"), CNLabelPhoneNumberWorkFax);
             EXPECT_EQ(labelOf(d.phoneNumbers, "9"), QString());
             EXPECT_EQ(labelOf(d.phoneNumbers, "10"), CNLabelHome);
             EXPECT_EQ(labelOf(d.phoneNumbers, "11"), CNLabelOther);
             EXPECT_EQ(labelOf(d.phoneNumbers, "+1-555"), CNLabelPhoneNumberMobile);
         }},
        {"GroupLabels",
         card("item1.TEL:1\r\nitem1.X-ABLabel:Boat\r\nitem2.X-ABLabel:_$!<Anniversary>!$_\r\n"
              "item2.X-ABDATE:2001-02-03\r\nITEM3.ADR;TYPE=HOME:;;1 Main St;Bern;;3000;Switzerland\r\n"
              "item3.X-ABADR:ch\r\n"),
         [](const CNContactData& d) {
             ASSERT_EQ(d.phoneNumbers.size(), 1u);
             EXPECT_EQ(d.phoneNumbers[0].label(), QStringLiteral("Boat"));
             ASSERT_EQ(d.rare().dates.size(), 1u);
             EXPECT_EQ(d.rare().dates[0].label(), CNLabelDateAnniversary);
             EXPECT_EQ(d.rare().dates[0].value().year, 2001);
             ASSERT_EQ(d.postalAddresses.size(), 1u);
             EXPECT_EQ(d.postalAddresses[0].label(), CNLabelHome);
             EXPECT_EQ(d.postalAddresses[0].value().isoCountryCode, QStringLiteral("ch"));
             EXPECT_EQ(d.postalAddresses[0].value().city, QStringLiteral("Bern"));
         }},
        {"AddressParts", card("ADR;TYPE=WORK:PO 7;Suite 2;1 Main St;Town;ST;12345;Land\r\n"),
         [](const CNContactData& d) {
             ASSERT_EQ(d.postalAddresses.size(), 1u);
             const CNPostalAddress& a = d.postalAddresses[0].value();
             EXPECT_EQ(a.street, QStringLiteral("PO 7\nSuite 2\n1 Main St"));
             EXPECT_EQ(a.state, QStringLiteral("ST"));
             EXPECT_EQ(a.postalCode, QStringLiteral("12345"));
             EXPECT_EQ(a.country, QStringLiteral("Land"));
         }},
        {"BirthdayWithoutYearCompact", card("BDAY:--0415\r\n"),
         [](const CNContactData& d) {
             ASSERT_TRUE(d.rare().birthday);
             EXPECT_FALSE(d.rare().birthday->year);
             EXPECT_EQ(d.rare().birthday->month, 4);
             EXPECT_EQ(d.rare().birthday->day, 15);
         }},
        {"BirthdayWithoutYearDashed", card("BDAY:--04-15\r\n"),
         [](const CNContactData& d) {
             ASSERT_TRUE(d.rare().birthday);
             EXPECT_FALSE(d.rare().birthday->year);
             EXPECT_EQ(d.rare().birthday->day, 15);
         }},
        {"BirthdayBasicFormatWithTime", card("BDAY:19531015T231000Z\r\nANNIVERSARY:20090808T1430-0500\r\n"),
         [](const CNContactData& d) {
             ASSERT_TRUE(d.rare().birthday);
             EXPECT_EQ(d.rare().birthday->year, 1953);
             ASSERT_EQ(d.rare().dates.size(), 1u);
             EXPECT_EQ(d.rare().dates[0].label(), CNLabelDateAnniversary);
         }},
        {"InstantMessaging",
         card("IMPP;TYPE=HOME:xmpp:a@b.org\r\nX-SKYPE:sk\r\nX-GADUGADU:123\r\nX-GOOGLE-TALK:g@t\r\n"
              "IMPP;X-SERVICE-TYPE=Yahoo:ymsgr:y\r\nX-MSN;TYPE=WORK:m@n\r\n"),
         [](const CNContactData& d) {
             ASSERT_EQ(d.rare().instantMessageAddresses.size(), 6u);
             const auto& im = d.rare().instantMessageAddresses;
             EXPECT_EQ(im[0].value(),
                       CNInstantMessageAddress(QStringLiteral("a@b.org"), CNInstantMessageServiceJabber));
             EXPECT_EQ(im[0].label(), CNLabelHome);
             EXPECT_EQ(im[1].value().service, CNInstantMessageServiceSkype);
             EXPECT_EQ(im[2].value().service, CNInstantMessageServiceGaduGadu);
             EXPECT_EQ(im[3].value().service, CNInstantMessageServiceGoogleTalk);
             EXPECT_EQ(im[4].value(), CNInstantMessageAddress(QStringLiteral("y"), CNInstantMessageServiceYahoo));
             EXPECT_EQ(im[5].label(), CNLabelWork);
         }},
        {"Relations",
         card("RELATED;TYPE=spouse:Jane\r\nitem1.X-ABRELATEDNAMES:Bob\r\nitem1.X-ABLabel:_$!<Brother>!$_\r\n"),
         [](const CNContactData& d) {
             ASSERT_EQ(d.rare().contactRelations.size(), 2u);
             EXPECT_EQ(d.rare().contactRelations[0].label(), CNLabelContactRelationSpouse);
             EXPECT_EQ(d.rare().contactRelations[1].label(), CNLabelContactRelationBrother);
             EXPECT_EQ(d.rare().contactRelations[1].value().name, QStringLiteral("Bob"));
         }},
        {"PhoneticNamesOrgAndTitle",
         card("N:Sato;Yuki;;;\r\nX-PHONETIC-FIRST-NAME:yuki\r\nX-PHONETIC-LAST-NAME:satou\r\n"
              "ORG:Acme;Research\r\nTITLE:Chemist\r\nNICKNAME:Yu\r\n"),
         [](const CNContactData& d) {
             EXPECT_EQ(d.rare().phoneticGivenName, QStringLiteral("yuki"));
             EXPECT_EQ(d.rare().phoneticFamilyName, QStringLiteral("satou"));
             EXPECT_EQ(d.organizationName, QStringLiteral("Acme"));
             EXPECT_EQ(d.departmentName, QStringLiteral("Research"));
             EXPECT_EQ(d.jobTitle, QStringLiteral("Chemist"));
             EXPECT_EQ(d.rare().nickname, QStringLiteral("Yu"));
             EXPECT_EQ(d.contactType, CNContactType::Person);
         }},
        {"KindOrg", "BEGIN:VCARD\r\nVERSION:4.0\r\nKIND:org\r\nFN:Acme\r\nORG:Acme\r\nEND:VCARD\r\n",
         [](const CNContactData& d) {
             EXPECT_EQ(d.contactType, CNContactType::Organization);
             EXPECT_TRUE(d.givenName.isEmpty());
         }},
        {"ShowAsCompany", card("N:;;;;\r\nFN:Big Corp\r\nORG:Big Corp\r\nX-ABShowAs:COMPANY\r\n"),
         [](const CNContactData& d) {
             EXPECT_EQ(d.contactType, CNContactType::Organization);
             EXPECT_TRUE(d.familyName.isEmpty());
         }},
        {"FormattedNameSplitAtLastSpace", card("FN:Ann Marie Smith\r\n"), name("Ann Marie", "Smith")},
        {"FormattedNameSingleWord", card("N:;;;;\r\nFN:Cher\r\n"), name("Cher", "")},
        {"PhotoFoldedBase64", card("PHOTO;ENCODING=b;TYPE=JPEG:AAEC\r\n A/8=\r\n"),
         [](const CNContactData& d) { EXPECT_EQ(d.imageData, QByteArray("\x00\x01\x02\x03\xFF", 5)); }},
        {"PhotoDataUri", card("PHOTO:data:image/png;base64,AAECAw==\r\n"),
         [](const CNContactData& d) { EXPECT_EQ(d.imageData, QByteArray("\x00\x01\x02\x03", 4)); }},
        {"PhotoLinkIgnored", card("PHOTO;VALUE=uri:https://example.com/a.jpg\r\n"),
         [](const CNContactData& d) { EXPECT_TRUE(d.imageData.isEmpty()); }},
    };
}

class FeatureTest : public ::testing::TestWithParam<FeatureCase>
{
};

TEST_P(FeatureTest, Reads)
{
    CNError error;
    const CNContactList contacts = read(GetParam().data, &error);
    EXPECT_FALSE(error.isError()) << error.description().toStdString();
    ASSERT_EQ(contacts.size(), 1u);
    GetParam().check(contacts.front()->data());
}

INSTANTIATE_TEST_SUITE_P(CNContactVCardSerialization, FeatureTest, ::testing::ValuesIn(featureCases()),
                         [](const ::testing::TestParamInfo<FeatureCase>& p) { return std::string(p.param.name); });

TEST(CNContactVCardSerialization, GroupCardsAreNoContactsAndEveryContactIsFresh)
{
    const QByteArray data = card("N:A;B;;;\r\n") + card("X-ADDRESSBOOKSERVER-KIND:group\r\nFN:Friends\r\n") +
                            "BEGIN:VCARD\r\nVERSION:4.0\r\nKIND:group\r\nFN:Team\r\nEND:VCARD\r\n" +
                            card("N:A;B;;;\r\n");
    CNError error;
    const CNContactList contacts = read(data, &error);
    EXPECT_FALSE(error.isError());
    ASSERT_EQ(contacts.size(), 2u);
    EXPECT_NE(contacts[0]->identifier(), contacts[1]->identifier());
    EXPECT_EQ(contacts[0]->identifier().size(), 36);
    EXPECT_TRUE(contacts[0]->areKeysAvailable(CNAllContactKeys()));
}

TEST(CNContactVCardSerialization, EachContactKeepsTheUidOfItsCardAndNoneWithout)
{
    const QByteArray data = card("N:A;B;;;\r\nUID:urn:uuid:4fbe8971-0bc3-424c-9c26-36c3e1eff6b1\r\nUID:second\r\n") +
                            card("N:C;D;;;\r\n") + card("UID: padded \r\nFN:E F\r\n");
    const CNContactList contacts = read(data);
    ASSERT_EQ(contacts.size(), 3u);
    EXPECT_EQ(contacts[0]->cardUID(), QStringLiteral("urn:uuid:4fbe8971-0bc3-424c-9c26-36c3e1eff6b1"));
    EXPECT_TRUE(contacts[1]->cardUID().isEmpty());
    EXPECT_EQ(contacts[2]->cardUID(), QStringLiteral("padded"));
    // The card's UID is not the store identifier: two imports of one file make two contacts.
    EXPECT_NE(contacts[0]->identifier(), contacts[0]->cardUID());
}

// ---- malformed input ----------------------------------------------------------------------------

struct MalformedCase
{
    const char* name;
    QByteArray data;
    QStringList givenNames; // of the cards that are still read
    const char* problem;    // a part of the error text
};

void PrintTo(const MalformedCase& c, std::ostream* os)
{
    *os << c.name;
}

std::vector<MalformedCase> malformedCases()
{
    const QByteArray good1 = card("N:One;Ann;;;\r\n"); // lines 1-4
    const QByteArray good2 = card("N:Two;Bea;;;\r\n");
    return {
        {"TruncatedLastCard",
         good1 + "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Cut;Cy",
         {QStringLiteral("Ann")},
         "line 5: the card has no END:VCARD"},
        {"MissingEndBeforeNextCard",
         good1 + "BEGIN:VCARD\r\nN:Lost;Dan;;;\r\n" + good2,
         {QStringLiteral("Ann"), QStringLiteral("Bea")},
         "line 5: the card has no END:VCARD before the next card"},
        {"GarbageLinesOutsideCards",
         "%%garbage%%\r\n" + good1 + "\x01\x02 junk\r\n" + good2,
         {QStringLiteral("Ann"), QStringLiteral("Bea")},
         "line 1: text outside a card"},
        {"BadBase64",
         good1 + card("N:Bad;Eve;;;\r\nPHOTO;ENCODING=b:AAAA*!!\r\n") + good2,
         {QStringLiteral("Ann"), QStringLiteral("Bea")},
         "line 8: bad base64 in PHOTO, the card is skipped"},
        {"BadBase64InDataUri",
         good1 + card("N:Bad;Eve;;;\r\nPHOTO:data:image/png;base64,@@\r\n"),
         {QStringLiteral("Ann")},
         "line 8: bad base64 in PHOTO, the card is skipped"},
        {"BadQuotedPrintable",
         good1 + card("N;ENCODING=QUOTED-PRINTABLE:B=ZZad;Fay;;;\r\n") + good2,
         {QStringLiteral("Ann"), QStringLiteral("Bea")},
         "line 7: bad quoted-printable in N, the card is skipped"},
        {"UnknownCharset",
         good1 + card("N;CHARSET=X-NO-SUCH-CHARSET:Odd;Gus;;;\r\n") + good2,
         {QStringLiteral("Ann"), QStringLiteral("Bea")},
         "line 7: unknown charset \"X-NO-SUCH-CHARSET\" in N, the card is skipped"},
        {"StrayEnd", "END:VCARD\r\n" + good1, {QStringLiteral("Ann")}, "line 1: text outside a card"},
    };
}

class MalformedTest : public ::testing::TestWithParam<MalformedCase>
{
};

TEST_P(MalformedTest, GoodCardsSurviveAndTheErrorNamesTheBadLine)
{
    const MalformedCase& c = GetParam();
    CNError error;
    const CNContactList contacts = read(c.data, &error);
    QStringList given;
    for (const auto& contact : contacts)
        given << contact->givenName();
    EXPECT_EQ(given, c.givenNames);
    EXPECT_EQ(error.code, CNError::CorruptData);
    EXPECT_TRUE(error.localizedDescription.contains(QString::fromUtf8(c.problem)))
        << error.localizedDescription.toStdString();
}

INSTANTIATE_TEST_SUITE_P(CNContactVCardSerialization, MalformedTest, ::testing::ValuesIn(malformedCases()),
                         [](const ::testing::TestParamInfo<MalformedCase>& p) { return std::string(p.param.name); });

TEST(CNContactVCardSerialization, EmptyAndBinaryInputGiveNoContacts)
{
    CNError error;
    EXPECT_TRUE(read(QByteArray(), &error).empty());
    EXPECT_FALSE(error.isError());
    QByteArray noise;
    for (int i = 0; i < 4096; ++i)
        noise.append(static_cast<char>((i * 7919 + 13) % 256));
    EXPECT_TRUE(read(noise, &error).empty());
    EXPECT_TRUE(error.isError());
}

// ---- writing ------------------------------------------------------------------------------------

CNMutableContactPtr sampleContact()
{
    auto c = std::make_shared<CNMutableContact>();
    c->setGivenName(QStringLiteral("Zoë 😀 with a very long given name that needs folding αβγδεζηθ"));
    c->setFamilyName(QStringLiteral("Ünal"));
    c->setNote(QStringLiteral("secret note"));
    c->setImageData(QByteArray("\xFF\xD8\xFF", 3));
    c->setPhoneNumbers({{CNLabelPhoneNumberMobile, CNPhoneNumber(QStringLiteral("+41 79 000 00 00"))},
                        {QStringLiteral("Boat"), CNPhoneNumber(QStringLiteral("123"))}});
    return c;
}

TEST(CNContactVCardSerialization, WritesFoldedVersion3CardWithoutNoteAndPhoto)
{
    const QByteArray data = CNContactVCardSerialization::dataWithContacts({sampleContact()});
    EXPECT_TRUE(data.startsWith("BEGIN:VCARD\r\nVERSION:3.0\r\n"));
    EXPECT_TRUE(data.endsWith("END:VCARD\r\n"));
    EXPECT_EQ(data.count("END:VCARD"), 1);
    EXPECT_FALSE(data.contains("\nNOTE")) << data.constData();
    EXPECT_FALSE(data.contains("\nPHOTO")) << data.constData();
    EXPECT_TRUE(data.contains("\r\nTEL;TYPE=CELL:+41 79 000 00 00\r\n")) << data.constData();
    EXPECT_TRUE(data.contains("\r\nitem1.TEL:123\r\nitem1.X-ABLabel:Boat\r\n")) << data.constData();
    for (const QByteArray& line : data.split('\n')) {
        EXPECT_LE(line.size(), 76) << line.constData(); // 75 octets and the CR
        if (line.startsWith(' ') && line.size() > 1) {
            EXPECT_NE(static_cast<unsigned char>(line[1]) & 0xC0, 0x80) << "fold inside a UTF-8 sequence";
        }
    }
    EXPECT_EQ(read(data).front()->givenName(), sampleContact()->givenName());
}

TEST(CNContactVCardSerialization, PartiallyFetchedContactWritesWhatItHas)
{
    CNContactData data = sampleContact()->data();
    const CNContact partial(data, CNKeySetFromKeys({CNContactGivenNameKey}));
    QByteArray out;
    ASSERT_NO_THROW(out = CNContactVCardSerialization::dataWithContacts({std::make_shared<CNContact>(partial)}));
    EXPECT_FALSE(out.contains("TEL"));
    EXPECT_FALSE(out.contains("Ünal"));
    EXPECT_TRUE(out.endsWith("END:VCARD\r\n"));

    const QStringList keys = CNContactVCardSerialization::descriptorForRequiredKeys();
    EXPECT_TRUE(keys.contains(CNContactPhoneNumbersKey));
    EXPECT_TRUE(keys.contains(CNContactInstantMessageAddressesKey));
    EXPECT_FALSE(keys.contains(CNContactNoteKey));
    EXPECT_FALSE(keys.contains(CNContactImageDataKey));
}

} // namespace
