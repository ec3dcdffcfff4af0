#include "platform/CNVCardReader.h"

#include "platform/CNContactTextTable.h"
#include "platform/CNLabels.h"
#include "platform/CNVCardLabels.h"
#include "platform/CNVCardLexer.h"
#include "platform/KQTextCodecs.h"

#include <algorithm>
#include <array>

namespace {

enum class Prop
{
    Begin,
    End,
    Version,
    N,
    FN,
    Nickname,
    Org,
    Title,
    Birthday,
    AltBirthday,
    Anniversary,
    Date,
    Tel,
    Email,
    Adr,
    Url,
    Note,
    Photo,
    Label,
    LabelAdr,
    RelatedName,
    Related,
    Spouse,
    Manager,
    Assistant,
    Impp,
    Social,
    PhoneticGiven,
    PhoneticMiddle,
    PhoneticFamily,
    PhoneticOrg,
    MaidenName,
    Kind,
    ShowAs,
    Uid,
};

struct PropertyName
{
    QByteArrayView name;
    Prop prop;
};

const PropertyName kProperties[] = {
    {"BEGIN", Prop::Begin},
    {"END", Prop::End},
    {"VERSION", Prop::Version},
    {"N", Prop::N},
    {"FN", Prop::FN},
    {"NICKNAME", Prop::Nickname},
    {"ORG", Prop::Org},
    {"TITLE", Prop::Title},
    {"BDAY", Prop::Birthday},
    {"X-ALTBDAY", Prop::AltBirthday},
    {"ANNIVERSARY", Prop::Anniversary},
    {"X-ANNIVERSARY", Prop::Anniversary},
    {"X-EVOLUTION-ANNIVERSARY", Prop::Anniversary},
    {"X-MS-ANNIVERSARY", Prop::Anniversary},
    {"X-ABDATE", Prop::Date},
    {"TEL", Prop::Tel},
    {"EMAIL", Prop::Email},
    {"ADR", Prop::Adr},
    {"URL", Prop::Url},
    {"NOTE", Prop::Note},
    {"PHOTO", Prop::Photo},
    {"X-ABLABEL", Prop::Label},
    {"X-ABADR", Prop::LabelAdr},
    {"X-ABRELATEDNAMES", Prop::RelatedName},
    {"RELATED", Prop::Related},
    {"X-SPOUSE", Prop::Spouse},
    {"X-EVOLUTION-SPOUSE", Prop::Spouse},
    {"X-MS-SPOUSE", Prop::Spouse},
    {"X-MANAGER", Prop::Manager},
    {"X-EVOLUTION-MANAGER", Prop::Manager},
    {"X-MS-MANAGER", Prop::Manager},
    {"X-ASSISTANT", Prop::Assistant},
    {"X-EVOLUTION-ASSISTANT", Prop::Assistant},
    {"X-MS-ASSISTANT", Prop::Assistant},
    {"IMPP", Prop::Impp},
    {"X-SOCIALPROFILE", Prop::Social},
    {"X-PHONETIC-FIRST-NAME", Prop::PhoneticGiven},
    {"X-PHONETIC-MIDDLE-NAME", Prop::PhoneticMiddle},
    {"X-PHONETIC-LAST-NAME", Prop::PhoneticFamily},
    {"X-PHONETIC-ORG", Prop::PhoneticOrg},
    {"X-MAIDENNAME", Prop::MaidenName},
    {"KIND", Prop::Kind},
    {"X-ADDRESSBOOKSERVER-KIND", Prop::Kind},
    {"X-ABSHOWAS", Prop::ShowAs},
    {"UID", Prop::Uid},
};

// The property a name stands for. Names are looked up by length first: a line costs a few
// comparisons and no allocation.
std::optional<Prop> propertyFor(QByteArrayView name)
{
    constexpr qsizetype kLongest = 32;
    static const auto byLength = [] {
        std::array<std::vector<const PropertyName*>, kLongest> table;
        for (const PropertyName& p : kProperties)
            table[static_cast<size_t>(p.name.size())].push_back(&p);
        return table;
    }();
    if (name.size() >= kLongest)
        return std::nullopt;
    for (const PropertyName* p : byLength[static_cast<size_t>(name.size())]) {
        if (CNVCardCodec::equalsNoCase(p->name, name))
            return p->prop;
    }
    return std::nullopt;
}

template <size_t N> bool is(QByteArrayView a, const char (&b)[N])
{
    return CNVCardCodec::equalsNoCase(a, QByteArrayView(b, N - 1));
}

template <typename T> struct Pending
{
    QString label;
    T value;
    QByteArray group;
};

struct Card
{
    int line = 0;
    QString failure;
    int failureLine = 0;
    bool isGroup = false;
    bool organization = false;
    bool haveN = false, haveOrg = false, haveTitle = false, haveNickname = false, haveBirthday = false;
    bool haveAltBirthday = false, havePhoto = false;
    bool version4 = false;
    QString formattedName;
    CNContactData d;
    std::vector<Pending<CNPhoneNumber>> phones;
    std::vector<Pending<QString>> emails;
    std::vector<Pending<CNPostalAddress>> addresses;
    std::vector<Pending<CNDateComponents>> dates;
    std::vector<Pending<QString>> urls;
    std::vector<Pending<CNContactRelation>> relations;
    std::vector<Pending<CNSocialProfile>> profiles;
    std::vector<Pending<CNInstantMessageAddress>> messaging;
    std::vector<std::pair<QByteArray, QString>> groupLabels;
    std::vector<std::pair<QByteArray, QString>> groupCountries;

    // Starts the next card, keeping the lists' storage: most cards have the same few entries.
    void reset(int beginLine)
    {
        line = beginLine;
        failure.clear();
        isGroup = organization = false;
        haveN = haveOrg = haveTitle = haveNickname = haveBirthday = haveAltBirthday = havePhoto = false;
        version4 = false;
        formattedName.clear();
        // Made anew in place: cheaper than assigning a fresh one field by field, and the last
        // card's fields have mostly been moved into its contact already.
        std::destroy_at(&d);
        std::construct_at(&d);
        phones.clear();
        emails.clear();
        addresses.clear();
        dates.clear();
        urls.clear();
        relations.clear();
        profiles.clear();
        messaging.clear();
        groupLabels.clear();
        groupCountries.clear();
    }

    bool nameless() const
    {
        return d.familyName.isEmpty() && d.givenName.isEmpty() && d.rare().middleName.isEmpty() &&
               d.rare().namePrefix.isEmpty() && d.rare().nameSuffix.isEmpty();
    }
};

std::optional<int> digits(QByteArrayView s, qsizetype from, qsizetype count)
{
    if (from + count > s.size())
        return std::nullopt;
    int v = 0;
    for (qsizetype i = from; i < from + count; ++i) {
        if (s[i] < '0' || s[i] > '9')
            return std::nullopt;
        v = v * 10 + (s[i] - '0');
    }
    return v;
}

// "1980-03-22", "19800322", "--0415", "--04-15", with any time part ("T2310Z") ignored.
std::optional<CNDateComponents> parseDate(QByteArrayView text)
{
    text = text.trimmed();
    if (const qsizetype t = text.indexOf('T'); t >= 0)
        text = text.first(t);
    CNDateComponents date;
    std::optional<int> month, day;
    if (text.startsWith("--")) {
        month = digits(text, 2, 2);
        const qsizetype dayAt = text.size() == 7 && text[4] == '-' ? 5 : 4;
        if (text.size() != dayAt + 2)
            return std::nullopt;
        day = digits(text, dayAt, 2);
    } else {
        date.year = digits(text, 0, 4);
        if (text.size() == 10 && text[4] == '-' && text[7] == '-') {
            month = digits(text, 5, 2);
            day = digits(text, 8, 2);
        } else if (text.size() == 8) {
            month = digits(text, 4, 2);
            day = digits(text, 6, 2);
        }
        if (!date.year)
            return std::nullopt;
    }
    if (!month || !day || *month < 1 || *month > 12 || *day < 1 || *day > 31)
        return std::nullopt;
    date.month = month;
    date.day = day;
    return date;
}

QString joinNonEmpty(std::initializer_list<const QString*> parts, QChar separator)
{
    QString out;
    for (const QString* p : parts) {
        if (p->isEmpty())
            continue;
        if (!out.isEmpty())
            out.append(separator);
        out.append(*p);
    }
    return out;
}

class Reader
{
public:
    CNVCardReader::Result run(const QByteArray& input);

private:
    void property(const CNVCardProperty& p);
    void finishCard(Card& card);
    void fail(const CNVCardProperty& p, const QString& why);
    void problem(int line, const QString& text);

    // The value's text as UTF-8 bytes, after quoted-printable and charset decoding.
    bool valueBytes(const CNVCardProperty& p, QByteArrayView& out);
    bool text(const CNVCardProperty& p, QString& out);
    // The value's text into a rare field of the card's contact (none is made for an empty text).
    bool rareText(const CNVCardProperty& p, QString CNContactRareFields::*field);
    // sharedParts: a bit for each component whose texts repeat across cards (see shared()).
    bool components(const CNVCardProperty& p, std::vector<QString>& out, unsigned sharedParts = ~0u);
    // The text of a short component value, shared with the equal texts read before.
    QString shared(QByteArrayView utf8);
    QString typeLabel(const CNVCardProperty& p, CNVCardValueKind kind);
    void photo(const CNVCardProperty& p);
    void instantMessage(const CNVCardProperty& p, const QString& service, QString username);

    template <typename T> void add(std::vector<Pending<T>>& list, const CNVCardProperty& p, QString label, T value)
    {
        list.push_back({std::move(label), std::move(value), p.group.toByteArray()});
    }
    template <typename T> std::vector<CNLabeledValue<T>> resolve(std::vector<Pending<T>>& list);

    CNVCardReader::Result m_result;
    KQCharsetDecoder m_charsets;
    bool m_fileWasUtf16 = false;
    bool m_inCard = false;
    Card m_card;
    QByteArray m_qp;
    QByteArray m_converted;
    std::vector<QByteArrayView> m_parts;
    std::vector<QByteArrayView> m_types;
    std::vector<QString> m_components;
    CNContactTextTable m_shared;
    struct RecentLabel
    {
        bool used = false;
        CNVCardValueKind kind{};
        QByteArray parameters;
        QString label;
    };
    std::array<RecentLabel, 16> m_recentLabels;
    size_t m_nextRecentLabel = 0;
};

CNVCardReader::Result Reader::run(const QByteArray& input)
{
    const QByteArray data = KQTextCodecs::fileToUtf8(input, &m_fileWasUtf16);
    CNVCardLexer lexer(data);
    CNVCardProperty p;
    while (lexer.next(p))
        property(p);
    if (m_inCard)
        problem(m_card.line, QStringLiteral("the card has no END:VCARD"));
    return std::move(m_result);
}

void Reader::problem(int line, const QString& text)
{
    CNError error = CNError::make(CNError::CorruptData, text);
    error.position = line;
    m_result.problems.push_back(std::move(error));
}

void Reader::fail(const CNVCardProperty& p, const QString& why)
{
    if (m_card.failure.isEmpty()) {
        m_card.failure = QStringLiteral("%1 in %2, the card is skipped").arg(why, QString::fromUtf8(p.name));
        m_card.failureLine = p.line;
    }
}

bool Reader::valueBytes(const CNVCardProperty& p, QByteArrayView& out)
{
    QByteArrayView raw = p.value;
    if (p.isQuotedPrintable()) {
        m_qp.clear();
        if (!CNVCardCodec::appendQuotedPrintable(raw, m_qp)) {
            fail(p, QStringLiteral("bad quoted-printable"));
            return false;
        }
        raw = m_qp;
    }
    const QByteArrayView charset = p.charset;
    if (!charset.isEmpty() && !m_fileWasUtf16) {
        m_converted.clear();
        if (!m_charsets.appendUtf8(raw, charset, m_converted)) {
            fail(p, QStringLiteral("unknown charset \"%1\"").arg(QString::fromUtf8(charset)));
            return false;
        }
        out = m_converted;
        return true;
    }
    if (KQTextCodecs::isValidUtf8(raw)) {
        out = raw;
        return true;
    }
    // Without a charset, 8-bit text that is no UTF-8 comes from the common Western code page.
    m_converted.clear();
    m_charsets.appendUtf8(raw, "WINDOWS-1252", m_converted);
    out = m_converted;
    return true;
}

bool Reader::rareText(const CNVCardProperty& p, QString CNContactRareFields::*field)
{
    QString value;
    if (!text(p, value))
        return false;
    m_card.d.setRare(field, std::move(value));
    return true;
}

bool Reader::text(const CNVCardProperty& p, QString& out)
{
    // Most values are plain ASCII: checked in one pass and widened without a second look.
    if (!p.quotedPrintable && p.charset.isEmpty()) {
        switch (CNVCardCodec::classify(p.value)) {
        case CNVCardCodec::TextKind::PlainAscii:
            out = p.value.isEmpty() ? QString() : QString::fromLatin1(p.value);
            return true;
        case CNVCardCodec::TextKind::EscapedAscii:
            out = CNVCardCodec::unescapeText(p.value);
            return true;
        case CNVCardCodec::TextKind::Other:
            break;
        }
    }
    QByteArrayView bytes;
    if (!valueBytes(p, bytes))
        return false;
    out = CNVCardCodec::unescapeText(bytes);
    return true;
}

bool Reader::components(const CNVCardProperty& p, std::vector<QString>& out, unsigned sharedParts)
{
    QByteArrayView bytes;
    if (!valueBytes(p, bytes))
        return false;
    CNVCardCodec::splitComponents(bytes, m_parts);
    out.clear();
    for (size_t i = 0; i < m_parts.size(); ++i)
        out.push_back(i < 32 && (sharedParts >> i) & 1 ? shared(m_parts[i]) : CNVCardCodec::unescapeText(m_parts[i]));
    return true;
}

QString Reader::shared(QByteArrayView utf8)
{
    // Names, companies, cities, regions, postal codes and countries repeat across the cards of a
    // file: equal short texts share one string.
    return m_shared.text(utf8, [](QByteArrayView bytes) { return CNVCardCodec::unescapeText(bytes); });
}

QString Reader::typeLabel(const CNVCardProperty& p, CNVCardValueKind kind)
{
    // The cards of a file use a few parameter texts over and over ("TYPE=CELL"): the label of
    // each recent one is kept rather than worked out again.
    for (const RecentLabel& recent : m_recentLabels) {
        if (recent.used && recent.kind == kind && recent.parameters == p.parameterText)
            return recent.label;
    }
    p.types(m_types);
    QString label = CNVCardLabelForTypes(kind, m_types);
    RecentLabel& slot = m_recentLabels[m_nextRecentLabel];
    m_nextRecentLabel = (m_nextRecentLabel + 1) % m_recentLabels.size();
    slot = {true, kind, p.parameterText.toByteArray(), label};
    return label;
}

void Reader::photo(const CNVCardProperty& p)
{
    if (m_card.havePhoto)
        return;
    QByteArray image;
    QByteArrayView value = p.value.trimmed();
    if (p.isBase64()) {
        if (!CNVCardCodec::appendBase64(value, image))
            return fail(p, QStringLiteral("bad base64"));
    } else if (value.size() > 5 && is(value.first(5), "data:")) {
        // data:image/png;base64,... (some writers escape the comma)
        const qsizetype marker = value.indexOf(";base64");
        if (marker < 0)
            return;
        qsizetype start = marker + 7;
        if (value.sliced(start).startsWith("\\,"))
            ++start;
        if (start >= value.size() || value[start] != ',')
            return;
        if (!CNVCardCodec::appendBase64(value.sliced(start + 1), image))
            return fail(p, QStringLiteral("bad base64"));
    } else if (value.indexOf(':') < 0) {
        // Bare base64 without an ENCODING parameter; anything else is a link we do not follow.
        if (!CNVCardCodec::appendBase64(value, image))
            image.clear();
    }
    if (!image.isEmpty()) {
        // Decoding grows the buffer in steps: the contact keeps an exact copy.
        m_card.d.imageData = QByteArray(image.constData(), image.size());
        m_card.havePhoto = true;
    }
}

void Reader::instantMessage(const CNVCardProperty& p, const QString& service, QString username)
{
    if (!username.isEmpty())
        add(m_card.messaging, p, typeLabel(p, CNVCardValueKind::InstantMessage),
            CNInstantMessageAddress(std::move(username), service));
}

void Reader::property(const CNVCardProperty& p)
{
    const std::optional<Prop> prop = propertyFor(p.name);

    if (prop == Prop::Begin && is(p.value.trimmed(), "VCARD")) {
        if (m_inCard)
            problem(m_card.line, QStringLiteral("the card has no END:VCARD before the next card"));
        m_card.reset(p.line);
        m_inCard = true;
        return;
    }
    if (!m_inCard) {
        problem(p.line, QStringLiteral("text outside a card"));
        return;
    }
    // A line without a colon has no value to read.
    if (!p.hasValue)
        return;
    if (!prop) {
        // Old KDE messaging fields: X-messaging/xmpp-All, several handles split by U+E000.
        if (p.name.size() > 12 && is(p.name.first(12), "X-MESSAGING/")) {
            QByteArrayView kind = p.name.sliced(12);
            kind = kind.first(kind.indexOf('-') < 0 ? kind.size() : kind.indexOf('-'));
            const QString service = CNVCardInstantMessageServiceForScheme(kind);
            QString value;
            if (!service.isEmpty() && text(p, value)) {
                for (const QString& handle : value.split(QChar(0xE000), Qt::SkipEmptyParts))
                    instantMessage(p, service, handle);
            }
            return;
        }
        const QString service = CNVCardInstantMessageServiceForProperty(p.name);
        QString value;
        if (!service.isEmpty() && text(p, value))
            instantMessage(p, service, value);
        return;
    }

    QString value;
    std::vector<QString>& parts = m_components;
    switch (*prop) {
    case Prop::Begin:
        return;
    case Prop::Version:
        m_card.version4 = is(p.value.trimmed(), "4.0");
        return;
    case Prop::End:
        if (is(p.value.trimmed(), "VCARD")) {
            finishCard(m_card);
            m_inCard = false;
        }
        return;
    case Prop::N:
        if (m_card.haveN || !components(p, parts))
            return;
        parts.resize(std::max<size_t>(parts.size(), 5));
        m_card.d.familyName = parts[0];
        m_card.d.givenName = parts[1];
        m_card.d.setRare(&CNContactRareFields::middleName, parts[2]);
        m_card.d.setRare(&CNContactRareFields::namePrefix, parts[3]);
        m_card.d.setRare(&CNContactRareFields::nameSuffix, parts[4]);
        m_card.haveN = true;
        return;
    case Prop::FN:
        // Only needed for a card without a name.
        if (m_card.formattedName.isEmpty() && (!m_card.haveN || m_card.nameless()))
            text(p, m_card.formattedName);
        return;
    case Prop::Nickname:
        if (!m_card.haveNickname && rareText(p, &CNContactRareFields::nickname))
            m_card.haveNickname = true;
        return;
    case Prop::Org:
        if (m_card.haveOrg || !components(p, parts))
            return;
        m_card.d.organizationName = parts[0];
        for (size_t i = 1; i < parts.size(); ++i) {
            if (parts[i].isEmpty())
                continue;
            if (!m_card.d.departmentName.isEmpty())
                m_card.d.departmentName.append(QLatin1String(", "));
            m_card.d.departmentName.append(parts[i]);
        }
        m_card.haveOrg = true;
        return;
    case Prop::Title:
        if (!m_card.haveTitle && text(p, m_card.d.jobTitle))
            m_card.haveTitle = true;
        return;
    case Prop::Birthday:
    case Prop::AltBirthday: {
        const bool alternate = *prop == Prop::AltBirthday;
        bool& have = alternate ? m_card.haveAltBirthday : m_card.haveBirthday;
        QByteArrayView bytes;
        if (have || !valueBytes(p, bytes))
            return;
        auto date = parseDate(bytes);
        if (!date)
            return;
        if (alternate) {
            date->calendarIdentifier = CNVCardCodec::decodeParameter(p.parameter("CALSCALE")).toLower();
            m_card.d.setRare(&CNContactRareFields::nonGregorianBirthday, date);
        } else {
            m_card.d.setRare(&CNContactRareFields::birthday, date);
        }
        have = true;
        return;
    }
    case Prop::Anniversary:
    case Prop::Date: {
        QByteArrayView bytes;
        if (!valueBytes(p, bytes))
            return;
        if (const auto date = parseDate(bytes)) {
            add(m_card.dates, p,
                *prop == Prop::Anniversary ? CNLabelDateAnniversary : typeLabel(p, CNVCardValueKind::Date), *date);
        }
        return;
    }
    case Prop::Tel:
        if (text(p, value)) {
            // A tel: URI only where the value is one; elsewhere the text is the user's as written.
            if ((m_card.version4 || is(p.parameter("VALUE"), "uri")) &&
                value.startsWith(QLatin1String("tel:"), Qt::CaseInsensitive))
                value.remove(0, 4);
            if (!value.isEmpty())
                add(m_card.phones, p, typeLabel(p, CNVCardValueKind::Phone), CNPhoneNumber(value));
        }
        return;
    case Prop::Email:
        if (text(p, value) && !value.isEmpty())
            add(m_card.emails, p, typeLabel(p, CNVCardValueKind::Email), value);
        return;
    case Prop::Url:
        if (text(p, value) && !value.isEmpty())
            add(m_card.urls, p, typeLabel(p, CNVCardValueKind::Url), value);
        return;
    case Prop::Adr: {
        // The street is the card's own; locality, region, postal code and country repeat.
        if (!components(p, parts, 0x78u))
            return;
        parts.resize(std::max<size_t>(parts.size(), 7));
        CNPostalAddress address;
        address.street = joinNonEmpty({&parts[0], &parts[1], &parts[2]}, QLatin1Char('\n'));
        address.city = parts[3];
        address.state = parts[4];
        address.postalCode = parts[5];
        address.country = parts[6];
        address.subLocality = CNVCardCodec::decodeParameter(p.parameter("X-SUBLOCALITY"));
        address.subAdministrativeArea = CNVCardCodec::decodeParameter(p.parameter("X-SUBADMINISTRATIVEAREA"));
        if (!address.isEmpty())
            add(m_card.addresses, p, typeLabel(p, CNVCardValueKind::Address), address);
        return;
    }
    case Prop::Note:
        if (text(p, value) && !value.isEmpty()) {
            if (!m_card.d.note.isEmpty())
                m_card.d.note.append(QLatin1Char('\n'));
            m_card.d.note.append(value);
        }
        return;
    case Prop::Photo:
        photo(p);
        return;
    case Prop::Uid:
        // The first UID names the card; a "urn:uuid:" prefix is part of it and kept as written.
        if (m_card.d.cardUID.isEmpty() && text(p, value))
            m_card.d.cardUID = value.trimmed();
        return;
    case Prop::Label:
    case Prop::LabelAdr:
        if (!p.group.isEmpty() && text(p, value)) {
            auto& list = *prop == Prop::Label ? m_card.groupLabels : m_card.groupCountries;
            list.emplace_back(p.group.toByteArray(), value);
        }
        return;
    case Prop::RelatedName:
    case Prop::Related:
        if (text(p, value) && !value.isEmpty())
            add(m_card.relations, p, typeLabel(p, CNVCardValueKind::Relation), CNContactRelation(value));
        return;
    case Prop::Spouse:
    case Prop::Manager:
    case Prop::Assistant:
        if (text(p, value) && !value.isEmpty()) {
            const QString& label = *prop == Prop::Spouse    ? CNLabelContactRelationSpouse
                                   : *prop == Prop::Manager ? CNLabelContactRelationManager
                                                            : CNLabelContactRelationAssistant;
            add(m_card.relations, p, label, CNContactRelation(value));
        }
        return;
    case Prop::Impp: {
        if (!text(p, value))
            return;
        // A URI: the scheme names the service unless X-SERVICE-TYPE does.
        qsizetype colon = value.indexOf(QLatin1Char(':'));
        for (qsizetype i = 0; i < colon; ++i) {
            const QChar c = value[i];
            const bool schemeChar =
                c.isLetter() ||
                (i > 0 && (c.isDigit() || c == QLatin1Char('+') || c == QLatin1Char('-') || c == QLatin1Char('.')));
            if (c.unicode() > 0x7F || !schemeChar) {
                colon = -1;
                break;
            }
        }
        const QByteArray scheme = colon > 0 ? value.first(colon).toLatin1() : QByteArray();
        const QByteArrayView serviceType = p.parameter("X-SERVICE-TYPE");
        const QString service = serviceType.isEmpty()
                                    ? CNVCardInstantMessageServiceForScheme(scheme)
                                    : CNVCardInstantMessageServiceForName(CNVCardCodec::decodeParameter(serviceType));
        instantMessage(p, service, colon > 0 ? value.sliced(colon + 1) : value);
        return;
    }
    case Prop::Social: {
        if (!text(p, value))
            return;
        CNSocialProfile profile;
        profile.urlString = value;
        profile.username = CNVCardCodec::decodeParameter(p.parameter("X-USER"));
        profile.userIdentifier = CNVCardCodec::decodeParameter(p.parameter("X-USERID"));
        QByteArrayView service = p.parameter("X-SERVICE-TYPE");
        if (service.isEmpty()) {
            p.types(m_types);
            for (const QByteArrayView t : m_types) {
                if (!CNVCardIsQualifierType(t)) {
                    service = t;
                    break;
                }
            }
        }
        profile.service = CNVCardSocialProfileServiceForName(CNVCardCodec::decodeParameter(service));
        // The list's label names the service: an edit of the entry takes its service from the label.
        if (!profile.urlString.isEmpty() || !profile.username.isEmpty() || !profile.userIdentifier.isEmpty())
            add(m_card.profiles, p, profile.service, profile);
        return;
    }
    case Prop::PhoneticGiven:
        rareText(p, &CNContactRareFields::phoneticGivenName);
        return;
    case Prop::PhoneticMiddle:
        rareText(p, &CNContactRareFields::phoneticMiddleName);
        return;
    case Prop::PhoneticFamily:
        rareText(p, &CNContactRareFields::phoneticFamilyName);
        return;
    case Prop::PhoneticOrg:
        rareText(p, &CNContactRareFields::phoneticOrganizationName);
        return;
    case Prop::MaidenName:
        rareText(p, &CNContactRareFields::previousFamilyName);
        return;
    case Prop::Kind: {
        const QByteArrayView kind = p.value.trimmed();
        if (is(kind, "group"))
            m_card.isGroup = true;
        else if (is(kind, "org") || is(kind, "organization"))
            m_card.organization = true;
        return;
    }
    case Prop::ShowAs:
        if (is(p.value.trimmed(), "COMPANY"))
            m_card.organization = true;
        return;
    }
}

template <typename T> std::vector<CNLabeledValue<T>> Reader::resolve(std::vector<Pending<T>>& list)
{
    std::vector<CNLabeledValue<T>> out;
    out.reserve(list.size());
    for (Pending<T>& item : list) {
        if (!item.group.isEmpty()) {
            for (const auto& [group, label] : m_card.groupLabels) {
                if (group.compare(item.group, Qt::CaseInsensitive) == 0) {
                    item.label = label;
                    break;
                }
            }
        }
        out.emplace_back(std::move(item.label), std::move(item.value));
    }
    return out;
}

void Reader::finishCard(Card& card)
{
    if (!card.failure.isEmpty()) {
        problem(card.failureLine, card.failure);
        return;
    }
    if (card.isGroup)
        return;
    CNContactData& d = card.d;
    d.identifier = CNMakeIdentifier();
    d.contactType = card.organization ? CNContactType::Organization : CNContactType::Person;
    const QString fn = card.formattedName.trimmed();
    if (card.nameless() && !card.organization && !fn.isEmpty() && fn != d.organizationName.trimmed()) {
        const qsizetype space = fn.lastIndexOf(QLatin1Char(' '));
        if (space > 0) {
            d.givenName = fn.first(space).trimmed();
            d.familyName = fn.sliced(space + 1);
        } else {
            d.givenName = fn;
        }
    }
    for (auto& item : card.addresses) {
        for (const auto& [group, code] : card.groupCountries) {
            // Only a country code; some writers put a whole address text here.
            if (group.compare(item.group, Qt::CaseInsensitive) == 0 && code.size() >= 2 && code.size() <= 3 &&
                std::all_of(code.begin(), code.end(), [](QChar c) { return c.unicode() < 0x80 && c.isLetter(); }))
                item.value.isoCountryCode = code;
        }
    }
    d.phoneNumbers = resolve(card.phones);
    d.emailAddresses = resolve(card.emails);
    d.postalAddresses = resolve(card.addresses);
    d.setRare(&CNContactRareFields::dates, resolve(card.dates));
    d.setRare(&CNContactRareFields::urlAddresses, resolve(card.urls));
    d.setRare(&CNContactRareFields::contactRelations, resolve(card.relations));
    d.setRare(&CNContactRareFields::socialProfiles, resolve(card.profiles));
    d.setRare(&CNContactRareFields::instantMessageAddresses, resolve(card.messaging));
    m_result.contacts.push_back(
        CNContact::make(CNAllKeysSet(), [&d](CNContactData& data, CNKeySet&) { data = std::move(d); }));
}

} // namespace

CNVCardReader::Result CNVCardReader::read(const QByteArray& data)
{
    Reader reader;
    return reader.run(data);
}
