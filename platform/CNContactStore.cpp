#include "platform/CNContactStore.h"

#include "platform/CNSQLiteContactStore.h"
#include "platform/KQNotificationCenter.h"

#include <QStandardPaths>

const QString CNContactStoreDidChangeNotification = QStringLiteral("CNContactStoreDidChangeNotification");

namespace {

// Every operation on a store that could not be opened fails with the reason it could not.
bool refused(const CNContactStoreBackend& backend, CNError* error)
{
    if (backend.isOpen()) {
        if (error)
            *error = CNError();
        return false;
    }
    if (error)
        *error = backend.openError();
    return true;
}

} // namespace

CNContactStore::CNContactStore(const QString& databasePath, QObject* parent) : QObject(parent)
{
    const QString path = databasePath.isEmpty() ? defaultDatabasePath() : databasePath;
    m_backend = std::make_unique<CNSQLiteContactStore>(path, [this] {
        Q_EMIT didChange();
        KQNotificationCenter::defaultCenter()->post(CNContactStoreDidChangeNotification, this);
    });
}

CNContactStore::~CNContactStore()
{
    // Stops the change watcher while this object can still emit.
    m_backend.reset();
}

void CNContactStore::close()
{
    m_backend->close();
}

QString CNContactStore::defaultDatabasePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/contacts/store.sqlite");
}

QString CNContactStore::databasePath() const
{
    return m_backend->location();
}

CNAuthorizationStatus CNContactStore::authorizationStatusForEntityType(CNEntityType) const
{
    return m_backend->isOpen() ? CNAuthorizationStatus::Authorized : CNAuthorizationStatus::Denied;
}

void CNContactStore::requestAccessForEntityType(CNEntityType,
                                                const std::function<void(bool, const CNError&)>& completion)
{
    if (completion)
        completion(m_backend->isOpen(), m_backend->isOpen() ? CNError() : m_backend->openError());
}

std::vector<CNContainer>
CNContactStore::containersMatchingPredicate(const std::optional<CNContainerPredicate>& predicate, CNError* error) const
{
    if (refused(*m_backend, error))
        return {};
    return m_backend->containers(predicate, error);
}

std::vector<CNGroup> CNContactStore::groupsMatchingPredicate(const std::optional<CNGroupPredicate>& predicate,
                                                             CNError* error) const
{
    if (refused(*m_backend, error))
        return {};
    return m_backend->groups(predicate, error);
}

QString CNContactStore::defaultContainerIdentifier() const
{
    if (refused(*m_backend, nullptr))
        return {};
    return m_backend->defaultContainerIdentifier();
}

bool CNContactStore::enumerateContactsWithFetchRequest(
    const CNContactFetchRequest& request, CNError* error,
    const std::function<void(const CNContactPtr& contact, bool* stop)>& block) const
{
    if (refused(*m_backend, error))
        return false;
    return m_backend->enumerateContacts(request.predicate(), CNKeySetFromKeys(request.keysToFetch()), error, block);
}

bool CNContactStore::enumerateTransientContactsWithFetchRequest(
    const CNContactFetchRequest& request, CNError* error,
    const std::function<void(const CNContact& contact, bool* stop)>& block) const
{
    if (refused(*m_backend, error))
        return false;
    return m_backend->enumerateTransientContacts(request.predicate(), CNKeySetFromKeys(request.keysToFetch()), error,
                                                 block);
}

CNContactList CNContactStore::unifiedContactsMatchingPredicate(const CNContactPredicate& predicate,
                                                               const QStringList& keys, CNError* error) const
{
    CNContactFetchRequest request(keys);
    request.setPredicate(predicate);
    CNContactList contacts;
    if (!enumerateContactsWithFetchRequest(request, error,
                                           [&](const CNContactPtr& contact, bool*) { contacts.push_back(contact); }))
        contacts.clear();
    return contacts;
}

bool CNContactStore::executeSaveRequest(const CNSaveRequest& request, CNError* error)
{
    if (refused(*m_backend, error))
        return false;
    return m_backend->executeSaveRequest(request, error);
}

bool CNContactStore::addContainer(const CNContainer& container, CNError* error)
{
    if (refused(*m_backend, error))
        return false;
    return m_backend->addContainer(container, error);
}

bool CNContactStore::renameContainer(const QString& identifier, const QString& name, CNError* error)
{
    if (refused(*m_backend, error))
        return false;
    return m_backend->renameContainer(identifier, name, error);
}

bool CNContactStore::removeContainer(const QString& identifier, CNError* error)
{
    if (refused(*m_backend, error))
        return false;
    return m_backend->removeContainer(identifier, error);
}

bool CNContactStore::setDefaultContainerIdentifier(const QString& identifier, CNError* error)
{
    if (refused(*m_backend, error))
        return false;
    return m_backend->setDefaultContainerIdentifier(identifier, error);
}
