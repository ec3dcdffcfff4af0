// The reader's problem list (one error per problem, with its line), phone values that look like
// URIs, social profile labels, and lines without a colon.
#include "platform/CNContactVCardSerialization.h"
#include "platform/CNVCardReader.h"

#include <gtest/gtest.h>
#include <ostream>

namespace {

QByteArray card(const char* version, const char* body)
{
    return QByteArray("BEGIN:VCARD\r\nVERSION:") + version + "\r\n" + body + "END:VCARD\r\n";
}

// ---- problems -----------------------------------------------------------------------------------

struct ProblemCase
{
    const char* name;
    QByteArray data;
    std::vector<qint64> lines; // the position of each problem, in order
};

void PrintTo(const ProblemCase& c, std::ostream* os)
{
    *os << c.name;
}

std::vector<ProblemCase> problemCases()
{
    const QByteArray good = card("3.0", "N:One;Ann;;;\r\n"); // lines 1-4
    return {
        {"CardWithoutEndAtTheEnd", good + "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Cut;Cy", {5}},
        {"CardWithoutEndBeforeTheNext", "BEGIN:VCARD\r\nN:Lost;Dan;;;\r\n" + good, {1}},
        {"LinesOutsideCards", "junk\r\n" + good + "more junk\r\n", {1, 6}},
        {"BadBase64NamesThePhotoLine", good + card("3.0", "N:B;E;;;\r\nPHOTO;ENCODING=b:AAAA*!!\r\n"), {8}},
        {"NoProblem", good + good, {}},
    };
}

class ReaderProblemTest : public ::testing::TestWithParam<ProblemCase>
{
};

TEST_P(ReaderProblemTest, EachProblemIsOneErrorAtItsLine)
{
    const CNVCardReader::Result result = CNVCardReader::read(GetParam().data);
    std::vector<qint64> lines;
    for (const CNError& problem : result.problems) {
        EXPECT_EQ(problem.code, CNError::CorruptData);
        EXPECT_FALSE(problem.localizedDescription.isEmpty());
        lines.push_back(problem.position);
    }
    EXPECT_EQ(lines, GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(CNVCardReader, ReaderProblemTest, ::testing::ValuesIn(problemCases()),
                         [](const ::testing::TestParamInfo<ProblemCase>& p) { return std::string(p.param.name); });

TEST(CNVCardReader, PlaceholdersInTheFileStayAsWritten)
{
    // A charset name is file text; it must reach the message unchanged, whatever it contains.
    const QByteArray data = card("3.0", "N;CHARSET=X-%2-%1:Odd;Gus;;;\r\n");
    const CNVCardReader::Result result = CNVCardReader::read(data);
    ASSERT_EQ(result.problems.size(), 1u);
    EXPECT_TRUE(result.problems[0].localizedDescription.contains(QStringLiteral("X-%2-%1")))
        << result.problems[0].localizedDescription.toStdString();
    EXPECT_TRUE(result.problems[0].localizedDescription.contains(QStringLiteral(" N,")))
        << result.problems[0].localizedDescription.toStdString();

    CNError error;
    CNContactVCardSerialization::contactsWithData(data, &error);
    EXPECT_EQ(error.position, 3);
    EXPECT_TRUE(error.localizedDescription.contains(QStringLiteral("line 3: unknown charset \"X-%2-%1\"")))
        << error.localizedDescription.toStdString();
}

// ---- phone numbers written as URIs --------------------------------------------------------------

struct TelCase
{
    const char* name;
    const char* version;
    const char* line;
    const char* expected;
};

void PrintTo(const TelCase& c, std::ostream* os)
{
    *os << c.name;
}

class TelPrefixTest : public ::testing::TestWithParam<TelCase>
{
};

TEST_P(TelPrefixTest, PrefixIsRemovedOnlyFromUris)
{
    const TelCase& c = GetParam();
    const QByteArray line = QByteArray(c.line) + "\r\n";
    const CNContactList contacts = CNContactVCardSerialization::contactsWithData(card(c.version, line.constData()));
    ASSERT_EQ(contacts.size(), 1u);
    ASSERT_EQ(contacts[0]->phoneNumbers().size(), 1u);
    EXPECT_EQ(contacts[0]->phoneNumbers()[0].value().stringValue(), QString::fromUtf8(c.expected));
}

INSTANTIATE_TEST_SUITE_P(CNVCardReader, TelPrefixTest,
                         ::testing::Values(TelCase{"Version3Text", "3.0", "TEL;TYPE=CELL:tel: 555 1234", "tel: 555 1234"},
                                           TelCase{"Version21Text", "2.1", "TEL;CELL:tel:5551234", "tel:5551234"},
                                           TelCase{"Version3Uri", "3.0", "TEL;VALUE=uri:tel:+1-555-1234", "+1-555-1234"},
                                           TelCase{"Version4", "4.0", "TEL;TYPE=cell:TEL:+41 79 1", "+41 79 1"}),
                         [](const ::testing::TestParamInfo<TelCase>& p) { return std::string(p.param.name); });

// ---- social profiles ----------------------------------------------------------------------------

TEST(CNVCardReader, SocialProfileIsLabelledWithItsService)
{
    const CNContactList contacts = CNContactVCardSerialization::contactsWithData(
        card("3.0", "X-SOCIALPROFILE;TYPE=twitter;X-USER=annlee:https://twitter.com/annlee\r\n"));
    ASSERT_EQ(contacts.size(), 1u);
    ASSERT_EQ(contacts[0]->socialProfiles().size(), 1u);
    const auto& profile = contacts[0]->socialProfiles()[0];
    EXPECT_EQ(profile.value().service, CNSocialProfileServiceTwitter);
    EXPECT_EQ(profile.label(), CNSocialProfileServiceTwitter);
    EXPECT_EQ(profile.value().username, QStringLiteral("annlee"));
}

// ---- lines without a colon ----------------------------------------------------------------------

TEST(CNVCardReader, LinesWithoutColonAreSkipped)
{
    for (const char* data : {"BEGIN:VCARD\nFN\nEND:VCARD\n", "BEGIN:VCARD\nVERSION:3.0\nN:A;B;;;\nNOTE\nTEL\nEND:VCARD\n",
                             "BEGIN:VCARD\r\nitem1.X-ABLabel\r\nitem1.TEL:1\r\nEND:VCARD\r\n"}) {
        const CNVCardReader::Result result = CNVCardReader::read(data);
        ASSERT_EQ(result.contacts.size(), 1u) << data;
        EXPECT_TRUE(result.contacts[0]->note().isEmpty());
    }
}

} // namespace
