// Draws the screenshots of the documentation: the main window over a realistic address book (a few
// hundred contacts with pictures, groups and tags), the preferences window and the contacts popup.
//
//   peoplekeeper-screens OUTPUT_FOLDER [--dark] [--suffix TEXT]
//
// It works in a private home folder, so the user's own contacts are never touched.

#include "app/windows/KQAppIcon.h"
#include "app/windows/KQContactDetailPane.h"
#include "app/windows/KQContactsViewController.h"
#include "app/windows/KQGroupTreeView.h"
#include "app/windows/KQGroupViewController.h"
#include "app/windows/KQMainWindow.h"
#include "app/windows/KQPopContactsViewCtrl.h"
#include "app/windows/KQPreferencesWndCtrl.h"
#include "app/windows/KQTagsViewController.h"
#include "platform/CNLabels.h"
#include "store/KQContactManager.h"
#include "store/KQGroupHelper.h"
#include "store/KQStorage.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QListWidget>
#include <QPainter>
#include <QRandomGenerator>
#include <QSplitter>
#include <QStyleFactory>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>

namespace {

const char* const kGiven[] = {"Amara",  "Liam",   "Sofia", "Noah",  "Mei",    "Lucas", "Aisha", "Mateo",
                              "Hana",   "Oliver", "Priya", "Elias", "Zoe",    "Kenji", "Leila", "Jonas",
                              "Ingrid", "Diego",  "Chloe", "Tariq", "Nora",   "Felix", "Yara",  "Hugo",
                              "Astrid", "Omar",   "Lena",  "Ravi",  "Clara",  "Emeka", "Julia", "Sven",
                              "Fatima", "Marco",  "Elena", "Kwame", "Isabel", "Tomas", "Anya",  "Pedro"};
const char* const kFamily[] = {"Okafor",   "Lindqvist", "Rossi",   "Tanaka", "Haddad",  "Novak",    "Fischer",
                               "Moreau",   "Kowalski",  "Santos",  "Nguyen", "Brennan", "Ahmed",    "Larsen",
                               "Costa",    "Varga",     "Schmidt", "Dubois", "Patel",   "Kim",      "Andersen",
                               "Mensah",   "Garcia",    "Petrov",  "Walsh",  "Yilmaz",  "Bauer",    "Silva",
                               "Hoffmann", "Ito",       "Mbeki",   "Jensen", "Romero",  "Nakamura", "Ortiz"};
const char* const kCompanies[] = {"Northwind Traders", "Blue Harbor Labs", "Greenfield Bakery", "Atlas Architects",
                                  "Riverbend Clinic",  "Lumen Studio",     "Cedar & Stone",     "Orbit Logistics"};
const char* const kTitles[] = {"Designer", "Engineer",   "Head Chef", "Architect",  "Nurse",
                               "Producer", "Accountant", "Teacher",   "Researcher", "Sales Lead"};
const char* const kCities[] = {"Lisbon", "Oslo", "Kyoto", "Toronto", "Nairobi", "Melbourne", "Leipzig", "Porto"};

QByteArray face(const QString& initials, int seed)
{
    static const QColor colors[] = {QColor(0x2a5d93), QColor(0x6cc070), QColor(0xe0607e), QColor(0xf2a541),
                                    QColor(0x8a6fd1), QColor(0x3fb6b2), QColor(0xd9774a), QColor(0x5b7083)};
    QImage image(160, 160, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor base = colors[seed % 8];
    painter.fillRect(image.rect(), base.lighter(140));
    painter.setBrush(base);
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(QPoint(80, 62), 34, 34);
    painter.drawEllipse(QRect(22, 104, 116, 110));
    painter.setPen(Qt::white);
    QFont font = painter.font();
    font.setPixelSize(26);
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(QRect(46, 28, 68, 68), Qt::AlignCenter, initials);
    painter.end();
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 85);
    return jpeg;
}

template <typename Condition> void spinUntil(Condition condition, int timeoutMs = 60000)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition() && timer.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
}

void settle(int ms = 300)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

bool save(QWidget* widget, const QString& path)
{
    const QPixmap shot = widget->grab();
    const bool saved = shot.save(path, "PNG", 0);
    std::printf("%s %dx%d\n", qPrintable(path), shot.width(), shot.height());
    return saved;
}

void useDarkPalette(QApplication& app)
{
    app.setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(0x2b2d30));
    dark.setColor(QPalette::WindowText, QColor(0xe6e6e6));
    dark.setColor(QPalette::Base, QColor(0x1f2023));
    dark.setColor(QPalette::AlternateBase, QColor(0x26282b));
    dark.setColor(QPalette::ToolTipBase, QColor(0x3a3f46));
    dark.setColor(QPalette::ToolTipText, QColor(0xf0f0f0));
    dark.setColor(QPalette::Text, QColor(0xe6e6e6));
    dark.setColor(QPalette::PlaceholderText, QColor(0x8c8f94));
    dark.setColor(QPalette::Button, QColor(0x35383c));
    dark.setColor(QPalette::ButtonText, QColor(0xe6e6e6));
    dark.setColor(QPalette::Highlight, QColor(0x3d6fa8));
    dark.setColor(QPalette::HighlightedText, Qt::white);
    dark.setColor(QPalette::Mid, QColor(0x8c8f94));
    dark.setColor(QPalette::Disabled, QPalette::Text, QColor(0x6c6f74));
    dark.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0x6c6f74));
    app.setPalette(dark);
}

} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir home;
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_DATA_HOME", (home.path() + QStringLiteral("/data")).toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toUtf8());
    qputenv("XDG_CACHE_HOME", (home.path() + QStringLiteral("/cache")).toUtf8());
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Peoplekeeper"));
    QApplication::setApplicationVersion(QStringLiteral("0.1.0"));
    QApplication::setWindowIcon(KQAppIcon::icon());
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() < 2) {
        std::fprintf(stderr, "usage: peoplekeeper-screens OUTPUT_FOLDER [--dark] [--suffix TEXT]\n");
        return 2;
    }
    const QString out = arguments.at(1);
    QDir().mkpath(out);
    const bool dark = arguments.contains(QStringLiteral("--dark"));
    const qsizetype suffixAt = arguments.indexOf(QStringLiteral("--suffix"));
    const QString suffix = suffixAt > 0 ? arguments.value(suffixAt + 1) : QString();
    if (dark)
        useDarkPalette(app);
    else
        app.setStyle(QStyleFactory::create(QStringLiteral("Fusion")));

    KQContactManager* manager = KQContactManager::sharedContactManager();
    KQContactStoreHelper* store = manager->storeHelper();
    spinUntil([store] { return !store->updatingStore(); });
    const QString local = store->contactStore()->defaultContainerIdentifier();

    // Groups, then three hundred contacts spread over them.
    const QStringList groupNames = {QStringLiteral("Family"), QStringLiteral("Friends"), QStringLiteral("Work"),
                                    QStringLiteral("Book Club"), QStringLiteral("Neighbours")};
    std::vector<CNMutableGroupPtr> groups;
    for (const QString& name : groupNames) {
        CNMutableGroupPtr group = store->newGroupWithName(name);
        store->addGroup(*group, local);
        groups.push_back(group);
    }
    QRandomGenerator random(20261206);
    CNSaveRequest request;
    std::vector<std::pair<CNMutableContactPtr, int>> members;
    QStringList identifiers;
    for (int i = 0; i < 300; ++i) {
        auto contact = std::make_shared<CNMutableContact>();
        const QString given = QString::fromLatin1(kGiven[random.bounded(int(std::size(kGiven)))]);
        const QString family = QString::fromLatin1(kFamily[random.bounded(int(std::size(kFamily)))]);
        contact->setGivenName(given);
        contact->setFamilyName(family);
        if (random.bounded(3) != 0) {
            contact->setOrganizationName(QString::fromLatin1(kCompanies[random.bounded(int(std::size(kCompanies)))]));
            contact->setJobTitle(QString::fromLatin1(kTitles[random.bounded(int(std::size(kTitles)))]));
        }
        contact->setPhoneNumbers({CNLabeledValue<CNPhoneNumber>(
            CNLabelPhoneNumberMobile,
            CNPhoneNumber(
                QStringLiteral("+351 91%1 %2").arg(random.bounded(10)).arg(random.bounded(100000, 999999))))});
        contact->setEmailAddresses({CNLabeledValue<QString>(
            CNLabelHome, QStringLiteral("%1.%2@example.org").arg(given.toLower(), family.toLower()))});
        CNPostalAddress address;
        address.street = QStringLiteral("%1 Rua das Flores").arg(random.bounded(1, 200));
        address.city = QString::fromLatin1(kCities[random.bounded(int(std::size(kCities)))]);
        address.postalCode = QStringLiteral("%1").arg(random.bounded(1000, 9999));
        contact->setPostalAddresses({CNLabeledValue<CNPostalAddress>(CNLabelHome, address)});
        if (random.bounded(4) != 0)
            contact->setImageData(face(given.left(1) + family.left(1), i));
        if (random.bounded(5) == 0)
            contact->setNote(QStringLiteral("Met at the spring meetup; likes hiking."));
        request.addContact(*contact, local);
        members.emplace_back(contact, random.bounded(int(groups.size()) + 2));
        identifiers << contact->identifier();
    }
    for (const auto& [contact, group] : members) {
        if (group < static_cast<int>(groups.size()))
            request.addMember(*contact, *groups[static_cast<size_t>(group)]);
    }
    if (!store->executeSaveRequest(request, QStringLiteral("screens"))) {
        std::fprintf(stderr, "could not fill the store\n");
        return 1;
    }
    // Tags on some of them.
    const KQTagsManagerPtr& tags = manager->tagsMgr();
    const QStringList tagNames = {QStringLiteral("Climbing"), QStringLiteral("Clients"), QStringLiteral("Conference"),
                                  QStringLiteral("Volunteers")};
    for (int i = 0; i < identifiers.size(); i += 3)
        tags->newTagWithNameToContactWithIdentifier(tagNames[i % tagNames.size()], identifiers[i]);
    manager->storage()->saveDefaultTagsManager(tags.get());

    store->asyncLoadContainerHelpers();
    spinUntil([store] { return !store->updatingStore(); });
    settle(300);
    const KQContainerHelperPtr account = manager->containerHelperWithIdentifier(local);

    KQMainWindow window(manager);
    KQContactDetailPane::installInWindow(&window);
    window.resize(1180, 720);
    window.show();
    window.selectGroupTreeNode(account.get());
    KQContactsViewController* contacts = window.contactsViewController();
    spinUntil([contacts] { return !contacts->isLoading() && !contacts->contactHelpers().empty(); });
    window.groupsViewController()->groupTree()->expandAll();
    contacts->selectContactHelpersAtIndexes({3});
    settle(800);
    save(&window, out + QStringLiteral("/main-window%1.png").arg(suffix));

    KQPreferencesWndCtrl preferences(manager);
    preferences.show();
    settle(300);
    save(&preferences, out + QStringLiteral("/preferences%1.png").arg(suffix));
    preferences.setActiveTabIndex(3);
    settle(200);
    save(&preferences, out + QStringLiteral("/preferences-problems%1.png").arg(suffix));
    preferences.close();

    KQPopContactsViewCtrl popup(manager);
    popup.setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
    popup.popupAt(window.frameGeometry().topRight() + QPoint(0, 40));
    spinUntil([&popup] { return !popup.isLoading(); });
    popup.setSearchText(QStringLiteral("an"));
    settle(400);
    save(&popup, out + QStringLiteral("/contacts-popup%1.png").arg(suffix));
    return 0;
}
