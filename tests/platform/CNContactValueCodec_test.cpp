#include "CNContactStoreTestSupport.h"
#include "platform/CNContactValueCodec.h"

using namespace storetest;

namespace {

// Encodes a list, checks that it decodes to itself, and that no damaged form of it decodes. For a
// field a store hands over coded, check() must accept exactly what decode() accepts: the contact
// decodes it later, when a failure could no longer be reported.
template <typename List> void checkList(const List& values, const char* name, std::optional<CNCodedList> coded = {})
{
    SCOPED_TRACE(name);
    const QByteArray bytes = CNContactValueCodec::encode(values);
    List decoded;
    ASSERT_TRUE(CNContactValueCodec::decode(bytes.constData(), bytes.size(), decoded));
    EXPECT_EQ(decoded, values);
    if (coded) {
        EXPECT_TRUE(CNContactValueCodec::check(*coded, bytes.constData(), bytes.size()));
    }
    for (qsizetype cut = 1; cut < bytes.size(); ++cut) {
        List partial;
        EXPECT_FALSE(CNContactValueCodec::decode(bytes.constData(), cut, partial)) << "cut at " << cut;
        EXPECT_TRUE(partial.empty());
        if (coded) {
            EXPECT_FALSE(CNContactValueCodec::check(*coded, bytes.constData(), cut)) << "cut at " << cut;
        }
    }
    const QByteArray trailing = bytes + '\0';
    EXPECT_FALSE(CNContactValueCodec::decode(trailing.constData(), trailing.size(), decoded));
    if (!coded)
        return;
    EXPECT_FALSE(CNContactValueCodec::check(*coded, trailing.constData(), trailing.size()));
    // Every single byte changed to a few telling values: a header, a length, a code out of range.
    for (qsizetype at = 0; at < bytes.size(); ++at) {
        for (const char byte : {'\x00', '\x01', '\x02', '\x05', '\x7f', '\xff'}) {
            QByteArray changed = bytes;
            changed[at] = byte;
            List out;
            EXPECT_EQ(CNContactValueCodec::check(*coded, changed.constData(), changed.size()),
                      CNContactValueCodec::decode(changed.constData(), changed.size(), out))
                << "byte " << at << " set to " << int(static_cast<unsigned char>(byte));
        }
    }
}

} // namespace

TEST(CNContactValueCodec, EveryKindRoundTripsAndRejectsDamage)
{
    const auto c = fullContact();
    checkList(c->phoneNumbers(), "phones", CNCodedList::PhoneNumbers);
    checkList(c->emailAddresses(), "e-mails", CNCodedList::EmailAddresses);
    checkList(c->postalAddresses(), "addresses", CNCodedList::PostalAddresses);
    checkList(c->dates(), "dates");
    checkList(c->urlAddresses(), "urls");
    checkList(c->contactRelations(), "relations");
    checkList(c->socialProfiles(), "social profiles");
    checkList(c->instantMessageAddresses(), "instant messages");
}

TEST(CNContactValueCodec, IdentifiersAndLabelsKeepTheirExactText)
{
    // Only the canonical upper-case form is packed; look-alikes must come back unchanged.
    const QString canonical = QStringLiteral("0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9");
    const CNStringValueList values = {
        {canonical, CNLabelHome, QStringLiteral("a")},
        {canonical.toLower(), QStringLiteral("_$!<Home>!$_ "), QStringLiteral("b")},
        {QStringLiteral("0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8FG"), QString(), QString()},
        {QStringLiteral("0A1B2C3D:4E5F-6071-8293-A4B5C6D7E8F9"), QStringLiteral("ünïcödé"), QStringLiteral("ç")},
    };
    checkList(values, "identifiers");
    const QByteArray bytes = CNContactValueCodec::encode(values);
    EXPECT_LT(bytes.size(), 4 * 36 + 40) << "the canonical identifier and the constant label are stored compactly";
}

namespace {

std::optional<CNDateComponents> leapMonth(std::optional<CNDateComponents> d)
{
    d->isLeapMonth = true;
    return d;
}

} // namespace

TEST(CNContactValueCodec, DatesRoundTripAndRejectDamage)
{
    const std::optional<CNDateComponents> rows[] = {
        std::nullopt,
        date(std::nullopt, 12, 24),
        date(-500, 1, 1, CNCalendarIdentifierChinese),
        date(2024, std::nullopt, std::nullopt, QStringLiteral("custom-calendar")),
        leapMonth(date(4660, 2, 10, CNCalendarIdentifierChinese)),
    };
    for (const auto& row : rows) {
        const QByteArray bytes = CNContactValueCodec::encode(row);
        std::optional<CNDateComponents> decoded = date(1, 1, 1);
        ASSERT_TRUE(CNContactValueCodec::decode(bytes.constData(), bytes.size(), decoded));
        EXPECT_EQ(decoded, row);
        for (qsizetype cut = 1; cut < bytes.size(); ++cut)
            EXPECT_FALSE(CNContactValueCodec::decode(bytes.constData(), cut, decoded));
    }
    // A presence bit past the leap-month flag.
    const char unknownParts[] = {char(0x80), char(0x01)};
    std::optional<CNDateComponents> decoded;
    EXPECT_FALSE(CNContactValueCodec::decode(unknownParts, 2, decoded));
    EXPECT_FALSE(decoded.has_value());
}

TEST(CNContactValueCodec, HugeCountIsRejectedWithoutAllocating)
{
    // A count of 2^62 entries in a few bytes.
    const char bytes[] = {char(0xff), char(0xff), char(0xff), char(0xff), char(0xff),
                          char(0xff), char(0xff), char(0xff), char(0x3f), 0};
    CNPhoneNumberList out;
    EXPECT_FALSE(CNContactValueCodec::decode(bytes, sizeof bytes, out));
    EXPECT_TRUE(out.empty());
}
