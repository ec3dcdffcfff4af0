#include "cli/KQCliCommands.h"
#include "cli/KQCliContext.h"
#include "platform/CNContactVCardSerialization.h"
#include "problems/KQConflictMetaDuplicateName.h"
#include "problems/KQConflictMetaPrefix.h"
#include "problems/KQConflictScanTask.h"
#include "store/KQPreferences.h"

#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

// Every kind of the catalogue, the one that is not in the default list included, in catalogue order.
std::vector<KQConflictMetaPtr> wholeCatalogue()
{
    std::vector<KQConflictMetaPtr> metas = KQConflictMeta::avaliableConflictMetas();
    const auto afterEmails = std::find_if(metas.begin(), metas.end(), [](const KQConflictMetaPtr& meta) {
        return meta->name() == KQConflictName::DuplicateEmailInMultipleContacts;
    });
    metas.insert(afterEmails == metas.end() ? metas.end() : afterEmails + 1,
                 KQConflictMeta::metaWithName(KQConflictName::DuplicateAddressInMultipleContacts));
    return metas;
}

// A private copy of the preferences' kinds, so that options never change the user's settings.
std::vector<KQConflictMetaPtr> copyOfPreferences()
{
    std::vector<KQConflictMetaPtr> metas;
    for (const KQConflictMetaPtr& stored : KQPreferences::sharePreferences()->availableConflicts()) {
        KQConflictMetaPtr meta = KQConflictMeta::metaWithName(stored->name());
        meta->setValidate(stored->validate());
        const auto storedName = std::dynamic_pointer_cast<KQConflictMetaDuplicateName>(stored);
        if (const auto name = std::dynamic_pointer_cast<KQConflictMetaDuplicateName>(meta); name && storedName) {
            name->setDuplicateGivenName(storedName->duplicateGivenName());
            name->setDuplicateFamilyName(storedName->duplicateFamilyName());
            name->setDuplicateMiddleName(storedName->duplicateMiddleName());
            name->setDuplicateNamePrefix(storedName->duplicateNamePrefix());
            name->setDuplicateNameSuffix(storedName->duplicateNameSuffix());
        }
        const auto storedFixes = std::dynamic_pointer_cast<KQConflictMetaPrefix>(stored);
        if (const auto fixes = std::dynamic_pointer_cast<KQConflictMetaPrefix>(meta); fixes && storedFixes)
            fixes->setAvailableFixs(storedFixes->availableFixs());
        metas.push_back(meta);
    }
    return metas;
}

KQConflictScanKinds kindsFromOption(const QString& option)
{
    if (option == QLatin1String("default"))
        return KQConflictScanKinds{copyOfPreferences()};
    std::vector<KQConflictMetaPtr> metas = wholeCatalogue();
    if (option == QLatin1String("all"))
        return KQConflictScanKinds{metas};
    QStringList wanted = option.split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (QString& name : wanted)
        name = name.trimmed();
    QStringList known;
    for (const auto& meta : metas)
        known.append(meta->name());
    for (const QString& name : std::as_const(wanted)) {
        if (!known.contains(name))
            throw KQCliFailure{
                QStringLiteral("unknown kind \"%1\"; the kinds are: %2").arg(name, known.join(QStringLiteral(", ")))};
    }
    for (const auto& meta : metas)
        meta->setValidate(wanted.contains(meta->name()));
    return KQConflictScanKinds{metas};
}

void applyMask(KQConflictScanKinds& kinds, const QString& text)
{
    bool ok = false;
    const int mask = text.toInt(&ok);
    if (!ok || mask < 0 || mask > 31)
        throw KQCliFailure{
            QStringLiteral(
                "--mask wants a number from 0 to 31 (prefix 1, suffix 2, given 4, middle 8, family 16), not \"%1\"")
                .arg(text)};
    const auto meta = std::dynamic_pointer_cast<KQConflictMetaDuplicateName>(
        kinds.conflictMetaWithName(KQConflictName::DuplicateName));
    if (!meta)
        return;
    meta->setDuplicateNamePrefix(mask & 1);
    meta->setDuplicateNameSuffix(mask & 2);
    meta->setDuplicateGivenName(mask & 4);
    meta->setDuplicateMiddleName(mask & 8);
    meta->setDuplicateFamilyName(mask & 16);
}

KQContactHelperList readCards(const QStringList& files)
{
    KQContactHelperList contacts;
    for (const QString& path : files) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            throw KQCliFailure{QStringLiteral("cannot read \"%1\": %2").arg(path, file.errorString())};
        const QByteArray data = file.readAll();
        if (file.error() != QFileDevice::NoError)
            throw KQCliFailure{QStringLiteral("cannot read \"%1\": %2").arg(path, file.errorString())};
        CNError error;
        const CNContactList cards = CNContactVCardSerialization::contactsWithData(data, &error);
        if (cards.empty() && error.isError())
            throw KQCliFailure{QStringLiteral("cannot read \"%1\": %2").arg(path, error.localizedDescription)};
        for (const CNContactPtr& card : cards)
            contacts.push_back(KQContactHelper::create(card, true));
    }
    return contacts;
}

} // namespace

int kqCliScan(KQCliContext& context, const QStringList& arguments)
{
    const KQCliArguments args(arguments, {QStringLiteral("account"), QStringLiteral("kinds"), QStringLiteral("mask")},
                              {QStringLiteral("json")});
    KQConflictScanKinds kinds =
        kindsFromOption(args.value(QStringLiteral("kinds")).value_or(QStringLiteral("default")));
    if (const auto mask = args.value(QStringLiteral("mask")))
        applyMask(kinds, *mask);

    const QStringList files = args.positional();
    const std::optional<QString> accountName = args.value(QStringLiteral("account"));
    if (accountName && !files.isEmpty())
        throw KQCliFailure{QStringLiteral("scan either an account or files, not both")};

    // How each contact is named in the output: its card's UID, else its position in the input;
    // an account's contacts by their store identifier.
    KQContactHelperList contacts;
    QHash<const KQContactHelper*, QJsonValue> names;
    if (!files.isEmpty()) {
        contacts = readCards(files);
        for (size_t i = 0; i < contacts.size(); ++i) {
            const QString uid = contacts[i]->contact()->cardUID();
            names.insert(contacts[i].get(), uid.isEmpty() ? QJsonValue(static_cast<qint64>(i + 1)) : QJsonValue(uid));
        }
    } else {
        context.loadAccounts();
        const KQContainerHelperPtr account = context.account(accountName.value_or(QString()));
        contacts = context.loadAllContacts(*account);
        for (const auto& contact : contacts)
            names.insert(contact.get(), contact->identifier());
    }

    const auto task = KQConflictScanTask::initWithContactHelpers(contacts);
    task->setKinds(kinds);
    const KQConflictResultPtr result = task->scan([&context](double percent) {
        context.progress(QStringLiteral("Scanning..."), percent / 100.0);
        return false;
    });
    context.finishProgress();
    if (!result)
        throw KQCliFailure{QStringLiteral("the scan stopped")};

    if (args.flag(QStringLiteral("json"))) {
        QJsonArray groups;
        for (const auto& group : result->conflictGroups()) {
            QJsonArray items;
            for (const auto& item : group->conflictItems()) {
                QJsonArray members;
                for (const auto& contact : item->contactHelpers())
                    members.append(names.value(contact.get()));
                items.append(members);
            }
            groups.append(
                QJsonObject{{QStringLiteral("kind"), group->conflictMeta()->name()}, {QStringLiteral("items"), items}});
        }
        context.out(QString::fromUtf8(QJsonDocument(groups).toJson(QJsonDocument::Indented)));
        return 0;
    }

    if (result->empty()) {
        context.out(QStringLiteral("No problematic contacts found (%1 contacts scanned)\n").arg(contacts.size()));
        return 0;
    }
    QString report;
    for (const auto& group : result->conflictGroups()) {
        report += group->title() + QLatin1Char('\n');
        for (const auto& item : group->conflictItems()) {
            QStringList members;
            for (const auto& contact : item->contactHelpers()) {
                const QJsonValue name = names.value(contact.get());
                const QString id = name.isString() ? name.toString() : QString::number(name.toInteger());
                const QString shown = contact->displayName();
                members.append(shown.isEmpty() ? QStringLiteral("[%1]").arg(id)
                                               : QStringLiteral("%1 [%2]").arg(shown, id));
            }
            report +=
                QStringLiteral("  - %1: %2\n").arg(item->conflictDescription(), members.join(QStringLiteral("; ")));
        }
    }
    context.out(report);
    return 0;
}
