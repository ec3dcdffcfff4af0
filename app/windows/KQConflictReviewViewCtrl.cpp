#include "app/windows/KQConflictReviewViewCtrl.h"

#include "platform/KQNotificationCenter.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSplitter>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <functional>

namespace {

constexpr int GroupRole = Qt::UserRole + 1;

} // namespace

KQConflictReviewViewCtrl::KQConflictReviewViewCtrl(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("conflictReviewView"));
    auto* layout = new QHBoxLayout(this);
    auto* splitter = new QSplitter(this);
    layout->addWidget(splitter);

    m_list = new QTreeWidget(splitter);
    m_list->setObjectName(QStringLiteral("conflictList"));
    m_list->setAccessibleName(tr("Problems found"));
    m_list->setHeaderHidden(true);
    m_list->setColumnCount(1);
    m_list->setUniformRowHeights(false);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setRootIsDecorated(true);
    connect(m_list, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* current) {
        if (m_syncing || current == nullptr || current->parent() == nullptr)
            return;
        const int g = m_list->indexOfTopLevelItem(current->parent());
        selectItem(m_result ? m_result->conflictGroupAtIndex(g) : nullptr, current->parent()->indexOfChild(current));
    });
    connect(m_list, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* row) {
        if (m_syncing || !m_result)
            return;
        if (const auto group = m_result->conflictGroupAtIndex(m_list->indexOfTopLevelItem(row));
            group && !group->expanded())
            toggleGroup(group);
    });
    connect(m_list, &QTreeWidget::itemCollapsed, this, [this](QTreeWidgetItem* row) {
        if (m_syncing || !m_result)
            return;
        if (const auto group = m_result->conflictGroupAtIndex(m_list->indexOfTopLevelItem(row));
            group && group->expanded())
            toggleGroup(group);
    });

    auto* details = new QWidget(splitter);
    details->setObjectName(QStringLiteral("conflictDetails"));
    auto* right = new QVBoxLayout(details);
    m_description = new QLabel(details);
    m_description->setObjectName(QStringLiteral("descriptionText"));
    m_description->setWordWrap(true);
    m_description->setTextFormat(Qt::PlainText);
    right->addWidget(m_description);
    m_solutions = new QWidget(details);
    m_solutions->setObjectName(QStringLiteral("solutions"));
    m_solutions->setAccessibleName(tr("Solutions"));
    m_solutionLayout = new QVBoxLayout(m_solutions);
    m_solutionButtons = new QButtonGroup(this);
    connect(m_solutionButtons, &QButtonGroup::idClicked, this, &KQConflictReviewViewCtrl::selectSolution);
    right->addWidget(m_solutions);
    right->addStretch(1);
    auto* buttons = new QHBoxLayout;
    m_fixAll = new QPushButton(tr("Fix &All"), details);
    m_fixAll->setObjectName(QStringLiteral("fixAllButton"));
    m_fixAll->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F));
    m_fixAll->setToolTip(tr("Apply the solution to every item of the group (%1)")
                             .arg(m_fixAll->shortcut().toString(QKeySequence::NativeText)));
    m_fix = new QPushButton(tr("&Fix"), details);
    m_fix->setObjectName(QStringLiteral("fixButton"));
    m_fix->setDefault(true);
    m_fix->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    m_fix->setToolTip(
        tr("Apply the solution to this item (%1)").arg(m_fix->shortcut().toString(QKeySequence::NativeText)));
    connect(m_fix, &QPushButton::clicked, this, &KQConflictReviewViewCtrl::fixCurrentConflictAction);
    connect(m_fixAll, &QPushButton::clicked, this, &KQConflictReviewViewCtrl::fixAllConflictAction);
    buttons->addStretch(1);
    buttons->addWidget(m_fixAll);
    buttons->addWidget(m_fix);
    right->addLayout(buttons);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 2);
    setTabOrder(m_list, m_solutions);
    setTabOrder(m_solutions, m_fixAll);
    setTabOrder(m_fixAll, m_fix);
    updateDetails();
}

KQConflictReviewViewCtrl::~KQConflictReviewViewCtrl()
{
    for (const auto& c : m_watch)
        disconnect(c);
}

void KQConflictReviewViewCtrl::setConflictResult(const KQConflictResultPtr& result)
{
    m_result = result;
    m_group.reset();
    m_item.reset();
    watchGroups();
    rebuildList();
    const KQConflictGroupPtr first = m_result ? m_result->conflictGroupAtIndex(0) : nullptr;
    if (first) {
        first->setSelectedIndex(0);
        setCurrent(first, first->conflictItemAtIndex(0));
    } else {
        updateDetails();
    }
}

void KQConflictReviewViewCtrl::watchGroups()
{
    for (const auto& c : m_watch)
        disconnect(c);
    m_watch.clear();
    if (!m_result)
        return;
    const auto groupsChanged = [this] {
        watchGroups();
        rebuildList();
    };
    m_watch.push_back(connect(m_result.get(), &KQConflictResult::conflictGroupsInserted, this, groupsChanged));
    m_watch.push_back(connect(m_result.get(), &KQConflictResult::conflictGroupsRemoved, this, groupsChanged));
    m_watch.push_back(connect(m_result.get(), &KQConflictResult::conflictGroupsReplaced, this, groupsChanged));
    for (const auto& group : m_result->conflictGroups()) {
        KQConflictGroup* raw = group.get();
        // Items leave one by one while a fix runs: rows are taken out where they stood, never rebuilt.
        m_watch.push_back(
            connect(raw, &KQConflictGroup::conflictItemsRemoved, this, [this, raw](const QList<int>& indexes) {
                QTreeWidgetItem* header = groupRow(raw);
                if (header == nullptr)
                    return;
                const QSignalBlocker block(m_list);
                m_syncing = true;
                QList<int> sorted = indexes;
                std::sort(sorted.begin(), sorted.end(), std::greater<int>());
                for (int index : std::as_const(sorted))
                    delete header->takeChild(index);
                m_syncing = false;
                for (const auto& g : m_result->conflictGroups()) {
                    if (g.get() == raw)
                        updateGroupTitle(g);
                }
                if (m_item && m_group && m_group.get() == raw && raw->indexOfConflictItem(m_item.get()) < 0)
                    m_item.reset();
                updateDetails();
            }));
        const auto itemsRebuilt = [this] { rebuildList(); };
        m_watch.push_back(connect(raw, &KQConflictGroup::conflictItemsInserted, this, itemsRebuilt));
        m_watch.push_back(connect(raw, &KQConflictGroup::conflictItemsReplaced, this, itemsRebuilt));
        m_watch.push_back(connect(raw, &KQConflictGroup::expandedChanged, this, [this, raw] {
            if (QTreeWidgetItem* header = groupRow(raw)) {
                m_syncing = true;
                header->setExpanded(raw->expanded());
                m_syncing = false;
            }
        }));
    }
}

QTreeWidgetItem* KQConflictReviewViewCtrl::groupRow(const KQConflictGroup* group) const
{
    if (!m_result)
        return nullptr;
    return m_list->topLevelItem(m_result->indexOfConflictGroup(group));
}

void KQConflictReviewViewCtrl::fillItemRow(QTreeWidgetItem* row, const KQConflictItemPtr& item) const
{
    QString title = item->titleWithCount().value_or(tr("No name"));
    const QString info = item->firstInformation();
    row->setText(0, info.isEmpty() ? title : title + QStringLiteral(" \u2014 ") + info);
    row->setToolTip(0, item->longTitle());
}

void KQConflictReviewViewCtrl::updateGroupTitle(const KQConflictGroupPtr& group)
{
    if (QTreeWidgetItem* header = groupRow(group.get())) {
        header->setText(0, group->title()); // the title counts the items
    }
}

void KQConflictReviewViewCtrl::rebuildList()
{
    const QSignalBlocker block(m_list);
    m_syncing = true;
    m_list->clear();
    if (m_result) {
        for (const auto& group : m_result->conflictGroups()) {
            auto* header = new QTreeWidgetItem(m_list);
            header->setFlags(Qt::ItemIsEnabled);
            QFont bold = header->font(0);
            bold.setBold(true);
            header->setFont(0, bold);
            header->setData(0, GroupRole, true);
            QList<QTreeWidgetItem*> rows;
            for (const auto& item : group->conflictItems()) {
                auto* row = new QTreeWidgetItem;
                fillItemRow(row, item);
                rows.append(row);
            }
            header->addChildren(rows);
            header->setExpanded(group->expanded());
            updateGroupTitle(group);
        }
    }
    m_syncing = false;
    if (m_group && m_item)
        setCurrent(m_group, m_item);
    else
        updateDetails();
}

void KQConflictReviewViewCtrl::setCurrent(const KQConflictGroupPtr& group, const KQConflictItemPtr& item)
{
    m_group = group;
    m_item = item;
    if (m_result && group) {
        for (const auto& other : m_result->conflictGroups()) {
            if (other != group)
                other->setSelectedIndex(-1);
        }
        if (item)
            group->setSelectedIndex(group->indexOfConflictItem(item.get()));
        group->setExpanded(true);
        QTreeWidgetItem* header = groupRow(group.get());
        if (header != nullptr) {
            m_syncing = true;
            header->setExpanded(true);
            QTreeWidgetItem* row = header->child(group->selectedIndex());
            if (row != nullptr) {
                m_list->setCurrentItem(row);
                // Laid out first, then scrolled to, once the change has been handled.
                QTimer::singleShot(0, m_list, [list = m_list, row] { list->scrollToItem(row); });
            }
            m_syncing = false;
        }
    }
    updateDetails();
}

void KQConflictReviewViewCtrl::selectItem(const KQConflictGroupPtr& group, int index)
{
    if (!group)
        return;
    group->userSelectItemAtIndex(index);
    setCurrent(group, group->conflictItemAtIndex(index));
}

void KQConflictReviewViewCtrl::toggleGroup(const KQConflictGroupPtr& group)
{
    if (group)
        group->toggleExpanded();
}

void KQConflictReviewViewCtrl::selectSolution(int index)
{
    if (!m_item)
        return;
    m_item->setSelectedIndexOfSolution(index);
    if (const KQConflictSolutionPtr solution = m_item->currentSolution())
        KQConflictItem::postSolutionDidChange(solution.get());
}

void KQConflictReviewViewCtrl::updateDetails()
{
    for (QAbstractButton* button : m_solutionButtons->buttons()) {
        m_solutionButtons->removeButton(button);
        delete button;
    }
    const bool hasItem = m_item != nullptr;
    m_fix->setEnabled(hasItem);
    m_fixAll->setEnabled(hasItem);
    if (!hasItem) {
        m_description->setText(QString());
        return;
    }
    m_description->setText(m_item->conflictDescription());
    const auto& solutions = m_item->availableSolutions();
    for (int i = 0; i < static_cast<int>(solutions.size()); ++i) {
        const KQConflictSolutionPtr& solution = solutions[static_cast<size_t>(i)];
        auto* radio = new QRadioButton(solution->solutionName(), m_solutions);
        radio->setObjectName(QStringLiteral("solutionRadio%1").arg(i));
        radio->setToolTip(solution->solutionDescription());
        radio->setChecked(i == m_item->selectedIndexOfSolution());
        m_solutionButtons->addButton(radio, i);
        m_solutionLayout->addWidget(radio);
    }
}

void KQConflictReviewViewCtrl::fixCurrentConflictAction()
{
    if (m_delegate != nullptr && m_item)
        m_delegate->conflictReviewViewCtrlRequireFix(this, false);
}

void KQConflictReviewViewCtrl::fixAllConflictAction()
{
    if (m_delegate != nullptr && m_item)
        m_delegate->conflictReviewViewCtrlRequireFix(this, true);
}
