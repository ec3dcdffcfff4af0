// Reading contacts from CSV files.
#include "exchange/KQContactCSVSerialization.h"
#include "platform/KQLog.h"
#include "platform/KQTextCodecs.h"
#include "store/KQTag.h"

#include <QDate>
#include <QFile>
#include <QStringDecoder>
#include <algorithm>
#include <iterator>
#include <utility>

namespace {

// Windows-1252 at 0x80..0x9F; the five bytes it leaves undefined keep their C1 code points.
constexpr char16_t kWindows1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                           0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                           0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                           0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

struct KeywordEntry
{
    QString key;
    QStringList keywords;
};

// Consulted in order; the first entry with a keyword inside the lower-cased title wins.
const std::vector<KeywordEntry>& keywordTable()
{
    static const std::vector<KeywordEntry> table = [] {
        const auto list = [](std::initializer_list<const char*> words) {
            QStringList out;
            for (const char* word : words)
                out.append(QString::fromLatin1(word));
            return out;
        };
        return std::vector<KeywordEntry>{
            {CNContactEmailAddressesKey, list({"mail"})},
            {KQPropertyKeyTags, list({"tag"})},
            {CNContactPostalAddressesKey, list({"location", "postal", "address", "city", "street", "state", "country",
                                                "continent", "administrative area", "locality", "county"})},
            {CNContactPhoneticGivenNameKey, list({"phonetic first name", "phonetic given name"})},
            {CNContactGivenNameKey, list({"first name", "given name"})},
            {CNContactPhoneticMiddleNameKey, list({"phonetic middle name"})},
            {CNContactMiddleNameKey, list({"middle name"})},
            {CNContactPhoneticFamilyNameKey, list({"phonetic family name", "phonetic last name"})},
            {CNContactFamilyNameKey, list({"family name", "last name"})},
            {CNContactPhoneNumbersKey, list({"phone", "mobile", "fax"})},
            {CNContactNicknameKey, list({"nick name"})},
            {CNContactJobTitleKey, list({"title"})},
            {CNContactDepartmentNameKey, list({"department"})},
            {CNContactOrganizationNameKey, list({"organization", "company"})},
            {CNContactNamePrefixKey, list({"prefix"})},
            {CNContactNameSuffixKey, list({"suffix"})},
            {CNContactUrlAddressesKey, list({"url"})},
            {CNContactInstantMessageAddressesKey, list({"instant message"})},
            {CNContactSocialProfilesKey, list({"social"})},
            {CNContactBirthdayKey, list({"birthday"})},
            {CNContactDatesKey, list({"date"})},
            {CNContactNoteKey, list({"note"})},
            {CNContactRelationsKey, list({"relation"})},
        };
    }();
    return table;
}

// A mark or joiner glued to the character before it makes one user-perceived character with it.
inline bool extendsPrevious(const QChar* at, const QChar* end)
{
    if (at >= end)
        return false;
    const char16_t c = at->unicode();
    if (c < 0x0300)
        return false; // the common case: nothing below the combining marks extends
    if (c == 0x200D || c == 0x200C)
        return true;
    uint code = c;
    if (at->isHighSurrogate() && at + 1 < end && (at + 1)->isLowSurrogate())
        code = QChar::surrogateToUcs4(*at, *(at + 1));
    const QChar::Category category = QChar::category(code);
    return category == QChar::Mark_NonSpacing || category == QChar::Mark_SpacingCombining ||
           category == QChar::Mark_Enclosing;
}

QString withoutQuotes(const QChar* begin, const QChar* end, QChar quote)
{
    QString field;
    field.reserve(end - begin);
    const QChar* run = begin;
    for (const QChar* p = begin; p < end; ++p) {
        if (*p == quote && !extendsPrevious(p + 1, end)) {
            field.append(run, p - run);
            run = p + 1;
        }
    }
    field.append(run, end - run);
    return field;
}

} // namespace

QString KQContactCSVSerialization::decodeWindows1252(QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (const char byte : bytes) {
        const auto b = static_cast<unsigned char>(byte);
        *out++ = QChar(b >= 0x80 && b < 0xA0 ? kWindows1252High[b - 0x80] : char16_t(b));
    }
    return text;
}

QString KQContactCSVSerialization::decodeCSVData(const QByteArray& data)
{
    if (data.startsWith("\xEF\xBB\xBF")) {
        KQLog(QStringLiteral("info: CSV encoding UTF-8 (byte-order mark)"));
        return QString::fromUtf8(data.constData() + 3, data.size() - 3);
    }
    if (data.startsWith("\xFE\xFF") || data.startsWith("\xFF\xFE")) {
        const bool bigEndian = data.startsWith("\xFE\xFF");
        KQLog(bigEndian ? QStringLiteral("info: CSV encoding UTF-16 big-endian (byte-order mark)")
                        : QStringLiteral("info: CSV encoding UTF-16 little-endian (byte-order mark)"));
        QStringDecoder decoder(bigEndian ? QStringConverter::Utf16BE : QStringConverter::Utf16LE);
        QString text = decoder.decode(QByteArrayView(data).sliced(2));
        return decoder.hasError() ? QString() : text;
    }
    if (KQTextCodecs::isValidUtf8(data)) {
        KQLog(QStringLiteral("info: CSV encoding UTF-8"));
        return QString::fromUtf8(data);
    }
    KQLog(QStringLiteral("info: CSV encoding Windows-1252 (the file is not UTF-8)"));
    return decodeWindows1252(data);
}

QStringList KQContactCSVSerialization::trySeparatedString(const QString& text, QChar separator, QChar quote,
                                                          bool removeQuotes)
{
    QStringList fields;
    const QChar* begin = text.constData();
    const QChar* end = begin + text.size();
    const QChar* fieldStart = begin;
    bool inside = false;
    const auto take = [&](const QChar* fieldEnd) {
        fields.append(removeQuotes ? withoutQuotes(fieldStart, fieldEnd, quote)
                                   : QString(fieldStart, fieldEnd - fieldStart));
    };
    for (const QChar* p = begin; p < end; ++p) {
        const QChar c = *p;
        if (c != quote && c != separator)
            continue;
        if (extendsPrevious(p + 1, end))
            continue; // a mark or joiner follows: not a quote or separator
        if (c == quote) {
            inside = !inside;
        } else if (!inside) {
            take(p);
            fieldStart = p + 1;
        }
    }
    if (fieldStart < end)
        take(end);
    return fields;
}

QStringList KQContactCSVSerialization::splitColLine(const QString& header, QChar* separator)
{
    const QChar quote(u'"');
    for (const QChar candidate : {QChar(u','), QChar(u';'), QChar(u'\t')}) {
        QStringList titles = trySeparatedString(header, candidate, quote, true);
        if (titles.size() > 1) {
            *separator = candidate;
            return titles;
        }
    }
    *separator = QChar(u',');
    return trySeparatedString(header, QChar(u','), quote, true);
}

QString KQContactCSVSerialization::mapColumnToPropertyKey(const QString& title)
{
    const QString folded = title.toLower();
    for (const KeywordEntry& entry : keywordTable())
        for (const QString& keyword : entry.keywords)
            if (folded.contains(keyword))
                return entry.key;
    return KQPropertyKeyUnknownColumn;
}

QStringList KQContactCSVSerialization::mapColsToPropertyKey(const QStringList& titles)
{
    QStringList keys;
    keys.reserve(titles.size());
    for (const QString& title : titles)
        keys.append(mapColumnToPropertyKey(title));
    return keys;
}

QStringList KQContactCSVSerialization::splitRecord(const QString& record, QChar separator)
{
    return trySeparatedString(record, separator, QChar(u'"'), true);
}

bool KQContactCSVSerialization::updatePostalAddress(CNPostalAddress& address, const QString& title,
                                                    const QString& value)
{
    const QString folded = title.toLower();
    static const std::pair<const char*, QString CNPostalAddress::*> parts[] = {
        {"country", &CNPostalAddress::country},
        {"state", &CNPostalAddress::state},
        {"street", &CNPostalAddress::street},
        {"location", &CNPostalAddress::street},
        {"postal", &CNPostalAddress::postalCode},
        {"city", &CNPostalAddress::city},
        {"administrative area", &CNPostalAddress::subAdministrativeArea},
        {"continent", &CNPostalAddress::subAdministrativeArea},
        {"locality", &CNPostalAddress::subLocality},
        {"county", &CNPostalAddress::subLocality},
    };
    for (const auto& [word, field] : parts) {
        if (folded.contains(QLatin1String(word))) {
            address.*field = value;
            return true;
        }
    }
    KQLog(QStringLiteral("Unknown address part %1 :%2").arg(title, value));
    return false;
}

void KQContactCSVSerialization::setMergeAddress(CNPostalAddress& address, const QString& value)
{
    static QString CNPostalAddress::*const order[] = {
        &CNPostalAddress::country,    &CNPostalAddress::state, &CNPostalAddress::street,
        &CNPostalAddress::postalCode, &CNPostalAddress::city,  &CNPostalAddress::subAdministrativeArea,
        &CNPostalAddress::subLocality};
    const QStringList lines = value.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size() && i < qsizetype(std::size(order)); ++i)
        address.*order[i] = lines.at(i);
}

std::optional<CNDateComponents> KQContactCSVSerialization::dateComponentFromString(const QString& text)
{
    if (text.isEmpty())
        return std::nullopt;
    for (const QString& pattern : {QStringLiteral("d/M/yyyy"), QStringLiteral("yyyy/M/d")}) {
        const QDate date = QDate::fromString(text, pattern);
        if (date.isValid()) {
            CNDateComponents components;
            components.year = date.year();
            components.month = date.month();
            components.day = date.day();
            return components;
        }
    }
    return std::nullopt;
}

QString KQContactCSVSerialization::instantMessageServerWithString(const QString& value)
{
    for (const QString* service :
         {&CNInstantMessageServiceAIM, &CNInstantMessageServiceFacebook, &CNInstantMessageServiceGaduGadu,
          &CNInstantMessageServiceGoogleTalk, &CNInstantMessageServiceICQ, &CNInstantMessageServiceJabber,
          &CNInstantMessageServiceMSN, &CNInstantMessageServiceQQ, &CNInstantMessageServiceSkype,
          &CNInstantMessageServiceYahoo})
        if (value.contains(*service))
            return *service;
    return CNInstantMessageServiceFacebook;
}

CNInstantMessageAddress KQContactCSVSerialization::instantMessageAddressWithValueString(const QString& value)
{
    // The user name is what follows the first word (the service); a single word is the user name.
    QString user = value;
    const QStringList words = value.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.size() > 1) {
        const qsizetype at = value.indexOf(words.first());
        user = value.mid(at + words.first().size() + 1);
    }
    return CNInstantMessageAddress(user, instantMessageServerWithString(value));
}

KQContactHelperPtr KQContactCSVSerialization::contactFromRecord(const QStringList& fields, const QStringList& titles,
                                                                const QStringList& keys)
{
    auto contact = std::make_shared<CNMutableContact>();
    CNContactData data; // the lists are filled here and set once at the end
    std::optional<CNPostalAddress> open;
    QStringList tagWords;
    CNPostalAddressList addresses;
    const auto closeAddress = [&](const QString& label) {
        addresses.push_back(CNLabeledValue<CNPostalAddress>(label, *open));
        open.reset();
    };
    const qsizetype count = std::min({fields.size(), titles.size(), keys.size()});
    for (qsizetype i = 0; i < count; ++i) {
        const QString& key = keys.at(i);
        const QString value = fields.at(i).trimmed();
        const QString& label = titles.at(i);
        if (key == KQPropertyKeyUnknownColumn || value.isEmpty())
            continue;
        if (key == CNContactUrlAddressesKey) {
            data.urlAddresses.emplace_back(label, value);
        } else if (key == CNContactEmailAddressesKey) {
            data.emailAddresses.emplace_back(label, value);
        } else if (key == CNContactPhoneNumbersKey) {
            data.phoneNumbers.emplace_back(label, CNPhoneNumber::phoneNumberWithStringValue(value));
        } else if (key == CNContactPostalAddressesKey) {
            if (!open)
                open.emplace();
            if (updatePostalAddress(*open, label, value)) {
                if (label.toLower().contains(QLatin1String("location")))
                    closeAddress(label);
            } else {
                setMergeAddress(*open, value);
                closeAddress(label);
            }
        } else if (key == CNContactSocialProfilesKey) {
            data.socialProfiles.emplace_back(label, CNSocialProfile(QString(), value, QString(), QString()));
        } else if (key == CNContactDatesKey) {
            if (const auto date = dateComponentFromString(value))
                data.dates.emplace_back(label, *date);
            else
                KQLog(QStringLiteral("Can not get date from string %1").arg(value));
        } else if (key == CNContactBirthdayKey) {
            if (const auto date = dateComponentFromString(value))
                contact->setBirthday(date);
            else
                KQLog(QStringLiteral("Can not get birthday from string %1").arg(value));
        } else if (key == KQPropertyKeyTags) {
            tagWords += value.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        } else if (key == CNContactInstantMessageAddressesKey) {
            QString imLabel = label;
            imLabel.remove(QStringLiteral("Instant message "));
            data.instantMessageAddresses.emplace_back(imLabel, instantMessageAddressWithValueString(value));
        } else if (key == CNContactRelationsKey) {
            QString relationLabel = label;
            relationLabel.remove(QStringLiteral(" Related name"));
            data.contactRelations.emplace_back(relationLabel, CNContactRelation(value));
        } else {
            KQExportKeys::setTextValue(*contact, key, value);
        }
    }
    if (open)
        closeAddress(CNLabelOther);
    contact->setUrlAddresses(data.urlAddresses);
    contact->setEmailAddresses(data.emailAddresses);
    contact->setPhoneNumbers(data.phoneNumbers);
    contact->setPostalAddresses(addresses);
    contact->setSocialProfiles(data.socialProfiles);
    contact->setDates(data.dates);
    contact->setInstantMessageAddresses(data.instantMessageAddresses);
    contact->setContactRelations(data.contactRelations);
    KQContactHelperPtr record = KQContactHelper::create(contact, true);
    for (const QString& word : std::as_const(tagWords))
        record->addTagsWithName(word);
    return record;
}

int KQContactCSVSerialization::contactsFromRecords(const QStringList& records, QChar separator,
                                                   const QStringList& titles, const QStringList& keys,
                                                   const KQImportProgressBlock& progressBlock, bool* cancelled)
{
    int made = 0;
    const qsizetype n = records.size() - 1;
    for (qsizetype counter = 1; counter <= n; ++counter) {
        const QString& record = records.at(counter);
        if (record.isEmpty())
            continue;
        KQContactHelperPtr contact = contactFromRecord(splitRecord(record, separator), titles, keys);
        ++made;
        bool stop = false;
        if (progressBlock)
            progressBlock(contact, &stop, static_cast<double>(counter) * 100.0 / static_cast<double>(n));
        if (stop) {
            if (cancelled)
                *cancelled = true;
            break;
        }
    }
    return made;
}

KQCSVReadResult KQContactCSVSerialization::contactsWithCSVFile(const QString& path, const KQFieldMapBlock& fieldMap,
                                                               const KQImportProgressBlock& progressBlock)
{
    KQCSVReadResult result;
    const auto fail = [&result](KQCSVReadResult::Status status, const QString& line) {
        KQLog(line);
        result.status = status;
        result.description = line;
        return result;
    };
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(KQCSVReadResult::Unreadable, QStringLiteral("Can not read %1: %2").arg(path, file.errorString()));
    QString text = decodeCSVData(file.readAll());
    file.close();
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (text.isEmpty())
        return fail(KQCSVReadResult::Empty, QStringLiteral("Empty CSV File."));

    // Line breaks inside quoted fields stay inside their record.
    QStringList records = trySeparatedString(text, QChar(u'\n'), QChar(u'"'), false);
    text.clear();
    if (records.size() < 2)
        return fail(KQCSVReadResult::NoData, QStringLiteral("No contact data exist."));

    QChar separator;
    const QStringList titles = splitColLine(records.first(), &separator);
    if (titles.isEmpty())
        return fail(KQCSVReadResult::NoColumns, QStringLiteral("Can not read column information."));

    QStringList keys = mapColsToPropertyKey(titles);
    if (fieldMap) {
        QStringList answer = keys;
        fieldMap(titles, answer);
        if (answer.isEmpty())
            return fail(KQCSVReadResult::Cancelled, QStringLiteral("Cancel import"));
        if (answer.size() != keys.size())
            KQLog(QStringLiteral("Error field maps, using default field map."));
        else
            keys = answer;
    }
    bool cancelled = false;
    result.contacts = contactsFromRecords(records, separator, titles, keys, progressBlock, &cancelled);
    if (cancelled) {
        result.status = KQCSVReadResult::Cancelled;
        result.description = QStringLiteral("Cancel import");
    }
    return result;
}
