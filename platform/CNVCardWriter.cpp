#include "platform/CNVCardWriter.h"

#include "platform/CNVCardLabels.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>

namespace {

constexpr qsizetype kFoldWidth = 75;

// What a byte below 0x80 becomes in a text value: 0 for itself, else the escape's second byte.
constexpr std::array<char, 128> kTextEscapes = [] {
    std::array<char, 128> t{};
    t['\\'] = '\\';
    t[','] = ',';
    t[';'] = ';';
    t['\n'] = 'n';
    t['\r'] = 'n';
    return t;
}();

// The card is written straight into the output, which grows geometrically (its size runs ahead of
// what is written until the end); a line is folded once it is complete (few are longer than 75
// octets).
class Sink
{
public:
    explicit Sink(QByteArray& out) : m_out(out), m_size(out.size()) {}
    ~Sink() { m_out.resize(m_size); }
    Sink(const Sink&) = delete;
    Sink& operator=(const Sink&) = delete;

    // Room for at least n more bytes; write through the pointer, then commit().
    char* room(qsizetype n)
    {
        if (m_size + n > m_out.size()) {
            if (m_size + n > m_out.capacity())
                m_out.reserve(std::max(m_size + n, m_out.capacity() * 2 + 4096));
            m_out.resize(m_out.capacity()); // the new bytes are not initialised; only m_size counts
        }
        return m_out.data() + m_size;
    }
    void commit(const char* end) { m_size = end - m_out.constData(); }

    void append(QByteArrayView bytes)
    {
        char* w = room(bytes.size());
        std::memcpy(w, bytes.data(), static_cast<size_t>(bytes.size()));
        commit(w + bytes.size());
    }
    void append(char c)
    {
        char* w = room(1);
        *w = c;
        commit(w + 1);
    }

    // UTF-8 of text with the backslash escapes of text values (CR LF and CR become \n too).
    void escaped(const QString& text)
    {
        const qsizetype n = text.size();
        const char16_t* s = reinterpret_cast<const char16_t*>(text.constData());
        char* w = room(3 * n); // the longest form of one UTF-16 unit is 3 bytes, an escape is 2
        for (qsizetype i = 0; i < n; ++i) {
            const char16_t u = s[i];
            if (u < 0x80) {
                const char e = kTextEscapes[u];
                if (e == 0) {
                    *w++ = static_cast<char>(u);
                    continue;
                }
                if (u == '\r' && i + 1 < n && s[i + 1] == '\n')
                    ++i;
                *w++ = '\\';
                *w++ = e;
            } else if (u < 0x800) {
                *w++ = static_cast<char>(0xC0 | (u >> 6));
                *w++ = static_cast<char>(0x80 | (u & 0x3F));
            } else if (QChar::isHighSurrogate(u) && i + 1 < n && QChar::isLowSurrogate(s[i + 1])) {
                const char32_t c = QChar::surrogateToUcs4(u, s[++i]);
                *w++ = static_cast<char>(0xF0 | (c >> 18));
                *w++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
                *w++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
                *w++ = static_cast<char>(0x80 | (c & 0x3F));
            } else {
                const char16_t c = QChar::isSurrogate(u) ? char16_t(0xFFFD) : u;
                *w++ = static_cast<char>(0xE0 | (c >> 12));
                *w++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
                *w++ = static_cast<char>(0x80 | (c & 0x3F));
            }
        }
        commit(w);
    }

    void startLine() { m_lineStart = m_size; }
    // Ends the current line with CR LF, folding it at 75 octets without cutting a UTF-8 sequence.
    void endLine()
    {
        const qsizetype length = m_size - m_lineStart;
        if (length > kFoldWidth)
            fold(length);
        char* w = room(2);
        w[0] = '\r';
        w[1] = '\n';
        commit(w + 2);
    }

private:
    void fold(qsizetype length)
    {
        m_line.assign(m_out.constData() + m_lineStart, static_cast<size_t>(length));
        m_size = m_lineStart;
        const char* line = m_line.data();
        qsizetype pos = 0;
        bool first = true;
        while (pos < length) {
            qsizetype stop = std::min(length, pos + (first ? kFoldWidth : kFoldWidth - 1));
            while (stop < length && stop > pos + 1 && (static_cast<unsigned char>(line[stop]) & 0xC0) == 0x80)
                --stop;
            char* w = room(stop - pos + 3);
            if (!first) {
                *w++ = '\r';
                *w++ = '\n';
                *w++ = ' ';
            }
            std::memcpy(w, line + pos, static_cast<size_t>(stop - pos));
            commit(w + (stop - pos));
            pos = stop;
            first = false;
        }
    }

    QByteArray& m_out;
    qsizetype m_size;
    qsizetype m_lineStart = 0;
    std::string m_line;
};

QByteArray parameterText(const QString& value)
{
    const QByteArray utf8 = value.toUtf8();
    bool quote = false;
    for (const char c : utf8) {
        if (c == ';' || c == ':' || c == ',' || c == '"' || c == '^' || c == '\n' || c == '\r' || c == ' ' ||
            c == '\t') {
            quote = true;
            break;
        }
    }
    if (!quote)
        return utf8;
    // Parameter values with characters that end a parameter are quoted, with RFC 6868 escapes.
    QByteArray out;
    out.append('"');
    const qsizetype n = utf8.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char c = utf8[i];
        if (c == '^')
            out.append("^^", 2);
        else if (c == '"')
            out.append("^'", 2);
        else if (c == '\n')
            out.append("^n", 2);
        else if (c == '\r') {
            if (i + 1 < n && utf8[i + 1] == '\n')
                ++i;
            out.append("^n", 2);
        } else
            out.append(c);
    }
    out.append('"');
    return out;
}

// "1980-03-22" or, without a year, "--03-22".
QByteArrayView dateText(const CNDateComponents& date, char (&buffer)[16])
{
    const int n = date.year ? std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", *date.year, *date.month, *date.day)
                            : std::snprintf(buffer, sizeof buffer, "--%02d-%02d", *date.month, *date.day);
    return QByteArrayView(buffer, std::clamp(n, 0, 15));
}

class Writer
{
public:
    Writer(const CNContact& contact, QByteArray& out) : c(contact), d(contact.data()), m_out(out) {}

    void write();

private:
    bool has(CNKeyId key) const { return c.isKeyAvailable(key); }
    const QString& field(CNKeyId key, const QString& value) const { return has(key) ? value : m_empty; }

    void begin(QByteArrayView name, int group = 0)
    {
        m_out.startLine();
        if (group > 0) {
            char buffer[16];
            const int n = std::snprintf(buffer, sizeof buffer, "item%d.", group);
            m_out.append(QByteArrayView(buffer, n));
        }
        m_out.append(name);
    }
    void parameter(QByteArrayView name, QByteArrayView value)
    {
        m_out.append(';');
        m_out.append(name);
        m_out.append('=');
        m_out.append(value);
    }
    void textParameter(QByteArrayView name, const QString& value) { parameter(name, parameterText(value)); }
    void text(const QString& value)
    {
        m_out.append(':');
        m_out.escaped(value);
        m_out.endLine();
    }
    void components(std::initializer_list<const QString*> parts)
    {
        m_out.append(':');
        bool first = true;
        for (const QString* part : parts) {
            if (!first)
                m_out.append(';');
            first = false;
            m_out.escaped(*part);
        }
        m_out.endLine();
    }
    void raw(QByteArrayView value)
    {
        m_out.append(':');
        m_out.append(value);
        m_out.endLine();
    }
    void simple(QByteArrayView name, const QString& value)
    {
        if (value.isEmpty())
            return;
        begin(name);
        text(value);
    }

    // Starts a labelled value's line: TYPE parameters for a standard label, an item group otherwise.
    // Returns the group number (0 when the label needs none).
    int beginLabelled(QByteArrayView name, CNVCardValueKind kind, const QString& label, bool needGroup = false)
    {
        const QByteArray types = label.isEmpty() ? QByteArray() : CNVCardTypesForLabel(kind, label);
        const bool groupLabel = !label.isEmpty() && types.isEmpty();
        const int group = groupLabel || needGroup ? ++m_item : 0;
        begin(name, group);
        if (kind == CNVCardValueKind::Email)
            parameter("TYPE", "INTERNET");
        if (!types.isEmpty())
            parameter("TYPE", types);
        m_pendingLabel = groupLabel ? &label : nullptr;
        m_pendingGroup = group;
        return group;
    }
    void endLabelled()
    {
        if (!m_pendingLabel)
            return;
        begin("X-ABLabel", m_pendingGroup);
        text(*m_pendingLabel);
    }

    const CNContact& c;
    const CNContactData& d;
    Sink m_out;
    const QString* m_pendingLabel = nullptr;
    int m_pendingGroup = 0;
    const QString m_empty;
    int m_item = 0;
    char m_date[16] = {};
};

void Writer::write()
{
    m_out.append("BEGIN:VCARD\r\nVERSION:3.0\r\n");
    const QString& family = field(CNKeyId::FamilyName, d.familyName);
    const QString& given = field(CNKeyId::GivenName, d.givenName);
    const QString& middle = field(CNKeyId::MiddleName, d.rare().middleName);
    const QString& prefix = field(CNKeyId::NamePrefix, d.rare().namePrefix);
    const QString& suffix = field(CNKeyId::NameSuffix, d.rare().nameSuffix);
    const QString& organization = field(CNKeyId::OrganizationName, d.organizationName);
    const QString& department = field(CNKeyId::DepartmentName, d.departmentName);
    const bool isOrganization = has(CNKeyId::Type) && d.contactType == CNContactType::Organization;

    begin("N");
    components({&family, &given, &middle, &prefix, &suffix});
    // FN: the name's parts joined by spaces, or the organization.
    begin("FN");
    m_out.append(':');
    bool named = false;
    if (!isOrganization) {
        for (const QString* part : {&prefix, &given, &middle, &family, &suffix}) {
            if (part->isEmpty())
                continue;
            if (named)
                m_out.append(' ');
            m_out.escaped(*part);
            named = true;
        }
    }
    if (!named)
        m_out.escaped(organization);
    m_out.endLine();

    simple("X-MAIDENNAME", field(CNKeyId::PreviousFamilyName, d.rare().previousFamilyName));
    simple("NICKNAME", field(CNKeyId::Nickname, d.rare().nickname));
    simple("X-PHONETIC-FIRST-NAME", field(CNKeyId::PhoneticGivenName, d.rare().phoneticGivenName));
    simple("X-PHONETIC-MIDDLE-NAME", field(CNKeyId::PhoneticMiddleName, d.rare().phoneticMiddleName));
    simple("X-PHONETIC-LAST-NAME", field(CNKeyId::PhoneticFamilyName, d.rare().phoneticFamilyName));
    if (!organization.isEmpty() || !department.isEmpty()) {
        begin("ORG");
        if (department.isEmpty())
            text(organization);
        else
            components({&organization, &department});
    }
    simple("X-PHONETIC-ORG", field(CNKeyId::PhoneticOrganizationName, d.rare().phoneticOrganizationName));
    simple("TITLE", field(CNKeyId::JobTitle, d.jobTitle));

    if (has(CNKeyId::EmailAddresses)) {
        for (const auto& lv : d.emailAddresses) {
            if (lv.value().isEmpty())
                continue;
            beginLabelled("EMAIL", CNVCardValueKind::Email, lv.label());
            text(lv.value());
            endLabelled();
        }
    }
    if (has(CNKeyId::PhoneNumbers)) {
        for (const auto& lv : d.phoneNumbers) {
            if (lv.value().stringValue().isEmpty())
                continue;
            beginLabelled("TEL", CNVCardValueKind::Phone, lv.label());
            text(lv.value().stringValue());
            endLabelled();
        }
    }
    if (has(CNKeyId::PostalAddresses)) {
        for (const auto& lv : d.postalAddresses) {
            const CNPostalAddress& a = lv.value();
            if (a.isEmpty())
                continue;
            const int group =
                beginLabelled("ADR", CNVCardValueKind::Address, lv.label(), !a.isoCountryCode.isEmpty());
            if (!a.subLocality.isEmpty())
                textParameter("X-SUBLOCALITY", a.subLocality);
            if (!a.subAdministrativeArea.isEmpty())
                textParameter("X-SUBADMINISTRATIVEAREA", a.subAdministrativeArea);
            components({&m_empty, &m_empty, &a.street, &a.city, &a.state, &a.postalCode, &a.country});
            endLabelled();
            if (!a.isoCountryCode.isEmpty()) {
                begin("X-ABADR", group);
                text(a.isoCountryCode);
            }
        }
    }
    if (has(CNKeyId::UrlAddresses)) {
        for (const auto& lv : d.rare().urlAddresses) {
            if (lv.value().isEmpty())
                continue;
            beginLabelled("URL", CNVCardValueKind::Url, lv.label());
            text(lv.value());
            endLabelled();
        }
    }
    if (has(CNKeyId::Birthday) && d.rare().birthday && d.rare().birthday->month && d.rare().birthday->day) {
        begin("BDAY");
        raw(dateText(*d.rare().birthday, m_date));
    }
    if (has(CNKeyId::NonGregorianBirthday) && d.rare().nonGregorianBirthday && d.rare().nonGregorianBirthday->month &&
        d.rare().nonGregorianBirthday->day) {
        begin("X-ALTBDAY");
        if (!d.rare().nonGregorianBirthday->calendarIdentifier.isEmpty())
            textParameter("CALSCALE", d.rare().nonGregorianBirthday->calendarIdentifier);
        raw(dateText(*d.rare().nonGregorianBirthday, m_date));
    }
    if (has(CNKeyId::Dates)) {
        for (const auto& lv : d.rare().dates) {
            if (!lv.value().month || !lv.value().day)
                continue;
            beginLabelled("X-ABDATE", CNVCardValueKind::Date, lv.label());
            raw(dateText(lv.value(), m_date));
            endLabelled();
        }
    }
    if (has(CNKeyId::Relations)) {
        for (const auto& lv : d.rare().contactRelations) {
            if (lv.value().name.isEmpty())
                continue;
            beginLabelled("X-ABRELATEDNAMES", CNVCardValueKind::Relation, lv.label());
            text(lv.value().name);
            endLabelled();
        }
    }
    if (has(CNKeyId::InstantMessageAddresses)) {
        for (const auto& lv : d.rare().instantMessageAddresses) {
            const CNInstantMessageAddress& im = lv.value();
            if (im.username.isEmpty())
                continue;
            beginLabelled("IMPP", CNVCardValueKind::InstantMessage, lv.label());
            if (!im.service.isEmpty())
                textParameter("X-SERVICE-TYPE", im.service);
            m_out.append(':');
            m_out.append(CNVCardSchemeForInstantMessageService(im.service));
            m_out.append(':');
            m_out.escaped(im.username);
            m_out.endLine();
            endLabelled();
        }
    }
    if (has(CNKeyId::SocialProfiles)) {
        for (const auto& lv : d.rare().socialProfiles) {
            const CNSocialProfile& sp = lv.value();
            if (sp.urlString.isEmpty() && sp.username.isEmpty() && sp.userIdentifier.isEmpty())
                continue;
            beginLabelled("X-SOCIALPROFILE", CNVCardValueKind::SocialProfile, lv.label());
            if (!sp.service.isEmpty())
                textParameter("X-SERVICE-TYPE", sp.service);
            if (!sp.username.isEmpty())
                textParameter("X-USER", sp.username);
            if (!sp.userIdentifier.isEmpty())
                textParameter("X-USERID", sp.userIdentifier);
            text(sp.urlString);
            endLabelled();
        }
    }
    if (isOrganization)
        m_out.append("X-ABShowAs:COMPANY\r\n");
    m_out.append("END:VCARD\r\n");
}

} // namespace

QStringList CNVCardWriter::requiredKeys()
{
    return {CNContactTypeKey,
            CNContactNamePrefixKey,
            CNContactGivenNameKey,
            CNContactMiddleNameKey,
            CNContactFamilyNameKey,
            CNContactPreviousFamilyNameKey,
            CNContactNameSuffixKey,
            CNContactNicknameKey,
            CNContactOrganizationNameKey,
            CNContactDepartmentNameKey,
            CNContactJobTitleKey,
            CNContactPhoneticGivenNameKey,
            CNContactPhoneticMiddleNameKey,
            CNContactPhoneticFamilyNameKey,
            CNContactPhoneticOrganizationNameKey,
            CNContactBirthdayKey,
            CNContactNonGregorianBirthdayKey,
            CNContactPhoneNumbersKey,
            CNContactEmailAddressesKey,
            CNContactPostalAddressesKey,
            CNContactDatesKey,
            CNContactUrlAddressesKey,
            CNContactRelationsKey,
            CNContactSocialProfilesKey,
            CNContactInstantMessageAddressesKey};
}

void CNVCardWriter::append(const CNContact& contact, QByteArray& out)
{
    Writer(contact, out).write();
}
