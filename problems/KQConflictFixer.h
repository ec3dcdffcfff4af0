#pragma once
// Applies a chosen solution to found problems: ignoring them, deleting contacts (to the Trash),
// deleting repeated values, removing the space from first names, removing or allowing unusual
// prefixes and suffixes. Every fix action changes the store through one save request, and fixed
// items leave their group. The problem window drives this and shows its progress.

#include "problems/KQConflictResult.h"

#include <QPointer>
#include <functional>
#include <memory>

class KQCompareContacts;
class KQContactStoreHelper;
class KQStorage;
class KQContainerRecyle;
class KQPreferences;

// What the fixes see of the window: the progress sheet, the current item and the window itself.
class KQConflictFixerDelegate
{
public:
    virtual ~KQConflictFixerDelegate() = default;
    virtual void conflictFixerShowProgress(const QString& label, double percent)
    {
        Q_UNUSED(label);
        Q_UNUSED(percent);
    }
    // The sheet's cancel flag.
    virtual bool conflictFixerQueryCancelWithProgress(double percent)
    {
        Q_UNUSED(percent);
        return false;
    }
    virtual void conflictFixerCloseProgress() {}
    // The group and item that became current after a fix.
    virtual void conflictFixerDidSelect(const KQConflictGroupPtr& group, const KQConflictItemPtr& item)
    {
        Q_UNUSED(group);
        Q_UNUSED(item);
    }
    // The last group went: the window closes.
    virtual void conflictFixerDidFinishAll() {}
};

// Where fixes write: the store, the private storage with the Trash, and the preferences.
struct KQConflictFixEnvironment
{
    KQContactStoreHelper* store = nullptr;
    KQStorage* storage = nullptr;
    std::shared_ptr<KQContainerRecyle> recyle;
    KQPreferences* preferences = nullptr;

    // The process's contact manager, storage and preferences.
    static KQConflictFixEnvironment shared();
};

class KQConflictFixer : public std::enable_shared_from_this<KQConflictFixer>
{
public:
    using ProcessBlock = std::function<bool(const KQConflictItemPtr& item, CNSaveRequest& request)>;

    KQConflictFixer(KQConflictResultPtr result, KQConflictFixEnvironment environment);
    static std::shared_ptr<KQConflictFixer> create(KQConflictResultPtr result, KQConflictFixEnvironment environment)
    {
        return std::make_shared<KQConflictFixer>(std::move(result), std::move(environment));
    }

    const KQConflictResultPtr& result() const { return m_result; }
    // Not owned; kept alive by the caller while fixes run.
    void setDelegate(KQConflictFixerDelegate* delegate) { m_delegate = delegate; }

    // What the review list's fix button does: the current item's solution type, applied to that
    // item or (all) to every item of the group. Answers true when the solution is an edit that the
    // window handles itself (the compare view); done runs after a fix that changed data.
    bool requireFix(const KQConflictGroupPtr& group, const KQConflictItemPtr& current, bool all,
                    std::function<void()> done = {});

    void fixConflictItemsWithIgnorSolution(const std::vector<KQConflictItemPtr>& items,
                                           const KQConflictGroupPtr& group);
    void fixConflictItemsWithDeleteSolution(const std::vector<KQConflictItemPtr>& items,
                                            const KQConflictGroupPtr& group, std::function<void()> done = {});
    void fixConflictItemsWithRemoveSpaceSolution(const std::vector<KQConflictItemPtr>& items,
                                                 const KQConflictGroupPtr& group, std::function<void()> done = {});
    void fixConflictItemsWithEditSolution(const std::vector<KQConflictItemPtr>& items, const KQConflictGroupPtr& group,
                                          std::function<void()> done = {});
    // The common driver: on the background queue, each item's action runs on the main thread and a
    // resolved item leaves the group; the save request runs once at the end (also after a cancel,
    // for the items done so far); then re-selection, and done on the main thread.
    void fixConflictItems(const std::vector<KQConflictItemPtr>& items, const KQConflictGroupPtr& group,
                          KQConflictSolutionType type, ProcessBlock processBlock, std::function<void()> done = {});
    // Why the last fix was refused without changing anything (an account of its contacts could not
    // be read completely); empty when it was not.
    QString refusal() const { return m_refusal; }

    // Removes later values whose text repeats an earlier one's; the first keeps its label.
    static void removeDuplicateInLabeledValueProperty(KQLabeledValueProperty* property);
    // Space, tab and the other space separators (not line breaks) trimmed from both ends.
    static QString trimmedWhiteSpace(const QString& text);

    // Merges the compare model's item (its merged record as it stands) and then each further item
    // (merged afresh) into one new contact each, in the account of the compare item's first contact;
    // every source contact goes to the Trash and leaves the store. Progress "Merge..." counts one
    // step per new contact and per source; a cancel stops after the current item. done runs on the
    // main thread at the end.
    void mergeConflitItems(const std::vector<KQConflictItemPtr>& further,
                           const std::shared_ptr<KQCompareContacts>& compare, std::function<void()> done = {});

    // After a fix: the item at index (or the last) of the group, else the group that took the
    // emptied one's place; the window closes when no group is left.
    void selectConflictItemAtIndex(int index, const KQConflictGroupPtr& group);

private:
    // Moves a contact to the Trash in memory and adds its deletion to the request.
    void deleteContact(const KQContactHelperPtr& contact, CNSaveRequest& request);

    KQConflictResultPtr m_result;
    KQConflictFixEnvironment m_env;
    KQConflictFixerDelegate* m_delegate = nullptr;
    QString m_refusal;
};
