// Reading contacts from CSV files.
#include "exchange/KQContactCSVSerialization.h"
#include "platform/KQLog.h"
#include "platform/KQTextCodecs.h"
#include "store/KQTag.h"

#include <QDate>
#include <QFile>
#include <QStringDecoder>
#include <algorithm>
#include <bit>
#include <iterator>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// The first of a or b in [p, end), or end. Eight code units at a time where the processor can.
inline const QChar* findEither(const QChar* p, const QChar* end, char16_t a, char16_t b)
{
#if defined(__SSE2__)
    const __m128i wantA = _mm_set1_epi16(static_cast<short>(a));
    const __m128i wantB = _mm_set1_epi16(static_cast<short>(b));
    while (end - p >= 8) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const int hits = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi16(chunk, wantA), _mm_cmpeq_epi16(chunk, wantB)));
        if (hits != 0)
            return p + std::countr_zero(static_cast<unsigned>(hits)) / 2;
        p += 8;
    }
#endif
    while (p < end && p->unicode() != a && p->unicode() != b)
        ++p;
    return p;
}

QString withoutQuotes(const QChar* begin, const QChar* end, QChar quote)
{
    QString field;
    field.reserve(end - begin);
    const QChar* run = begin;
    for (const QChar* p = findEither(begin, end, quote.unicode(), quote.unicode()); p < end;
         p = findEither(p + 1, end, quote.unicode(), quote.unicode())) {
        if (!extendsPrevious(p + 1, end)) {
            field.append(run, p - run);
            run = p + 1;
        }
    }
    field.append(run, end - run);
    return field;
}

// One field of a separated text: [begin, end), and whether a quote character was seen in it.
struct Span
{
    const QChar* begin = nullptr;
    const QChar* end = nullptr;
    bool quoted = false;
};

// The field starting at cursor, which then moves past the field's separator. False at the end of
// the text. Each field starts outside quotes: a field ends only at a separator outside them.
bool nextField(const QChar*& cursor, const QChar* end, QChar separator, QChar quote, Span& field)
{
    if (cursor >= end)
        return false;
    field.begin = cursor;
    field.quoted = false;
    bool inside = false;
    for (const QChar* p = findEither(cursor, end, separator.unicode(), quote.unicode()); p < end;
         p = findEither(p + 1, end, separator.unicode(), quote.unicode())) {
        if (extendsPrevious(p + 1, end))
            continue; // a mark or joiner follows: not a quote or separator
        if (*p == quote) {
            inside = !inside;
            field.quoted = true;
        } else if (!inside) {
            field.end = p;
            cursor = p + 1;
            return true;
        }
    }
    field.end = end;
    cursor = end;
    return true;
}

QString fieldText(const Span& field, QChar quote, bool removeQuotes)
{
    if (removeQuotes && field.quoted)
        return withoutQuotes(field.begin, field.end, quote);
    return QString(field.begin, field.end - field.begin);
}

QStringList separated(const QChar* begin, const QChar* end, QChar separator, QChar quote, bool removeQuotes)
{
    QStringList fields;
    Span field;
    while (nextField(begin, end, separator, quote, field))
        fields.append(fieldText(field, quote, removeQuotes));
    return fields;
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
    return separated(text.constData(), text.constData() + text.size(), separator, quote, removeQuotes);
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
            data.editRare().urlAddresses.emplace_back(label, value);
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
            data.editRare().socialProfiles.emplace_back(label, CNSocialProfile(QString(), value, QString(), QString()));
        } else if (key == CNContactDatesKey) {
            if (const auto date = dateComponentFromString(value))
                data.editRare().dates.emplace_back(label, *date);
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
            data.editRare().instantMessageAddresses.emplace_back(imLabel, instantMessageAddressWithValueString(value));
        } else if (key == CNContactRelationsKey) {
            QString relationLabel = label;
            relationLabel.remove(QStringLiteral(" Related name"));
            data.editRare().contactRelations.emplace_back(relationLabel, CNContactRelation(value));
        } else {
            KQExportKeys::setTextValue(*contact, key, value);
        }
    }
    if (open)
        closeAddress(CNLabelOther);
    contact->setUrlAddresses(data.rare().urlAddresses);
    contact->setEmailAddresses(data.emailAddresses);
    contact->setPhoneNumbers(data.phoneNumbers);
    contact->setPostalAddresses(addresses);
    contact->setSocialProfiles(data.rare().socialProfiles);
    contact->setDates(data.rare().dates);
    contact->setInstantMessageAddresses(data.rare().instantMessageAddresses);
    contact->setContactRelations(data.rare().contactRelations);
    KQContactHelperPtr record = KQContactHelper::create(contact, true);
    for (const QString& word : std::as_const(tagWords))
        record->addTagsWithName(word);
    return record;
}

int KQContactCSVSerialization::contactsFromRecords(const QString& text, qsizetype from, QChar separator,
                                                   const QStringList& titles, const QStringList& keys,
                                                   const KQImportProgressBlock& progressBlock, bool* cancelled)
{
    // Each record is split straight from the text: no list of all the records is ever made.
    const QChar quote(u'"');
    const QChar* const first = text.constData() + std::clamp<qsizetype>(from, 0, text.size());
    const QChar* const end = text.constData() + text.size();
    const double length = std::max<double>(1.0, static_cast<double>(end - first));
    const QChar* cursor = first;
    int made = 0;
    Span record;
    while (nextField(cursor, end, QChar(u'\n'), quote, record)) {
        if (record.begin == record.end)
            continue;
        KQContactHelperPtr contact =
            contactFromRecord(separated(record.begin, record.end, separator, quote, true), titles, keys);
        ++made;
        bool stop = false;
        if (progressBlock)
            progressBlock(contact, &stop, static_cast<double>(cursor - first) * 100.0 / length);
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
    const QChar* cursor = text.constData();
    const QChar* const end = cursor + text.size();
    Span header;
    nextField(cursor, end, QChar(u'\n'), QChar(u'"'), header);
    if (cursor >= end)
        return fail(KQCSVReadResult::NoData, QStringLiteral("No contact data exist."));

    QChar separator;
    const QStringList titles = splitColLine(QString(header.begin, header.end - header.begin), &separator);
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
    result.contacts =
        contactsFromRecords(text, cursor - text.constData(), separator, titles, keys, progressBlock, &cancelled);
    if (cancelled) {
        result.status = KQCSVReadResult::Cancelled;
        result.description = QStringLiteral("Cancel import");
    }
    return result;
}
