// peoplekeeper-cli backup, backups and restore: whole-account backups from the command line.

#include "cli/KQCliCommands.h"
#include "cli/KQCliContext.h"
#include "store/KQContactManager.h"
#include "store/KQContactStoreHelper.h"
#include "store/KQPreferences.h"
#include "store/KQStorage.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QSemaphore>
#include <algorithm>
#include <cstdio>

namespace {

// Runs a backup or a restore to its end; the handler runs on the main thread, this waits on the
// command's worker. Returns the final message code.
qint64 runToEnd(KQCliContext& context, const QString& label, const std::function<void(KQBackupProcessHandler)>& start)
{
    QSemaphore finished;
    qint64 result = KQBackupMessage::Failed;
    start([&](qint64 message, bool*, double progress) {
        if (message == KQBackupMessage::Progress) {
            context.progress(label, progress);
            return;
        }
        if (message == KQBackupMessage::Start)
            return;
        result = message;
        context.finishProgress();
        finished.release();
    });
    finished.acquire();
    return result;
}

QString accountName(const QString& identifier)
{
    if (auto account =
            KQContactManager::sharedContactManager()->storeHelper()->containerHelperWithIdentifier(identifier))
        return account->groupName();
    return identifier;
}

struct CatalogueEntry
{
    QString account;
    KQContainerBackupPtr backup;
};

// Every catalogued backup, newest first.
std::vector<CatalogueEntry> catalogueEntries()
{
    std::vector<CatalogueEntry> entries;
    const KQBackupCatalogue catalogue =
        KQStorage::sharedStorage()->loadBackupInfoFromFile().value_or(KQBackupCatalogue{});
    for (auto it = catalogue.cbegin(); it != catalogue.cend(); ++it) {
        for (const KQContainerBackupPtr& backup : it.value())
            entries.push_back({it.key(), backup});
    }
    std::stable_sort(entries.begin(), entries.end(), [](const CatalogueEntry& a, const CatalogueEntry& b) {
        return a.backup->backupDate() > b.backup->backupDate();
    });
    return entries;
}

QString sizeText(qint64 bytes)
{
    return QLocale::c().formattedDataSize(bytes, 1, QLocale::DataSizeTraditionalFormat);
}

} // namespace

int kqCliBackup(KQCliContext& context, const QStringList& arguments)
{
    const KQCliArguments args(arguments, {QStringLiteral("account"), QStringLiteral("folder")}, {});
    if (!args.positional().isEmpty())
        throw KQCliFailure{QStringLiteral("unexpected argument \"%1\"").arg(args.positional().first()), 2};
    KQPreferences* preferences = KQPreferences::sharePreferences();
    QString folder = preferences->backupSavePath().value_or(QString());
    if (const auto given = args.value(QStringLiteral("folder"))) {
        folder = QFileInfo(*given).absoluteFilePath();
        if (!QFileInfo(folder).isDir())
            throw KQCliFailure{QStringLiteral("\"%1\" is not a folder").arg(*given)};
        if (!preferences->backupSavePath())
            preferences->setBackupSavePath(folder);
    }
    if (folder.isEmpty())
        throw KQCliFailure{QStringLiteral("no backup folder is set; give one with --folder DIR (it is kept for later "
                                          "backups)")};

    const KQContainerHelperPtr account = context.account(args.value(QStringLiteral("account")).value_or(QString()));
    const qint64 result = runToEnd(context, QStringLiteral("Backing up"), [&](KQBackupProcessHandler handler) {
        account->backupToPath(folder, std::move(handler));
    });
    if (result != KQBackupMessage::Finished && account->hasLoadError())
        throw KQCliFailure{account->loadErrorMessage()};
    if (result != KQBackupMessage::Finished)
        throw KQCliFailure{
            QStringLiteral("the backup of \"%1\" failed (see the lines above)").arg(account->groupName())};
    const KQContainerBackupList backups =
        KQStorage::sharedStorage()->containerBackupsWithIdentifier(account->identifier());
    const QString file = backups.empty() ? folder : backups.front()->backupFile();
    context.out(QStringLiteral("backed up %1 contacts of \"%2\" to %3\n")
                    .arg(account->allContactHelpersCount())
                    .arg(account->groupName(), file));
    return 0;
}

int kqCliBackups(KQCliContext& context, const QStringList& arguments)
{
    const KQCliArguments args(arguments, {}, {});
    if (!args.positional().isEmpty())
        throw KQCliFailure{QStringLiteral("unexpected argument \"%1\"").arg(args.positional().first()), 2};
    context.loadAccounts();
    const std::vector<CatalogueEntry> entries = catalogueEntries();
    if (entries.empty()) {
        context.out(QStringLiteral("no backups\n"));
        return 0;
    }
    for (const CatalogueEntry& entry : entries) {
        const QFileInfo info(entry.backup->backupFile());
        const std::optional<qint64> contacts = entry.backup->contactCount();
        context.out(QStringLiteral("%1  %2  %3  %4  %5\n")
                        .arg(entry.backup->humanReadableDate(), accountName(entry.account),
                             contacts ? QStringLiteral("%1 contacts").arg(*contacts) : QStringLiteral("unreadable"),
                             info.exists() ? sizeText(info.size()) : QStringLiteral("missing"),
                             entry.backup->backupFile()));
    }
    return 0;
}

int kqCliRestore(KQCliContext& context, const QStringList& arguments)
{
    const KQCliArguments args(arguments, {QStringLiteral("account")}, {QStringLiteral("yes")});
    if (args.positional().size() != 1)
        throw KQCliFailure{QStringLiteral("name one backup (a file, or a file name listed by \"backups\")"), 2};
    const QString wanted = args.positional().first();
    context.loadAccounts();

    // A catalogue entry by its path or its file name, or any backup file.
    KQContainerBackupPtr backup;
    QString accountIdentifier;
    const QString absolute = QFileInfo(wanted).absoluteFilePath();
    for (const CatalogueEntry& entry : catalogueEntries()) {
        const QFileInfo info(entry.backup->backupFile());
        if (entry.backup->backupFile() == absolute || info.fileName() == wanted || info.completeBaseName() == wanted) {
            backup = entry.backup;
            accountIdentifier = entry.account;
            break;
        }
    }
    if (!backup) {
        if (!QFileInfo(wanted).isFile())
            throw KQCliFailure{QStringLiteral("no backup \"%1\" (see \"backups\")").arg(wanted)};
        backup = KQContainerBackup::initWithBackupFile(absolute);
    }
    if (!QFileInfo::exists(backup->backupFile()))
        throw KQCliFailure{QStringLiteral("the backup file %1 is missing").arg(backup->backupFile())};

    KQContainerHelperPtr account;
    if (const auto name = args.value(QStringLiteral("account")))
        account = context.account(*name);
    else if (!accountIdentifier.isEmpty())
        account =
            KQContactManager::sharedContactManager()->storeHelper()->containerHelperWithIdentifier(accountIdentifier);
    if (!account) {
        if (!accountIdentifier.isEmpty())
            throw KQCliFailure{
                QStringLiteral("the account of this backup is not in the store; name one with --account")};
        account = context.account(QString());
    }

    const bool yes = args.flag(QStringLiteral("yes"));
    const KQRestoreConfirmHandler confirm = [&](const KQRestoreSummary& summary) {
        context.finishProgress();
        context.err(QStringLiteral("Restoring \"%1\" from %2 will add %3 contacts, update %4 and delete %5, and "
                                   "rebuild %6 groups (removing %7).\n")
                        .arg(account->groupName(), backup->backupFile())
                        .arg(summary.contactsAdded)
                        .arg(summary.contactsUpdated)
                        .arg(summary.contactsDeleted)
                        .arg(summary.groupsInBackup)
                        .arg(summary.groupsRemoved));
        if (yes)
            return true;
        context.err(QStringLiteral("Restore? [y/N] "));
        char line[64] = {};
        if (std::fgets(line, sizeof line, stdin) == nullptr)
            return false;
        return line[0] == 'y' || line[0] == 'Y';
    };
    const QString safetyFolder =
        KQPreferences::sharePreferences()->backupSavePath().value_or(QFileInfo(backup->backupFile()).absolutePath());

    const qint64 result = runToEnd(context, QStringLiteral("Restoring"), [&](KQBackupProcessHandler handler) {
        account->restoreContainerFromBackup(backup, std::move(handler), confirm, safetyFolder);
    });
    if (result == KQBackupMessage::Cancelled) {
        context.err(QStringLiteral("restore cancelled; nothing was changed\n"));
        return 1;
    }
    if (result != KQBackupMessage::Finished && account->hasLoadError())
        throw KQCliFailure{account->loadErrorMessage() + QStringLiteral(" The restore changed nothing.")};
    if (result != KQBackupMessage::Finished)
        throw KQCliFailure{QStringLiteral("the restore of \"%1\" failed; nothing was changed (see the lines above)")
                               .arg(account->groupName())};
    context.out(QStringLiteral("restored \"%1\" from %2\n").arg(account->groupName(), backup->backupFile()));
    return 0;
}
