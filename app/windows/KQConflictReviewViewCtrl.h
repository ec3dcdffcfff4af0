#pragma once
// The review face of the problem window: the found problems grouped by kind (a header per group
// with its expand control, a row per item), and for the current item its description, the
// solutions to choose from, and Fix and Fix All.

#include "problems/KQConflictResult.h"

#include <QWidget>

class QButtonGroup;
class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class QVBoxLayout;
class KQConflictReviewViewCtrl;

class KQConflictReviewViewCtrlDelegate
{
public:
    virtual ~KQConflictReviewViewCtrlDelegate() = default;
    virtual void conflictReviewViewCtrlRequireFix(KQConflictReviewViewCtrl* review, bool all) = 0;
};

class KQConflictReviewViewCtrl : public QWidget
{
    Q_OBJECT
public:
    explicit KQConflictReviewViewCtrl(QWidget* parent = nullptr);
    ~KQConflictReviewViewCtrl() override;

    void setDelegate(KQConflictReviewViewCtrlDelegate* delegate) { m_delegate = delegate; }
    const KQConflictResultPtr& conflictResult() const { return m_result; }
    // Shows the result: its first group (expanded) and that group's first item become current.
    void setConflictResult(const KQConflictResultPtr& result);
    const KQConflictGroupPtr& currentConflictGroup() const { return m_group; }
    const KQConflictItemPtr& currentConflictItem() const { return m_item; }
    // Makes group and item current: every other group loses its selection, the group is shown
    // expanded and its item row selected.
    void setCurrent(const KQConflictGroupPtr& group, const KQConflictItemPtr& item);

    // --- the controls' actions
    void fixCurrentConflictAction();
    void fixAllConflictAction();
    void selectSolution(int index);
    void toggleGroup(const KQConflictGroupPtr& group);
    // What clicking an item row does.
    void selectItem(const KQConflictGroupPtr& group, int index);

private:
    void rebuildList();
    void watchGroups();
    QTreeWidgetItem* groupRow(const KQConflictGroup* group) const;
    void fillItemRow(QTreeWidgetItem* row, const KQConflictItemPtr& item) const;
    void updateDetails();
    void updateGroupTitle(const KQConflictGroupPtr& group);

    KQConflictReviewViewCtrlDelegate* m_delegate = nullptr;
    KQConflictResultPtr m_result;
    KQConflictGroupPtr m_group;
    KQConflictItemPtr m_item;
    QTreeWidget* m_list;
    QLabel* m_description;
    QWidget* m_solutions;
    QVBoxLayout* m_solutionLayout;
    QButtonGroup* m_solutionButtons;
    QPushButton* m_fix;
    QPushButton* m_fixAll;
    bool m_syncing = false;
    std::vector<QMetaObject::Connection> m_watch;
};
