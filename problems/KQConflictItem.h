#pragma once
// One found problem: the contacts concerned (for a multi-contact kind, all equal to the first one
// under the kind's test) and the solution the user picked for it.

#include "model/KQContactHelper.h"
#include "problems/KQConflictSolution.h"

#include <QImage>
#include <QList>
#include <QObject>
#include <QPointer>
#include <optional>
#include <vector>

class KQConflictGroup;
class KQConflictItem;
using KQConflictItemPtr = std::shared_ptr<KQConflictItem>;
using KQContactHelperList = std::vector<KQContactHelperPtr>;

class KQConflictItem : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool selected READ selected NOTIFY selectedChanged)
    Q_PROPERTY(int selectedIndexOfSolution READ selectedIndexOfSolution WRITE setSelectedIndexOfSolution NOTIFY
                   currentSolutionChanged)
public:
    // The row height of an item in the review list.
    static constexpr int height = 42;

    KQConflictItem();
    ~KQConflictItem() override;
    static KQConflictItemPtr create() { return std::make_shared<KQConflictItem>(); }

    // --- the contacts (observable list)
    KQContactHelperList contactHelpers() const { return m_contacts; }
    int countOfContactHelpers() const { return static_cast<int>(m_contacts.size()); }
    // None past the end.
    KQContactHelperPtr objectInContactHelpersAtIndex(int index) const;
    void insertObjectInContactHelpersAtIndex(const KQContactHelperPtr& contact, int index);
    void insertContactHelpersAtIndexes(const KQContactHelperList& contacts, const QList<int>& indexes);
    void removeObjectFromContactHelpersAtIndex(int index);
    void removeContactHelpersAtIndexes(const QList<int>& indexes);
    void replaceObjectInContactHelpersAtIndex(int index, const KQContactHelperPtr& contact);
    // Appends; an absent contact is ignored.
    void addContactHelpersObject(const KQContactHelperPtr& contact);
    // Removes the first identical contact; nothing when absent.
    void removeContactHelpersObject(const KQContactHelper* contact);
    int indexOfContactHelper(const KQContactHelper* contact) const;
    QList<int> indexesOfContactHelpers(const KQContactHelperList& contacts) const;
    void cleanContactHelpers();
    void setContactHelpers(const KQContactHelperList& contacts);
    KQContactHelperPtr firstItem() const;

    // --- owner and solutions
    KQConflictGroup* owner() const;
    void setOwner(KQConflictGroup* owner);
    // Copies of the owner kind's solutions, made on first use and kept for the item's life.
    const std::vector<KQConflictSolutionPtr>& availableSolutions();
    int selectedIndexOfSolution() const { return m_selectedSolution; }
    void setSelectedIndexOfSolution(int index);
    // None unless the selected index lies within the solutions.
    KQConflictSolutionPtr currentSolution();
    // Selects the equal solution (same name and description); none or no match selects -1.
    void setCurrentSolution(const KQConflictSolution* solution);

    bool selected() const { return m_selected; }
    void setSelected(bool selected);

    // --- display values, all of the first contact
    QString title() const;
    QString longTitle() const;
    QString firstInformation() const;
    QImage image() const;
    // The full name, with the number of contacts when there are two or more; none when empty.
    std::optional<QString> titleWithCount() const;
    bool titleIsEmpty() const;
    // The kind's description; the prefix and suffix kinds name the offending value.
    QString conflictDescription() const;

    // Posts "KQConflictSolutionDidChange" with the solution, as the review list does on a click.
    static void postSolutionDidChange(const KQConflictSolution* solution);

Q_SIGNALS:
    void contactHelpersInserted(const QList<int>& indexes);
    void contactHelpersRemoved(const QList<int>& indexes);
    void contactHelpersReplaced(const QList<int>& indexes);
    void selectedChanged();
    void currentSolutionChanged();

private:
    KQContactHelperList m_contacts;
    QPointer<KQConflictGroup> m_owner;
    std::vector<KQConflictSolutionPtr> m_solutions;
    bool m_solutionsMade = false;
    int m_selectedSolution = -1;
    bool m_selected = false;
};
