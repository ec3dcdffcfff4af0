#include "platform/CNContactVCardSerialization.h"

#include "platform/CNVCardReader.h"
#include "platform/CNVCardWriter.h"

QStringList CNContactVCardSerialization::descriptorForRequiredKeys()
{
    return CNVCardWriter::requiredKeys();
}

QByteArray CNContactVCardSerialization::dataWithContacts(const CNContactList& contacts, CNError* error)
{
    QByteArray out;
    for (const CNContactPtr& contact : contacts) {
        if (contact)
            CNVCardWriter::append(*contact, out);
    }
    if (error)
        *error = CNError{};
    return out;
}

CNContactList CNContactVCardSerialization::contactsWithData(const QByteArray& data, CNError* error)
{
    CNVCardReader::Result result = CNVCardReader::read(data);
    if (error) {
        *error = CNError{};
        if (!result.problems.isEmpty()) {
            // Long lists of stray lines add nothing after the first few.
            constexpr qsizetype kShown = 20;
            QStringList shown = result.problems.mid(0, kShown);
            if (result.problems.size() > kShown)
                shown.append(QStringLiteral("and %1 more").arg(result.problems.size() - kShown));
            *error =
                CNError::make(CNError::CorruptData, QStringLiteral("The vCard data could not be read completely: %1")
                                                        .arg(shown.join(QStringLiteral("; "))));
        }
    }
    return std::move(result.contacts);
}
