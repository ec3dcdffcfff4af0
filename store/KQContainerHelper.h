#pragma once

#include "platform/CNContainer.h"
#include "platform/CNSaveRequest.h"
#include "store/KQContactRecyle.h"
#include "store/KQContainerBackup.h"
#include "store/KQGroupTreeNode.h"

#include <QFile>
#include <QHash>

// An account of the store: its groups, its records (every record made for the account, by
// identifier) and the put-backs waiting to be shown.
class KQContainerHelper : public KQGroupTreeNode
{
    Q_OBJECT
    // Empty while every fetch for the account succeeded; otherwise what the user is told.
    Q_PROPERTY(QString loadErrorMessage READ loadErrorMessage NOTIFY loadErrorChanged)
public:
    explicit KQContainerHelper(const CNContainer& container);
    // With groups: they are installed on the main thread and count as loaded.
    KQContainerHelper(const CNContainer& container, const KQGroupTreeNodeList& groups);

    const CNContainer& container() const { return m_container; }
    QString identifier() const override { return m_container.identifier(); }
    bool isIcloud() const;
    bool isGoogle() const;
    QString image() const override;
    QString bigImage() const;
    QString miniIcon() const;

    // --- the error state: a fetch for the account or one of its groups failed, so its lists may
    // be partial (a damaged store). Nothing is scanned, merged, backed up, restored or exported
    // from it. Set from any thread; the signal comes on the main thread.
    void setLoadError(const CNError& error);
    // A reload of all accounts reads the account afresh: it leaves the error state until a fetch
    // fails again.
    void clearLoadError();
    bool hasLoadError() const;
    CNError accountLoadError() const;
    // Names the store file, says what failed and what to do.
    QString loadErrorMessage() const;
    // The message for a store error, naming the store file; shared by the accounts and the reload.
    static QString storeReadFailureMessage(const CNError& error);
    // The error message of the first account in its error state that holds one of contacts; empty
    // when there is none. Main thread.
    static QString loadErrorForContacts(const KQContactHelperList& contacts);

    // A new record for contact, filed under its identifier (replacing an earlier one); none for a
    // contact without identifier.
    KQContactHelperPtr makeContactHelperIfNecessaryWithContact(const CNContactPtr& contact, bool allKeyLoaded);
    KQContactHelperPtr contactHelperFromContainerWithIdentifier(const QString& identifier) const;
    bool contactHelperExistWithIdentifier(const QString& identifier) const;
    bool contactExist(const KQContactHelper* contact) const;
    int allContactHelpersCount() const;

    // Depth-first over the account's tree, each node before its children.
    KQGroupTreeNodePtr groupWithIdentifier(const QString& identifier) const;
    static KQGroupTreeNodePtr findGroupWithIdentifier(const QString& identifier, const KQGroupTreeNodeList& groups);
    // Removes contact from the groups and, recursively, their subgroups that list it; returns the
    // identifiers of the groups it was removed from, outer groups first. A group whose contacts are
    // not loaded yet is asked the store whether the contact is a member.
    static QStringList removeContactHelperFromGroups(const KQContactHelperPtr& contact,
                                                     const KQGroupTreeNodeList& groups);

    // Takes a record out of the account's tree (not out of the store) and returns its Trash entry.
    KQContactRecylePtr deleteContactHelper(const KQContactHelperPtr& contact);
    std::vector<KQContactRecylePtr> deleteContactHelpers(const KQContactHelperList& contacts);
    void deleteContactHelper(const KQContactHelperPtr& contact, std::function<void(KQContactRecylePtr)> handler);

    // Puts a Trash entry back: a copy of its contact with a new identifier is filed in the account
    // at once and added to request, with its memberships in those of the entry's groups that still
    // exist; the copy waits in restoreObjects until Refresh shows it. The store is written when
    // the caller executes request. Always true.
    bool putBackContactRecyle(const KQContactRecylePtr& entry, CNSaveRequest& request);
    bool putBackContactRecyles(const std::vector<KQContactRecylePtr>& entries, CNSaveRequest& request);
    std::vector<KQRestoreRecyleObject>& restoreObjects() { return m_restoreObjects; }
    // Shows the waiting put-backs in their groups and in the account (on the main thread, later).
    void Refresh();

    std::optional<CNContactPredicate> loadPredicateForContacts() const override;
    std::optional<CNGroupPredicate> loadPredicateForSubGroups() const override;

    // Every record filed in the account (identifier -> record), in the map's order. The map keeps
    // records of contacts deleted since; currentContactHelpers() lists only those the account shows.
    std::vector<KQContactHelperPtr> allContactHelpers() const;
    // The account's contact list, one record per identifier.
    KQContactHelperList currentContactHelpers() const;
    // Takes the record filed under identifier out of the map.
    void removeContactHelperFromMap(const QString& identifier);

    // --- backup (store/KQContainerBackupWriter.cpp). Handlers are called on the main thread.
    QVariantList backupContainerGroupInfos();
    QVariantMap backupContainerGroupInfo(const KQGroupTreeNodePtr& group);
    // "yyyyMMdd HH-mm-ss.vorlankqbck" for the current moment.
    static QString makeupBackupFilename();
    // A backup of folder/makeupBackupFilename(); the file is created empty when missing. None when
    // it cannot be created.
    static KQContainerBackupPtr createBackupFileHandlerAtPath(const QString& folder);
    // Writes the whole account into a new backup file in folder and catalogues it, on the
    // background queue; returns at once. Reports -1, -2 (fraction), then 0, -3 (the file could not
    // be written: it is removed) or -4 (cancelled: the file stays, incomplete and uncatalogued).
    void backupToPath(const QString& folder, KQBackupProcessHandler handler);
    // The backup itself, on the calling (background) thread; the catalogued backup, or none.
    KQContainerBackupPtr backupToPathInternal(const QString& folder, const KQBackupProcessHandler& handler);
    // Calls handler on the main thread (waiting for it) and returns its stop answer; false without one.
    static bool postProcessMessage(qint64 message, double progress, const KQBackupProcessHandler& handler);

    // --- restore (store/KQContainerBackupRestore.cpp)
    // Turns the account back into the state of backup, on the background queue; returns at once.
    // Reports -1, -2 (fraction), then 0, -3 or -4. Nothing in the store changes unless the whole
    // file reads and decodes; before it changes, confirm (when given) sees what will happen and
    // may refuse (-4), and a backup of the account as it stands is made in safetyFolder (when
    // not empty) and catalogued.
    void restoreContainerFromBackup(const KQContainerBackupPtr& backup, KQBackupProcessHandler handler,
                                    KQRestoreConfirmHandler confirm = {}, QString safetyFolder = {});
    // The restore itself, on the calling (background) thread; true when it succeeded.
    bool restoreContainerFromBackupInternal(const KQContainerBackupPtr& backup, const KQBackupProcessHandler& handler,
                                            const KQRestoreConfirmHandler& confirm, const QString& safetyFolder);
    // Reads a version-1 file positioned after its version field, then rebuilds the account.
    bool restoreVersion1FromFileHandle(QFile& file, const KQBackupProcessHandler& handler,
                                       KQRestoreOptions* options = nullptr);
    bool restoreFromContacts(const KQContactHelperList& contacts, const std::optional<QVariantList>& groupInfos,
                             const KQBackupProcessHandler& handler, KQRestoreOptions* options = nullptr);
    bool restoreAddContactsDic(const std::vector<std::pair<QString, CNMutableContactPtr>>& newContacts,
                               const KQContactHelperList& updateContacts, const KQContactHelperList& deleteContacts,
                               const KQBackupProcessHandler& handler);
    void storeAddContact(const CNMutableContactPtr& contact, CNSaveRequest& request);
    void storeUpdateContactHelper(const KQContactHelperPtr& restored, CNSaveRequest& request);
    void storeDeleteContactHelper(const KQContactHelperPtr& current, CNSaveRequest& request);
    void restoreGroupTreeNode(const KQGroupTreeNodePtr& node, const QVariantList& infos, CNSaveRequest& request,
                              const QHash<QString, QString>& newContactsDic);
    bool restoreGroupTreeNode(const KQGroupTreeNodePtr& node, const QStringList& contactsIds,
                              const QVariantList& subGroupInfos, CNSaveRequest& request,
                              const QHash<QString, QString>& newContactsDic);
    void restoreGroup(const KQGroupTreeNodePtr& group, const QStringList& contactIds, CNSaveRequest& request,
                      const QHash<QString, QString>& newContactsDic);
    static KQContactHelperPtr restoreContactHelperWithIdentifier(const QString& identifier,
                                                                 const KQContainerHelper& containerHepler,
                                                                 const QHash<QString, QString>& newContactsDic);
    static void storeRemoveGroupHelper(const KQGroupTreeNodePtr& group, CNSaveRequest& request);
    static void storeAddContactHelper(const KQContactHelperPtr& contact, const KQGroupTreeNodePtr& group,
                                      CNSaveRequest& request);

Q_SIGNALS:
    void loadErrorChanged();

protected:
    static bool storeGroupHasMember(const KQGroupTreeNode& group, const QString& contactIdentifier);
    void didInsertContacts(const KQContactHelperList& contacts) override;

private:
    enum class Kind
    {
        Icloud,
        Google,
        Unsigned,
        Exchange,
        Local
    };
    Kind kind() const;

    CNContainer m_container;
    mutable std::mutex m_loadErrorMutex;
    CNError m_accountLoadError;
    mutable std::mutex m_recordsMutex;
    QHash<QString, KQContactHelperPtr> m_allContactHelpers;
    std::vector<KQRestoreRecyleObject> m_restoreObjects;
};

using KQContainerHelperPtr = std::shared_ptr<KQContainerHelper>;
