#include "problems/KQCompareRow.h"

#include "platform/KQLog.h"

KQCompareRow::KQCompareRow(QString category, int indexOfProperty, KQContactHelperPtr contact)
    : m_category(std::move(category)), m_index(indexOfProperty), m_contact(std::move(contact))
{
}

void KQCompareRow::setViewControllerOfCol(const KQCompareCellPtr& cell, const QString& key)
{
    if (!cell) {
        KQLog(QStringLiteral("Warning, conflict property view ctrl is nil.."));
        return;
    }
    if (!m_cells.contains(key))
        m_keys.append(key);
    m_cells.insert(key, cell);
}

std::vector<KQCompareCellPtr> KQCompareRow::allConflictViewCtrls() const
{
    std::vector<KQCompareCellPtr> cells;
    for (const QString& key : m_keys)
        cells.push_back(m_cells.value(key));
    return cells;
}

bool KQCompareRow::containConflictViewCtrl(const KQCompareCell* cell) const
{
    for (const auto& mine : m_cells) {
        if (mine.get() == cell)
            return true;
    }
    return false;
}

int KQCompareRow::height() const
{
    int height = minimumHeight;
    for (const auto& cell : m_cells)
        height = std::max(height, cell->heightOfContent());
    return height;
}
