#pragma once
// The comparison table of one problem item: its contacts side by side, one column each, rows by
// field category with equal values lined up and highlighted. The user edits and deletes values or
// whole contacts, or merges all contacts into one; saveFix writes edits and deletions back.

#include "problems/KQCompareRow.h"
#include "problems/KQConflictFixer.h"
#include "problems/KQConflictGroup.h"

class KQCompareContacts;
using KQCompareContactsPtr = std::shared_ptr<KQCompareContacts>;

class KQCompareContactsDelegate
{
public:
    virtual ~KQCompareContactsDelegate() = default;
    virtual void compareContactsDidRemoveContact(KQCompareContacts* compare) { Q_UNUSED(compare); }
    virtual void compareContactsDidRemoveProperty(KQCompareContacts* compare) { Q_UNUSED(compare); }
};

class KQCompareContacts : public KQCompareCellDelegate
{
public:
    static const QString kFirstColumnKey; // "KQFirstColumnKey"

    // group is none when only this item is being edited.
    KQCompareContacts(KQConflictItemPtr item, KQConflictGroupPtr group);
    static KQCompareContactsPtr initWithConflictContactItem(const KQConflictItemPtr& item,
                                                            const KQConflictGroupPtr& group)
    {
        return std::make_shared<KQCompareContacts>(item, group);
    }

    const KQConflictItemPtr& conflictItem() const { return m_item; }
    const KQConflictGroupPtr& currentGroup() const { return m_group; }
    const KQContactHelperList& contacts() const { return m_contacts; }
    const std::vector<KQCompareRowPtr>& rows() const { return m_rows; }
    bool contactsMerged() const { return m_merged; }
    const KQContactHelperPtr& mergeContact() const { return m_mergeContact; }
    void setDelegate(KQCompareContactsDelegate* delegate) { m_delegate = delegate; }

    const std::vector<KQCompareCellPtr>& editedCells() const { return m_editedCells; }
    const KQContactHelperList& deletedContacts() const { return m_deletedContacts; }
    const std::vector<KQCompareRowPtr>& deletedRows() const { return m_deletedRows; }

    bool allowMerge() const { return m_contacts.size() >= 2; }
    bool isMergeContact(const KQContactHelper* contact) const;

    void mergeAllContacts();
    void unmergeContacts();
    // Deleted contacts go to the Trash and leave the store; every other contact gets what was typed
    // into its cells and loses the values of deleted rows, each saved on its own.
    void saveFix(const KQConflictFixEnvironment& environment);
    void cleanAllEditInfo();
    void cleanAllSubviews();

    // --- table queries
    int numberOfRows() const { return static_cast<int>(m_rows.size()); }
    int numberOfColumns() const { return static_cast<int>(m_contacts.size()) + 1; }
    int heightOfRowAtIndex(int index) const;
    int widthOfColAtIndex(int index) const;
    std::optional<QString> keyOfColAtIndex(int index) const;
    KQContactHelperPtr contactHelperAtCol(int index) const;
    KQCompareCellPtr viewControlAtRow(int row, int col) const;

    // --- what cells tell the model
    void conflictPropertyViewCtrlDidEditingProperty(KQCompareCell* cell) override;
    void conflictPropertyViewCtrlRequireDeleteProperty(KQCompareCell* cell) override;
    void conflictPropertyViewCtrlRequireDeleteContact(KQCompareCell* cell) override;
    bool conflictPropertyViewCtrlUseTheImage(KQCompareCell* cell) override;
    bool conflictPropertyViewCtrlIsMerger(KQCompareCell* cell) override;

private:
    void makeRowsFromConflictItem();
    void makeLabeledValuePropertyWithCatagroyName(const QString& category);
    KQCompareCellPtr makeCell(const QString& category, const KQContactHelperPtr& contact, int index,
                              const QString& rowCategory = {});
    QString kindName() const;

    KQConflictItemPtr m_item;
    KQConflictGroupPtr m_group;
    KQContactHelperList m_contacts;
    std::vector<KQCompareRowPtr> m_rows;
    bool m_merged = false;
    KQContactHelperPtr m_mergeContact;
    std::vector<KQCompareCellPtr> m_editedCells;
    KQContactHelperList m_deletedContacts;
    std::vector<KQCompareRowPtr> m_deletedRows;
    KQCompareContactsDelegate* m_delegate = nullptr;
};

// The name the review window's issue gives the compare model.
using KQConflictCompareModel = KQCompareContacts;
