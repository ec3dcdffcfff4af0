#pragma once
// The problem window: shows a scan result until the user closes it or the last problem is fixed.
// Its content is either the review list or the compare view of one item. Fixes and merges run in
// the background with the shared progress sheet; the window owns the result while it is open and
// hides the main window meanwhile.

#include "app/windows/KQConflictEditViewCtrl.h"
#include "app/windows/KQConflictReviewViewCtrl.h"
#include "problems/KQConflictFixer.h"

#include <QPointer>
#include <QWidget>

class QStackedWidget;

class KQConflictWndCtrl : public QWidget,
                          public KQConflictFixerDelegate,
                          public KQConflictReviewViewCtrlDelegate,
                          public KQConflictEditViewCtrlDelegate
{
    Q_OBJECT
public:
    static KQConflictWndCtrl* sharedConflictWndCtrl();
    explicit KQConflictWndCtrl(QWidget* parent = nullptr);
    ~KQConflictWndCtrl() override;

    // Shows result (its groups put into the order of the preferences' kinds) in the review list,
    // brings this window to the front and hides modalWindow until this window closes.
    void runModalForWindow(QWidget* modalWindow, const KQConflictResultPtr& result);
    void showConflictResult(const KQConflictResultPtr& result, QWidget* modalWindow)
    {
        runModalForWindow(modalWindow, result);
    }
    // Puts the result's groups into the order of kinds (groups of kinds not listed are dropped).
    static void conflictResultSort(KQConflictResult& result, const std::vector<KQConflictMetaPtr>& kinds);

    const KQConflictResultPtr& conflictResult() const { return m_result; }
    QWidget* modalWindow() const { return m_modalWindow; }
    KQConflictReviewViewCtrl* reviewViewCtrl() const { return m_review; }
    KQConflictEditViewCtrl* editViewCtrl() const { return m_edit; }
    bool isComparing() const;
    // Where fixes write (the process's store, storage and preferences unless set).
    void setFixEnvironment(const KQConflictFixEnvironment& environment) { m_env = environment; }
    const KQConflictFixEnvironment& fixEnvironment() const;
    // True while a fix or merge runs in the background.
    bool busy() const { return m_busy; }

    // Switches to the compare view for the current item (group: Fix All's group, else none).
    void selectCurrentItemToCompare(bool all);

    // --- delegates
    void conflictReviewViewCtrlRequireFix(KQConflictReviewViewCtrl* review, bool all) override;
    void conflictEditViewCtrlRequireSaveAndClose(KQConflictEditViewCtrl* edit) override;
    void conflictEditViewCtrlRequireSaveAndNext(KQConflictEditViewCtrl* edit) override;
    void conflictEditViewCtrlRequireClose(KQConflictEditViewCtrl* edit) override;
    void conflictFixerShowProgress(const QString& label, double percent) override;
    bool conflictFixerQueryCancelWithProgress(double percent) override;
    void conflictFixerCloseProgress() override;
    void conflictFixerDidSelect(const KQConflictGroupPtr& group, const KQConflictItemPtr& item) override;
    void conflictFixerDidFinishAll() override;

Q_SIGNALS:
    // The window opened on a result: the main window's contact list stops following group changes.
    void windowDidOpen();
    // The window closed (the result is gone): the main window comes back and reloads its list.
    void windowDidClose();
    // A fix or merge finished (the store has been written).
    void fixFinished();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void showReview();
    void afterCloseWindow();
    // Writes the Trash from a worker, from a copy of its entry list taken now, so that a Trash of
    // thousands of entries never stops the window.
    void saveTrashInBackground();
    std::shared_ptr<KQConflictFixer> fixer();
    // Saves the compared item (edits, or the merge) and then runs next with the item's former index.
    void saveCompared(bool closeAfter);
    void finishSave(const KQConflictGroupPtr& group, const KQConflictItemPtr& item, int formerIndex, bool closeAfter,
                    bool wasAll);

    KQConflictResultPtr m_result;
    QPointer<QWidget> m_modalWindow;
    QStackedWidget* m_stack;
    KQConflictReviewViewCtrl* m_review;
    KQConflictEditViewCtrl* m_edit;
    std::shared_ptr<KQConflictFixer> m_fixer;
    mutable KQConflictFixEnvironment m_env;
    bool m_forceClose = false;
    bool m_busy = false;
    bool m_sheetShown = false;
};
