// The application's command line: help, version, files and mistakes.
#include "app/KQCommandLine.h"

#include <QProcess>
#include <gtest/gtest.h>

namespace {

struct LineCase
{
    const char* name;
    QStringList arguments;
    KQCommandLine::Action action;
    QStringList files;
};

void PrintTo(const LineCase& line, std::ostream* out)
{
    *out << line.name;
}

class CommandLine : public ::testing::TestWithParam<LineCase>
{
};

std::string lineName(const ::testing::TestParamInfo<LineCase>& param)
{
    return param.param.name;
}

} // namespace

TEST_P(CommandLine, ParsesIntoTheActionAndTheAbsoluteFiles)
{
    QStringList arguments = {QStringLiteral("peoplekeeper")};
    arguments += GetParam().arguments;
    const KQCommandLine line = KQCommandLine::parse(arguments, QStringLiteral("/home/u/docs"));
    EXPECT_EQ(static_cast<int>(line.action), static_cast<int>(GetParam().action));
    if (line.action == KQCommandLine::Action::Run) {
        EXPECT_EQ(line.files, GetParam().files);
    }
    if (line.action == KQCommandLine::Action::Error) {
        EXPECT_FALSE(line.errorText.isEmpty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Application, CommandLine,
    ::testing::Values(LineCase{"Nothing", {}, KQCommandLine::Action::Run, {}},
                      LineCase{"Help", {QStringLiteral("--help")}, KQCommandLine::Action::ShowHelp, {}},
                      LineCase{"ShortHelpAfterAFile",
                               {QStringLiteral("a.vcf"), QStringLiteral("-h")},
                               KQCommandLine::Action::ShowHelp,
                               {}},
                      LineCase{"Version", {QStringLiteral("--version")}, KQCommandLine::Action::ShowVersion, {}},
                      LineCase{
                          "RelativeAndAbsoluteFiles",
                          {QStringLiteral("cards.vcf"), QStringLiteral("../x/list.csv"), QStringLiteral("/tmp/b.vcf")},
                          KQCommandLine::Action::Run,
                          {QStringLiteral("/home/u/docs/cards.vcf"), QStringLiteral("/home/u/x/list.csv"),
                           QStringLiteral("/tmp/b.vcf")}},
                      LineCase{"DashDashBeforeAFileNamedLikeAnOption",
                               {QStringLiteral("--"), QStringLiteral("--help")},
                               KQCommandLine::Action::Run,
                               {QStringLiteral("/home/u/docs/--help")}},
                      LineCase{"QtOptionWithItsValueIsLeftToQt",
                               {QStringLiteral("-platform"), QStringLiteral("offscreen"), QStringLiteral("a.vcf")},
                               KQCommandLine::Action::Run,
                               {QStringLiteral("/home/u/docs/a.vcf")}},
                      LineCase{"UnknownOption", {QStringLiteral("--frobnicate")}, KQCommandLine::Action::Error, {}}),
    lineName);

TEST(Application, HelpAndVersionPrintAndEndWithoutOpeningAWindow)
{
    QProcess help;
    help.start(QStringLiteral(KQ_APP_BINARY), {QStringLiteral("--help")});
    ASSERT_TRUE(help.waitForFinished(30000));
    EXPECT_EQ(help.exitCode(), 0);
    EXPECT_TRUE(help.readAllStandardOutput().startsWith("Usage: peoplekeeper"));

    QProcess version;
    version.start(QStringLiteral(KQ_APP_BINARY), {QStringLiteral("--version")});
    ASSERT_TRUE(version.waitForFinished(30000));
    EXPECT_EQ(version.exitCode(), 0);
    EXPECT_TRUE(version.readAllStandardOutput().startsWith("peoplekeeper "));

    QProcess wrong;
    wrong.start(QStringLiteral(KQ_APP_BINARY), {QStringLiteral("--frobnicate")});
    ASSERT_TRUE(wrong.waitForFinished(30000));
    EXPECT_EQ(wrong.exitCode(), 2);
    EXPECT_TRUE(wrong.readAllStandardError().contains("--frobnicate"));
}
