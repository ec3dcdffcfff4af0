#pragma once
// The compare/edit face of the problem window: the item's contacts side by side in the comparison
// table, the merge control with its "apply to the remaining items" option, and OK, Next and Close.
// It holds the compare model of the shown item and tells its delegate what the user asked for.

#include "problems/KQCompareContacts.h"

#include <QWidget>

class QCheckBox;
class QGridLayout;
class QPushButton;
class QScrollArea;
class QToolButton;
class KQConflictEditViewCtrl;

class KQConflictEditViewCtrlDelegate
{
public:
    virtual ~KQConflictEditViewCtrlDelegate() = default;
    virtual void conflictEditViewCtrlRequireSaveAndClose(KQConflictEditViewCtrl* edit) = 0;
    virtual void conflictEditViewCtrlRequireSaveAndNext(KQConflictEditViewCtrl* edit) = 0;
    virtual void conflictEditViewCtrlRequireClose(KQConflictEditViewCtrl* edit) = 0;
};

class KQConflictEditViewCtrl : public QWidget, public KQCompareContactsDelegate
{
    Q_OBJECT
public:
    explicit KQConflictEditViewCtrl(QWidget* parent = nullptr);
    ~KQConflictEditViewCtrl() override;

    void setDelegate(KQConflictEditViewCtrlDelegate* delegate) { m_delegate = delegate; }
    const KQCompareContactsPtr& compareContacts() const { return m_compare; }
    // The group when the user chose Fix All, else none.
    const KQConflictGroupPtr& currentGroup() const { return m_group; }

    // Builds a new compare model for item (group: the Fix All group, or none); a merge control that
    // is on merges it at once when it can be merged and is turned off otherwise.
    void compareItem(const KQConflictItemPtr& item, const KQConflictGroupPtr& group);
    void cleanComparedInfo();

    bool mergeOpened() const { return m_mergeOpened; }
    bool applyMergeToLeft() const { return m_applyMergeToLeft; }
    void setApplyMergeToLeft(bool on);
    bool isLastItem() const;
    bool canApplyMergeToLeft() const;
    bool canNextAction() const;
    QString imageForMerge() const { return m_mergeOpened ? QStringLiteral("mergeOpen") : QStringLiteral("mergeClose"); }

    // --- the controls' actions
    void mergeAction();
    void showMergeInfo();
    void okAction();
    void nextAction();
    void closeAction();

    // Writes what was typed into the merged contact's cells into the merged contact.
    void applyEditsToMergedContact();
    void reloadGrid();

    void compareContactsDidRemoveContact(KQCompareContacts* compare) override;
    void compareContactsDidRemoveProperty(KQCompareContacts* compare) override;

private:
    void endEditing();
    void updateControls();

    KQConflictEditViewCtrlDelegate* m_delegate = nullptr;
    KQCompareContactsPtr m_compare;
    KQConflictGroupPtr m_group;
    bool m_mergeOpened = false;
    bool m_applyMergeToLeft = false;
    QToolButton* m_merge;
    QToolButton* m_mergeInfo;
    QCheckBox* m_applyToLeft;
    QPushButton* m_ok;
    QPushButton* m_next;
    QPushButton* m_close;
    QScrollArea* m_scroll;
    QWidget* m_grid = nullptr;
};
