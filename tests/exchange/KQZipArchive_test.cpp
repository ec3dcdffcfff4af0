// Zip archives: hostile entry names and links never write outside the destination, bombs are
// stopped, and archives written by our zip writer are read by python3's zipfile.
#include "KQPackageTestSupport.h"
#include "exchange/packages/ZipArchive.h"

#include <QDirIterator>
#include <QFileInfo>

using namespace packagetest;

namespace {

// Builds a zip with python3: argv[1] the archive, then pairs of (name, kind) where kind is
// "file", "link" (a symbolic link to /etc/passwd) or "big:N" (N MiB of zeros).
const QString kZipMaker = QStringLiteral(R"(
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as z:
    args = sys.argv[2:]
    for name, kind in zip(args[0::2], args[1::2]):
        info = zipfile.ZipInfo(name, date_time=(2020, 5, 17, 10, 30, 0))
        info.compress_type = zipfile.ZIP_DEFLATED
        if kind == 'link':
            info.create_system = 3
            info.external_attr = 0o120777 << 16
            z.writestr(info, '/etc/passwd')
        elif kind.startswith('big:'):
            with z.open(info, 'w', force_zip64=True) as f:
                block = bytes(1 << 20)
                for _ in range(int(kind[4:])):
                    f.write(block)
        else:
            z.writestr(info, 'content of ' + name)
)");

// Makes the first entry's header claim 1 KB whatever it holds (local and central headers).
const QString kClaimSmall = QStringLiteral(R"(
import sys, struct
data = bytearray(open(sys.argv[1], 'rb').read())
def patch(sig, size_at, extra_len_at, name_len_at, header_len):
    at = data.find(sig)
    name_len, extra_len = struct.unpack_from('<HH', data, at + name_len_at)
    struct.pack_into('<I', data, at + size_at, 1024)
    # zip64 sizes live in the extra field (id 1): the uncompressed size comes first.
    extra = at + header_len + name_len
    end = extra + extra_len
    while extra + 4 <= end:
        kind, length = struct.unpack_from('<HH', data, extra)
        if kind == 1:
            struct.pack_into('<Q', data, extra + 4, 1024)
        extra += 4 + length
patch(b'PK\x03\x04', 22, 28, 26, 30)
patch(b'PK\x01\x02', 24, 30, 28, 46)
open(sys.argv[1], 'wb').write(data)
)");

struct HostileName
{
    const char* description;
    const char* name;
    const char* kind;
};

void PrintTo(const HostileName& entry, std::ostream* os)
{
    *os << entry.description;
}

QStringList filesUnder(const QString& folder)
{
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(QDir(folder).relativeFilePath(it.next()));
    files.sort();
    return files;
}

class ZipArchiveTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (python().isEmpty())
            GTEST_SKIP() << "python3 is not installed";
    }
    QString makeZip(const QStringList& entries)
    {
        const QString path = dir.filePath(QStringLiteral("archive.zip"));
        const QString out = runPython(kZipMaker, QStringList{path} + entries);
        EXPECT_FALSE(out.startsWith(QStringLiteral("FAILED"))) << out.toStdString();
        return path;
    }
    QTemporaryDir dir;
};

class HostileEntries : public ZipArchiveTest, public ::testing::WithParamInterface<HostileName>
{
};

TEST_P(HostileEntries, AreRefusedAndNothingLeavesTheDestination)
{
    const HostileName entry = GetParam();
    const QString zip = makeZip({QStringLiteral("good.txt"), QStringLiteral("file"), QString::fromUtf8(entry.name),
                                 QString::fromLatin1(entry.kind), QStringLiteral("after.txt"), QStringLiteral("file")});
    const QString destination = dir.filePath(QStringLiteral("cache/inner"));
    ZipArchive archive;
    ASSERT_TRUE(archive.UnzipOpenFile(zip));
    EXPECT_FALSE(archive.UnzipFileTo(destination, true));
    EXPECT_TRUE(archive.UnzipCloseFile());

    ASSERT_EQ(archive.refusedEntries().size(), 1);
    EXPECT_TRUE(archive.refusedEntries().first().startsWith(QString::fromUtf8(entry.name)))
        << archive.refusedEntries().first().toStdString();
    // The other entries are extracted; the hostile one went nowhere.
    EXPECT_EQ(filesUnder(destination), (QStringList{QStringLiteral("after.txt"), QStringLiteral("good.txt")}));
    EXPECT_EQ(filesUnder(dir.path()),
              (QStringList{QStringLiteral("archive.zip"), QStringLiteral("cache/inner/after.txt"),
                           QStringLiteral("cache/inner/good.txt")}));
    EXPECT_FALSE(QFileInfo::exists(QStringLiteral("/etc/x")));
}

INSTANTIATE_TEST_SUITE_P(ZipSlip, HostileEntries,
                         ::testing::Values(HostileName{"ParentFolder", "../escape", "file"},
                                           HostileName{"ParentFolderDeeper", "a/../../escape", "file"},
                                           HostileName{"AbsolutePath", "/etc/x", "file"},
                                           HostileName{"DriveLetterWithBackslash", "C:\\x", "file"},
                                           HostileName{"DriveLetterWithSlash", "c:/x", "file"},
                                           HostileName{"BackslashParentFolder", "..\\escape", "file"},
                                           HostileName{"SymbolicLink", "link", "link"}),
                         [](const ::testing::TestParamInfo<HostileName>& p) {
                             return std::string(p.param.description);
                         });

TEST_F(ZipArchiveTest, BackslashNamesLandInTheirSubfolder)
{
    const QString zip = makeZip({QStringLiteral("folder\\file.txt"), QStringLiteral("file")});
    ZipArchive archive;
    ASSERT_TRUE(archive.UnzipOpenFile(zip));
    EXPECT_TRUE(archive.UnzipFileTo(dir.filePath(QStringLiteral("out")), false));
    const QString target = dir.filePath(QStringLiteral("out/folder/file.txt"));
    EXPECT_EQ(exchangetest::readFile(target), QByteArray("content of folder\\file.txt"));
    // The entry's date becomes the file's modification date.
    EXPECT_EQ(QFileInfo(target).lastModified(), QDateTime(QDate(2020, 5, 17), QTime(10, 30)));
}

TEST_F(ZipArchiveTest, EntryClaimingOneKilobyteThatInflatesToOneGigabyteIsStopped)
{
    const QString zip = makeZip(
        {QStringLiteral("bomb.bin"), QStringLiteral("big:1024"), QStringLiteral("ok.txt"), QStringLiteral("file")});
    ASSERT_FALSE(runPython(kClaimSmall, {zip}).startsWith(QStringLiteral("FAILED")));
    const QString destination = dir.filePath(QStringLiteral("out"));
    ZipArchive archive;
    ASSERT_TRUE(archive.UnzipOpenFile(zip));
    EXPECT_FALSE(archive.UnzipFileTo(destination, true));
    ASSERT_EQ(archive.refusedEntries().size(), 1);
    EXPECT_TRUE(archive.refusedEntries().first().startsWith(QStringLiteral("bomb.bin")));
    EXPECT_EQ(filesUnder(destination), QStringList{QStringLiteral("ok.txt")});
}

TEST_F(ZipArchiveTest, EntryWhoseHeaderAdmitsItsSizeIsRefusedBeforeInflating)
{
    const QString zip = makeZip({QStringLiteral("big.bin"), QStringLiteral("big:3")});
    ZipArchive archive;
    archive.setLimits(2 << 20, 100 << 20);
    ASSERT_TRUE(archive.UnzipOpenFile(zip));
    EXPECT_FALSE(archive.UnzipFileTo(dir.filePath(QStringLiteral("out")), true));
    ASSERT_EQ(archive.refusedEntries().size(), 1);
    EXPECT_TRUE(archive.refusedEntries().first().contains(QStringLiteral("claims")));
    EXPECT_TRUE(filesUnder(dir.filePath(QStringLiteral("out"))).isEmpty());
}

TEST_F(ZipArchiveTest, EntriesTogetherPastTheTotalLimitStopTheExtraction)
{
    const QString zip =
        makeZip({QStringLiteral("a.bin"), QStringLiteral("big:1"), QStringLiteral("b.bin"), QStringLiteral("big:1"),
                 QStringLiteral("c.bin"), QStringLiteral("big:1"), QStringLiteral("d.bin"), QStringLiteral("big:1")});
    ZipArchive archive;
    archive.setLimits(2 << 20, (5 << 20) / 2);
    ASSERT_TRUE(archive.UnzipOpenFile(zip));
    EXPECT_FALSE(archive.UnzipFileTo(dir.filePath(QStringLiteral("out")), true));
    EXPECT_EQ(filesUnder(dir.filePath(QStringLiteral("out"))),
              (QStringList{QStringLiteral("a.bin"), QStringLiteral("b.bin")}));
}

TEST_F(ZipArchiveTest, ExistingFilesAreKeptWhenTheDelegateSaysSo)
{
    struct Keep : ZipArchiveDelegate
    {
        bool OverWriteOperation(const QString& path) override
        {
            asked.append(QFileInfo(path).fileName());
            return false;
        }
        QStringList asked;
    };
    const QString zip = makeZip({QStringLiteral("a.txt"), QStringLiteral("file")});
    const QString out = dir.filePath(QStringLiteral("out"));
    QDir().mkpath(out);
    ASSERT_TRUE(exchangetest::writeFile(out + QStringLiteral("/a.txt"), "mine"));
    auto keep = std::make_shared<Keep>();
    ZipArchive archive;
    archive.setDelegate(keep);
    ASSERT_TRUE(archive.UnzipOpenFile(zip));
    EXPECT_TRUE(archive.UnzipFileTo(out, false));
    EXPECT_EQ(keep->asked, QStringList{QStringLiteral("a.txt")});
    EXPECT_EQ(exchangetest::readFile(out + QStringLiteral("/a.txt")), QByteArray("mine"));
}

TEST_F(ZipArchiveTest, NotAnArchiveDoesNotOpen)
{
    const QString path = dir.filePath(QStringLiteral("not.zip"));
    ASSERT_TRUE(exchangetest::writeFile(path, "PK\x03\x04 truncated"));
    ZipArchive archive;
    EXPECT_FALSE(archive.UnzipOpenFile(path));
    EXPECT_FALSE(archive.UnzipFileTo(dir.filePath(QStringLiteral("out")), true));
    EXPECT_TRUE(archive.UnzipCloseFile());
}

TEST_F(ZipArchiveTest, WrittenArchiveIsReadByPythonAndByOurReader)
{
    const QString source = dir.filePath(QStringLiteral("source.txt"));
    const QByteArray text = QStringLiteral("Zoë 李 😀 ").repeated(5000).toUtf8();
    ASSERT_TRUE(exchangetest::writeFile(source, text));
    const QString zip = dir.filePath(QStringLiteral("written.zip"));
    ZipArchive writer;
    ASSERT_TRUE(writer.CreateZipFile2(zip));
    EXPECT_TRUE(writer.addFileToZip(source, QStringLiteral("docs/source.txt")));
    EXPECT_TRUE(writer.addDeflatedEntry(QStringLiteral("small.xml"), ZipArchive::deflateData("<a/>", 6),
                                        ZipArchive::Date1980()));
    EXPECT_TRUE(writer.addFolderEntry(QStringLiteral("empty"), ZipArchive::Date1980()));
    ASSERT_TRUE(writer.CloseZipFile2());

    const QString listing =
        runPython(QStringLiteral(
                      "import sys, zipfile\nz = zipfile.ZipFile(sys.argv[1])\nassert z.testzip() is None\n"
                      "print(' '.join('%s:%d:%d' % (i.filename, i.file_size, i.compress_type) for i in z.infolist()))"),
                  {zip});
    EXPECT_EQ(listing.trimmed(), QStringLiteral("docs/source.txt:%1:8 small.xml:4:8 empty/:0:0").arg(text.size()));

    ZipArchive reader;
    ASSERT_TRUE(reader.UnzipOpenFile(zip));
    EXPECT_TRUE(reader.UnzipFileTo(dir.filePath(QStringLiteral("back")), true));
    EXPECT_EQ(exchangetest::readFile(dir.filePath(QStringLiteral("back/docs/source.txt"))), text);
    EXPECT_TRUE(QFileInfo(dir.filePath(QStringLiteral("back/empty"))).isDir());
}

} // namespace
