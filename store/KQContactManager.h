#pragma once
// The process's contact manager: owns the store interface, the root list of the sidebar (the
// accounts, then "Last Import", then "Trash", with the user's default account first), and the
// pseudo-accounts. Made on first use, on the main thread; lives for the whole process.

#include "store/KQContactStoreHelper.h"
#include "store/KQContainerHelper.h"
#include "store/KQContainerLatestImport.h"
#include "store/KQContainerRecyle.h"
#include "store/KQRecyleActions.h"
#include "store/KQTagsManager.h"

#include <QObject>

class KQPreferences;
class KQStorage;

class KQContactManager : public QObject, public KQContactStoreHelperDelegate
{
    Q_OBJECT
public:
    static KQContactManager* sharedContactManager();

    KQContactStoreHelper* storeHelper() const { return m_storeHelper; }
    CNContactStore* contactStore() const { return m_storeHelper->contactStore(); }
    // Loaded from the private data folder at start-up.
    const KQTagsManagerPtr& tagsMgr() const { return m_tagsMgr; }
    const std::shared_ptr<KQContainerRecyle>& recyle() const { return m_recyle; }
    const std::shared_ptr<KQContainerLatestImport>& latestImport() const { return m_latestImport; }
    KQPreferences* perferences() const;
    KQStorage* storage() const { return m_storage; }
    // Trash and Last Import operations over this manager's nodes, accounts and storage.
    KQRecyleActions recyleActions() const;

    // --- root list (observable; reading returns a copy)
    KQGroupTreeNodeList allRootContainers() const { return m_roots; }
    int countOfAllRootContainers() const { return static_cast<int>(m_roots.size()); }
    KQGroupTreeNodePtr objectInAllRootContainersAtIndex(int index) const;
    void insertObjectInAllRootContainersAtIndex(const KQGroupTreeNodePtr& node, int index);
    void removeObjectFromAllRootContainersAtIndex(int index);
    void insertAllRootContainers(const KQGroupTreeNodeList& nodes, const QList<int>& indexes);
    void removeAllRootContainersAtIndexes(const QList<int>& indexes);
    void setAllRootContainers(const KQGroupTreeNodeList& nodes);

    // Accounts only; the pseudo-accounts are never returned.
    KQContainerHelperPtr containerHelperWithName(const QString& name) const;
    KQContainerHelperPtr containerHelperWithIdentifier(const QString& identifier) const;
    KQContainerHelperPtr containerHelperWithContactIdentifier(const QString& identifier) const;
    KQContainerHelperPtr defaultContainerHelper() const;
    void updateDefaultContainerPostion();

    void contactStoreHelperDidChanged(KQContactStoreHelper* helper) override;
    void renewAllContainerHelpers();

Q_SIGNALS:
    void allRootContainersInserted(const QList<int>& indexes);
    void allRootContainersRemoved(const QList<int>& indexes);

private:
    KQContactManager();

    KQContactStoreHelper* m_storeHelper;
    KQStorage* m_storage;
    KQTagsManagerPtr m_tagsMgr;
    std::shared_ptr<KQContainerRecyle> m_recyle;
    std::shared_ptr<KQContainerLatestImport> m_latestImport;
    KQGroupTreeNodeList m_roots;
};
