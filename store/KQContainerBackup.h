#pragma once
// Backups of accounts: one catalogued backup file, the progress callback shared by backup and
// restore, the group-info dictionaries kept in a backup file and the layout of that file.
//
// A backup file (version 1) is, in this order: the 16 bytes "VORLANCONTACBAKX"; the version as four
// bytes 1, 0, 0, 0; the index offset and the index length (little-endian 64-bit, both 0 until the
// backup has finished); the length G of the group-info archive and the archive itself; the contact
// archives back to back; the index archive (an array of KQContactBackupInfo, one per contact
// archive, in file order); the index length once more. Readers find contacts only through the index.

#include "platform/KQKeyedArchiver.h"

#include <QDateTime>
#include <QMap>
#include <QString>
#include <QVariantList>
#include <QVariantMap>
#include <functional>
#include <memory>
#include <vector>

class KQContainerBackup;
using KQContainerBackupPtr = std::shared_ptr<KQContainerBackup>;
using KQContainerBackupList = std::vector<KQContainerBackupPtr>;
// Account identifier -> its backups, newest first.
using KQBackupCatalogue = QMap<QString, KQContainerBackupList>;

class KQContainerBackup : public KQCoding
{
public:
    // A backup of the file at path, dated now; none for an empty path.
    static KQContainerBackupPtr initWithBackupFile(const QString& path);
    KQContainerBackup(QString path, QDateTime date);

    const QDateTime& backupDate() const { return m_backupDate; }
    const QString& backupFile() const { return m_backupFile; }
    // The date as the backup list shows it, in the user's locale.
    QString humanReadableDate() const;
    // Equal backups name the same file; the date plays no part.
    bool isEqual(const KQContainerBackup* other) const;
    // The number of contacts the file's index lists; none when the file is missing, incomplete
    // or damaged.
    std::optional<qint64> contactCount() const;

    QStringList archiveClassNames() const override;
    void encodeWithCoder(KQKeyedArchiver& coder) const override;
    static QString className() { return QStringLiteral("KQContainerBackup"); }
    static void registerArchiveClass();

    // The keyed archive of a catalogue, and the catalogue of such an archive (none when the data
    // does not decode).
    static QByteArray archivedCatalogue(const KQBackupCatalogue& catalogue);
    static std::optional<KQBackupCatalogue> catalogueFromData(const QByteArray& data);

private:
    QString m_backupFile;
    QDateTime m_backupDate;
};

// --- progress of a backup or a restore

namespace KQBackupMessage {
inline constexpr qint64 Start = -1;
inline constexpr qint64 Progress = -2;
inline constexpr qint64 Finished = 0;
inline constexpr qint64 Failed = -3;
inline constexpr qint64 Cancelled = -4;
} // namespace KQBackupMessage

// Called on the main thread with a message code, the stop flag the callee may set, and the
// progress (a fraction for Progress, else 0).
using KQBackupProcessHandler = std::function<void(qint64 message, bool* stop, double progress)>;

// What a restore is about to do, shown to the user before anything changes.
struct KQRestoreSummary
{
    int contactsAdded = 0;
    int contactsUpdated = 0;
    int contactsDeleted = 0;
    int groupsInBackup = 0; // every group of the backup's tree, sub-groups included
    int groupsRemoved = 0;  // current groups of the account the backup does not name
};
// Answers whether the restore may go on; called on the main thread. Without one, it goes on.
using KQRestoreConfirmHandler = std::function<bool(const KQRestoreSummary& summary)>;

// How a restore runs beyond reading the file: the confirmation and the folder of the backup
// made of the account before it changes (none when empty). declined tells the caller that the
// confirmation refused.
struct KQRestoreOptions
{
    KQRestoreConfirmHandler confirm;
    QString safetyFolder;
    bool declined = false;
};

// --- group-info dictionaries

namespace KQGroupInfo {
inline const QString nameKey = QStringLiteral("GroupName");
inline const QString identifierKey = QStringLiteral("GroupIdentifier");
inline const QString contactsKey = QStringLiteral("KQGrpContactsIdentifierKey");
inline const QString subGroupsKey = QStringLiteral("KQGrpSubGroupsKey");

// The keyed archive of an array of group-info dictionaries, and the array of such an archive
// (none with *error set when it does not decode).
QByteArray archivedGroupInfos(const QVariantList& infos);
std::optional<QVariantList> groupInfosFromData(const QByteArray& data, QString* error);
// Every group of the tree, sub-groups included.
int countGroups(const QVariantList& infos);
} // namespace KQGroupInfo

// --- the file

namespace KQBackupFile {
inline constexpr char magic[] = "VORLANCONTACBAKX"; // 16 bytes, no terminator in the file
inline constexpr qint64 magicSize = 16;
inline constexpr qint64 versionOffset = 16;
inline constexpr qint64 indexOffsetField = 20;
inline constexpr qint64 indexLengthField = 28;
inline constexpr qint64 groupInfoLengthField = 36;
inline constexpr qint64 groupInfoOffset = 44;
inline const QString extension = QStringLiteral("vorlankqbck");
inline const QString namePattern = QStringLiteral("yyyyMMdd HH-mm-ss");
} // namespace KQBackupFile
