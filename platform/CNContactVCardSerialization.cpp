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
        if (!result.problems.empty()) {
            // Long lists of stray lines add nothing after the first few.
            constexpr size_t kShown = 20;
            QStringList shown;
            for (size_t i = 0; i < std::min(kShown, result.problems.size()); ++i) {
                const CNError& problem = result.problems[i];
                shown.append(QStringLiteral("line %1: %2")
                                 .arg(QString::number(problem.position), problem.localizedDescription));
            }
            if (result.problems.size() > kShown)
                shown.append(QStringLiteral("and %1 more").arg(result.problems.size() - kShown));
            *error = CNError::make(CNError::CorruptData, QStringLiteral("The vCard data could not be read completely: %1")
                                                             .arg(shown.join(QStringLiteral("; "))));
            // The first problem's line.
            error->position = result.problems.front().position;
        }
    }
    return std::move(result.contacts);
}
