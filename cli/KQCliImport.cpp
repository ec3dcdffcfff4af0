// peoplekeeper-cli import: reads CSV and vCard files into Last Import, or into an account (and one
// of its groups) through one store write. Either every contact of every file is added or none.
#include "cli/KQCliCommands.h"
#include "cli/KQCliContext.h"
#include "exchange/KQContactFormat.h"
#include "exchange/KQFieldMapWndCtrl.h"
#include "exchange/KQImportPlacement.h"
#include "store/KQContactManager.h"
#include "store/KQStorage.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSemaphore>

namespace {

// The group of that name in the account (depth first), or a failure naming the groups there are.
KQGroupTreeNodePtr findGroup(KQContainerHelper& account, const QString& name)
{
    QStringList names;
    KQGroupTreeNodePtr found;
    std::function<void(KQGroupTreeNode&)> walk = [&](KQGroupTreeNode& node) {
        node.syncLoadSubGroupsIfNecessary();
        for (const KQGroupTreeNodePtr& group : node.subGroups()) {
            names.append(group->groupName());
            if (!found && group->groupName() == name)
                found = group;
            walk(*group);
        }
    };
    walk(account);
    if (!found)
        throw KQCliFailure{QStringLiteral("no group named \"%1\" in account \"%2\" (groups: %3)")
                               .arg(name, account.groupName(), names.join(QStringLiteral(", ")))};
    return found;
}

// A file must be readable and hold what its extension says.
void checkFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw KQCliFailure{QStringLiteral("cannot read %1: %2").arg(path, file.errorString())};
    const QByteArray head = file.read(64 * 1024);
    switch (KQContactFormat::contactFormatTypeFromPath(path)) {
    case KQContactFormat::VCard: {
        QByteArray text = head;
        text.replace('\0', QByteArray()); // UTF-16 files spell BEGIN with zero bytes between
        if (!text.toUpper().contains("BEGIN:VCARD"))
            throw KQCliFailure{QStringLiteral("%1 is not a vCard file (no BEGIN:VCARD)").arg(path)};
        break;
    }
    case KQContactFormat::CSV: {
        const bool utf16 = head.startsWith("\xFF\xFE") || head.startsWith("\xFE\xFF");
        if (!utf16 && head.contains(QByteArray("\0\0", 2)))
            throw KQCliFailure{QStringLiteral("%1 is not a CSV text file").arg(path)};
        break;
    }
    default:
        throw KQCliFailure{QStringLiteral("%1: unknown file type (expected .csv, .vcf or .vcard)").arg(path)};
    }
}

// A map file: one JSON object from column title to property key (a key name such as "givenName",
// a field name such as "First name", "Tags", or "Don't import").
QHash<QString, QString> readMapFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw KQCliFailure{QStringLiteral("cannot read the map file %1: %2").arg(path, file.errorString())};
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    if (!document.isObject())
        throw KQCliFailure{
            QStringLiteral("%1 is not a JSON object of column title to field: %2").arg(path, error.errorString())};
    QHash<QString, QString> map;
    const QJsonObject object = document.object();
    for (auto it = object.begin(); it != object.end(); ++it) {
        const QString field = it.value().toString();
        QString key;
        for (const QString& candidate : KQFieldMapItem::availablePropertyKeys())
            if (candidate == field || KQFieldMapItem::labelForPropertyKey(candidate) == field)
                key = candidate;
        if (key.isEmpty())
            throw KQCliFailure{QStringLiteral("unknown field \"%1\" for column \"%2\" in %3 (fields: %4)")
                                   .arg(field, it.key(), path, KQFieldMapItem::labelPropertyKeys().join(u", "))};
        map.insert(it.key(), key);
    }
    return map;
}

} // namespace

int kqCliImport(KQCliContext& context, const QStringList& arguments)
{
    const KQCliArguments args(arguments, {QStringLiteral("account"), QStringLiteral("group"), QStringLiteral("map")},
                              {});
    const QStringList files = args.positional();
    if (files.isEmpty())
        throw KQCliFailure{QStringLiteral("no file to import"), 2};
    if (args.value(QStringLiteral("group")) && !args.value(QStringLiteral("account")))
        throw KQCliFailure{QStringLiteral("--group needs --account"), 2};
    for (const QString& file : files)
        checkFile(file);
    const QString map = args.value(QStringLiteral("map")).value_or(QStringLiteral("auto"));
    QHash<QString, QString> mapFile;
    if (map != QLatin1String("auto"))
        mapFile = readMapFile(map);

    context.loadAccounts();
    KQContactManager* manager = KQContactManager::sharedContactManager();
    std::shared_ptr<KQImportPlacement> placement;
    QString target;
    if (const auto accountName = args.value(QStringLiteral("account"))) {
        KQContainerHelperPtr account = context.account(*accountName);
        KQGroupTreeNodePtr group;
        target = QStringLiteral("account \"%1\"").arg(account->groupName());
        if (const auto groupName = args.value(QStringLiteral("group"))) {
            group = findGroup(*account, *groupName);
            target += QStringLiteral(", group \"%1\"").arg(group->groupName());
        }
        placement = std::make_shared<KQImportPlacement>(account, group, manager->storeHelper());
    } else {
        placement = std::make_shared<KQImportPlacement>(manager->latestImport(), manager->storage());
        target = QStringLiteral("Last Import");
    }
    placement->setAllOrNothing(true);
    placement->setProgress([&context](double percent, const QString& file) {
        context.progress(file.isEmpty() ? QStringLiteral("import") : QFileInfo(file).fileName(), percent / 100.0);
        return false;
    });
    if (!mapFile.isEmpty()) {
        placement->setFieldMap([mapFile](const QString&, const QStringList& titles, const QStringList& keys) {
            QStringList chosen = keys;
            for (qsizetype i = 0; i < titles.size(); ++i)
                chosen[i] = mapFile.value(titles.at(i), keys.at(i));
            return std::optional<QStringList>(chosen);
        });
    }
    QSemaphore done;
    bool ok = false;
    QString message;
    int count = 0;
    placement->setFinished([&](bool success, const QString& text, int contacts) {
        ok = success;
        message = text;
        count = contacts;
        done.release();
    });
    KQImportExportMgr importer;
    importer.setDelegate(placement);
    importer.runImport(files);
    done.acquire();
    context.finishProgress();
    if (!ok)
        throw KQCliFailure{message};
    context.out(QStringLiteral("imported %1 contacts into %2\n").arg(QString::number(count), target));
    return 0;
}
