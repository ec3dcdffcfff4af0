#include "KQPlistTestWriter.h"
#include "KQTestCoding.h"
#include "KQTestPython.h"
#include "platform/KQKeyedArchiver.h"

#include <QTimeZone>
#include <QtEndian>
#include <atomic>
#include <gtest/gtest.h>
#include <limits>
#include <random>
#include <thread>

namespace {

const QString nodeClass = QStringLiteral("KQTestNode");
const QString otherClass = QStringLiteral("KQTestOther");

// An archivable object that uses every encoder.
class TestNode : public KQCoding
{
public:
    QString className = nodeClass;
    std::optional<QString> name;
    qint64 number = 0;
    double ratio = 0;
    bool flag = false;
    QDateTime when;
    std::optional<QByteArray> blob;
    std::vector<std::shared_ptr<TestNode>> children;
    std::shared_ptr<TestNode> link;
    std::vector<qint64> indexes;
    QStringList words;

    QStringList archiveClassNames() const override { return {className, QStringLiteral("NSObject")}; }

    void encodeWithCoder(KQKeyedArchiver& coder) const override
    {
        coder.encodeString(name, QStringLiteral("name"));
        coder.encodeInt(number, QStringLiteral("number"));
        coder.encodeDouble(ratio, QStringLiteral("ratio"));
        coder.encodeBool(flag, QStringLiteral("flag"));
        coder.encodeDate(when, QStringLiteral("when"));
        coder.encodeData(blob, QStringLiteral("blob"));
        std::vector<const KQCoding*> list;
        for (const auto& child : children)
            list.push_back(child.get());
        coder.encodeArray(list, QStringLiteral("children"));
        coder.encodeObject(link.get(), QStringLiteral("link"));
        coder.encodeIndexSet(indexes, QStringLiteral("indexes"));
        coder.encodeStringArray(words, QStringLiteral("words"));
    }

    static KQCodingPtr decode(KQKeyedUnarchiver& coder)
    {
        auto node = std::make_shared<TestNode>();
        node->name = coder.decodeString(QStringLiteral("name"));
        node->number = coder.decodeInt(QStringLiteral("number"));
        node->ratio = coder.decodeDouble(QStringLiteral("ratio"));
        node->flag = coder.decodeBool(QStringLiteral("flag"));
        node->when = coder.decodeDate(QStringLiteral("when")).value_or(QDateTime());
        node->blob = coder.decodeData(QStringLiteral("blob"));
        for (const auto& child : coder.decodeArrayOfClasses({nodeClass}, QStringLiteral("children")))
            node->children.push_back(std::dynamic_pointer_cast<TestNode>(child));
        node->link = coder.decodeObjectOfClass<TestNode>({nodeClass}, QStringLiteral("link"));
        node->indexes = coder.decodeIndexSet(QStringLiteral("indexes"));
        node->words = coder.decodeStringArray(QStringLiteral("words"));
        return coder.failed() ? nullptr : node;
    }
};

class KQKeyedArchiverTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        KQRegisterArchiveClass(nodeClass, &TestNode::decode);
        KQRegisterArchiveClass(otherClass, &TestNode::decode);
    }

    static std::shared_ptr<TestNode> roundTrip(const TestNode& node)
    {
        CNError error;
        const auto decoded = std::dynamic_pointer_cast<TestNode>(KQKeyedUnarchiver::unarchivedObjectOfClasses(
            {nodeClass}, KQKeyedArchiver::archivedDataWithRootObject(node), &error));
        EXPECT_TRUE(decoded) << error.localizedDescription.toStdString();
        return decoded;
    }
};

std::shared_ptr<TestNode> richNode()
{
    auto node = std::make_shared<TestNode>();
    node->name = QStringLiteral("Zoë 李小龍 Ωмега 🎉🙂");
    node->number = std::numeric_limits<qint64>::min();
    node->ratio = -1.0e300;
    node->flag = true;
    node->when = QDateTime(QDate(1969, 7, 20), QTime(20, 17, 40, 123), QTimeZone::utc());
    node->blob = QByteArray("\0\x01\xff\0 bytes", 10);
    node->indexes = {0, 1, 2, 7, 9, 10, 300};
    node->words = {QStringLiteral("a"), QString(), QStringLiteral("ü"), QStringLiteral("a")};
    for (int i = 0; i < 3; ++i) {
        auto child = std::make_shared<TestNode>();
        child->name = QString();
        child->number = std::numeric_limits<qint64>::max() - i;
        child->ratio = 0.1 * i;
        child->when = QDateTime(QDate(2024, 2, 29), QTime(23, 59, 59, 999), QTimeZone::utc());
        node->children.push_back(child);
    }
    node->link = node->children[1];
    return node;
}

TEST_F(KQKeyedArchiverTest, EveryValueKindRoundTrips)
{
    const auto node = richNode();
    const auto decoded = roundTrip(*node);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->name, node->name);
    EXPECT_EQ(decoded->number, node->number);
    EXPECT_EQ(decoded->ratio, node->ratio);
    EXPECT_EQ(decoded->flag, node->flag);
    EXPECT_EQ(decoded->when, node->when);
    EXPECT_EQ(decoded->blob, node->blob);
    EXPECT_EQ(decoded->indexes, node->indexes);
    EXPECT_EQ(decoded->words, node->words);
    ASSERT_EQ(decoded->children.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(decoded->children[i]->name, QString());
        EXPECT_TRUE(decoded->children[i]->name.has_value());
        EXPECT_EQ(decoded->children[i]->number, node->children[i]->number);
        EXPECT_EQ(decoded->children[i]->ratio, node->children[i]->ratio);
        EXPECT_EQ(decoded->children[i]->when, node->children[i]->when);
        EXPECT_FALSE(decoded->children[i]->blob.has_value());
    }
    // The link is the very object of the children list, as in the original graph.
    EXPECT_EQ(decoded->link.get(), decoded->children[1].get());
}

TEST_F(KQKeyedArchiverTest, ObjectEncodedTwiceIsStoredOnceAndDecodedShared)
{
    auto shared = std::make_shared<TestNode>();
    shared->name = QStringLiteral("shared");
    shared->blob = QByteArray(4000, 'x');
    TestNode twice;
    twice.children = {shared, shared};
    twice.link = shared;
    TestNode copies;
    copies.children = {shared, std::make_shared<TestNode>(*shared)};
    copies.link = shared;

    const QByteArray onceData = KQKeyedArchiver::archivedDataWithRootObject(twice);
    EXPECT_LT(onceData.size(), KQKeyedArchiver::archivedDataWithRootObject(copies).size() - 3000);
    const auto decoded =
        std::dynamic_pointer_cast<TestNode>(KQKeyedUnarchiver::unarchivedObjectOfClasses({nodeClass}, onceData));
    ASSERT_TRUE(decoded);
    ASSERT_EQ(decoded->children.size(), 2u);
    EXPECT_EQ(decoded->children[0].get(), decoded->children[1].get());
    EXPECT_EQ(decoded->link.get(), decoded->children[0].get());
    EXPECT_EQ(decoded->link->blob, shared->blob);
}

TEST_F(KQKeyedArchiverTest, NoneAndMissingKeysReadAsEmpty)
{
    const KQTestFreeObject sparse({nodeClass, QStringLiteral("NSObject")}, [](KQKeyedArchiver& coder) {
        coder.encodeString(std::nullopt, QStringLiteral("name"));
        coder.encodeObject(nullptr, QStringLiteral("link"));
        coder.encodeDate(QDateTime(), QStringLiteral("when"));
    });
    const auto decoded = std::dynamic_pointer_cast<TestNode>(
        KQKeyedUnarchiver::unarchivedObjectOfClasses({nodeClass}, KQKeyedArchiver::archivedDataWithRootObject(sparse)));
    ASSERT_TRUE(decoded);
    EXPECT_FALSE(decoded->name.has_value());
    EXPECT_FALSE(decoded->link);
    EXPECT_FALSE(decoded->when.isValid());
    EXPECT_FALSE(decoded->blob.has_value());
    EXPECT_EQ(decoded->number, 0);
    EXPECT_TRUE(decoded->children.empty());
    EXPECT_TRUE(decoded->indexes.empty());
}

TEST_F(KQKeyedArchiverTest, KeysStartingWithDollarDoNotClashWithArchiveKeys)
{
    const QString probeClass = QStringLiteral("KQTestProbe");
    KQRegisterArchiveClass(probeClass, [](KQKeyedUnarchiver& coder) -> KQCodingPtr {
        if (coder.decodeString(QStringLiteral("$class")) != QStringLiteral("mine") ||
            coder.decodeInt(QStringLiteral("$$odd")) != 7)
            return nullptr;
        return std::make_shared<TestNode>();
    });
    const KQTestFreeObject probe({probeClass}, [](KQKeyedArchiver& coder) {
        coder.encodeString(QStringLiteral("mine"), QStringLiteral("$class"));
        coder.encodeInt(7, QStringLiteral("$$odd"));
    });
    CNError error;
    EXPECT_TRUE(KQKeyedUnarchiver::unarchivedObjectOfClasses(
        {probeClass}, KQKeyedArchiver::archivedDataWithRootObject(probe), &error))
        << error.localizedDescription.toStdString();
}

struct IndexSetCase
{
    const char* name;
    std::vector<qint64> written;
    std::vector<qint64> read;
};

class KQKeyedArchiverIndexSet : public KQKeyedArchiverTest, public ::testing::WithParamInterface<IndexSetCase>
{
};

TEST_P(KQKeyedArchiverIndexSet, RoundTripsAsSortedSet)
{
    TestNode node;
    node.indexes = GetParam().written;
    const auto decoded = roundTrip(node);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->indexes, GetParam().read);
}

INSTANTIATE_TEST_SUITE_P(KQKeyedArchiver, KQKeyedArchiverIndexSet,
                         ::testing::Values(IndexSetCase{"Empty", {}, {}}, IndexSetCase{"Zero", {0}, {0}},
                                           IndexSetCase{"OneRange", {4, 5, 6}, {4, 5, 6}},
                                           IndexSetCase{"Scattered", {1, 3, 5}, {1, 3, 5}},
                                           IndexSetCase{"UnorderedWithRepeats", {3, 1, 3, 2, 1}, {1, 2, 3}},
                                           IndexSetCase{"NegativesDropped", {-1, 2, -7}, {2}},
                                           IndexSetCase{"LargeValues",
                                                        {127, 128, 16383, 16384, qint64(1) << 40},
                                                        {127, 128, 16383, 16384, qint64(1) << 40}},
                                           IndexSetCase{"ManyRanges",
                                                        {0, 1, 2, 10, 11, 200, 201, 202, 5000},
                                                        {0, 1, 2, 10, 11, 200, 201, 202, 5000}}),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST_F(KQKeyedArchiverTest, WrittenDataIsABinaryPlistOtherReadersAccept)
{
    const QByteArray data = KQKeyedArchiver::archivedDataWithRootObject(*richNode());
    ASSERT_TRUE(data.startsWith("bplist00"));
    const auto archiver = KQRunPythonOnData(
        QStringLiteral("import plistlib,sys; d=plistlib.load(open(sys.argv[1],\"rb\")); print(d[\"$archiver\"])"),
        data);
    if (!archiver)
        GTEST_SKIP() << "python3 is not installed";
    EXPECT_EQ(*archiver, QStringLiteral("NSKeyedArchiver"));
    const auto summary = KQRunPythonOnData(KQPythonArchiveSummary, data);
    ASSERT_TRUE(summary);
    const QStringList lines = summary->split(QLatin1Char('\n'));
    EXPECT_EQ(lines, QStringList({QStringLiteral("NSKeyedArchiver"), QStringLiteral("KQTestNode"),
                                  QStringLiteral("NSArray"), QStringLiteral("NSDate"), QStringLiteral("NSIndexSet")}))
        << summary->toStdString();
}

TEST_F(KQKeyedArchiverTest, ArchiveWrittenByAnotherWriterDecodes)
{
    // Hand-made: UTF-16 text, a mutable-string object, a real-valued date and packed ranges.
    const QByteArray data = KQTestKeyedArchive({
        KQTestPlist::dict({{"$class", KQTestPlist::uid(2)},
                           {"name", KQTestPlist::uid(3)},
                           {"words", KQTestPlist::uid(4)},
                           {"when", KQTestPlist::uid(8)},
                           {"indexes", KQTestPlist::uid(10)},
                           {"number", KQTestPlist::integer(-5)},
                           {"flag", KQTestPlist::integer(1)}}),
        KQTestPlist::dict({{"$classname", KQTestPlist::str(nodeClass)},
                           {"$classes", KQTestPlist::array({KQTestPlist::str(nodeClass)})}}),
        KQTestPlist::str(QStringLiteral("Ĳssel")),
        KQTestPlist::dict({{"$class", KQTestPlist::uid(5)}, {"NS.objects", KQTestPlist::array({KQTestPlist::uid(6)})}}),
        KQTestPlist::dict({{"$classname", KQTestPlist::str(QStringLiteral("NSMutableArray"))}}),
        KQTestPlist::dict({{"$class", KQTestPlist::uid(7)}, {"NS.string", KQTestPlist::str(QStringLiteral("m"))}}),
        KQTestPlist::dict({{"$classname", KQTestPlist::str(QStringLiteral("NSMutableString"))}}),
        KQTestPlist::dict({{"$class", KQTestPlist::uid(9)}, {"NS.time", KQTestPlist::realNumber(1.5)}}),
        KQTestPlist::dict({{"$classname", KQTestPlist::str(QStringLiteral("NSDate"))}}),
        KQTestPlist::dict({{"$class", KQTestPlist::uid(11)},
                           {"NSRangeCount", KQTestPlist::integer(2)},
                           {"NSRangeData", KQTestPlist::data(QByteArray("\x02\x01\x80\x01\x02", 5))}}),
        KQTestPlist::dict({{"$classname", KQTestPlist::str(QStringLiteral("NSMutableIndexSet"))}}),
    });
    CNError error;
    const auto node =
        std::dynamic_pointer_cast<TestNode>(KQKeyedUnarchiver::unarchivedObjectOfClasses({nodeClass}, data, &error));
    ASSERT_TRUE(node) << error.localizedDescription.toStdString();
    EXPECT_EQ(node->name, QStringLiteral("Ĳssel"));
    EXPECT_EQ(node->words, QStringList{QStringLiteral("m")});
    EXPECT_EQ(node->when, QDateTime(QDate(2001, 1, 1), QTime(0, 0, 1, 500), QTimeZone::utc()));
    EXPECT_EQ(node->indexes, (std::vector<qint64>{2, 128, 129}));
    EXPECT_EQ(node->number, -5);
    EXPECT_TRUE(node->flag);
}

TEST_F(KQKeyedArchiverTest, NestingWithinTheLimitDecodesAndBeyondItFails)
{
    const auto chain = [](int depth) {
        auto head = std::make_shared<TestNode>();
        auto node = head;
        for (int i = 1; i < depth; ++i) {
            node->link = std::make_shared<TestNode>();
            node = node->link;
        }
        return head;
    };
    CNError error;
    EXPECT_TRUE(KQKeyedUnarchiver::unarchivedObjectOfClasses(
        {nodeClass}, KQKeyedArchiver::archivedDataWithRootObject(*chain(60)), &error))
        << error.localizedDescription.toStdString();
    EXPECT_FALSE(KQKeyedUnarchiver::unarchivedObjectOfClasses(
        {nodeClass}, KQKeyedArchiver::archivedDataWithRootObject(*chain(500)), &error));
    EXPECT_TRUE(error.localizedDescription.contains(QStringLiteral("deep")))
        << error.localizedDescription.toStdString();
}

TEST_F(KQKeyedArchiverTest, RegistryIsSafeToUseFromSeveralThreads)
{
    const QByteArray data = KQKeyedArchiver::archivedDataWithRootObject(*richNode());
    std::atomic<int> decodedCount = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 50; ++i) {
                if (KQKeyedUnarchiver::unarchivedObjectOfClasses({nodeClass}, data))
                    ++decodedCount;
            }
        });
    }
    for (int i = 0; i < 200; ++i)
        KQRegisterArchiveClass(nodeClass, &TestNode::decode);
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(decodedCount, 200);
}

// ---- refused input ----

struct RefusedCase
{
    std::string name;
    QByteArray data;
    QString errorPart;    // a piece of the expected error text
    qint64 position = -2; // the object at fault in "$objects" (-1: none); -2: not checked
};

QByteArray patched(QByteArray data, qsizetype pos, const QByteArray& bytes)
{
    data.replace(pos, bytes.size(), bytes);
    return data;
}

QByteArray bigEndian(quint64 value, int width)
{
    QByteArray out;
    KQTestPlist::appendBigEndian(out, value, width);
    return out;
}

KQTestPlist classDict(const QString& name)
{
    return KQTestPlist::dict(
        {{"$classname", KQTestPlist::str(name)}, {"$classes", KQTestPlist::array({KQTestPlist::str(name)})}});
}

// A root node object with the given extra entries, its class at UID 2.
QByteArray nodeArchive(std::vector<std::pair<QByteArray, KQTestPlist>> entries, std::vector<KQTestPlist> more = {})
{
    entries.insert(entries.begin(), {"$class", KQTestPlist::uid(2)});
    std::vector<KQTestPlist> objects{KQTestPlist::dict(std::move(entries)), classDict(nodeClass)};
    objects.insert(objects.end(), more.begin(), more.end());
    return KQTestKeyedArchive(objects);
}

std::vector<RefusedCase> refusedCases()
{
    const QByteArray valid = KQKeyedArchiver::archivedDataWithRootObject(*richNode());
    const qsizetype trailer = valid.size() - 32;
    std::vector<RefusedCase> cases{
        {"Empty", QByteArray(), QStringLiteral("too short")},
        {"Garbage", QByteArray(300, '\x5a'), QStringLiteral("magic")},
        {"WrongMagic", patched(valid, 0, "bplist01"), QStringLiteral("magic")},
        {"XmlPlist", QByteArray("<?xml version=\"1.0\"?><plist><dict/></plist>                           "),
         QStringLiteral("magic")},
        {"HugeObjectCount", patched(valid, trailer + 8, bigEndian(quint64(1) << 62, 8)), QStringLiteral("count")},
        {"ObjectCountOneTooMany",
         patched(valid, trailer + 8,
                 bigEndian((valid.size() - 32 - qFromBigEndian<quint64>(valid.constData() + trailer + 24)) /
                                   static_cast<uchar>(valid[trailer + 6]) +
                               1,
                           8)),
         QStringLiteral("count")},
        {"TopObjectOutOfRange", patched(valid, trailer + 16, bigEndian(quint64(1) << 40, 8)),
         QStringLiteral("top object")},
        {"OffsetTablePastEnd", patched(valid, trailer + 24, bigEndian(quint64(valid.size()), 8)),
         QStringLiteral("offset table")},
        {"OffsetTableHuge", patched(valid, trailer + 24, bigEndian(~quint64(0), 8)), QStringLiteral("offset table")},
        {"OffsetSizeZero", patched(valid, trailer + 6, QByteArray(1, '\0')), QStringLiteral("offset size")},
        {"RefSizeNine", patched(valid, trailer + 7, QByteArray(1, '\x09')), QStringLiteral("reference size")},
        {"ObjectOffsetPastTable",
         patched(valid, qFromBigEndian<quint64>(valid.constData() + trailer + 24),
                 QByteArray(static_cast<uchar>(valid[trailer + 6]), '\xff')),
         QStringLiteral("outside the object area")},
        {"HugeDeclaredStringLength",
         KQTestPlist::write(KQTestPlist::array(
             {KQTestPlist::raw(QByteArray("\x5f\x13", 2) + bigEndian(quint64(1) << 60, 8) + "abc")})),
         QStringLiteral("past the object area")},
        {"HugeDeclaredArrayCount",
         KQTestPlist::write(KQTestPlist::raw(QByteArray("\xaf\x13", 2) + bigEndian(quint64(1) << 62, 8))),
         QStringLiteral("past the object area")},
        {"ReferenceOutOfRange", KQTestPlist::write(KQTestPlist::array({KQTestPlist::ref(77)})),
         QStringLiteral("refers to object 77")},
        {"ContainerContainsItself", KQTestPlist::write(KQTestPlist::array({KQTestPlist::array({KQTestPlist::ref(0)})})),
         QStringLiteral("contains itself")},
        {"DictionaryKeyNotString", KQTestPlist::write(KQTestPlist::raw(QByteArray("\xd1\x00\x00\x00\x00", 5))),
         QStringLiteral("key")},
        {"UnknownMarker", KQTestPlist::write(KQTestPlist::array({KQTestPlist::raw("\x70")})),
         QStringLiteral("unsupported marker")},
        {"NotAKeyedArchive", KQTestPlist::write(KQTestPlist::array({})), QStringLiteral("not a keyed archive")},
        {"WrongArchiverName",
         KQTestPlist::write(KQTestPlist::dict({{"$version", KQTestPlist::integer(100000)},
                                               {"$archiver", KQTestPlist::str(QStringLiteral("Other"))},
                                               {"$top", KQTestPlist::dict({})},
                                               {"$objects", KQTestPlist::array({})}})),
         QStringLiteral("$archiver")},
        {"ObjectsWithoutNull",
         KQTestPlist::write(KQTestPlist::dict({{"$version", KQTestPlist::integer(100000)},
                                               {"$archiver", KQTestPlist::str(QStringLiteral("NSKeyedArchiver"))},
                                               {"$top", KQTestPlist::dict({{"root", KQTestPlist::uid(0)}})},
                                               {"$objects", KQTestPlist::array({KQTestPlist::integer(1)})}})),
         QStringLiteral("$null")},
        {"RootUidOutOfRange", KQTestKeyedArchive({}, KQTestPlist::dict({{"root", KQTestPlist::uid(5)}})),
         QStringLiteral("refers to object 5")},
        // References one past the last object: the bounds are exclusive.
        {"RootUidJustPastTheLastObject", KQTestKeyedArchive({}, KQTestPlist::dict({{"root", KQTestPlist::uid(1)}})),
         QStringLiteral("refers to object 1, but the archive has 1"), -1},
        {"LinkUidJustPastTheLastObject", nodeArchive({{"link", KQTestPlist::uid(3)}}),
         QStringLiteral("refers to object 3, but the archive has 3"), 1},
        {"ArrayElementJustPastTheLastObject",
         nodeArchive({{"words", KQTestPlist::uid(3)}},
                     {KQTestPlist::dict(
                          {{"$class", KQTestPlist::uid(4)}, {"NS.objects", KQTestPlist::array({KQTestPlist::uid(5)})}}),
                      classDict(QStringLiteral("NSArray"))}),
         QStringLiteral("invalid element"), 1},
        {"RootMissing", KQTestKeyedArchive({}, KQTestPlist::dict({})), QStringLiteral("no root")},
        {"RootIsAString", KQTestKeyedArchive({KQTestPlist::str(QStringLiteral("x"))}),
         QStringLiteral("not an archived object")},
        {"ClassNotAUid", KQTestKeyedArchive({KQTestPlist::dict({{"$class", KQTestPlist::integer(2)}})}),
         QStringLiteral("no valid class")},
        {"ClassUidPointsAtString", KQTestKeyedArchive({KQTestPlist::dict({{"$class", KQTestPlist::uid(1)}})}),
         QStringLiteral("no valid class")},
        {"ClassNameNotAString",
         KQTestKeyedArchive({KQTestPlist::dict({{"$class", KQTestPlist::uid(2)}}),
                             KQTestPlist::dict({{"$classname", KQTestPlist::integer(3)}})}),
         QStringLiteral("no valid class")},
        {"ClassNotAllowed",
         KQTestKeyedArchive({KQTestPlist::dict({{"$class", KQTestPlist::uid(2)}}), classDict(otherClass)}),
         QStringLiteral("\"KQTestOther\" is not allowed")},
        {"NestedClassNotAllowed",
         nodeArchive({{"link", KQTestPlist::uid(3)}},
                     {KQTestPlist::dict({{"$class", KQTestPlist::uid(4)}}), classDict(otherClass)}),
         QStringLiteral("\"KQTestOther\" is not allowed for key \"link\"")},
        {"ReferenceCycle", nodeArchive({{"link", KQTestPlist::uid(1)}}), QStringLiteral("cycle")},
        {"StringIsAnInteger", nodeArchive({{"name", KQTestPlist::integer(4)}}), QStringLiteral("\"name\"")},
        {"StringUidPointsAtData", nodeArchive({{"name", KQTestPlist::uid(3)}}, {KQTestPlist::data("x")}),
         QStringLiteral("not a string")},
        {"IntegerIsAString", nodeArchive({{"number", KQTestPlist::str(QStringLiteral("4"))}}),
         QStringLiteral("not an integer")},
        {"IntegerIsAnObject", nodeArchive({{"number", KQTestPlist::uid(1)}}), QStringLiteral("not an integer")},
        {"IntegerRealTooLarge", nodeArchive({{"number", KQTestPlist::realNumber(1e30)}}),
         QStringLiteral("not an integer")},
        {"DataIsAString", nodeArchive({{"blob", KQTestPlist::uid(3)}}, {KQTestPlist::str(QStringLiteral("x"))}),
         QStringLiteral("not data")},
        {"DateWithoutTime",
         nodeArchive({{"when", KQTestPlist::uid(3)}},
                     {KQTestPlist::dict({{"$class", KQTestPlist::uid(4)}}), classDict(QStringLiteral("NSDate"))}),
         QStringLiteral("no time")},
        {"DateOutOfRange",
         nodeArchive({{"when", KQTestPlist::uid(3)}},
                     {KQTestPlist::dict({{"$class", KQTestPlist::uid(4)}, {"NS.time", KQTestPlist::realNumber(1e300)}}),
                      classDict(QStringLiteral("NSDate"))}),
         QStringLiteral("out of range")},
        {"ArrayHoldsNull",
         nodeArchive({{"children", KQTestPlist::uid(3)}},
                     {KQTestPlist::dict(
                          {{"$class", KQTestPlist::uid(4)}, {"NS.objects", KQTestPlist::array({KQTestPlist::uid(0)})}}),
                      classDict(QStringLiteral("NSArray"))}),
         QStringLiteral("invalid element")},
        {"ArrayElementOutOfRange",
         nodeArchive({{"words", KQTestPlist::uid(3)}},
                     {KQTestPlist::dict({{"$class", KQTestPlist::uid(4)},
                                         {"NS.objects", KQTestPlist::array({KQTestPlist::uid(900)})}}),
                      classDict(QStringLiteral("NSArray"))}),
         QStringLiteral("invalid element")},
        {"ArrayIsADate",
         nodeArchive({{"children", KQTestPlist::uid(3)}},
                     {KQTestPlist::dict({{"$class", KQTestPlist::uid(4)}, {"NS.time", KQTestPlist::realNumber(0)}}),
                      classDict(QStringLiteral("NSDate"))}),
         QStringLiteral("not of class NSArray")},
        {"IndexSetHugeRange",
         nodeArchive({{"indexes", KQTestPlist::uid(3)}},
                     {KQTestPlist::dict({{"$class", KQTestPlist::uid(4)},
                                         {"NSRangeCount", KQTestPlist::integer(1)},
                                         {"NSLocation", KQTestPlist::integer(0)},
                                         {"NSLength", KQTestPlist::integer(qint64(1) << 50)}}),
                      classDict(QStringLiteral("NSIndexSet"))}),
         QStringLiteral("expands")},
        {"IndexSetRangeCountMismatch",
         nodeArchive({{"indexes", KQTestPlist::uid(3)}},
                     {KQTestPlist::dict({{"$class", KQTestPlist::uid(4)},
                                         {"NSRangeCount", KQTestPlist::integer(5)},
                                         {"NSRangeData", KQTestPlist::data(QByteArray("\x01\x01", 2))}}),
                      classDict(QStringLiteral("NSIndexSet"))}),
         QStringLiteral("ranges")},
        {"IndexSetEndlessNumber",
         nodeArchive({{"indexes", KQTestPlist::uid(3)}},
                     {KQTestPlist::dict({{"$class", KQTestPlist::uid(4)},
                                         {"NSRangeCount", KQTestPlist::integer(2)},
                                         {"NSRangeData", KQTestPlist::data(QByteArray(12, '\xff'))}}),
                      classDict(QStringLiteral("NSIndexSet"))}),
         QStringLiteral("damaged range data")},
    };

    // Containers nested past the parser's limit.
    KQTestPlist deep = KQTestPlist::array({});
    for (int i = 0; i < 40; ++i)
        deep = KQTestPlist::array({deep});
    cases.push_back({"DeepContainerNesting", KQTestPlist::write(deep), QStringLiteral("nested")});

    // Shared references that would expand to a huge tree (each level doubles it).
    // Object 0: the top array, object 1: the leaf, object k+1: an array of two references to object k.
    std::vector<KQTestPlist> topItems{KQTestPlist::str(QStringLiteral("leaf leaf leaf leaf"))};
    for (int k = 1; k < 30; ++k)
        topItems.push_back(KQTestPlist::array({KQTestPlist::ref(k), KQTestPlist::ref(k)}));
    cases.push_back(
        {"ExponentialExpansion", KQTestPlist::write(KQTestPlist::array(topItems)), QStringLiteral("expand")});
    return cases;
}

class KQKeyedArchiverRefused : public KQKeyedArchiverTest, public ::testing::WithParamInterface<RefusedCase>
{
};

TEST_P(KQKeyedArchiverRefused, FailsWithAClearError)
{
    KQKeyedUnarchiver unarchiver(GetParam().data, {nodeClass});
    EXPECT_FALSE(unarchiver.decodeRootObject());
    EXPECT_TRUE(unarchiver.failed());
    EXPECT_TRUE(unarchiver.error().localizedDescription.contains(GetParam().errorPart))
        << "error: " << unarchiver.error().localizedDescription.toStdString()
        << "\nexpected: " << GetParam().errorPart.toStdString();
    EXPECT_EQ(unarchiver.error().code, CNError::CorruptData);
    if (GetParam().position != -2) {
        EXPECT_EQ(unarchiver.error().position, GetParam().position);
    }
    // After a failure every decoder reads empty.
    EXPECT_FALSE(unarchiver.decodeString(QStringLiteral("root")).has_value());
    EXPECT_EQ(unarchiver.decodeInt(QStringLiteral("root")), 0);
}

INSTANTIATE_TEST_SUITE_P(KQKeyedArchiver, KQKeyedArchiverRefused, ::testing::ValuesIn(refusedCases()),
                         [](const auto& testInfo) { return testInfo.param.name; });

TEST_F(KQKeyedArchiverTest, EveryTruncationFails)
{
    const QByteArray valid = KQKeyedArchiver::archivedDataWithRootObject(*richNode());
    for (qsizetype length = 0; length < valid.size(); ++length) {
        CNError error;
        EXPECT_FALSE(KQKeyedUnarchiver::unarchivedObjectOfClasses({nodeClass}, valid.left(length), &error))
            << "length " << length;
        EXPECT_FALSE(!error.isError()) << "length " << length;
    }
}

TEST_F(KQKeyedArchiverTest, RandomDamageNeverCrashes)
{
    const QByteArray valid = KQKeyedArchiver::archivedDataWithRootObject(*richNode());
    std::mt19937 random(20240229);
    int decoded = 0;
    for (int round = 0; round < 3000; ++round) {
        QByteArray data = valid;
        const int edits = 1 + static_cast<int>(random() % 4);
        for (int e = 0; e < edits && !data.isEmpty(); ++e) {
            const auto pos = static_cast<qsizetype>(random() % static_cast<quint32>(data.size()));
            switch (random() % 5) {
            case 0:
                data.truncate(pos);
                break;
            case 1: // the trailer and offset table are the most sensitive part
                data[qMax<qsizetype>(0, data.size() - 1 - static_cast<qsizetype>(random() % 48))] =
                    static_cast<char>(random());
                break;
            default:
                data[pos] = static_cast<char>(data[pos] ^ (1 << (random() % 8)));
                break;
            }
        }
        CNError error;
        const KQCodingPtr object = KQKeyedUnarchiver::unarchivedObjectOfClasses({nodeClass}, data, &error);
        EXPECT_NE(object == nullptr, !error.isError()) << "round " << round;
        decoded += object ? 1 : 0;
    }
    // Some flips land in payload bytes and still decode; most do not.
    EXPECT_GT(decoded, 0);
    EXPECT_LT(decoded, 3000);
}

} // namespace
