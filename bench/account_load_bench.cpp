// Loading an account's contacts through its tree node (records made for every contact) against
// the bare store fetch of the same contacts with the list keys.
//
//   account_load_bench [count]      (default 100000)

#include "platform/KQAllocatorPolicy.h"
#include "store/KQContactManager.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>
#include <thread>

namespace {

CNMutableContact makeContact(int i)
{
    CNMutableContact c;
    c.setGivenName(QStringLiteral("Given%1").arg(i));
    c.setFamilyName(QStringLiteral("Family%1").arg(i % 977));
    c.setOrganizationName(QStringLiteral("Company %1").arg(i % 311));
    c.setPhoneNumbers(
        {CNLabeledValue<CNPhoneNumber>(CNLabelHome,
                                       CNPhoneNumber(QStringLiteral("+1 555 %1").arg(i, 7, 10, QLatin1Char('0')))),
         CNLabeledValue<CNPhoneNumber>(CNLabelPhoneNumberMobile,
                                       CNPhoneNumber(QStringLiteral("+1 666 %1").arg(i, 7, 10, QLatin1Char('0'))))});
    c.setEmailAddresses({CNLabeledValue<QString>(CNLabelHome, QStringLiteral("person%1@example.com").arg(i)),
                         CNLabeledValue<QString>(CNLabelWork, QStringLiteral("p%1@work.example.org").arg(i))});
    CNPostalAddress address;
    address.street = QStringLiteral("%1 Main Street").arg(i % 9999);
    address.city = QStringLiteral("Springfield");
    address.postalCode = QStringLiteral("%1").arg(10000 + i % 89999);
    address.isoCountryCode = QStringLiteral("us");
    c.setPostalAddresses({CNLabeledValue<CNPostalAddress>(CNLabelHome, address)});
    c.setNote(QStringLiteral("Met at conference number %1.").arg(i));
    return c;
}

} // namespace

int main(int argc, char** argv)
{
    // The heap behaves as in the program.
    KQConfigureAllocator();
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", home.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 100000;

    KQContactManager* manager = KQContactManager::sharedContactManager();
    CNContactStore* store = manager->contactStore();
    const QString account = store->defaultContainerIdentifier();
    for (int start = 0; start < count; start += 1000) {
        CNSaveRequest request;
        for (int i = start; i < std::min(count, start + 1000); ++i)
            request.addContact(makeContact(i), account);
        if (!store->executeSaveRequest(request)) {
            std::fprintf(stderr, "save failed\n");
            return 1;
        }
    }

    int status = 0;
    std::thread worker([&] {
        // Bare fetch with the list keys, keeping the contacts as the node would.
        QElapsedTimer timer;
        timer.start();
        CNContactList fetched;
        fetched.reserve(static_cast<size_t>(count));
        CNContactFetchRequest request(KQContactStoreHelper::mainKeys());
        request.setPredicate(CNContactPredicate::predicateForContactsInContainerWithIdentifier(account));
        store->enumerateContactsWithFetchRequest(request, nullptr,
                                                 [&fetched](const CNContactPtr& c, bool*) { fetched.push_back(c); });
        const double bare = static_cast<double>(timer.nsecsElapsed()) / 1e9;
        fetched.clear();

        auto shared =
            std::make_shared<KQContainerHelper>(CNContainer(account, QStringLiteral("Bench"), CNContainerType::Local));
        timer.restart();
        shared->syncLoadContactsIfNecessary();
        const double viaNode = static_cast<double>(timer.nsecsElapsed()) / 1e9;
        const int loaded = shared->countOfContacts();

        std::printf("contacts                 %d (node loaded %d)\n", count, loaded);
        std::printf("bare store fetch         %.3f s  (%.0f contacts/s)\n", bare, count / bare);
        std::printf("node synchronous load    %.3f s  (%.0f contacts/s)\n", viaNode, count / viaNode);
        std::printf("ratio node / bare        %.2f  (goal: at most 2.00)\n", viaNode / bare);
        status = loaded == count ? 0 : 1;
        QMetaObject::invokeMethod(
            &app, [] { QCoreApplication::quit(); }, Qt::QueuedConnection);
    });
    QCoreApplication::exec();
    worker.join();
    return status;
}
