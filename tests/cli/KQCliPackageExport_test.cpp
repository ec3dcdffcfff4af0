// peoplekeeper-cli export to the package and page formats and to printed pages (PDF), run as a
// program over a private store; the files are read by python3's zipfile and XML parser and the
// PDF by pdftotext.
#include "KQCliTestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Three contacts: accents, CJK, emoji and markup characters; the second has three phone numbers,
// the third no phone at all.
const char kCards[] = "BEGIN:VCARD\r\nVERSION:3.0\r\nN:O'Hara;Zoë \"Q\" & <Bob>;;;\r\nFN:Zoë \"Q\" & <Bob> O'Hara\r\n"
                      "TEL;TYPE=HOME:+1 555 0101\r\nNOTE:note <one> & 'two'\r\nEND:VCARD\r\n"
                      "BEGIN:VCARD\r\nVERSION:3.0\r\nN:王;李小龍;;;\r\nFN:李小龍 王\r\nTEL;TYPE=CELL:+86 10 1111\r\n"
                      "TEL;TYPE=HOME:+86 10 2222\r\nTEL;TYPE=WORK:+86 10 3333\r\nEND:VCARD\r\n"
                      "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Lefèvre;Émile 😀;;;\r\nFN:Émile 😀 Lefèvre\r\n"
                      "EMAIL;TYPE=HOME:emile@example.org\r\nEND:VCARD\r\n";

class CliPackageExport : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QFile cards(home.filePath(QStringLiteral("in.vcf")));
        ASSERT_TRUE(cards.open(QIODevice::WriteOnly));
        cards.write(kCards);
        cards.close();
        const KQCliRun imported = cli({QStringLiteral("import"), cards.fileName(), QStringLiteral("--account"),
                                       QStringLiteral("On My Computer")});
        ASSERT_EQ(imported.status, 0) << imported.err.toStdString();
    }

    KQCliRun cli(const QStringList& arguments) { return kqRunCli(home, arguments); }

    static QString tool(const char* name) { return QStandardPaths::findExecutable(QString::fromLatin1(name)); }

    static QString run(const QString& program, const QStringList& arguments)
    {
        QProcess process;
        process.start(program, arguments);
        if (!process.waitForFinished(60000) || process.exitCode() != 0)
            return QStringLiteral("FAILED: ") + QString::fromUtf8(process.readAllStandardError());
        return QString::fromUtf8(process.readAllStandardOutput());
    }

    QTemporaryDir home;
};

struct Format
{
    const char* name;
    const char* part; // a part that must hold the contacts' names
};

void PrintTo(const Format& format, std::ostream* os)
{
    *os << format.name;
}

class CliPackageFormats : public CliPackageExport, public ::testing::WithParamInterface<Format>
{
};

TEST_P(CliPackageFormats, WritesAPackageThatHoldsEveryContact)
{
    if (tool("python3").isEmpty())
        GTEST_SKIP() << "python3 is not installed";
    const QString out = home.filePath(QStringLiteral("contacts.") + QString::fromLatin1(GetParam().name));
    const KQCliRun exported =
        cli({QStringLiteral("export"), QStringLiteral("--format"), QString::fromLatin1(GetParam().name), out});
    ASSERT_EQ(exported.status, 0) << exported.err.toStdString();
    EXPECT_TRUE(exported.out.contains(QStringLiteral("exported 3 contacts"))) << exported.out.toStdString();
    // The part's text, unescaped by the XML parser, holds every name (the preferences' default
    // fields split it into its parts).
    const QString script =
        QStringLiteral("import sys, zipfile, xml.etree.ElementTree as E\n"
                       "path, part = sys.argv[1], sys.argv[2]\n"
                       "if part == '-':\n"
                       "    root = E.parse(path).getroot()\n"
                       "else:\n"
                       "    z = zipfile.ZipFile(path)\n"
                       "    assert z.testzip() is None\n"
                       "    root = E.fromstring(z.read(part))\n"
                       "texts = [t for e in root.iter() for t in [e.text or ''] + list(e.attrib.values())]\n"
                       "print('\\n'.join(texts))\n");
    const QString text =
        run(tool("python3"), {QStringLiteral("-c"), script, out, QString::fromLatin1(GetParam().part)});
    ASSERT_FALSE(text.startsWith(QStringLiteral("FAILED"))) << text.toStdString();
    for (const char* name : {"Zoë \"Q\" & <Bob>", "O'Hara", "李小龍", "王", "Émile 😀", "Lefèvre"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(name))) << name;
}

INSTANTIATE_TEST_SUITE_P(Formats, CliPackageFormats,
                         ::testing::Values(Format{"xlsx", "xl/sharedStrings.xml"}, Format{"docx", "word/document.xml"},
                                           Format{"pages", "index.xml"}, Format{"numbers", "index.xml"},
                                           Format{"html", "-"}),
                         [](const ::testing::TestParamInfo<Format>& p) { return std::string(p.param.name); });

TEST_F(CliPackageExport, PrintedPagesHoldEachContactsLinesInOrder)
{
    if (tool("pdftotext").isEmpty())
        GTEST_SKIP() << "pdftotext is not installed (poppler-utils)";
    const QString out = home.filePath(QStringLiteral("contacts.pdf"));
    const KQCliRun printed = cli({QStringLiteral("export"), QStringLiteral("--format"), QStringLiteral("pdf"),
                                  QStringLiteral("--fields"), QStringLiteral("Name,phoneNumbers,emailAddresses"), out});
    ASSERT_EQ(printed.status, 0) << printed.err.toStdString();
    EXPECT_TRUE(printed.out.contains(QStringLiteral("printed 3 contacts"))) << printed.out.toStdString();
    const QString text = run(tool("pdftotext"), {QStringLiteral("-layout"), out, QStringLiteral("-")});
    ASSERT_FALSE(text.startsWith(QStringLiteral("FAILED"))) << text.toStdString();
    // This machine may have no emoji font: characters outside the basic plane are compared absent.
    // Nor a Chinese one (a fresh Debian has none): then Han characters are compared absent too.
    const bool hanFont = !tool("fc-list").isEmpty() &&
                         !run(tool("fc-list"), {QStringLiteral(":lang=zh"), QStringLiteral("family")}).trimmed().isEmpty();
    // Compatibility forms are folded: with some CJK fonts the extracted text names a Kangxi radical
    // (U+2F29) for the glyph of 小 (U+5C0F).
    const auto plain = [hanFont](const QString& line) {
        QString kept;
        for (const QChar c : line.normalized(QString::NormalizationForm_KC))
            if (!c.isSurrogate() && (hanFont || c.script() != QChar::Script_Han))
                kept.append(c);
        return kept.simplified();
    };
    QStringList lines;
    static const QRegularExpression pageNumber(QStringLiteral("^\\d+$"));
    for (const QString& line : text.split(QLatin1Char('\n')))
        if (!plain(line).isEmpty() && !pageNumber.match(plain(line)).hasMatch())
            lines.append(plain(line));
    // Only the first phone number of the second contact; no titles. The store lists the contacts
    // in its own order, so each contact's lines are checked as a block.
    QList<QStringList> blocks{{QStringLiteral("Zoë \"Q\" & <Bob> O'Hara"), QStringLiteral("+1 555 0101")},
                              {plain(QStringLiteral("李小龍 王")), QStringLiteral("+86 10 1111")},
                              {plain(QStringLiteral("Émile 😀 Lefèvre")), QStringLiteral("emile@example.org")}};
    qsizetype expected = 0;
    for (QStringList& block : blocks) {
        block.removeAll(QString()); // a name printed in no font at all
        expected += block.size();
        const qsizetype at = lines.indexOf(block.first());
        ASSERT_GE(at, 0) << block.first().toStdString() << "\n" << text.toStdString();
        EXPECT_EQ(lines.mid(at, block.size()), block) << text.toStdString();
    }
    EXPECT_EQ(lines.size(), expected) << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("+86 10 2222")));
}

} // namespace
