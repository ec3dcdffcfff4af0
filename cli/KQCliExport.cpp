// peoplekeeper-cli export: writes the contacts of the store (or of one account, group or tag) as
// vCard, CSV, CSV with Outlook's column names, plain text, XLSX, DOCX, Pages, Numbers, HTML, or as
// the printed pages in a PDF file. The output file is written whole or not at all.
#include "cli/KQCliCommands.h"
#include "cli/KQCliContext.h"
#include "exchange/KQContactPrintRenderer.h"
#include "exchange/KQImportExportMgr.h"
#include "store/KQContactManager.h"
#include "store/KQExportField.h"
#include "store/KQPreferences.h"
#include "store/KQTag.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMetaObject>
#include <QSet>

namespace {

// The printed pages are no export format of their own: they go through the print job.
constexpr qint32 kPrintedPages = -1;
const QString kFormatNames = QStringLiteral("vcard, csv, csv-outlook, txt, xlsx, docx, pages, numbers, html, pdf");

qint32 formatType(const QString& name)
{
    if (name == QLatin1String("vcard"))
        return KQContactFormat::VCard;
    if (name == QLatin1String("csv"))
        return KQContactFormat::CSV;
    if (name == QLatin1String("csv-outlook"))
        return KQContactFormat::CSVOutlook;
    if (name == QLatin1String("txt"))
        return KQContactFormat::TXT;
    if (name == QLatin1String("xlsx"))
        return KQContactFormat::Excel;
    if (name == QLatin1String("docx"))
        return KQContactFormat::Docx;
    if (name == QLatin1String("pages"))
        return KQContactFormat::Pages;
    if (name == QLatin1String("numbers"))
        return KQContactFormat::Numbers;
    if (name == QLatin1String("html"))
        return KQContactFormat::HTML;
    if (name == QLatin1String("pdf"))
        return kPrintedPages;
    throw KQCliFailure{QStringLiteral("unknown format \"%1\" (formats: %2)").arg(name, kFormatNames), 2};
}

// A field given by key ("givenName"), by field name ("First name") or as "Name", "Phonetic Name",
// "Address" or "Tags".
QString fieldKey(const QString& field)
{
    static const QStringList own = {KQPropertyKeyName, KQPropertyKeyPhoneticName, KQPropertyKeyAddress,
                                    KQPropertyKeyTags};
    if (own.contains(field))
        return field;
    QStringList known = own;
    for (const QString& key : KQImportExportMgr::allPropertyKeysWithSplitName(true, false)) {
        if (own.contains(key))
            continue;
        const QString name = KQExportField(key).fieldName();
        if (key == field || name.compare(field, Qt::CaseInsensitive) == 0)
            return key;
        known.append(key);
    }
    throw KQCliFailure{QStringLiteral("unknown field \"%1\" (fields: %2)").arg(field, known.join(u", ")), 2};
}

QStringList expandNames(const QStringList& keys)
{
    QStringList out;
    for (const QString& key : keys) {
        if (key == KQPropertyKeyName)
            out << CNContactNamePrefixKey << CNContactGivenNameKey << CNContactMiddleNameKey << CNContactFamilyNameKey
                << CNContactNameSuffixKey;
        else if (key == KQPropertyKeyPhoneticName)
            out << CNContactPhoneticGivenNameKey << CNContactPhoneticMiddleNameKey << CNContactPhoneticFamilyNameKey;
        else
            out << key;
    }
    return out;
}

KQGroupTreeNodePtr findGroup(KQGroupTreeNode& node, const QString& name)
{
    node.syncLoadSubGroupsIfNecessary();
    for (const KQGroupTreeNodePtr& group : node.subGroups()) {
        if (group->groupName() == name)
            return group;
        if (KQGroupTreeNodePtr inner = findGroup(*group, name))
            return inner;
    }
    return nullptr;
}

} // namespace

int kqCliExport(KQCliContext& context, const QStringList& arguments)
{
    const KQCliArguments args(arguments,
                              {QStringLiteral("format"), QStringLiteral("account"), QStringLiteral("group"),
                               QStringLiteral("tag"), QStringLiteral("fields")},
                              {QStringLiteral("split-name")});
    const auto formatName = args.value(QStringLiteral("format"));
    if (!formatName)
        throw KQCliFailure{QStringLiteral("--format is required (%1)").arg(kFormatNames), 2};
    const qint32 type = formatType(*formatName);
    const bool printedPages = type == kPrintedPages;
    KQContactFormat format(printedPages ? KQContactFormat::TXT : type);
    if (args.positional().size() != 1)
        throw KQCliFailure{QStringLiteral("give exactly one output file"), 2};
    const QString out = QFileInfo(args.positional().first()).absoluteFilePath();
    const QFileInfo folder(QFileInfo(out).absolutePath());
    if (!folder.isDir() || !folder.isWritable())
        throw KQCliFailure{QStringLiteral("cannot write %1: the folder %2 does not exist or is not writable")
                               .arg(out, folder.filePath())};
    if (QFileInfo(out).isDir())
        throw KQCliFailure{QStringLiteral("cannot write %1: it is a folder").arg(out)};

    std::optional<QStringList> keys;
    if (format.type() != KQContactFormat::VCard) {
        if (const auto fields = args.value(QStringLiteral("fields"))) {
            QStringList chosen;
            for (const QString& field : fields->split(QLatin1Char(','), Qt::SkipEmptyParts))
                chosen.append(fieldKey(field.trimmed()));
            if (chosen.isEmpty())
                throw KQCliFailure{QStringLiteral("--fields names no field"), 2};
            keys = chosen;
        } else if (printedPages) {
            // The print command's own choice: the fields the contacts have.
        } else {
            QStringList preferred;
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [&preferred] { preferred = KQPreferences::sharePreferences()->customExportFieldKeys(); },
                Qt::BlockingQueuedConnection);
            keys = preferred;
        }
        if (keys && (args.flag(QStringLiteral("split-name")) || format.type() == KQContactFormat::CSVOutlook))
            keys = expandNames(*keys);
        if (keys)
            keys->removeAll(CNContactThumbnailImageDataKey);
    }

    // The contacts: one account (or every account), narrowed to a group and to a tag.
    context.loadAccounts();
    KQContactManager* manager = KQContactManager::sharedContactManager();
    std::vector<KQContainerHelperPtr> accounts;
    if (const auto name = args.value(QStringLiteral("account")))
        accounts.push_back(context.account(*name));
    else
        accounts = manager->storeHelper()->allContainerHelpers();
    KQContactHelperList contacts;
    if (const auto groupName = args.value(QStringLiteral("group"))) {
        KQGroupTreeNodePtr group;
        for (const KQContainerHelperPtr& account : accounts)
            if (!group)
                group = findGroup(*account, *groupName);
        if (!group)
            throw KQCliFailure{QStringLiteral("no group named \"%1\"").arg(*groupName)};
        contacts = context.loadAllContacts(*group);
    } else {
        for (const KQContainerHelperPtr& account : accounts) {
            const KQContactHelperList some = context.loadAllContacts(*account);
            contacts.insert(contacts.end(), some.begin(), some.end());
        }
    }
    if (const auto tagName = args.value(QStringLiteral("tag"))) {
        if (!manager->tagsMgr()->tagWithName(*tagName))
            throw KQCliFailure{QStringLiteral("no tag named \"%1\"").arg(*tagName)};
        KQContactHelperList tagged;
        for (const KQContactHelperPtr& contact : contacts)
            for (const auto& tag : contact->tags())
                if (tag->name() == *tagName) {
                    tagged.push_back(contact);
                    break;
                }
        contacts = tagged;
    }

    // Progress on standard error, drawn on the main thread where the job reports.
    class Progress : public KQImportExportMgrDelegate
    {
    public:
        explicit Progress(KQCliContext& c) : context(c) {}
        bool importExportMgrProgress(KQImportExportMgr*, double percent, const QString&) override
        {
            context.progress(QStringLiteral("export"), percent / 100.0);
            return false;
        }
        KQCliContext& context;
    };
    auto progress = std::make_shared<Progress>(context);
    KQImportExportMgr exporter;
    exporter.setDelegate(progress);
    bool written = false;
    if (printedPages) {
        QString error;
        exporter.runPrint(
            contacts, false,
            [&](const QString& text) { written = KQContactPrintRenderer::printToPdf(text, out, &error); }, keys);
        context.finishProgress();
        if (!written && error.isEmpty() && !exporter.lastJobErrors().isEmpty())
            error = exporter.lastJobErrors().join(QLatin1Char('\n'));
        if (!written)
            throw KQCliFailure{error.isEmpty() ? QStringLiteral("nothing was written to %1").arg(out) : error};
        context.out(QStringLiteral("printed %1 contacts to %2\n").arg(QString::number(contacts.size()), out));
        return 0;
    }
    written = exporter.runExport(contacts, out, format, keys);
    context.finishProgress();
    if (!written) {
        const QStringList errors = exporter.lastJobErrors();
        throw KQCliFailure{errors.isEmpty() ? QStringLiteral("nothing was written to %1").arg(out)
                                            : errors.join(QLatin1Char('\n'))};
    }
    context.out(QStringLiteral("exported %1 contacts to %2\n").arg(QString::number(contacts.size()), out));
    return 0;
}
