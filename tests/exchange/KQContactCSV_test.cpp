// CSV reading: the tokenizer, the column map, records to contacts and the encodings; CSV writing.
#include "KQExchangeTestSupport.h"
#include "KQTestPython.h"
#include "exchange/KQContactCSVSerialization.h"
#include "exchange/KQContactFormat.h"

#include <algorithm>

using namespace exchangetest;

namespace {

struct SplitCase
{
    const char* name;
    QString text;
    QChar separator;
    QStringList fields;
};

void PrintTo(const SplitCase& c, std::ostream* os)
{
    *os << c.name;
}

class CSVTokenizer : public ::testing::TestWithParam<SplitCase>
{
};

TEST_P(CSVTokenizer, SplitsFields)
{
    const SplitCase& c = GetParam();
    EXPECT_EQ(KQContactCSVSerialization::trySeparatedString(c.text, c.separator, QChar(u'"'), true), c.fields);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CSVTokenizer,
    ::testing::Values(SplitCase{"PlainFields",
                                QStringLiteral("a,b,c"),
                                u',',
                                {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}},
                      SplitCase{"QuotedCommaAndLineBreakStayOneField",
                                QStringLiteral("\"x,\ny\",z"),
                                u',',
                                {QStringLiteral("x,\ny"), QStringLiteral("z")}},
                      SplitCase{"EmptyMiddleFieldKept",
                                QStringLiteral("a,,c"),
                                u',',
                                {QStringLiteral("a"), QString(), QStringLiteral("c")}},
                      SplitCase{"TrailingSeparatorGivesNoEmptyField",
                                QStringLiteral("a,b,"),
                                u',',
                                {QStringLiteral("a"), QStringLiteral("b")}},
                      SplitCase{"DoubledQuoteLosesItsQuotes",
                                QStringLiteral("\"say \"\"hi\"\"\",b"),
                                u',',
                                {QStringLiteral("say hi"), QStringLiteral("b")}},
                      SplitCase{"EmptyTextGivesNoFields", QString(), u',', {}},
                      // A separator or quote with a combining mark after it is one character with the mark.
                      SplitCase{"SeparatorWithCombiningMarkDoesNotSplit",
                                QString::fromUtf8("a,\u0301b,c"),
                                u',',
                                {QString::fromUtf8("a,\u0301b"), QStringLiteral("c")}},
                      SplitCase{"QuoteWithJoinerIsNoQuote",
                                QString::fromUtf8("\"\u200Da,b"),
                                u',',
                                {QString::fromUtf8("\"\u200Da"), QStringLiteral("b")}},
                      // Long texts: separators, quotes and marks at and across every eight-character step.
                      SplitCase{"SeparatorsPastTheFirstEightCharacters",
                                QStringLiteral("abcdefghijklmnop,qrstuvwxy,0123456789abcdefg"),
                                u',',
                                {QStringLiteral("abcdefghijklmnop"), QStringLiteral("qrstuvwxy"),
                                 QStringLiteral("0123456789abcdefg")}},
                      SplitCase{"QuotedSeparatorAtTheEighthCharacter",
                                QStringLiteral("\"abcdef,ghijklmnopq\",rstuvwxyz012345"),
                                u',',
                                {QStringLiteral("abcdef,ghijklmnopq"), QStringLiteral("rstuvwxyz012345")}},
                      SplitCase{"CombiningMarkAfterALateSeparator",
                                QString::fromUtf8("abcdefghijklmnop,\u0301qrstuvwxyz,z"),
                                u',',
                                {QString::fromUtf8("abcdefghijklmnop,\u0301qrstuvwxyz"), QStringLiteral("z")}},
                      SplitCase{"SupplementaryCombiningMarkAfterSeparator",
                                QString::fromUtf8("abcdefghij,\U0001D167x,k"),
                                u',',
                                {QString::fromUtf8("abcdefghij,\U0001D167x"), QStringLiteral("k")}},
                      SplitCase{"QuoteWithMarkInALongFieldIsKept",
                                QString::fromUtf8("abcdefghij\"\u0301klmnop,q"),
                                u',',
                                {QString::fromUtf8("abcdefghij\"\u0301klmnop"), QStringLiteral("q")}},
                      SplitCase{"Semicolons", QStringLiteral("a;b"), u';', {QStringLiteral("a"), QStringLiteral("b")}}),
    [](const ::testing::TestParamInfo<SplitCase>& p) { return std::string(p.param.name); });

TEST(CSVHeader, SeparatorIsDetectedCommaThenSemicolonThenTab)
{
    QChar separator;
    EXPECT_EQ(KQContactCSVSerialization::splitColLine(QStringLiteral("First Name;Last Name;E-mail"), &separator).size(),
              3);
    EXPECT_EQ(separator, QChar(u';'));
    EXPECT_EQ(KQContactCSVSerialization::splitColLine(QStringLiteral("a\tb"), &separator).size(), 2);
    EXPECT_EQ(separator, QChar(u'\t'));
    EXPECT_EQ(KQContactCSVSerialization::splitColLine(QStringLiteral("only"), &separator),
              QStringList{QStringLiteral("only")});
    EXPECT_EQ(separator, QChar(u','));
}

TEST(CSVHeader, KeywordOrderDecidesAmbiguousTitles)
{
    const QStringList keys = KQContactCSVSerialization::mapColsToPropertyKey(
        {QStringLiteral("E-mail Address"), QStringLiteral("Job Title"), QStringLiteral("Home Fax"),
         QStringLiteral("IM Address"), QStringLiteral("Phonetic First Name"), QStringLiteral("Shoe size")});
    EXPECT_EQ(keys,
              (QStringList{CNContactEmailAddressesKey, CNContactJobTitleKey, CNContactPhoneNumbersKey,
                           CNContactPostalAddressesKey, CNContactPhoneticGivenNameKey, KQPropertyKeyUnknownColumn}));
}

KQContactHelperPtr recordFrom(const QStringList& titles, const QStringList& fields)
{
    return KQContactCSVSerialization::contactFromRecord(fields, titles,
                                                        KQContactCSVSerialization::mapColsToPropertyKey(titles));
}

TEST(CSVRecord, AddressColumnsFillOneOpenAddressAppendedOnceAsOther)
{
    const auto record = recordFrom(
        {QStringLiteral("home Street"), QStringLiteral("Home City"), QStringLiteral("home Country/Region"),
         QStringLiteral("Business Street")},
        {QStringLiteral("1 Elm"), QStringLiteral("Paris"), QStringLiteral("France"), QStringLiteral("9 Oak")});
    const auto& addresses = record->contact()->postalAddresses();
    ASSERT_EQ(addresses.size(), 1u);
    EXPECT_EQ(addresses[0].label(), CNLabelOther);
    EXPECT_EQ(addresses[0].value().street, QStringLiteral("9 Oak"));
    EXPECT_EQ(addresses[0].value().city, QStringLiteral("Paris"));
    EXPECT_EQ(addresses[0].value().country, QStringLiteral("France"));
}

TEST(CSVRecord, MergedAddressLinesGoToTheirParts)
{
    const auto record = recordFrom({QStringLiteral("Address")}, {QStringLiteral("France\nIDF\n1 Rue\n75001\nParis")});
    const auto& addresses = record->contact()->postalAddresses();
    ASSERT_EQ(addresses.size(), 1u);
    EXPECT_EQ(addresses[0].label(), QStringLiteral("Address"));
    const CNPostalAddress& a = addresses[0].value();
    EXPECT_EQ(QStringList({a.country, a.state, a.street, a.postalCode, a.city}),
              QStringList({QStringLiteral("France"), QStringLiteral("IDF"), QStringLiteral("1 Rue"),
                           QStringLiteral("75001"), QStringLiteral("Paris")}));
}

TEST(CSVRecord, InstantMessagesDatesAndLabels)
{
    const auto record = recordFrom(
        {QStringLiteral("Instant message Work"), QStringLiteral("Instant message Home"), QStringLiteral("Birthday"),
         QStringLiteral("Anniversary Date"), QStringLiteral("Home Phone"), QStringLiteral("Other Date")},
        {QStringLiteral("Skype jdoe"), QStringLiteral("lonely"), QStringLiteral("12/03/1990"),
         QStringLiteral("1990/03/12"), QStringLiteral(" 555 "), QStringLiteral("not a date")});
    const CNContact& c = *record->contact();
    ASSERT_EQ(c.instantMessageAddresses().size(), 2u);
    EXPECT_EQ(c.instantMessageAddresses()[0].label(), QStringLiteral("Work"));
    EXPECT_EQ(c.instantMessageAddresses()[0].value(),
              CNInstantMessageAddress(QStringLiteral("jdoe"), CNInstantMessageServiceSkype));
    EXPECT_EQ(c.instantMessageAddresses()[1].value(),
              CNInstantMessageAddress(QStringLiteral("lonely"), CNInstantMessageServiceFacebook));
    ASSERT_TRUE(c.birthday().has_value());
    EXPECT_EQ(*c.birthday()->day, 12);
    EXPECT_EQ(*c.birthday()->month, 3);
    ASSERT_EQ(c.dates().size(), 1u); // the unparsable date is skipped
    EXPECT_EQ(c.dates()[0].value().day, c.birthday()->day);
    ASSERT_EQ(c.phoneNumbers().size(), 1u);
    EXPECT_EQ(c.phoneNumbers()[0].label(), QStringLiteral("Home Phone")); // the raw title
    EXPECT_EQ(c.phoneNumbers()[0].value().stringValue(), QStringLiteral("555"));
}

struct EncodingCase
{
    const char* name;
    QByteArray bytes;
    QString text;
};

void PrintTo(const EncodingCase& c, std::ostream* os)
{
    *os << c.name;
}

class CSVEncoding : public ::testing::TestWithParam<EncodingCase>
{
};

TEST_P(CSVEncoding, DecodesNames)
{
    EXPECT_EQ(KQContactCSVSerialization::decodeCSVData(GetParam().bytes), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CSVEncoding,
    ::testing::Values(
        EncodingCase{"Utf8WithoutMark", QByteArray("Jos\xC3\xA9,\xE6\x9D\x8E"), QString::fromUtf8("José,李")},
        EncodingCase{"Utf8WithMark", QByteArray("\xEF\xBB\xBFZo\xC3\xAB"), QString::fromUtf8("Zoë")},
        EncodingCase{"Windows1252", QByteArray("M\xFCller \x80 \x93q\x94"), QString::fromUtf8("Müller € “q”")},
        // Accents between runs of plain letters: the checker must
        // still see a bad byte after a long plain run.
        EncodingCase{"Utf8AccentsBetweenLongPlainRuns",
                     QByteArray("Jos\xC3\xA9 Garc\xC3\xAD"
                                "a Fern\xC3\xA1ndez "
                                "de la Vega y Ca\xC3\xB1"
                                "averal"),
                     QString::fromUtf8("José García Fernández de la Vega y "
                                       "Cañaveral")},
        EncodingCase{"BadByteAfterALongPlainRunMeansWindows1252", QByteArray("Jos\xC3\xA9 and all his friends \xFC"),
                     QString::fromUtf8("JosÃ© and all his friends ü")},
        EncodingCase{"CutSequenceAtTheEndMeansWindows1252",
                     QByteArray("\xC3\xA9"
                                "abcdefghijklmnop\xE6\x9D"),
                     QString::fromUtf8("Ã©abcdefghijklmnopæ\u009D")},
        EncodingCase{"Utf16LittleEndian",
                     QByteArray("\xFF\xFE"
                                "a\0,\0b\0",
                                8),
                     QStringLiteral("a,b")}),
    [](const ::testing::TestParamInfo<EncodingCase>& p) { return std::string(p.param.name); });

class CSVFiles : public ::testing::Test
{
protected:
    KQCSVReadResult read(const QByteArray& data, KQContactHelperList* out, const KQFieldMapBlock& map = {})
    {
        const QString path = dir.filePath(QStringLiteral("in.csv"));
        EXPECT_TRUE(writeFile(path, data));
        return KQContactCSVSerialization::contactsWithCSVFile(
            path, map, [out](const KQContactHelperPtr& c, bool*, double) { out->push_back(c); });
    }
    QTemporaryDir dir;
};

TEST_F(CSVFiles, GoogleStyleUtf8AndOutlookStyleWindows1252KeepEveryName)
{
    KQContactHelperList google;
    ASSERT_TRUE(read(QByteArray("Given Name,Family Name,E-mail 1 - Value\n"
                                "Fran\xC3\xA7ois,Lef\xC3\xA8vre,f@example.fr\n"
                                "\xE5\xB0\x8F\xE6\x9E\x97,\xE9\x9B\x85\xE5\xAD\x90,k@example.jp\n"),
                     &google)
                    .ok());
    ASSERT_EQ(google.size(), 2u);
    EXPECT_EQ(google[0]->givenName(), QString::fromUtf8("François"));
    EXPECT_EQ(google[1]->familyName(), QString::fromUtf8("雅子"));
    EXPECT_EQ(google[1]->contact()->emailAddresses()[0].value(), QStringLiteral("k@example.jp"));

    KQContactHelperList outlook;
    ASSERT_TRUE(read(QByteArray("First Name,Last Name,E-mail Address\r\n"
                                "J\xFCrgen,M\xFCller,jm@example.de\r\n"
                                "Ren\xE9\x65,Fa\xE7on,rf@example.fr\r\n"),
                     &outlook)
                    .ok());
    ASSERT_EQ(outlook.size(), 2u);
    EXPECT_EQ(outlook[0]->fullName(), QString::fromUtf8("Jürgen Müller"));
    EXPECT_EQ(outlook[1]->fullName(), QString::fromUtf8("Renée Façon"));
}

TEST_F(CSVFiles, HeaderOnlyFileHasNoContactData)
{
    KQContactHelperList contacts;
    const KQCSVReadResult result = read("First Name,Last Name\n", &contacts);
    EXPECT_EQ(result.status, KQCSVReadResult::NoData);
    EXPECT_EQ(result.description, QStringLiteral("No contact data exist."));
    EXPECT_TRUE(contacts.empty());
}

TEST_F(CSVFiles, FieldMapAnswerReplacesProposalOrCancels)
{
    KQContactHelperList contacts;
    const auto toNote = [](const QStringList&, QStringList& keys) { keys = {CNContactNoteKey, CNContactGivenNameKey}; };
    ASSERT_TRUE(read("First Name,Last Name\nAda,Lovelace\n", &contacts, toNote).ok());
    ASSERT_EQ(contacts.size(), 1u);
    EXPECT_EQ(contacts[0]->note(), QStringLiteral("Ada"));
    EXPECT_EQ(contacts[0]->givenName(), QStringLiteral("Lovelace"));

    contacts.clear();
    const auto wrongLength = [](const QStringList&, QStringList& keys) { keys = {CNContactNoteKey}; };
    ASSERT_TRUE(read("First Name,Last Name\nAda,Lovelace\n", &contacts, wrongLength).ok());
    EXPECT_EQ(contacts[0]->givenName(), QStringLiteral("Ada")); // the proposal is used

    contacts.clear();
    const auto cancel = [](const QStringList&, QStringList& keys) { keys.clear(); };
    EXPECT_EQ(read("First Name,Last Name\nAda,Lovelace\n", &contacts, cancel).status, KQCSVReadResult::Cancelled);
    EXPECT_TRUE(contacts.empty());
}

TEST_F(CSVFiles, RecordsKeepQuotedLineBreaksSkipBlankLinesAndReportUpToTheWhole)
{
    const QString path = dir.filePath(QStringLiteral("records.csv"));
    ASSERT_TRUE(writeFile(path, QByteArray("First Name,Last Name,Note\r\n"
                                           "Ada,Lovelace,\"first line\r\nsecond, with a comma\"\r\n"
                                           "\r\n"
                                           "\r\n"
                                           "Alan,Turing,\r\n"
                                           "Grace,Hopper,no line break at the end")));
    KQContactHelperList contacts;
    std::vector<double> percents;
    const KQCSVReadResult result = KQContactCSVSerialization::contactsWithCSVFile(
        path, {}, [&](const KQContactHelperPtr& c, bool*, double percent) {
            contacts.push_back(c);
            percents.push_back(percent);
        });
    ASSERT_TRUE(result.ok()) << result.description.toStdString();
    EXPECT_EQ(result.contacts, 3);
    ASSERT_EQ(contacts.size(), 3u);
    EXPECT_EQ(contacts[0]->note(), QStringLiteral("first line\nsecond, with a comma"));
    EXPECT_EQ(contacts[1]->fullName(), QStringLiteral("Alan Turing"));
    EXPECT_EQ(contacts[2]->note(), QStringLiteral("no line break at the end"));
    EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
    EXPECT_GT(percents.front(), 0.0);
    EXPECT_DOUBLE_EQ(percents.back(), 100.0);
}

TEST_F(CSVFiles, BlankLineAfterTheHeaderIsReadAsNoContactsNotAsNoData)
{
    KQContactHelperList contacts;
    const KQCSVReadResult result = read("First Name,Last Name\n\n", &contacts);
    EXPECT_EQ(result.status, KQCSVReadResult::Read);
    EXPECT_EQ(result.contacts, 0);
}

TEST_F(CSVFiles, StopFlagEndsTheReadingAfterThatContact)
{
    const QString path = dir.filePath(QStringLiteral("stop.csv"));
    ASSERT_TRUE(writeFile(path, QByteArray("First Name\nA\nB\nC\nD\n")));
    QStringList seen;
    const KQCSVReadResult result =
        KQContactCSVSerialization::contactsWithCSVFile(path, {}, [&](const KQContactHelperPtr& c, bool* stop, double) {
            seen.append(c->givenName().value_or(QString()));
            *stop = seen.size() == 2;
        });
    EXPECT_EQ(result.status, KQCSVReadResult::Cancelled);
    EXPECT_EQ(result.contacts, 2);
    EXPECT_EQ(seen, (QStringList{QStringLiteral("A"), QStringLiteral("B")}));
}

// The writer's output read back by Python's csv module.
TEST(CSVWriter, OutlookColumnsReadByPythonCsv)
{
    auto c = std::make_shared<CNMutableContact>();
    c->setGivenName(QStringLiteral("Ada"));
    c->setFamilyName(QStringLiteral("Lovelace"));
    c->setNote(QStringLiteral("says \"hi\""));
    CNStringValueList mails;
    for (int i = 0; i < 4; ++i)
        mails.push_back({CNLabelWork, QStringLiteral("a%1@example.org").arg(i)});
    c->setEmailAddresses(mails);
    CNPostalAddress address;
    address.street = QStringLiteral("1 Elm");
    address.country = QStringLiteral("UK");
    c->setPostalAddresses({{CNLabelHome, address}});
    const KQContactHelperList records{KQContactHelper::create(c, true)};
    auto writer = KQContactSerialization::contactSerializationWithFormat(
        KQContactFormat::CSVOutlook, records,
        {CNContactGivenNameKey, CNContactFamilyNameKey, CNContactEmailAddressesKey, CNContactPostalAddressesKey,
         CNContactNoteKey});
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("out.csv"));
    ASSERT_TRUE(writer->exportWithFile(path, {}));
    const QByteArray bytes = readFile(path);
    ASSERT_TRUE(bytes.startsWith("\xEF\xBB\xBF"));
    const auto header =
        KQRunPythonOnData(QStringLiteral("import csv,sys\nr=list(csv.reader(open(sys.argv[1],encoding='utf-8-sig')))\n"
                                         "print('|'.join(r[0]))\nprint(r[1][0]+' '+r[1][1]+' '+r[1][2])\n"),
                          bytes);
    if (!header)
        GTEST_SKIP() << "python3 is not installed";
    const QStringList lines = header->split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 2) << header->toStdString();
    const QStringList titles = lines[0].split(QLatin1Char('|'));
    EXPECT_EQ(titles.mid(2, 4), (QStringList{QStringLiteral("E-mail Address"), QStringLiteral("E-mail 2 Address"),
                                             QStringLiteral("E-mail 3 Address"), QStringLiteral("work Email 4")}));
    EXPECT_TRUE(titles.contains(QStringLiteral("home Country/Region"))) << lines[0].toStdString();
    EXPECT_TRUE(titles.contains(QStringLiteral("home Street")));
    EXPECT_EQ(lines[1], QStringLiteral("Ada Lovelace a0@example.org"));
    // The quote inside the note is written unchanged.
    EXPECT_TRUE(bytes.contains("\"says \"hi\"\"\n"));
}

} // namespace
