// Import and export speed: the generator's 100,000 contacts (../shared/peers/gen_contacts.py,
// written into /tmp) are read from CSV and from vCard, written back in both formats, and imported
// into an account of a private store in one save request. Prints contacts per second and the peak
// memory above the contacts themselves for each direction, and the CSV tokenizer's MB/s.
// Imports start as the windows start them (on a worker, the main thread waiting for events); freed
// memory is handed back before each step so that one step's peak is not hidden by the last one's.
// Arguments name the steps to run (tokenizer, csv, vcard, export, account); none runs them all.
//
// Goals on a 2-core machine: tokenizer >= 100 MB/s; export >= 50,000 contacts/s per format;
// import into an account >= 25,000 contacts/s end to end; < 2 KiB peak memory per contact above
// the contacts.
#include "exchange/KQContactCSVSerialization.h"
#include "exchange/KQImportExportMgr.h"
#include "exchange/KQImportPlacement.h"
#include "platform/KQAllocatorPolicy.h"
#include "store/KQContactManager.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <cstring>
#include <malloc.h>
#include <unistd.h>

namespace {

constexpr int kContacts = 100000;

long kilobytes(const char* field)
{
    long value = 0;
    if (FILE* f = std::fopen("/proc/self/status", "r")) {
        char line[256];
        const size_t n = std::strlen(field);
        while (std::fgets(line, sizeof line, f))
            if (std::strncmp(line, field, n) == 0)
                value = std::strtol(line + n, nullptr, 10);
        std::fclose(f);
    }
    return value;
}

// Peak resident memory since the last reset, in KiB (the kernel resets it on "5" in clear_refs).
void resetPeak()
{
    if (FILE* f = std::fopen("/proc/self/clear_refs", "w")) {
        std::fputs("5", f);
        std::fclose(f);
    }
}

double cpuSeconds()
{
    timespec now = {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// Rates by wall time and by CPU time of the whole process (all threads): on a busy machine the
// CPU figure is the one to compare.
struct Measure
{
    QElapsedTimer timer;
    double cpuStart = 0;
    long before = 0;
    void start()
    {
        malloc_trim(0); // what earlier steps freed must not hide this step's peak
        resetPeak();
        before = kilobytes("VmRSS:");
        cpuStart = cpuSeconds();
        timer.start();
    }
    // made: the step's results are contacts it made and still holds (an import).
    void print(const char* what, double count, const char* unit, double contacts, bool made = false)
    {
        const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
        const double cpu = cpuSeconds() - cpuStart;
        const long peak = kilobytes("VmHWM:") - before;
        // What is still resident when the step ends, once what it freed is handed back, is what its
        // results (the contacts) hold.
        malloc_trim(0);
        const long held = kilobytes("VmRSS:") - before;
        std::printf("%-30s %9.0f %s/s wall %9.0f %s/CPU-s  peak +%.0f MiB (%.2f KiB per contact", what, count / seconds,
                    unit, count / cpu, unit, static_cast<double>(peak) / 1024.0,
                    contacts > 0 ? static_cast<double>(peak) / contacts : 0.0);
        if (made && contacts > 0)
            std::printf(", %.2f above the %.2f the contacts hold", static_cast<double>(peak - held) / contacts,
                        static_cast<double>(held) / contacts);
        std::printf(")\n");
    }
};

class Collect : public KQImportExportMgrDelegate
{
public:
    void importExportMgrGetContacts(KQImportExportMgr*, const KQContactHelperList& contacts) override
    {
        received.insert(received.end(), contacts.begin(), contacts.end());
    }
    void importExportMgrCompleteProcess(KQImportExportMgr*) override { done = true; }
    KQContactHelperList received;
    bool done = false;
};

KQContactHelperList importWith(KQImportExportMgr& manager, const QString& path)
{
    auto collect = std::make_shared<Collect>();
    manager.setDelegate(collect);
    manager.contactsWithURLs({path}); // on a worker, as the windows start it
    while (!collect->done)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents); // sleeps, so CPU time stays honest
    return collect->received;
}

} // namespace

int main(int argc, char** argv)
{
    // The heap behaves as in the program.
    KQConfigureAllocator();
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("data")).toUtf8());
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toUtf8());
    qputenv("XDG_CACHE_HOME", home.filePath(QStringLiteral("cache")).toUtf8());
    QCoreApplication app(argc, argv);
    const QString prefix = QStringLiteral("/tmp/kq_exchange_bench");
    // The generator sits beside the source tree: <worktree>/../shared/peers.
    const QString generator = QFileInfo(QStringLiteral(__FILE__))
                                  .absoluteDir()
                                  .filePath(QStringLiteral("../../shared/peers/gen_contacts.py"));
    if (!QFile::exists(prefix + QStringLiteral(".csv"))) {
        const int status =
            QProcess::execute(QStringLiteral("python3"), {generator, QString::number(kContacts), prefix});
        if (status != 0) {
            std::fprintf(stderr, "cannot run the generator\n");
            return 1;
        }
    }
    const QString csvPath = prefix + QStringLiteral(".csv");
    const QString vcfPath = prefix + QStringLiteral(".vcf");
    KQContactManager::sharedContactManager();
    KQImportExportMgr manager;
    Measure m;
    // Steps named on the command line (tokenizer, csv, vcard, export, account), else all of them.
    const QStringList steps = app.arguments().mid(1);
    const auto wanted = [&steps](const char* step) { return steps.isEmpty() || steps.contains(QLatin1String(step)); };

    if (wanted("tokenizer")) {
        QFile file(csvPath);
        file.open(QIODevice::ReadOnly);
        const QByteArray bytes = file.readAll();
        const QString text = KQContactCSVSerialization::decodeCSVData(bytes);
        m.start();
        const QStringList records = KQContactCSVSerialization::trySeparatedString(text, u'\n', u'"', false);
        qsizetype fields = 0;
        for (const QString& record : records)
            fields += KQContactCSVSerialization::splitRecord(record, u',').size();
        m.print("CSV tokenizer (records and fields)", static_cast<double>(bytes.size()) / 1e6, "MB", 0);
        std::printf("  (%lld records, %lld fields)\n", static_cast<long long>(records.size()),
                    static_cast<long long>(fields));
    }

    if (wanted("csv")) {
        m.start();
        KQContactHelperList fromCsv = importWith(manager, csvPath);
        m.print("CSV import", static_cast<double>(fromCsv.size()), "contacts", static_cast<double>(fromCsv.size()),
                true);
    }

    KQContactHelperList contacts;
    if (wanted("vcard") || wanted("export")) {
        m.start();
        contacts = importWith(manager, vcfPath);
        m.print("vCard import", static_cast<double>(contacts.size()), "contacts", static_cast<double>(contacts.size()),
                true);
    }

    QTemporaryDir out;
    for (const auto& [name, type] :
         {std::pair{"CSV export", KQContactFormat::CSV}, std::pair{"CSV(Outlook) export", KQContactFormat::CSVOutlook},
          std::pair{"vCard export", KQContactFormat::VCard}, std::pair{"text export", KQContactFormat::TXT}}) {
        if (!wanted("export"))
            break;
        KQContactFormat format(type);
        format.setContactFields(KQContactFormat::AllFields);
        m.start();
        if (!manager.runExport(contacts, out.filePath(QStringLiteral("out.") + QString::number(type)), format))
            std::fprintf(stderr, "%s failed\n", name);
        m.print(name, static_cast<double>(contacts.size()), "contacts", static_cast<double>(contacts.size()));
    }
    contacts.clear();
    if (!wanted("account"))
        return 0;

    // Into an account: the whole file in one save request.
    KQContactStoreHelper* store = KQContactStoreHelper::shared();
    KQContainerHelperPtr account;
    for (const CNContainer& c : store->contactStore()->containersMatchingPredicate(std::nullopt))
        if (c.identifier() == store->contactStore()->defaultContainerIdentifier())
            account = std::make_shared<KQContainerHelper>(c);
    auto placement = std::make_shared<KQImportPlacement>(account, nullptr, store);
    bool done = false;
    int placed = 0;
    placement->setFinished([&](bool ok, const QString& message, int count) {
        if (!ok)
            std::fprintf(stderr, "import into the account failed: %s\n", qPrintable(message));
        placed = count;
        done = true;
    });
    manager.setDelegate(placement);
    m.start();
    manager.contactsWithURLs({vcfPath});
    while (!done)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents); // waits without spinning the CPU
    m.print("vCard import into an account", placed, "contacts", placed, true);
    return 0;
}
