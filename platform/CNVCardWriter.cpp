#include "platform/CNVCardWriter.h"

#include "platform/CNVCardLabels.h"

namespace {

constexpr qsizetype kFoldWidth = 75;

void appendEscaped(const QString& text, QByteArray& out)
{
    const QByteArray utf8 = text.toUtf8();
    const qsizetype n = utf8.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char c = utf8[i];
        switch (c) {
        case '\\':
            out.append("\\\\", 2);
            break;
        case ',':
            out.append("\\,", 2);
            break;
        case ';':
            out.append("\\;", 2);
            break;
        case '\r':
            if (i + 1 < n && utf8[i + 1] == '\n')
                ++i;
            out.append("\\n", 2);
            break;
        case '\n':
            out.append("\\n", 2);
            break;
        default:
            out.append(c);
        }
    }
}

// Parameter values with characters that end a parameter are quoted, with RFC 6868 escapes.
void appendParameterValue(const QString& value, QByteArray& out)
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
    if (!quote) {
        out.append(utf8);
        return;
    }
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
}

QByteArray dateText(const CNDateComponents& date)
{
    char buffer[16];
    if (date.year)
        std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", *date.year, *date.month, *date.day);
    else
        std::snprintf(buffer, sizeof buffer, "--%02d-%02d", *date.month, *date.day);
    return QByteArray(buffer);
}

class Writer
{
public:
    Writer(const CNContact& contact, QByteArray& out) : c(contact), d(contact.data()), m_out(out) {}

    void write();

private:
    bool has(CNKeyId key) const { return c.isKeyAvailable(key); }
    const QString& field(CNKeyId key, const QString& value) const { return has(key) ? value : m_empty; }

    void begin(QByteArrayView name, QByteArrayView group = {})
    {
        m_line.clear();
        if (!group.isEmpty()) {
            m_line.append(group);
            m_line.append('.');
        }
        m_line.append(name);
    }
    void parameter(QByteArrayView name, QByteArrayView value)
    {
        m_line.append(';');
        m_line.append(name);
        m_line.append('=');
        m_line.append(value);
    }
    void textParameter(QByteArrayView name, const QString& value)
    {
        m_line.append(';');
        m_line.append(name);
        m_line.append('=');
        appendParameterValue(value, m_line);
    }
    void text(const QString& value)
    {
        m_line.append(':');
        appendEscaped(value, m_line);
        end();
    }
    void components(std::initializer_list<const QString*> parts)
    {
        m_line.append(':');
        bool first = true;
        for (const QString* part : parts) {
            if (!first)
                m_line.append(';');
            first = false;
            appendEscaped(*part, m_line);
        }
        end();
    }
    void raw(QByteArrayView value)
    {
        m_line.append(':');
        m_line.append(value);
        end();
    }
    void end();
    void simple(QByteArrayView name, const QString& value)
    {
        if (value.isEmpty())
            return;
        begin(name);
        text(value);
    }

    // Starts a labelled value's line: TYPE parameters for a standard label, an item group otherwise.
    // Returns the group (empty when the label needs none).
    QByteArray beginLabelled(QByteArrayView name, CNVCardValueKind kind, const QString& label, bool needGroup = false)
    {
        const QByteArray types = label.isEmpty() ? QByteArray() : CNVCardTypesForLabel(kind, label);
        const bool groupLabel = !label.isEmpty() && types.isEmpty();
        QByteArray group;
        if (groupLabel || needGroup)
            group = "item" + QByteArray::number(++m_item);
        begin(name, group);
        if (kind == CNVCardValueKind::Email)
            parameter("TYPE", "INTERNET");
        if (!types.isEmpty())
            parameter("TYPE", types);
        if (groupLabel)
            m_pendingLabel = label;
        else
            m_pendingLabel.clear();
        m_pendingGroup = group;
        return group;
    }
    void endLabelled()
    {
        if (m_pendingLabel.isEmpty())
            return;
        begin("X-ABLabel", m_pendingGroup);
        text(m_pendingLabel);
    }

    const CNContact& c;
    const CNContactData& d;
    QByteArray& m_out;
    QByteArray m_line;
    QByteArray m_pendingGroup;
    QString m_pendingLabel;
    const QString m_empty;
    int m_item = 0;
};

void Writer::end()
{
    const qsizetype n = m_line.size();
    if (n <= kFoldWidth) {
        m_out.append(m_line);
        m_out.append("\r\n", 2);
        return;
    }
    qsizetype pos = 0;
    bool first = true;
    while (pos < n) {
        qsizetype stop = std::min(n, pos + (first ? kFoldWidth : kFoldWidth - 1));
        // Never cut inside a UTF-8 sequence: back off to the start of the character.
        while (stop < n && stop > pos + 1 && (static_cast<unsigned char>(m_line[stop]) & 0xC0) == 0x80)
            --stop;
        if (!first)
            m_out.append(' ');
        m_out.append(m_line.constData() + pos, stop - pos);
        m_out.append("\r\n", 2);
        pos = stop;
        first = false;
    }
}

void Writer::write()
{
    m_out.append("BEGIN:VCARD\r\nVERSION:3.0\r\n");
    const QString& family = field(CNKeyId::FamilyName, d.familyName);
    const QString& given = field(CNKeyId::GivenName, d.givenName);
    const QString& middle = field(CNKeyId::MiddleName, d.middleName);
    const QString& prefix = field(CNKeyId::NamePrefix, d.namePrefix);
    const QString& suffix = field(CNKeyId::NameSuffix, d.nameSuffix);
    const QString& organization = field(CNKeyId::OrganizationName, d.organizationName);
    const QString& department = field(CNKeyId::DepartmentName, d.departmentName);
    const bool isOrganization = has(CNKeyId::Type) && d.contactType == CNContactType::Organization;

    begin("N");
    components({&family, &given, &middle, &prefix, &suffix});
    QString formatted;
    if (!isOrganization) {
        for (const QString* part : {&prefix, &given, &middle, &family, &suffix}) {
            if (part->isEmpty())
                continue;
            if (!formatted.isEmpty())
                formatted.append(QLatin1Char(' '));
            formatted.append(*part);
        }
    }
    if (formatted.isEmpty())
        formatted = organization;
    begin("FN");
    text(formatted);

    simple("X-MAIDENNAME", field(CNKeyId::PreviousFamilyName, d.previousFamilyName));
    simple("NICKNAME", field(CNKeyId::Nickname, d.nickname));
    simple("X-PHONETIC-FIRST-NAME", field(CNKeyId::PhoneticGivenName, d.phoneticGivenName));
    simple("X-PHONETIC-MIDDLE-NAME", field(CNKeyId::PhoneticMiddleName, d.phoneticMiddleName));
    simple("X-PHONETIC-LAST-NAME", field(CNKeyId::PhoneticFamilyName, d.phoneticFamilyName));
    if (!organization.isEmpty() || !department.isEmpty()) {
        begin("ORG");
        if (department.isEmpty())
            text(organization);
        else
            components({&organization, &department});
    }
    simple("X-PHONETIC-ORG", field(CNKeyId::PhoneticOrganizationName, d.phoneticOrganizationName));
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
            const QByteArray group =
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
        for (const auto& lv : d.urlAddresses) {
            if (lv.value().isEmpty())
                continue;
            beginLabelled("URL", CNVCardValueKind::Url, lv.label());
            text(lv.value());
            endLabelled();
        }
    }
    if (has(CNKeyId::Birthday) && d.birthday && d.birthday->month && d.birthday->day) {
        begin("BDAY");
        raw(dateText(*d.birthday));
    }
    if (has(CNKeyId::NonGregorianBirthday) && d.nonGregorianBirthday && d.nonGregorianBirthday->month &&
        d.nonGregorianBirthday->day) {
        begin("X-ALTBDAY");
        if (!d.nonGregorianBirthday->calendarIdentifier.isEmpty())
            textParameter("CALSCALE", d.nonGregorianBirthday->calendarIdentifier);
        raw(dateText(*d.nonGregorianBirthday));
    }
    if (has(CNKeyId::Dates)) {
        for (const auto& lv : d.dates) {
            if (!lv.value().month || !lv.value().day)
                continue;
            beginLabelled("X-ABDATE", CNVCardValueKind::Date, lv.label());
            raw(dateText(lv.value()));
            endLabelled();
        }
    }
    if (has(CNKeyId::Relations)) {
        for (const auto& lv : d.contactRelations) {
            if (lv.value().name.isEmpty())
                continue;
            beginLabelled("X-ABRELATEDNAMES", CNVCardValueKind::Relation, lv.label());
            text(lv.value().name);
            endLabelled();
        }
    }
    if (has(CNKeyId::InstantMessageAddresses)) {
        for (const auto& lv : d.instantMessageAddresses) {
            const CNInstantMessageAddress& im = lv.value();
            if (im.username.isEmpty())
                continue;
            beginLabelled("IMPP", CNVCardValueKind::InstantMessage, lv.label());
            if (!im.service.isEmpty())
                textParameter("X-SERVICE-TYPE", im.service);
            m_line.append(':');
            m_line.append(CNVCardSchemeForInstantMessageService(im.service));
            m_line.append(':');
            appendEscaped(im.username, m_line);
            end();
            endLabelled();
        }
    }
    if (has(CNKeyId::SocialProfiles)) {
        for (const auto& lv : d.socialProfiles) {
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
