// Package and page export speed: 100,000 generated contacts written to XLSX, DOCX, Pages, Numbers
// and HTML with the default options (valid fields, merged addresses). Prints wall and CPU time and
// the peak memory above the contacts themselves for each format.
//
// Goals on a 2-core machine: XLSX <= 4 s and <= 300 MB above the contacts; DOCX, Pages, Numbers
// and HTML <= 6 s each.
#include "exchange/KQContactFormat.h"
#include "exchange/KQContactSerialization.h"
#include "platform/CNLabels.h"
#include "platform/CNMutableContact.h"
#include "platform/KQAllocatorPolicy.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace {

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

void resetPeak()
{
    if (FILE* f = std::fopen("/proc/self/clear_refs", "w")) {
        std::fputs("5", f);
        std::fclose(f);
    }
}

double cpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

KQContactHelperPtr contact(int i)
{
    static const char* given[] = {"Anna", "Jürgen", "Zoë & <Q>", "李", "Øyvind", "María José"};
    static const char* family[] = {"Smith", "Müller", "O'Hara", "王", "Ó Súilleabháin", "Lefèvre 😀"};
    auto c = std::make_shared<CNMutableContact>();
    c->setGivenName(QString::fromUtf8(given[i % 6]) + QString::number(i));
    c->setFamilyName(QString::fromUtf8(family[i % 6]));
    c->setOrganizationName(QStringLiteral("Firm %1").arg(i % 13));
    c->setJobTitle(QStringLiteral("Agent"));
    c->setMiddleName(i % 3 == 0 ? QStringLiteral("Lee") : QString());
    c->setNickname(QStringLiteral("nick%1").arg(i));
    c->setPhoneticGivenName(QStringLiteral("ahn-na"));
    c->setPhoneticFamilyName(QStringLiteral("smith"));
    c->setDepartmentName(QStringLiteral("Sales"));
    c->setNote(QStringLiteral("Met at the fair, line one;\nline two \"quoted\" & more"));
    CNDateComponents birthday;
    birthday.year = 1970 + i % 40;
    birthday.month = 1 + i % 12;
    birthday.day = 1 + i % 28;
    c->setBirthday(birthday);
    c->setPhoneNumbers({{CNLabelPhoneNumberMobile, CNPhoneNumber(QStringLiteral("+1 555 %1").arg(1000 + i))},
                        {CNLabelHome, CNPhoneNumber(QStringLiteral("030 %1").arg(200000 + i))},
                        {CNLabelWork, CNPhoneNumber(QStringLiteral("+44 20 %1").arg(7000 + i))}});
    c->setEmailAddresses({{CNLabelWork, QStringLiteral("user%1@example.org").arg(i)},
                          {CNLabelHome, QStringLiteral("home%1@example.net").arg(i)}});
    CNDateComponents anniversary;
    anniversary.year = 2001;
    anniversary.month = 6;
    anniversary.day = 15;
    c->setDates({{CNLabelDateAnniversary, anniversary}});
    c->setSocialProfiles(
        {{CNLabelHome, CNSocialProfile(QStringLiteral("https://social.example/u%1").arg(i),
                                       QStringLiteral("u%1").arg(i), QString(), CNSocialProfileServiceTwitter)}});
    c->setInstantMessageAddresses(
        {{CNLabelHome, CNInstantMessageAddress(QStringLiteral("im%1").arg(i), CNInstantMessageServiceSkype)}});
    c->setUrlAddresses({{CNLabelURLAddressHomePage, QStringLiteral("https://example.org/%1").arg(i)}});
    CNPostalAddress address;
    address.street = QStringLiteral("%1 Main Street").arg(i);
    address.city = QStringLiteral("Springfield");
    address.postalCode = QStringLiteral("62701");
    address.country = QStringLiteral("USA");
    c->setPostalAddresses({{CNLabelHome, address}});
    c->setContactRelations({{CNLabelContactRelationSpouse, CNContactRelation(QStringLiteral("Pat"))}});
    return KQContactHelper::create(c, true);
}

} // namespace

int main(int argc, char** argv)
{
    // The heap behaves as in the program.
    KQConfigureAllocator();
    // A private home: the contacts' tags are looked up through the contact manager, which must
    // not open the user's own store.
    QTemporaryDir home;
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_DATA_HOME", (home.path() + QStringLiteral("/data")).toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toUtf8());
    qputenv("XDG_CACHE_HOME", (home.path() + QStringLiteral("/cache")).toUtf8());
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 100000;
    const long base = kilobytes("VmRSS:");
    KQContactHelperList contacts;
    contacts.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        contacts.push_back(contact(i));
    const QStringList keys = KQExportKeys::availablePropertyKeys(contacts, false, true);
    std::printf(
        "%d contacts, %lld columns, contacts' own memory %.0f MiB\n", count,
        static_cast<long long>(
            KQContactSerialization::contactSerializationWithFormat(KQContactFormat::CSV, contacts, keys)->columCount()),
        static_cast<double>(kilobytes("VmRSS:") - base) / 1024.0);

    QTemporaryDir dir;
    const struct
    {
        qint32 type;
        const char* extension;
        double goal;
    } formats[] = {{KQContactFormat::Excel, "xlsx", 4},
                   {KQContactFormat::Docx, "docx", 6},
                   {KQContactFormat::Pages, "pages", 6},
                   {KQContactFormat::Numbers, "numbers", 6},
                   {KQContactFormat::HTML, "html", 6}};
    for (const auto& format : formats) {
        const QString path = dir.filePath(QStringLiteral("bench.") + QString::fromLatin1(format.extension));
        resetPeak();
        const long before = kilobytes("VmRSS:");
        const double cpu = cpuSeconds();
        QElapsedTimer timer;
        timer.start();
        auto writer = KQContactSerialization::contactSerializationWithFormat(format.type, contacts, keys);
        const bool ok = writer->exportWithFile(path, nullptr);
        writer.reset();
        const double wall = static_cast<double>(timer.nsecsElapsed()) / 1e9;
        const double used = cpuSeconds() - cpu;
        const double peak = static_cast<double>(kilobytes("VmHWM:") - before) / 1024.0;
        std::printf("%-8s %s wall %5.2f s  cpu %5.2f s  peak +%5.0f MiB  file %6.1f MiB  (goal <= %.0f s)\n",
                    format.extension, ok ? "ok    " : "FAILED", wall, used, peak,
                    static_cast<double>(QFileInfo(path).size()) / (1 << 20), format.goal);
        std::fflush(stdout);
    }
    return 0;
}
