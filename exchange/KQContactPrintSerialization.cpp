#include "exchange/KQContactPrintSerialization.h"

#include "platform/KQDispatch.h"
#include "store/KQTag.h"

QString KQContactPrintSerialization::titleForPropertyKey(const QString& key)
{
    return KQExportKeys::keyText(key);
}

QStringList KQContactPrintSerialization::fieldValuesFromContact(KQContactHelper& contact, const QString& key)
{
    if (key == KQPropertyKeyName)
        return {contact.fullName().remove(QLatin1Char('\n'))};
    if (key == KQPropertyKeyPhoneticName)
        return {contact.phoneticFullName()};
    const CNContactPtr effective = contact.effectiveContact();
    if (KQExportKeys::isLabeledKey(key)) {
        const std::vector<KQExportEntry> entries = KQExportKeys::labeledEntries(*effective, key);
        if (entries.empty() || entries.front().value.isEmpty())
            return {};
        return {entries.front().value};
    }
    if (key == CNContactBirthdayKey)
        return {contact.birthdayString().value_or(QString())};
    if (key == KQPropertyKeyTags) {
        QStringList names;
        for (const auto& tag : contact.tags())
            names.append(tag->name());
        return {names.join(QLatin1Char(' '))};
    }
    return {KQExportKeys::textValue(*effective, key)};
}

QString KQContactPrintSerialization::recordStringFromContact(KQContactHelper& contact, const QStringList& keys)
{
    QStringList lines;
    for (const QString& key : keys)
        lines += fieldValuesFromContact(contact, key);
    return lines.join(QStringLiteral("\r\n"));
}

QString KQContactPrintSerialization::stringContacts(const std::vector<KQContactHelperPtr>& contacts,
                                                    const QStringList& fields, const KQProgressBlock& progressBlock)
{
    QString text;
    const size_t n = contacts.size();
    for (size_t i = 1; i <= n; ++i) {
        const QString record = recordStringFromContact(*contacts[i - 1], fields);
        if (!text.isEmpty())
            text += QStringLiteral("\r\n\r\n\r\n");
        text += record;
        bool stop = false;
        if (progressBlock)
            progressBlock(static_cast<double>(i) * 100.0 / static_cast<double>(n), &stop);
        if (stop)
            break;
    }
    return text;
}

void KQContactPrintSerialization::printContacts(const std::vector<KQContactHelperPtr>& contacts,
                                                const QStringList& fields, const KQProgressBlock& progressBlock,
                                                const KQPrintPresenter& presenter)
{
    const QString text = stringContacts(contacts, fields, progressBlock);
    if (presenter)
        KQDispatch::mainSync([&] { presenter(text); });
}
