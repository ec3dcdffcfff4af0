// The two sheets that configure problem kinds: the duplicate-name parts and the allowed prefixes
// and suffixes, driven through their buttons.

#include "KQWindowTestSupport.h"
#include "app/windows/KQConflictDupNameCfgWndCtrl.h"
#include "app/windows/KQConflictPrefixCfgWndCtrl.h"
#include "store/KQPreferences.h"

#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

using namespace kqwin;

namespace {

class ConflictSheets : public ::testing::Test
{
protected:
    void SetUp() override
    {
        window.resize(500, 400);
        window.show();
    }
    QMainWindow window;
};

} // namespace

TEST_F(ConflictSheets, DuplicateNameRefusesOkWithEveryPartOffAndKeepsTheKind)
{
    const auto kind = KQPreferences::sharePreferences()->conflictMetaDuplicateName();
    ASSERT_TRUE(kind);
    kind->setDuplicateFullName(true);
    auto* sheet = KQConflictDupNameCfgWndCtrl::shareConflictDupNameCfgWndCtrl();
    sheet->setConflictDupName(kind);
    std::optional<bool> answer;
    sheet->beginSheetForModalWindow(&window, [&answer](bool ok) { answer = ok; });
    ASSERT_TRUE(sheet->isVisible());
    auto* full = child<QCheckBox>(sheet, QStringLiteral("dupFullNameCheck"));
    EXPECT_TRUE(full->isChecked());
    full->click();
    for (const char* name :
         {"dupGivenNameCheck", "dupFamilyNameCheck", "dupMiddleNameCheck", "dupNamePrefixCheck", "dupNameSuffixCheck"})
        EXPECT_FALSE(child<QCheckBox>(sheet, QLatin1String(name))->isChecked()) << name;
    child<QPushButton>(sheet, QStringLiteral("okButton"))->click();
    const auto [message, informative] = answerAlert();
    EXPECT_EQ(message, QStringLiteral("No duplicate name has selected."));
    EXPECT_EQ(informative, QStringLiteral("You need to select one duplicate at least."));
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_FALSE(answer);
    EXPECT_TRUE(kind->duplicateFullName()) << "nothing is written before OK succeeds";

    // Given and family name only.
    child<QCheckBox>(sheet, QStringLiteral("dupGivenNameCheck"))->click();
    child<QCheckBox>(sheet, QStringLiteral("dupFamilyNameCheck"))->click();
    EXPECT_FALSE(full->isChecked());
    child<QPushButton>(sheet, QStringLiteral("okButton"))->click();
    EXPECT_FALSE(sheet->isVisible());
    EXPECT_EQ(answer, true);
    EXPECT_EQ(kind->duplicateNameMask(), 4 + 16);
    kind->setDuplicateFullName(true);
    KQPreferences::sharePreferences()->persistentConflictConfigs();
}

TEST_F(ConflictSheets, DuplicateNameCancelChangesNothing)
{
    const auto kind = KQPreferences::sharePreferences()->conflictMetaDuplicateName();
    kind->setDuplicateFullName(true);
    auto* sheet = KQConflictDupNameCfgWndCtrl::shareConflictDupNameCfgWndCtrl();
    sheet->setConflictDupName(kind);
    std::optional<bool> answer;
    sheet->beginSheetForModalWindow(&window, [&answer](bool ok) { answer = ok; });
    child<QCheckBox>(sheet, QStringLiteral("dupMiddleNameCheck"))->click();
    child<QPushButton>(sheet, QStringLiteral("cancelButton"))->click();
    EXPECT_EQ(answer, false);
    EXPECT_TRUE(kind->duplicateFullName());
}

namespace {

struct AllowedText
{
    const char* name;
    QString typed;
    QStringList entries;
};

void PrintTo(const AllowedText& t, std::ostream* out)
{
    *out << t.name;
}

class AllowedFixesText : public ConflictSheets, public ::testing::WithParamInterface<AllowedText>
{
};

} // namespace

TEST_P(AllowedFixesText, IsSplitAtEveryCommaExactlyAsTyped)
{
    const auto kind = KQPreferences::sharePreferences()->conflictMetaPrefix();
    ASSERT_TRUE(kind);
    const QStringList before = kind->availableFixs();
    auto* sheet = KQConflictPrefixCfgWndCtrl::sharedConflictPrefixCfgWndCtrl();
    sheet->setConflictPrefix(kind);
    std::optional<bool> answer;
    sheet->beginSheetForModalWindow(&window, [&answer](bool ok) { answer = ok; });
    EXPECT_EQ(child<QLabel>(sheet, QStringLiteral("sheetTitle"))->text(), QStringLiteral("Allow Prefixes"));
    auto* edit = child<QPushButton>(sheet, QStringLiteral("editButton"));
    auto* text = child<QPlainTextEdit>(sheet, QStringLiteral("fixText"));
    EXPECT_EQ(text->toPlainText(), before.join(QLatin1Char(',')));
    EXPECT_TRUE(text->isReadOnly());
    EXPECT_EQ(edit->text(), QStringLiteral("&Edit"));
    edit->click();
    EXPECT_FALSE(text->isReadOnly());
    EXPECT_EQ(edit->text(), QStringLiteral("&Done"));
    text->selectAll();
    text->clear();
    typeText(text, GetParam().typed);
    edit->click();
    EXPECT_EQ(kind->availableFixs(), GetParam().entries);
    EXPECT_EQ(child<QListWidget>(sheet, QStringLiteral("fixList"))->count(), GetParam().entries.size());

    // Cancel puts the list back.
    child<QPushButton>(sheet, QStringLiteral("cancelButton"))->click();
    EXPECT_EQ(answer, false);
    EXPECT_EQ(kind->availableFixs(), before);
}

INSTANTIATE_TEST_SUITE_P(Typing, AllowedFixesText,
                         ::testing::Values(AllowedText{"CommaAndSpaceKeepTheSpace",
                                                       QStringLiteral("Dr, Mr"),
                                                       {QStringLiteral("Dr"), QStringLiteral(" Mr")}},
                                           AllowedText{"EmptyTextIsOneEmptyEntry", QString(), {QString()}},
                                           AllowedText{"DoubleCommaIsAnEmptyEntry",
                                                       QStringLiteral("Dr,,Prof"),
                                                       {QStringLiteral("Dr"), QString(), QStringLiteral("Prof")}},
                                           AllowedText{
                                               "AccentsAndScriptsStay",
                                               QStringLiteral("Mme,Hr.,閣下"),
                                               {QStringLiteral("Mme"), QStringLiteral("Hr."), QStringLiteral("閣下")}}),
                         [](const ::testing::TestParamInfo<AllowedText>& row) { return std::string(row.param.name); });

TEST_F(ConflictSheets, AllowedSuffixesOkSavesAnEditAndResetBringsTheDefaults)
{
    const auto kind = KQPreferences::sharePreferences()->conflictMetaSuffix();
    ASSERT_TRUE(kind);
    auto* sheet = KQConflictPrefixCfgWndCtrl::sharedConflictPrefixCfgWndCtrl();
    sheet->setConflictPrefix(kind);
    std::optional<bool> answer;
    sheet->beginSheetForModalWindow(&window, [&answer](bool ok) { answer = ok; });
    EXPECT_EQ(child<QLabel>(sheet, QStringLiteral("sheetTitle"))->text(), QStringLiteral("Allow Suffixes"));
    // OK without a change answers false.
    child<QPushButton>(sheet, QStringLiteral("okButton"))->click();
    EXPECT_EQ(answer, false);

    sheet->beginSheetForModalWindow(&window, [&answer](bool ok) { answer = ok; });
    auto* edit = child<QPushButton>(sheet, QStringLiteral("editButton"));
    edit->click();
    auto* text = child<QPlainTextEdit>(sheet, QStringLiteral("fixText"));
    text->selectAll();
    text->clear();
    typeText(text, QStringLiteral("Jr,Sr"));
    edit->click();
    child<QPushButton>(sheet, QStringLiteral("okButton"))->click();
    EXPECT_EQ(answer, true);
    EXPECT_EQ(kind->availableFixs(), (QStringList{QStringLiteral("Jr"), QStringLiteral("Sr")}));
    // The list was saved: a fresh preferences object reads it back.
    const auto reread = KQPreferences::makeForTesting();
    ASSERT_TRUE(reread->conflictMetaSuffix());
    EXPECT_EQ(reread->conflictMetaSuffix()->availableFixs(), kind->availableFixs());

    sheet->beginSheetForModalWindow(&window, [&answer](bool ok) { answer = ok; });
    child<QPushButton>(sheet, QStringLiteral("resetButton"))->click();
    EXPECT_EQ(kind->availableFixs(), KQConflictMetaPrefix::defaultAvailableSuffix());
    child<QPushButton>(sheet, QStringLiteral("okButton"))->click();
    EXPECT_EQ(answer, true);
}
