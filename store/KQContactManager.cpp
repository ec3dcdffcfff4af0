#include "store/KQContactManager.h"

#include "store/KQListOps.h"
#include "store/KQPreferences.h"
#include "store/KQStorage.h"

KQContactManager* KQContactManager::sharedContactManager()
{
    static KQContactManager* manager = [] {
        KQContactManager* made = nullptr;
        KQDispatch::mainSync([&made] { made = new KQContactManager; });
        return made;
    }();
    return manager;
}

KQContactManager::KQContactManager()
    : m_storeHelper(KQContactStoreHelper::shared()), m_storage(KQStorage::sharedStorage()),
      m_tagsMgr(m_storage->loadDefaultTagsManager()), m_recyle(m_storage->loadDefaultContainerRecyle()),
      m_latestImport(m_storage->loadDefaultContainerLatestImport())
{
    setAllRootContainers({m_latestImport, m_recyle});
    m_storeHelper->setDelegate(this);
    m_storeHelper->asyncLoadContainerHelpers();
    connect(perferences(), &KQPreferences::defaultContainerNameChanged, this,
            &KQContactManager::updateDefaultContainerPostion);
}

KQPreferences* KQContactManager::perferences() const
{
    return KQPreferences::sharePreferences();
}

KQRecyleActions KQContactManager::recyleActions() const
{
    return KQRecyleActions(m_storeHelper, m_storage, m_recyle, m_latestImport,
                           [this](const QString& identifier) { return containerHelperWithIdentifier(identifier); });
}

KQGroupTreeNodePtr KQContactManager::objectInAllRootContainersAtIndex(int index) const
{
    if (index < 0 || index >= countOfAllRootContainers())
        return nullptr;
    return m_roots[static_cast<size_t>(index)];
}

void KQContactManager::insertObjectInAllRootContainersAtIndex(const KQGroupTreeNodePtr& node, int index)
{
    if (KQListOps::insertAt(m_roots, node, index))
        Q_EMIT allRootContainersInserted({index});
}

void KQContactManager::removeObjectFromAllRootContainersAtIndex(int index)
{
    if (KQListOps::removeAt(m_roots, index))
        Q_EMIT allRootContainersRemoved({index});
}

void KQContactManager::insertAllRootContainers(const KQGroupTreeNodeList& nodes, const QList<int>& indexes)
{
    const QList<int> done = KQListOps::insertAtIndexes(m_roots, nodes, indexes);
    if (!done.isEmpty())
        Q_EMIT allRootContainersInserted(done);
}

void KQContactManager::removeAllRootContainersAtIndexes(const QList<int>& indexes)
{
    const QList<int> done = KQListOps::removeAtIndexes(m_roots, indexes);
    if (!done.isEmpty())
        Q_EMIT allRootContainersRemoved(done);
}

void KQContactManager::setAllRootContainers(const KQGroupTreeNodeList& nodes)
{
    removeAllRootContainersAtIndexes(KQListOps::range(countOfAllRootContainers()));
    insertAllRootContainers(nodes, KQListOps::range(static_cast<int>(nodes.size())));
}

KQContainerHelperPtr KQContactManager::containerHelperWithName(const QString& name) const
{
    for (const auto& node : m_roots) {
        if (auto account = std::dynamic_pointer_cast<KQContainerHelper>(node); account && account->groupName() == name)
            return account;
    }
    return nullptr;
}

KQContainerHelperPtr KQContactManager::containerHelperWithIdentifier(const QString& identifier) const
{
    for (const auto& node : m_roots) {
        if (auto account = std::dynamic_pointer_cast<KQContainerHelper>(node);
            account && account->identifier() == identifier)
            return account;
    }
    return nullptr;
}

KQContainerHelperPtr KQContactManager::containerHelperWithContactIdentifier(const QString& identifier) const
{
    for (const auto& node : m_roots) {
        if (auto account = std::dynamic_pointer_cast<KQContainerHelper>(node);
            account && account->contactHelperExistWithIdentifier(identifier))
            return account;
    }
    return nullptr;
}

KQContainerHelperPtr KQContactManager::defaultContainerHelper() const
{
    const auto accounts = m_storeHelper->allContainerHelpers();
    if (accounts.empty())
        return nullptr;
    const QString name = perferences()->defaultContainerName().value_or(QString());
    if (!name.isEmpty()) {
        for (const auto& account : accounts) {
            if (account->groupName() == name)
                return account;
        }
    }
    return accounts.front();
}

void KQContactManager::updateDefaultContainerPostion()
{
    const KQContainerHelperPtr account = defaultContainerHelper();
    if (!account)
        return;
    const int index = KQListOps::indexOf(m_roots, static_cast<const KQGroupTreeNode*>(account.get()));
    if (index <= 0)
        return;
    removeObjectFromAllRootContainersAtIndex(index);
    insertObjectInAllRootContainersAtIndex(account, 0);
}

void KQContactManager::contactStoreHelperDidChanged(KQContactStoreHelper* helper)
{
    Q_UNUSED(helper);
    renewAllContainerHelpers();
}

void KQContactManager::renewAllContainerHelpers()
{
    KQGroupTreeNodeList list;
    for (const auto& account : m_storeHelper->allContainerHelpers()) {
        const auto listed = containerHelperWithIdentifier(account->identifier());
        list.push_back(listed ? listed : account);
    }
    list.push_back(m_latestImport);
    list.push_back(m_recyle);

    const std::optional<QString> preferred = perferences()->defaultContainerName();
    const auto found = std::find_if(list.begin(), list.end(), [&preferred](const KQGroupTreeNodePtr& node) {
        return preferred && node->groupName() == *preferred;
    });
    if (found != list.end()) {
        KQGroupTreeNodePtr first = *found;
        list.erase(found);
        list.insert(list.begin(), first);
    } else {
        perferences()->setDefaultContainerName(std::nullopt);
    }
    setAllRootContainers(list);
}
