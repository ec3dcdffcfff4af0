// Problem scan speed on generated address books of 10,000 and 100,000 contacts with the default
// kinds: the fast scan's time without and with loading (reading the vCard file into records), the
// multi-contact phases alone, and, at 10,000, the plain pair-by-pair scan for comparison.
//
// Make the books first (any seed):
//   python3 gen_contacts.py 10000 /tmp/scanbench10k && python3 gen_contacts.py 100000 /tmp/scanbench100k
// then run: scan_bench [--fast-only] [/tmp/scanbench10k.vcf /tmp/scanbench100k.vcf]
// (--fast-only leaves out the plain scan, which takes minutes at 10,000)
//
// Goals on a 2-core machine: 100,000 contacts in at most 5 s (loading excluded), at most 12 times the
// 10,000 time, and the multi-contact phases at least 100 times faster than the plain scan at 10,000.
#include "../tests/core/KQConflictTestBooks.h"
#include "platform/CNContactVCardSerialization.h"
#include "platform/KQAllocatorPolicy.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <cstdio>
#include <ctime>

namespace {

KQContactHelperList load(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    KQContactHelperList contacts;
    for (const CNContactPtr& card : CNContactVCardSerialization::contactsWithData(file.readAll()))
        contacts.push_back(KQContactHelper::create(card, true));
    return contacts;
}

KQConflictScanKinds defaultKinds()
{
    return KQConflictScanKinds{KQConflictMeta::avaliableConflictMetas()};
}

// The default kinds with only the multi-contact ones enabled.
KQConflictScanKinds multipleContactKinds()
{
    KQConflictScanKinds kinds = defaultKinds();
    for (const auto& meta : kinds.metas)
        meta->setValidate(meta->isMultipleContactsConflict());
    return kinds;
}

double seconds(const QElapsedTimer& timer)
{
    return static_cast<double>(timer.nsecsElapsed()) / 1e9;
}

double cpuSeconds()
{
    timespec now = {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

double fastSeconds(const KQContactHelperList& contacts, const KQConflictScanKinds& kinds, size_t* groups = nullptr,
                   double* cpu = nullptr)
{
    QElapsedTimer timer;
    timer.start();
    const double cpuStart = cpuSeconds();
    const auto outcome = kqscan::fastScan(contacts, kinds);
    const double elapsed = seconds(timer);
    if (cpu != nullptr)
        *cpu = cpuSeconds() - cpuStart;
    if (groups != nullptr && outcome)
        *groups = outcome->size();
    return elapsed;
}

} // namespace

int main(int argc, char** argv)
{
    // The heap behaves as in the program.
    KQConfigureAllocator();
    QCoreApplication app(argc, argv);
    QStringList arguments = app.arguments().mid(1);
    const bool fastOnly = arguments.removeAll(QStringLiteral("--fast-only")) > 0;
    const QString small = arguments.value(0, QStringLiteral("/tmp/scanbench10k.vcf"));
    const QString large = arguments.value(1, QStringLiteral("/tmp/scanbench100k.vcf"));
    if (!QFile::exists(small) || !QFile::exists(large)) {
        std::fprintf(stderr, "scan_bench: make %s and %s with gen_contacts.py first (see the top of this file)\n",
                     qPrintable(small), qPrintable(large));
        return 2;
    }

    double fastAt[2] = {0, 0};
    int index = 0;
    for (const QString& path : {small, large}) {
        QElapsedTimer timer;
        timer.start();
        const KQContactHelperList contacts = load(path);
        const double loading = seconds(timer);
        size_t groups = 0;
        double cpu = 0;
        const double fast = fastSeconds(contacts, defaultKinds(), &groups, &cpu);
        const double multiple = fastSeconds(contacts, multipleContactKinds());
        fastAt[index++] = fast;
        std::printf("%7zu contacts: loading %.3f s, fast scan %.3f s wall, %.3f s CPU (with loading %.3f s, %zu "
                    "groups), multi-contact phases %.3f s\n",
                    contacts.size(), loading, fast, cpu, loading + fast, groups, multiple);
        if (path == small && !fastOnly) {
            timer.restart();
            const kqscan::Outcome literal = kqscan::literalScan(contacts, defaultKinds());
            const double literalAll = seconds(timer);
            timer.restart();
            kqscan::literalScan(contacts, multipleContactKinds());
            const double literalMultiple = seconds(timer);
            const bool same = kqscan::fastScan(contacts, defaultKinds()) == std::optional(literal);
            std::printf("%7zu contacts: plain scan %.3f s, its multi-contact phases %.3f s (%.0f times the fast "
                        "ones); results %s\n",
                        contacts.size(), literalAll, literalMultiple, literalMultiple / std::max(multiple, 1e-9),
                        same ? "identical" : "DIFFERENT");
        }
        std::fflush(stdout);
    }
    std::printf("100,000 / 10,000 fast-scan time ratio: %.1f\n", fastAt[1] / std::max(fastAt[0], 1e-9));
    return 0;
}
