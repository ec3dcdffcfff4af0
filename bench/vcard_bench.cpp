// vCard reading and writing speed. Reads a vCard file (or, without one, a generated file of
// 100,000 vCard 3.0 cards: two phones, two e-mail addresses, an address, a note, a small photo on
// one card in twenty), then writes all the contacts read back into one vCard file.
//
//   vcard_bench [file.vcf]
//
// CPU time is this process's own (the machine is shared; wall-clock time moves with other work).
// Peak memory is the largest resident size, in MB (10^6 bytes) and MiB (2^20 bytes).
#include "platform/CNContactVCardSerialization.h"
#include "platform/KQAllocatorPolicy.h"

#include <QElapsedTimer>
#include <QFile>
#include <cstdio>
#include <ctime>
#include <sys/resource.h>
#include <unistd.h>

namespace {

constexpr int kContacts = 100000;

double currentMegabytes()
{
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1e6;
}

double peakKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss); // kilobytes on Linux
}

void printPeak(const char* when)
{
    const double kib = peakKiB();
    std::printf("peak memory %s: %.1f MB = %.1f MiB\n", when, kib * 1024.0 / 1e6, kib / 1024.0);
}

double cpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

QByteArray smallPhoto()
{
    QByteArray jpeg("\xFF\xD8\xFF\xE0", 4);
    for (int i = 0; jpeg.size() < 1500; ++i)
        jpeg.append(static_cast<char>((i * 37 + 11) & 0xFF));
    jpeg.append("\xFF\xD9", 2);
    const QByteArray base64 = jpeg.toBase64();
    QByteArray folded = "PHOTO;ENCODING=b;TYPE=JPEG:";
    qsizetype pos = 0;
    qsizetype room = 75 - folded.size();
    while (pos < base64.size()) {
        folded.append(base64.mid(pos, room));
        folded.append("\r\n");
        pos += room;
        room = 74;
        if (pos < base64.size())
            folded.append(' ');
    }
    return folded;
}

QByteArray generate()
{
    static const char* const given[] = {"Anna", "Bernd", "Chloé", "Dmitri", "Eva", "François", "Greta", "Hiro"};
    static const char* const family[] = {"Müller", "Schmidt", "O'Brien", "Nakamura", "Rossi", "Dubois", "Smith"};
    const QByteArray photo = smallPhoto();
    QByteArray out;
    out.reserve(qsizetype(kContacts) * 600);
    char buffer[1024];
    for (int i = 0; i < kContacts; ++i) {
        const char* g = given[i % 8];
        const char* f = family[i % 7];
        const int n = std::snprintf(
            buffer, sizeof buffer,
            "BEGIN:VCARD\r\nVERSION:3.0\r\nN:%s;%s;;;\r\nFN:%s %s\r\nORG:Example Corp %d\r\n"
            "TEL;TYPE=CELL:+41 79 %03d %02d %02d\r\nTEL;TYPE=WORK,VOICE:+41 44 %03d %02d %02d\r\n"
            "EMAIL;TYPE=INTERNET;TYPE=HOME:person%d@example.com\r\nEMAIL;TYPE=INTERNET;TYPE=WORK:p%d@corp.example\r\n"
            "ADR;TYPE=HOME:;;Bahnhofstrasse %d;Zürich;ZH;80%02d;Switzerland\r\n"
            "NOTE:Met at the conference\\, table %d.\\nCall back about the offer\\; bring the files.\r\n",
            f, g, g, f, i % 500, i % 1000, i % 100, (i / 7) % 100, (i * 3) % 1000, (i / 3) % 100, i % 97, i, i, i % 300,
            i % 100, i % 50);
        out.append(buffer, n);
        if (i % 20 == 0)
            out.append(photo);
        out.append("END:VCARD\r\n");
    }
    return out;
}

} // namespace

int main(int argc, char** argv)
{
    // The heap behaves as in the program.
    KQConfigureAllocator();
    printPeak("at start");
    QByteArray file;
    if (argc > 1) {
        QFile in(QString::fromLocal8Bit(argv[1]));
        if (!in.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "cannot open %s\n", argv[1]);
            return 2;
        }
        file = in.readAll();
        std::printf("file: %s\n", argv[1]);
    } else {
        file = generate();
        std::printf("file: generated, %d cards\n", kContacts);
    }
    const double megabytes = static_cast<double>(file.size()) / 1e6;
    std::printf("size: %.1f MB\n", megabytes);
    printPeak("before reading");

    QElapsedTimer timer;
    timer.start();
    double cpu = cpuSeconds();
    CNError error;
    CNContactList contacts = CNContactVCardSerialization::contactsWithData(file, &error);
    const double readCpu = cpuSeconds() - cpu;
    const double readWall = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    const auto count = static_cast<double>(contacts.size());
    std::printf("read: %zu contacts%s\n", contacts.size(), error.isError() ? " (with problems)" : "");
    std::printf("read CPU time: %.3f s (%.1f MB/s, %.0f contacts/s); wall %.3f s\n", readCpu, megabytes / readCpu,
                count / readCpu, readWall);
    printPeak("after reading");
    std::printf("resident after reading: %.1f MB\n", currentMegabytes());

    timer.restart();
    cpu = cpuSeconds();
    const QByteArray written = CNContactVCardSerialization::dataWithContacts(contacts);
    const double writeCpu = cpuSeconds() - cpu;
    const double writeWall = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    const double writtenMegabytes = static_cast<double>(written.size()) / 1e6;
    std::printf("write: %zu contacts, %.1f MB (no NOTE, PHOTO or UID lines)\n", contacts.size(), writtenMegabytes);
    std::printf("write CPU time: %.3f s (%.0f contacts/s, %.1f MB/s); wall %.3f s\n", writeCpu, count / writeCpu,
                writtenMegabytes / writeCpu, writeWall);
    printPeak("at the end");
    return contacts.empty() ? 1 : 0;
}
