// The table that lets equal texts of one read share a string, and contacts filled in place.
#include "platform/CNContact.h"
#include "platform/CNContactTextTable.h"

#include <gtest/gtest.h>

namespace {

// Makes the string for bytes and counts how often it was asked to.
struct CountingMaker
{
    int* calls;
    QString operator()(QByteArrayView bytes) const
    {
        ++*calls;
        return QString::fromUtf8(bytes);
    }
};

QByteArray numbered(const char* prefix, int i)
{
    return QByteArray(prefix) + QByteArray::number(i);
}

TEST(CNContactTextTable, EqualBytesShareOneStringAndAreMadeOnce)
{
    CNContactTextTable table;
    int calls = 0;
    // The second lookup comes from another buffer, as a reused line buffer would give it.
    QByteArray first("Zürich");
    const QString a = table.text(first, CountingMaker{&calls});
    first.fill('x');
    const QByteArray second("Zürich");
    const QString b = table.text(second, CountingMaker{&calls});
    EXPECT_EQ(a, QString::fromUtf8("Zürich"));
    EXPECT_EQ(b, a);
    EXPECT_EQ(a.constData(), b.constData());
    EXPECT_EQ(calls, 1);
    const QString other = table.text("Zurich", CountingMaker{&calls});
    EXPECT_EQ(other, QStringLiteral("Zurich"));
    EXPECT_EQ(calls, 2);
}

TEST(CNContactTextTable, KeepsEveryTextAcrossGrowth)
{
    CNContactTextTable table;
    int calls = 0;
    constexpr int Count = 5000; // several times the first table's room
    std::vector<QString> made;
    for (int i = 0; i < Count; ++i)
        made.push_back(table.text(numbered("name ", i), CountingMaker{&calls}));
    ASSERT_EQ(calls, Count);
    for (int i = 0; i < Count; ++i) {
        const QString again = table.text(numbered("name ", i), CountingMaker{&calls});
        ASSERT_EQ(again, QString::fromLatin1(numbered("name ", i))) << i;
        ASSERT_EQ(again.constData(), made[size_t(i)].constData()) << i;
    }
    EXPECT_EQ(calls, Count);
}

TEST(CNContactTextTable, TextsThatAreEmptyOrLongAreMadeEveryTime)
{
    CNContactTextTable table;
    int calls = 0;
    const QByteArray longText(CNContactTextTable::Longest + 1, 'a');
    const QByteArray longest(CNContactTextTable::Longest, 'b');
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(table.text(longText, CountingMaker{&calls}), QString::fromLatin1(longText));
        EXPECT_TRUE(table.text(QByteArrayView(), CountingMaker{&calls}).isEmpty());
        EXPECT_EQ(table.text(longest, CountingMaker{&calls}), QString::fromLatin1(longest));
    }
    // The long and the empty text twice each; the longest shared text once.
    EXPECT_EQ(calls, 5);
}

TEST(CNContactTextTable, AFullTableStillGivesEveryTextRight)
{
    CNContactTextTable table;
    int calls = 0;
    const int count = static_cast<int>(CNContactTextTable::MostTexts) + 100;
    for (int i = 0; i < count; ++i)
        ASSERT_EQ(table.text(numbered("t", i), CountingMaker{&calls}), QString::fromLatin1(numbered("t", i)));
    calls = 0;
    // Texts kept before the table filled are shared; the later ones are made again.
    EXPECT_EQ(table.text(numbered("t", 0), CountingMaker{&calls}), QStringLiteral("t0"));
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(table.text(numbered("t", count - 1), CountingMaker{&calls}),
              QString::fromLatin1(numbered("t", count - 1)));
    EXPECT_EQ(calls, 1);
}

TEST(CNContactMake, FieldsAreFilledInPlaceAndTheIdentifierKeyIsAlwaysThere)
{
    CNKeySet keys;
    keys.set(static_cast<size_t>(CNKeyId::GivenName));
    keys.set(static_cast<size_t>(CNKeyId::Note));
    const auto contact = CNContact::make(keys, [](CNContactData& data, CNKeySet& available) {
        data.identifier = QStringLiteral("ABC");
        data.givenName = QStringLiteral("Ann");
        data.note = QStringLiteral("unreadable");
        // A field that could not be read is taken out of the fetched keys.
        available.reset(static_cast<size_t>(CNKeyId::Note));
    });
    EXPECT_EQ(contact->identifier(), QStringLiteral("ABC"));
    EXPECT_EQ(contact->givenName(), QStringLiteral("Ann"));
    EXPECT_TRUE(contact->isKeyAvailable(CNKeyId::Identifier));
    EXPECT_TRUE(contact->isKeyAvailable(CNKeyId::GivenName));
    EXPECT_FALSE(contact->isKeyAvailable(CNKeyId::Note));
    EXPECT_TRUE(contact->note().isEmpty());
    EXPECT_FALSE(contact->isKeyAvailable(CNKeyId::FamilyName));
    EXPECT_FALSE(contact->imageDataAvailable());
}

} // namespace
