#include "store/KQContactPasteDataStore.h"

#include "store/KQContainerHelper.h"
#include "store/KQContainerLatestImport.h"
#include "store/KQContainerRecyle.h"
#include "store/KQGroupHelper.h"

const QString KQContactPasteboardType = QStringLiteral("com.vorlan.contactPasteboardType");

KQContactPasteDataStore& KQContactPasteDataStore::sharedContactPasteDataStore()
{
    static KQContactPasteDataStore store;
    return store;
}

void KQContactPasteDataStore::setContactHelper(const KQContactHelperPtr& contact, const QString& key)
{
    if (contact)
        m_contacts.insert(key, contact);
}

KQContactHelperList KQContactPasteDataStore::pasteContactHelpers() const
{
    KQContactHelperList list;
    for (const auto& contact : m_contacts)
        list.push_back(contact);
    return list;
}

void KQContactPasteDataStore::clearPasteData()
{
    m_node.reset();
    m_contacts.clear();
}

KQGroupHelper* KQContactPasteDataStore::currentGroupHelper() const
{
    return qobject_cast<KQGroupHelper*>(m_node.get());
}

KQContainerHelper* KQContactPasteDataStore::currentContainerHelper() const
{
    if (KQGroupHelper* group = currentGroupHelper())
        return group->containerHelper();
    return qobject_cast<KQContainerHelper*>(m_node.get());
}

bool KQContactPasteDataStore::isGroupHelper() const
{
    return currentGroupHelper() != nullptr;
}

bool KQContactPasteDataStore::isContainerHelper() const
{
    return qobject_cast<KQContainerHelper*>(m_node.get()) != nullptr;
}

bool KQContactPasteDataStore::isLastestImportContainer() const
{
    return qobject_cast<KQContainerLatestImport*>(m_node.get()) != nullptr;
}

bool KQContactPasteDataStore::isRecyleContainer() const
{
    return qobject_cast<KQContainerRecyle*>(m_node.get()) != nullptr;
}
