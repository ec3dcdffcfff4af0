// The direct binary writer must store the very object graph of the tree-building archiver: both
// outputs are decoded by Python's plistlib and compared, and ours reads the direct output back.

#include "KQTestCoding.h"
#include "KQTestPython.h"
#include "platform/CNMutableContact.h"
#include "platform/KQBinaryKeyedArchiver.h"

#include <QTimeZone>
#include <QtEndian>
#include <cctype>
#include <gtest/gtest.h>
#include <limits>

namespace {

struct ArchiveCase
{
    const char* name;
    std::function<std::shared_ptr<KQCoding>()> make;
};

void PrintTo(const ArchiveCase& c, std::ostream* os)
{
    *os << c.name;
}

std::shared_ptr<KQCoding> object(QStringList classes, KQTestFreeObject::Body body)
{
    return std::make_shared<KQTestFreeObject>(std::move(classes), std::move(body));
}

CNMutableContactPtr fullContact()
{
    auto c = std::make_shared<CNMutableContact>();
    c->setGivenName(QStringLiteral("Zoë"));
    c->setFamilyName(QStringLiteral("Ångström-Łukasiewicz"));
    c->setOrganizationName(QStringLiteral("株式会社 Example"));
    c->setNote(QString(300, QLatin1Char('n')) + QStringLiteral(" end"));
    c->setPhoneNumbers({CNLabeledValue<CNPhoneNumber>(CNLabelHome, CNPhoneNumber(QStringLiteral("+1 555 0100"))),
                        CNLabeledValue<CNPhoneNumber>(CNLabelWork, CNPhoneNumber(QStringLiteral("+1 555 0100")))});
    c->setEmailAddresses({CNLabeledValue<QString>(CNLabelHome, QStringLiteral("zoe@example.com"))});
    CNPostalAddress address;
    address.street = QStringLiteral("1 Main Street");
    address.city = QStringLiteral("Springfield");
    c->setPostalAddresses({CNLabeledValue<CNPostalAddress>(CNLabelHome, address)});
    CNDateComponents birthday;
    birthday.year = 1980;
    birthday.month = 2;
    birthday.day = 29;
    c->setBirthday(birthday);
    c->setImageData(QByteArray(70000, '\x5a'));
    return c;
}

std::vector<ArchiveCase> archiveCases()
{
    return {
        {"a contact with every kind of field, non-ASCII text and a large image", [] { return fullContact(); }},
        {"scalars of every width, negative and huge",
         [] {
             return object({QStringLiteral("Scalars")}, [](KQKeyedArchiver& c) {
                 const qint64 numbers[] = {0,
                                           1,
                                           255,
                                           256,
                                           65535,
                                           65536,
                                           4294967295LL,
                                           4294967296LL,
                                           -1,
                                           std::numeric_limits<qint64>::min(),
                                           std::numeric_limits<qint64>::max()};
                 int i = 0;
                 for (const qint64 n : numbers)
                     c.encodeInt(n, QStringLiteral("n%1").arg(i++));
                 c.encodeDouble(-0.5, QStringLiteral("real"));
                 c.encodeBool(true, QStringLiteral("yes"));
                 c.encodeBool(false, QStringLiteral("no"));
                 c.encodeString(std::nullopt, QStringLiteral("none"));
                 c.encodeString(QString(), QStringLiteral("empty"));
                 c.encodeData(QByteArray(), QStringLiteral("emptyData"));
                 c.encodeDate(QDateTime(QDate(2025, 3, 5), QTime(14, 7, 9), QTimeZone::utc()), QStringLiteral("date"));
                 c.encodeString(QStringLiteral("$dollar"), QStringLiteral("$key"));
             });
         }},
        {"strings of 14, 15, 300 and 70000 characters",
         [] {
             return object({QStringLiteral("Lengths"), QStringLiteral("Base")}, [](KQKeyedArchiver& c) {
                 for (const int n : {14, 15, 300, 70000})
                     c.encodeString(QString(n, QLatin1Char('x')), QStringLiteral("s%1").arg(n));
                 c.encodeString(QString(20, QChar(0x263A)), QStringLiteral("utf16"));
             });
         }},
        {"index sets of one and of several ranges",
         [] {
             return object({QStringLiteral("Sets")}, [](KQKeyedArchiver& c) {
                 c.encodeIndexSet({3, 4, 5}, QStringLiteral("one"));
                 c.encodeIndexSet({1, 2, 200, 7000, 7001}, QStringLiteral("several"));
                 c.encodeIndexSet({}, QStringLiteral("none"));
             });
         }},
        {"an object shared twice and an object holding itself",
         [] {
             auto shared = object({QStringLiteral("Leaf")}, [](KQKeyedArchiver& c) {
                 c.encodeStringArray({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("a")},
                                     QStringLiteral("list"));
             });
             auto self = std::make_shared<const KQCoding*>(nullptr);
             auto root = object({QStringLiteral("Root")}, [shared, self](KQKeyedArchiver& c) {
                 c.encodeObject(shared.get(), QStringLiteral("first"));
                 c.encodeArray({shared.get(), nullptr, shared.get()}, QStringLiteral("again"));
                 c.encodeObject(*self, QStringLiteral("self"));
             });
             *self = root.get();
             return root;
         }},
        {"more than 256 objects (two-byte references)",
         [] {
             return object({QStringLiteral("Many")}, [](KQKeyedArchiver& c) {
                 QStringList strings;
                 for (int i = 0; i < 700; ++i)
                     strings.append(QString::number(i));
                 c.encodeStringArray(strings, QStringLiteral("numbers"));
             });
         }},
    };
}

// Decodes both archives (concatenated, each after its 4-byte length) and prints "same" when the
// decoded graphs are equal, else both graphs.
const QString kCompareGraphs =
    QStringLiteral("import plistlib,sys,struct\n"
                   "b=open(sys.argv[1],'rb').read()\n"
                   "n=struct.unpack('<I',b[:4])[0]\n"
                   "x=plistlib.loads(b[4:4+n]); y=plistlib.loads(b[8+n:])\n"
                   "def norm(v):\n"
                   "  if isinstance(v,plistlib.UID): return ('uid',v.data)\n"
                   "  if isinstance(v,dict): return {k:norm(w) for k,w in v.items()}\n"
                   "  if isinstance(v,list): return [norm(w) for w in v]\n"
                   "  return v\n"
                   "print('same' if norm(x)==norm(y) else repr(norm(x))+'\\n'+repr(norm(y)))\n");

QByteArray withLength(const QByteArray& data)
{
    QByteArray out(4, '\0');
    qToLittleEndian(static_cast<quint32>(data.size()), out.data());
    return out + data;
}

class KQBinaryKeyedArchiverGraph : public ::testing::TestWithParam<ArchiveCase>
{
};

TEST_P(KQBinaryKeyedArchiverGraph, DecodesToTheSameGraphAsTheTreeWriter)
{
    const std::shared_ptr<KQCoding> root = GetParam().make();
    const QByteArray tree = KQKeyedArchiver::archivedDataWithRootObject(*root);
    const QByteArray direct = KQBinaryKeyedArchiver::archivedDataWithRootObject(*root);
    const auto result = KQRunPythonOnData(kCompareGraphs, withLength(tree) + withLength(direct));
    if (!result)
        GTEST_SKIP() << "python3 is not installed";
    EXPECT_EQ(result->toStdString(), "same");
}

INSTANTIATE_TEST_SUITE_P(KQBinaryKeyedArchiver, KQBinaryKeyedArchiverGraph, ::testing::ValuesIn(archiveCases()),
                         [](const auto& tested) {
                             std::string name;
                             for (const char* p = tested.param.name; *p; ++p)
                                 name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                             return name;
                         });

TEST(KQBinaryKeyedArchiver, ContactReadsBackWithEveryField)
{
    const CNMutableContactPtr contact = fullContact();
    const QByteArray data = KQBinaryKeyedArchiver::archivedDataWithRootObject(*contact);
    CNError error;
    const auto decoded = std::dynamic_pointer_cast<CNContact>(
        KQKeyedUnarchiver::unarchivedObjectOfClasses(CNContact::archiveClasses(), data, &error));
    ASSERT_TRUE(decoded) << error.description().toStdString();
    // Written again by the tree writer, the decoded contact gives the bytes of the original.
    EXPECT_EQ(KQKeyedArchiver::archivedDataWithRootObject(*decoded),
              KQKeyedArchiver::archivedDataWithRootObject(*contact));
}

TEST(KQBinaryKeyedArchiver, OneArchiverWritesManyArchivesAlike)
{
    KQBinaryKeyedArchiver archiver;
    const CNMutableContactPtr contact = fullContact();
    const QByteArray first = archiver.archiveRootObject(*contact);
    auto other = std::make_shared<CNMutableContact>();
    other->setGivenName(QStringLiteral("Other"));
    EXPECT_NE(archiver.archiveRootObject(*other), first);
    EXPECT_EQ(archiver.archiveRootObject(*contact), first);
    EXPECT_EQ(KQBinaryKeyedArchiver::archivedDataWithRootObject(*contact), first);
}

TEST(KQBinaryKeyedArchiver, RootArrayReadsBack)
{
    auto a = fullContact();
    auto b = std::make_shared<CNMutableContact>();
    b->setGivenName(QStringLiteral("B"));
    const QByteArray data = KQBinaryKeyedArchiver::archivedDataWithRootArray({a.get(), nullptr, b.get()});
    KQKeyedUnarchiver coder(data, CNContact::archiveClasses());
    const auto objects = coder.decodeArrayOfClasses(CNContact::archiveClasses(), QStringLiteral("root"));
    ASSERT_FALSE(coder.failed()) << coder.error().description().toStdString();
    ASSERT_EQ(objects.size(), 2u);
    EXPECT_EQ(std::dynamic_pointer_cast<CNContact>(objects[1])->givenName(), QStringLiteral("B"));
}

} // namespace
