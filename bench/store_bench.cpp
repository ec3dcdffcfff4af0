// Contact store throughput and memory: saves N realistic contacts in batches, fetches them all
// with the list keys and with all keys (keeping every contact, as the contact tree does), reads
// the same rows straight into Qt strings as the floor a list fetch is held against, and measures
// the memory a loaded contact costs. Times are this process's CPU time (the machine is shared),
// with wall-clock time beside them.
// Usage: store_bench [contact count, default 100000]
#include "platform/CNContactStore.h"
#include "platform/CNSQLiteContactColumns.h"
#include "platform/KQAllocatorPolicy.h"
#include "store/KQContactStoreHelper.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <malloc.h>
#include <random>
#include <sqlite3.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// The program's own key sets: the list keys, and the keys of a fully loaded contact.
struct BenchKeySets
{
    QStringList mainKeys;
    QStringList allKeys;
};

BenchKeySets benchKeySets()
{
    return {KQContactStoreHelper::mainKeys(), KQContactStoreHelper::allKeys()};
}

const char* const givenNames[] = {
    "James",   "Mary",   "Robert",  "Patricia", "John",   "Jennifer", "Michael", "Linda",    "David",   "Sophie",
    "William", "Emma",   "Richard", "Olivia",   "Joseph", "Ava",      "Thomas",  "Isabella", "Charles", "Mia",
    "Lukas",   "Léa",    "Mateo",   "Chloé",    "Noah",   "Amelia",   "Hiroshi", "Yuki",     "Ahmed",   "Fatima",
    "Lars",    "Ingrid", "Pedro",   "Lucía",    "Ivan",   "Olga",     "Chen",    "Mei",      "Arjun",   "Priya"};
const char* const familyNames[] = {
    "Smith",  "Johnson", "Williams", "Brown",  "Jones",     "Garcia",   "Miller", "Davis",   "Martin", "Bernard",
    "Müller", "Schmidt", "Rossi",    "Russo",  "Tanaka",    "Suzuki",   "Kim",    "Lee",     "Nguyen", "Silva",
    "Santos", "Novak",   "Kowalski", "Hansen", "Johansson", "Ivanov",   "Petrov", "Wang",    "Li",     "Zhang",
    "Patel",  "Singh",   "O'Brien",  "Murphy", "Dubois",    "Lefebvre", "Moreau", "Fischer", "Weber",  "Van Dijk"};
const char* const streets[] = {"Main St",     "Oak Avenue", "Maple Road",  "Station Road",   "High Street",
                               "Church Lane", "Elm Street", "Park Avenue", "Rue de la Paix", "Hauptstraße"};
const char* const cities[] = {"Springfield", "Portland", "Madison", "Lyon", "München", "Bristol", "Austin", "Turin"};
const char* const notes[] = {
    "Met at the spring conference; follow up about the proposal.", "Prefers e-mail. Birthday party every June.",
    "Old friend from university, lives near the lake.", "Contractor for the kitchen renovation, reliable and on time.",
    "Call after 6 pm on weekdays."};

QString pick(std::mt19937& rng, const char* const* list, size_t size)
{
    return QString::fromUtf8(list[rng() % size]);
}

template <size_t N> QString pick(std::mt19937& rng, const char* const (&list)[N])
{
    return pick(rng, list, N);
}

QString digits(std::mt19937& rng, int count)
{
    QString s;
    for (int i = 0; i < count; ++i)
        s += QChar(u'0' + static_cast<char16_t>(rng() % 10));
    return s;
}

// A small photo of about 2 KB, as a phone's contact picture after compression.
QByteArray samplePhoto()
{
    QImage image(96, 96, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb((x * 5 + y) % 256, (y * 3) % 256, ((x ^ y) * 7) % 256));
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 40);
    return jpeg;
}

CNMutableContact makeContact(std::mt19937& rng, int index, const QByteArray& photo)
{
    CNMutableContact c;
    const QString given = pick(rng, givenNames);
    const QString family = pick(rng, familyNames);
    c.setGivenName(given);
    c.setFamilyName(family);
    c.setPhoneNumbers(
        {{CNLabelPhoneNumberMobile,
          CNPhoneNumber(QStringLiteral("+1 (555) %1-%2").arg(digits(rng, 3), digits(rng, 4)))},
         {CNLabelWork, CNPhoneNumber(QStringLiteral("+1 555 %1 %2").arg(digits(rng, 3), digits(rng, 4)))}});
    const QString mailbox = (given + QLatin1Char('.') + family).toLower().remove(QLatin1Char(' '));
    c.setEmailAddresses({{CNLabelHome, mailbox + QString::number(index) + QStringLiteral("@example.com")},
                         {CNLabelWork, mailbox + QStringLiteral("@company-mail.org")}});
    CNPostalAddress address;
    address.street = QString::number(1 + rng() % 999) + QLatin1Char(' ') + pick(rng, streets);
    address.city = pick(rng, cities);
    address.state = QStringLiteral("CA");
    address.postalCode = digits(rng, 5);
    address.country = QStringLiteral("United States");
    address.isoCountryCode = QStringLiteral("us");
    c.setPostalAddresses({{CNLabelHome, address}});
    c.setNote(pick(rng, notes));
    if (!photo.isEmpty())
        c.setImageData(photo);
    return c;
}

qint64 currentRssBytes()
{
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    long resident = 0;
    statm >> pages >> resident;
    return static_cast<qint64>(resident) * sysconf(_SC_PAGESIZE);
}

long peakRssKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

double cpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// CPU and wall-clock seconds of one timed step.
struct Timing
{
    double cpu = 0;
    double wall = 0;
};

class Stopwatch
{
public:
    Stopwatch() : m_cpu(cpuSeconds()) { m_wall.start(); }
    Timing elapsed() const { return {cpuSeconds() - m_cpu, static_cast<double>(m_wall.nsecsElapsed()) / 1e9}; }

private:
    double m_cpu;
    QElapsedTimer m_wall;
};

double perSecond(qint64 count, double seconds)
{
    return seconds > 0 ? static_cast<double>(count) / seconds : 0.0;
}

// Saves count contacts in batches; every photoEvery-th contact has a photo (0: none). The
// contacts are made before the clock starts: only the store's work is timed.
Timing fill(CNContactStore& store, int count, int photoEvery, int batchSize)
{
    std::mt19937 rng(42);
    const QByteArray photo = samplePhoto();
    std::vector<CNSaveRequest> requests;
    for (int start = 0; start < count; start += batchSize) {
        CNSaveRequest& request = requests.emplace_back();
        for (int i = start; i < std::min(count, start + batchSize); ++i)
            request.addContact(makeContact(rng, i, photoEvery && i % photoEvery == 0 ? photo : QByteArray()), {});
    }
    const Stopwatch clock;
    for (const CNSaveRequest& request : requests) {
        CNError error;
        if (!store.executeSaveRequest(request, &error)) {
            std::fprintf(stderr, "save failed: %s\n", qPrintable(error.description()));
            std::exit(1);
        }
    }
    return clock.elapsed();
}

[[gnu::noinline]] Timing timedFetch(const CNContactStore& store, const QStringList& keys, CNContactList& kept)
{
    kept.clear();
    const Stopwatch clock;
    CNContactFetchRequest request(keys);
    store.enumerateContactsWithFetchRequest(request, nullptr,
                                            [&](const CNContactPtr& contact, bool*) { kept.push_back(contact); });
    return clock.elapsed();
}

// The floor of a list fetch: the same rows and columns read with no contact made (through a
// connection opened as the store opens its own, without SQLite's per-call locking), every text into
// a QString and every value blob and the thumbnail into a QByteArray (for the photo only whether
// there is one), all kept.
struct FloorRow
{
    QString identifier;
    std::vector<QString> texts;
    std::vector<QByteArray> blobs;
    qint64 number = 0;
    bool hasImage = false;
};

[[gnu::noinline]] Timing timedFloor(const QString& path, const QStringList& keys, std::vector<FloorRow>& kept)
{
    kept.clear();
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr) !=
        SQLITE_OK) {
        std::fprintf(stderr, "cannot open %s\n", qPrintable(path));
        std::exit(1);
    }
    QByteArray sql = "SELECT c.identifier, i.image IS NOT NULL";
    int columns = 0;
    const CNKeySet set = CNKeySetFromKeys(keys);
    for (int k = 0; k < CNKeyCount; ++k) {
        const auto key = static_cast<CNKeyId>(k);
        if (!set.test(static_cast<size_t>(k)) || key == CNKeyId::ImageData || key == CNKeyId::ImageDataAvailable)
            continue;
        if (const CNSQLiteContactColumn* column = CNSQLiteContactColumns::column(key)) {
            sql += column->inImagesTable ? ", i." : ", c.";
            sql += column->name;
            ++columns;
        }
    }
    sql += " FROM contacts c LEFT JOIN images i ON i.contact_id = c.id ORDER BY c.id";

    const Stopwatch clock;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, sql.constData(), -1, &statement, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "floor query failed: %s\n", sqlite3_errmsg(db));
        std::exit(1);
    }
    while (sqlite3_step(statement) == SQLITE_ROW) {
        FloorRow& row = kept.emplace_back();
        row.identifier = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)),
                                           sqlite3_column_bytes(statement, 0));
        row.hasImage = sqlite3_column_int(statement, 1) != 0;
        for (int column = 2; column < columns + 2; ++column) {
            switch (sqlite3_column_type(statement, column)) {
            case SQLITE_TEXT:
                row.texts.push_back(
                    QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, column)),
                                      sqlite3_column_bytes(statement, column)));
                break;
            case SQLITE_BLOB:
                row.blobs.emplace_back(static_cast<const char*>(sqlite3_column_blob(statement, column)),
                                       sqlite3_column_bytes(statement, column));
                break;
            case SQLITE_INTEGER:
                row.number = sqlite3_column_int64(statement, column);
                break;
            default:
                break;
            }
        }
    }
    sqlite3_finalize(statement);
    const Timing timing = clock.elapsed();
    sqlite3_close(db);
    return timing;
}

void printTiming(const char* what, const Timing& t, qint64 count, const char* unit)
{
    std::printf("%-20s CPU %7.3f s (%9.0f %s per CPU second); wall %7.3f s\n", what, t.cpu, perSecond(count, t.cpu),
                unit, t.wall);
}

} // namespace

int main(int argc, char** argv)
{
    // The heap behaves as in the program.
    KQConfigureAllocator();
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100000;
    constexpr int BatchSize = 1000;
    constexpr int PhotoEvery = 20;
    const BenchKeySets keys = benchKeySets();
    QTemporaryDir dir;

    std::printf("contacts: %d (batches of %d, a ~%lld-byte photo on one in %d)\n", count, BatchSize,
                static_cast<long long>(samplePhoto().size()), PhotoEvery);
    {
        const QString path = dir.filePath(QStringLiteral("photos/store.sqlite"));
        CNContactStore store(path);
        printTiming("save:", fill(store, count, PhotoEvery, BatchSize), count, "contacts");
        CNContactList kept;
        // The floor and the fetch alternate, seven pairs, the order reversed every other round; each
        // starts with the other's results released, and the figure is the median of the paired ratios.
        constexpr int Pairs = 7;
        std::vector<Timing> floors, fetches;
        std::vector<double> ratios;
        size_t fetched = 0;
        for (int round = 0; round < Pairs; ++round) {
            std::vector<FloorRow> rows;
            Timing floor, fetch;
            if (round % 2 == 0) {
                floor = timedFloor(path, keys.mainKeys, rows);
                const size_t read = rows.size();
                rows = {};
                fetch = timedFetch(store, keys.mainKeys, kept);
                fetched = kept.size();
                if (read != fetched) {
                    std::fprintf(stderr, "the floor read %zu rows, the fetch %zu contacts\n", read, kept.size());
                    return 1;
                }
            } else {
                fetch = timedFetch(store, keys.mainKeys, kept);
                fetched = kept.size();
                kept = {};
                floor = timedFloor(path, keys.mainKeys, rows);
                if (rows.size() != fetched) {
                    std::fprintf(stderr, "the floor read %zu rows, the fetch %zu contacts\n", rows.size(), fetched);
                    return 1;
                }
            }
            floors.push_back(floor);
            fetches.push_back(fetch);
            ratios.push_back(floor.cpu > 0 ? fetch.cpu / floor.cpu : 0.0);
        }
        const auto median = [](std::vector<double> values) {
            std::sort(values.begin(), values.end());
            return values[values.size() / 2];
        };
        const auto medianTiming = [&median](const std::vector<Timing>& timings) {
            std::vector<double> cpu, wall;
            for (const Timing& t : timings) {
                cpu.push_back(t.cpu);
                wall.push_back(t.wall);
            }
            return Timing{median(cpu), median(wall)};
        };
        printTiming("fetch mainKeys:", medianTiming(fetches), static_cast<qint64>(fetched), "contacts");
        printTiming("floor mainKeys:", medianTiming(floors), static_cast<qint64>(fetched), "rows");
        std::printf("fetch / floor:      %.2f (CPU, median of %d interleaved pairs; range %.2f-%.2f)\n", median(ratios),
                    Pairs, *std::min_element(ratios.begin(), ratios.end()),
                    *std::max_element(ratios.begin(), ratios.end()));
        printTiming("fetch allKeys:", timedFetch(store, keys.allKeys, kept), static_cast<qint64>(kept.size()),
                    "contacts");

        // Archiving every record, as the Trash, Last Import and backups write them.
        const Stopwatch clock;
        qint64 bytes = 0;
        for (const CNContactPtr& contact : kept)
            bytes += KQKeyedArchiver::archivedDataWithRootObject(*contact).size();
        printTiming("archive each:", clock.elapsed(), static_cast<qint64>(kept.size()), "contacts");
        std::printf("                     %.1f MB of archives\n", static_cast<double>(bytes) / 1e6);
    }

    // Memory per loaded contact, on a store without photos.
    {
        CNContactStore store(dir.filePath(QStringLiteral("plain/store.sqlite")));
        fill(store, count, 0, BatchSize);
        malloc_trim(0);
        const qint64 rssBefore = currentRssBytes();
        const size_t heapBefore = mallinfo2().uordblks;
        CNContactList held;
        held.reserve(static_cast<size_t>(count));
        CNContactFetchRequest request(keys.mainKeys);
        store.enumerateContactsWithFetchRequest(request, nullptr,
                                                [&](const CNContactPtr& c, bool*) { held.push_back(c); });
        const qint64 rssAfter = currentRssBytes();
        const size_t heapAfter = mallinfo2().uordblks;
        const double n = static_cast<double>(held.size());
        std::printf("memory per contact: %8.0f bytes RSS, %.0f bytes heap (mainKeys, no photos, %zu held)\n",
                    static_cast<double>(rssAfter - rssBefore) / n, static_cast<double>(heapAfter - heapBefore) / n,
                    held.size());
        std::printf("  of which the contact object itself: %zu bytes (plus its shared_ptr control block)\n",
                    sizeof(CNContact));
    }
    std::printf("peak RSS:           %8ld KiB\n", peakRssKiB());
    return 0;
}
