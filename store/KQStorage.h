#pragma once
// The program's private data folder and its four files: the tag set, the Trash, the Last Import
// list and the backup catalogue. Each file is one keyed archive, rewritten whole on every save.
//
// Contract: a save replaces its file atomically (a temporary file in the same folder, written,
// flushed, synced and checked for its size, then a rename), so a failed save leaves the previous
// file as it was; it returns false and logs why.
// A load of a missing or empty file gives the empty default. A file that exists but cannot be read
// or decoded also gives the empty default, but is logged at warning level, kept as a problem for
// the user to be told once, and moved aside ("name.damaged-DATE") before anything is written in
// its place.
//
// More than one running copy (or the command-line front end) may share the folder: every save
// takes the file's lock file, and when the file changed since this storage last read or wrote it,
// the fresh content is read and this storage's own change is applied to it by identifier.

#include "store/KQContainerBackup.h"
#include "store/KQContainerLatestImport.h"
#include "store/KQContainerRecyle.h"
#include "store/KQTagsManager.h"

#include <QByteArray>
#include <QHash>
#include <QIODevice>
#include <QMap>
#include <QSaveFile>
#include <QSet>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

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
    // Saves the tag set. When another running copy saved it meanwhile, the tags and contact tag
    // lists it changed are taken into manager (by name and contact identifier) before writing.
    bool saveDefaultTagsManager(KQTagsManager* manager);
    // A new Trash node holding the stored entries, in order.
    std::shared_ptr<KQContainerRecyle> loadDefaultContainerRecyle() const;
    // Saves the node's entries. When another running copy saved the Trash meanwhile, the entries it
    // added are appended to the node and those it removed are removed from it before writing.
    bool saveDefaultContainerRecyle(KQContainerRecyle* recyle);
    // A new Last Import node holding the stored records, in order.
    std::shared_ptr<KQContainerLatestImport> loadDefaultContainerLatestImport() const;
    // As for the Trash.
    bool saveDefaultContainerLatestImport(KQContainerLatestImport* latestImport);

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
    // Reads the catalogue and saves what change (returning whether it changed anything) makes of
    // it, under the file's lock and onto the file's present content.
    bool changeBackupCatalogue(const std::function<bool(KQBackupCatalogue&)>& change);

    // The whole-file write behind every save (also for the backup catalogue). The data goes into
    // a temporary file beside path, which is flushed, synced and checked for its full size before
    // it replaces path; on any failure path keeps its previous content, the temporary file is
    // removed, the reason is logged at warning level and put in error.
    bool writeFile(const QString& path, const QByteArray& data, QString* error = nullptr);
    // The file's bytes; empty when it cannot be read.
    static QByteArray readFile(const QString& path);

    // Writes the pending changes of settings to its file and checks that the file now holds every
    // key with its value. When it does not (a write cut off on a full disk that Qt reports as done),
    // the previous file is put back; false, with the reason logged and put in error.
    static bool syncSettings(QSettings& settings, QString* error = nullptr);

    // Reads a private file and remembers its state for the next saveFile(). A file that exists but
    // cannot be read is logged, kept as a problem and set aside before the next save.
    QByteArray loadFile(const QString& path) const;
    // Marks a loaded file whose bytes did not decode, as loadFile() does for an unreadable one.
    void noteDamagedFile(const QString& path, const QString& why) const;
    // Remembers the identifiers of the entries a file held when it was read or written: the base
    // against which this copy's own change is told from another copy's.
    void setKnownIdentifiers(const QString& path, const QStringList& identifiers) const;
    QStringList knownIdentifiers(const QString& path) const;
    // Writes a private file under its lock file ("path.lock", waited for at most two seconds).
    // data(current) gives the bytes to write: current is null when the file is as this storage
    // last read or wrote it; otherwise it holds the file's present bytes (empty when the file is
    // gone), written meanwhile by another copy, onto which data() applies its own change. A file
    // set aside as unreadable is renamed "name.damaged-DATE" first.
    bool saveFile(const QString& path, const std::function<QByteArray(const QByteArray* current)>& data,
                  QString* error = nullptr);

    // The unreadable or damaged files met since the last call, each as a sentence for the user;
    // each is handed out once.
    QStringList takeLoadProblems();

    // The steps of a whole-file write, in order. Each may fail on a full or failing disk.
    enum class WriteStep
    {
        Open,
        Write,
        Flush,
        Sync,
        Commit
    };

protected:
    // Carries out one step of a write on the temporary file; false when it failed.
    virtual bool writeStep(WriteStep step, QSaveFile& file, const QByteArray& data);

private:
    struct FileStamp
    {
        bool exists = false;
        quint64 device = 0;
        quint64 inode = 0;
        qint64 size = 0;
        qint64 modified = 0;
        qint64 changed = 0;
        bool operator==(const FileStamp&) const = default;
    };
    struct FileState
    {
        FileStamp stamp;
        bool setAside = false;
        QStringList identifiers;
    };
    struct TagsSnapshot
    {
        QStringList names;
        QMap<QString, QStringList> contacts;
    };
    static TagsSnapshot snapshotOf(const KQTagsManager& manager);
    void mergeTags(KQTagsManager& manager, const QByteArray& current) const;
    static FileStamp stampOf(const QString& path);
    QString filePath(const QString& name) const;
    void noteProblem(const QString& path, const QString& why) const;
    bool moveAside(const QString& path, QString* error) const;
    template <typename T>
    bool saveNodeContacts(KQGroupTreeNode* node, const QString& path, const QSet<QString>& classes);

    QString m_folder;
    mutable std::mutex m_mutex;
    mutable QHash<QString, FileState> m_files;
    mutable QStringList m_problems;
    mutable std::optional<TagsSnapshot> m_tagsBase;
};
