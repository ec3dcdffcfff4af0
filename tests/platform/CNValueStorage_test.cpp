// The compact forms a contact keeps its values in: entry identifiers in 16 bytes (UUIDs as
// bytes, any other text shared), label texts kept once, and short texts as one shared block.
// Each must behave exactly like the text it stands for.

#include "platform/CNContact.h"
#include "platform/CNContactValueCodec.h"

#include <QThread>
#include <gtest/gtest.h>

namespace {

struct IdentifierCase
{
    const char* name;
    const char* text;
    // The text the identifier gives back (canonical UUIDs come back upper-case).
    const char* expected;
    bool packed; // kept as 16 bytes
};

class EntryIdentifierText : public ::testing::TestWithParam<IdentifierCase>
{
};

TEST_P(EntryIdentifierText, KeepsItsTextThroughCopiesAndTheStoreCoding)
{
    const IdentifierCase& c = GetParam();
    const QString text = QString::fromUtf8(c.text);
    const CNEntryIdentifier id(text);
    EXPECT_EQ(id.text(), QString::fromUtf8(c.expected));
    unsigned char bytes[16];
    EXPECT_EQ(id.bytes(bytes), c.packed);

    // Copies, moves and assignments keep the text and stay equal.
    CNEntryIdentifier copy = id;
    EXPECT_EQ(copy, id);
    CNEntryIdentifier moved = std::move(copy);
    EXPECT_EQ(moved.text(), id.text());
    CNEntryIdentifier assigned;
    assigned = moved;
    const CNEntryIdentifier& itself = assigned;
    assigned = itself; // self-assignment leaves it whole
    EXPECT_EQ(assigned, id);
    EXPECT_EQ(assigned.text(), id.text());
    CNEntryIdentifier fresh;
    EXPECT_FALSE(fresh == id);

    // Through the store's value coding.
    const CNPhoneNumberList list = {
        CNLabeledValue<CNPhoneNumber>(text, CNLabelHome, CNPhoneNumber(QStringLiteral("1")))};
    const QByteArray coded = CNContactValueCodec::encode(list);
    CNPhoneNumberList decoded;
    ASSERT_TRUE(CNContactValueCodec::decode(coded.constData(), coded.size(), decoded));
    ASSERT_EQ(decoded.size(), 1u);
    EXPECT_EQ(decoded[0].identifier(), QString::fromUtf8(c.expected));
    EXPECT_EQ(decoded[0], list[0]);
}

void PrintTo(const IdentifierCase& c, std::ostream* os)
{
    *os << c.name;
}

const IdentifierCase identifierCases[] = {
    {"UpperCaseUuid", "0123ABCD-4567-489A-8BCD-EF0123456789", "0123ABCD-4567-489A-8BCD-EF0123456789", true},
    {"AllBitsSetUuidKeptAsText", "FFFFFFFF-FFFF-FFFF-0123-456789ABCDEF", "FFFFFFFF-FFFF-FFFF-0123-456789ABCDEF", false},
    {"ForeignIdentifier", "item7:ABPerson", "item7:ABPerson", false},
    {"NonAsciiIdentifier", "Zoë-1", "Zoë-1", false},
    {"Empty", "", "", false},
};

INSTANTIATE_TEST_SUITE_P(Identifiers, EntryIdentifierText, ::testing::ValuesIn(identifierCases),
                         [](const ::testing::TestParamInfo<IdentifierCase>& testInfo) {
                             return std::string(testInfo.param.name);
                         });

TEST(EntryIdentifier, TextIdentifiersCompareByTextNotByCopy)
{
    const CNEntryIdentifier a(QStringLiteral("custom-1"));
    const CNEntryIdentifier b(QStringLiteral("custom-1"));
    const CNEntryIdentifier c(QStringLiteral("custom-2"));
    EXPECT_EQ(a, b);
    EXPECT_FALSE(a == c);
    EXPECT_FALSE(a == CNEntryIdentifier(QStringLiteral("0123ABCD-4567-489A-8BCD-EF0123456789")));
}

TEST(EntryIdentifier, MadeIdentifiersAreDistinctCanonicalUuids)
{
    const CNEntryIdentifier a;
    const CNEntryIdentifier b;
    EXPECT_FALSE(a == b);
    EXPECT_EQ(a.text().size(), 36);
    EXPECT_EQ(CNEntryIdentifier(a.text()), a);
    EXPECT_EQ(a.text(), a.text().toUpper());
}

TEST(LabelText, EqualTextsAreOneLabelHoweverTheyWereMade)
{
    // Same text from a constant, from a fresh buffer and from another thread.
    const QString fresh = QStringLiteral("_$!<Ho") + QStringLiteral("me>!$_");
    const CNLabeledValue<QString> a(CNLabelHome, QStringLiteral("x"));
    CNLabeledValue<QString> b(fresh, QStringLiteral("x"));
    EXPECT_EQ(a.label(), CNLabelHome);
    EXPECT_EQ(b.label(), CNLabelHome);
    EXPECT_EQ(&a.label(), &b.label());

    const QString* fromThread = nullptr;
    QThread* thread = QThread::create([&] {
        const CNLabeledValue<QString> c(QStringLiteral("_$!<Home>!$_"), QStringLiteral("x"));
        fromThread = &c.label();
    });
    thread->start();
    thread->wait();
    delete thread;
    EXPECT_EQ(fromThread, &a.label());

    // A label whose text changes afterwards keeps the text it was given.
    QString changing = QStringLiteral("Boat");
    const CNLabeledValue<QString> boat(changing, QStringLiteral("y"));
    changing[0] = QLatin1Char('G');
    EXPECT_EQ(boat.label(), QStringLiteral("Boat"));
    EXPECT_EQ(CNLabeledValue<QString>(changing, QStringLiteral("y")).label(), QStringLiteral("Goat"));
}

TEST(LabelText, EmptyAndChangedLabels)
{
    const CNLabeledValue<QString> none(QString(), QStringLiteral("v"));
    EXPECT_TRUE(none.label().isEmpty());
    EXPECT_EQ(none, CNLabeledValue<QString>(none.identifier(), QStringLiteral(""), QStringLiteral("v")));

    const auto relabelled = none.labeledValueBySettingLabel(CNLabelWork);
    EXPECT_EQ(relabelled.label(), CNLabelWork);
    EXPECT_EQ(relabelled.identifier(), none.identifier());
    const auto revalued = relabelled.labeledValueBySettingValue(QStringLiteral("w"));
    EXPECT_EQ(revalued.label(), CNLabelWork);
    EXPECT_EQ(revalued.value(), QStringLiteral("w"));
    EXPECT_FALSE(revalued == relabelled);
}

TEST(CompactText, StandsForItsText)
{
    const QString uid = QStringLiteral("urn:uuid:Zoë-0042");
    CNContactData d;
    EXPECT_TRUE(d.cardUID.isEmpty());
    EXPECT_TRUE(d.cardUID.toString().isNull());
    d.cardUID = uid;
    EXPECT_EQ(d.cardUID.toString(), uid);

    CNContactData copy = d;
    EXPECT_EQ(copy, d);
    copy.cardUID = QStringLiteral("other");
    EXPECT_FALSE(copy == d);
    EXPECT_EQ(d.cardUID.toString(), uid);
    copy.cardUID = d.cardUID;
    EXPECT_EQ(copy, d);
    copy.cardUID = copy.cardUID;
    EXPECT_EQ(copy.cardUID.toString(), uid);

    CNCompactText moved = std::move(copy.cardUID);
    EXPECT_EQ(moved.toString(), uid);
    EXPECT_EQ(moved, CNCompactText(uid));
    EXPECT_FALSE(moved == CNCompactText());
    EXPECT_EQ(CNCompactText(QString()), CNCompactText());

    const CNContact contact(d, CNAllKeysSet());
    EXPECT_EQ(contact.cardUID(), uid);
}

} // namespace
