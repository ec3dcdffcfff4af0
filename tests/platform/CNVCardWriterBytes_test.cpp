// The writer's exact bytes: escapes, line breaks in values, folding at 75 octets between UTF-8
// sequences, group labels, and cards written one after another into one buffer.
#include "platform/CNContactVCardSerialization.h"
#include "platform/CNMutableContact.h"

#include <gtest/gtest.h>
#include <ostream>

namespace {

struct BytesCase
{
    const char* name;
    void (*fill)(CNMutableContact&);
    QByteArray lines; // between VERSION and END
};

void PrintTo(const BytesCase& c, std::ostream* os)
{
    *os << c.name;
}

std::vector<BytesCase> bytesCases()
{
    return {
        {"TextEscapes",
         [](CNMutableContact& c) {
             c.setFamilyName(QStringLiteral("O\\Neil"));
             c.setGivenName(QStringLiteral("Ann, Jr.; x"));
         },
         "N:O\\\\Neil;Ann\\, Jr.\\; x;;;\r\nFN:Ann\\, Jr.\\; x O\\\\Neil\r\n"},
        {"LineBreaksOfEveryKind",
         [](CNMutableContact& c) { c.setOrganizationName(QStringLiteral("One\r\nTwo\nThree\rEnd")); },
         "N:;;;;\r\nFN:One\\nTwo\\nThree\\nEnd\r\nORG:One\\nTwo\\nThree\\nEnd\r\n"},
        {"FoldBetweenUtf8Sequences",
         [](CNMutableContact& c) {
             c.setGivenName(QStringLiteral("Zoë 😀 ") + QString(60, QLatin1Char('x')) + QStringLiteral("€end"));
         },
         "N:;Zo\xC3\xAB \xF0\x9F\x98\x80 xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx\r\n"
         " \xE2\x82\xAC"
         "end;;;\r\n"
         "FN:Zo\xC3\xAB \xF0\x9F\x98\x80 xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx\r\n"
         " \xE2\x82\xAC"
         "end\r\n"},
        {"LongLineFoldsMoreThanOnce",
         [](CNMutableContact& c) { c.setJobTitle(QString(160, QLatin1Char('t'))); },
         "N:;;;;\r\nFN:\r\nTITLE:" + QByteArray(69, 't') + "\r\n " + QByteArray(74, 't') + "\r\n " + QByteArray(17, 't') +
             "\r\n"},
        {"LabelsAsTypesAndGroups",
         [](CNMutableContact& c) {
             c.setEmailAddresses({{CNLabelWork, QStringLiteral("a@b.c")}, {QStringLiteral("Boat, big"), QStringLiteral("d@e.f")}});
             c.setPhoneNumbers({{CNLabelPhoneNumberWorkFax, CNPhoneNumber(QStringLiteral("1;2"))}});
         },
         "N:;;;;\r\nFN:\r\nEMAIL;TYPE=INTERNET;TYPE=WORK:a@b.c\r\nitem1.EMAIL;TYPE=INTERNET:d@e.f\r\n"
         "item1.X-ABLabel:Boat\\, big\r\nTEL;TYPE=WORK,FAX:1\\;2\r\n"},
    };
}

class WriterBytesTest : public ::testing::TestWithParam<BytesCase>
{
};

TEST_P(WriterBytesTest, CardIsExactly)
{
    auto contact = std::make_shared<CNMutableContact>();
    GetParam().fill(*contact);
    const QByteArray expected = "BEGIN:VCARD\r\nVERSION:3.0\r\n" + GetParam().lines + "END:VCARD\r\n";
    EXPECT_EQ(CNContactVCardSerialization::dataWithContacts({contact}), expected);
}

INSTANTIATE_TEST_SUITE_P(CNVCardWriter, WriterBytesTest, ::testing::ValuesIn(bytesCases()),
                         [](const ::testing::TestParamInfo<BytesCase>& p) { return std::string(p.param.name); });

TEST(CNVCardWriter, ManyCardsInOneBufferAreTheCardsWrittenAlone)
{
    CNContactList contacts;
    QByteArray alone;
    for (int i = 0; i < 300; ++i) {
        auto c = std::make_shared<CNMutableContact>();
        c->setGivenName(QString(i % 97, QChar(0x4E00 + i)));
        c->setPhoneNumbers({{CNLabelHome, CNPhoneNumber(QString::number(i))}});
        contacts.push_back(c);
        alone += CNContactVCardSerialization::dataWithContacts({c});
    }
    EXPECT_EQ(CNContactVCardSerialization::dataWithContacts(contacts), alone);
    EXPECT_EQ(CNContactVCardSerialization::contactsWithData(alone).size(), contacts.size());
}

} // namespace
