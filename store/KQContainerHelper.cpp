#include "store/KQContainerHelper.h"

#include "store/KQContactStoreHelper.h"
#include "store/KQGroupHelper.h"

#include <QLoggingCategory>
#include <QSet>

Q_LOGGING_CATEGORY(kqStoreHelperLog, "kq.store.accounts")

KQContainerHelper::KQContainerHelper(const CNContainer& container) : KQGroupTreeNode(false), m_container(container)
{
    setGroupName(container.name());
}

KQContainerHelper::KQContainerHelper(const CNContainer& container, const KQGroupTreeNodeList& groups)
    : KQGroupTreeNode(true), m_container(container)
{
    setGroupName(container.name());
    QPointer<KQContainerHelper> self(this);
    KQDispatch::mainAsync([self, groups] {
        if (self)
            self->setSubGroups(groups);
    });
}

void KQContainerHelper::setLoadError(const CNError& error)
{
    bool first = false;
    {
        std::lock_guard lock(m_loadErrorMutex);
        first = !m_accountLoadError.isError();
        if (first)
            m_accountLoadError = error;
    }
    if (!first)
        return;
    qCWarning(kqStoreHelperLog).noquote()
        << "the account" << groupName() << "(" << identifier() << ") is shown incomplete:" << loadErrorMessage();
    QPointer<KQContainerHelper> self(this);
    KQDispatch::mainAsync([self] {
        if (self)
            Q_EMIT self->loadErrorChanged();
    });
}

void KQContainerHelper::clearLoadError()
{
    {
        std::lock_guard lock(m_loadErrorMutex);
        if (!m_accountLoadError.isError())
            return;
        m_accountLoadError = CNError();
    }
    clearNodeLoadError();
    QPointer<KQContainerHelper> self(this);
    KQDispatch::mainAsync([self] {
        if (self)
            Q_EMIT self->loadErrorChanged();
    });
}

bool KQContainerHelper::hasLoadError() const
{
    std::lock_guard lock(m_loadErrorMutex);
    return m_accountLoadError.isError();
}

CNError KQContainerHelper::accountLoadError() const
{
    std::lock_guard lock(m_loadErrorMutex);
    return m_accountLoadError;
}

QString KQContainerHelper::loadErrorMessage() const
{
    const CNError error = accountLoadError();
    return error.isError() ? storeReadFailureMessage(error) : QString();
}

QString KQContainerHelper::storeReadFailureMessage(const CNError& error)
{
    const QString path = KQContactStoreHelper::shared()->contactStore()->databasePath();
    return QStringLiteral("The contact store \u201c%1\u201d could not be read completely (%2), so contacts or groups "
                          "may be missing from the list. Nothing is scanned, merged, backed up or exported until "
                          "it is repaired: quit Peoplekeeper, move the file aside (keep it) and restore your latest "
                          "backup into the new store that the next start creates.")
        .arg(path, error.localizedDescription);
}

QString KQContainerHelper::loadErrorForContacts(const KQContactHelperList& contacts)
{
    KQContactStoreHelper* store = KQContactStoreHelper::sharedIfMade();
    if (store == nullptr)
        return {};
    std::vector<KQContainerHelperPtr> failed;
    for (const KQContainerHelperPtr& account : store->allContainerHelpers())
        if (account->hasLoadError())
            failed.push_back(account);
    for (const KQContainerHelperPtr& account : failed) {
        for (const KQContactHelperPtr& contact : contacts)
            if (contact && account->contactExist(contact.get()))
                return account->loadErrorMessage();
    }
    return {};
}

KQContainerHelper::Kind KQContainerHelper::kind() const
{
    const QString name = m_container.name().toLower();
    switch (m_container.type()) {
    case CNContainerType::CardDAV:
        if (name.contains(QLatin1String("icloud")))
            return Kind::Icloud;
        if (name.contains(QLatin1String("google")) || name.contains(QLatin1String("gmail")))
            return Kind::Google;
        return Kind::Unsigned;
    case CNContainerType::Exchange:
        return Kind::Exchange;
    case CNContainerType::Local:
        return Kind::Local;
    default:
        return Kind::Unsigned;
    }
}

bool KQContainerHelper::isIcloud() const
{
    return kind() == Kind::Icloud;
}

bool KQContainerHelper::isGoogle() const
{
    return kind() == Kind::Google;
}

QString KQContainerHelper::miniIcon() const
{
    switch (kind()) {
    case Kind::Icloud:
        return QStringLiteral("containerIcloud");
    case Kind::Google:
        return QStringLiteral("containerGoogle");
    case Kind::Exchange:
        return QStringLiteral("containerExchange");
    case Kind::Local:
        return QStringLiteral("containerLocal");
    case Kind::Unsigned:
        break;
    }
    return QStringLiteral("containerUnsigned");
}

QString KQContainerHelper::image() const
{
    return selected() ? miniIcon() + QStringLiteral("Selected") : miniIcon();
}

QString KQContainerHelper::bigImage() const
{
    return miniIcon() + QStringLiteral("Big");
}

KQContactHelperPtr KQContainerHelper::makeContactHelperIfNecessaryWithContact(const CNContactPtr& contact,
                                                                              bool allKeyLoaded)
{
    if (!contact || contact->identifier().isEmpty())
        return nullptr;
    auto record = KQContactHelper::create(contact, allKeyLoaded);
    std::lock_guard lock(m_recordsMutex);
    m_allContactHelpers.insert(contact->identifier(), record);
    return record;
}

KQContactHelperPtr KQContainerHelper::contactHelperFromContainerWithIdentifier(const QString& identifier) const
{
    std::lock_guard lock(m_recordsMutex);
    return m_allContactHelpers.value(identifier);
}

bool KQContainerHelper::contactHelperExistWithIdentifier(const QString& identifier) const
{
    std::lock_guard lock(m_recordsMutex);
    return m_allContactHelpers.contains(identifier);
}

bool KQContainerHelper::contactExist(const KQContactHelper* contact) const
{
    return contact != nullptr && contactHelperExistWithIdentifier(contact->identifier());
}

int KQContainerHelper::allContactHelpersCount() const
{
    std::lock_guard lock(m_recordsMutex);
    return static_cast<int>(m_allContactHelpers.size());
}

void KQContainerHelper::didInsertContacts(const KQContactHelperList& contacts)
{
    std::lock_guard lock(m_recordsMutex);
    for (const auto& contact : contacts) {
        if (contact)
            m_allContactHelpers.insert(contact->identifier(), contact);
    }
}

KQGroupTreeNodePtr KQContainerHelper::groupWithIdentifier(const QString& identifier) const
{
    return findGroupWithIdentifier(identifier, subGroups());
}

KQGroupTreeNodePtr KQContainerHelper::findGroupWithIdentifier(const QString& identifier,
                                                              const KQGroupTreeNodeList& groups)
{
    for (const auto& group : groups) {
        if (group->identifier() == identifier)
            return group;
        if (auto found = findGroupWithIdentifier(identifier, group->subGroups()))
            return found;
    }
    return nullptr;
}

bool KQContainerHelper::storeGroupHasMember(const KQGroupTreeNode& group, const QString& contactIdentifier)
{
    const auto predicate = group.loadPredicateForContacts();
    if (!predicate)
        return false;
    CNContactFetchRequest request({CNContactIdentifierKey});
    request.setPredicate(*predicate);
    request.setUnifyResults(false);
    bool found = false;
    KQContactStoreHelper::shared()->contactStore()->enumerateContactsWithFetchRequest(
        request, nullptr, [&found, &contactIdentifier](const CNContactPtr& member, bool* stop) {
            if (member->identifier() == contactIdentifier) {
                found = true;
                *stop = true;
            }
        });
    return found;
}

QStringList KQContainerHelper::removeContactHelperFromGroups(const KQContactHelperPtr& contact,
                                                             const KQGroupTreeNodeList& groups)
{
    QStringList removedFrom;
    for (const auto& group : groups) {
        // Each node holds its own record objects, so records are matched by identifier.
        if (auto listed = group->contactHelperWithIdentifier(contact->identifier())) {
            group->removeContactHelper(listed);
            removedFrom.append(group->identifier());
        } else if (!group->isContactsLoaded() && storeGroupHasMember(*group, contact->identifier())) {
            // A group not shown yet still counts: the Trash entry must remember the membership.
            removedFrom.append(group->identifier());
        }
        removedFrom += removeContactHelperFromGroups(contact, group->subGroups());
    }
    return removedFrom;
}

KQContactRecylePtr KQContainerHelper::deleteContactHelper(const KQContactHelperPtr& contact)
{
    if (!contact)
        return nullptr;
    contact->syncLoadAllKeysIfNecessary();
    const QStringList groups = removeContactHelperFromGroups(contact, subGroups());
    if (auto listed = contactHelperWithIdentifier(contact->identifier()))
        removeContactHelper(listed);
    {
        std::lock_guard lock(m_recordsMutex);
        m_allContactHelpers.remove(contact->identifier());
    }
    return std::make_shared<KQContactRecyle>(contact->effectiveContact(), identifier(), groups);
}

std::vector<KQContactRecylePtr> KQContainerHelper::deleteContactHelpers(const KQContactHelperList& contacts)
{
    std::vector<KQContactRecylePtr> entries;
    for (const auto& contact : contacts) {
        if (auto entry = deleteContactHelper(contact))
            entries.push_back(std::move(entry));
    }
    return entries;
}

void KQContainerHelper::deleteContactHelper(const KQContactHelperPtr& contact,
                                            std::function<void(KQContactRecylePtr)> handler)
{
    auto self = std::static_pointer_cast<KQContainerHelper>(shared_from_this());
    KQDispatch::mainAsync([self, contact, handler = std::move(handler)] {
        auto entry = self->deleteContactHelper(contact);
        if (handler)
            handler(entry);
    });
}

bool KQContainerHelper::putBackContactRecyle(const KQContactRecylePtr& entry, CNSaveRequest& request)
{
    if (!entry || !entry->effectiveContact())
        return true;
    auto copy = std::make_shared<CNMutableContact>();
    KQContactStoreHelper::duplicateContact(*entry->effectiveContact(), *copy);
    const KQContactHelperPtr record = makeContactHelperIfNecessaryWithContact(copy, true);
    request.addContact(*copy, identifier());
    for (const QString& groupId : entry->groupsIdentifier()) {
        if (auto group = std::dynamic_pointer_cast<KQGroupHelper>(groupWithIdentifier(groupId)))
            request.addMember(*copy, group->group());
    }
    m_restoreObjects.push_back({record, entry->groupsIdentifier()});
    return true;
}

bool KQContainerHelper::putBackContactRecyles(const std::vector<KQContactRecylePtr>& entries, CNSaveRequest& request)
{
    for (const auto& entry : entries)
        putBackContactRecyle(entry, request);
    return true;
}

void KQContainerHelper::Refresh()
{
    auto self = std::static_pointer_cast<KQContainerHelper>(shared_from_this());
    KQDispatch::mainAsync([self] {
        KQContactHelperList records;
        for (const KQRestoreRecyleObject& restored : self->m_restoreObjects) {
            for (const QString& groupId : restored.groupList) {
                if (auto group = self->groupWithIdentifier(groupId))
                    group->addContactHelper(restored.contact);
            }
            records.push_back(restored.contact);
        }
        self->addContactHelpers(records);
        self->m_restoreObjects.clear();
    });
}

std::optional<CNContactPredicate> KQContainerHelper::loadPredicateForContacts() const
{
    return CNContactPredicate::predicateForContactsInContainerWithIdentifier(m_container.identifier());
}

std::optional<CNGroupPredicate> KQContainerHelper::loadPredicateForSubGroups() const
{
    return CNGroupPredicate::predicateForGroupsInContainerWithIdentifier(m_container.identifier());
}

std::vector<KQContactHelperPtr> KQContainerHelper::allContactHelpers() const
{
    std::lock_guard lock(m_recordsMutex);
    return std::vector<KQContactHelperPtr>(m_allContactHelpers.cbegin(), m_allContactHelpers.cend());
}

void KQContainerHelper::removeContactHelperFromMap(const QString& identifier)
{
    std::lock_guard lock(m_recordsMutex);
    m_allContactHelpers.remove(identifier);
}

KQContactHelperList KQContainerHelper::currentContactHelpers() const
{
    KQContactHelperList list = contacts();
    QSet<QString> seen;
    std::erase_if(list, [&seen](const KQContactHelperPtr& record) {
        if (seen.contains(record->identifier()))
            return true;
        seen.insert(record->identifier());
        return false;
    });
    return list;
}
