#include "store/KQGroupTreeNode.h"

#include "platform/KQNotificationCenter.h"
#include "store/KQContactStoreHelper.h"
#include "store/KQContainerHelper.h"
#include "store/KQGroupHelper.h"
#include "store/KQListOps.h"

#include <QLoggingCategory>

// Start and end of every contact fetch of a node, for diagnosing start-up and reloads.
Q_LOGGING_CATEGORY(kqNodeLog, "kq.store.nodes", QtWarningMsg)

const QString KQNotificationGroupNameChange = QStringLiteral("KQNotificationGroupNameChange");

KQGroupTreeNode::KQGroupTreeNode(bool subGroupsLoaded) : m_groupName(QStringLiteral("Untitled"))
{
    m_subGroupsLoaded.store(subGroupsLoaded);
    // Direct: nodes are often made on a background queue, whose threads run no event loop.
    connect(this, &KQGroupTreeNode::groupNameChanged, this, &KQGroupTreeNode::displayGroupNameChanged,
            Qt::DirectConnection);
    connect(this, &KQGroupTreeNode::contactsLoadedChanged, this, &KQGroupTreeNode::displayGroupNameChanged,
            Qt::DirectConnection);
    connect(this, &KQGroupTreeNode::contactsInserted, this, &KQGroupTreeNode::displayGroupNameChanged,
            Qt::DirectConnection);
    connect(this, &KQGroupTreeNode::contactsRemoved, this, &KQGroupTreeNode::displayGroupNameChanged,
            Qt::DirectConnection);
    connect(this, &KQGroupTreeNode::contactsChanged, this, &KQGroupTreeNode::displayGroupNameChanged,
            Qt::DirectConnection);
    connect(this, &KQGroupTreeNode::subGroupsInserted, this, &KQGroupTreeNode::subGroupsForSortChanged,
            Qt::DirectConnection);
    connect(this, &KQGroupTreeNode::subGroupsRemoved, this, &KQGroupTreeNode::subGroupsForSortChanged,
            Qt::DirectConnection);
    connect(this, &KQGroupTreeNode::subGroupsReplaced, this, &KQGroupTreeNode::subGroupsForSortChanged,
            Qt::DirectConnection);
    // A renamed group of this node's account changes the order of subgroups.
    KQNotificationCenter::defaultCenter()->addObserver(
        KQNotificationGroupNameChange, this, [this](const KQNotification& n) {
            auto* group = const_cast<KQGroupTreeNode*>(static_cast<const KQGroupTreeNode*>(n.object));
            if (group == nullptr)
                return;
            const KQGroupTreeNode* account = group->containerHelper();
            if (account == this)
                Q_EMIT subGroupsForSortChanged();
        });
}

KQGroupTreeNode::~KQGroupTreeNode()
{
    for (const auto& child : m_subGroups) {
        if (child->m_parent == this)
            child->m_parent = nullptr;
    }
}

QString KQGroupTreeNode::groupName() const
{
    std::lock_guard lock(m_mutex);
    return m_groupName;
}

void KQGroupTreeNode::setGroupName(const QString& name)
{
    {
        std::lock_guard lock(m_mutex);
        m_groupName = name;
    }
    Q_EMIT groupNameChanged();
}

QString KQGroupTreeNode::displayGroupName() const
{
    const QString name = groupName();
    const bool loaded = isContactsLoaded();
    const int count = countOfContacts();
    if (!name.isEmpty())
        return loaded ? QStringLiteral("%1 (%2)").arg(name).arg(count) : QStringLiteral("%1 (?)").arg(name);
    return loaded ? QStringLiteral("Untitled (%1)").arg(count) : QStringLiteral("Untitled(?)");
}

QString KQGroupTreeNode::identifier() const
{
    return QStringLiteral("groupTreeNode");
}

KQContainerHelper* KQGroupTreeNode::containerHelper()
{
    for (KQGroupTreeNode* node = this; node != nullptr; node = node->m_parent) {
        if (auto* account = qobject_cast<KQContainerHelper*>(node))
            return account;
    }
    return nullptr;
}

void KQGroupTreeNode::setSelected(bool selected)
{
    if (m_selected == selected)
        return;
    m_selected = selected;
    Q_EMIT selectedChanged();
}

void KQGroupTreeNode::setContactsLoaded(bool loaded)
{
    if (m_contactsLoaded.exchange(loaded) != loaded)
        Q_EMIT contactsLoadedChanged();
}

void KQGroupTreeNode::setSubGroupsLoaded(bool loaded)
{
    if (m_subGroupsLoaded.exchange(loaded) != loaded)
        Q_EMIT subGroupsLoadedChanged();
}

KQDispatchQueuePtr KQGroupTreeNode::loadQueue()
{
    std::call_once(m_loadQueueOnce, [this] { m_loadQueue = KQDispatchQueue::create(QStringLiteral("node.load")); });
    return m_loadQueue;
}

// ---------------------------------------------------------------- loading

bool KQGroupTreeNode::claimContactsFetch()
{
    // Only the load queue calls this, so test and set need no lock; the flag is cleared by a
    // refetch request, which also clears the loaded flag.
    if (isContactsLoaded() || m_contactsFetchClaimed.load())
        return false;
    m_contactsFetchClaimed.store(true);
    return true;
}

void KQGroupTreeNode::setPendingContacts(KQContactHelperList loaded)
{
    std::lock_guard lock(m_mutex);
    m_pendingContacts = std::move(loaded);
    m_hasPendingContacts = true;
}

bool KQGroupTreeNode::installPendingContacts()
{
    KQContactHelperList loaded;
    {
        std::lock_guard lock(m_mutex);
        if (!m_hasPendingContacts)
            return false;
        loaded = std::move(m_pendingContacts);
        m_pendingContacts.clear();
        m_hasPendingContacts = false;
    }
    // As setContacts, less filing the records in the account: the fetch filed each one as it made
    // it, and filing a large account again would hold up the main thread for nothing.
    removeContactsAtIndexes(KQListOps::range(countOfContacts()));
    QList<int> inserted;
    {
        std::lock_guard lock(m_mutex);
        inserted = KQListOps::insertAtIndexes(m_contacts, loaded, KQListOps::range(static_cast<int>(loaded.size())));
    }
    if (!inserted.isEmpty())
        Q_EMIT contactsInserted(inserted);
    setContactsLoaded(true);
    qCDebug(kqNodeLog, "installed %zu contacts of node %s", loaded.size(), qUtf8Printable(identifier()));
    return true;
}

bool KQGroupTreeNode::syncLoadContactsIfNecessary()
{
    auto self = shared_from_this();
    loadQueue()->sync([self] {
        if (!self->claimContactsFetch())
            return;
        self->setPendingContacts(self->executeloadContacts());
        // Queued, not waited for: the queue never waits for the main thread, so the main thread
        // may wait for the queue.
        KQDispatch::mainAsync([self] { self->installPendingContacts(); });
    });
    // Whichever request fetched left its result pending; the first to reach the main thread
    // installs it.
    if (KQDispatch::isMainThread())
        installPendingContacts();
    else
        KQDispatch::mainSync([self] { self->installPendingContacts(); });
    return true;
}

void KQGroupTreeNode::loadContactsWithCompleteHandler(std::function<void(KQGroupTreeNode*, bool)> handler)
{
    auto self = shared_from_this();
    loadQueue()->async([self, handler = std::move(handler)] {
        if (!self->claimContactsFetch()) {
            // Loaded, or loading for an earlier request whose install is already queued ahead.
            KQDispatch::mainAsync([self, handler] {
                if (handler)
                    handler(self.get(), false);
            });
            return;
        }
        self->setPendingContacts(self->executeloadContacts());
        KQDispatch::mainAsync([self, handler] {
            self->installPendingContacts();
            if (handler)
                handler(self.get(), true);
        });
    });
}

int KQGroupTreeNode::syncLoadAllKeysOfContacts(CNError* error)
{
    Q_ASSERT(!KQDispatch::isMainThread());
    syncLoadContactsIfNecessary();
    CNError fetchError;
    const int installed =
        KQContactHelper::syncLoadAllKeysOfContactHelpers(contacts(), loadPredicateForContacts(), &fetchError);
    if (fetchError.isError())
        reportLoadFailure(fetchError, "contact details");
    if (error != nullptr)
        *error = fetchError.isError() ? fetchError : loadError();
    return installed;
}

void KQGroupTreeNode::loadAllKeysOfContactsWithCompleteHandler(std::function<void(KQGroupTreeNode*, bool)> handler)
{
    auto self = shared_from_this();
    KQDispatch::globalAsync([self, handler = std::move(handler)] {
        CNError error;
        self->syncLoadAllKeysOfContacts(&error);
        const bool failed = error.isError();
        KQDispatch::mainAsync([self, handler, failed] {
            if (handler)
                handler(self.get(), !failed);
        });
    });
}

bool KQGroupTreeNode::syncLoadSubGroupsIfNecessary()
{
    auto self = shared_from_this();
    loadQueue()->sync([self] {
        if (self->isSubGroupsLoaded())
            return;
        // Set before the fetch, so that a request during the fetch does not fetch again.
        self->m_subGroupsLoaded.store(true);
        KQGroupTreeNodeList loaded = self->executeLoadSubGroups();
        KQDispatch::mainSync([self, &loaded] {
            self->setSubGroups(loaded);
            Q_EMIT self->subGroupsLoadedChanged();
        });
    });
    return true;
}

void KQGroupTreeNode::loadSubGroupsWithCompleteHandler(std::function<void(KQGroupTreeNode*, bool)> handler)
{
    auto self = shared_from_this();
    loadQueue()->async([self, handler = std::move(handler)] {
        if (self->isSubGroupsLoaded()) {
            KQDispatch::mainAsync([self, handler] {
                if (handler)
                    handler(self.get(), false);
            });
            return;
        }
        self->m_subGroupsLoaded.store(true);
        KQGroupTreeNodeList loaded = self->executeLoadSubGroups();
        KQDispatch::mainAsync([self, handler, loaded = std::move(loaded)] {
            self->setSubGroups(loaded);
            Q_EMIT self->subGroupsLoadedChanged();
            if (handler)
                handler(self.get(), true);
        });
    });
}

KQContactHelperList KQGroupTreeNode::executeloadContacts()
{
    KQContactHelperList list;
    const auto predicate = loadPredicateForContacts();
    KQContainerHelper* account = containerHelper();
    if (!predicate || account == nullptr)
        return list;
    CNContactFetchRequest request(KQContactStoreHelper::mainKeys());
    request.setPredicate(*predicate);
    request.setUnifyResults(false);
    const QString node = identifier();
    qCDebug(kqNodeLog, "fetching contacts of node %s", qUtf8Printable(node));
    CNError error;
    KQContactStoreHelper::shared()->contactStore()->enumerateContactsWithFetchRequest(
        request, &error, [&list, account](const CNContactPtr& contact, bool*) {
            if (auto record = account->makeContactHelperIfNecessaryWithContact(contact, false))
                list.push_back(std::move(record));
        });
    qCDebug(kqNodeLog, "fetched %zu contacts of node %s", list.size(), qUtf8Printable(node));
    // What was read is still shown; the account says that it is not all.
    if (error.isError())
        reportLoadFailure(error, "contacts");
    return list;
}

KQGroupTreeNodeList KQGroupTreeNode::executeLoadSubGroups()
{
    KQGroupTreeNodeList list;
    const auto predicate = loadPredicateForSubGroups();
    if (!predicate)
        return list;
    KQContactStoreHelper* store = KQContactStoreHelper::shared();
    store->beginDiscardStoreDidChangedNotify();
    CNError error;
    for (const CNGroup& group : store->contactStore()->groupsMatchingPredicate(*predicate, &error))
        list.push_back(std::make_shared<KQGroupHelper>(group));
    store->endDiscardStoreDidChangedNotify();
    if (error.isError())
        reportLoadFailure(error, "subgroups");
    return list;
}

void KQGroupTreeNode::reportLoadFailure(const CNError& error, const char* what)
{
    qCWarning(kqNodeLog).noquote() << "loading the" << what << "of" << groupName() << "(" << identifier()
                                   << ") failed:" << error.localizedDescription;
    {
        std::lock_guard lock(m_mutex);
        m_loadError = error;
    }
    if (KQContainerHelper* account = containerHelper())
        account->setLoadError(error);
}

void KQGroupTreeNode::clearNodeLoadError()
{
    std::lock_guard lock(m_mutex);
    m_loadError = CNError();
}

CNError KQGroupTreeNode::loadError() const
{
    std::lock_guard lock(m_mutex);
    return m_loadError;
}

void KQGroupTreeNode::refetchContacts()
{
    KQDispatch::mainSync([this] {
        m_contactsFetchClaimed.store(false);
        setContactsLoaded(false);
    });
}

void KQGroupTreeNode::refetchContactsAndSubGroupsIfNecessary()
{
    KQDispatch::mainSync([this] {
        m_contactsFetchClaimed.store(false);
        setContactsLoaded(false);
        setSubGroupsLoaded(false);
    });
}

void KQGroupTreeNode::refetchGroupsWithNewGroups(const KQGroupTreeNodeList& groups)
{
    KQDispatch::mainSync([this, &groups] { setSubGroups(groups); });
    setSubGroupsLoaded(true);
}

// ---------------------------------------------------------------- contacts

KQContactHelperList KQGroupTreeNode::contacts() const
{
    std::lock_guard lock(m_mutex);
    return m_contacts;
}

int KQGroupTreeNode::countOfContacts() const
{
    std::lock_guard lock(m_mutex);
    return static_cast<int>(m_contacts.size());
}

KQContactHelperPtr KQGroupTreeNode::objectInContactsAtIndex(int index) const
{
    std::lock_guard lock(m_mutex);
    if (index < 0 || index >= static_cast<int>(m_contacts.size()))
        return nullptr;
    return m_contacts[static_cast<size_t>(index)];
}

void KQGroupTreeNode::insertObjectInContactsAtIndex(const KQContactHelperPtr& contact, int index)
{
    bool done;
    {
        std::lock_guard lock(m_mutex);
        done = KQListOps::insertAt(m_contacts, contact, index);
    }
    if (done) {
        didInsertContacts({contact});
        Q_EMIT contactsInserted({index});
    }
}

void KQGroupTreeNode::removeObjectFromContactsAtIndex(int index)
{
    bool done;
    {
        std::lock_guard lock(m_mutex);
        done = KQListOps::removeAt(m_contacts, index);
    }
    if (done)
        Q_EMIT contactsRemoved({index});
}

void KQGroupTreeNode::replaceObjectInContactsAtIndex(int index, const KQContactHelperPtr& contact)
{
    bool done;
    {
        std::lock_guard lock(m_mutex);
        done = KQListOps::replaceAt(m_contacts, index, contact);
    }
    if (done) {
        didInsertContacts({contact});
        Q_EMIT contactsReplaced({index});
    }
}

void KQGroupTreeNode::insertContactsAtIndexes(const KQContactHelperList& contacts, const QList<int>& indexes)
{
    QList<int> done;
    {
        std::lock_guard lock(m_mutex);
        done = KQListOps::insertAtIndexes(m_contacts, contacts, indexes);
    }
    if (!done.isEmpty()) {
        didInsertContacts(contacts);
        Q_EMIT contactsInserted(done);
    }
}

void KQGroupTreeNode::removeContactsAtIndexes(const QList<int>& indexes)
{
    QList<int> done;
    {
        std::lock_guard lock(m_mutex);
        done = KQListOps::removeAtIndexes(m_contacts, indexes);
    }
    if (!done.isEmpty())
        Q_EMIT contactsRemoved(done);
}

void KQGroupTreeNode::setContacts(const KQContactHelperList& contacts)
{
    removeContactsAtIndexes(KQListOps::range(countOfContacts()));
    insertContactsAtIndexes(contacts, KQListOps::range(static_cast<int>(contacts.size())));
}

void KQGroupTreeNode::addContactHelper(const KQContactHelperPtr& contact)
{
    insertObjectInContactsAtIndex(contact, countOfContacts());
}

void KQGroupTreeNode::addContactHelpers(const KQContactHelperList& contacts)
{
    const int start = countOfContacts();
    QList<int> indexes;
    for (int i = 0; i < static_cast<int>(contacts.size()); ++i)
        indexes.append(start + i);
    insertContactsAtIndexes(contacts, indexes);
}

void KQGroupTreeNode::removeContactHelper(const KQContactHelperPtr& contact)
{
    const int index = indexOfContactHelper(contact.get());
    if (index >= 0)
        removeObjectFromContactsAtIndex(index);
}

void KQGroupTreeNode::removeContactHelpers(const KQContactHelperList& contacts)
{
    removeContactsAtIndexes(indexesOfContactHelpers(contacts));
    Q_EMIT contactsChanged();
}

int KQGroupTreeNode::indexOfContactHelper(const KQContactHelper* contact) const
{
    std::lock_guard lock(m_mutex);
    return KQListOps::indexOf(m_contacts, contact);
}

QList<int> KQGroupTreeNode::indexesOfContactHelpers(const KQContactHelperList& contacts) const
{
    QList<int> indexes;
    for (const auto& contact : contacts) {
        const int index = indexOfContactHelper(contact.get());
        if (index >= 0)
            indexes.append(index);
    }
    std::sort(indexes.begin(), indexes.end());
    return indexes;
}

KQContactHelperPtr KQGroupTreeNode::contactHelperWithIdentifier(const QString& identifier) const
{
    std::lock_guard lock(m_mutex);
    for (const auto& contact : m_contacts) {
        if (contact->identifier() == identifier)
            return contact;
    }
    return nullptr;
}

bool KQGroupTreeNode::contactHelperExist(const KQContactHelper* contact) const
{
    return contact != nullptr && contactHelperWithIdentifier(contact->identifier()) != nullptr;
}

void KQGroupTreeNode::unselectedAllContactHelpers()
{
    for (const auto& contact : contacts())
        contact->selected = false;
}

// ---------------------------------------------------------------- subgroups

KQGroupTreeNodeList KQGroupTreeNode::subGroups() const
{
    std::lock_guard lock(m_mutex);
    return m_subGroups;
}

int KQGroupTreeNode::countOfSubGroups() const
{
    std::lock_guard lock(m_mutex);
    return static_cast<int>(m_subGroups.size());
}

KQGroupTreeNodePtr KQGroupTreeNode::objectInSubGroupsAtIndex(int index) const
{
    std::lock_guard lock(m_mutex);
    if (index < 0 || index >= static_cast<int>(m_subGroups.size()))
        return nullptr;
    return m_subGroups[static_cast<size_t>(index)];
}

void KQGroupTreeNode::adoptChildren(const KQGroupTreeNodeList& groups)
{
    for (const auto& group : groups) {
        if (group)
            group->setParent(this);
    }
}

void KQGroupTreeNode::releaseChildren(const KQGroupTreeNodeList& groups)
{
    for (const auto& group : groups) {
        if (group && group->m_parent == this)
            group->setParent(nullptr);
    }
}

void KQGroupTreeNode::insertObjectInSubGroupsAtIndex(const KQGroupTreeNodePtr& group, int index)
{
    bool done;
    {
        std::lock_guard lock(m_mutex);
        done = KQListOps::insertAt(m_subGroups, group, index);
    }
    if (done) {
        adoptChildren({group});
        Q_EMIT subGroupsInserted({index});
    }
}

void KQGroupTreeNode::removeObjectFromSubGroupsAtIndex(int index)
{
    KQGroupTreeNodePtr removed = objectInSubGroupsAtIndex(index);
    bool done;
    {
        std::lock_guard lock(m_mutex);
        done = KQListOps::removeAt(m_subGroups, index);
    }
    if (done) {
        releaseChildren({removed});
        Q_EMIT subGroupsRemoved({index});
    }
}

void KQGroupTreeNode::replaceObjectInSubGroupsAtIndex(int index, const KQGroupTreeNodePtr& group)
{
    KQGroupTreeNodePtr old = objectInSubGroupsAtIndex(index);
    bool done;
    {
        std::lock_guard lock(m_mutex);
        done = KQListOps::replaceAt(m_subGroups, index, group);
    }
    if (done) {
        releaseChildren({old});
        adoptChildren({group});
        Q_EMIT subGroupsReplaced({index});
    }
}

void KQGroupTreeNode::insertSubGroupsAtIndexes(const KQGroupTreeNodeList& groups, const QList<int>& indexes)
{
    QList<int> done;
    {
        std::lock_guard lock(m_mutex);
        done = KQListOps::insertAtIndexes(m_subGroups, groups, indexes);
    }
    if (!done.isEmpty()) {
        adoptChildren(groups);
        Q_EMIT subGroupsInserted(done);
    }
}

void KQGroupTreeNode::removeSubGroupsAtIndexes(const QList<int>& indexes)
{
    KQGroupTreeNodeList removed;
    for (const int index : indexes) {
        if (auto group = objectInSubGroupsAtIndex(index))
            removed.push_back(group);
    }
    QList<int> done;
    {
        std::lock_guard lock(m_mutex);
        done = KQListOps::removeAtIndexes(m_subGroups, indexes);
    }
    if (!done.isEmpty()) {
        releaseChildren(removed);
        Q_EMIT subGroupsRemoved(done);
    }
}

void KQGroupTreeNode::setSubGroups(const KQGroupTreeNodeList& groups)
{
    removeSubGroupsAtIndexes(KQListOps::range(countOfSubGroups()));
    insertSubGroupsAtIndexes(groups, KQListOps::range(static_cast<int>(groups.size())));
}

void KQGroupTreeNode::addSubGroup(const KQGroupTreeNodePtr& group)
{
    insertObjectInSubGroupsAtIndex(group, countOfSubGroups());
}

void KQGroupTreeNode::addSubGroups(const KQGroupTreeNodeList& groups)
{
    const int start = countOfSubGroups();
    QList<int> indexes;
    for (int i = 0; i < static_cast<int>(groups.size()); ++i)
        indexes.append(start + i);
    insertSubGroupsAtIndexes(groups, indexes);
}

void KQGroupTreeNode::removeSubGroup(const KQGroupTreeNodePtr& group)
{
    const int index = indexOfSubGroup(group.get());
    if (index >= 0)
        removeObjectFromSubGroupsAtIndex(index);
}

void KQGroupTreeNode::removeSubGroups(const KQGroupTreeNodeList& groups)
{
    removeSubGroupsAtIndexes(indexesOfSubGroups(groups));
}

int KQGroupTreeNode::indexOfSubGroup(const KQGroupTreeNode* group) const
{
    std::lock_guard lock(m_mutex);
    return KQListOps::indexOf(m_subGroups, group);
}

QList<int> KQGroupTreeNode::indexesOfSubGroups(const KQGroupTreeNodeList& groups) const
{
    QList<int> indexes;
    for (const auto& group : groups) {
        const int index = indexOfSubGroup(group.get());
        if (index >= 0)
            indexes.append(index);
    }
    std::sort(indexes.begin(), indexes.end());
    return indexes;
}

KQGroupTreeNodePtr KQGroupTreeNode::subGroupWithIdentifier(const QString& identifier) const
{
    for (const auto& group : subGroups()) {
        if (group->identifier() == identifier)
            return group;
    }
    return nullptr;
}

KQGroupTreeNodePtr KQGroupTreeNode::findSubGroupHelperWithIdentifier(const QString& identifier) const
{
    KQGroupTreeNodePtr found;
    KQDispatch::mainSync([&] { found = subGroupWithIdentifier(identifier); });
    return found;
}

KQGroupTreeNodeList KQGroupTreeNode::subGroupsForSort() const
{
    KQGroupTreeNodeList sorted = subGroups();
    std::stable_sort(sorted.begin(), sorted.end(), [](const KQGroupTreeNodePtr& a, const KQGroupTreeNodePtr& b) {
        const QString x = a->groupName().toLower();
        const QString y = b->groupName().toLower();
        if (x.isEmpty() || y.isEmpty())
            return !x.isEmpty() && y.isEmpty();
        return x < y;
    });
    return sorted;
}
