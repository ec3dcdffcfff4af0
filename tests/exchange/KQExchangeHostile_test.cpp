// Hostile files end with a clear error or the readable part, never a crash or a hang. These cases
// also run as one ctest entry under a time limit (tests/CMakeLists.txt).
#include "KQExchangeTestSupport.h"
#include "KQTestUtil.h"
#include "exchange/KQContactCSVSerialization.h"
#include "store/KQContactManager.h"

#include <QRandomGenerator>

using namespace exchangetest;

namespace {

struct HostileCsv
{
    const char* name;
    QByteArray (*make)();
    KQCSVReadResult::Status status;
    int maxContacts;
};

void PrintTo(const HostileCsv& c, std::ostream* os)
{
    *os << c.name;
}

class HostileCsvInput : public ::testing::TestWithParam<HostileCsv>
{
};

TEST_P(HostileCsvInput, EndsWithAClearResult)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("hostile.csv"));
    ASSERT_TRUE(writeFile(path, GetParam().make()));
    int contacts = 0;
    const KQCSVReadResult result = KQContactCSVSerialization::contactsWithCSVFile(
        path, {}, [&contacts](const KQContactHelperPtr&, bool*, double) { ++contacts; });
    EXPECT_EQ(result.status, GetParam().status) << result.description.toStdString();
    EXPECT_LE(contacts, GetParam().maxContacts);
    if (!result.ok()) {
        EXPECT_FALSE(result.description.isEmpty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, HostileCsvInput,
    ::testing::Values(
        HostileCsv{"QuoteNeverClosed", [] { return QByteArray("First Name,Note\nAda,\"open\nGrace,x\nAlan,y\n"); },
                   KQCSVReadResult::Read, 1},
        HostileCsv{"TenMegabyteField",
                   [] { return QByteArray("First Name,Note\nAda,") + QByteArray(10 * 1024 * 1024, 'x') + '\n'; },
                   KQCSVReadResult::Read, 1},
        HostileCsv{"HundredThousandColumns",
                   [] {
                       QByteArray header = "E-mail";
                       QByteArray row = "a@example.org";
                       for (int i = 1; i < 100000; ++i) {
                           header += ",c" + QByteArray::number(i);
                           row += ",v";
                       }
                       return header + '\n' + row + '\n';
                   },
                   KQCSVReadResult::Read, 1},
        HostileCsv{"NulBytes", [] { return QByteArray("First Name,Last\nA\0da,L\0\n", 24); }, KQCSVReadResult::Read, 1},
        HostileCsv{"LoneCarriageReturns", [] { return QByteArray("First Name\rAda\rGrace\r"); },
                   KQCSVReadResult::NoData, 0},
        HostileCsv{"MixedSeparators", [] { return QByteArray("First Name;Last Name\nAda,Lovelace\nGrace;Hopper\n"); },
                   KQCSVReadResult::Read, 2},
        HostileCsv{"OnlyBytesOfAMark", [] { return QByteArray("\xEF\xBB\xBF"); }, KQCSVReadResult::Empty, 0}),
    [](const ::testing::TestParamInfo<HostileCsv>& p) { return std::string(p.param.name); });

struct HostileCard
{
    const char* name;
    QByteArray (*make)();
    const char* givenName; // the readable part: the name of the one contact, or empty for none
};

void PrintTo(const HostileCard& c, std::ostream* os)
{
    *os << c.name;
}

class HostileVCardInput : public ::testing::TestWithParam<HostileCard>
{
};

TEST_P(HostileVCardInput, GivesTheReadablePart)
{
    KQContactManager::sharedContactManager();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("hostile.vcf"));
    ASSERT_TRUE(writeFile(path, GetParam().make()));
    KQImportExportMgr manager;
    auto recorder = std::make_shared<RecordingDelegate>();
    manager.setDelegate(recorder);
    manager.runImport({path});
    ASSERT_TRUE(kqWaitUntil([&] { return recorder->completed; }, 60000));
    ASSERT_LE(recorder->received.size(), 1u);
    if (*GetParam().givenName) {
        ASSERT_EQ(recorder->received.size(), 1u);
        EXPECT_EQ(recorder->received[0]->contact()->givenName(), QString::fromUtf8(GetParam().givenName));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, HostileVCardInput,
    ::testing::Values(
        HostileCard{"FiftyMegabytePhoto",
                    [] {
                        QByteArray noise(37 * 1024 * 1024, Qt::Uninitialized);
                        QRandomGenerator generator(7);
                        generator.fillRange(reinterpret_cast<quint32*>(noise.data()), noise.size() / 4);
                        return QByteArray("BEGIN:VCARD\r\nVERSION:3.0\r\nN:Big;Ada;;;\r\nFN:Ada Big\r\n"
                                          "PHOTO;ENCODING=b;TYPE=JPEG:") +
                               noise.toBase64() + "\r\nEND:VCARD\r\n";
                    },
                    "Ada"},
        HostileCard{"MegabyteFoldedLine",
                    [] {
                        QByteArray card = "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Long;Ada;;;\r\nFN:Ada Long\r\nNOTE:";
                        for (int i = 0; i < 1024 * 1024 / 74; ++i)
                            card += QByteArray(74, 'n') + "\r\n ";
                        return card + "end\r\nEND:VCARD\r\n";
                    },
                    "Ada"},
        HostileCard{"BeginWithoutEnd",
                    [] { return QByteArray("BEGIN:VCARD\r\nVERSION:3.0\r\nN:Half;Ada;;;\r\nFN:Ada Half\r\n"); }, ""},
        HostileCard{"BinaryNoise",
                    [] {
                        QByteArray noise(4096, Qt::Uninitialized);
                        QRandomGenerator generator(3);
                        generator.fillRange(reinterpret_cast<quint32*>(noise.data()), noise.size() / 4);
                        return noise;
                    },
                    ""}),
    [](const ::testing::TestParamInfo<HostileCard>& p) { return std::string(p.param.name); });

} // namespace
