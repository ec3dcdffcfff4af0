// The package and page formats' fixed shapes: cell references, shared strings, column limits,
// grid sizes, page sizes, content types and escaping, and what a cancelled or failed export
// leaves behind.
#include "KQPackageTestSupport.h"
#include "exchange/KQContactExcelSerialization.h"
#include "exchange/KQContactPagesSerialization.h"
#include "exchange/packages/KQPackageSerialization.h"

#include <QFileInfo>

using namespace packagetest;

namespace {

// count contacts, each with the same `columns` phone numbers labelled L1, L2, ...: one column
// per label under the phone key. Contact i's number j is "i-j".
KQContactHelperList contactsWithColumns(int columns, int count)
{
    KQContactHelperList records;
    for (int i = 0; i < count; ++i) {
        auto c = std::make_shared<CNMutableContact>();
        std::vector<CNLabeledValue<CNPhoneNumber>> phones;
        for (int j = 1; j <= columns; ++j)
            phones.push_back({QStringLiteral("L%1").arg(j), CNPhoneNumber(QStringLiteral("%1-%2").arg(i).arg(j))});
        c->setPhoneNumbers(phones);
        records.push_back(KQContactHelper::create(c, true));
    }
    return records;
}

// A function: the key constants live in another translation unit.
QStringList phoneKey()
{
    return {CNContactPhoneNumbersKey};
}

class PackageFormats : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (python().isEmpty())
            GTEST_SKIP() << "python3 is not installed";
    }
    QString write(qint32 type, const char* extension, const KQContactHelperList& contacts, const QStringList& keys)
    {
        const QString path = dir.filePath(QStringLiteral("out.") + QString::fromLatin1(extension));
        auto writer = KQContactSerialization::contactSerializationWithFormat(type, contacts, keys);
        EXPECT_TRUE(writer->exportWithFile(path, nullptr)) << writer->errorString().toStdString();
        return path;
    }
    QJsonObject table(qint32 type, int columns, int count)
    {
        const bool pages = type == KQContactFormat::Pages;
        const QString path = write(type, pages ? "pages" : "numbers", contactsWithColumns(columns, count), phoneKey());
        return readWith(kTableReader,
                        {path, pages ? QStringLiteral("pages") : QStringLiteral("numbers"), QString::number(columns)});
    }
    QTemporaryDir dir;
};

struct Reference
{
    int column;
    const char* letters;
};

void PrintTo(const Reference& r, std::ostream* os)
{
    *os << "column " << r.column << " is " << r.letters;
}

class ExcelColumnLetters : public ::testing::TestWithParam<Reference>
{
};

TEST_P(ExcelColumnLetters, FollowTheSpreadsheetScheme)
{
    EXPECT_EQ(KQContactExcelSerialization::cellReference(GetParam().column, 7),
              QByteArray(GetParam().letters) + QByteArray("7"));
}

INSTANTIATE_TEST_SUITE_P(Columns, ExcelColumnLetters,
                         ::testing::Values(Reference{1, "A"}, Reference{26, "Z"}, Reference{27, "AA"},
                                           Reference{52, "AZ"}, Reference{53, "BA"}, Reference{702, "ZZ"},
                                           Reference{703, "AAA"}),
                         [](const ::testing::TestParamInfo<Reference>& p) {
                             return std::string("Column") + std::to_string(p.param.column);
                         });

TEST_F(PackageFormats, ExcelThreeTitlesAndTwoContactsGiveNineSharedStrings)
{
    KQContactHelperList contacts = contactsWithColumns(3, 2);
    // An empty cell still gets its own string.
    auto blank = std::make_shared<CNMutableContact>();
    blank->setPhoneNumbers({{QStringLiteral("L1"), CNPhoneNumber(QStringLiteral("1-1"))},
                            {QStringLiteral("L2"), CNPhoneNumber(QStringLiteral("1-2"))}});
    contacts[1] = KQContactHelper::create(blank, true);
    const QJsonObject book = readWith(kXlsxReader, {write(KQContactFormat::Excel, "xlsx", contacts, phoneKey())});
    EXPECT_EQ(book.value(QStringLiteral("count")).toString(), QStringLiteral("9"));
    EXPECT_EQ(book.value(QStringLiteral("unique")).toString(), QStringLiteral("9"));
    EXPECT_EQ(book.value(QStringLiteral("strings")).toInt(), 9);
    EXPECT_EQ(book.value(QStringLiteral("dimension")).toString(), QStringLiteral("A1:L111"));
    const std::vector<QStringList> refs = rowsFromJson(book.value(QStringLiteral("refs")).toArray());
    std::vector<QStringList> expected;
    for (int row = 1; row <= 3; ++row) {
        const QString n = QString::number(row);
        expected.push_back({QStringLiteral("A") + n, QStringLiteral("B") + n, QStringLiteral("C") + n});
    }
    EXPECT_EQ(refs, expected);
    const std::vector<QStringList> rows = rowsFromJson(book.value(QStringLiteral("rows")).toArray());
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[2], (QStringList{QStringLiteral("1-1"), QStringLiteral("1-2"), QString()}));
    // One sheet, and none of the template's own sheets or folders that do not belong.
    const QJsonArray names = book.value(QStringLiteral("names")).toArray();
    EXPECT_TRUE(names.contains(QStringLiteral("xl/worksheets/sheet1.xml")));
    EXPECT_FALSE(names.contains(QStringLiteral("xl/worksheets/sheet2.xml")));
    for (const QJsonValue& name : names)
        EXPECT_FALSE(name.toString().startsWith(QStringLiteral("mm"))) << name.toString().toStdString();
}

TEST_F(PackageFormats, DocxShowsTheFirst28ColumnsAndGainsTwoImageTypes)
{
    const QJsonObject doc =
        readWith(kDocxReader, {write(KQContactFormat::Docx, "docx", contactsWithColumns(30, 2), phoneKey())});
    for (const QStringList& row : rowsFromJson(doc.value(QStringLiteral("rows")).toArray())) {
        ASSERT_EQ(row.size(), 28);
        EXPECT_TRUE(row.last().endsWith(QStringLiteral("28"))) << row.last().toStdString();
    }
    const QJsonArray types = doc.value(QStringLiteral("types")).toArray();
    ASSERT_GE(types.size(), 4);
    EXPECT_EQ(types.at(1).toString(), QStringLiteral("png"));
    EXPECT_EQ(types.at(2).toString(), QStringLiteral("jpeg"));
    const QJsonArray names = doc.value(QStringLiteral("names")).toArray();
    EXPECT_TRUE(names.contains(QStringLiteral("word/media/")));
    EXPECT_FALSE(names.contains(QStringLiteral("mm/")));
}

TEST_F(PackageFormats, DocxEscapesMarkupCharactersAsEntities)
{
    auto c = std::make_shared<CNMutableContact>();
    c->setOrganizationName(QStringLiteral("Smith & O'Neil <Ltd> \"Co\""));
    const QString path =
        write(KQContactFormat::Docx, "docx", {KQContactHelper::create(c, true)}, {CNContactOrganizationNameKey});
    const QString raw = runPython(
        QStringLiteral("import sys, zipfile\nprint(zipfile.ZipFile(sys.argv[1]).read('word/document.xml').decode())"),
        {path});
    EXPECT_TRUE(raw.contains(QStringLiteral("Smith &amp; O&apos;Neil &lt;Ltd&gt; &quot;Co&quot;")))
        << raw.toStdString();
}

TEST_F(PackageFormats, PagesKeepsSixtyColumns)
{
    const QJsonObject t = table(KQContactFormat::Pages, 70, 4);
    EXPECT_EQ(t.value(QStringLiteral("numcols")).toInt(), 60);
    EXPECT_EQ(t.value(QStringLiteral("ocnt")).toString(), QString::number(60 * 5));
    EXPECT_EQ(t.value(QStringLiteral("gridColumns")).toInt(), 60);
    const std::vector<QStringList> rows = rowsFromJson(t.value(QStringLiteral("rows")).toArray());
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[1].size(), 60);
    EXPECT_EQ(rows[1].last(), QStringLiteral("0-60"));
}

struct PageCase
{
    int columns;
    int contacts;
    const char* width;
    const char* height;
};

void PrintTo(const PageCase& p, std::ostream* os)
{
    *os << p.columns << " columns and " << p.contacts << " contacts";
}

class PagesPageSize : public PackageFormats, public ::testing::WithParamInterface<PageCase>
{
};

TEST_P(PagesPageSize, GrowsWithTheTable)
{
    const PageCase c = GetParam();
    const QJsonArray page =
        table(KQContactFormat::Pages, c.columns, c.contacts).value(QStringLiteral("page")).toArray();
    EXPECT_EQ(page, (QJsonArray{QString::fromLatin1(c.width), QString::fromLatin1(c.height), QStringLiteral("1")}));
}

INSTANTIATE_TEST_SUITE_P(Pages, PagesPageSize,
                         ::testing::Values(PageCase{12, 20, "1123.889771", "1045.275635"},
                                           PageCase{9, 11, "841.889771", "595.275574"},
                                           PageCase{10, 12, "935.889771", "645.275574"}),
                         [](const ::testing::TestParamInfo<PageCase>& p) {
                             return std::to_string(p.param.columns) + "ColumnsAnd" +
                                    std::to_string(p.param.contacts) + "Contacts";
                         });

TEST_F(PackageFormats, PagesRowsListGrowsFromTwoContacts)
{
    const QJsonObject one = table(KQContactFormat::Pages, 3, 1);
    const QJsonObject two = table(KQContactFormat::Pages, 3, 2);
    EXPECT_EQ(one.value(QStringLiteral("gridRows")).toInt(), 2);
    EXPECT_EQ(one.value(QStringLiteral("rowCount")).toString(), QStringLiteral("2"));
    EXPECT_EQ(two.value(QStringLiteral("gridRows")).toInt(), 3);
    EXPECT_EQ(two.value(QStringLiteral("rowCount")).toString(), QStringLiteral("3"));
    EXPECT_EQ(two.value(QStringLiteral("firsts")).toArray(),
              (QJsonArray{QStringLiteral("0"), QStringLiteral("254"), QStringLiteral("254")}));
}

TEST_F(PackageFormats, NumbersGrowsItsRowsFromFiftyContacts)
{
    const QJsonObject below = table(KQContactFormat::Numbers, 5, 49);
    const QJsonObject at = table(KQContactFormat::Numbers, 5, 50);
    EXPECT_EQ(below.value(QStringLiteral("numrows")).toString(), QStringLiteral("51"));
    EXPECT_EQ(at.value(QStringLiteral("numrows")).toString(), QStringLiteral("51"));
    EXPECT_EQ(at.value(QStringLiteral("rowCount")).toString(), QStringLiteral("51"));
    EXPECT_EQ(at.value(QStringLiteral("gridRows")).toInt(), below.value(QStringLiteral("gridRows")).toInt() + 1);
    const QJsonObject many = table(KQContactFormat::Numbers, 5, 120);
    EXPECT_EQ(many.value(QStringLiteral("numrows")).toString(), QStringLiteral("121"));
    // The first body cell of every row carries 257 minus the column count.
    const QJsonArray firsts = at.value(QStringLiteral("firsts")).toArray();
    ASSERT_EQ(firsts.size(), 51);
    EXPECT_EQ(firsts.first().toString(), QStringLiteral("0"));
    for (qsizetype i = 1; i < firsts.size(); ++i)
        EXPECT_EQ(firsts.at(i).toString(), QStringLiteral("252"));
    EXPECT_EQ(at.value(QStringLiteral("source")).toString(),
              QStringLiteral("{http://developer.apple.com/namespaces/sf}datasource"));
}

TEST_F(PackageFormats, NumbersWiderThanItsTemplateGetsTheColumns)
{
    const QJsonObject t = table(KQContactFormat::Numbers, 40, 3);
    EXPECT_EQ(t.value(QStringLiteral("numcols")).toInt(), 40);
    EXPECT_EQ(t.value(QStringLiteral("gridColumns")).toInt(), 40);
    EXPECT_EQ(rowsFromJson(t.value(QStringLiteral("rows")).toArray()).at(3).last(), QStringLiteral("2-40"));
}

struct PackageKind
{
    qint32 type;
    const char* extension;
};

void PrintTo(const PackageKind& kind, std::ostream* os)
{
    *os << kind.extension;
}

class EveryPackage : public PackageFormats, public ::testing::WithParamInterface<PackageKind>
{
};

TEST_P(EveryPackage, ReplacesAnExistingFileAndLeavesNoCacheFolder)
{
    const QString path = dir.filePath(QStringLiteral("out.") + QString::fromLatin1(GetParam().extension));
    ASSERT_TRUE(exchangetest::writeFile(path, "old content"));
    write(GetParam().type, GetParam().extension, contactsWithColumns(2, 3), phoneKey());
    const QString check = GetParam().type == KQContactFormat::HTML ? kHtmlReader : kZipCheck;
    EXPECT_FALSE(runPython(check, {path}).startsWith(QStringLiteral("FAILED")));
    EXPECT_FALSE(QFileInfo::exists(KQPackageSerialization::packageCacheFolder()));
    // No temporary file is left beside the destination.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QFileInfo(path).fileName()});
}

TEST_P(EveryPackage, CancelledExportWritesNothingAndLeavesNoCacheFolder)
{
    const QString path = dir.filePath(QStringLiteral("out.") + QString::fromLatin1(GetParam().extension));
    auto writer =
        KQContactSerialization::contactSerializationWithFormat(GetParam().type, contactsWithColumns(2, 5), phoneKey());
    int calls = 0;
    EXPECT_FALSE(writer->exportWithFile(path, [&calls](double, bool* stop) { *stop = ++calls == 2; }));
    EXPECT_FALSE(QFileInfo::exists(path));
    writer.reset();
    EXPECT_FALSE(QFileInfo::exists(KQPackageSerialization::packageCacheFolder()));
}

TEST_P(EveryPackage, UnwritableDestinationFailsWithAReason)
{
    const QString path =
        dir.filePath(QStringLiteral("missing/folder/out.") + QString::fromLatin1(GetParam().extension));
    auto writer =
        KQContactSerialization::contactSerializationWithFormat(GetParam().type, contactsWithColumns(2, 2), phoneKey());
    EXPECT_FALSE(writer->exportWithFile(path, nullptr));
    EXPECT_FALSE(writer->errorString().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(path));
}

TEST_P(EveryPackage, NoContactsStillGiveAValidFile)
{
    const QString path = dir.filePath(QStringLiteral("empty.") + QString::fromLatin1(GetParam().extension));
    auto writer = KQContactSerialization::contactSerializationWithFormat(GetParam().type, {}, phoneKey());
    EXPECT_TRUE(writer->exportWithFile(path, nullptr)) << writer->errorString().toStdString();
    const QString check = GetParam().type == KQContactFormat::HTML ? kHtmlReader : kZipCheck;
    const QString out = runPython(check, {path});
    EXPECT_FALSE(out.startsWith(QStringLiteral("FAILED"))) << out.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Formats, EveryPackage,
    ::testing::Values(PackageKind{KQContactFormat::Excel, "xlsx"}, PackageKind{KQContactFormat::Docx, "docx"},
                      PackageKind{KQContactFormat::Pages, "pages"}, PackageKind{KQContactFormat::Numbers, "numbers"},
                      PackageKind{KQContactFormat::HTML, "html"}),
    [](const ::testing::TestParamInfo<PackageKind>& p) { return std::string(p.param.extension); });

} // namespace
