#include "app/windows/KQConflictWndCtrl.h"

#include "app/windows/KQAlert.h"
#include "app/windows/KQProgressWndCtrl.h"
#include "platform/KQDispatch.h"
#include "problems/KQConflictMetaPrefix.h"
#include "store/KQContainerRecyle.h"
#include "store/KQPreferences.h"
#include "store/KQStorage.h"

#include <QCloseEvent>
#include <QScreen>
#include <QStackedWidget>
#include <QVBoxLayout>

KQConflictWndCtrl* KQConflictWndCtrl::sharedConflictWndCtrl()
{
    static QPointer<KQConflictWndCtrl> shared;
    if (!shared)
        shared = new KQConflictWndCtrl(nullptr);
    return shared;
}

KQConflictWndCtrl::KQConflictWndCtrl(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("conflictWindow"));
    setWindowTitle(tr("Problems"));
    auto* layout = new QVBoxLayout(this);
    m_stack = new QStackedWidget(this);
    m_review = new KQConflictReviewViewCtrl(m_stack);
    m_edit = new KQConflictEditViewCtrl(m_stack);
    m_review->setDelegate(this);
    m_edit->setDelegate(this);
    m_stack->addWidget(m_review);
    m_stack->addWidget(m_edit);
    layout->addWidget(m_stack);
    // A size that follows the font, so that larger text and scales get a larger window.
    const int line = fontMetrics().height();
    resize(line * 60, line * 38);
}

KQConflictWndCtrl::~KQConflictWndCtrl()
{
    if (m_fixer)
        m_fixer->setDelegate(nullptr);
}

const KQConflictFixEnvironment& KQConflictWndCtrl::fixEnvironment() const
{
    if (m_env.store == nullptr)
        m_env = KQConflictFixEnvironment::shared();
    return m_env;
}

std::shared_ptr<KQConflictFixer> KQConflictWndCtrl::fixer()
{
    if (!m_fixer || m_fixer->result() != m_result) {
        if (m_fixer)
            m_fixer->setDelegate(nullptr);
        // The fixer leaves the Trash file to the window, which writes it off the main thread.
        KQConflictFixEnvironment environment = fixEnvironment();
        environment.storage = nullptr;
        m_fixer = KQConflictFixer::create(m_result, environment);
        m_fixer->setDelegate(this);
    }
    return m_fixer;
}

void KQConflictWndCtrl::conflictResultSort(KQConflictResult& result, const std::vector<KQConflictMetaPtr>& kinds)
{
    std::vector<KQConflictGroupPtr> ordered;
    const auto groups = result.conflictGroups();
    for (const auto& kind : kinds) {
        for (const auto& group : groups) {
            if (group->conflictMeta() == kind) {
                ordered.push_back(group);
                break;
            }
        }
    }
    result.setConflictGroups(ordered);
}

void KQConflictWndCtrl::runModalForWindow(QWidget* modalWindow, const KQConflictResultPtr& result)
{
    Q_EMIT windowDidOpen();
    m_result = result;
    m_forceClose = false;
    if (m_result) {
        KQPreferences* preferences = fixEnvironment().preferences;
        if (preferences == nullptr)
            preferences = KQPreferences::sharePreferences();
        conflictResultSort(*m_result, preferences->availableConflicts());
    }
    fixer();
    m_edit->cleanComparedInfo();
    m_review->setConflictResult(m_result);
    showReview();
    m_modalWindow = modalWindow;
    show();
    raise();
    activateWindow();
    if (m_modalWindow)
        m_modalWindow->hide();
}

bool KQConflictWndCtrl::isComparing() const
{
    return m_stack->currentWidget() == m_edit;
}

void KQConflictWndCtrl::showReview()
{
    m_stack->setCurrentWidget(m_review);
}

void KQConflictWndCtrl::selectCurrentItemToCompare(bool all)
{
    const KQConflictGroupPtr group = m_review->currentConflictGroup();
    const KQConflictItemPtr item = m_review->currentConflictItem();
    if (!group || !item)
        return;
    m_edit->compareItem(item, all ? group : nullptr);
    m_stack->setCurrentWidget(m_edit);
}

void KQConflictWndCtrl::conflictReviewViewCtrlRequireFix(KQConflictReviewViewCtrl* review, bool all)
{
    if (m_busy)
        return;
    const KQConflictGroupPtr group = review->currentConflictGroup();
    const KQConflictItemPtr item = review->currentConflictItem();
    if (!group || !item || !item->currentSolution())
        return;
    const KQConflictSolutionType type = item->currentSolution()->type();
    const QString& kind = group->conflictMeta()->name();
    const bool background = type == KQConflictSolutionType::Delete || type == KQConflictSolutionType::RemoveSpace ||
                            (type == KQConflictSolutionType::Edit &&
                             (kind == KQConflictName::UnusualPrefix || kind == KQConflictName::UnusualSuffix));
    m_busy = background;
    QPointer<KQConflictWndCtrl> self(this);
    const bool compare = fixer()->requireFix(group, item, all, [self] {
        if (!self)
            return;
        self->m_busy = false;
        self->saveTrashInBackground();
        Q_EMIT self->fixFinished();
    });
    if (compare)
        selectCurrentItemToCompare(all);
}

void KQConflictWndCtrl::conflictEditViewCtrlRequireSaveAndClose(KQConflictEditViewCtrl* edit)
{
    Q_UNUSED(edit);
    saveCompared(true);
}

void KQConflictWndCtrl::conflictEditViewCtrlRequireSaveAndNext(KQConflictEditViewCtrl* edit)
{
    Q_UNUSED(edit);
    saveCompared(false);
}

void KQConflictWndCtrl::conflictEditViewCtrlRequireClose(KQConflictEditViewCtrl* edit)
{
    edit->cleanComparedInfo();
    showReview();
}

void KQConflictWndCtrl::saveCompared(bool closeAfter)
{
    if (m_busy || !m_result)
        return;
    const KQCompareContactsPtr compare = m_edit->compareContacts();
    if (!compare)
        return;
    const KQConflictItemPtr item = compare->conflictItem();
    KQConflictGroupPtr group;
    for (const auto& g : m_result->conflictGroups()) {
        if (g.get() == item->owner())
            group = g;
    }
    if (!group)
        return;
    const int former = std::max(0, group->indexOfConflictItem(item.get()));
    const bool wasAll = m_edit->currentGroup() != nullptr;
    if (!compare->contactsMerged()) {
        compare->saveFix(fixEnvironment());
        group->removeConflictItemsObject(item.get());
        finishSave(group, item, former, closeAfter, wasAll);
        Q_EMIT fixFinished();
        return;
    }
    m_edit->applyEditsToMergedContact();
    std::vector<KQConflictItemPtr> further;
    if (closeAfter && m_edit->applyMergeToLeft() && compare->currentGroup()) {
        const auto items = group->conflictItems();
        for (size_t i = static_cast<size_t>(former) + 1; i < items.size(); ++i) {
            if (items[i]->countOfContactHelpers() >= 2)
                further.push_back(items[i]);
        }
    }
    m_busy = true;
    QPointer<KQConflictWndCtrl> self(this);
    fixer()->mergeConflitItems(further, compare, [self, group, item, former, closeAfter, wasAll] {
        if (!self)
            return;
        self->m_busy = false;
        self->saveTrashInBackground();
        // Plain Fix compares without a group, so the merge leaves the item to the window.
        group->removeConflictItemsObject(item.get());
        self->finishSave(group, item, former, closeAfter, wasAll);
        Q_EMIT self->fixFinished();
    });
}

void KQConflictWndCtrl::finishSave(const KQConflictGroupPtr& group, const KQConflictItemPtr& item, int formerIndex,
                                   bool closeAfter, bool wasAll)
{
    Q_UNUSED(item);
    const KQConflictItemPtr next = group->conflictItemAtIndex(formerIndex);
    if (closeAfter || !next) {
        m_edit->cleanComparedInfo();
        showReview();
        fixer()->selectConflictItemAtIndex(formerIndex, group);
        return;
    }
    fixer()->selectConflictItemAtIndex(formerIndex, group);
    m_edit->compareItem(next, wasAll ? group : nullptr);
}

void KQConflictWndCtrl::conflictFixerShowProgress(const QString& label, double percent)
{
    KQProgressWndCtrl* sheet = KQProgressWndCtrl::sharedProgressWndCtrl();
    if (!m_sheetShown) {
        sheet->reset(label);
        sheet->beginSheetForWindow(this);
        m_sheetShown = true;
    }
    sheet->setProgressLabel(label);
    sheet->setPercent(percent);
}

bool KQConflictWndCtrl::conflictFixerQueryCancelWithProgress(double percent)
{
    Q_UNUSED(percent);
    return KQProgressWndCtrl::sharedProgressWndCtrl()->cancelled();
}

void KQConflictWndCtrl::conflictFixerCloseProgress()
{
    if (!m_sheetShown)
        return;
    KQProgressWndCtrl::sharedProgressWndCtrl()->endSheet();
    m_sheetShown = false;
}

void KQConflictWndCtrl::conflictFixerDidSelect(const KQConflictGroupPtr& group, const KQConflictItemPtr& item)
{
    m_review->setCurrent(group, item);
}

void KQConflictWndCtrl::conflictFixerDidFinishAll()
{
    m_edit->cleanComparedInfo();
    showReview();
    m_forceClose = true;
    close();
}

void KQConflictWndCtrl::closeEvent(QCloseEvent* event)
{
    if (m_forceClose) {
        m_forceClose = false;
        event->accept();
        afterCloseWindow();
        return;
    }
    if (m_busy) {
        event->ignore();
        return;
    }
    // The close button of the compare view only goes back to the list.
    if (isComparing()) {
        event->ignore();
        conflictEditViewCtrlRequireClose(m_edit);
        return;
    }
    if (m_result && !m_result->empty()) {
        event->ignore();
        QPointer<KQConflictWndCtrl> self(this);
        KQAlert::show(this, tr("Do you want to close the window?"),
                      tr("The scan results will be lost if you close the window."),
                      QMessageBox::Ok | QMessageBox::Cancel, [self](QMessageBox::StandardButton button) {
                          if (!self || button != QMessageBox::Ok)
                              return;
                          self->m_forceClose = true;
                          self->close();
                      });
        return;
    }
    event->accept();
    afterCloseWindow();
}

void KQConflictWndCtrl::saveTrashInBackground()
{
    const KQConflictFixEnvironment& environment = fixEnvironment();
    if (environment.storage == nullptr || !environment.recyle)
        return;
    KQStorage* storage = environment.storage;
    const std::vector<KQContactRecylePtr> entries = environment.recyle->recyleEntries();
    KQDispatch::globalAsync([storage, entries] {
        KQContainerRecyle snapshot;
        snapshot.addContactRecyles(entries);
        storage->saveDefaultContainerRecyle(&snapshot);
    });
}

void KQConflictWndCtrl::afterCloseWindow()
{
    m_edit->cleanComparedInfo();
    m_review->setConflictResult(nullptr);
    if (m_fixer)
        m_fixer->setDelegate(nullptr);
    m_fixer.reset();
    m_result.reset();
    if (m_modalWindow) {
        m_modalWindow->show();
        m_modalWindow->raise();
        m_modalWindow->activateWindow();
    }
    Q_EMIT windowDidClose();
}
