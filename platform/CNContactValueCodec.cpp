#include "platform/CNContactValueCodec.h"

#include "platform/CNUuidText.h"

#include <QHash>
#include <array>
#include <cstring>
#include <limits>

namespace {

// Texts stored as codes (code = index + 1). Append only: the codes are on disk.
const std::array<const QString*, 62>& wellKnownStrings()
{
    static const std::array<const QString*, 62> table = {
        &CNLabelHome,
        &CNLabelWork,
        &CNLabelOther,
        &CNLabelSchool,
        &CNLabelEmailiCloud,
        &CNLabelURLAddressHomePage,
        &CNLabelDateAnniversary,
        &CNLabelPhoneNumberiPhone,
        &CNLabelPhoneNumberMobile,
        &CNLabelPhoneNumberMain,
        &CNLabelPhoneNumberHomeFax,
        &CNLabelPhoneNumberWorkFax,
        &CNLabelPhoneNumberOtherFax,
        &CNLabelPhoneNumberPager,
        &CNLabelContactRelationFather,
        &CNLabelContactRelationMother,
        &CNLabelContactRelationParent,
        &CNLabelContactRelationBrother,
        &CNLabelContactRelationSister,
        &CNLabelContactRelationChild,
        &CNLabelContactRelationFriend,
        &CNLabelContactRelationSpouse,
        &CNLabelContactRelationPartner,
        &CNLabelContactRelationAssistant,
        &CNLabelContactRelationManager,
        &CNLabelContactRelationSon,
        &CNLabelContactRelationDaughter,
        &CNSocialProfileServiceFacebook,
        &CNSocialProfileServiceFlickr,
        &CNSocialProfileServiceGameCenter,
        &CNSocialProfileServiceLinkedIn,
        &CNSocialProfileServiceMySpace,
        &CNSocialProfileServiceSinaWeibo,
        &CNSocialProfileServiceTencentWeibo,
        &CNSocialProfileServiceTwitter,
        &CNSocialProfileServiceYelp,
        &CNInstantMessageServiceAIM,
        &CNInstantMessageServiceFacebook,
        &CNInstantMessageServiceGaduGadu,
        &CNInstantMessageServiceGoogleTalk,
        &CNInstantMessageServiceICQ,
        &CNInstantMessageServiceJabber,
        &CNInstantMessageServiceMSN,
        &CNInstantMessageServiceQQ,
        &CNInstantMessageServiceSkype,
        &CNInstantMessageServiceYahoo,
        &CNCalendarIdentifierGregorian,
        &CNCalendarIdentifierHebrew,
        &CNCalendarIdentifierIslamic,
        &CNCalendarIdentifierChinese,
        // Reserved for further constants.
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
    };
    return table;
}

int wellKnownCode(const QString& text)
{
    static const QHash<QString, int> codes = [] {
        QHash<QString, int> h;
        const auto& table = wellKnownStrings();
        for (size_t i = 0; i < table.size(); ++i) {
            if (table[i])
                h.insert(*table[i], static_cast<int>(i) + 1);
        }
        return h;
    }();
    return codes.value(text, 0);
}

// String headers: (length << 2) for UTF-8 text, (code << 2) | 1 for a well-known text, 2 for an
// identifier stored as 16 bytes.
constexpr quint64 TagText = 0;
constexpr quint64 TagWellKnown = 1;
constexpr quint64 HeaderUuid = 2;

class Writer
{
public:
    // Room for a typical list at once rather than in several steps.
    Writer() { m_bytes.reserve(128); }

    void varint(quint64 v)
    {
        char bytes[10];
        qsizetype n = 0;
        while (v >= 0x80) {
            bytes[n++] = static_cast<char>((v & 0x7F) | 0x80);
            v >>= 7;
        }
        bytes[n++] = static_cast<char>(v);
        m_bytes.append(bytes, n);
    }
    void signedVarint(qint64 v) { varint((static_cast<quint64>(v) << 1) ^ static_cast<quint64>(v >> 63)); }

    void text(const QString& s)
    {
        // Most texts are ASCII: copied without a UTF-8 copy in between.
        const qsizetype n = s.size();
        const char16_t* units = reinterpret_cast<const char16_t*>(s.constData());
        qsizetype ascii = 0;
        while (ascii < n && units[ascii] < 0x80)
            ++ascii;
        if (ascii < n) {
            const QByteArray utf8 = s.toUtf8();
            varint(static_cast<quint64>(utf8.size()) << 2 | TagText);
            m_bytes.append(utf8);
            return;
        }
        varint(static_cast<quint64>(n) << 2 | TagText);
        const qsizetype at = m_bytes.size();
        m_bytes.resize(at + n);
        char* w = m_bytes.data() + at;
        for (qsizetype i = 0; i < n; ++i)
            w[i] = static_cast<char>(units[i]);
    }
    void label(const QString& s)
    {
        if (const int code = s.isEmpty() ? 0 : wellKnownCode(s))
            varint(static_cast<quint64>(code) << 2 | TagWellKnown);
        else
            text(s);
    }
    void identifier(const CNEntryIdentifier& identifier)
    {
        unsigned char packed[16];
        if (identifier.bytes(packed)) {
            varint(HeaderUuid);
            m_bytes.append(reinterpret_cast<const char*>(packed), 16);
        } else {
            text(identifier.text());
        }
    }

    QByteArray take() { return std::move(m_bytes); }

private:
    QByteArray m_bytes;
};

class Reader
{
public:
    Reader(const char* data, qsizetype size) : m_p(reinterpret_cast<const unsigned char*>(data)), m_end(m_p + size) {}

    bool ok() const { return m_ok; }
    void invalidate() { m_ok = false; }
    bool atEnd() const { return m_p == m_end; }
    qsizetype remaining() const { return m_end - m_p; }

    quint64 varint()
    {
        quint64 v = 0;
        for (int shift = 0; shift < 64; shift += 7) {
            if (m_p == m_end)
                break;
            const unsigned char b = *m_p++;
            v |= static_cast<quint64>(b & 0x7F) << shift;
            if (!(b & 0x80))
                return v;
        }
        m_ok = false;
        return 0;
    }
    qint64 signedVarint()
    {
        const quint64 v = varint();
        return static_cast<qint64>(v >> 1) ^ -static_cast<qint64>(v & 1);
    }

    QString string()
    {
        const Token token = next();
        switch (token.kind) {
        case Token::Uuid:
            return CNUuidTextFromBytes(token.at);
        case Token::WellKnown:
            return *token.wellKnown;
        case Token::Text:
            return CNContactValueCodec::textFromUtf8(reinterpret_cast<const char*>(token.at), token.length);
        case Token::Damaged:
            break;
        }
        return {};
    }
    // Moves past a string as string() reads it, without making it.
    void skipString() { next(); }

    // An entry identifier: 16 bytes, or any other text.
    CNEntryIdentifier identifier()
    {
        if (m_p != m_end && *m_p == HeaderUuid) {
            if (remaining() < 17) {
                m_ok = false;
                return {};
            }
            CNEntryIdentifier id = CNEntryIdentifier::fromBytes(m_p + 1);
            m_p += 17;
            return id;
        }
        return CNEntryIdentifier(string());
    }

    void skipIdentifier()
    {
        if (m_p != m_end && *m_p == HeaderUuid) {
            if (remaining() < 17)
                m_ok = false;
            else
                m_p += 17;
            return;
        }
        skipString();
    }

private:
    // One string's place in the bytes, checked and moved past.
    struct Token
    {
        enum Kind
        {
            Damaged,
            Uuid,
            WellKnown,
            Text
        } kind = Damaged;
        const unsigned char* at = nullptr;
        qsizetype length = 0;
        const QString* wellKnown = nullptr;
    };

    Token next()
    {
        Token token;
        const quint64 header = varint();
        if (!m_ok)
            return token;
        if (header == HeaderUuid) {
            if (remaining() < 16)
                return fail();
            token.kind = Token::Uuid;
            token.at = m_p;
            m_p += 16;
            return token;
        }
        if ((header & 3) == TagWellKnown) {
            const quint64 code = header >> 2;
            const auto& table = wellKnownStrings();
            if (code == 0 || code > table.size() || !table[code - 1])
                return fail();
            token.kind = Token::WellKnown;
            token.wellKnown = table[code - 1];
            return token;
        }
        if ((header & 3) != TagText)
            return fail();
        const quint64 length = header >> 2;
        if (length > static_cast<quint64>(remaining()))
            return fail();
        token.kind = Token::Text;
        token.at = m_p;
        token.length = static_cast<qsizetype>(length);
        m_p += length;
        return token;
    }

    Token fail()
    {
        m_ok = false;
        return {};
    }

    const unsigned char* m_p;
    const unsigned char* m_end;
    bool m_ok = true;
};

// Date parts: a presence mask, then each present part.
constexpr quint64 Year = 1;
constexpr quint64 Month = 2;
constexpr quint64 Day = 4;
constexpr quint64 Hour = 8;
constexpr quint64 Minute = 16;
constexpr quint64 Calendar = 32;
constexpr quint64 LeapMonth = 64;

void writeValue(Writer& w, const CNDateComponents& d)
{
    const quint64 mask = (d.year ? Year : 0) | (d.month ? Month : 0) | (d.day ? Day : 0) | (d.hour ? Hour : 0) |
                         (d.minute ? Minute : 0) | (d.calendarIdentifier.isEmpty() ? 0 : Calendar) |
                         (d.isLeapMonth ? LeapMonth : 0);
    w.varint(mask);
    for (const auto* part : {&d.year, &d.month, &d.day, &d.hour, &d.minute}) {
        if (*part)
            w.signedVarint(**part);
    }
    if (mask & Calendar)
        w.label(d.calendarIdentifier);
}

void readValue(Reader& r, CNDateComponents& d)
{
    const quint64 mask = r.varint();
    if (mask > (Year | Month | Day | Hour | Minute | Calendar | LeapMonth))
        r.invalidate();
    quint64 bit = Year;
    for (auto* part : {&d.year, &d.month, &d.day, &d.hour, &d.minute}) {
        if (mask & bit) {
            const qint64 v = r.signedVarint();
            if (v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max())
                r.invalidate();
            *part = static_cast<int>(v);
        }
        bit <<= 1;
    }
    if (mask & Calendar)
        d.calendarIdentifier = r.string();
    d.isLeapMonth = (mask & LeapMonth) != 0;
}

void writeValue(Writer& w, const CNPhoneNumber& v)
{
    w.text(v.stringValue());
}
void readValue(Reader& r, CNPhoneNumber& v)
{
    v = CNPhoneNumber(r.string());
}

void writeValue(Writer& w, const QString& v)
{
    w.text(v);
}
void readValue(Reader& r, QString& v)
{
    v = r.string();
}

void writeValue(Writer& w, const CNPostalAddress& a)
{
    for (const QString* field : {&a.street, &a.subLocality, &a.city, &a.subAdministrativeArea, &a.state, &a.postalCode,
                                 &a.country, &a.isoCountryCode})
        w.text(*field);
}
void readValue(Reader& r, CNPostalAddress& a)
{
    for (QString* field : {&a.street, &a.subLocality, &a.city, &a.subAdministrativeArea, &a.state, &a.postalCode,
                           &a.country, &a.isoCountryCode})
        *field = r.string();
}

void writeValue(Writer& w, const CNContactRelation& v)
{
    w.text(v.name);
}
void readValue(Reader& r, CNContactRelation& v)
{
    v.name = r.string();
}

void writeValue(Writer& w, const CNSocialProfile& v)
{
    w.text(v.urlString);
    w.text(v.username);
    w.text(v.userIdentifier);
    w.label(v.service);
}
void readValue(Reader& r, CNSocialProfile& v)
{
    v.urlString = r.string();
    v.username = r.string();
    v.userIdentifier = r.string();
    v.service = r.string();
}

void writeValue(Writer& w, const CNInstantMessageAddress& v)
{
    w.text(v.username);
    w.label(v.service);
}
void readValue(Reader& r, CNInstantMessageAddress& v)
{
    v.username = r.string();
    v.service = r.string();
}

// How many strings each kind of value is stored as, for checking a list without decoding it.
template <typename T> constexpr int stringsPerValue = 1;
template <> constexpr int stringsPerValue<CNPostalAddress> = 8;

// The same walk as decodeList, making nothing.
template <typename T> bool checkList(const char* data, qsizetype size, quint64& count)
{
    count = 0;
    if (size == 0)
        return true;
    Reader r(data, size);
    count = r.varint();
    if (!r.ok() || count > static_cast<quint64>(r.remaining()) / 3)
        return false;
    for (quint64 i = 0; i < count && r.ok(); ++i) {
        r.skipIdentifier();
        r.skipString();
        for (int k = 0; k < stringsPerValue<T>; ++k)
            r.skipString();
    }
    return r.ok() && r.atEnd();
}

template <typename T> QByteArray encodeList(const std::vector<CNLabeledValue<T>>& values)
{
    if (values.empty())
        return {};
    Writer w;
    w.varint(values.size());
    for (const auto& entry : values) {
        w.identifier(entry.entryIdentifier());
        w.label(entry.label());
        writeValue(w, entry.value());
    }
    return w.take();
}

template <typename T> bool decodeList(const char* data, qsizetype size, std::vector<CNLabeledValue<T>>& out)
{
    out.clear();
    if (size == 0)
        return true;
    Reader r(data, size);
    const quint64 count = r.varint();
    // Every entry takes at least three bytes; a larger count is damage, not a reason to allocate.
    if (!r.ok() || count > static_cast<quint64>(r.remaining()) / 3)
        return false;
    out.reserve(count);
    for (quint64 i = 0; i < count; ++i) {
        CNEntryIdentifier identifier = r.identifier();
        QString label = r.string();
        T value;
        readValue(r, value);
        if (!r.ok())
            break;
        out.emplace_back(std::move(identifier), std::move(label), std::move(value));
    }
    if (!r.ok() || !r.atEnd()) {
        out.clear();
        return false;
    }
    return true;
}

} // namespace

QByteArray CNContactValueCodec::encode(const CNPhoneNumberList& values)
{
    return encodeList(values);
}
QByteArray CNContactValueCodec::encode(const CNStringValueList& values)
{
    return encodeList(values);
}
QByteArray CNContactValueCodec::encode(const CNPostalAddressList& values)
{
    return encodeList(values);
}
QByteArray CNContactValueCodec::encode(const CNDateList& values)
{
    return encodeList(values);
}
QByteArray CNContactValueCodec::encode(const CNRelationList& values)
{
    return encodeList(values);
}
QByteArray CNContactValueCodec::encode(const CNSocialProfileList& values)
{
    return encodeList(values);
}
QByteArray CNContactValueCodec::encode(const CNInstantMessageList& values)
{
    return encodeList(values);
}

QByteArray CNContactValueCodec::encode(const std::optional<CNDateComponents>& date)
{
    if (!date)
        return {};
    Writer w;
    writeValue(w, *date);
    return w.take();
}

bool CNContactValueCodec::decode(const char* data, qsizetype size, CNPhoneNumberList& out)
{
    return decodeList(data, size, out);
}
bool CNContactValueCodec::decode(const char* data, qsizetype size, CNStringValueList& out)
{
    return decodeList(data, size, out);
}
bool CNContactValueCodec::decode(const char* data, qsizetype size, CNPostalAddressList& out)
{
    return decodeList(data, size, out);
}
bool CNContactValueCodec::decode(const char* data, qsizetype size, CNDateList& out)
{
    return decodeList(data, size, out);
}
bool CNContactValueCodec::decode(const char* data, qsizetype size, CNRelationList& out)
{
    return decodeList(data, size, out);
}
bool CNContactValueCodec::decode(const char* data, qsizetype size, CNSocialProfileList& out)
{
    return decodeList(data, size, out);
}
bool CNContactValueCodec::decode(const char* data, qsizetype size, CNInstantMessageList& out)
{
    return decodeList(data, size, out);
}

bool CNContactValueCodec::check(CNCodedList list, const char* data, qsizetype size, quint64* entries)
{
    quint64 count = 0;
    bool ok = false;
    switch (list) {
    case CNCodedList::PhoneNumbers:
        ok = checkList<CNPhoneNumber>(data, size, count);
        break;
    case CNCodedList::EmailAddresses:
        ok = checkList<QString>(data, size, count);
        break;
    case CNCodedList::PostalAddresses:
        ok = checkList<CNPostalAddress>(data, size, count);
        break;
    }
    if (entries)
        *entries = ok ? count : 0;
    return ok;
}

QString CNContactValueCodec::textFromUtf8(const char* data, qsizetype size)
{
    if (size <= 0)
        return {};
    // ASCII is its own Latin-1, which Qt widens faster than it decodes UTF-8. Checked eight
    // bytes at a time.
    quint64 high = 0;
    qsizetype i = 0;
    for (; i + 8 <= size; i += 8) {
        quint64 word;
        std::memcpy(&word, data + i, 8);
        high |= word;
    }
    for (; i < size; ++i)
        high |= static_cast<unsigned char>(data[i]);
    if (high & 0x8080808080808080ULL)
        return QString::fromUtf8(data, size);
    return QString::fromLatin1(data, size);
}

bool CNContactValueCodec::decode(const char* data, qsizetype size, std::optional<CNDateComponents>& out)
{
    out.reset();
    if (size == 0)
        return true;
    Reader r(data, size);
    CNDateComponents date;
    readValue(r, date);
    if (!r.ok() || !r.atEnd())
        return false;
    out = std::move(date);
    return true;
}
