#include "store/KQContactStoreHelper.h"

#include "platform/CNContactFormatter.h"
#include "platform/CNContactVCardSerialization.h"
#include "platform/CNSQLiteConnection.h"
#include "platform/KQLog.h"
#include "platform/KQNotificationCenter.h"

#include <QCoreApplication>

namespace {
// The longest a window waits for a store that another process is writing to.
constexpr int kMainThreadBusyWaitMs = 2000;
} // namespace

const QString KQContactsStoreDidChangedNotification = QStringLiteral("KQContactsStoreDidChangedNotification");
const QString KQManualRefreshContactsStoreNotification = QStringLiteral("KQManualRefreshContactsStoreNotification");

KQContactStoreHelper::KQContactStoreHelper(std::shared_ptr<CNContactStore> store, QObject* parent)
    : QObject(parent), m_store(store ? std::move(store) : std::make_shared<CNContactStore>()),
      m_execQueue(KQDispatchQueue::create(QStringLiteral("store.exec")))
{
    KQNotificationCenter::defaultCenter()->addObserver(
        CNContactStoreDidChangeNotification, this, [this](const KQNotification&) { contactStoreDidChanged(); },
        m_store.get());
}

KQContactStoreHelper::~KQContactStoreHelper() = default;

namespace {
std::atomic<KQContactStoreHelper*> s_sharedHelper{nullptr};
} // namespace

KQContactStoreHelper* KQContactStoreHelper::shared()
{
    static KQContactStoreHelper* helper = [] {
        KQContactStoreHelper* made = nullptr;
        // Timers and notifications of the helper belong to the main thread.
        KQDispatch::mainSync([&made] { made = new KQContactStoreHelper; });
        s_sharedHelper.store(made);
        return made;
    }();
    return helper;
}

KQContactStoreHelper* KQContactStoreHelper::sharedIfMade()
{
    return s_sharedHelper.load();
}

void KQContactStoreHelper::closeSharedStore()
{
    // The helper itself stays: objects that outlive main may still point at it.
    if (KQContactStoreHelper* helper = s_sharedHelper.load())
        helper->contactStore()->close();
}

KQDispatchQueuePtr KQContactStoreHelper::execQueue()
{
    return m_execQueue;
}

QStringList KQContactStoreHelper::mainKeys()
{
    QStringList keys = {CNContactIdentifierKey,
                        CNContactTypeKey,
                        CNContactGivenNameKey,
                        CNContactMiddleNameKey,
                        CNContactFamilyNameKey,
                        CNContactNamePrefixKey,
                        CNContactNameSuffixKey,
                        CNContactPhoneticGivenNameKey,
                        CNContactPhoneticFamilyNameKey,
                        CNContactPhoneticMiddleNameKey,
                        CNContactJobTitleKey,
                        CNContactDepartmentNameKey,
                        CNContactOrganizationNameKey,
                        CNContactThumbnailImageDataKey,
                        CNContactPhoneNumbersKey,
                        CNContactEmailAddressesKey,
                        CNContactImageDataKey,
                        CNContactInstantMessageAddressesKey,
                        CNContactNoteKey};
    keys += CNContactFormatter::descriptorForRequiredKeysForStyle(CNContactFormatterStyle::PhoneticFullName);
    keys += CNContactFormatter::descriptorForRequiredKeysForStyle(CNContactFormatterStyle::FullName);
    return keys;
}

QStringList KQContactStoreHelper::allKeys()
{
    QStringList keys = mainKeys();
    keys += {CNContactNamePrefixKey,
             CNContactNameSuffixKey,
             CNContactNicknameKey,
             CNContactPreviousFamilyNameKey,
             CNContactPostalAddressesKey,
             CNContactPhoneticOrganizationNameKey,
             CNContactSocialProfilesKey,
             CNContactBirthdayKey,
             CNContactDatesKey,
             CNContactNonGregorianBirthdayKey,
             CNContactNoteKey,
             CNContactRelationsKey,
             CNContactUrlAddressesKey,
             CNContactInstantMessageAddressesKey,
             CNContactImageDataAvailableKey};
    keys += CNContactVCardSerialization::descriptorForRequiredKeys();
    return keys;
}

void KQContactStoreHelper::requestContactsAccessGranted(const std::function<void(bool, const CNError&)>& completion)
{
    const auto deliver = [completion](bool granted, const CNError& error) {
        KQDispatch::mainAsync([completion, granted, error] { completion(granted, error); });
    };
    if (m_store->authorizationStatusForEntityType(CNEntityType::Contacts) == CNAuthorizationStatus::Authorized) {
        deliver(true, CNError());
        return;
    }
    m_store->requestAccessForEntityType(CNEntityType::Contacts, deliver);
}

CNMutableContactPtr KQContactStoreHelper::newContact() const
{
    auto contact = std::make_shared<CNMutableContact>();
    contact->setEmailAddresses({CNLabeledValue<QString>(CNLabelHome, QString())});
    contact->setPhoneNumbers({CNLabeledValue<CNPhoneNumber>(CNLabelHome, CNPhoneNumber())});
    contact->setPostalAddresses({CNLabeledValue<CNPostalAddress>(CNLabelHome, CNPostalAddress())});
    return contact;
}

CNMutableGroupPtr KQContactStoreHelper::newGroupWithName(const QString& name) const
{
    auto group = std::make_shared<CNMutableGroup>();
    group->setName(name.isEmpty() ? QStringLiteral("New Group") : name);
    return group;
}

CNMutableContactPtr KQContactStoreHelper::duplicateContact(const CNContact& contact) const
{
    auto copy = std::make_shared<CNMutableContact>();
    duplicateContact(contact, *copy);
    return copy;
}

void KQContactStoreHelper::duplicateContact(const CNContact& from, CNMutableContact& to)
{
    // Each step stands alone: a field the source was not fetched with is logged and skipped.
    using K = CNKeyId;
    const auto step = [&from](const char* word, std::initializer_list<CNKeyId> keys,
                              const std::function<void()>& body) {
        CNError error;
        if (from.checkKeys(keys, &error))
            body();
        else
            KQLog(QStringLiteral("DoublicateContact %1 Error:%2").arg(QLatin1String(word), error.localizedDescription));
    };
    step("imageData", {K::ImageData}, [&] {
        if (!from.imageData().isEmpty())
            to.setImageData(from.imageData());
        else if (!from.thumbnailImageData().isEmpty())
            to.setImageData(QByteArray(from.thumbnailImageData()));
    });
    step("contactType", {K::Type}, [&] { to.setContactType(from.contactType()); });
    step("info", {K::NamePrefix, K::MiddleName, K::GivenName, K::FamilyName, K::NameSuffix, K::Nickname}, [&] {
        to.setNamePrefix(from.namePrefix());
        to.setMiddleName(from.middleName());
        to.setGivenName(from.givenName());
        to.setFamilyName(from.familyName());
        to.setNameSuffix(from.nameSuffix());
        to.setNickname(from.nickname());
    });
    step("previousFamilyName", {K::PreviousFamilyName}, [&] { to.setPreviousFamilyName(from.previousFamilyName()); });
    step("phoneticName",
         {K::PhoneticGivenName, K::PhoneticFamilyName, K::PhoneticMiddleName, K::PhoneticOrganizationName}, [&] {
             to.setPhoneticGivenName(from.phoneticGivenName());
             to.setPhoneticFamilyName(from.phoneticFamilyName());
             to.setPhoneticMiddleName(from.phoneticMiddleName());
             to.setPhoneticOrganizationName(from.phoneticOrganizationName());
         });
    step("jobTitle", {K::JobTitle}, [&] { to.setJobTitle(from.jobTitle()); });
    step("departmentName", {K::DepartmentName}, [&] { to.setDepartmentName(from.departmentName()); });
    step("organizationName", {K::OrganizationName}, [&] { to.setOrganizationName(from.organizationName()); });
    step("postalAddresses", {K::PostalAddresses}, [&] {
        if (!from.postalAddresses().empty())
            to.setPostalAddresses(from.postalAddresses());
    });
    step("urlAddresses", {K::UrlAddresses}, [&] {
        if (!from.urlAddresses().empty())
            to.setUrlAddresses(from.urlAddresses());
    });
    step("emailAddresses", {K::EmailAddresses}, [&] {
        if (!from.emailAddresses().empty())
            to.setEmailAddresses(from.emailAddresses());
    });
    step("phoneNumbers", {K::PhoneNumbers}, [&] {
        if (!from.phoneNumbers().empty())
            to.setPhoneNumbers(from.phoneNumbers());
    });
    step("socialProfiles", {K::SocialProfiles}, [&] {
        if (!from.socialProfiles().empty())
            to.setSocialProfiles(from.socialProfiles());
    });
    step("instantMessageAddresses", {K::InstantMessageAddresses}, [&] {
        if (!from.instantMessageAddresses().empty())
            to.setInstantMessageAddresses(from.instantMessageAddresses());
    });
    step("contactRelations", {K::Relations}, [&] {
        if (!from.contactRelations().empty())
            to.setContactRelations(from.contactRelations());
    });
    step("dates", {K::Dates}, [&] {
        if (!from.dates().empty())
            to.setDates(from.dates());
    });
    step("birthday", {K::Birthday}, [&] { to.setBirthday(from.birthday()); });
    step("nonGregorianBirthday", {K::NonGregorianBirthday},
         [&] { to.setNonGregorianBirthday(from.nonGregorianBirthday()); });
    step("note", {K::Note}, [&] { to.setNote(from.note()); });
}

bool KQContactStoreHelper::importContacts(const CNContactList& contacts, const QString& containerIdentifier)
{
    CNSaveRequest request;
    for (const auto& contact : contacts)
        request.addContact(*contact, containerIdentifier);
    return executeSaveRequest(
        request, QStringLiteral("Failed add contacts to container(%1), reason unknown.").arg(containerIdentifier));
}

bool KQContactStoreHelper::importContacts(const CNContactList& contacts, const QString& containerIdentifier,
                                          const CNGroup* group)
{
    const bool added = importContacts(contacts, containerIdentifier);
    if (added && group != nullptr)
        return moveContacts(contacts, *group);
    return added;
}

bool KQContactStoreHelper::addGroup(const CNGroup& group, const QString& containerIdentifier)
{
    CNSaveRequest request;
    addGroup(group, containerIdentifier, request);
    return executeSaveRequest(request, QStringLiteral("Failed to add group to container(%1)").arg(containerIdentifier));
}

bool KQContactStoreHelper::deleteGroup(const CNGroup& group)
{
    CNSaveRequest request;
    request.deleteGroup(group);
    return executeSaveRequest(request, QStringLiteral("Failed to delete group(%1)").arg(group.name()));
}

bool KQContactStoreHelper::updateGroup(const CNGroup& group)
{
    CNSaveRequest request;
    updateGroup(group, request);
    return executeSaveRequest(request, QStringLiteral("Failed to update group(%1)").arg(group.name()));
}

bool KQContactStoreHelper::addSubGroup(const CNGroup& subgroup, const CNGroup& group)
{
    CNSaveRequest request;
    addSubGroup(subgroup, group, request);
    return executeSaveRequest(
        request, QStringLiteral("Failed to add subgroup(%1) to group(%2)").arg(subgroup.name(), group.name()));
}

bool KQContactStoreHelper::removeSubGroup(const CNGroup& subgroup, const CNGroup& group)
{
    CNSaveRequest request;
    request.removeSubgroup(subgroup, group);
    return executeSaveRequest(
        request, QStringLiteral("Failed to remove subgroup(%1) from group(%2)").arg(subgroup.name(), group.name()));
}

bool KQContactStoreHelper::updateContacts(const CNContactList& contacts)
{
    CNSaveRequest request;
    for (const auto& contact : contacts)
        request.updateContact(*contact);
    return executeSaveRequest(request, QStringLiteral("Failed to update contacts."));
}

bool KQContactStoreHelper::deleteContacts(const CNContactList& contacts)
{
    CNSaveRequest request;
    for (const auto& contact : contacts)
        request.deleteContact(*contact);
    return executeSaveRequest(request, QStringLiteral("Failed to delete contacts."));
}

bool KQContactStoreHelper::moveContacts(const CNContactList& contacts, const CNGroup& group)
{
    CNSaveRequest request;
    for (const auto& contact : contacts)
        request.addMember(*contact, group);
    return executeSaveRequest(request, QStringLiteral("Failed to move contacts to group(%1)").arg(group.name()));
}

bool KQContactStoreHelper::removeContacts(const CNContactList& contacts, const CNGroup& group)
{
    CNSaveRequest request;
    removeContacts(contacts, group, request);
    return executeSaveRequest(request, QStringLiteral("Failed to remove contacts from group(%1)").arg(group.name()));
}

void KQContactStoreHelper::deleteContacts(const CNContactList& contacts, std::function<void(bool)> block)
{
    CNSaveRequest request;
    for (const auto& contact : contacts)
        request.deleteContact(*contact);
    executeSaveRequest(std::move(request), std::move(block));
}

void KQContactStoreHelper::addGroup(const CNGroup& group, const QString& containerIdentifier, CNSaveRequest& request)
{
    request.addGroup(group, containerIdentifier);
}

void KQContactStoreHelper::updateGroup(const CNGroup& group, CNSaveRequest& request)
{
    request.updateGroup(group);
}

void KQContactStoreHelper::addSubGroup(const CNGroup& subgroup, const CNGroup& group, CNSaveRequest& request)
{
    request.addSubgroup(subgroup, group);
}

void KQContactStoreHelper::removeContacts(const CNContactList& contacts, const CNGroup& group, CNSaveRequest& request)
{
    for (const auto& contact : contacts)
        request.removeMember(*contact, group);
}

bool KQContactStoreHelper::executeSaveRequest(const CNSaveRequest& request, const QString& defaultError,
                                              CNError* errorOut)
{
    bool success = false;
    CNError error;
    // A window waiting for the save gives up on a store another process keeps busy.
    const int busyWaitLimit = KQDispatch::isMainThread() ? kMainThreadBusyWaitMs : 0;
    execQueue()->sync([&] {
        CNSQLiteConnection::setBusyWaitLimitOnThisThread(busyWaitLimit);
        beginDiscardStoreDidChangedNotify();
        success = m_store->executeSaveRequest(request, &error);
        if (!success)
            KQLog(error.isError() ? error.description() : defaultError);
        endDiscardStoreDidChangedNotify();
        CNSQLiteConnection::setBusyWaitLimitOnThisThread(0);
    });
    if (errorOut)
        *errorOut = error;
    return success;
}

void KQContactStoreHelper::executeSaveRequest(CNSaveRequest request, std::function<void(bool)> block)
{
    execQueue()->async([this, request = std::move(request), block = std::move(block)] {
        beginDiscardStoreDidChangedNotify();
        CNError error;
        const bool success = m_store->executeSaveRequest(request, &error);
        if (!success && error.isError())
            KQLog(error.description());
        if (block)
            block(success);
        endDiscardStoreDidChangedNotify();
    });
}

void KQContactStoreHelper::contactStoreDidChanged()
{
    if (!m_discard.load() && !m_updatingStore.load()) {
        if (KQDispatch::isMainThread()) {
            KQNotificationCenter::defaultCenter()->post(KQContactsStoreDidChangedNotification, this);
        } else {
            QPointer<KQContactStoreHelper> self(this);
            KQDispatch::mainAsync([self] {
                if (self)
                    KQNotificationCenter::defaultCenter()->post(KQContactsStoreDidChangedNotification, self.data());
            });
        }
        return;
    }
    KQLog(QStringLiteral("Discard Store Did Changed Notify..."));
}

void KQContactStoreHelper::beginDiscardStoreDidChangedNotify()
{
    // The flag is set at once, so that notifications racing with the save are already dropped;
    // the main thread owns the timer that clears it.
    m_discard.store(true);
}

void KQContactStoreHelper::endDiscardStoreDidChangedNotify()
{
    QPointer<KQContactStoreHelper> self(this);
    const auto schedule = [self] {
        if (self)
            self->scheduleDiscardStoreDidChangeNotifyInMainThread();
    };
    if (KQDispatch::isMainThread())
        schedule();
    else
        KQDispatch::mainAsync(schedule);
}

void KQContactStoreHelper::scheduleDiscardStoreDidChangeNotifyInMainThread()
{
    if (m_updatingStore.load()) {
        m_discard.store(false);
        return;
    }
    if (m_delayRespondTimer) {
        m_delayRespondTimer->stop();
        m_delayRespondTimer->deleteLater();
    }
    auto* timer = new QTimer(this);
    timer->setSingleShot(true);
    timer->setInterval(m_discardWindowMs);
    connect(timer, &QTimer::timeout, this, &KQContactStoreHelper::delayRespondTimerFired);
    m_delayRespondTimer = timer;
    timer->start();
}

void KQContactStoreHelper::delayRespondTimerFired()
{
    m_discard.store(false);
    if (m_delayRespondTimer) {
        m_delayRespondTimer->deleteLater();
        m_delayRespondTimer = nullptr;
    }
}
