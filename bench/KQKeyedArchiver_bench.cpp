// Time to archive and unarchive one contact (the unit of backup files and the trash), with a
// small and with a 2 MiB image.
#include "platform/CNMutableContact.h"

#include <benchmark/benchmark.h>

namespace {

std::shared_ptr<CNMutableContact> contact(qsizetype imageBytes)
{
    auto c = std::make_shared<CNMutableContact>();
    c->setGivenName(QStringLiteral("Иван"));
    c->setFamilyName(QStringLiteral("Petrov"));
    c->setOrganizationName(QStringLiteral("Acme"));
    c->setNote(QString(400, QLatin1Char('n')));
    c->setImageData(QByteArray(imageBytes, '\x42'));
    CNPhoneNumberList phones;
    CNStringValueList emails;
    CNPostalAddressList addresses;
    for (int i = 0; i < 4; ++i) {
        phones.emplace_back(CNLabelHome, CNPhoneNumber(QStringLiteral("+49 89 12345%1").arg(i)));
        emails.emplace_back(CNLabelWork, QStringLiteral("ivan%1@example.org").arg(i));
        CNPostalAddress a;
        a.street = QStringLiteral("Street %1").arg(i);
        a.city = QStringLiteral("München");
        addresses.emplace_back(CNLabelHome, a);
    }
    c->setPhoneNumbers(phones);
    c->setEmailAddresses(emails);
    c->setPostalAddresses(addresses);
    CNDateComponents birthday;
    birthday.year = 1980;
    birthday.month = 5;
    birthday.day = 17;
    c->setBirthday(birthday);
    return c;
}

void BM_ArchiveContact(benchmark::State& state)
{
    const auto c = contact(state.range(0));
    qsizetype bytes = 0;
    for (auto _ : state) {
        const QByteArray data = KQKeyedArchiver::archivedDataWithRootObject(*c);
        bytes = data.size();
        benchmark::DoNotOptimize(data.constData());
    }
    state.counters["archive_bytes"] = static_cast<double>(bytes);
}

void BM_UnarchiveContact(benchmark::State& state)
{
    const QByteArray data = KQKeyedArchiver::archivedDataWithRootObject(*contact(state.range(0)));
    const QSet<QString> classes = CNContact::archiveClasses();
    for (auto _ : state) {
        const auto decoded = KQKeyedUnarchiver::unarchivedObjectOfClasses(classes, data);
        if (!decoded)
            state.SkipWithError("decoding failed");
        benchmark::DoNotOptimize(decoded.get());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * data.size());
}

} // namespace

BENCHMARK(BM_ArchiveContact)->Arg(1024)->Arg(2 * 1024 * 1024);
BENCHMARK(BM_UnarchiveContact)->Arg(1024)->Arg(2 * 1024 * 1024);
BENCHMARK_MAIN();
