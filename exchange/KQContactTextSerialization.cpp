#include "exchange/KQContactTextSerialization.h"

#include "platform/KQLog.h"
#include "store/KQTag.h"

#include <QSaveFile>

namespace {

QString line(const QString& title, const QString& value)
{
    return title + QStringLiteral(":'") + value + QLatin1Char('\'');
}

} // namespace

QString KQContactTextSerialization::titleForPropertyKey(const QString& key)
{
    return KQExportKeys::keyText(key);
}

QStringList KQContactTextSerialization::fieldValuesFromContact(KQContactHelper& contact, const QString& key)
{
    return fieldValuesFromContact(contact, *contact.effectiveContact(), key);
}

QStringList KQContactTextSerialization::fieldValuesFromContact(KQContactHelper& contact, const CNContact& effective,
                                                               const QString& key)
{
    if (key == KQPropertyKeyName)
        return {line(QStringLiteral("Name"), contact.fullName())};
    if (key == KQPropertyKeyPhoneticName)
        return {line(QStringLiteral("Phonetic Name"), contact.phoneticFullName())};
    if (KQExportKeys::isLabeledKey(key)) {
        const std::vector<KQExportEntry> entries = KQExportKeys::labeledEntries(effective, key);
        if (entries.empty())
            return {};
        const KQExportEntry& first = entries.front();
        QString title;
        if (first.label.isEmpty()) {
            title = KQExportKeys::keyText(key);
        } else {
            title = CNLocalizedStringForLabel(first.label);
            if (title.isEmpty())
                title = first.label;
        }
        QString value = first.value;
        if (key == CNContactPostalAddressesKey || key == KQPropertyKeyAddress)
            value.replace(QLatin1Char('\n'), QLatin1Char(' '));
        return {line(title, value)};
    }
    if (key == CNContactBirthdayKey)
        return {line(KQExportKeys::keyText(key), contact.birthdayString().value_or(QString()))};
    if (key == KQPropertyKeyTags) {
        QString text = QStringLiteral("tag:'");
        for (const auto& tag : contact.tags())
            text += QLatin1Char(' ') + tag->name();
        return {text + QLatin1Char('\'')};
    }
    return {line(titleForPropertyKey(key), KQExportKeys::textValue(effective, key))};
}

QString KQContactTextSerialization::recordStringFromContact(KQContactHelper& contact, const QStringList& keys)
{
    QStringList lines;
    const CNContactPtr effective = contact.effectiveContact();
    for (const QString& key : keys)
        lines += fieldValuesFromContact(contact, *effective, key);
    return lines.join(QStringLiteral("\r\n"));
}

bool KQContactTextSerialization::exportContacts(const std::vector<KQContactHelperPtr>& contacts,
                                                const QStringList& keys, const QString& path,
                                                const KQProgressBlock& progressBlock, QString* error)
{
    if (keys.isEmpty()) {
        KQLog(QStringLiteral("None property need to export."));
        if (error)
            *error = QStringLiteral("None property need to export.");
        return false;
    }
    QString text;
    const size_t n = contacts.size();
    for (size_t i = 1; i <= n; ++i) {
        const QString record = recordStringFromContact(*contacts[i - 1], keys);
        if (!text.isEmpty())
            text += QStringLiteral("\r\n\r\n\r\n");
        if (!record.isEmpty())
            text += record;
        bool stop = false;
        if (progressBlock)
            progressBlock(static_cast<double>(i) * 100.0 / static_cast<double>(n), &stop);
        if (stop)
            break; // what was built so far is still written
    }
    QSaveFile file(path);
    const QByteArray bytes = text.toUtf8();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.flush() ||
        file.error() != QFileDevice::NoError || !file.commit()) {
        const QString reason = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        KQLog(reason);
        if (error)
            *error = reason;
        return false;
    }
    return true;
}
