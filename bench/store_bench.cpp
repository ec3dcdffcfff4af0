// Contact store throughput and memory: saves N realistic contacts in batches, fetches them all
// with the list keys and with all keys, and measures the memory a loaded contact costs.
// Usage: store_bench [contact count, default 100000]
#include "platform/CNContactStore.h"
#include "store/KQContactStoreHelper.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <malloc.h>
#include <random>
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

double perSecond(qint64 count, qint64 ms)
{
    return ms > 0 ? 1000.0 * static_cast<double>(count) / static_cast<double>(ms) : 0.0;
}

// Saves count contacts in batches; every photoEvery-th contact has a photo (0: none).
qint64 fill(CNContactStore& store, int count, int photoEvery, int batchSize)
{
    std::mt19937 rng(42);
    const QByteArray photo = samplePhoto();
    QElapsedTimer timer;
    timer.start();
    for (int start = 0; start < count; start += batchSize) {
        CNSaveRequest request;
        for (int i = start; i < std::min(count, start + batchSize); ++i)
            request.addContact(makeContact(rng, i, photoEvery && i % photoEvery == 0 ? photo : QByteArray()), {});
        CNError error;
        if (!store.executeSaveRequest(request, &error)) {
            std::fprintf(stderr, "save failed: %s\n", qPrintable(error.description()));
            std::exit(1);
        }
    }
    return timer.elapsed();
}

qint64 timedFetch(const CNContactStore& store, const QStringList& keys, qint64* fetched)
{
    QElapsedTimer timer;
    timer.start();
    *fetched = 0;
    CNContactFetchRequest request(keys);
    store.enumerateContactsWithFetchRequest(request, nullptr, [&](const CNContactPtr&, bool*) { ++*fetched; });
    return timer.elapsed();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100000;
    constexpr int BatchSize = 1000;
    constexpr int PhotoEvery = 20;
    const BenchKeySets keys = benchKeySets();
    QTemporaryDir dir;

    std::printf("contacts: %d (batches of %d, a ~%lld-byte photo on one in %d)\n", count, BatchSize,
                static_cast<long long>(samplePhoto().size()), PhotoEvery);
    {
        CNContactStore store(dir.filePath(QStringLiteral("photos/store.sqlite")));
        const qint64 saveMs = fill(store, count, PhotoEvery, BatchSize);
        std::printf("save:               %8lld ms  %10.0f contacts/s\n", static_cast<long long>(saveMs),
                    perSecond(count, saveMs));
        qint64 fetched = 0;
        const qint64 mainMs = timedFetch(store, keys.mainKeys, &fetched);
        std::printf("fetch mainKeys:     %8lld ms  %10.0f contacts/s  (%lld contacts)\n",
                    static_cast<long long>(mainMs), perSecond(fetched, mainMs), static_cast<long long>(fetched));
        const qint64 allMs = timedFetch(store, keys.allKeys, &fetched);
        std::printf("fetch allKeys:      %8lld ms  %10.0f contacts/s  (%lld contacts)\n", static_cast<long long>(allMs),
                    perSecond(fetched, allMs), static_cast<long long>(fetched));

        // Archiving every record, as the Trash, Last Import and backups write them.
        CNContactList all;
        all.reserve(static_cast<size_t>(count));
        CNContactFetchRequest request(keys.allKeys);
        store.enumerateContactsWithFetchRequest(request, nullptr,
                                                [&](const CNContactPtr& c, bool*) { all.push_back(c); });
        QElapsedTimer timer;
        timer.start();
        qint64 bytes = 0;
        for (const CNContactPtr& contact : all)
            bytes += KQKeyedArchiver::archivedDataWithRootObject(*contact).size();
        const qint64 archiveMs = timer.elapsed();
        std::printf("archive each:       %8lld ms  %10.0f contacts/s  (%.1f MB of archives)\n",
                    static_cast<long long>(archiveMs), perSecond(count, archiveMs), static_cast<double>(bytes) / 1e6);
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
