// A new user's first session, through the real widgets: import the corpus's cards into Last Import,
// drag them onto the account, make a group and fill it, search, scan and review the problems (fix
// all of a group, merge an item), delete and put back, tag and filter, back up and restore, export,
// and find everything as it was left on the next start.
#include "KQMainWindowTestSupport.h"
#include "app/windows/KQBackupPaneCtrl.h"
#include "app/windows/KQConflictEditViewCtrl.h"
#include "app/windows/KQConflictReviewViewCtrl.h"
#include "app/windows/KQConflictWndCtrl.h"
#include "app/windows/KQPreferencesWndCtrl.h"
#include "app/windows/KQTagsViewController.h"
#include "app/windows/KQToolbarViewCtrl.h"
#include "problems/KQConflictResult.h"
#include "store/KQContainerRecyle.h"
#include "store/KQPreferences.h"
#include "store/KQStorage.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDirIterator>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

namespace {

QStringList corpusCards()
{
    QStringList paths;
    QDirIterator it(QStringLiteral(KQ_CORPUS_DIR), {QStringLiteral("*.vcf")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        paths << it.next();
    paths.sort();
    return paths;
}

QAction* actionNamed(QWidget& window, const char* name)
{
    return window.findChild<QAction*>(QString::fromLatin1(name));
}

// The message box the review window shows without blocking, when one is open.
QMessageBox* openAlert()
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible())
            return box;
    }
    return nullptr;
}

} // namespace

TEST(NewUserPath, FirstSessionFromImportToRestartKeepsEverything)
{
    const QStringList cards = corpusCards();
    if (cards.isEmpty())
        GTEST_SKIP() << "the contact corpus is not here";
    KQAlertScript script;
    KQContactManager* manager = KQContactManager::sharedContactManager();
    KQContactStoreHelper* store = KQContactStoreHelper::shared();
    ASSERT_TRUE(kqWaitForAccounts());
    const QString local = store->contactStore()->defaultContainerIdentifier();
    const KQContainerHelperPtr account = manager->containerHelperWithIdentifier(local);
    ASSERT_TRUE(account);

    auto window = std::make_unique<KQMainWindow>(manager);
    window->show();
    KQContactsViewController* contacts = window->contactsViewController();
    KQToolbarViewCtrl* toolbar = window->toolbarViewCtrl();
    ASSERT_TRUE(window->selectGroupTreeNode(account.get()));
    ASSERT_TRUE(kqWaitListed(contacts, 0)); // an empty store

    // 1. Import every card of the corpus into Last Import from the toolbar.
    toolbar->setOpenPanel([&cards](QWidget*, const QStringList&) { return cards; });
    actionNamed(*window, "importAction")->trigger();
    ASSERT_TRUE(kqWaitUntil([toolbar] { return !toolbar->isBusy(); }, 60000));
    int imported = manager->latestImport()->countOfContacts();
    ASSERT_GT(imported, 20);
    ASSERT_TRUE(window->selectGroupTreeNode(manager->latestImport().get()));
    ASSERT_TRUE(kqWaitListed(contacts, imported));

    // 2. Drag them all onto the account.
    contacts->listView()->selectAll();
    EXPECT_EQ(kqDragSelectionOnto(*window, account.get()), Qt::MoveAction);
    ASSERT_TRUE(kqWaitSheetClosed(60000));
    ASSERT_TRUE(kqWaitListed(contacts, 0));
    ASSERT_TRUE(window->selectGroupTreeNode(account.get()));
    ASSERT_TRUE(kqWaitListed(contacts, imported));

    // 3. A new group, named in place, and two contacts dragged into it.
    window->groupsViewController()->addAGroup(account);
    KQGroupTreeNodePtr friends = window->selectedGroupTreeNode();
    ASSERT_TRUE(KQDropRules::isGroup(friends.get()));
    auto* tree = window->groupsViewController()->groupTreeModel();
    ASSERT_TRUE(tree->setData(tree->indexForNode(friends.get()), QStringLiteral("Friends")));
    EXPECT_EQ(friends->groupName(), QStringLiteral("Friends"));
    ASSERT_TRUE(window->selectGroupTreeNode(account.get()));
    ASSERT_TRUE(kqWaitListed(contacts, imported));
    contacts->selectContactHelpersAtIndexes({0, 1});
    const KQContactHelperList pair = contacts->selectedContactHelpers();
    EXPECT_EQ(kqDragSelectionOnto(*window, friends.get()), Qt::CopyAction);
    ASSERT_TRUE(kqWaitSheetClosed());
    ASSERT_TRUE(window->selectGroupTreeNode(friends.get()));
    ASSERT_TRUE(kqWaitListed(contacts, 2));

    // 4. Search the account.
    ASSERT_TRUE(window->selectGroupTreeNode(account.get()));
    ASSERT_TRUE(kqWaitListed(contacts, imported));
    const QString wanted = pair.front()->displayName();
    // Names from the corpus are not all Latin-1, which key clicks cannot type.
    window->findChild<QLineEdit*>(QStringLiteral("searchField"))->setText(wanted);
    ASSERT_TRUE(kqWaitUntil([contacts] { return !contacts->isLoading(); }));
    EXPECT_TRUE(kqListedNames(contacts).contains(wanted));
    EXPECT_LT(static_cast<int>(contacts->contactHelpers().size()), imported);
    contacts->setSearchKeywords(QString());
    ASSERT_TRUE(kqWaitListed(contacts, imported));

    // 5. Scan the account and review the result: fix all of one group, merge one duplicate item.
    KQConflictResultPtr scanned;
    bool scanDone = false;
    toolbar->setScanResultHandler([&scanned](const KQConflictResultPtr& result, QWidget*) { scanned = result; });
    QObject::connect(toolbar, &KQToolbarViewCtrl::scanFinished, [&scanDone] { scanDone = true; });
    actionNamed(*window, "scanAction")->trigger();
    ASSERT_TRUE(kqWaitUntil([&scanDone] { return scanDone; }, 60000));
    ASSERT_TRUE(scanned) << "the corpus holds duplicates, so the review window opens";
    const int groupsFound = scanned->countOfConflictGroups();
    EXPECT_GT(groupsFound, 1);
    {
        KQConflictWndCtrl review;
        review.setAttribute(Qt::WA_DeleteOnClose, false);
        review.runModalForWindow(window.get(), scanned);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&review));
        const auto click = [&review](const char* name) {
            review.findChild<QAbstractButton*>(QLatin1String(name))->click();
            EXPECT_TRUE(kqWaitUntil([&review] { return !review.busy(); }, 60000));
            kqSpin(20);
        };
        // Merge the first item of the first duplicate group.
        auto* list = review.findChild<QTreeWidget*>(QStringLiteral("conflictList"));
        int duplicates = -1;
        for (int g = 0; g < scanned->countOfConflictGroups() && duplicates < 0; ++g) {
            const QString kind = scanned->conflictGroupAtIndex(g)->conflictMeta()->name();
            if (kind == KQConflictName::DuplicateName || kind == KQConflictName::ExactDuplicateContacts)
                duplicates = g;
        }
        ASSERT_GE(duplicates, 0) << "the corpus holds the same person twice";
        list->setCurrentItem(list->topLevelItem(duplicates)->child(0));
        click("fixButton");
        ASSERT_TRUE(review.isComparing());
        click("mergeButton");
        EXPECT_TRUE(review.editViewCtrl()->mergeOpened());
        click("okButton");
        EXPECT_EQ(openAlert(), nullptr);
        // Fix all of the group now first in the list, comparing where its solution is an edit.
        if (review.isVisible() && !scanned->empty()) {
            const auto group = review.reviewViewCtrl()->currentConflictGroup();
            ASSERT_TRUE(group);
            click("fixAllButton");
            for (int round = 0; round < 500 && review.isVisible() && review.isComparing(); ++round) {
                auto* next = review.findChild<QAbstractButton*>(QStringLiteral("nextButton"));
                click(next->isEnabled() ? "nextButton" : "okButton");
            }
        }
        EXPECT_LT(scanned->countOfConflictGroups(), groupsFound);
        // Closing with problems left asks first.
        if (review.isVisible()) {
            review.close();
            if (QMessageBox* box = openAlert())
                box->button(QMessageBox::Ok)->click();
            ASSERT_TRUE(kqWaitUntil([&review] { return !review.isVisible(); }));
        }
    }
    // The merge left fewer contacts; the sources wait in the Trash. Counted from the store, not
    // from the list, which may still be filling.
    window->groupsViewController()->refreshContactsStore();
    ASSERT_TRUE(kqWaitForAccounts());
    ASSERT_TRUE(account->syncLoadContactsIfNecessary());
    EXPECT_LT(account->countOfContacts(), imported);
    imported = account->countOfContacts();
    const int trashed = manager->recyle()->countOfContacts();
    EXPECT_GE(trashed, 2);
    friends = kqGroupNamed(account, QStringLiteral("Friends")); // the refresh made the nodes anew
    ASSERT_TRUE(friends);
    ASSERT_TRUE(friends->syncLoadContactsIfNecessary());
    const int friendsLeft = friends->countOfContacts();
    ASSERT_TRUE(window->selectGroupTreeNode(account.get()));
    ASSERT_TRUE(kqWaitListed(contacts, imported));

    // 6. Delete a contact and put it back.
    contacts->selectContactHelpersAtIndexes({2});
    const QString deleted = contacts->selectedContactHelpers().front()->displayName();
    script.answers = {0};
    actionNamed(*window, "deleteMenuAction")->trigger();
    ASSERT_TRUE(kqWaitSheetClosed());
    ASSERT_TRUE(kqWaitListed(contacts, imported - 1));
    ASSERT_TRUE(window->selectGroupTreeNode(manager->recyle().get()));
    ASSERT_TRUE(kqWaitListed(contacts, trashed + 1));
    ASSERT_TRUE(kqSelectByName(contacts, {deleted}));
    actionNamed(*window, "putBackMenuAction")->trigger();
    ASSERT_TRUE(kqWaitSheetClosed());
    ASSERT_TRUE(kqWaitListed(contacts, trashed));
    window->groupsViewController()->refreshContactsStore();
    ASSERT_TRUE(window->selectGroupTreeNode(account.get()));
    ASSERT_TRUE(kqWaitListed(contacts, imported, 20000));
    EXPECT_TRUE(kqListedNames(contacts).contains(deleted));

    // 7. Tag two contacts and filter by the tag.
    contacts->selectContactHelpersAtIndexes({0, 3});
    contacts->addTagToSelection(KQTag::create(QStringLiteral("Book club")));
    auto* tags = window->findChild<QListWidget*>(QStringLiteral("tagList"));
    ASSERT_EQ(tags->count(), 1);
    tags->setCurrentRow(0);
    ASSERT_TRUE(kqWaitListed(contacts, 2));
    tags->clearSelection();
    ASSERT_TRUE(kqWaitListed(contacts, imported));

    // 8. Back up the account, change it, restore it.
    QTemporaryDir backups;
    auto preferences = std::make_unique<KQPreferencesWndCtrl>(manager, window.get());
    preferences->show();
    KQBackupPaneCtrl* pane = preferences->backupPane();
    pane->setFolderPanel([&backups](QWidget*) { return backups.path(); });
    for (int row = 0; row < static_cast<int>(pane->allStoreContainers().size()); ++row) {
        if (pane->allStoreContainers()[static_cast<size_t>(row)]->identifier() == local)
            pane->selectContainer(row);
    }
    preferences->findChild<QPushButton*>(QStringLiteral("backupButton"))->click();
    ASSERT_TRUE(kqWaitUntil([pane] { return !pane->isRunning() && !pane->containerBackups().empty(); }, 60000));
    contacts->selectContactHelpersAtIndexes({0});
    script.answers = {0};
    contacts->deleteContact();
    ASSERT_TRUE(kqWaitSheetClosed());
    ASSERT_TRUE(kqWaitListed(contacts, imported - 1));
    bool restored = false;
    QObject::connect(pane, &KQBackupPaneCtrl::restoreEnded, [&restored] { restored = true; });
    QObject::connect(pane, &KQBackupPaneCtrl::restoreEnded, window.get(),
                     [&window] { window->groupsViewController()->refreshContactsStore(); });
    pane->selectBackup(0);
    script.answers = {0}; // "Restore"
    preferences->findChild<QPushButton*>(QStringLiteral("restoreButton"))->click();
    ASSERT_TRUE(kqWaitUntil([&restored] { return restored; }, 60000));
    ASSERT_TRUE(kqWaitListed(contacts, imported, 30000));
    preferences.reset();

    // 9. Export the account to every format offered. Formats written by packages join this loop
    //    as the export menu offers them.
    QTemporaryDir exports;
    QStringList written;
    for (const qint32 type : KQToolbarViewCtrl::supportExportFormats()) {
        const QString path = exports.filePath(
            QStringLiteral("all-%1.%2").arg(type).arg(KQContactFormat::extensionsWithFormatType(type).value(0)));
        toolbar->setExportOptionsPanel([type](QWidget*, const QList<qint32>& offered, int) {
            EXPECT_TRUE(offered.contains(type));
            return KQContactFormat::contactFormatWithType(type);
        });
        toolbar->setSavePanel([path](QWidget*, const KQContactFormat&) { return path; });
        contacts->resetSelectedAndDetailControl();
        actionNamed(*window, "exportAction")->trigger();
        ASSERT_TRUE(kqWaitUntil([toolbar] { return !toolbar->isBusy(); }, 60000));
        EXPECT_GT(QFileInfo(path).size(), 0) << path.toStdString();
        written << path;
    }
    EXPECT_EQ(written.size(), KQToolbarViewCtrl::supportExportFormats().size());

    // 10. Quit and start again: the same contacts, group, tag and window layout.
    window->resize(1100, 700);
    window->contentSplit()->setSizes({300, 800});
    kqSpin(50);
    const QList<int> splits = window->contentSplit()->sizes();
    const QSize size = window->size();
    window->close();
    window.reset();
    const KQTagsManagerPtr tagsAgain = manager->storage()->loadDefaultTagsManager();
    ASSERT_EQ(tagsAgain->countOfTags(), 1);
    EXPECT_EQ(tagsAgain->objectInTagsAtIndex(0)->name(), QStringLiteral("Book club"));
    ASSERT_TRUE(kqReloadAccounts());
    KQMainWindow again(manager);
    again.show();
    kqSpin(50);
    EXPECT_EQ(again.size(), size);
    EXPECT_NEAR(again.contentSplit()->sizes().value(0), splits.value(0), 2); // the sidebar's width
    KQContactsViewController* list = again.contactsViewController();
    ASSERT_TRUE(again.selectGroupTreeNode(account.get()));
    ASSERT_TRUE(kqWaitListed(list, imported, 20000));
    const KQGroupTreeNodePtr friendsAgain = kqGroupNamed(account, QStringLiteral("Friends"));
    ASSERT_TRUE(friendsAgain);
    ASSERT_TRUE(again.selectGroupTreeNode(friendsAgain.get()));
    ASSERT_TRUE(kqWaitListed(list, friendsLeft));
}
