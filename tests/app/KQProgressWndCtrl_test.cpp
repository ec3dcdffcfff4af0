// The progress sheet: its shown text, the Cancel flag a worker reads, and that it never closes on
// its own.

#include "KQTestUtil.h"
#include "app/windows/KQProgressWndCtrl.h"

#include <QLabel>
#include <QMainWindow>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>
#include <thread>

namespace {

QString shownText(KQProgressWndCtrl* sheet)
{
    return sheet->findChild<QLabel*>(QStringLiteral("progressLabel"))->text();
}

} // namespace

TEST(ProgressSheet, ShowsTheLabelWithTwoDecimalsOfPercent)
{
    KQProgressWndCtrl* sheet = KQProgressWndCtrl::sharedProgressWndCtrl();
    sheet->reset();
    EXPECT_EQ(shownText(sheet), QStringLiteral("Waiting...(0.00%)"));
    sheet->setProgressLabel(QStringLiteral("Backing up"));
    sheet->setPercent(0.5 * 100);
    EXPECT_EQ(shownText(sheet), QStringLiteral("Backing up(50.00%)"));
    sheet->setPercent(250); // a job that overshoots is shown as done, not past it
    EXPECT_EQ(sheet->displayLabel(), QStringLiteral("Backing up(100.00%)"));
    EXPECT_EQ(sheet->findChild<QProgressBar*>(QStringLiteral("progressBar"))->value(), 10000);
}

TEST(ProgressSheet, CancelSetsTheFlagAWorkerReadsAndLeavesTheSheetOpen)
{
    QMainWindow window;
    window.resize(600, 400);
    window.show();
    KQProgressWndCtrl* sheet = KQProgressWndCtrl::sharedProgressWndCtrl();
    sheet->reset(QStringLiteral("Scanning"));
    sheet->beginSheetForWindow(&window);
    ASSERT_TRUE(sheet->isVisible());
    EXPECT_EQ(sheet->windowModality(), Qt::WindowModal);

    std::atomic<int> itemsAfterCancel{-1};
    std::thread worker([sheet, &itemsAfterCancel] {
        int items = 0;
        while (!sheet->cancelled() && items < 1000000) {
            sheet->postProgress(items % 100);
            ++items;
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        itemsAfterCancel = items;
    });
    kqSpin(50);
    QTest::mouseClick(sheet->findChild<QPushButton*>(QStringLiteral("cancelButton")), Qt::LeftButton);
    worker.join();
    EXPECT_LT(itemsAfterCancel.load(), 1000000);
    EXPECT_TRUE(sheet->cancelled());
    EXPECT_TRUE(sheet->isVisible()) << "the job closes the sheet, not the button";

    // Escape and the window's close button also cancel, and neither closes it.
    sheet->reset();
    QTest::keyClick(sheet, Qt::Key_Escape);
    EXPECT_TRUE(sheet->cancelled());
    sheet->reset();
    sheet->close();
    EXPECT_TRUE(sheet->cancelled());
    EXPECT_TRUE(sheet->isVisible());
    sheet->endSheet();
    EXPECT_FALSE(sheet->isVisible());
}

TEST(ProgressSheet, AHiddenCancelButtonCannotBeReachedByEscape)
{
    KQProgressWndCtrl* sheet = KQProgressWndCtrl::sharedProgressWndCtrl();
    sheet->reset();
    sheet->setHideCancelButton(true);
    sheet->beginSheetForWindow(nullptr);
    EXPECT_FALSE(sheet->findChild<QPushButton*>(QStringLiteral("cancelButton"))->isVisible());
    QTest::keyClick(sheet, Qt::Key_Escape);
    EXPECT_FALSE(sheet->cancelled());
    sheet->setHideCancelButton(false);
    sheet->endSheet();
}

TEST(ProgressSheet, OutlivesTheWindowItWasShownOn)
{
    auto* window = new QMainWindow;
    window->show();
    KQProgressWndCtrl::sharedProgressWndCtrl()->beginSheetForWindow(window);
    delete window; // takes the sheet with it
    KQProgressWndCtrl* sheet = KQProgressWndCtrl::sharedProgressWndCtrl();
    ASSERT_NE(sheet, nullptr);
    sheet->reset();
    EXPECT_EQ(sheet->displayLabel(), QStringLiteral("Waiting...(0.00%)"));
}
