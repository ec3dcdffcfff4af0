#include "problems/KQConflictScanTask.h"

#include "platform/KQDispatch.h"
#include "problems/KQConflictMetaDuplicateName.h"
#include "problems/KQConflictScanIndex.h"
#include "store/KQPreferences.h"

#include <QElapsedTimer>
#include <QThread>
#include <atomic>
#include <thread>

// ---------------------------------------------------------------- kinds

KQConflictScanKinds KQConflictScanKinds::fromPreferences(const KQPreferences& preferences)
{
    return KQConflictScanKinds{preferences.availableConflicts()};
}

KQConflictMetaPtr KQConflictScanKinds::conflictMetaWithName(const QString& name) const
{
    for (const auto& meta : metas) {
        if (meta && meta->name() == name)
            return meta;
    }
    return nullptr;
}

bool KQConflictScanKinds::requireScanConflictWithName(const QString& name) const
{
    const KQConflictMetaPtr meta = conflictMetaWithName(name);
    return meta && meta->validate();
}

std::vector<KQConflictMetaPtr> KQConflictScanKinds::validateConflictMetaInSingleContacts() const
{
    std::vector<KQConflictMetaPtr> kinds;
    for (const auto& meta : metas) {
        if (meta && meta->validate() && !meta->isMultipleContactsConflict())
            kinds.push_back(meta);
    }
    return kinds;
}

int KQConflictScanKinds::duplicateNameMask() const
{
    const auto meta =
        std::dynamic_pointer_cast<KQConflictMetaDuplicateName>(conflictMetaWithName(KQConflictName::DuplicateName));
    return meta ? static_cast<int>(meta->duplicateNameMask()) : 31;
}

// ---------------------------------------------------------------- progress

// Reports go to the caller at most every few milliseconds: asking the user-interface thread for every
// contact would cost more than the search itself, and a cancel still takes effect promptly.
class KQConflictScanTask::Progress
{
public:
    explicit Progress(std::function<bool(double)> query) : m_query(std::move(query)) { m_clock.start(); }

    // True when the caller cancelled. A forced report (the end of a phase) is always passed on.
    bool report(double percent, bool force = false)
    {
        if (m_cancelled)
            return true;
        if (!m_query)
            return false;
        if (!force && m_asked && m_clock.elapsed() < kIntervalMs)
            return false;
        m_asked = true;
        m_clock.restart();
        m_cancelled = m_query(percent);
        return m_cancelled;
    }

private:
    static constexpr qint64 kIntervalMs = 20;
    std::function<bool(double)> m_query;
    QElapsedTimer m_clock;
    bool m_asked = false;
    bool m_cancelled = false;
};

// ---------------------------------------------------------------- task

std::shared_ptr<KQConflictScanTask>
KQConflictScanTask::initWithContainerHelpers(const std::vector<KQContainerHelperPtr>& containers)
{
    if (containers.empty())
        return nullptr;
    auto task = std::make_shared<KQConflictScanTask>();
    task->m_containers = containers;
    return task;
}

std::shared_ptr<KQConflictScanTask> KQConflictScanTask::initWithContactHelpers(const KQContactHelperList& contacts)
{
    auto task = std::make_shared<KQConflictScanTask>();
    task->m_contacts = contacts;
    task->m_fromContacts = true;
    return task;
}

void KQConflictScanTask::startScanConflicts()
{
    if (!m_kinds)
        m_kinds = KQConflictScanKinds::fromPreferences(*KQPreferences::sharePreferences());
    auto self = shared_from_this();
    KQDispatch::globalAsync([self] {
        KQDispatch::mainAsync([self] {
            if (self->m_delegate)
                self->m_delegate->conflictScanTaskStart(self.get());
        });
        const KQConflictResultPtr result = self->scan([self](double percent) {
            bool cancel = false;
            KQDispatch::mainSync([&] {
                if (self->m_delegate)
                    cancel = self->m_delegate->conflictScanTaskQueryCancelWithProgress(self.get(), percent);
            });
            return cancel;
        });
        KQDispatch::mainAsync([self, result] {
            if (self->m_delegate)
                self->m_delegate->conflictScanTaskCompleteWithResult(self.get(), result);
        });
    });
}

KQConflictResultPtr KQConflictScanTask::scan(const std::function<bool(double)>& queryCancel)
{
    if (!m_kinds)
        return nullptr;
    Progress progress(queryCancel);
    KQConflictResultPtr result = KQConflictResult::create();
    KQContactHelperList working;
    if (!loadContacts(working, progress))
        return nullptr;

    struct Phase
    {
        const QString& name;
        double offset;
        double share;
    };
    const Phase phases[] = {{KQConflictName::ExactDuplicateContacts, 20, 20},
                            {KQConflictName::DuplicateName, 40, 10},
                            {KQConflictName::DuplicatePhoneInMultipleContacts, 50, 10},
                            {KQConflictName::DuplicateEmailInMultipleContacts, 60, 10},
                            {KQConflictName::DuplicateAddressInMultipleContacts, 70, 10}};
    for (const Phase& phase : phases) {
        if (!m_kinds->requireScanConflictWithName(phase.name))
            continue;
        const KQConflictMetaPtr meta = m_kinds->conflictMetaWithName(phase.name);
        if (findMultipleContactConflicts(meta, working, *result, phase.offset, phase.share, progress))
            return nullptr;
    }
    if (findSingleContactConflicts(working, *result, progress))
        return nullptr;
    return result;
}

bool KQConflictScanTask::loadContacts(KQContactHelperList& working, Progress& progress)
{
    if (m_fromContacts) {
        working = m_contacts;
        return true;
    }
    {
        std::lock_guard lock(m_failureMutex);
        m_failure.clear();
    }
    for (const KQContainerHelperPtr& container : m_containers) {
        // One fetch for the whole account; the per-record loads below then find everything loaded.
        container->syncLoadAllKeysOfContacts();
        // A partial list would make wrong duplicates and fixes: nothing is scanned.
        if (container->hasLoadError()) {
            std::lock_guard lock(m_failureMutex);
            m_failure = container->loadErrorMessage();
            return false;
        }
        const KQContactHelperList contacts = container->contacts();
        working.insert(working.end(), contacts.begin(), contacts.end());
    }
    const double n = static_cast<double>(working.size());
    for (size_t k = 0; k < working.size(); ++k) {
        working[k]->syncLoadAllKeysIfNecessary();
        if (progress.report(static_cast<double>(k + 1) * 20.0 / n, k + 1 == working.size()))
            return false;
    }
    return true;
}

QString KQConflictScanTask::failureMessage() const
{
    std::lock_guard lock(m_failureMutex);
    return m_failure;
}

bool KQConflictScanTask::findDuplicateInProperty(KQLabeledValueProperty* a, KQLabeledValueProperty* b)
{
    if (a == nullptr || b == nullptr)
        return false;
    for (const auto& mine : a->labeledValueHelpers()) {
        for (const auto& theirs : b->labeledValueHelpers()) {
            if (mine->isEqualToValue(theirs.get()))
                return true;
        }
    }
    return false;
}

bool KQConflictScanTask::findMultipleContactConflicts(const KQConflictMetaPtr& meta, KQContactHelperList& working,
                                                      KQConflictResult& result, double offset, double share,
                                                      Progress& progress)
{
    namespace Index = KQConflictScanIndex;
    const int n = static_cast<int>(working.size());
    KQConflictGroupPtr group = result.findGroupWithConflictMeta(meta.get());
    const bool newGroup = !group;
    if (newGroup)
        group = KQConflictGroup::initWithConflictMeta(meta);

    // Each kind indexes by what its pair test compares.
    using Property = KQLabeledValueProperty* (KQContactHelper::*)();
    const QString& name = meta->name();
    Property property = nullptr;
    if (name == KQConflictName::DuplicatePhoneInMultipleContacts)
        property = &KQContactHelper::propertyPhoneNumbers;
    else if (name == KQConflictName::DuplicateEmailInMultipleContacts)
        property = &KQContactHelper::propertyEmails;
    else if (name == KQConflictName::DuplicateAddressInMultipleContacts)
        property = &KQContactHelper::propertyPostalAddress;
    const int mask = m_kinds->duplicateNameMask();

    std::function<bool(KQContactHelper*, KQContactHelper*)> test;
    KQConflictScanKeyTable table;
    std::vector<KQConflictScanKeys> keys(static_cast<size_t>(n));
    if (name == KQConflictName::ExactDuplicateContacts) {
        test = [](KQContactHelper* a, KQContactHelper* b) { return a->isEqualTo(b); };
        for (int i = 0; i < n; ++i)
            keys[static_cast<size_t>(i)] = Index::exactDuplicateKeys(working[static_cast<size_t>(i)].get(), table);
    } else if (name == KQConflictName::DuplicateName) {
        test = [mask](KQContactHelper* a, KQContactHelper* b) { return a->isEqualToName(b, mask); };
        for (int i = 0; i < n; ++i)
            keys[static_cast<size_t>(i)] = Index::duplicateNameKeys(working[static_cast<size_t>(i)].get(), mask, table);
    } else if (property != nullptr) {
        test = [property](KQContactHelper* a, KQContactHelper* b) {
            return findDuplicateInProperty((a->*property)(), (b->*property)());
        };
        for (int i = 0; i < n; ++i)
            keys[static_cast<size_t>(i)] =
                Index::sharedValueKeys((working[static_cast<size_t>(i)].get()->*property)(), table);
    } else {
        return false;
    }

    // Placing is by identifier: the same contact listed twice is placed once for both.
    std::vector<int> sameContact(static_cast<size_t>(n));
    QHash<QString, int> identifiers;
    identifiers.reserve(n);
    for (int i = 0; i < n; ++i) {
        const QString identifier = working[static_cast<size_t>(i)]->identifier();
        const auto known = identifiers.constFind(identifier);
        if (known != identifiers.constEnd()) {
            sameContact[static_cast<size_t>(i)] = known.value();
        } else {
            identifiers.insert(identifier, i);
            sameContact[static_cast<size_t>(i)] = i;
        }
    }
    std::vector<KQContactHelperPtr> existingFirsts;
    for (const auto& item : group->conflictItems())
        existingFirsts.push_back(item->firstItem());

    const Index::Pass pass = Index::findConflicts(
        n, sameContact, keys, table.count(), existingFirsts,
        [&](int i, const KQContactHelperPtr& first) {
            return test(working[static_cast<size_t>(i)].get(), first.get());
        },
        [&](int i, int j) {
            return test(working[static_cast<size_t>(i)].get(), working[static_cast<size_t>(j)].get());
        },
        [&](int i) { return progress.report(offset + i * share / n, i == n - 1); });
    if (pass.cancelled)
        return true;

    for (size_t e = 0; e < pass.joinedExisting.size(); ++e) {
        const KQConflictItemPtr item = group->conflictItemAtIndex(static_cast<int>(e));
        for (int i : pass.joinedExisting[e])
            item->addContactHelpersObject(working[static_cast<size_t>(i)]);
    }
    const KQConflictSolutionPtr solution = meta->defaultSolution();
    for (const auto& members : pass.items) {
        auto item = KQConflictItem::create();
        for (int i : members)
            item->addContactHelpersObject(working[static_cast<size_t>(i)]);
        group->addConflictItemsObject(item);
        item->setCurrentSolution(solution.get());
    }
    if (newGroup && group->countOfConflictItems() > 0)
        result.addConflictGroupsObject(group);

    KQContactHelperList remaining;
    remaining.reserve(working.size());
    for (int i = 0; i < n; ++i) {
        if (!pass.placed[static_cast<size_t>(i)])
            remaining.push_back(working[static_cast<size_t>(i)]);
    }
    working.swap(remaining);
    return false;
}

QHash<QString, bool> KQConflictScanTask::judgePhoneNumbers(const QStringList& texts, const std::function<bool()>& stop)
{
    const qsizetype count = texts.size();
    std::vector<char> answers(static_cast<size_t>(count), 0);
    std::vector<char> judged(static_cast<size_t>(count), 0);
    std::atomic<qsizetype> next{0};
    std::atomic<bool> stopped{false};
    const auto work = [&](bool polling) {
        for (;;) {
            const qsizetype at = next.fetch_add(1);
            if (at >= count || stopped.load())
                return;
            answers[static_cast<size_t>(at)] = KQLabeledValueHelper::findValidPhoneNumberString(texts[at]) ? 1 : 0;
            judged[static_cast<size_t>(at)] = 1;
            if (polling && stop && (at & 63) == 0 && stop())
                stopped = true;
        }
    };
    const int helpers = std::max(0, QThread::idealThreadCount() - 1);
    std::vector<std::thread> threads;
    for (int t = 0; t < helpers && count > 256; ++t)
        threads.emplace_back(work, false);
    work(true);
    for (auto& thread : threads)
        thread.join();
    QHash<QString, bool> validity;
    validity.reserve(count);
    for (qsizetype i = 0; i < count; ++i) {
        if (judged[static_cast<size_t>(i)])
            validity.insert(texts[i], answers[static_cast<size_t>(i)] != 0);
    }
    return validity;
}

bool KQConflictScanTask::findSingleContactConflicts(const KQContactHelperList& working, KQConflictResult& result,
                                                    Progress& progress)
{
    const std::vector<KQConflictMetaPtr> kinds = m_kinds->validateConflictMetaInSingleContacts();
    if (kinds.empty())
        return false;
    // The phone test is the costly one: judge each distinct text once, on every core.
    QHash<QString, bool> phoneValidity;
    const bool checksPhones = std::any_of(kinds.begin(), kinds.end(), [](const KQConflictMetaPtr& meta) {
        return meta->name() == KQConflictName::InvalidPhoneOrEmail;
    });
    if (checksPhones) {
        QSet<QString> seen;
        QStringList texts;
        for (const auto& contact : working) {
            for (const auto& phone : contact->propertyPhoneNumbers()->labeledValueHelpers()) {
                const QString text = phone->valueString();
                if (!seen.contains(text)) {
                    seen.insert(text);
                    texts.append(text);
                }
            }
        }
        bool cancelled = false;
        phoneValidity = judgePhoneNumbers(texts, [&] { return cancelled = progress.report(80); });
        if (cancelled)
            return true;
    }

    const double m = static_cast<double>(working.size());
    for (size_t k = 0; k < working.size(); ++k) {
        const KQContactHelperPtr& contact = working[k];
        for (const auto& meta : kinds) {
            if (!meta->checkContactHelper(contact.get(), &phoneValidity))
                continue;
            KQConflictGroupPtr group = result.findGroupWithConflictMeta(meta.get());
            if (!group) {
                group = KQConflictGroup::initWithConflictMeta(meta);
                result.addConflictGroupsObject(group);
            }
            auto item = KQConflictItem::create();
            item->addContactHelpersObject(contact);
            group->addConflictItemsObject(item);
            item->setCurrentSolution(meta->defaultSolution().get());
            break;
        }
        if (progress.report(80 + static_cast<double>(k + 1) * 10.0 / m, k + 1 == working.size()))
            return true;
    }
    return false;
}
