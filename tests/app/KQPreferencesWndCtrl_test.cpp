// The preferences window: the select-all boxes, the settings it writes, and backups made, removed
// and restored from its Backup tab.
#include "KQMainWindowTestSupport.h"
#include "app/windows/KQBackupPaneCtrl.h"
#include "app/windows/KQPreferencesWndCtrl.h"
#include "problems/KQConflictMeta.h"
#include "store/KQPreferences.h"
#include "store/KQStorage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>

namespace {

class PreferencesWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        manager = KQContactManager::sharedContactManager();
        ASSERT_TRUE(kqWaitForAccounts());
        preferences = KQPreferences::sharePreferences();
        window = std::make_unique<KQPreferencesWndCtrl>(manager);
        window->show();
    }
    void TearDown() override
    {
        window.reset();
        preferences->setBackupSavePath(std::nullopt);
    }

    template <typename T> T* child(const char* name) const
    {
        T* found = window->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    KQAlertScript script;
    KQContactManager* manager = nullptr;
    KQPreferences* preferences = nullptr;
    std::unique_ptr<KQPreferencesWndCtrl> window;
};

} // namespace

TEST_F(PreferencesWindowTest, UncheckingOneFieldClearsSelectAllAndCheckingItAgainSetsIt)
{
    auto* all = child<QCheckBox>("selectAllFields");
    auto* list = child<QListWidget>("exportFieldList");
    ASSERT_GT(list->count(), 2);
    ASSERT_TRUE(all->isChecked());
    list->item(1)->setCheckState(Qt::Unchecked);
    EXPECT_FALSE(all->isChecked());
    EXPECT_FALSE(preferences->availableExportFields()[1]->validate());
    list->item(1)->setCheckState(Qt::Checked);
    EXPECT_TRUE(all->isChecked());
    EXPECT_TRUE(preferences->availableExportFields()[1]->validate());
}

TEST_F(PreferencesWindowTest, SelectAllSetsEveryCheckMarkOfItsListAndTheyPersist)
{
    auto* all = child<QCheckBox>("selectAllConflicts");
    auto* list = child<QListWidget>("conflictList");
    all->click();
    EXPECT_FALSE(all->isChecked());
    for (int row = 0; row < list->count(); ++row)
        EXPECT_EQ(list->item(row)->checkState(), Qt::Unchecked) << row;
    // As the next start reads them.
    const auto reread = KQPreferences::makeForTesting();
    for (const auto& meta : reread->availableConflicts())
        EXPECT_FALSE(meta->validate()) << meta->name().toStdString();
    all->click();
    EXPECT_TRUE(all->isChecked());
    const auto rereadAgain = KQPreferences::makeForTesting();
    for (const auto& meta : rereadAgain->availableConflicts())
        EXPECT_TRUE(meta->validate()) << meta->name().toStdString();
}

TEST_F(PreferencesWindowTest, NameOrderAndAddressFormatAreWrittenToTheSettings)
{
    auto* order = child<QCheckBox>("nameOrderCheck");
    order->click();
    EXPECT_TRUE(preferences->showFirstNameFollowingLastName());
    order->click();
    EXPECT_FALSE(preferences->showFirstNameFollowingLastName());
    auto* format = child<QComboBox>("addressFormatCombo");
    const int row = format->findText(QStringLiteral("Germany"));
    ASSERT_GE(row, 0);
    format->setCurrentIndex(row);
    EXPECT_EQ(preferences->defaultAddressFormatContryRegionName(), QStringLiteral("Germany"));
}

TEST_F(PreferencesWindowTest, BackUpWithoutAFolderAsksForOneAndCancellingStartsNothing)
{
    KQBackupPaneCtrl* pane = window->backupPane();
    int asked = 0;
    pane->setFolderPanel([&asked](QWidget*) {
        ++asked;
        return QString();
    });
    ASSERT_TRUE(pane->allowBackup());
    const size_t before = pane->containerBackups().size();
    child<QPushButton>("backupButton")->click();
    EXPECT_EQ(asked, 1);
    kqSpin(100);
    EXPECT_FALSE(pane->isRunning());
    EXPECT_EQ(pane->containerBackups().size(), before);
    EXPECT_FALSE(preferences->backupSavePath().has_value());
}

TEST_F(PreferencesWindowTest, BackupIsListedRemovedWithItsFileAndAMissingFileCannotBeRestored)
{
    QTemporaryDir folder;
    KQBackupPaneCtrl* pane = window->backupPane();
    pane->setFolderPanel([&folder](QWidget*) { return folder.path(); });
    child<QPushButton>("backupButton")->click();
    ASSERT_TRUE(kqWaitUntil([pane] { return !pane->isRunning() && !pane->containerBackups().empty(); }, 20000));
    const KQContainerBackupPtr made = pane->containerBackups().front();
    EXPECT_TRUE(QFileInfo::exists(made->backupFile()));
    auto* list = child<QListWidget>("backupList");
    EXPECT_EQ(list->count(), static_cast<int>(pane->containerBackups().size()));
    EXPECT_EQ(list->item(0)->text(), made->humanReadableDate());

    // Moved away: the restore stops at the alert and the account is untouched.
    const QString aside = made->backupFile() + QStringLiteral(".moved");
    ASSERT_TRUE(QFile::rename(made->backupFile(), aside));
    pane->selectBackup(0);
    child<QPushButton>("restoreButton")->click();
    ASSERT_EQ(script.alerts.size(), 1u);
    EXPECT_EQ(script.alerts[0].message, QStringLiteral("Warning"));
    EXPECT_EQ(script.alerts[0].informativeText,
              QStringLiteral("Restore failed, the backup file may be deleted or moved and cannot be found."));
    EXPECT_FALSE(pane->isRunning());
    ASSERT_TRUE(QFile::rename(aside, made->backupFile()));

    // Removed: gone from the list at once, its file deleted, no question asked.
    const size_t before = pane->containerBackups().size();
    pane->selectBackup(0);
    child<QPushButton>("removeBackupButton")->click();
    EXPECT_EQ(pane->containerBackups().size(), before - 1);
    EXPECT_EQ(list->count(), static_cast<int>(before - 1));
    EXPECT_FALSE(QFileInfo::exists(made->backupFile()));
    EXPECT_EQ(script.alerts.size(), 1u);
}

TEST_F(PreferencesWindowTest, ConfigureGoesToTheHandlerForKindsWithSettingsOnly)
{
    auto* configure = child<QPushButton>("configureConflict");
    EXPECT_TRUE(configure->isHidden());
    std::vector<QString> configured;
    window->setConfigureConflictHandler(
        [&configured](const KQConflictMetaPtr& meta, QWidget*) { configured.push_back(meta->name()); });
    EXPECT_FALSE(configure->isHidden());
    auto* list = child<QListWidget>("conflictList");
    const auto& metas = preferences->availableConflicts();
    int withSettings = -1;
    int without = -1;
    for (int row = 0; row < static_cast<int>(metas.size()); ++row) {
        if (metas[static_cast<size_t>(row)]->allowConfig() && withSettings < 0)
            withSettings = row;
        if (!metas[static_cast<size_t>(row)]->allowConfig() && without < 0)
            without = row;
    }
    ASSERT_GE(withSettings, 0);
    ASSERT_GE(without, 0);
    list->setCurrentRow(without);
    EXPECT_FALSE(configure->isEnabled());
    list->setCurrentRow(withSettings);
    ASSERT_TRUE(configure->isEnabled());
    configure->click();
    ASSERT_EQ(configured.size(), 1u);
    EXPECT_EQ(configured[0], metas[static_cast<size_t>(withSettings)]->name());
}
