#pragma once
// Looks through the contacts of one or more accounts for the enabled problem kinds and produces a
// result of groups and items. The phases run in a fixed order: exact duplicates, duplicate names,
// shared phone numbers, e-mail addresses and postal addresses, then the kinds that concern one
// contact. A contact placed in a multi-contact item leaves the working list, and a contact gets at
// most one single-contact problem (the first kind, in list order, whose test it fails).

#include "problems/KQConflictResult.h"
#include "store/KQContainerHelper.h"

#include <QHash>
#include <functional>
#include <memory>
#include <mutex>

class KQPreferences;
class KQConflictScanTask;

// Told about the scan on the main thread, in the order start, progress..., completion.
class KQConflictScanTaskDelegate
{
public:
    virtual ~KQConflictScanTaskDelegate() = default;
    virtual void conflictScanTaskStart(KQConflictScanTask* task) { Q_UNUSED(task); }
    // progress from 0 to 100; answering true cancels the scan.
    virtual bool conflictScanTaskQueryCancelWithProgress(KQConflictScanTask* task, double progress)
    {
        Q_UNUSED(task);
        Q_UNUSED(progress);
        return false;
    }
    // result is none after a cancel.
    virtual void conflictScanTaskCompleteWithResult(KQConflictScanTask* task, const KQConflictResultPtr& result)
    {
        Q_UNUSED(task);
        Q_UNUSED(result);
    }
};

// The kinds a scan looks for: a list of kind objects in catalogue order, with the preferences'
// look-ups over it. Taken from the preferences by default; the objects are shared, so a found
// group's kind is the very object of the list.
struct KQConflictScanKinds
{
    std::vector<KQConflictMetaPtr> metas;

    static KQConflictScanKinds fromPreferences(const KQPreferences& preferences);
    KQConflictMetaPtr conflictMetaWithName(const QString& name) const;
    bool requireScanConflictWithName(const QString& name) const;
    // The enabled kinds that concern one contact, in list order.
    std::vector<KQConflictMetaPtr> validateConflictMetaInSingleContacts() const;
    // The duplicate-name kind's mask (all parts when the list has no such kind).
    int duplicateNameMask() const;
};

class KQConflictScanTask : public std::enable_shared_from_this<KQConflictScanTask>
{
public:
    // None for an empty list.
    static std::shared_ptr<KQConflictScanTask>
    initWithContainerHelpers(const std::vector<KQContainerHelperPtr>& containers);
    // Scans contacts of no account (read from files); they are used as they are, all keys loaded.
    static std::shared_ptr<KQConflictScanTask> initWithContactHelpers(const KQContactHelperList& contacts);

    const std::vector<KQContainerHelperPtr>& allContainerHelpers() const { return m_containers; }
    // Not owned: the caller keeps the delegate alive until the completion has been delivered.
    KQConflictScanTaskDelegate* delegate() const { return m_delegate; }
    void setDelegate(KQConflictScanTaskDelegate* delegate) { m_delegate = delegate; }
    // The kinds to look for; unset, the preferences' list is read when the scan starts.
    void setKinds(KQConflictScanKinds kinds) { m_kinds = std::move(kinds); }

    // Starts the scan on the background queue and returns at once. Call on the main thread.
    void startScanConflicts();

    // The whole scan on the calling thread. queryCancel(progress) is asked at most every few
    // milliseconds (answering true cancels; none when cancelled). The kinds must be set.
    KQConflictResultPtr scan(const std::function<bool(double)>& queryCancel);
    // Why the last scan gave no result though it was not cancelled (an account whose contacts
    // could not all be read); empty otherwise.
    QString failureMessage() const;

    // Some value of a's field equals (isEqualToValue) some value of b's.
    static bool findDuplicateInProperty(KQLabeledValueProperty* a, KQLabeledValueProperty* b);
    // The phone test's answer for each distinct text, judged on all cores. stop() is polled by the
    // workers; the answers are partial when it said yes.
    static QHash<QString, bool> judgePhoneNumbers(const QStringList& texts, const std::function<bool()>& stop = {});

    KQConflictScanTask() = default;

private:
    class Progress;
    bool loadContacts(KQContactHelperList& working, Progress& progress);
    bool findMultipleContactConflicts(const KQConflictMetaPtr& meta, KQContactHelperList& working,
                                      KQConflictResult& result, double offset, double share, Progress& progress);
    bool findSingleContactConflicts(const KQContactHelperList& working, KQConflictResult& result, Progress& progress);

    std::vector<KQContainerHelperPtr> m_containers;
    KQContactHelperList m_contacts;
    bool m_fromContacts = false;
    KQConflictScanTaskDelegate* m_delegate = nullptr;
    std::optional<KQConflictScanKinds> m_kinds;
    mutable std::mutex m_failureMutex;
    QString m_failure;
};
using KQConflictScanTaskPtr = std::shared_ptr<KQConflictScanTask>;
