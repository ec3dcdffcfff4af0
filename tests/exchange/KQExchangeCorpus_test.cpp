// Every CSV and vCard file of the shared corpus of other programs' exports imports without a
// crash and gives the contacts each file holds, as counted by hand.
#include "KQExchangeTestSupport.h"
#include "KQTestUtil.h"
#include "store/KQContactManager.h"

#include <QDirIterator>
#include <QSet>

using namespace exchangetest;

namespace {

struct CorpusFile
{
    const char* path;
    int contacts;
    const char* givenName; // one contact's given name, or empty
    const char* email;     // one contact's e-mail address, or empty
};

void PrintTo(const CorpusFile& f, std::ostream* os)
{
    *os << f.path;
}

// Counted by reading the files: records after the header line for CSV, cards for vCard.
const CorpusFile kCorpus[] = {
    {"bbdb-csv-import/gmail-test-data.csv", 1, "", "homeemail@home.com"},
    {"bbdb-csv-import/linkedin-test-data.csv", 2, "testfirst", "testmeil@hotmail.com"},
    {"bbdb-csv-import/outlook-web-test-data.csv", 2, "test name", ""},
    {"bbdb-csv-import/thunderbird-test-data.csv", 3, "Bob", "justanemail@cox.net"},
    {"roundcube/all.csv", 1, "", "home@example.com"},
    {"roundcube/gmail.csv", 1, "Firstname", "home@aaa.pl"},
    {"roundcube/outlook.csv", 1, "", "test1@domain.tld"},
    {"roundcube/tb_plain.csv", 1, "Firstname", "test@domain.tld"},
    {"thunderbird/basic_csv_addressbook.csv", 2, "Jane", "jane@doe.invalid"},
    // Its first line is data, read as the header: one record remains, with no known column.
    {"thunderbird/csv_no_header.csv", 1, "", ""},
    {"thunderbird/csv_semicolon.csv", 2, "John", "john@doe.invalid"},
    {"thunderbird/quote.csv", 1, "", ""},
    // Shift_JIS is neither UTF-8 nor marked: read as Windows-1252 (its Japanese text garbled).
    {"thunderbird/shiftjis_addressbook.csv", 1, "", ""},
    // The header splits at commas; the tab-separated records then fill only the first column.
    {"thunderbird/tab_comma_mixed.csv", 3, "", ""},
    {"thunderbird/utf16_addressbook.csv", 1, "", ""},
    {"ez-vcard/John_Doe_ANDROID.vcf", 6, "", "john.doe@company.com"},
    {"ez-vcard/John_Doe_BLACK_BERRY.vcf", 1, "", ""},
    {"ez-vcard/John_Doe_EVOLUTION.vcf", 1, "", ""},
    {"ez-vcard/John_Doe_GMAIL.vcf", 1, "", "john.doe@ibm.com"},
    {"ez-vcard/John_Doe_IPHONE.vcf", 1, "", "john.doe@ibm.com"},
    {"ez-vcard/John_Doe_LOTUS_NOTES.vcf", 1, "", "john.doe@ibm.com"},
    {"ez-vcard/John_Doe_MAC_ADDRESS_BOOK.vcf", 1, "", "john.doe@ibm.com"},
    {"ez-vcard/John_Doe_MS_OUTLOOK.vcf", 1, "", "john.doe@ibm.cm"},
    {"ez-vcard/fullcontact.vcf", 1, "FirstName", "home@example.com"},
    {"ez-vcard/gmail-list.vcf", 3, "Arnold", "asmithk@gmail.com"},
    {"ez-vcard/gmail-single.vcf", 1, "Greg", "gdartmouth@hotmail.com"},
    {"ez-vcard/gmail-single2.vcf", 1, "", "email@example.com"},
    {"ez-vcard/issue114.vcf", 1, "", "dummy.dummy@dummy.com"},
    {"ez-vcard/outlook-2003.vcf", 1, "John", "jdoe@hotmail.com"},
    {"ez-vcard/outlook-2007.vcf", 1, "Michael", "mike.angstadt@gmail.com"},
    {"ez-vcard/rfc2426-example.vcf", 2, "Frank", "Frank_Dawson@Lotus.com"},
    {"ez-vcard/rfc6350-example.vcf", 1, "Simon", "simon.perreault@viagenie.ca"},
    {"ez-vcard/thunderbird-MoreFunctionsForAddressBook-extension.vcf", 1, "John", "doe.john@hotmail.com"},
    {"kcontacts/testfullvcard.vcf", 1, "Sherlock", "sherlock.holmes@gmail.com"},
    {"kcontacts/vcard10.vcf", 5, "", ""},
    {"kcontacts/vcard12.vcf", 1, "", "goodlooking@example.com"},
    {"kcontacts/vcard3.vcf", 1, "", "geiseri@yahoo.com"},
    {"kcontacts/vcard4.vcf", 1, "", "hello@ximian.com"},
    {"kcontacts/vcard7.vcf", 1, "", ""},
    {"kcontacts/vcard9.vcf", 1, "", ""},
    {"kcontacts/vcard_legacy_messaging_fields.vcf", 1, "", ""},
    {"kcontacts/vcardwithitemasapplesupport.vcf", 1, "", ""},
    {"khard/altid.vcf", 1, "", ""},
    {"khard/korean-c.vcf", 1, "", ""},
    {"khard/photov4.vcf", 1, "", ""},
    {"khard/tel-value-uri.vcf", 1, "", ""},
    // BEGIN without END: the vCard reader skips the unfinished card and says so.
    {"khard/unparsable.vcf", 0, "", ""},
    {"roundcube/apple.vcf", 1, "", ""},
    {"roundcube/johndoe.vcf", 1, "", "inbox@roundcube.net"},
    {"roundcube/photo.vcf", 1, "", ""},
    {"roundcube/thebat.vcf", 1, "", "piotr.iksinski@somedomain.com"},
    {"roundcube/utf-16_sample.vcf", 1, "", ""},
    {"thunderbird/basic_vcard_addressbook.vcf", 2, "John", "john.doe@genericemail.invalid"},
    {"thunderbird/dos_vcard_addressbook.vcf", 1, "", "example@gmail.com"},
    {"thunderbird/emptylines_vcard_addressbook.vcf", 2, "John", "john.doe@genericemail.invalid"},
    {"thunderbird/export.vcf", 2, "", "contact1@invalid"},
    {"thunderbird/v3-binary-jpeg.vcf", 1, "", ""},
    {"thunderbird/v3-uri-binary-png.vcf", 1, "", ""},
    {"thunderbird/v4-uri-webp.vcf", 1, "", ""},
};

class Corpus : public ::testing::TestWithParam<CorpusFile>
{
};

TEST_P(Corpus, ImportsTheContactsItHolds)
{
    const QString path = QStringLiteral(KQ_CORPUS_DIR "/") + QString::fromUtf8(GetParam().path);
    if (!QFile::exists(path))
        GTEST_SKIP() << "the corpus is not here";
    KQContactManager::sharedContactManager();
    KQImportExportMgr manager;
    auto recorder = std::make_shared<RecordingDelegate>();
    manager.setDelegate(recorder);
    manager.runImport({path});
    ASSERT_TRUE(kqWaitUntil([&] { return recorder->completed; }));
    EXPECT_EQ(static_cast<int>(recorder->received.size()), GetParam().contacts);
    QStringList given;
    QStringList emails;
    for (const auto& record : recorder->received) {
        given.append(record->contact()->givenName());
        for (const auto& mail : record->contact()->emailAddresses())
            emails.append(mail.value());
    }
    if (*GetParam().givenName) {
        EXPECT_TRUE(given.contains(QString::fromUtf8(GetParam().givenName))) << given.join(u'|').toStdString();
    }
    if (*GetParam().email) {
        EXPECT_TRUE(emails.contains(QString::fromUtf8(GetParam().email))) << emails.join(u'|').toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Files, Corpus, ::testing::ValuesIn(kCorpus),
                         [](const ::testing::TestParamInfo<CorpusFile>& p) {
                             std::string name;
                             for (const char c : std::string(p.param.path))
                                 name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             return name;
                         });

// No CSV or vCard file of the corpus is left out of the table above.
TEST(CorpusTable, ListsEveryFile)
{
    const QString root = QStringLiteral(KQ_CORPUS_DIR);
    if (!QDir(root).exists())
        GTEST_SKIP() << "the corpus is not here";
    QSet<QString> listed;
    for (const CorpusFile& f : kCorpus)
        listed.insert(QString::fromUtf8(f.path));
    QDirIterator it(root, {QStringLiteral("*.csv"), QStringLiteral("*.vcf"), QStringLiteral("*.vcard")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = QDir(root).relativeFilePath(it.next());
        EXPECT_TRUE(listed.contains(file)) << file.toStdString();
    }
}

} // namespace
