#include "exchange/KQContactSerialization.h"

#include "exchange/KQContactCSVSerialization.h"
#include "exchange/KQContactFormat.h"
#include "platform/KQLog.h"
#include "store/KQTag.h"

#include <QDir>
#include <QSet>
#include <QStandardPaths>
#include <array>
#include <utility>

namespace {

// The seven columns of one postal address, in column order; the first carries the
// sub-administrative area.
const std::array<QString, 7>& postalParts()
{
    static const std::array<QString, 7> parts = {
        QStringLiteral("Continent"), QStringLiteral("Country"), QStringLiteral("State"),      QStringLiteral("City"),
        QStringLiteral("Locality"),  QStringLiteral("Street"),  QStringLiteral("Postal Code")};
    return parts;
}

QString postalPart(const CNPostalAddress& address, size_t part)
{
    switch (part) {
    case 0:
        return address.subAdministrativeArea;
    case 1:
        return address.country;
    case 2:
        return address.state;
    case 3:
        return address.city;
    case 4:
        return address.subLocality;
    case 5:
        return address.street;
    default:
        return address.postalCode;
    }
}

QString tagNames(const KQContactHelper& contact)
{
    QStringList names;
    for (const auto& tag : contact.tags())
        names.append(tag->name());
    return names.join(QLatin1Char(' '));
}

} // namespace

std::unique_ptr<KQContactSerialization> KQContactSerialization::contactSerializationWithFormat(
    qint32 formatType, const std::vector<KQContactHelperPtr>& contacts, const QStringList& keys)
{
    std::unique_ptr<KQContactSerialization> serialization;
    if (formatType == KQContactFormat::CSV || formatType == KQContactFormat::CSVOutlook)
        serialization = std::make_unique<KQContactCSVSerialization>();
    else
        serialization = std::make_unique<KQContactSerialization>();
    serialization->m_formatType = formatType;
    serialization->m_exportKeys = keys;
    serialization->m_contacts = contacts;
    serialization->columnTitlesFromContacts(contacts, keys);
    return serialization;
}

const QStringList& KQContactSerialization::colums(const QString& key) const
{
    static const QStringList none;
    const auto found = m_colums.constFind(key);
    return found == m_colums.constEnd() ? none : *found;
}

QStringList KQContactSerialization::contactTitles(const CNContact& contact, const QString& key) const
{
    QStringList titles;
    const QString keyText = KQExportKeys::keyText(key);
    const bool postal = key == CNContactPostalAddressesKey;
    for (const KQExportEntry& entry : KQExportKeys::labeledEntries(contact, key)) {
        if (entry.value.isEmpty())
            continue;
        const QString label = KQExportKeys::labelText(entry.label);
        QString title;
        if (m_formatType == KQContactFormat::CSVOutlook)
            title = postal ? label : label + QLatin1Char(' ') + keyText;
        else
            title = keyText + QLatin1Char(' ') + label;
        if (titles.contains(title)) {
            for (qint64 n = 2;; ++n) {
                const QString numbered = QStringLiteral("%1 %2").arg(title).arg(n);
                if (!titles.contains(numbered)) {
                    title = numbered;
                    break;
                }
            }
        }
        if (postal) {
            for (const QString& part : postalParts())
                titles.append(title + QLatin1Char(' ') + part);
        } else {
            titles.append(title);
        }
    }
    return titles;
}

void KQContactSerialization::columnTitlesFromContacts(const std::vector<KQContactHelperPtr>& contacts,
                                                      const QStringList& keys)
{
    m_colums.clear();
    m_foldedColums.clear();
    m_columCount = 0;
    for (const QString& key : keys) {
        QStringList titles;
        if (key == KQPropertyKeyName) {
            titles.append(QStringLiteral("Name"));
        } else if (key == KQPropertyKeyPhoneticName) {
            titles.append(QStringLiteral("Phonetic Name"));
        } else if (key == KQPropertyKeyTags) {
            titles.append(QStringLiteral("tag"));
        } else if (key == CNContactNonGregorianBirthdayKey) {
            titles.append(QStringLiteral("Lunar Birthday"));
        } else if (KQExportKeys::isLabeledKey(key)) {
            QSet<QString> seen; // titles compare without regard to case
            for (const KQContactHelperPtr& record : contacts) {
                const CNContactPtr contact = record->effectiveContact();
                for (const QString& title : contactTitles(*contact, key)) {
                    const QString folded = title.toLower();
                    if (seen.contains(folded))
                        continue;
                    seen.insert(folded);
                    titles.append(title);
                }
            }
        } else {
            titles.append(KQExportKeys::keyText(key));
        }
        m_columCount += static_cast<int>(titles.size());
        QStringList folded;
        folded.reserve(titles.size());
        for (const QString& title : std::as_const(titles))
            folded.append(title.toLower());
        m_foldedColums.insert(key, folded);
        m_colums.insert(key, titles);
    }
}

QStringList KQContactSerialization::fieldValuesFromContact(const CNContact& contact, const QString& key,
                                                           const QStringList& titles) const
{
    QStringList folded;
    folded.reserve(titles.size());
    for (const QString& title : titles)
        folded.append(title.toLower());
    return fieldValuesFromContact(contact, key, titles, folded);
}

QStringList KQContactSerialization::fieldValuesFromContact(const CNContact& contact, const QString& key,
                                                           const QStringList& titles, const QStringList& folded) const
{
    const qsizetype count = titles.size();
    QStringList cells(count);
    if (count == 0)
        return cells;
    std::vector<bool> available(static_cast<size_t>(count), true);
    const bool postal = key == CNContactPostalAddressesKey;

    const auto firstMatch = [&](const QString& label) -> qsizetype {
        const QString needle = label.toLower();
        for (qsizetype i = 0; i < count; ++i)
            if (available[static_cast<size_t>(i)] && folded.at(i).contains(needle))
                return i;
        return -1;
    };

    for (const KQExportEntry& entry : KQExportKeys::labeledEntries(contact, key)) {
        qsizetype match = firstMatch(KQExportKeys::labelText(entry.label));
        if (match < 0)
            match = firstMatch(QStringLiteral("Other"));
        if (match < 0)
            continue; // no column for it: the value is left out
        if (!postal) {
            cells[match] = entry.value;
            available[static_cast<size_t>(match)] = false;
            continue;
        }
        // A postal match stands for its whole group of seven columns.
        QString base = titles.at(match);
        for (const QString& part : postalParts()) {
            const qsizetype at = base.indexOf(part);
            if (at >= 0) {
                base.remove(at, part.size());
                break;
            }
        }
        for (size_t part = 0; part < postalParts().size(); ++part) {
            const qsizetype index = titles.indexOf(base + postalParts()[part]);
            if (index < 0)
                continue;
            cells[index] = entry.address ? postalPart(*entry.address, part) : QString();
            available[static_cast<size_t>(index)] = false;
        }
    }
    return cells;
}

QStringList KQContactSerialization::setupRowWithContact(KQContactHelper& record)
{
    QStringList row;
    row.reserve(m_columCount);
    const CNContactPtr contact = record.effectiveContact();
    for (const QString& key : std::as_const(m_exportKeys)) {
        m_curenPropertytKey = key;
        if (key == KQPropertyKeyName)
            row.append(record.fullName());
        else if (key == KQPropertyKeyPhoneticName)
            row.append(record.phoneticFullName());
        else if (KQExportKeys::isLabeledKey(key))
            row.append(fieldValuesFromContact(*contact, key, colums(key), m_foldedColums.value(key)));
        else if (key == CNContactBirthdayKey)
            row.append(record.birthdayString().value_or(QString()));
        else if (key == KQPropertyKeyTags)
            row.append(tagNames(record));
        else
            row.append(KQExportKeys::textValue(*contact, key));
    }
    return row;
}

void KQContactSerialization::setupHeader()
{
    for (const QString& key : std::as_const(m_exportKeys)) {
        m_curenPropertytKey = key;
        for (const QString& title : colums(key))
            addTableHeaderItemWithTitle(title);
    }
}

bool KQContactSerialization::exportWithFile(const QString& path, KQProgressBlock progressBlk)
{
    m_stopExport = false;
    m_errorString.clear();
    m_exportFilePath = path;
    m_progressBlk = std::move(progressBlk);
    beginExport();
    if (m_contacts.empty() || m_exportKeys.isEmpty()) {
        KQLog(QStringLiteral("Warring: No content to export!!!!"));
        endExport();
        return m_errorString.isEmpty();
    }
    beginSetTableHeader();
    setupHeader();
    endSetTableHeader();
    KQLog(QStringLiteral("info:setup body start"));
    const size_t n = m_contacts.size();
    for (size_t i = 1; i <= n; ++i) {
        beginAddRow();
        for (const QString& cell : setupRowWithContact(*m_contacts[i - 1]))
            addRowItemWithTitle(cell);
        endAddRow();
        if (m_progressBlk)
            m_progressBlk(static_cast<double>(static_cast<float>(i) * 100.0f / static_cast<float>(n)), &m_stopExport);
        if (m_stopExport) {
            KQLog(QStringLiteral("Warring: Cancel export!!!"));
            break;
        }
    }
    KQLog(QStringLiteral("info:setup body end"));
    if (m_stopExport)
        return false;
    endExport();
    return m_errorString.isEmpty();
}

QString KQContactSerialization::exportCacheFolder()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation))
        .filePath(QStringLiteral("people_keeper_temp"));
}

bool KQContactSerialization::resetExportFolder(const QString& folder)
{
    QDir dir(folder);
    if (dir.exists() && !dir.removeRecursively())
        return false;
    return QDir().mkpath(folder);
}

bool KQContactSerialization::removeExportFolder(const QString& folder)
{
    QDir dir(folder);
    return !dir.exists() || dir.removeRecursively();
}
