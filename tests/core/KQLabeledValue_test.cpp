#include "model/KQLabeledDateComponents.h"
#include "model/KQLabeledEmail.h"
#include "model/KQLabeledInstantMsg.h"
#include "model/KQLabeledPhoneNumber.h"
#include "model/KQLabeledPostalAddress.h"
#include "model/KQLabeledSocial.h"
#include "model/KQLabeledURL.h"

#include <gtest/gtest.h>

namespace {

KQLabeledEmail email(const QString& text, const QString& label = CNLabelHome)
{
    return KQLabeledEmail(CNLabeledValue<QString>(label, text));
}

KQLabeledPhoneNumber phone(const QString& text, const QString& label = CNLabelHome)
{
    return KQLabeledPhoneNumber(CNLabeledValue<CNPhoneNumber>(label, CNPhoneNumber(text)));
}

bool sameValue(const KQLabeledValueHelper& a, const KQLabeledValueHelper& b)
{
    return a.isEqualToValue(&b);
}

bool same(const KQLabeledValueHelper& a, const KQLabeledValueHelper& b)
{
    return a.isEqualTo(&b);
}

} // namespace

TEST(LabeledValues, ValueEqualityPerKind)
{
    EXPECT_FALSE(sameValue(email({}), email({})));
    EXPECT_TRUE(sameValue(email(QStringLiteral("a@b.c")), email(QStringLiteral("a@b.c"))));
    EXPECT_FALSE(sameValue(email(QStringLiteral("a@b.c")), email(QStringLiteral("A@b.c"))));

    const KQLabeledURL emptyUrl(CNLabeledValue<QString>(CNLabelHome, QString()));
    const KQLabeledURL otherEmptyUrl(CNLabeledValue<QString>(CNLabelWork, QString()));
    EXPECT_TRUE(emptyUrl.isEqualToValue(&otherEmptyUrl));

    // Numbers are compared as typed.
    EXPECT_FALSE(sameValue(phone(QStringLiteral("555 1234")), phone(QStringLiteral("5551234"))));
    EXPECT_TRUE(sameValue(phone(QStringLiteral("555")), phone(QStringLiteral("555"))));
    // Different kinds never match by value.
    EXPECT_FALSE(sameValue(email(QStringLiteral("555")), phone(QStringLiteral("555"))));
}

TEST(LabeledValues, LabelAndValueEquality)
{
    EXPECT_TRUE(same(email(QStringLiteral("a@b.c"), CNLabelHome), email(QStringLiteral("a@b.c"), CNLabelHome)));
    EXPECT_FALSE(same(email(QStringLiteral("a@b.c"), CNLabelHome), email(QStringLiteral("a@b.c"), CNLabelWork)));
    EXPECT_FALSE(same(email(QStringLiteral("a@b.c"), QString()), email(QStringLiteral("a@b.c"), CNLabelWork)));
    // A custom label equal to a constant's display text is the same label for the user.
    EXPECT_TRUE(
        same(email(QStringLiteral("a@b.c"), QStringLiteral("home")), email(QStringLiteral("a@b.c"), CNLabelHome)));
    EXPECT_EQ(email({}, QStringLiteral("_$!<Mobile>!$_")).localizedLabel(), QStringLiteral("mobile"));
    EXPECT_EQ(email({}, QStringLiteral("gym")).localizedLabel(), QStringLiteral("gym"));
    EXPECT_EQ(email({}, QString()).localizedLabel(), QString());
}

TEST(LabeledValues, PhoneDigitsAndSearch)
{
    const auto number = phone(QStringLiteral("+1 (555) 010-2030"));
    EXPECT_EQ(number.phoneNumberStringNOCharacter(), QStringLiteral("15550102030"));
    EXPECT_TRUE(number.containString(QStringLiteral("0102030")));
    EXPECT_TRUE(number.containString(QStringLiteral("(555)")));
    EXPECT_FALSE(number.containString(QStringLiteral("999")));
    // Full-width digits fold to ASCII digits modulo 256 only where their low byte is a digit.
    EXPECT_EQ(phone(QString::fromUtf8("\xEF\xBC\x91"
                                      "2"))
                  .phoneNumberStringNOCharacter(),
              QStringLiteral("2"));

    auto edited = phone(QStringLiteral("1"));
    edited.setPhoneNumberStringValue(QString());
    EXPECT_EQ(edited.phoneNumberStringValue(), QStringLiteral("1"));
}

TEST(LabeledValues, DateParts)
{
    KQLabeledDateComponents date(
        CNLabeledValue<CNDateComponents>(CNLabelDateAnniversary, CNDateComponents{2000, 2, 3, {}, {}, {}}));
    date.setMonth(13);
    date.setDay(0);
    EXPECT_EQ(date.month(), 2);
    EXPECT_EQ(date.day(), 3);
    date.setDay(31);
    EXPECT_EQ(date.dateString(), QStringLiteral("Invalid date"));
    date.setMonth(1);
    EXPECT_NE(date.dateString(), QStringLiteral("Invalid date"));
    const CNDateComponents parts = date.makeNewDateComponents();
    EXPECT_EQ(parts, (CNDateComponents{2000, 1, 31, {}, {}, {}}));
}

TEST(LabeledValues, SocialAndInstantMessageTexts)
{
    KQLabeledSocial social(CNLabeledValue<CNSocialProfile>(
        CNSocialProfileServiceTwitter, CNSocialProfile(QStringLiteral("x"), QStringLiteral("ann"), {}, {})));
    EXPECT_EQ(social.valueString(), QStringLiteral("user name ann|url x"));
    social.setUsrName(QString());
    EXPECT_EQ(social.valueString(), QStringLiteral("url x"));
    const KQAnyLabeledValue edited = social.editedLabeledValue();
    EXPECT_EQ(std::get<CNLabeledValue<CNSocialProfile>>(edited).value().service, CNSocialProfileServiceTwitter);

    KQLabeledInstantMsg im(CNLabeledValue<CNInstantMessageAddress>(
        CNLabelHome, CNInstantMessageAddress(QStringLiteral("ann"), CNInstantMessageServiceGoogleTalk)));
    EXPECT_EQ(im.serviceName(), QStringLiteral("Google Talk"));
    EXPECT_EQ(im.valueString(), QStringLiteral("Google Talk ann"));
    im.setServiceName(QStringLiteral("Signal"));
    EXPECT_EQ(std::get<CNLabeledValue<CNInstantMessageAddress>>(im.editedLabeledValue()).value().service,
              QStringLiteral("Signal"));
    EXPECT_EQ(KQLabeledInstantMsg::seriveNameForLocalString(QStringLiteral("Yahoo!")), CNInstantMessageServiceYahoo);
    EXPECT_EQ(KQLabeledInstantMsg::seriveNameForLocalString(QStringLiteral("Matrix")), QStringLiteral("Matrix"));
}

TEST(LabeledValues, PostalAddressEditCopyAndEquality)
{
    CNPostalAddress stored;
    stored.city = QStringLiteral("Paris");
    stored.isoCountryCode = QStringLiteral("fr");
    KQLabeledPostalAddress address(CNLabeledValue<CNPostalAddress>(CNLabelHome, stored));
    KQLabeledPostalAddress relabelled(CNLabeledValue<CNPostalAddress>(CNLabelWork, stored));
    EXPECT_TRUE(address.isEqualToValue(&relabelled));
    EXPECT_FALSE(address.mutablePostalAddresses().has_value());
    EXPECT_EQ(address.city(), QStringLiteral("Paris"));

    address.setCity(QString());
    EXPECT_TRUE(address.mutablePostalAddresses().has_value());
    EXPECT_EQ(address.city(), QString());
    EXPECT_EQ(address.postalAddresses().city, QStringLiteral("Paris"));
    EXPECT_FALSE(address.isEqualToValue(&relabelled));

    address.setStreet(QStringLiteral("1 rue de Rivoli"));
    address.setPostalCode(QStringLiteral("75001"));
    address.setCity(QStringLiteral("Paris"));
    EXPECT_EQ(address.formatPostalAddresses(), QStringLiteral("1 rue de Rivoli\n75001 Paris"));
}

struct ValidityCase
{
    const char* text;
    bool valid;
};

void PrintTo(const ValidityCase& c, std::ostream* os)
{
    *os << '"' << c.text << '"';
}

class EmailValidity : public ::testing::TestWithParam<ValidityCase>
{
};

TEST_P(EmailValidity, MatchesTheWholeText)
{
    EXPECT_EQ(KQLabeledValueHelper::findValidEmailAddressString(QString::fromUtf8(GetParam().text)), GetParam().valid)
        << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(Table, EmailValidity,
                         ::testing::Values(ValidityCase{"", true}, ValidityCase{"ann@example.com", true},
                                           ValidityCase{"ANN@EXAMPLE.COM", true}, ValidityCase{"ann@example", false},
                                           ValidityCase{"ann example.com", false},
                                           ValidityCase{" ann@example.com", false},
                                           ValidityCase{"ann.lee+tag@mail.example.co.uk", true},
                                           ValidityCase{"ann@[192.168.0.1]", true},
                                           ValidityCase{"ann@@example.com", false}));

class PhoneValidity : public ::testing::TestWithParam<ValidityCase>
{
};

TEST_P(PhoneValidity, NeedsOneNumberSpanningTheText)
{
    EXPECT_EQ(KQLabeledValueHelper::findValidPhoneNumberString(QString::fromUtf8(GetParam().text)), GetParam().valid)
        << GetParam().text;
}

// Short texts of 4 to 9 characters are padded with 1s to ten characters before detection.
INSTANTIATE_TEST_SUITE_P(Table, PhoneValidity,
                         ::testing::Values(ValidityCase{"", false}, ValidityCase{"5550", true},
                                           ValidityCase{"5550100", true}, ValidityCase{"12", false},
                                           ValidityCase{"abc", false}, ValidityCase{"+1 (415) 555-2671", true},
                                           ValidityCase{"+44 20 7946 0958", true}, ValidityCase{"call 555-0100", false},
                                           ValidityCase{"555-0100 ext", false}));

TEST(LabeledValues, AnEmptyTextOrPatternIsValid)
{
    EXPECT_TRUE(KQLabeledValueHelper::stringValueValidWithRegex(QStringLiteral("x"), QString()));
    EXPECT_TRUE(KQLabeledValueHelper::stringValueValidWithRegex(QString(), QStringLiteral("a")));
    EXPECT_FALSE(KQLabeledValueHelper::stringValueValidWithRegex(QStringLiteral("ab"), QStringLiteral("a")));
    EXPECT_TRUE(KQLabeledValueHelper::stringValueValidWithRegex(QStringLiteral("A"), QStringLiteral("a")));
}
