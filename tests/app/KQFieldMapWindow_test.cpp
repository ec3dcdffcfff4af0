// The field-map window over the shared controller: the proposal is shown, a changed pop-up changes
// the answer, closing the window cancels the file.
#include "KQAppTestSupport.h"
#include "app/windows/KQFieldMapWindow.h"
#include "exchange/KQFieldMapWndCtrl.h"

#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QTableWidget>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// Acts on the window once it is up, then closes it with accept or reject.
void answerWindow(const std::function<void(KQFieldMapWindow&)>& act, bool accept)
{
    QTimer::singleShot(0, [act, accept] {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            auto* window = qobject_cast<KQFieldMapWindow*>(top);
            if (window == nullptr || !window->isVisible())
                continue;
            act(*window);
            accept ? window->accept() : window->reject();
            return;
        }
    });
}

} // namespace

TEST(FieldMapWindow, ShowsTheProposalAndAnswersTheChangedChoice)
{
    KQFieldMapWindow::installPresenter(nullptr);
    KQFieldMapWndCtrl* controller = KQFieldMapWndCtrl::shared();
    controller->setFieldsTitle(QStringLiteral("people.csv"));
    const QStringList titles = {QStringLiteral("First"), QStringLiteral("Surname"), QStringLiteral("Mystery")};
    const QStringList proposal = {CNContactGivenNameKey, CNContactFamilyNameKey, QStringLiteral("unknown column")};
    QStringList shownTitles;
    QString header;
    answerWindow(
        [&](KQFieldMapWindow& window) {
            QTableWidget* table = window.table();
            header = table->horizontalHeaderItem(0)->text();
            for (int row = 0; row < table->rowCount(); ++row)
                shownTitles << table->item(row, 0)->text();
            auto* mystery = qobject_cast<QComboBox*>(table->cellWidget(2, 1));
            ASSERT_NE(mystery, nullptr);
            mystery->setCurrentText(KQFieldMapItem::labelForPropertyKey(CNContactNoteKey));
        },
        true);
    const QStringList answer = controller->runModalWithField(titles, proposal);
    EXPECT_EQ(header, QStringLiteral("people.csv"));
    EXPECT_EQ(shownTitles, titles);
    EXPECT_EQ(answer, (QStringList{CNContactGivenNameKey, CNContactFamilyNameKey, CNContactNoteKey}));
    controller->setPresenter({});
}

TEST(FieldMapWindow, ClosingTheWindowCancelsTheFile)
{
    KQFieldMapWindow::installPresenter(nullptr);
    answerWindow([](KQFieldMapWindow&) {}, false);
    const QStringList answer =
        KQFieldMapWndCtrl::shared()->runModalWithField({QStringLiteral("First")}, {CNContactGivenNameKey});
    EXPECT_TRUE(answer.isEmpty());
    KQFieldMapWndCtrl::shared()->setPresenter({});
}
