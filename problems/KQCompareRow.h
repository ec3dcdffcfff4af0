#pragma once
// One row of the comparison table: a category, the value it stands for, and a cell per column key.

#include "problems/KQCompareCell.h"

#include <QStringList>

class KQCompareRow;
using KQCompareRowPtr = std::shared_ptr<KQCompareRow>;

class KQCompareRow
{
public:
    static constexpr int minimumHeight = 32;

    KQCompareRow(QString category, int indexOfProperty, KQContactHelperPtr contact);
    static KQCompareRowPtr create(QString category, int indexOfProperty, KQContactHelperPtr contact)
    {
        return std::make_shared<KQCompareRow>(std::move(category), indexOfProperty, std::move(contact));
    }

    const QString& catagoryName() const { return m_category; }
    // The value's position in the contact that made the row; -1 for single rows.
    int indexOfProperty() const { return m_index; }
    const KQContactHelperPtr& contactHelper() const { return m_contact; }

    KQCompareCellPtr viewControllerOfColWithKey(const QString& key) const { return m_cells.value(key); }
    // An absent cell is logged and changes nothing.
    void setViewControllerOfCol(const KQCompareCellPtr& cell, const QString& key);
    // In the order the columns were filled.
    std::vector<KQCompareCellPtr> allConflictViewCtrls() const;
    bool containConflictViewCtrl(const KQCompareCell* cell) const;

    // The tallest cell, at least the minimum.
    int height() const;

private:
    QString m_category;
    int m_index;
    KQContactHelperPtr m_contact;
    QHash<QString, KQCompareCellPtr> m_cells;
    QStringList m_keys;
};
