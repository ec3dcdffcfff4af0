#include "platform/CNPostalAddressFormatter.h"

#include "platform/CNContactKeys.h"

#include <QHash>
#include <QLocale>
#include <QStringList>
#include <array>
#include <optional>

namespace {

// Layouts shared by many countries.
constexpr char kZipCity[] = "street\npostalCode city\ncountry";
constexpr char kZipCityState[] = "street\npostalCode city state\ncountry";
constexpr char kZipCityThenState[] = "street\npostalCode city\nstate\ncountry";
constexpr char kZipThenCity[] = "street\npostalCode\ncity\ncountry";
constexpr char kCityZip[] = "street\ncity postalCode\ncountry";
constexpr char kCityThenZip[] = "street\ncity\npostalCode\ncountry";
constexpr char kCityStateZip[] = "street\ncity state postalCode\ncountry";
constexpr char kCityStateThenZip[] = "street\ncity state\npostalCode\ncountry";
constexpr char kCityStateLines[] = "street\ncity\nstate\npostalCode\ncountry";
constexpr char kCityOnly[] = "street\ncity\ncountry";
constexpr char kBritish[] = "street\nsubLocality\ncity\nsubAdministrativeArea\npostalCode\ncountry";
constexpr char kFallback[] = "street\nsubLocality\ncity state postalCode\ncountry";

struct Row
{
    const char* code;
    const char* alpha3;
    const char* layout;
};

constexpr Row kRows[] = {
    // European Union
    {"AT", "AUT", kZipCity},
    {"BE", "BEL", kZipCity},
    {"BG", "BGR", kZipCity},
    {"HR", "HRV", kZipCity},
    {"CY", "CYP", kZipCity},
    {"CZ", "CZE", kZipCity},
    {"DK", "DNK", kZipCity},
    {"EE", "EST", kZipCityThenState},
    {"FI", "FIN", kZipCity},
    {"FR", "FRA", kZipCity},
    {"DE", "DEU", kZipCity},
    {"GR", "GRC", kZipCity},
    {"HU", "HUN", "city\nstreet\npostalCode\ncountry"},
    {"IE", "IRL", "street\nsubLocality\ncity\nstate\npostalCode\ncountry"},
    {"IT", "ITA", kZipCityState},
    {"LV", "LVA", kCityZip},
    {"LT", "LTU", kZipCity},
    {"LU", "LUX", kZipCity},
    {"MT", "MLT", kCityZip},
    {"NL", "NLD", kZipCity},
    {"PL", "POL", kZipCity},
    {"PT", "PRT", kZipCity},
    {"RO", "ROU", kZipCityThenState},
    {"SK", "SVK", kZipCity},
    {"SI", "SVN", kZipCity},
    {"ES", "ESP", kZipCityState},
    {"SE", "SWE", kZipCity},
    // Rest of Europe and the Caucasus
    {"GB", "GBR", kBritish},
    {"GG", "GGY", kCityThenZip},
    {"JE", "JEY", kCityThenZip},
    {"IM", "IMN", kCityThenZip},
    {"GI", "GIB", kCityThenZip},
    {"CH", "CHE", kZipCity},
    {"LI", "LIE", kZipCity},
    {"NO", "NOR", kZipCity},
    {"IS", "ISL", kZipCity},
    {"FO", "FRO", kZipCity},
    {"GL", "GRL", kZipCity},
    {"AX", "ALA", kZipCity},
    {"AD", "AND", kZipCity},
    {"MC", "MCO", kZipCity},
    {"SM", "SMR", kZipCity},
    {"VA", "VAT", kZipCity},
    {"AL", "ALB", kZipCity},
    {"BA", "BIH", kZipCity},
    {"ME", "MNE", kZipCity},
    {"MK", "MKD", kZipCity},
    {"RS", "SRB", kZipCity},
    {"XK", "XKX", kZipCity},
    {"MD", "MDA", kZipCity},
    {"BY", "BLR", "state\npostalCode city\nstreet\ncountry"},
    {"UA", "UKR", kCityStateLines},
    {"RU", "RUS", kCityStateLines},
    {"TR", "TUR", kZipCityState},
    {"GE", "GEO", kZipCity},
    {"AM", "ARM", "street\npostalCode\ncity\nstate\ncountry"},
    {"AZ", "AZE", kZipCity},
    // Americas
    {"US", "USA", kCityStateZip},
    {"PR", "PRI", kCityStateZip},
    {"VI", "VIR", kCityStateZip},
    {"GU", "GUM", kCityStateZip},
    {"AS", "ASM", kCityStateZip},
    {"MP", "MNP", kCityStateZip},
    {"CA", "CAN", kCityStateZip},
    {"MX", "MEX", "street\nsubLocality\npostalCode city state\ncountry"},
    {"GT", "GTM", kZipCity},
    {"HN", "HND", kCityStateThenZip},
    {"SV", "SLV", kZipCityThenState},
    {"NI", "NIC", "street\npostalCode\ncity state\ncountry"},
    {"CR", "CRI", "street\nstate city\npostalCode\ncountry"},
    {"PA", "PAN", "street\ncity\nstate\ncountry"},
    {"CU", "CUB", kCityStateThenZip},
    {"DO", "DOM", kZipCity},
    {"HT", "HTI", kZipCity},
    {"JM", "JAM", "street\ncity\nstate\ncountry"},
    {"BS", "BHS", "street\ncity state\ncountry"},
    {"TT", "TTO", kCityOnly},
    {"BR", "BRA", "street\nsubLocality\ncity state\npostalCode\ncountry"},
    {"AR", "ARG", kZipCityThenState},
    {"CL", "CHL", kZipCityThenState},
    {"CO", "COL", "street\nsubLocality\ncity state postalCode\ncountry"},
    {"VE", "VEN", "street\ncity postalCode state\ncountry"},
    {"PE", "PER", "street\nsubLocality\ncity postalCode\nstate\ncountry"},
    {"EC", "ECU", kZipThenCity},
    {"BO", "BOL", kCityOnly},
    {"PY", "PRY", kZipCity},
    {"UY", "URY", kZipCityState},
    // Asia
    {"CN", "CHN", "postalCode\nstate city subLocality\nstreet\ncountry"},
    {"JP", "JPN", "postalCode\nstate city subLocality\nstreet\ncountry"},
    {"KR", "KOR", "state city subLocality\nstreet\npostalCode\ncountry"},
    {"KP", "PRK", "postalCode\nstate\ncity\nstreet\ncountry"},
    {"TW", "TWN", "postalCode\nstate city subLocality\nstreet\ncountry"},
    {"HK", "HKG", "street\nsubLocality\ncity\nstate\ncountry"},
    {"MO", "MAC", kCityOnly},
    {"MN", "MNG", "street\ncity\nstate postalCode\ncountry"},
    {"IN", "IND", "street\nsubLocality\ncity postalCode\nstate\ncountry"},
    {"PK", "PAK", "street\nsubLocality\ncity postalCode\ncountry"},
    {"BD", "BGD", "street\nsubLocality\ncity postalCode\ncountry"},
    {"NP", "NPL", kCityZip},
    {"LK", "LKA", kCityThenZip},
    {"MV", "MDV", kCityZip},
    {"AF", "AFG", kCityThenZip},
    {"ID", "IDN", "street\nsubLocality\ncity\nstate postalCode\ncountry"},
    {"PH", "PHL", "street\nsubLocality city\npostalCode state\ncountry"},
    {"VN", "VNM", "street\nsubLocality\ncity\nstate postalCode\ncountry"},
    {"TH", "THA", "street\nsubLocality city\nstate postalCode\ncountry"},
    {"MY", "MYS", "street\nsubLocality\npostalCode city\nstate\ncountry"},
    {"SG", "SGP", kCityZip},
    {"BN", "BRN", kCityZip},
    {"MM", "MMR", kCityZip},
    {"KH", "KHM", kCityZip},
    {"LA", "LAO", kZipCity},
    {"TL", "TLS", kCityOnly},
    {"KZ", "KAZ", "postalCode\nstate\ncity\nstreet\ncountry"},
    {"UZ", "UZB", kZipCityThenState},
    {"KG", "KGZ", kZipCity},
    {"TJ", "TJK", kZipCity},
    {"TM", "TKM", kZipCity},
    {"IR", "IRN", "state\ncity subLocality\nstreet\npostalCode\ncountry"},
    {"IQ", "IRQ", kCityStateThenZip},
    {"SA", "SAU", "street\nsubLocality\ncity postalCode\ncountry"},
    {"AE", "ARE", "street\ncity\nstate\ncountry"},
    {"QA", "QAT", kCityOnly},
    {"KW", "KWT", kZipCity},
    {"BH", "BHR", kCityZip},
    {"OM", "OMN", kZipThenCity},
    {"YE", "YEM", kCityOnly},
    {"SY", "SYR", kCityOnly},
    {"JO", "JOR", kCityZip},
    {"PS", "PSE", kCityOnly},
    {"LB", "LBN", kCityZip},
    {"IL", "ISR", kCityZip},
    // Africa
    {"EG", "EGY", kCityStateLines},
    {"LY", "LBY", kCityOnly},
    {"TN", "TUN", kZipCity},
    {"DZ", "DZA", kZipCity},
    {"MA", "MAR", kZipCity},
    {"SD", "SDN", kCityThenZip},
    {"SS", "SSD", kCityOnly},
    {"ET", "ETH", kZipCity},
    {"ER", "ERI", kCityOnly},
    {"DJ", "DJI", kCityOnly},
    {"SO", "SOM", kCityStateZip},
    {"KE", "KEN", kCityThenZip},
    {"UG", "UGA", kCityOnly},
    {"TZ", "TZA", kZipCity},
    {"RW", "RWA", kCityOnly},
    {"BI", "BDI", kCityOnly},
    {"NG", "NGA", "street\nsubLocality\ncity postalCode\nstate\ncountry"},
    {"GH", "GHA", kCityOnly},
    {"CI", "CIV", kCityOnly},
    {"SN", "SEN", kZipCity},
    {"ML", "MLI", kCityOnly},
    {"BF", "BFA", kCityOnly},
    {"NE", "NER", kZipCity},
    {"TD", "TCD", kCityOnly},
    {"MR", "MRT", kCityOnly},
    {"GN", "GIN", "postalCode street city\ncountry"},
    {"GW", "GNB", kZipCity},
    {"SL", "SLE", kCityOnly},
    {"LR", "LBR", kZipCity},
    {"GM", "GMB", kCityOnly},
    {"CV", "CPV", kZipCityThenState},
    {"BJ", "BEN", kCityOnly},
    {"TG", "TGO", kCityOnly},
    {"CM", "CMR", kCityOnly},
    {"CF", "CAF", kCityOnly},
    {"GA", "GAB", kCityOnly},
    {"GQ", "GNQ", kCityOnly},
    {"CG", "COG", kCityOnly},
    {"CD", "COD", kCityOnly},
    {"ST", "STP", kCityOnly},
    {"AO", "AGO", kCityOnly},
    {"ZM", "ZMB", kZipCity},
    {"MW", "MWI", kCityOnly},
    {"MZ", "MOZ", kZipCityThenState},
    {"ZW", "ZWE", kCityOnly},
    {"BW", "BWA", kCityOnly},
    {"NA", "NAM", kCityThenZip},
    {"ZA", "ZAF", "street\nsubLocality\ncity\npostalCode\ncountry"},
    {"LS", "LSO", kCityZip},
    {"SZ", "SWZ", kCityThenZip},
    {"MG", "MDG", kZipCity},
    {"MU", "MUS", kZipThenCity},
    {"SC", "SYC", "street\ncity\nstate\ncountry"},
    {"KM", "COM", kCityOnly},
    // Oceania
    {"AU", "AUS", kCityStateZip},
    {"NZ", "NZL", "street\nsubLocality\ncity postalCode\ncountry"},
    {"PG", "PNG", "street\ncity postalCode state\ncountry"},
    {"FJ", "FJI", kCityOnly},
    {"SB", "SLB", kCityOnly},
    {"VU", "VUT", kCityOnly},
    {"WS", "WSM", kCityOnly},
    {"TO", "TON", kCityOnly},
    // French overseas departments and collectivities use the French layout
    {"GP", "GLP", kZipCity},
    {"MQ", "MTQ", kZipCity},
    {"GF", "GUF", kZipCity},
    {"RE", "REU", kZipCity},
    {"YT", "MYT", kZipCity},
    {"PM", "SPM", kZipCity},
    {"BL", "BLM", kZipCity},
    {"MF", "MAF", kZipCity},
    {"NC", "NCL", kZipCity},
    {"PF", "PYF", kZipCityState},
    {"WF", "WLF", kZipCity},
    // Dutch Caribbean: no postal codes
    {"AW", "ABW", kCityOnly},
    {"CW", "CUW", kCityOnly},
    {"SX", "SXM", kCityOnly},
    {"BQ", "BES", kCityOnly},
};

enum class Field
{
    Street,
    SubLocality,
    City,
    SubAdministrativeArea,
    State,
    PostalCode,
    Country,
};

using Layout = QList<QList<Field>>;

std::optional<Field> fieldForKey(const QString& key)
{
    static const std::array<std::pair<const QString*, Field>, 7> keys{{
        {&CNPostalAddressStreetKey, Field::Street},
        {&CNPostalAddressSubLocalityKey, Field::SubLocality},
        {&CNPostalAddressCityKey, Field::City},
        {&CNPostalAddressSubAdministrativeAreaKey, Field::SubAdministrativeArea},
        {&CNPostalAddressStateKey, Field::State},
        {&CNPostalAddressPostalCodeKey, Field::PostalCode},
        {&CNPostalAddressCountryKey, Field::Country},
    }};
    for (const auto& [name, field] : keys) {
        if (*name == key)
            return field;
    }
    return std::nullopt;
}

// Unknown names cannot occur: a test validates every template of the table.
Layout parseLayout(const QString& text)
{
    Layout layout;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        QList<Field> fields;
        for (const QString& key : line.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            if (const auto field = fieldForKey(key))
                fields.append(*field);
        }
        layout.append(fields);
    }
    return layout;
}

const QString& valueOf(const CNPostalAddress& address, Field field)
{
    switch (field) {
    case Field::Street:
        return address.street;
    case Field::SubLocality:
        return address.subLocality;
    case Field::City:
        return address.city;
    case Field::SubAdministrativeArea:
        return address.subAdministrativeArea;
    case Field::State:
        return address.state;
    case Field::PostalCode:
        return address.postalCode;
    case Field::Country:
        break;
    }
    return address.country;
}

struct Formats
{
    QList<CNPostalAddressFormatter::CountryFormat> rows;
    QHash<QString, Layout> layoutByCode; // alpha-2 and alpha-3
    QHash<QString, QString> textByCode;
    Layout fallback = parseLayout(QString::fromLatin1(kFallback));

    Formats()
    {
        for (const Row& row : kRows) {
            const CNPostalAddressFormatter::CountryFormat format{
                QString::fromLatin1(row.code), QString::fromLatin1(row.alpha3), QString::fromLatin1(row.layout)};
            rows.append(format);
            const Layout layout = parseLayout(format.layout);
            for (const QString& code : {format.code, format.alpha3Code}) {
                layoutByCode.insert(code, layout);
                textByCode.insert(code, format.layout);
            }
        }
    }
};

const Formats& formats()
{
    static const Formats instance;
    return instance;
}

QString normalizedCode(const QString& isoCountryCode)
{
    const QString code = isoCountryCode.trimmed().toUpper();
    if (!code.isEmpty())
        return code;
    return QLocale::territoryToCode(QLocale::system().territory());
}

} // namespace

QString CNPostalAddressFormatter::stringFromPostalAddress(const CNPostalAddress& address,
                                                          CNPostalAddressFormatterStyle style)
{
    Q_UNUSED(style) // mailing address is the only style
    const Formats& all = formats();
    const Layout& layout = all.layoutByCode.value(normalizedCode(address.isoCountryCode), all.fallback);

    QStringList lines;
    for (const QList<Field>& fieldsOnLine : layout) {
        QStringList values;
        for (const Field field : fieldsOnLine) {
            const QString value = valueOf(address, field).trimmed();
            if (!value.isEmpty())
                values.append(value);
        }
        // A multi-line street keeps its breaks; its blank lines go like any other empty line.
        QString text = values.join(QLatin1Char(' '));
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
        for (const QString& line : text.split(QLatin1Char('\n'))) {
            const QString trimmed = line.trimmed();
            if (!trimmed.isEmpty())
                lines.append(trimmed);
        }
    }
    return lines.join(QLatin1Char('\n'));
}

QString CNPostalAddressFormatter::layoutForCountryCode(const QString& isoCountryCode)
{
    return formats().textByCode.value(normalizedCode(isoCountryCode), fallbackLayout());
}

QString CNPostalAddressFormatter::fallbackLayout()
{
    return QString::fromLatin1(kFallback);
}

const QList<CNPostalAddressFormatter::CountryFormat>& CNPostalAddressFormatter::countryFormats()
{
    return formats().rows;
}
