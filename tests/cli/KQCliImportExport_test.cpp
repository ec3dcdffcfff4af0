// peoplekeeper-cli import and export, run as a program over a private store.
#include "KQCliTestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class CliImportExport : public ::testing::Test
{
protected:
    KQCliRun cli(const QStringList& arguments) { return kqRunCli(home, arguments); }

    QString file(const QString& name, const QByteArray& data)
    {
        const QString path = home.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(data);
        return path;
    }

    QTemporaryDir home;
};

TEST_F(CliImportExport, ImportIntoAnAccountThenExportEveryFormat)
{
    const QString csv = file(QStringLiteral("in.csv"), "First Name,Last Name,E-mail Address,Mobile Phone\n"
                                                       "Ada,Lovelace,ada@example.org,+44 1\n"
                                                       "Grace,Hopper,grace@example.org,+1 2\n");
    const KQCliRun imported =
        cli({QStringLiteral("import"), csv, QStringLiteral("--account"), QStringLiteral("On My Computer")});
    ASSERT_EQ(imported.status, 0) << imported.err.toStdString();
    EXPECT_TRUE(imported.out.contains(QStringLiteral("imported 2 contacts"))) << imported.out.toStdString();

    const QString out = home.filePath(QStringLiteral("out.csv"));
    const KQCliRun exported =
        cli({QStringLiteral("export"), QStringLiteral("--format"), QStringLiteral("csv"), QStringLiteral("--fields"),
             QStringLiteral("givenName,familyName,emailAddresses"), out});
    ASSERT_EQ(exported.status, 0) << exported.err.toStdString();
    QFile result(out);
    ASSERT_TRUE(result.open(QIODevice::ReadOnly));
    const QByteArray bytes = result.readAll();
    EXPECT_TRUE(bytes.startsWith("\xEF\xBB\xBF"));
    EXPECT_TRUE(bytes.contains("\"Ada\",\"Lovelace\",\"ada@example.org\""));

    for (const char* format : {"vcard", "csv-outlook", "txt"}) {
        const QString path = home.filePath(QStringLiteral("out.") + QString::fromLatin1(format));
        const KQCliRun run =
            cli({QStringLiteral("export"), QStringLiteral("--format"), QString::fromLatin1(format), path});
        EXPECT_EQ(run.status, 0) << format << run.err.toStdString();
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << format;
        EXPECT_TRUE(f.readAll().contains("Grace")) << format;
    }

    // Import again from the vCard written, into Last Import.
    const KQCliRun again = cli({QStringLiteral("import"), home.filePath(QStringLiteral("out.vcard"))});
    EXPECT_EQ(again.status, 0) << again.err.toStdString();
    EXPECT_TRUE(again.out.contains(QStringLiteral("into Last Import"))) << again.out.toStdString();
}

struct Failure
{
    const char* name;
    QStringList arguments; // "@" is replaced by the test's folder
    const char* message;
};

void PrintTo(const Failure& f, std::ostream* os)
{
    *os << f.name;
}

class CliFailures : public CliImportExport, public ::testing::WithParamInterface<Failure>
{
};

TEST_P(CliFailures, ExitNonZeroWithAMessageAndWriteNothing)
{
    file(QStringLiteral("fake.vcf"), "this is no card");
    file(QStringLiteral("ok.csv"), "First Name\nAda\n");
    QStringList arguments;
    for (const QString& argument : GetParam().arguments)
        arguments.append(QString(argument).replace(QLatin1Char('@'), home.path()));
    const KQCliRun run = cli(arguments);
    EXPECT_NE(run.status, 0);
    EXPECT_TRUE(run.err.contains(QString::fromUtf8(GetParam().message))) << run.err.toStdString();
    EXPECT_FALSE(QFile::exists(home.filePath(QStringLiteral("out.csv"))));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliFailures,
    ::testing::Values(
        Failure{"UnreadableFile", {QStringLiteral("import"), QStringLiteral("@/missing.csv")}, "cannot read"},
        Failure{"FileNotWhatItsExtensionSays", {QStringLiteral("import"), QStringLiteral("@/fake.vcf")}, "not a vCard"},
        Failure{
            "UnknownAccount",
            {QStringLiteral("import"), QStringLiteral("@/ok.csv"), QStringLiteral("--account"), QStringLiteral("Nope")},
            "no account named"},
        Failure{"UnknownGroup",
                {QStringLiteral("import"), QStringLiteral("@/ok.csv"), QStringLiteral("--account"),
                 QStringLiteral("On My Computer"), QStringLiteral("--group"), QStringLiteral("Nope")},
                "no group named"},
        Failure{
            "UnknownFormat",
            {QStringLiteral("export"), QStringLiteral("--format"), QStringLiteral("odt"), QStringLiteral("@/out.csv")},
            "unknown format"},
        Failure{"UnknownField",
                {QStringLiteral("export"), QStringLiteral("--format"), QStringLiteral("csv"),
                 QStringLiteral("--fields"), QStringLiteral("shoeSize"), QStringLiteral("@/out.csv")},
                "unknown field"},
        Failure{"UnwritableOutput",
                {QStringLiteral("export"), QStringLiteral("--format"), QStringLiteral("csv"),
                 QStringLiteral("@/no/such/folder/out.csv")},
                "cannot write"}),
    [](const ::testing::TestParamInfo<Failure>& p) { return std::string(p.param.name); });

} // namespace
