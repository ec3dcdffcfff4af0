// Loading a record's remaining keys. A fetch runs off the main thread; what it found waits as the
// record's pending contact until the main thread installs it, so the record's contact, edit copy
// and properties only ever change on the main thread.

#include "model/KQContactHelper.h"
#include "store/KQContactStoreHelper.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHash>
#include <QLoggingCategory>
#include <condition_variable>

Q_LOGGING_CATEGORY(kqRecordLoadLog, "kq.model.loading")

KQDispatchQueuePtr KQContactHelper::loadAllKeyQueue()
{
    // Made on first use by whichever thread loads first.
    std::lock_guard lock(m_contactMutex);
    if (!m_loadAllKeyQueue)
        m_loadAllKeyQueue = KQDispatchQueue::create(QStringLiteral("contact.loadAllKeys"));
    return m_loadAllKeyQueue;
}

CNContactPtr KQContactHelper::fetchAllKeys(const QString& identifier)
{
    CNContactFetchRequest request(KQContactStoreHelper::allKeys());
    request.setPredicate(CNContactPredicate::predicateForContactsWithIdentifiers({identifier}));
    request.setUnifyResults(false);
    CNContactPtr found;
    CNError error;
    KQContactStoreHelper::shared()->contactStore()->enumerateContactsWithFetchRequest(
        request, &error, [&found](const CNContactPtr& contact, bool* stop) {
            found = contact;
            *stop = true;
        });
    if (error.isError()) {
        qCWarning(kqRecordLoadLog).noquote()
            << "loading the contact" << identifier << "failed:" << error.localizedDescription;
        return nullptr;
    }
    return found;
}

bool KQContactHelper::needsAllKeys() const
{
    std::lock_guard lock(m_contactMutex);
    return !m_keysInstalled && !m_pendingContact;
}

bool KQContactHelper::setPendingContact(const CNContactPtr& fetched)
{
    std::lock_guard lock(m_contactMutex);
    if (m_keysInstalled)
        return false;
    m_pendingContact = fetched;
    return true;
}

bool KQContactHelper::installPendingContact()
{
    Q_ASSERT(KQDispatch::isMainThread() || QCoreApplication::instance() == nullptr);
    CNContactPtr fetched;
    {
        std::lock_guard lock(m_contactMutex);
        fetched = std::move(m_pendingContact);
        m_pendingContact.reset();
    }
    if (!fetched)
        return false;
    installLoadedContact(fetched);
    return true;
}

void KQContactHelper::installLoadedContact(const CNContactPtr& fetched)
{
    {
        std::lock_guard lock(m_contactMutex);
        m_contact = fetched;
        m_mutableContact.reset();
        m_pendingContact.reset();
        // From here no other fetch starts, though readers wait for the flag below.
        m_keysInstalled = true;
    }
    setupAllLabeledValueProperties();
    // Released after the contact and the properties, so a reader that sees the flag sees them too.
    m_allKeysLoaded.store(true, std::memory_order_release);
    setPropertyEdited(false);
    m_sortName.reset();
    Q_EMIT namesChanged();
    Q_EMIT contactReloaded();
}

bool KQContactHelper::executeLoadAllKeys()
{
    const CNContactPtr found = fetchAllKeys(m_loadIdentifier);
    if (!found)
        return false;
    {
        // A reload on request replaces even a fully loaded contact.
        std::lock_guard lock(m_contactMutex);
        m_pendingContact = found;
    }
    auto self = shared_from_this();
    KQDispatch::mainSync([self] { self->installPendingContact(); });
    return true;
}

void KQContactHelper::syncLoadAllKeysIfNecessary()
{
    if (allKeysLoaded())
        return;
    auto self = shared_from_this();
    // The queue only fetches; it never waits for the main thread, so the main thread may wait for it.
    loadAllKeyQueue()->sync([self] {
        if (!self->needsAllKeys())
            return;
        if (const CNContactPtr found = fetchAllKeys(self->m_loadIdentifier))
            self->setPendingContact(found);
    });
    // Whoever comes first installs; an asynchronous load's install queued earlier runs before this.
    KQDispatch::mainSync([self] { self->installPendingContact(); });
}

void KQContactHelper::loadAllKeysIfNecessaryWithCompleteHandler(std::function<void(KQContactHelper*, bool)> handler)
{
    auto self = shared_from_this();
    loadAllKeyQueue()->async([self, handler = std::move(handler)] {
        bool fetched = false;
        if (self->needsAllKeys()) {
            if (const CNContactPtr found = fetchAllKeys(self->m_loadIdentifier))
                fetched = self->setPendingContact(found);
        }
        KQDispatch::mainAsync([self, handler, fetched] {
            // A synchronous load may have installed this fetch already; the answer is still that
            // this request fetched.
            self->installPendingContact();
            if (handler)
                handler(self.get(), fetched);
        });
    });
}

int KQContactHelper::syncLoadAllKeysOfContactHelpers(const std::vector<KQContactHelperPtr>& records,
                                                     const std::optional<CNContactPredicate>& predicate, CNError* error)
{
    QHash<QString, KQContactHelperPtr> waiting;
    for (const KQContactHelperPtr& record : records)
        if (record && record->needsAllKeys() && !record->m_loadIdentifier.isEmpty())
            waiting.insert(record->m_loadIdentifier, record);
    if (waiting.isEmpty())
        return 0;

    // One fetch: the whole node when most of it is missing, else just the identifiers.
    CNContactFetchRequest request(KQContactStoreHelper::allKeys());
    if (predicate && waiting.size() * 2 >= static_cast<qsizetype>(records.size())) {
        request.setPredicate(*predicate);
    } else {
        QStringList identifiers = waiting.keys();
        request.setPredicate(CNContactPredicate::predicateForContactsWithIdentifiers(identifiers));
    }
    request.setUnifyResults(false);
    auto fetched = std::make_shared<std::vector<KQContactHelperPtr>>();
    fetched->reserve(static_cast<size_t>(waiting.size()));
    CNError fetchError;
    KQContactStoreHelper::shared()->contactStore()->enumerateContactsWithFetchRequest(
        request, &fetchError, [&waiting, &fetched](const CNContactPtr& contact, bool*) {
            const auto it = waiting.constFind(contact->identifier());
            if (it != waiting.constEnd() && (*it)->setPendingContact(contact))
                fetched->push_back(*it);
        });
    if (fetchError.isError())
        qCWarning(kqRecordLoadLog).noquote()
            << "loading the details of" << waiting.size() << "contacts failed:" << fetchError.localizedDescription;
    if (error != nullptr)
        *error = fetchError;
    if (fetched->empty())
        return 0;

    if (KQDispatch::isMainThread()) {
        int installed = 0;
        for (const KQContactHelperPtr& record : *fetched)
            installed += record->installPendingContact() ? 1 : 0;
        return installed;
    }

    // Slices keep the main thread responsive: each installs for at most 10 ms, then queues the next.
    struct Progress
    {
        std::mutex mutex;
        std::condition_variable done;
        bool finished = false;
        size_t next = 0;
        int installed = 0;
    };
    auto progress = std::make_shared<Progress>();
    auto slice = std::make_shared<std::function<void()>>();
    *slice = [fetched, progress, weakSlice = std::weak_ptr<std::function<void()>>(slice)] {
        QElapsedTimer clock;
        clock.start();
        while (progress->next < fetched->size() && clock.nsecsElapsed() < 10'000'000) {
            progress->installed += (*fetched)[progress->next]->installPendingContact() ? 1 : 0;
            ++progress->next;
        }
        if (progress->next < fetched->size()) {
            if (const auto again = weakSlice.lock())
                KQDispatch::mainAsync([again] { (*again)(); });
            return;
        }
        std::lock_guard lock(progress->mutex);
        progress->finished = true;
        progress->done.notify_all();
    };
    KQDispatch::mainAsync([slice] { (*slice)(); });
    std::unique_lock lock(progress->mutex);
    progress->done.wait(lock, [&progress] { return progress->finished; });
    return progress->installed;
}
