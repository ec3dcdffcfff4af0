// The in-place property-list reader against lists written by another writer: Python's plistlib
// picks its own widths (one- to sixteen-byte integers, UTF-16 for text beyond ASCII, wide UIDs),
// and every value must read back as it went in, whatever order its keys are asked for in.

#include "KQPlistTestWriter.h"
#include "KQTestPython.h"
#include "platform/KQBinaryPlistReader.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>
#include <random>

namespace {

using Kind = KQBinaryPlistReader::Kind;

// Each entry of the dictionary that the Python writer makes, and how the reader must show it.
struct ValueCase
{
    const char* name;
    QString key;
    bool dollar; // the key is stored with one more "$" in front
    QString expected;
};

void PrintTo(const ValueCase& c, std::ostream* os)
{
    *os << c.name;
}

const char* pythonWriter = R"(
import plistlib, sys
d = {
  'zero': 0, 'byte': 255, 'short': 65535, 'word': 4294967295, 'long': 2**40 + 5, 'negative': -2,
  'huge': 2**64 - 1, 'real': -0.25, 'yes': True, 'no': False,
  'ascii': 'plain text', 'empty': '', 'accented': 'Zoë Ångström', 'astral': 'a\U0001F600b',
  'blob': bytes(range(5)), 'uid': plistlib.UID(300), 'list': [1, 'two'],
  '$$escaped': 'dollar', 'größe': 'key beyond ASCII',
  'long text': 'x' * 40,
}
open(sys.argv[1], 'wb').write(plistlib.dumps(d, fmt=plistlib.FMT_BINARY))
)";

QString show(const KQBinaryPlistReader& reader, KQBinaryPlistReader::Ref value)
{
    switch (reader.kind(value)) {
    case Kind::None:
        return QStringLiteral("none");
    case Kind::Bool:
        return reader.boolValue(value) ? QStringLiteral("bool true") : QStringLiteral("bool false");
    case Kind::Int:
        return QStringLiteral("int ") + QString::number(reader.intValue(value));
    case Kind::Real:
        return QStringLiteral("real ") + QString::number(reader.realValue(value));
    case Kind::AsciiString:
    case Kind::Utf16String:
        return QStringLiteral("string ") + reader.stringValue(value);
    case Kind::Data:
        return QStringLiteral("data ") + QString::fromLatin1(reader.dataValue(value).toHex());
    case Kind::Uid:
        return QStringLiteral("uid ") + QString::number(reader.uidValue(value));
    case Kind::Array: {
        QStringList items;
        for (quint64 i = 0; i < reader.count(value); ++i)
            items << show(reader, reader.element(value, i));
        return QStringLiteral("array [") + items.join(QStringLiteral(", ")) + QLatin1Char(']');
    }
    default:
        return QStringLiteral("other");
    }
}

std::vector<ValueCase> valueCases()
{
    return {
        {"ZeroInOneByte", QStringLiteral("zero"), false, QStringLiteral("int 0")},
        {"LargestOneByteInteger", QStringLiteral("byte"), false, QStringLiteral("int 255")},
        {"LargestTwoByteInteger", QStringLiteral("short"), false, QStringLiteral("int 65535")},
        {"LargestFourByteInteger", QStringLiteral("word"), false, QStringLiteral("int 4294967295")},
        {"EightByteInteger", QStringLiteral("long"), false, QStringLiteral("int 1099511627781")},
        // Negative numbers are stored in eight bytes, two's complement.
        {"NegativeInteger", QStringLiteral("negative"), false, QStringLiteral("int 18446744073709551614")},
        {"SixteenByteIntegerKeepsItsLow64Bits", QStringLiteral("huge"), false,
         QStringLiteral("int 18446744073709551615")},
        {"Real", QStringLiteral("real"), false, QStringLiteral("real -0.25")},
        {"True", QStringLiteral("yes"), false, QStringLiteral("bool true")},
        {"False", QStringLiteral("no"), false, QStringLiteral("bool false")},
        {"AsciiString", QStringLiteral("ascii"), false, QStringLiteral("string plain text")},
        {"EmptyString", QStringLiteral("empty"), false, QStringLiteral("string ")},
        {"Utf16String", QStringLiteral("accented"), false, QStringLiteral("string Zoë Ångström")},
        {"SurrogatePair", QStringLiteral("astral"), false, QStringLiteral("string a\U0001F600b")},
        {"StringWithALengthAfterItsMarker", QStringLiteral("long text"), false,
         QStringLiteral("string ") + QString(40, QLatin1Char('x'))},
        {"Data", QStringLiteral("blob"), false, QStringLiteral("data 0001020304")},
        {"TwoByteUid", QStringLiteral("uid"), false, QStringLiteral("uid 300")},
        {"ArrayOfMixedValues", QStringLiteral("list"), false, QStringLiteral("array [int 1, string two]")},
        {"EscapedDollarKey", QStringLiteral("$escaped"), true, QStringLiteral("string dollar")},
        {"DollarKeyIsNotFoundWithoutItsEscape", QStringLiteral("$escaped"), false, QStringLiteral("none")},
        {"KeyBeyondAscii", QStringLiteral("größe"), false, QStringLiteral("string key beyond ASCII")},
        {"MissingKey", QStringLiteral("absent"), false, QStringLiteral("none")},
        {"KeyDifferingOnlyInLength", QStringLiteral("zer"), false, QStringLiteral("none")},
    };
}

class KQBinaryPlistReaderTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        const QString python = KQPythonWithModule(QStringLiteral("plistlib"));
        if (python.isEmpty())
            return;
        s_dir = new QTemporaryDir;
        const QString path = s_dir->filePath(QStringLiteral("list.plist"));
        QProcess process;
        process.start(python, {QStringLiteral("-c"), QString::fromUtf8(pythonWriter), path});
        process.waitForFinished(30000);
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            s_data = new QByteArray(file.readAll());
    }
    static void TearDownTestSuite()
    {
        delete s_data;
        delete s_dir;
        s_data = nullptr;
        s_dir = nullptr;
    }

    void SetUp() override
    {
        if (!s_data || s_data->isEmpty())
            GTEST_SKIP() << "python3 with plistlib is not available";
        CNError error;
        ASSERT_TRUE(reader.open(*s_data, &error)) << error.localizedDescription.toStdString();
        ASSERT_EQ(reader.kind(reader.top()), Kind::Dict);
    }

    KQBinaryPlistReader reader;
    static inline QByteArray* s_data = nullptr;
    static inline QTemporaryDir* s_dir = nullptr;
};

class KQBinaryPlistReaderValues : public KQBinaryPlistReaderTest, public ::testing::WithParamInterface<ValueCase>
{
};

TEST_P(KQBinaryPlistReaderValues, ReadsWhatPythonWrote)
{
    const ValueCase& c = GetParam();
    EXPECT_EQ(show(reader, reader.value(reader.top(), QStringView(c.key), c.dollar)), c.expected);
}

INSTANTIATE_TEST_SUITE_P(KQBinaryPlistReader, KQBinaryPlistReaderValues, ::testing::ValuesIn(valueCases()),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST_F(KQBinaryPlistReaderTest, KeysAskedForInAnyOrderFindTheSameValues)
{
    std::vector<ValueCase> cases = valueCases();
    std::mt19937 random(7);
    for (int round = 0; round < 20; ++round) {
        std::shuffle(cases.begin(), cases.end(), random);
        quint64 next = 0; // carried from lookup to lookup, as a decoder does
        for (const ValueCase& c : cases) {
            EXPECT_EQ(show(reader, reader.value(reader.top(), QStringView(c.key), c.dollar, &next)), c.expected)
                << c.name << " in round " << round;
        }
    }
}

TEST(KQBinaryPlistReaderRaw, FourByteRealAndOneByteUid)
{
    // plistlib writes neither: single-precision reals and one-byte UIDs come from other writers.
    const QByteArray data = KQTestPlist::write(KQTestPlist::array(
        {KQTestPlist::raw(QByteArray("\x22\x3f\xc0\x00\x00", 5)), KQTestPlist::raw(QByteArray("\x80\x07", 2))}));
    KQBinaryPlistReader reader;
    CNError error;
    ASSERT_TRUE(reader.open(data, &error)) << error.localizedDescription.toStdString();
    EXPECT_EQ(show(reader, reader.top()), QStringLiteral("array [real 1.5, uid 7]"));
}

} // namespace
