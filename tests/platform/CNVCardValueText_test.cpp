// How vCard values become text: the one-pass check of a value's bytes, the encoding and charset
// read with a line's parameters, and cards whose values pass through the reader's reused buffers.
#include "platform/CNContactVCardSerialization.h"
#include "platform/CNVCardLexer.h"

#include <gtest/gtest.h>
#include <ostream>

namespace {

// ---- the check of a value's bytes ---------------------------------------------------------------

struct ClassifyCase
{
    const char* name;
    QByteArray bytes;
    CNVCardCodec::TextKind kind;
};

void PrintTo(const ClassifyCase& c, std::ostream* os)
{
    *os << c.name;
}

QByteArray backslashAt(qsizetype at, qsizetype size)
{
    QByteArray bytes(size, 'a');
    bytes[at] = '\\';
    return bytes;
}

std::vector<ClassifyCase> classifyCases()
{
    using K = CNVCardCodec::TextKind;
    std::vector<ClassifyCase> cases = {
        {"Empty", "", K::PlainAscii},
        {"ShortPlain", "Ann", K::PlainAscii},
        {"LongPlain", "Met at the conference, table 12; call back", K::PlainAscii},
        {"EscapedComma", "Globex\\, Inc.", K::EscapedAscii},
        {"UmlautWithoutEscape", "M\xC3\xBCller", K::Other},
        {"UmlautAndEscape", "M\xC3\xBCller\\, J.", K::Other},
        {"HighByteInTheLastPartialWord", "abcdefgh\xE9", K::Other},
        {"HighByteInAWholeWord",
         "\xE9"
         "bcdefghij",
         K::Other},
        // Bytes next to a backslash in value (0x5B, 0x5D) must not be taken for one.
        {"BracketsAreNoBackslash", "[x]yz[]abcdefgh", K::PlainAscii},
        {"ControlBytesAreAscii",
         "a\tb\x01"
         "cdefghijk",
         K::PlainAscii},
    };
    // A backslash at every place of an eight-byte word and in the tail.
    static const char* const names[] = {"BackslashAt0", "BackslashAt1", "BackslashAt2", "BackslashAt3",
                                        "BackslashAt4", "BackslashAt5", "BackslashAt6", "BackslashAt7",
                                        "BackslashAt8", "BackslashAt9", "BackslashAt10"};
    for (qsizetype at = 0; at < 11; ++at)
        cases.push_back({names[at], backslashAt(at, 11), K::EscapedAscii});
    return cases;
}

class ClassifyTest : public ::testing::TestWithParam<ClassifyCase>
{
};

TEST_P(ClassifyTest, TellsWhatTheBytesNeed)
{
    EXPECT_EQ(CNVCardCodec::classify(GetParam().bytes), GetParam().kind);
}

INSTANTIATE_TEST_SUITE_P(CNVCardValueText, ClassifyTest, ::testing::ValuesIn(classifyCases()),
                         [](const ::testing::TestParamInfo<ClassifyCase>& p) { return std::string(p.param.name); });

// ---- encoding and charset from the parameters --------------------------------------------------

struct ParameterCase
{
    const char* name;
    const char* line;
    bool quotedPrintable;
    bool base64;
    const char* charset;
};

void PrintTo(const ParameterCase& c, std::ostream* os)
{
    *os << c.name;
}

const ParameterCase kParameterCases[] = {
    {"NoParameters", "NOTE:x", false, false, ""},
    {"TypeOnly", "TEL;TYPE=WORK,VOICE:1", false, false, ""},
    {"NamedQuotedPrintable", "NOTE;ENCODING=QUOTED-PRINTABLE:x", true, false, ""},
    {"BareQuotedPrintableLowerCase", "NOTE;quoted-printable:x", true, false, ""},
    {"NamedB", "PHOTO;ENCODING=b;TYPE=JPEG:AAAA", false, true, ""},
    {"BareBase64", "PHOTO;JPEG;BASE64:AAAA", false, true, ""},
    {"BareBIsNoEncoding", "PHOTO;B:AAAA", false, false, ""},
    {"TypeValueQuotedPrintableIsNoEncoding", "NOTE;TYPE=QUOTED-PRINTABLE:x", false, false, ""},
    {"Charset", "N;CHARSET=ISO-8859-1:x", false, false, "ISO-8859-1"},
    {"FirstCharsetCounts", "N;CHARSET=UTF-8;CHARSET=ISO-8859-1:x", false, false, "UTF-8"},
    {"QuotedPrintableAndCharset", "N;CHARSET=windows-1252;ENCODING=QUOTED-PRINTABLE:x", true, false, "windows-1252"},
};

class ParameterTest : public ::testing::TestWithParam<ParameterCase>
{
};

TEST_P(ParameterTest, AreReadWithTheLine)
{
    const ParameterCase& c = GetParam();
    CNVCardLexer lexer(QByteArrayView(c.line, qstrlen(c.line)));
    CNVCardProperty property;
    ASSERT_TRUE(lexer.next(property));
    EXPECT_EQ(property.isQuotedPrintable(), c.quotedPrintable);
    EXPECT_EQ(property.isBase64(), c.base64);
    EXPECT_EQ(property.charset, QByteArrayView(c.charset, qstrlen(c.charset)));
    EXPECT_EQ(property.parameter("CHARSET"), property.charset);
}

INSTANTIATE_TEST_SUITE_P(CNVCardValueText, ParameterTest, ::testing::ValuesIn(kParameterCases),
                         [](const ::testing::TestParamInfo<ParameterCase>& p) { return std::string(p.param.name); });

// ---- values through reused buffers -------------------------------------------------------------

QByteArray card(const QByteArray& body)
{
    return "BEGIN:VCARD\r\nVERSION:3.0\r\n" + body + "END:VCARD\r\n";
}

// A note folded into lines of 60 characters, as writers fold long values.
QByteArray foldedNote(const QByteArray& text)
{
    QByteArray out = "NOTE:";
    for (qsizetype at = 0; at < text.size(); at += 60)
        out += (at ? QByteArray("\r\n ") : QByteArray()) + text.mid(at, 60);
    return out + "\r\n";
}

TEST(CNVCardValueText, FoldedValuesOfLaterCardsKeepNothingOfEarlierOnes)
{
    // Each note is shorter than the one before, so a buffer that kept old bytes would show them.
    const QByteArray longNote = QByteArray(300, 'L') + "\\, end";
    const QByteArray shortNote = QByteArray(90, 'S');
    const QByteArray data = card("N:One;Ann;;;\r\n" + foldedNote(longNote)) +
                            card("N:Two;Ann;;;\r\n" + foldedNote(shortNote)) + card("N:Three;Ann;;;\r\nNOTE:\r\n");
    CNError error;
    const CNContactList contacts = CNContactVCardSerialization::contactsWithData(data, &error);
    ASSERT_FALSE(error.isError()) << error.description().toStdString();
    ASSERT_EQ(contacts.size(), 3u);
    EXPECT_EQ(contacts[0]->note(), QString(300, QLatin1Char('L')) + QStringLiteral(", end"));
    EXPECT_EQ(contacts[1]->note(), QString(90, QLatin1Char('S')));
    EXPECT_TRUE(contacts[2]->note().isEmpty());
}

TEST(CNVCardValueText, SharedNamesComeOutRightWhateverBufferTheyWereDecodedIn)
{
    // The first family name is decoded from quoted-printable in a buffer the next value reuses;
    // later cards must get the name, not what that buffer holds by then.
    const QByteArray data = card("N;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:M=C3=BCller;Ann;;;\r\n"
                                 "ORG;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:Caf=C3=A9\r\n") +
                            card("N:M\xC3\xBCller;Ben;;;\r\nORG:Caf\xC3\xA9\r\n") +
                            card("N:Meier;Ann;;;\r\nORG:Cafe\r\n") +
                            card("N:Miller;Ann\\, Jr.;;;\r\nORG:Globex\\, Inc.\r\n");
    CNError error;
    const CNContactList contacts = CNContactVCardSerialization::contactsWithData(data, &error);
    ASSERT_FALSE(error.isError()) << error.description().toStdString();
    ASSERT_EQ(contacts.size(), 4u);
    const QString mueller = QString::fromUtf8("Müller");
    EXPECT_EQ(contacts[0]->familyName(), mueller);
    EXPECT_EQ(contacts[1]->familyName(), mueller);
    EXPECT_EQ(contacts[2]->familyName(), QStringLiteral("Meier"));
    EXPECT_EQ(contacts[3]->familyName(), QStringLiteral("Miller"));
    EXPECT_EQ(contacts[0]->givenName(), QStringLiteral("Ann"));
    EXPECT_EQ(contacts[1]->givenName(), QStringLiteral("Ben"));
    EXPECT_EQ(contacts[3]->givenName(), QStringLiteral("Ann, Jr."));
    EXPECT_EQ(contacts[0]->organizationName(), QString::fromUtf8("Café"));
    EXPECT_EQ(contacts[1]->organizationName(), QString::fromUtf8("Café"));
    EXPECT_EQ(contacts[2]->organizationName(), QStringLiteral("Cafe"));
    EXPECT_EQ(contacts[3]->organizationName(), QStringLiteral("Globex, Inc."));
    // Equal texts of different cards are one string.
    EXPECT_EQ(contacts[0]->familyName().constData(), contacts[1]->familyName().constData());
}

TEST(CNVCardValueText, PlainEscapedAndEightBitValuesOfOneCard)
{
    const QByteArray data = card("N:Doe;Jane;;;\r\n"
                                 "TITLE:Head of R&D\r\n"
                                 "NOTE:line one\\nline two\\; \\\\ done\r\n"
                                 "X-MAIDENNAME:Gr\xFC\xDF"
                                 "e\r\n"
                                 "EMAIL;TYPE=INTERNET:\r\n"
                                 "TEL;TYPE=CELL:+41 79 123 45 67\r\n");
    CNError error;
    const CNContactList contacts = CNContactVCardSerialization::contactsWithData(data, &error);
    ASSERT_EQ(contacts.size(), 1u);
    const CNContact& c = *contacts.front();
    EXPECT_EQ(c.jobTitle(), QStringLiteral("Head of R&D"));
    EXPECT_EQ(c.note(), QStringLiteral("line one\nline two; \\ done"));
    // 8-bit text that is no UTF-8 and names no charset is read as Windows-1252.
    EXPECT_EQ(c.previousFamilyName(), QString::fromUtf8("Grüße"));
    EXPECT_TRUE(c.emailAddresses().empty());
    ASSERT_EQ(c.phoneNumbers().size(), 1u);
    EXPECT_EQ(c.phoneNumbers().front().value().stringValue(), QStringLiteral("+41 79 123 45 67"));
}

} // namespace
