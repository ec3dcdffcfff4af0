// Copying a contact field by field: a field the source was not fetched with is logged on its own
// line and the copy goes on with the next field.

#include "store/KQContactStoreHelper.h"

#include <QStringList>
#include <gtest/gtest.h>

namespace {

CNContactData filledData()
{
    CNContactData d;
    d.identifier = QStringLiteral("SOURCE-ID");
    d.contactType = CNContactType::Organization;
    d.setRare(&CNContactRareFields::namePrefix, QStringLiteral("Dr."));
    d.givenName = QStringLiteral("Ann");
    d.setRare(&CNContactRareFields::middleName, QStringLiteral("B."));
    d.familyName = QStringLiteral("Lee");
    d.setRare(&CNContactRareFields::previousFamilyName, QStringLiteral("Kim"));
    d.setRare(&CNContactRareFields::nameSuffix, QStringLiteral("Jr."));
    d.setRare(&CNContactRareFields::nickname, QStringLiteral("Annie"));
    d.organizationName = QStringLiteral("Acme");
    d.departmentName = QStringLiteral("Sales");
    d.jobTitle = QStringLiteral("Chief");
    d.setRare(&CNContactRareFields::phoneticGivenName, QStringLiteral("an"));
    d.setRare(&CNContactRareFields::phoneticMiddleName, QStringLiteral("bi"));
    d.setRare(&CNContactRareFields::phoneticFamilyName, QStringLiteral("li"));
    d.setRare(&CNContactRareFields::phoneticOrganizationName, QStringLiteral("akmi"));
    CNDateComponents day;
    day.year = 1980;
    day.month = 2;
    day.day = 29;
    d.setRare(&CNContactRareFields::birthday, day);
    d.setRare(&CNContactRareFields::nonGregorianBirthday, day);
    d.note = QStringLiteral("met at the fair");
    d.imageData = QByteArray("image bytes");
    d.thumbnailImageData = QByteArray("thumb");
    d.phoneNumbers = {CNLabeledValue<CNPhoneNumber>(
        QStringLiteral("home"), CNPhoneNumber::phoneNumberWithStringValue(QStringLiteral("555 1234")))};
    d.emailAddresses = {CNLabeledValue<QString>(QStringLiteral("work"), QStringLiteral("ann@example.org"))};
    CNPostalAddress address;
    address.city = QStringLiteral("Oslo");
    d.postalAddresses = {CNLabeledValue<CNPostalAddress>(QStringLiteral("home"), address)};
    d.editRare().dates = {CNLabeledValue<CNDateComponents>(QStringLiteral("anniversary"), day)};
    d.editRare().urlAddresses = {
        CNLabeledValue<QString>(QStringLiteral("home"), QStringLiteral("https://example.org"))};
    d.editRare().contactRelations = {
        CNLabeledValue<CNContactRelation>(QStringLiteral("child"), CNContactRelation(QStringLiteral("Bo")))};
    d.editRare().socialProfiles = {CNLabeledValue<CNSocialProfile>(
        QStringLiteral("twitter"),
        CNSocialProfile(QString(), QStringLiteral("annlee"), QString(), QStringLiteral("twitter")))};
    d.editRare().instantMessageAddresses = {CNLabeledValue<CNInstantMessageAddress>(
        QStringLiteral("home"), CNInstantMessageAddress(QStringLiteral("ann"), QStringLiteral("Jabber")))};
    return d;
}

struct MissingField
{
    const char* step; // the word its log line names
    CNKeyId missing;  // the key the source lacks
};

void PrintTo(const MissingField& row, std::ostream* os)
{
    *os << row.step << " without " << CNKeyName(row.missing).toStdString();
}

class DuplicateWithoutField : public ::testing::TestWithParam<MissingField>
{
};

QStringList capturedLines(const std::function<void()>& body)
{
    ::testing::internal::CaptureStderr();
    body();
    const QString text = QString::fromStdString(::testing::internal::GetCapturedStderr());
    return text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace

TEST_P(DuplicateWithoutField, LogsThatFieldAndCopiesTheRest)
{
    const MissingField row = GetParam();
    CNKeySet keys = CNAllKeysSet();
    keys.reset(static_cast<size_t>(row.missing));
    const CNContact source(filledData(), keys);

    CNMutableContact copy;
    const QStringList lines = capturedLines([&] { KQContactStoreHelper::duplicateContact(source, copy); });

    ASSERT_EQ(lines.size(), 1) << lines.join(QLatin1Char('\n')).toStdString();
    const QString prefix = QStringLiteral("DoublicateContact %1 Error:").arg(QLatin1String(row.step));
    EXPECT_TRUE(lines.first().startsWith(prefix)) << lines.first().toStdString();
    EXPECT_TRUE(lines.first().contains(CNKeyName(row.missing))) << lines.first().toStdString();

    // The steps before and after the failing one were copied.
    const CNContactData& copied = copy.data();
    if (row.missing != CNKeyId::ImageData) {
        EXPECT_EQ(copied.imageData, source.data().imageData);
    }
    if (row.missing != CNKeyId::Note) {
        EXPECT_EQ(copied.note, source.data().note);
    }
    // Identifiers are never copied.
    EXPECT_NE(copied.identifier, source.data().identifier);
}

INSTANTIATE_TEST_SUITE_P(
    EachStep, DuplicateWithoutField,
    ::testing::Values(
        MissingField{"imageData", CNKeyId::ImageData}, MissingField{"contactType", CNKeyId::Type},
        MissingField{"info", CNKeyId::NamePrefix}, MissingField{"info", CNKeyId::Nickname},
        MissingField{"previousFamilyName", CNKeyId::PreviousFamilyName},
        MissingField{"phoneticName", CNKeyId::PhoneticOrganizationName}, MissingField{"jobTitle", CNKeyId::JobTitle},
        MissingField{"departmentName", CNKeyId::DepartmentName},
        MissingField{"organizationName", CNKeyId::OrganizationName},
        MissingField{"postalAddresses", CNKeyId::PostalAddresses}, MissingField{"urlAddresses", CNKeyId::UrlAddresses},
        MissingField{"emailAddresses", CNKeyId::EmailAddresses}, MissingField{"phoneNumbers", CNKeyId::PhoneNumbers},
        MissingField{"socialProfiles", CNKeyId::SocialProfiles},
        MissingField{"instantMessageAddresses", CNKeyId::InstantMessageAddresses},
        MissingField{"contactRelations", CNKeyId::Relations}, MissingField{"dates", CNKeyId::Dates},
        MissingField{"birthday", CNKeyId::Birthday},
        MissingField{"nonGregorianBirthday", CNKeyId::NonGregorianBirthday}, MissingField{"note", CNKeyId::Note}),
    [](const ::testing::TestParamInfo<MissingField>& param) {
        return std::string(param.param.step) + "Without" + CNKeyName(param.param.missing).toStdString() + "Key";
    });

TEST(DuplicateContact, FullyFetchedContactCopiesEveryFieldWithoutALogLine)
{
    const CNContact source(filledData(), CNAllKeysSet());
    CNMutableContact copy;
    const QStringList lines = capturedLines([&] { KQContactStoreHelper::duplicateContact(source, copy); });
    EXPECT_TRUE(lines.isEmpty()) << lines.join(QLatin1Char('\n')).toStdString();
    CNContactData expected = source.data();
    expected.identifier = copy.data().identifier;
    // The image step copies the image only; the thumbnail is the store's to make.
    expected.thumbnailImageData = copy.data().thumbnailImageData;
    EXPECT_TRUE(copy.data() == expected);
}

TEST(DuplicateContact, ThumbnailStandsInForAMissingImage)
{
    CNContactData data = filledData();
    data.imageData.clear();
    const CNContact source(data, CNAllKeysSet());
    CNMutableContact copy;
    KQContactStoreHelper::duplicateContact(source, copy);
    EXPECT_EQ(copy.data().imageData, data.thumbnailImageData);
}
