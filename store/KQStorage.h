#pragma once
// The program's private data folder and its four files: the tag set, the Trash, the Last Import
// list and the backup catalogue. Each file is one keyed archive, rewritten whole on every save.
//
// Contract: a save replaces its file atomically (a temporary file in the same folder, then a
// rename), so a failed save leaves the previous file as it was; it returns false and logs why.
// A load of a missing, truncated, damaged or foreign file gives the empty default and reports
// nothing.

#include "store/KQContainerBackup.h"
#include "store/KQContainerLatestImport.h"
#include "store/KQContainerRecyle.h"
#include "store/KQTagsManager.h"

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <memory>

class KQStorage
{
public:
    // The process's storage over the user's application data folder, made on first use.
    static KQStorage* sharedStorage();

    // Storage over folder; an empty folder means the user's application data folder.
    explicit KQStorage(QString folder = {});
    virtual ~KQStorage() = default;
    KQStorage(const KQStorage&) = delete;
    KQStorage& operator=(const KQStorage&) = delete;

    // The data folder, created with its parents when missing (a failure to create is ignored).
    QString defaultStoragePath() const;

    static QString tagsFilename() { return QStringLiteral("tags.peoplekeeper"); }
    static QString recyleFilename() { return QStringLiteral("recyle.peoplekeeper"); }
    static QString latestImportFilename() { return QStringLiteral("latest.peoplekeeper"); }
    static QString backupInfoFileName() { return QStringLiteral("backup.peoplekeeper"); }
    QString tagsFilepath() const;
    QString recyleFilepath() const;
    QString latestImportFilepath() const;
    QString backupInfoFile() const;

    // The stored tag set, or a new empty one.
    KQTagsManagerPtr loadDefaultTagsManager() const;
    bool saveDefaultTagsManager(const KQTagsManager* manager);
    // A new Trash node holding the stored entries, in order.
    std::shared_ptr<KQContainerRecyle> loadDefaultContainerRecyle() const;
    bool saveDefaultContainerRecyle(const KQContainerRecyle* recyle);
    // A new Last Import node holding the stored records, in order.
    std::shared_ptr<KQContainerLatestImport> loadDefaultContainerLatestImport() const;
    bool saveDefaultContainerLatestImport(const KQContainerLatestImport* latestImport);

    // --- the backup catalogue: account identifier -> its backups, newest first. Read afresh from
    // the file on every query; a change rewrites the whole file.
    // None when the file is missing, empty or does not decode.
    std::optional<KQBackupCatalogue> loadBackupInfoFromFile() const;
    bool saveBackupInfoToFile(const KQBackupCatalogue& catalogue);
    // That account's backups, newest first (empty when it has none).
    KQContainerBackupList containerBackupsWithIdentifier(const QString& identifier) const;
    // Puts backup first in the account's list and saves the catalogue.
    bool addBackup(const KQContainerBackupPtr& backup, const QString& identifier);
    // Deletes the backup's file (errors ignored) and every equal entry of the account's list; an
    // emptied list loses its account. Nothing is saved when the account has no list.
    bool removeBackup(const KQContainerBackupPtr& backup, const QString& identifier);

    // The whole-file write behind every save (also for the backup catalogue).
    bool writeFile(const QString& path, const QByteArray& data, QString* error = nullptr);
    // The file's bytes; empty when it cannot be read.
    static QByteArray readFile(const QString& path);

protected:
    // Writes data into the temporary file of a save; true when all of it was written.
    virtual bool writeData(QIODevice& device, const QByteArray& data);

private:
    QString filePath(const QString& name) const;
    bool saveNodeContacts(const KQGroupTreeNode* node, const QString& path);

    QString m_folder;
};
