// The reload of all accounts: containers, their group trees and the account objects, rebuilt on
// the background queue and installed on the main thread. Account objects are reused across
// reloads, so windows keep observing the same objects and keep their selection.

#include "store/KQContactStoreHelper.h"
#include "store/KQContainerHelper.h"
#include "store/KQGroupHelper.h"
#include "store/KQListOps.h"

#include <QHash>
#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(kqStoreHelperLog)

namespace {

bool treeContains(const QString& identifier, const KQGroupTreeNodeList& nodes)
{
    return KQContainerHelper::findGroupWithIdentifier(identifier, nodes) != nullptr;
}

CNError firstLoadError(const KQGroupTreeNodeList& nodes)
{
    for (const auto& node : nodes) {
        if (const CNError error = node->loadError(); error.isError())
            return error;
        if (const CNError error = firstLoadError(node->subGroups()); error.isError())
            return error;
    }
    return {};
}

void updateSubgroupsInGroupTreeNode(const KQGroupTreeNodePtr& node)
{
    node->syncLoadSubGroupsIfNecessary();
    for (const auto& child : node->subGroups())
        updateSubgroupsInGroupTreeNode(child);
}

} // namespace

void KQContactStoreHelper::insertAllContainerHelpers(const std::vector<KQContainerHelperPtr>& helpers,
                                                     const QList<int>& indexes)
{
    const QList<int> done = KQListOps::insertAtIndexes(m_allContainerHelpers, helpers, indexes);
    if (!done.isEmpty())
        Q_EMIT allContainerHelpersInserted(done);
}

void KQContactStoreHelper::removeAllContainerHelpersAtIndexes(const QList<int>& indexes)
{
    const QList<int> done = KQListOps::removeAtIndexes(m_allContainerHelpers, indexes);
    if (!done.isEmpty())
        Q_EMIT allContainerHelpersRemoved(done);
}

void KQContactStoreHelper::asyncLoadContainerHelpers()
{
    if (m_updatingStore.exchange(true))
        return;
    KQDispatch::globalAsync([this] { loadContainerHelpers(); });
}

KQContainerHelperPtr KQContactStoreHelper::createContainer(const CNContainer& container,
                                                           const std::vector<CNGroup>& groups)
{
    // The top level ends up holding only the groups that are nobody's subgroup.
    KQGroupTreeNodeList top;
    for (const CNGroup& group : groups) {
        if (treeContains(group.identifier(), top))
            continue;
        auto node = std::make_shared<KQGroupHelper>(group);
        updateSubgroupsInGroupTreeNode(node);
        const KQGroupTreeNodeList inside = node->subGroups();
        std::erase_if(top, [&inside](const KQGroupTreeNodePtr& existing) {
            return treeContains(existing->identifier(), inside);
        });
        top.push_back(node);
    }

    KQContainerHelperPtr existing;
    KQDispatch::mainSync([&] { existing = containerHelperWithIdentifier(container.identifier()); });
    KQContainerHelperPtr account = existing ? existing : std::make_shared<KQContainerHelper>(container, top);
    if (existing) {
        existing->clearLoadError();
        existing->refetchGroupsWithNewGroups(top);
        existing->refetchContacts();
    }
    // The subgroups were read before the groups belonged to the account.
    if (const CNError failed = firstLoadError(top); failed.isError())
        account->setLoadError(failed);
    return account;
}

void KQContactStoreHelper::loadContainerHelpers()
{
    m_updatingStore.store(true);
    CNError containersError;
    const std::vector<CNContainer> containers = m_store->containersMatchingPredicate(std::nullopt, &containersError);
    CNError groupsError;
    const std::vector<CNGroup> groups = m_store->groupsMatchingPredicate(std::nullopt, &groupsError);
    if (containersError.isError()) {
        // Accounts already shown stay; none is taken away because the list could not be read.
        reportReloadFailure(containersError, "accounts");
        QPointer<KQContactStoreHelper> self(this);
        KQDispatch::mainAsync([self] {
            if (self)
                self->m_updatingStore.store(false);
        });
        return;
    }
    if (groupsError.isError()) {
        reportReloadFailure(groupsError, "groups");
    } else {
        std::lock_guard lock(m_loadErrorMutex);
        m_loadErrorMessage.clear();
    }

    QHash<QString, std::vector<CNGroup>> groupsByAccount;
    for (const CNGroup& group : groups) {
        const auto account = KQGroupHelper::getGroupContainerIdentifer(group.identifier());
        if (account)
            groupsByAccount[*account].push_back(group);
    }

    std::vector<KQContainerHelperPtr> helpers;
    for (const CNContainer& container : containers) {
        // Exchange's address-book groups are listed by the store as containers of their own.
        if (container.type() == CNContainerType::Exchange && container.identifier().contains(QLatin1String("ABGroup")))
            continue;
        helpers.push_back(createContainer(container, groupsByAccount.value(container.identifier())));
        // Every account's group tree may lack groups.
        if (groupsError.isError())
            helpers.back()->setLoadError(groupsError);
    }

    KQDispatch::mainSync([this, &helpers] {
        removeAllContainerHelpersAtIndexes(KQListOps::range(countOfAllContainerHelpers()));
        insertAllContainerHelpers(helpers, KQListOps::range(static_cast<int>(helpers.size())));
    });
    QPointer<KQContactStoreHelper> self(this);
    KQDispatch::mainAsync([self] {
        if (!self)
            return;
        if (KQContactStoreHelperDelegate* delegate = self->delegate())
            delegate->contactStoreHelperDidChanged(self.data());
        self->m_updatingStore.store(false);
    });
}

void KQContactStoreHelper::reportReloadFailure(const CNError& error, const char* what)
{
    qCWarning(kqStoreHelperLog).noquote()
        << "reloading the" << what << "of the contact store failed:" << error.localizedDescription;
    {
        const QString message = KQContainerHelper::storeReadFailureMessage(error);
        std::lock_guard lock(m_loadErrorMutex);
        if (m_loadErrorMessage == message)
            return;
        m_loadErrorMessage = message;
    }
    QPointer<KQContactStoreHelper> self(this);
    KQDispatch::mainAsync([self] {
        if (self)
            Q_EMIT self->loadErrorChanged();
    });
}

QString KQContactStoreHelper::loadErrorMessage() const
{
    std::lock_guard lock(m_loadErrorMutex);
    return m_loadErrorMessage;
}

KQContainerHelperPtr KQContactStoreHelper::containerHelperWithIdentifier(const QString& identifier) const
{
    for (const auto& helper : m_allContainerHelpers) {
        if (helper->identifier() == identifier)
            return helper;
    }
    return nullptr;
}

QStringList KQContactStoreHelper::availableContainerHelperNames() const
{
    QStringList names;
    for (const auto& helper : m_allContainerHelpers)
        names.append(helper->groupName());
    return names;
}

KQContainerHelperPtr KQContactStoreHelper::defaultContainerHelper() const
{
    const QString identifier = m_store->defaultContainerIdentifier();
    if (identifier.isEmpty())
        return nullptr;
    return containerHelperWithIdentifier(identifier);
}
