#include "app/windows/KQConflictEditViewCtrl.h"

#include "app/windows/KQConflictPropertyViewCtrl.h"
#include "app/windows/KQIcons.h"
#include "app/windows/KQMergeInfoViewCtrl.h"

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

KQConflictEditViewCtrl::KQConflictEditViewCtrl(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("conflictEditView"));
    auto* layout = new QVBoxLayout(this);
    auto* bar = new QHBoxLayout;
    m_merge = new QToolButton(this);
    m_merge->setObjectName(QStringLiteral("mergeButton"));
    m_merge->setCheckable(true);
    m_merge->setText(tr("&Merge"));
    m_merge->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_merge->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
    m_merge->setToolTip(
        tr("Merge all contacts into one (%1)").arg(m_merge->shortcut().toString(QKeySequence::NativeText)));
    m_merge->setAccessibleName(tr("Merge"));
    connect(m_merge, &QToolButton::clicked, this, &KQConflictEditViewCtrl::mergeAction);
    m_mergeInfo = new QToolButton(this);
    m_mergeInfo->setObjectName(QStringLiteral("mergeInfoButton"));
    m_mergeInfo->setIcon(KQIcons::icon(QStringLiteral("dialog-information")));
    m_mergeInfo->setAutoRaise(true);
    m_mergeInfo->setAccessibleName(tr("About merging"));
    m_mergeInfo->setToolTip(tr("About merging"));
    connect(m_mergeInfo, &QToolButton::clicked, this, &KQConflictEditViewCtrl::showMergeInfo);
    m_applyToLeft = new QCheckBox(tr("&Apply the merge to the remaining items"), this);
    m_applyToLeft->setObjectName(QStringLiteral("applyMergeToLeftCheck"));
    connect(m_applyToLeft, &QCheckBox::toggled, this, &KQConflictEditViewCtrl::setApplyMergeToLeft);
    m_close = new QPushButton(tr("Close"), this);
    m_close->setObjectName(QStringLiteral("closeButton"));
    m_close->setToolTip(tr("Back to the list without saving"));
    connect(m_close, &QPushButton::clicked, this, &KQConflictEditViewCtrl::closeAction);
    m_next = new QPushButton(KQIcons::icon(QStringLiteral("go-next")), tr("&Next"), this);
    m_next->setObjectName(QStringLiteral("nextButton"));
    m_next->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    m_next->setToolTip(
        tr("Save and compare the next item (%1)").arg(m_next->shortcut().toString(QKeySequence::NativeText)));
    connect(m_next, &QPushButton::clicked, this, &KQConflictEditViewCtrl::nextAction);
    m_ok = new QPushButton(tr("OK"), this);
    m_ok->setObjectName(QStringLiteral("okButton"));
    m_ok->setDefault(true);
    m_ok->setShortcut(QKeySequence::Save);
    m_ok->setToolTip(tr("Save and go back to the list (%1)")
                         .arg(QKeySequence(QKeySequence::Save).toString(QKeySequence::NativeText)));
    connect(m_ok, &QPushButton::clicked, this, &KQConflictEditViewCtrl::okAction);
    bar->addWidget(m_merge);
    bar->addWidget(m_mergeInfo);
    bar->addWidget(m_applyToLeft);
    bar->addStretch(1);
    bar->addWidget(m_close);
    bar->addWidget(m_next);
    bar->addWidget(m_ok);
    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName(QStringLiteral("compareScroll"));
    m_scroll->setWidgetResizable(true);
    layout->addWidget(m_scroll, 1);
    layout->addLayout(bar);
    setTabOrder(m_merge, m_mergeInfo);
    setTabOrder(m_mergeInfo, m_applyToLeft);
    setTabOrder(m_applyToLeft, m_close);
    setTabOrder(m_close, m_next);
    setTabOrder(m_next, m_ok);
    updateControls();
}

KQConflictEditViewCtrl::~KQConflictEditViewCtrl()
{
    if (m_compare)
        m_compare->setDelegate(nullptr);
}

void KQConflictEditViewCtrl::compareItem(const KQConflictItemPtr& item, const KQConflictGroupPtr& group)
{
    cleanComparedInfo();
    m_group = group;
    if (!item)
        return;
    for (const auto& contact : item->contactHelpers())
        contact->syncLoadAllKeysIfNecessary();
    m_compare = KQCompareContacts::initWithConflictContactItem(item, group);
    m_compare->setDelegate(this);
    if (m_mergeOpened) {
        if (m_compare->allowMerge())
            m_compare->mergeAllContacts();
        else
            m_mergeOpened = false;
    }
    reloadGrid();
}

void KQConflictEditViewCtrl::cleanComparedInfo()
{
    if (m_compare) {
        m_compare->setDelegate(nullptr);
        m_compare->cleanAllEditInfo();
        m_compare->cleanAllSubviews();
    }
    m_compare.reset();
    m_group.reset();
    reloadGrid();
}

void KQConflictEditViewCtrl::setApplyMergeToLeft(bool on)
{
    m_applyMergeToLeft = on;
    updateControls();
}

bool KQConflictEditViewCtrl::isLastItem() const
{
    if (!m_compare || !m_group)
        return true;
    return m_group->isLastConflictItem(m_compare->conflictItem().get());
}

bool KQConflictEditViewCtrl::canApplyMergeToLeft() const
{
    return m_compare && m_compare->allowMerge() && m_mergeOpened && !isLastItem();
}

bool KQConflictEditViewCtrl::canNextAction() const
{
    if (m_mergeOpened && m_applyMergeToLeft)
        return false;
    return !isLastItem();
}

void KQConflictEditViewCtrl::endEditing()
{
    // A field still being typed in hands its text over first.
    if (QWidget* focus = QApplication::focusWidget(); focus != nullptr && isAncestorOf(focus))
        focus->clearFocus();
}

void KQConflictEditViewCtrl::mergeAction()
{
    endEditing();
    m_mergeOpened = !m_mergeOpened;
    if (m_compare) {
        if (m_mergeOpened)
            m_compare->mergeAllContacts();
        else
            m_compare->unmergeContacts();
        if (m_mergeOpened && !m_compare->contactsMerged())
            m_mergeOpened = false; // one contact: nothing to merge
    }
    reloadGrid();
}

void KQConflictEditViewCtrl::showMergeInfo()
{
    KQMergeInfoViewCtrl::sharedMergeInfoViewCtrl()->showRelativeToWidget(m_mergeInfo);
}

void KQConflictEditViewCtrl::okAction()
{
    endEditing();
    if (m_delegate != nullptr && m_compare)
        m_delegate->conflictEditViewCtrlRequireSaveAndClose(this);
}

void KQConflictEditViewCtrl::nextAction()
{
    endEditing();
    if (!canNextAction())
        return;
    if (m_delegate != nullptr && m_compare)
        m_delegate->conflictEditViewCtrlRequireSaveAndNext(this);
}

void KQConflictEditViewCtrl::closeAction()
{
    endEditing();
    if (m_delegate != nullptr)
        m_delegate->conflictEditViewCtrlRequireClose(this);
}

void KQConflictEditViewCtrl::applyEditsToMergedContact()
{
    if (!m_compare || !m_compare->contactsMerged() || !m_compare->mergeContact())
        return;
    const KQContactHelperPtr merged = m_compare->mergeContact();
    for (const auto& cell : m_compare->editedCells()) {
        if (cell->contactHelper() == merged) {
            merged->startEditContact();
            cell->updateToContactHelper();
        }
    }
}

void KQConflictEditViewCtrl::updateControls()
{
    const bool canMerge = m_compare && m_compare->allowMerge();
    m_merge->setEnabled(canMerge || m_mergeOpened);
    m_merge->setChecked(m_mergeOpened);
    m_merge->setIcon(KQIcons::icon(imageForMerge()));
    m_applyToLeft->setEnabled(canApplyMergeToLeft());
    {
        const QSignalBlocker block(m_applyToLeft);
        m_applyToLeft->setChecked(m_applyMergeToLeft);
    }
    m_next->setEnabled(canNextAction());
    m_ok->setEnabled(m_compare != nullptr);
}

void KQConflictEditViewCtrl::reloadGrid()
{
    if (m_grid != nullptr) {
        m_scroll->takeWidget();
        m_grid->hide();
        m_grid->deleteLater();
        m_grid = nullptr;
    }
    m_grid = new QWidget;
    m_grid->setObjectName(QStringLiteral("compareGrid"));
    auto* grid = new QGridLayout(m_grid);
    grid->setSpacing(2);
    if (m_compare) {
        // Header: one column per contact.
        for (int col = 1; col < m_compare->numberOfColumns(); ++col) {
            const KQContactHelperPtr contact = m_compare->contactHelperAtCol(col);
            QString title = m_compare->isMergeContact(contact.get()) ? tr("Merged contact") : contact->displayName();
            if (title.isEmpty())
                title = tr("No name");
            auto* header = new QLabel(title);
            header->setObjectName(QStringLiteral("columnHeader"));
            QFont bold = header->font();
            bold.setBold(true);
            header->setFont(bold);
            grid->addWidget(header, 0, col);
        }
        for (int row = 0; row < m_compare->numberOfRows(); ++row) {
            for (int col = 0; col < m_compare->numberOfColumns(); ++col) {
                const KQCompareCellPtr cell = m_compare->viewControlAtRow(row, col);
                if (!cell)
                    continue;
                cell->setAttached(true);
                auto* view = new KQConflictPropertyViewCtrl(cell, m_grid);
                view->setProperty("compareRow", row);
                view->setProperty("compareColumn", col);
                // Rebuilt after the signal of the cell's own button has returned.
                connect(view, &KQConflictPropertyViewCtrl::requestReload, this,
                        [this] { QTimer::singleShot(0, this, &KQConflictEditViewCtrl::reloadGrid); });
                grid->addWidget(view, row + 1, col);
            }
        }
        for (int col = 1; col < m_compare->numberOfColumns(); ++col)
            grid->setColumnStretch(col, 1);
        grid->setRowStretch(m_compare->numberOfRows() + 1, 1);
    }
    m_scroll->setWidget(m_grid);
    updateControls();
}

void KQConflictEditViewCtrl::compareContactsDidRemoveContact(KQCompareContacts* compare)
{
    Q_UNUSED(compare);
    QTimer::singleShot(0, this, &KQConflictEditViewCtrl::reloadGrid);
}

void KQConflictEditViewCtrl::compareContactsDidRemoveProperty(KQCompareContacts* compare)
{
    Q_UNUSED(compare);
    QTimer::singleShot(0, this, &KQConflictEditViewCtrl::reloadGrid);
}
