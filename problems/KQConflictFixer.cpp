#include "problems/KQConflictFixer.h"

#include "platform/KQDispatch.h"
#include "problems/KQCompareContacts.h"
#include "problems/KQConflictMetaPrefix.h"
#include "store/KQContactManager.h"
#include "store/KQContactStoreHelper.h"
#include "store/KQContainerRecyle.h"
#include "store/KQPreferences.h"
#include "store/KQStorage.h"

#include <QLoggingCategory>
#include <QSet>

Q_LOGGING_CATEGORY(kqFixerLog, "kq.problems.fixer")

namespace {

bool isOneOf(const QString& name, std::initializer_list<const QString*> names)
{
    return std::any_of(names.begin(), names.end(), [&](const QString* n) { return *n == name; });
}

} // namespace

KQConflictFixEnvironment KQConflictFixEnvironment::shared()
{
    KQContactManager* manager = KQContactManager::sharedContactManager();
    return KQConflictFixEnvironment{manager->storeHelper(), KQStorage::sharedStorage(), manager->recyle(),
                                    KQPreferences::sharePreferences()};
}

KQConflictFixer::KQConflictFixer(KQConflictResultPtr result, KQConflictFixEnvironment environment)
    : m_result(std::move(result)), m_env(std::move(environment))
{
}

bool KQConflictFixer::requireFix(const KQConflictGroupPtr& group, const KQConflictItemPtr& current, bool all,
                                 std::function<void()> done)
{
    if (!group || !current)
        return false;
    const KQConflictSolutionPtr solution = current->currentSolution();
    if (!solution)
        return false;
    const std::vector<KQConflictItemPtr> items = all ? group->conflictItems() : std::vector<KQConflictItemPtr>{current};
    const QString& name = group->conflictMeta()->name();
    switch (solution->type()) {
    case KQConflictSolutionType::Ignore:
        fixConflictItemsWithIgnorSolution(items, group);
        return false;
    case KQConflictSolutionType::RemoveSpace:
        fixConflictItemsWithRemoveSpaceSolution(items, group, std::move(done));
        return false;
    case KQConflictSolutionType::Delete:
        fixConflictItemsWithDeleteSolution(items, group, std::move(done));
        return false;
    case KQConflictSolutionType::Edit:
        if (name == KQConflictName::UnusualPrefix || name == KQConflictName::UnusualSuffix) {
            fixConflictItemsWithEditSolution(items, group, std::move(done));
            return false;
        }
        return true;
    case KQConflictSolutionType::Unknown:
        break;
    }
    return false;
}

void KQConflictFixer::fixConflictItemsWithIgnorSolution(const std::vector<KQConflictItemPtr>& items,
                                                        const KQConflictGroupPtr& group)
{
    if (!group || items.empty())
        return;
    const int first = group->indexOfConflictItem(items.front().get());
    for (const auto& item : items)
        group->removeConflictItemsObject(item.get());
    selectConflictItemAtIndex(std::max(first, 0), group);
}

void KQConflictFixer::deleteContact(const KQContactHelperPtr& contact, CNSaveRequest& request)
{
    if (KQContainerHelper* container = contact->containerHelper()) {
        if (KQContactRecylePtr entry = container->deleteContactHelper(contact)) {
            if (m_env.recyle)
                m_env.recyle->addContactHelper(entry);
        }
    }
    if (const CNContactPtr stored = contact->effectiveContact())
        request.deleteContact(*stored);
}

void KQConflictFixer::fixConflictItemsWithDeleteSolution(const std::vector<KQConflictItemPtr>& items,
                                                         const KQConflictGroupPtr& group, std::function<void()> done)
{
    if (!group)
        return;
    const QString name = group->conflictMeta()->name();
    using namespace KQConflictName;
    auto self = shared_from_this();
    ProcessBlock block = [self, name](const KQConflictItemPtr& item, CNSaveRequest& request) {
        const KQContactHelperList contacts = item->contactHelpers();
        if (isOneOf(name, {&BlankName, &IncompleteName, &BlankSpaceInFirstName})) {
            for (const auto& contact : contacts)
                self->deleteContact(contact, request);
        } else if (name == ExactDuplicateContacts) {
            // The earliest contact of the scanned list stays.
            for (size_t i = 1; i < contacts.size(); ++i)
                self->deleteContact(contacts[i], request);
        } else if (isOneOf(name, {&DuplicatePhoneInSingleContact, &DuplicateEmailInSingleContact,
                                  &DuplicateAddressInSingleContact})) {
            for (const auto& contact : contacts) {
                contact->startEditContact();
                KQLabeledValueProperty* property =
                    name == DuplicatePhoneInSingleContact   ? contact->propertyPhoneNumbers()
                    : name == DuplicateEmailInSingleContact ? contact->propertyEmails()
                                                            : contact->propertyPostalAddress();
                removeDuplicateInLabeledValueProperty(property);
                contact->syncEndEditContactWithError(nullptr, request);
            }
        } else if (name == UnusualPrefix || name == UnusualSuffix) {
            for (const auto& contact : contacts) {
                contact->startEditContact();
                if (name == UnusualPrefix)
                    contact->setNamePrefix(QString());
                else
                    contact->setNameSuffix(QString());
                contact->syncEndEditContactWithError(nullptr, request);
            }
        }
        return true;
    };
    fixConflictItems(items, group, KQConflictSolutionType::Delete, std::move(block), std::move(done));
}

void KQConflictFixer::fixConflictItemsWithRemoveSpaceSolution(const std::vector<KQConflictItemPtr>& items,
                                                              const KQConflictGroupPtr& group,
                                                              std::function<void()> done)
{
    ProcessBlock block = [](const KQConflictItemPtr& item, CNSaveRequest& request) {
        for (const auto& contact : item->contactHelpers()) {
            contact->startEditContact();
            contact->setGivenName(trimmedWhiteSpace(contact->givenName().value_or(QString())));
            contact->syncEndEditContactWithError(nullptr, request);
        }
        return true;
    };
    fixConflictItems(items, group, KQConflictSolutionType::RemoveSpace, std::move(block), std::move(done));
}

void KQConflictFixer::fixConflictItemsWithEditSolution(const std::vector<KQConflictItemPtr>& items,
                                                       const KQConflictGroupPtr& group, std::function<void()> done)
{
    if (!group)
        return;
    const QString name = group->conflictMeta()->name();
    KQPreferences* preferences = m_env.preferences;
    ProcessBlock block = [name, preferences](const KQConflictItemPtr& item, CNSaveRequest&) {
        if (preferences == nullptr || (name != KQConflictName::UnusualPrefix && name != KQConflictName::UnusualSuffix))
            return true;
        const auto meta = name == KQConflictName::UnusualPrefix ? preferences->conflictMetaPrefix()
                                                                : preferences->conflictMetaSuffix();
        for (const auto& contact : item->contactHelpers()) {
            const QString value =
                (name == KQConflictName::UnusualPrefix ? contact->namePrefix() : contact->nameSuffix())
                    .value_or(QString());
            if (meta && !value.isEmpty())
                meta->addAvailableFix(value);
        }
        return true;
    };
    fixConflictItems(items, group, KQConflictSolutionType::Edit, std::move(block), std::move(done));
}

void KQConflictFixer::fixConflictItems(const std::vector<KQConflictItemPtr>& items, const KQConflictGroupPtr& group,
                                       KQConflictSolutionType type, ProcessBlock processBlock,
                                       std::function<void()> done)
{
    if (!group || items.empty())
        return;
    // An account that could not be read completely is not changed by a fix or a merge.
    m_refusal.clear();
    KQContactHelperList involved;
    for (const KQConflictItemPtr& item : items) {
        const KQContactHelperList contacts = item->contactHelpers();
        involved.insert(involved.end(), contacts.begin(), contacts.end());
    }
    if (const QString failure = KQContainerHelper::loadErrorForContacts(involved); !failure.isEmpty()) {
        qCWarning(kqFixerLog).noquote() << "fix refused:" << failure;
        m_refusal = failure;
        if (m_delegate)
            m_delegate->conflictFixerCloseProgress();
        return;
    }
    auto request = std::make_shared<CNSaveRequest>();
    const int first = std::max(0, group->indexOfConflictItem(items.front().get()));
    auto self = shared_from_this();
    KQDispatch::globalAsync([self, items, group, type, processBlock, done, request, first] {
        const QString progressLabel = QStringLiteral("Process...");
        KQDispatch::mainSync([&] {
            if (self->m_delegate)
                self->m_delegate->conflictFixerShowProgress(progressLabel, 0);
        });
        const size_t n = items.size();
        for (size_t k = 1; k <= n; ++k) {
            const KQConflictItemPtr& item = items[k - 1];
            bool cancel = false;
            KQDispatch::mainSync([&] {
                if (processBlock(item, *request))
                    group->removeConflictItemsObject(item.get());
                const double percent = static_cast<double>(k) * 100.0 / static_cast<double>(n);
                if (self->m_delegate) {
                    self->m_delegate->conflictFixerShowProgress(progressLabel, percent);
                    cancel = self->m_delegate->conflictFixerQueryCancelWithProgress(percent);
                }
            });
            if (cancel)
                break;
        }
        if (self->m_env.store != nullptr && !request->isEmpty())
            self->m_env.store->executeSaveRequest(*request, QString());
        const QString name = group->conflictMeta()->name();
        KQDispatch::mainAsync([self, group, type, name, first, done] {
            if (self->m_delegate)
                self->m_delegate->conflictFixerCloseProgress();
            self->selectConflictItemAtIndex(first, group);
            using namespace KQConflictName;
            if (type == KQConflictSolutionType::Delete &&
                isOneOf(name, {&BlankName, &IncompleteName, &ExactDuplicateContacts, &BlankSpaceInFirstName})) {
                if (self->m_env.storage != nullptr && self->m_env.recyle)
                    self->m_env.storage->saveDefaultContainerRecyle(self->m_env.recyle.get());
            }
            if (type == KQConflictSolutionType::Edit && (name == UnusualPrefix || name == UnusualSuffix) &&
                self->m_env.preferences != nullptr)
                self->m_env.preferences->persistentConflictConfigs();
            if (done)
                done();
        });
    });
}

void KQConflictFixer::removeDuplicateInLabeledValueProperty(KQLabeledValueProperty* property)
{
    if (property == nullptr)
        return;
    const auto& values = property->labeledValueHelpers();
    const int n = static_cast<int>(values.size());
    std::vector<char> marked(static_cast<size_t>(n), 0);
    QList<int> indexes;
    for (int i = 0; i < n; ++i) {
        if (marked[static_cast<size_t>(i)])
            continue;
        const QString text = values[static_cast<size_t>(i)]->valueString();
        for (int j = i + 1; j < n; ++j) {
            if (!marked[static_cast<size_t>(j)] && values[static_cast<size_t>(j)]->valueString() == text)
                marked[static_cast<size_t>(j)] = 1;
        }
    }
    for (int i = 0; i < n; ++i) {
        if (marked[static_cast<size_t>(i)])
            indexes.append(i);
    }
    if (!indexes.isEmpty())
        property->removeLabeledValueHelpersAtIndexes(indexes);
}

QString KQConflictFixer::trimmedWhiteSpace(const QString& text)
{
    const auto isWhite = [](QChar c) { return c == QLatin1Char('\t') || c.category() == QChar::Separator_Space; };
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isWhite(text[begin]))
        ++begin;
    while (end > begin && isWhite(text[end - 1]))
        --end;
    return text.mid(begin, end - begin);
}

void KQConflictFixer::selectConflictItemAtIndex(int index, const KQConflictGroupPtr& group)
{
    if (!group)
        return;
    if (group->countOfConflictItems() > 0) {
        const int at = std::min(std::max(index, 0), group->countOfConflictItems() - 1);
        group->setSelectedIndex(at);
        if (m_delegate)
            m_delegate->conflictFixerDidSelect(group, group->conflictItemAtIndex(at));
        return;
    }
    const int former = m_result->indexOfConflictGroup(group.get());
    m_result->removeConflictGroupsObject(group.get());
    if (m_result->countOfConflictGroups() == 0) {
        if (m_delegate)
            m_delegate->conflictFixerDidFinishAll();
        return;
    }
    const KQConflictGroupPtr next =
        m_result->conflictGroupAtIndex(std::min(std::max(former, 0), m_result->countOfConflictGroups() - 1));
    next->setSelectedIndex(0);
    if (m_delegate)
        m_delegate->conflictFixerDidSelect(next, next->conflictItemAtIndex(0));
}

void KQConflictFixer::mergeConflitItems(const std::vector<KQConflictItemPtr>& further,
                                        const std::shared_ptr<KQCompareContacts>& compare, std::function<void()> done)
{
    if (!compare || !compare->conflictItem())
        return;
    std::vector<KQConflictItemPtr> work{compare->conflictItem()};
    work.insert(work.end(), further.begin(), further.end());
    const KQContactHelperPtr first = compare->conflictItem()->firstItem();
    KQContainerHelper* target = first ? first->containerHelper() : nullptr;
    if (target == nullptr)
        return;
    m_refusal.clear();
    KQContactHelperList involved;
    for (const KQConflictItemPtr& item : work) {
        const KQContactHelperList contacts = item->contactHelpers();
        involved.insert(involved.end(), contacts.begin(), contacts.end());
    }
    if (const QString failure = KQContainerHelper::loadErrorForContacts(involved); !failure.isEmpty()) {
        qCWarning(kqFixerLog).noquote() << "merge refused:" << failure;
        m_refusal = failure;
        return;
    }
    auto self = shared_from_this();
    KQDispatch::globalAsync([self, work, compare, target, done] {
        const QString label = QStringLiteral("Merge...");
        KQDispatch::mainSync([&] {
            if (self->m_delegate)
                self->m_delegate->conflictFixerShowProgress(label, 0);
        });
        int total = 0;
        for (const auto& item : work)
            total += item->countOfContactHelpers() + 1;
        int step = 0;
        bool cancel = false;
        // One step of progress; true when the sheet was cancelled.
        const auto advance = [&] {
            ++step;
            const double percent = static_cast<double>(step) * 100.0 / std::max(total, 1);
            bool stop = false;
            KQDispatch::mainSync([&] {
                if (self->m_delegate) {
                    self->m_delegate->conflictFixerShowProgress(label, percent);
                    stop = self->m_delegate->conflictFixerQueryCancelWithProgress(percent);
                }
            });
            return stop;
        };
        const QString targetIdentifier = target->identifier();
        CNContactList added;
        CNContactList doomed;
        for (const auto& item : work) {
            KQContactHelperPtr merged;
            const KQContactHelperList sources = item->contactHelpers();
            KQDispatch::mainSync([&] {
                merged = item == compare->conflictItem() && compare->mergeContact()
                             ? compare->mergeContact()
                             : KQContactHelper::mergeContactHelpers(sources);
            });
            if (merged && self->m_env.store != nullptr) {
                const CNMutableContactPtr fresh = self->m_env.store->duplicateContact(*merged->effectiveContact());
                KQDispatch::mainSync([&] {
                    if (KQContactHelperPtr record = target->makeContactHelperIfNecessaryWithContact(fresh, true))
                        target->addContactHelper(record);
                });
                added.push_back(fresh);
                cancel = advance() || cancel;
                for (const auto& source : sources) {
                    KQDispatch::mainSync([&] {
                        // A source kept in another account leaves that account.
                        KQContainerHelper* account = source->containerHelper() ? source->containerHelper() : target;
                        if (KQContactRecylePtr entry = account->deleteContactHelper(source);
                            entry && self->m_env.recyle)
                            self->m_env.recyle->addContactHelper(entry);
                    });
                    if (const CNContactPtr stored = source->effectiveContact())
                        doomed.push_back(stored);
                    cancel = advance() || cancel;
                }
            }
            const KQConflictGroupPtr group = compare->currentGroup();
            KQDispatch::mainAsync([group, item] {
                if (group)
                    group->removeConflictItemsObject(item.get());
            });
            if (cancel)
                break;
        }
        if (self->m_env.store != nullptr) {
            if (!added.empty())
                self->m_env.store->importContacts(added, targetIdentifier);
            if (!doomed.empty())
                self->m_env.store->deleteContacts(doomed);
        }
        KQDispatch::mainAsync([self, done] {
            if (self->m_delegate)
                self->m_delegate->conflictFixerCloseProgress();
            if (self->m_env.storage != nullptr && self->m_env.recyle)
                self->m_env.storage->saveDefaultContainerRecyle(self->m_env.recyle.get());
            if (done)
                done();
        });
    });
}
