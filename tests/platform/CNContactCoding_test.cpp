#include "platform/CNMutableContact.h"
#include "KQTestCoding.h"
#include "KQTestPython.h"
#include "KQTestUtil.h"

#include <functional>
#include <gtest/gtest.h>
#include <ostream>
#include <random>

namespace {

CNDateComponents date(std::optional<int> year, int month, int day, const QString& calendar = QString())
{
    CNDateComponents parts;
    parts.year = year;
    parts.month = month;
    parts.day = day;
    parts.calendarIdentifier = calendar;
    return parts;
}

CNPostalAddress address(const QString& street, const QString& city, const QString& country)
{
    CNPostalAddress a;
    a.street = street;
    a.subLocality = QStringLiteral("Altstadt");
    a.city = city;
    a.subAdministrativeArea = QString();
    a.state = QStringLiteral("BY");
    a.postalCode = QStringLiteral("80331");
    a.country = country;
    a.isoCountryCode = QStringLiteral("de");
    return a;
}

std::shared_ptr<CNMutableContact> fullContact(bool withBirthday)
{
    auto c = std::make_shared<CNMutableContact>();
    c->setContactType(CNContactType::Organization);
    c->setNamePrefix(QStringLiteral("Dr."));
    c->setGivenName(QStringLiteral("Иван"));
    c->setMiddleName(QString());
    c->setFamilyName(QStringLiteral("山田"));
    c->setPreviousFamilyName(QStringLiteral("Ñúñez"));
    c->setNameSuffix(QStringLiteral("Jr."));
    c->setNickname(QStringLiteral("🦊 fox"));
    c->setOrganizationName(QStringLiteral("Acme & Söhne"));
    c->setDepartmentName(QStringLiteral("R&D"));
    c->setJobTitle(QStringLiteral("Engineer"));
    c->setPhoneticGivenName(QStringLiteral("Ivan"));
    c->setPhoneticMiddleName(QString());
    c->setPhoneticFamilyName(QStringLiteral("やまだ"));
    c->setPhoneticOrganizationName(QStringLiteral("akume"));
    if (withBirthday)
        c->setBirthday(date(std::nullopt, 2, 29));
    else
        c->setBirthday(std::nullopt);
    c->setNonGregorianBirthday(date(4784, 1, 15, CNCalendarIdentifierChinese));
    c->setNote(QStringLiteral("line one\nline two\ttab \"quoted\" <b>"));
    c->setImageData(QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
    c->setThumbnailImageData(QByteArray(300, '\xee'));
    c->setPhoneNumbers(
        {CNLabeledValue<CNPhoneNumber>(CNLabelHome, CNPhoneNumber(QStringLiteral("+49 89 123456"))),
         CNLabeledValue<CNPhoneNumber>(QStringLiteral("Boot"), CNPhoneNumber(QStringLiteral("+49 89 123456"))),
         CNLabeledValue<CNPhoneNumber>(QString(), CNPhoneNumber(QString()))});
    c->setEmailAddresses({CNLabeledValue<QString>(CNLabelWork, QStringLiteral("ivan@example.org")),
                          CNLabeledValue<QString>(CNLabelHome, QStringLiteral("иван@пример.рф"))});
    c->setPostalAddresses({CNLabeledValue<CNPostalAddress>(CNLabelHome, address(QStringLiteral("Marienplatz 1\nHof"),
                                                                                QStringLiteral("München"),
                                                                                QStringLiteral("Deutschland"))),
                           CNLabeledValue<CNPostalAddress>(CNLabelWork, CNPostalAddress())});
    CNDateComponents anniversary = date(2010, 6, 1);
    anniversary.hour = 14;
    anniversary.minute = 30;
    c->setDates({CNLabeledValue<CNDateComponents>(CNLabelDateAnniversary, anniversary),
                 CNLabeledValue<CNDateComponents>(CNLabelOther, date(std::nullopt, 12, 24))});
    c->setUrlAddresses({CNLabeledValue<QString>(CNLabelHome, QStringLiteral("https://example.org/~ivan?q=1&r=2"))});
    c->setContactRelations(
        {CNLabeledValue<CNContactRelation>(CNLabelContactRelationMother, CNContactRelation(QStringLiteral("Анна"))),
         CNLabeledValue<CNContactRelation>(QStringLiteral("friend"), CNContactRelation(QString()))});
    c->setSocialProfiles(
        {CNLabeledValue<CNSocialProfile>(QString(), CNSocialProfile(QStringLiteral("https://social.example/ivan"),
                                                                    QStringLiteral("ivan"), QStringLiteral("12345"),
                                                                    QStringLiteral("Example"))),
         CNLabeledValue<CNSocialProfile>(QString(), CNSocialProfile())});
    c->setInstantMessageAddresses(
        {CNLabeledValue<CNInstantMessageAddress>(
             CNLabelHome, CNInstantMessageAddress(QStringLiteral("ivan"), QStringLiteral("Jabber"))),
         CNLabeledValue<CNInstantMessageAddress>(
             CNLabelWork, CNInstantMessageAddress(QStringLiteral("i.y"), QStringLiteral("Skype")))});
    return c;
}

CNContactPtr unarchive(const QByteArray& data, CNError* error = nullptr)
{
    return std::dynamic_pointer_cast<CNContact>(
        KQKeyedUnarchiver::unarchivedObjectOfClasses(CNContact::archiveClasses(), data, error));
}

struct RoundTripCase
{
    const char* name;
    std::function<CNContactPtr()> make;
    bool isMutable;
};

void PrintTo(const RoundTripCase& c, std::ostream* os)
{
    *os << c.name;
}

class CNContactCodingRoundTrip : public ::testing::TestWithParam<RoundTripCase>
{
};

TEST_P(CNContactCodingRoundTrip, DecodesEqualWithTheSameKeysAndClass)
{
    const CNContactPtr original = GetParam().make();
    CNError error;
    const CNContactPtr decoded = unarchive(KQKeyedArchiver::archivedDataWithRootObject(*original), &error);
    ASSERT_TRUE(decoded) << error.localizedDescription.toStdString();
    EXPECT_TRUE(*decoded == *original);
    EXPECT_EQ(decoded->availableKeys(), original->availableKeys());
    EXPECT_EQ(decoded->identifier(), original->identifier());
    EXPECT_EQ(dynamic_cast<CNMutableContact*>(decoded.get()) != nullptr, GetParam().isMutable);
    // Field by field too, so that a failure says which one differs.
    const CNContactData& a = decoded->data();
    const CNContactData& b = original->data();
    EXPECT_EQ(a.givenName, b.givenName);
    EXPECT_EQ(a.familyName, b.familyName);
    EXPECT_EQ(a.rare().birthday, b.rare().birthday);
    EXPECT_EQ(a.rare().nonGregorianBirthday, b.rare().nonGregorianBirthday);
    EXPECT_EQ(a.imageData, b.imageData);
    EXPECT_EQ(a.phoneNumbers, b.phoneNumbers);
    EXPECT_EQ(a.postalAddresses, b.postalAddresses);
    EXPECT_EQ(a.rare().dates, b.rare().dates);
    EXPECT_EQ(a.rare().socialProfiles, b.rare().socialProfiles);
}

// As the store fetches it: only the fetched fields hold data.
CNContactPtr partialContact()
{
    const CNContactData full = fullContact(true)->data();
    CNContactData data;
    data.identifier = full.identifier;
    data.givenName = full.givenName;
    data.phoneNumbers = full.phoneNumbers;
    data.setRare(&CNContactRareFields::birthday, full.rare().birthday);
    return std::make_shared<CNContact>(
        data, CNKeySetFromKeys({CNContactGivenNameKey, CNContactPhoneNumbersKey, CNContactBirthdayKey}));
}

INSTANTIATE_TEST_SUITE_P(
    CNContactCoding, CNContactCodingRoundTrip,
    ::testing::Values(RoundTripCase{"FullMutableWithBirthday", [] { return fullContact(true); }, true},
                      RoundTripCase{"FullMutableWithoutBirthday", [] { return fullContact(false); }, true},
                      RoundTripCase{"FullImmutable", [] { return fullContact(true)->copy(); }, false},
                      RoundTripCase{"Empty", [] { return std::make_shared<CNContact>(); }, false},
                      RoundTripCase{"PartiallyFetched", partialContact, false},
                      RoundTripCase{"OnlyIdentifier",
                                    [] {
                                        CNContactData data;
                                        data.identifier = QStringLiteral("ID-1");
                                        return std::make_shared<CNContact>(data, CNKeySet());
                                    },
                                    false}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(CNContactCoding, UnfetchedKeysStayUnfetchedAndAreNotWritten)
{
    // Fields that were not fetched may still hold stale data in memory; it never reaches the archive.
    const auto partial = std::make_shared<CNContact>(
        fullContact(true)->data(),
        CNKeySetFromKeys({CNContactGivenNameKey, CNContactPhoneNumbersKey, CNContactBirthdayKey}));
    const QByteArray data = KQKeyedArchiver::archivedDataWithRootObject(*partial);
    const CNContactPtr decoded = unarchive(data);
    ASSERT_TRUE(decoded);
    EXPECT_TRUE(decoded->isKeyAvailable(CNContactGivenNameKey));
    EXPECT_TRUE(decoded->isKeyAvailable(CNContactBirthdayKey));
    EXPECT_FALSE(decoded->isKeyAvailable(CNContactNoteKey));
    EXPECT_FALSE(decoded->isKeyAvailable(CNContactImageDataKey));
    EXPECT_EQ(decoded->note(), QString());
    EXPECT_EQ(decoded->phoneNumbers(), partial->phoneNumbers());
    EXPECT_EQ(decoded->data().note, QString());
    EXPECT_FALSE(data.contains("line one"));
    EXPECT_TRUE(data.contains("+49 89 123456"));
}

TEST(CNContactCoding, ArchiveCarriesTheClassNamesForOtherReaders)
{
    const QByteArray data = KQKeyedArchiver::archivedDataWithRootObject(*fullContact(true));
    const auto summary = KQRunPythonOnData(KQPythonArchiveSummary, data);
    if (!summary)
        GTEST_SKIP() << "python3 is not installed";
    EXPECT_EQ(summary->split(QLatin1Char('\n')),
              QStringList({QStringLiteral("NSKeyedArchiver"), QStringLiteral("CNContactRelation"),
                           QStringLiteral("CNInstantMessageAddress"), QStringLiteral("CNLabeledValue"),
                           QStringLiteral("CNMutableContact"), QStringLiteral("CNPhoneNumber"),
                           QStringLiteral("CNPostalAddress"), QStringLiteral("CNSocialProfile"),
                           QStringLiteral("NSArray"), QStringLiteral("NSDateComponents")}))
        << summary->toStdString();
    const auto classes = KQRunPythonOnData(QStringLiteral("import plistlib,sys\n"
                                                          "d=plistlib.load(open(sys.argv[1],'rb'))\n"
                                                          "o=d['$objects']\n"
                                                          "root=o[d['$top']['root'].data]\n"
                                                          "print(o[root['$class'].data]['$classes'])\n"
                                                          "print(o[root['givenName'].data])\n"),
                                           data);
    ASSERT_TRUE(classes);
    EXPECT_EQ(*classes, QStringLiteral("['CNMutableContact', 'CNContact', 'NSObject']\nИван"));
}

TEST(CNContactCoding, AllowedClassesAreEnforcedAtTheTop)
{
    const QByteArray data = KQKeyedArchiver::archivedDataWithRootObject(*fullContact(true));
    CNContact::registerArchiveClasses();
    CNError error;
    EXPECT_FALSE(KQKeyedUnarchiver::unarchivedObjectOfClasses({QStringLiteral("CNContact")}, data, &error));
    EXPECT_TRUE(error.localizedDescription.contains(QStringLiteral("CNMutableContact")))
        << error.localizedDescription.toStdString();
}

using Body = KQTestFreeObject::Body;

std::shared_ptr<const KQCoding> object(const QString& className, Body body)
{
    return std::make_shared<KQTestFreeObject>(QStringList{className, QStringLiteral("NSObject")}, std::move(body));
}

std::shared_ptr<const KQCoding> labeled(Body valueWriter)
{
    return object(QStringLiteral("CNLabeledValue"), [valueWriter](KQKeyedArchiver& c) {
        c.encodeString(QStringLiteral("LV-1"), QStringLiteral("identifier"));
        c.encodeString(QStringLiteral("home"), QStringLiteral("label"));
        valueWriter(c);
    });
}

struct WrongFieldCase
{
    const char* name;
    QStringList keys; // fetched keys written to the archive
    Body fields;
    QString errorPart;
};

void PrintTo(const WrongFieldCase& c, std::ostream* os)
{
    *os << c.name;
}

class CNContactCodingWrongField : public ::testing::TestWithParam<WrongFieldCase>
{
};

TEST_P(CNContactCodingWrongField, FailsCleanly)
{
    const WrongFieldCase& param = GetParam();
    const KQTestFreeObject contact({QStringLiteral("CNContact"), QStringLiteral("NSObject")}, [&](KQKeyedArchiver& c) {
        if (!param.keys.contains(QStringLiteral("-identifier")))
            c.encodeString(QStringLiteral("ID-9"), CNContactIdentifierKey);
        if (!param.keys.contains(QStringLiteral("-availableKeys")))
            c.encodeStringArray(param.keys, QStringLiteral("availableKeys"));
        param.fields(c);
    });
    CNError error;
    EXPECT_FALSE(unarchive(KQKeyedArchiver::archivedDataWithRootObject(contact), &error));
    EXPECT_TRUE(error.localizedDescription.contains(param.errorPart))
        << "error: " << error.localizedDescription.toStdString() << "\nexpected: " << param.errorPart.toStdString();
}

const Body nothing = [](KQKeyedArchiver&) {};

INSTANTIATE_TEST_SUITE_P(
    CNContactCoding, CNContactCodingWrongField,
    ::testing::Values(
        WrongFieldCase{"NoIdentifier", {QStringLiteral("-identifier")}, nothing, QStringLiteral("no identifier")},
        WrongFieldCase{"NoKeyList", {QStringLiteral("-availableKeys")}, nothing, QStringLiteral("fetched keys")},
        WrongFieldCase{"GivenNameIsAnInteger",
                       {CNContactGivenNameKey},
                       [](KQKeyedArchiver& c) { c.encodeInt(5, CNContactGivenNameKey); },
                       QStringLiteral("\"givenName\"")},
        WrongFieldCase{"NoteIsData",
                       {CNContactNoteKey},
                       [](KQKeyedArchiver& c) { c.encodeData(QByteArray("x"), CNContactNoteKey); },
                       QStringLiteral("not a string")},
        WrongFieldCase{"ImageIsAString",
                       {CNContactImageDataKey},
                       [](KQKeyedArchiver& c) { c.encodeString(QStringLiteral("x"), CNContactImageDataKey); },
                       QStringLiteral("not data")},
        WrongFieldCase{"UnknownContactType",
                       {CNContactTypeKey},
                       [](KQKeyedArchiver& c) { c.encodeInt(7, CNContactTypeKey); },
                       QStringLiteral("contact type")},
        WrongFieldCase{"PhoneNumbersIsAString",
                       {CNContactPhoneNumbersKey},
                       [](KQKeyedArchiver& c) { c.encodeString(QStringLiteral("123"), CNContactPhoneNumbersKey); },
                       QStringLiteral("not of class NSArray")},
        WrongFieldCase{"PhoneNumberValueIsAString",
                       {CNContactPhoneNumbersKey},
                       [](KQKeyedArchiver& c) {
                           c.encodeRetainedArray({labeled([](KQKeyedArchiver& v) {
                                                     v.encodeString(QStringLiteral("123"), QStringLiteral("value"));
                                                 })},
                                                 CNContactPhoneNumbersKey);
                       },
                       QStringLiteral("not a CNPhoneNumber")},
        WrongFieldCase{"EmailValueIsAPhoneNumber",
                       {CNContactEmailAddressesKey},
                       [](KQKeyedArchiver& c) {
                           c.encodeRetainedArray({labeled([](KQKeyedArchiver& v) {
                                                     v.encodeRetainedObject(
                                                         object(QStringLiteral("CNPhoneNumber"), nothing),
                                                         QStringLiteral("value"));
                                                 })},
                                                 CNContactEmailAddressesKey);
                       },
                       QStringLiteral("not a string")},
        WrongFieldCase{"AddressValueOfForeignClass",
                       {CNContactPostalAddressesKey},
                       [](KQKeyedArchiver& c) {
                           c.encodeRetainedArray({labeled([](KQKeyedArchiver& v) {
                                                     v.encodeRetainedObject(object(QStringLiteral("NSURL"), nothing),
                                                                            QStringLiteral("value"));
                                                 })},
                                                 CNContactPostalAddressesKey);
                       },
                       QStringLiteral("\"NSURL\" is not allowed")},
        WrongFieldCase{"LabeledValueWithoutValue",
                       {CNContactUrlAddressesKey},
                       [](KQKeyedArchiver& c) { c.encodeRetainedArray({labeled(nothing)}, CNContactUrlAddressesKey); },
                       QStringLiteral("no usable value")},
        WrongFieldCase{"ArrayOfStringsInsteadOfLabeledValues",
                       {CNContactDatesKey},
                       [](KQKeyedArchiver& c) { c.encodeStringArray({QStringLiteral("x")}, CNContactDatesKey); },
                       QStringLiteral("not an archived object")},
        WrongFieldCase{"BirthdayIsAString",
                       {CNContactBirthdayKey},
                       [](KQKeyedArchiver& c) { c.encodeString(QStringLiteral("1990-01-01"), CNContactBirthdayKey); },
                       QStringLiteral("not an archived object")},
        WrongFieldCase{"BirthdayIsAPhoneNumber",
                       {CNContactBirthdayKey},
                       [](KQKeyedArchiver& c) {
                           c.encodeRetainedObject(object(QStringLiteral("CNPhoneNumber"), nothing),
                                                  CNContactBirthdayKey);
                       },
                       QStringLiteral("\"CNPhoneNumber\" is not allowed")},
        WrongFieldCase{"BirthdayYearIsAString",
                       {CNContactBirthdayKey},
                       [](KQKeyedArchiver& c) {
                           c.encodeRetainedObject(object(QStringLiteral("NSDateComponents"),
                                                         [](KQKeyedArchiver& d) {
                                                             d.encodeString(QStringLiteral("1990"),
                                                                            QStringLiteral("year"));
                                                         }),
                                                  CNContactBirthdayKey);
                       },
                       QStringLiteral("not an integer")},
        WrongFieldCase{"BirthdayDayOutOfRange",
                       {CNContactBirthdayKey},
                       [](KQKeyedArchiver& c) {
                           c.encodeRetainedObject(
                               object(QStringLiteral("NSDateComponents"),
                                      [](KQKeyedArchiver& d) { d.encodeInt(qint64(1) << 40, QStringLiteral("day")); }),
                               CNContactBirthdayKey);
                       },
                       QStringLiteral("out of range")}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(CNContactCoding, RandomDamageNeverCrashes)
{
    const QByteArray valid = KQKeyedArchiver::archivedDataWithRootObject(*fullContact(true));
    const QSet<QString> classes = CNContact::archiveClasses();
    std::mt19937 random(7);
    int decoded = 0;
    const int rounds = kqScaled(3000, 300);
    for (int round = 0; round < rounds; ++round) {
        QByteArray data = valid;
        const int edits = 1 + static_cast<int>(random() % 3);
        for (int e = 0; e < edits && !data.isEmpty(); ++e) {
            const auto pos = static_cast<qsizetype>(random() % static_cast<quint32>(data.size()));
            if (random() % 6 == 0)
                data.truncate(pos);
            else
                data[pos] = static_cast<char>(random());
        }
        CNError error;
        const KQCodingPtr object = KQKeyedUnarchiver::unarchivedObjectOfClasses(classes, data, &error);
        EXPECT_NE(object == nullptr, !error.isError()) << "round " << round;
        decoded += object ? 1 : 0;
    }
    EXPECT_GT(decoded, 0);
    EXPECT_LT(decoded, rounds);
}

} // namespace
