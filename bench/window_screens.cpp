// Screenshots of the contact editor, the problem window and its sheets with a small, realistic
// address book (accents, CJK, pictures), for the README. Run under a virtual display:
//   xvfb-run -a -s "-screen 0 1600x1000x24" window_screens docs/screens
//   QT_SCALE_FACTOR=1.5 xvfb-run -a -s "-screen 0 1600x1000x24" window_screens docs/screens
// Each window is 990 x 650 (in device-independent pixels); files end in "-100" or "-150".
// It works in a private temporary home, never in the user's address book.
#include "app/windows/KQConflictDupNameCfgWndCtrl.h"
#include "app/windows/KQConflictEditViewCtrl.h"
#include "app/windows/KQConflictPrefixCfgWndCtrl.h"
#include "app/windows/KQConflictWndCtrl.h"
#include "app/windows/KQContactDetailViewCtrl.h"
#include "app/windows/KQCustomLabelValueWndCtrl.h"
#include "app/windows/KQMergeInfoViewCtrl.h"
#include "app/windows/KQProgressWndCtrl.h"
#include "platform/CNContactStore.h"
#include "platform/CNLabels.h"
#include "problems/KQConflictScanTask.h"
#include "store/KQContactManager.h"
#include "store/KQContactStoreHelper.h"
#include "store/KQContainerHelper.h"
#include "store/KQPreferences.h"

#include <QApplication>
#include <QBuffer>
#include <QDeadlineTimer>
#include <QDir>
#include <QListWidget>
#include <QMainWindow>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QSplitter>
#include <QTemporaryDir>
#include <QThread>
#include <QToolButton>
#include <QTreeWidget>
#include <cstdio>
#include <functional>

namespace {

void spin(int ms)
{
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
}

bool waitUntil(const std::function<bool()>& condition, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        spin(5);
    }
    return true;
}

// A portrait: a coloured background, shoulders and a head, as a JPEG.
QByteArray portrait(QColor background, QColor skin, QColor shirt)
{
    QImage image(256, 256, QImage::Format_RGB32);
    image.fill(background);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient light(0, 0, 256, 256);
    light.setColorAt(0, background.lighter(130));
    light.setColorAt(1, background.darker(120));
    p.fillRect(image.rect(), light);
    p.setPen(Qt::NoPen);
    p.setBrush(shirt);
    p.drawEllipse(QRectF(38, 170, 180, 170));
    p.setBrush(skin);
    p.drawEllipse(QRectF(83, 52, 90, 110));
    p.setBrush(skin.darker(160));
    QPainterPath hair;
    hair.addEllipse(QRectF(78, 40, 100, 60));
    p.drawPath(hair);
    p.end();
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 85);
    return data;
}

CNContactStore* cn()
{
    return KQContactStoreHelper::shared()->contactStore();
}

using Fill = std::function<void(CNMutableContact&)>;

KQContactHelperList addBook(const std::vector<Fill>& fills)
{
    KQContactManager::sharedContactManager();
    CNSaveRequest request;
    QStringList ids;
    for (const auto& fill : fills) {
        CNMutableContact c;
        fill(c);
        request.addContact(c, cn()->defaultContainerIdentifier());
        ids.append(c.identifier());
    }
    cn()->executeSaveRequest(request);
    KQContactStoreHelper* store = KQContactStoreHelper::shared();
    waitUntil([store] { return !store->updatingStore(); }, 30000);
    store->asyncLoadContainerHelpers();
    waitUntil([store] { return !store->updatingStore(); }, 30000);
    const auto account =
        KQContactManager::sharedContactManager()->containerHelperWithIdentifier(cn()->defaultContainerIdentifier());
    bool loaded = false;
    account->loadContactsWithCompleteHandler([&loaded](KQGroupTreeNode*, bool) { loaded = true; });
    waitUntil([&loaded] { return loaded; }, 30000);
    KQContactHelperList records;
    for (const QString& id : std::as_const(ids)) {
        for (const auto& contact : account->contacts()) {
            if (contact->identifier() == id) {
                contact->syncLoadAllKeysIfNecessary();
                records.push_back(contact);
            }
        }
    }
    return records;
}

CNPhoneNumberList phones(std::initializer_list<std::pair<QString, const char*>> numbers)
{
    CNPhoneNumberList list;
    for (const auto& [label, number] : numbers)
        list.push_back({label, CNPhoneNumber(QString::fromUtf8(number))});
    return list;
}

std::vector<Fill> realisticBook()
{
    return {
        [](CNMutableContact& c) {
            c.setNamePrefix(QStringLiteral("Dr."));
            c.setGivenName(QStringLiteral("Zoë"));
            c.setFamilyName(QStringLiteral("Lefèvre-Ångström"));
            c.setJobTitle(QStringLiteral("Chef de projet"));
            c.setDepartmentName(QStringLiteral("Recherche"));
            c.setOrganizationName(QStringLiteral("Société Générale d'Études"));
            c.setNickname(QStringLiteral("Zozo"));
            c.setPhoneNumbers(phones({{CNLabelPhoneNumberMobile, "+33 6 12 34 56 78"},
                                      {CNLabelWork, "+33 1 42 68 53 00"},
                                      {QStringLiteral("Bateau"), "+33 6 98 76 54 32"}}));
            c.setEmailAddresses({{CNLabelWork, QStringLiteral("zoe.lefevre@etudes.fr")},
                                 {CNLabelHome, QStringLiteral("zoe@ångström.se")}});
            CNPostalAddress a;
            a.street = QStringLiteral("12 rue de la Paix");
            a.city = QStringLiteral("Paris");
            a.postalCode = QStringLiteral("75002");
            a.country = QStringLiteral("France");
            a.isoCountryCode = QStringLiteral("fr");
            c.setPostalAddresses({{CNLabelWork, a}});
            c.setBirthday(CNDateComponents{1984, 3, 21, {}, {}, {}});
            CNDateComponents lunar{4621, 2, 19, {}, {}, CNCalendarIdentifierChinese}; // 1984
            c.setNonGregorianBirthday(lunar);
            c.setUrlAddresses({{CNLabelURLAddressHomePage, QStringLiteral("https://zoe.example.fr")}});
            c.setNote(QStringLiteral("Rencontrée au congrès de Lyon — préfère le thé vert. 喜欢绿茶。"));
            c.setImageData(portrait(QColor(90, 140, 200), QColor(240, 200, 170), QColor(40, 60, 90)));
        },
        [](CNMutableContact& c) {
            c.setGivenName(QStringLiteral("太郎"));
            c.setFamilyName(QStringLiteral("山田"));
            c.setPhoneticGivenName(QStringLiteral("Tarō"));
            c.setPhoneticFamilyName(QStringLiteral("Yamada"));
            c.setOrganizationName(QStringLiteral("株式会社サンプル"));
            c.setPhoneNumbers(phones({{CNLabelPhoneNumberMobile, "+81 90-1234-5678"}}));
            c.setImageData(portrait(QColor(200, 120, 90), QColor(235, 205, 175), QColor(30, 30, 30)));
        },
        [](CNMutableContact& c) {
            c.setGivenName(QStringLiteral("太郎"));
            c.setFamilyName(QStringLiteral("山田"));
            c.setPhoneNumbers(
                phones({{CNLabelHome, "+81 3-1234-5678"}, {CNLabelPhoneNumberMobile, "+81 90-1234-5678"}}));
            c.setEmailAddresses({{CNLabelWork, QStringLiteral("yamada@sample.co.jp")}});
        },
        [](CNMutableContact& c) {
            c.setGivenName(QStringLiteral("Søren"));
            c.setFamilyName(QStringLiteral("Kierkegård"));
            c.setPhoneNumbers(phones({{CNLabelHome, "+45 33 12 34 56"}}));
            c.setImageData(portrait(QColor(120, 170, 110), QColor(245, 215, 190), QColor(120, 40, 40)));
        },
        [](CNMutableContact& c) {
            c.setGivenName(QStringLiteral("Søren"));
            c.setFamilyName(QStringLiteral("Kierkegård"));
            c.setEmailAddresses({{CNLabelHome, QStringLiteral("soren@example.dk")}});
        },
        [](CNMutableContact& c) {
            c.setGivenName(QStringLiteral(" Łucja"));
            c.setFamilyName(QStringLiteral("Wiśniewska"));
            c.setPhoneNumbers(phones({{CNLabelWork, "+48 22 123 45 67"}, {CNLabelHome, "+48 22 123 45 67"}}));
        },
        [](CNMutableContact& c) {
            c.setNamePrefix(QStringLiteral("Großherzog"));
            c.setGivenName(QStringLiteral("Jürgen"));
            c.setFamilyName(QStringLiteral("Weiß"));
        },
        [](CNMutableContact& c) {
            c.setGivenName(QStringLiteral("Minh"));
            c.setFamilyName(QStringLiteral("Nguyễn"));
            c.setOrganizationName(QStringLiteral("Công ty Ánh Dương"));
            c.setEmailAddresses({{CNLabelWork, QStringLiteral("minh@anhduong")}});
        },
        [](CNMutableContact& c) {
            c.setGivenName(QStringLiteral("Олег"));
            c.setPhoneNumbers(phones({{CNLabelHome, "+7 495 123-45-67"}}));
        },
        [](CNMutableContact& c) {
            c.setGivenName(QStringLiteral("Amélie"));
            c.setFamilyName(QStringLiteral("Poulain"));
            c.setPhoneNumbers(phones({{CNLabelHome, "+33 1 23 45 67 89"}}));
        },
        [](CNMutableContact& c) {
            c.setGivenName(QStringLiteral("Amélie"));
            c.setFamilyName(QStringLiteral("Poulain"));
            c.setPhoneNumbers(phones({{CNLabelHome, "+33 1 23 45 67 89"}}));
        },
    };
}

QString g_dir;
QString g_suffix;

void save(QWidget* widget, const QString& name)
{
    spin(150);
    const QString path = QDir(g_dir).filePath(name + g_suffix + QStringLiteral(".png"));
    if (!widget->grab().save(path, "PNG", 9))
        std::fprintf(stderr, "could not write %s\n", qPrintable(path));
    else
        std::printf("%s\n", qPrintable(path));
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
    QApplication::setApplicationName(QStringLiteral("peoplekeeper-screens"));
    g_dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(g_dir);
    const double scale =
        qEnvironmentVariableIsSet("QT_SCALE_FACTOR") ? qEnvironmentVariable("QT_SCALE_FACTOR").toDouble() : 1.0;
    g_suffix = QStringLiteral("-%1").arg(qRound(scale * 100));
    const QSize size(990, 650);

    const KQContactHelperList records = addBook(realisticBook());
    for (const auto& meta : KQPreferences::sharePreferences()->availableConflicts())
        meta->setValidate(true);
    const auto tags = KQContactManager::sharedContactManager()->tagsMgr();
    records[0]->addTagsWithName(QStringLiteral("Famille"));
    records[0]->addTagsWithName(QStringLiteral("Congrès 2024"));
    spin(50);

    // The editor in a frame like the main window's right-hand pane, with a list beside it.
    QMainWindow frame;
    frame.setWindowTitle(QStringLiteral("Peoplekeeper"));
    auto* splitter = new QSplitter(&frame);
    auto* list = new QListWidget(splitter);
    for (const auto& record : records)
        list->addItem(record->displayName());
    list->setCurrentRow(0);
    auto* editor = new KQContactDetailViewCtrl(splitter);
    splitter->addWidget(editor);
    splitter->setSizes({260, 730});
    frame.setCentralWidget(splitter);
    frame.resize(size);
    frame.show();
    editor->setSelectedContactHelpers({records[0]});
    save(&frame, QStringLiteral("editor-view"));
    editor->setEditable(true);
    save(&frame, QStringLiteral("editor-edit"));
    KQCustomLabelValueWndCtrl::sharedCustomLabelValueWndCtrl()->beginSheetForWindow(&frame, QStringLiteral("Bateau"),
                                                                                    {});
    save(KQCustomLabelValueWndCtrl::sharedCustomLabelValueWndCtrl(), QStringLiteral("custom-label-sheet"));
    KQCustomLabelValueWndCtrl::sharedCustomLabelValueWndCtrl()->cancelCustom();
    editor->setSelectedContactHelpers({records[1]});
    save(&frame, QStringLiteral("editor-edit-cjk"));
    editor->setEditable(false);

    // The problem window on a scan of the book.
    auto task = KQConflictScanTask::initWithContactHelpers(records);
    task->setKinds(KQConflictScanKinds::fromPreferences(*KQPreferences::sharePreferences()));
    const KQConflictResultPtr result = task->scan({});
    KQConflictWndCtrl window;
    window.resize(size);
    window.runModalForWindow(&frame, result);
    save(&window, QStringLiteral("problems-review"));

    KQProgressWndCtrl* sheet = KQProgressWndCtrl::sharedProgressWndCtrl();
    sheet->reset(QStringLiteral("Process..."));
    sheet->setPercent(42.5);
    sheet->beginSheetForWindow(&window);
    save(sheet, QStringLiteral("progress-sheet"));
    sheet->endSheet();

    auto* tree = window.findChild<QTreeWidget*>(QStringLiteral("conflictList"));
    for (int g = 0; g < result->countOfConflictGroups(); ++g) {
        if (result->conflictGroupAtIndex(g)->conflictMeta()->name() == KQConflictName::DuplicateName)
            tree->setCurrentItem(tree->topLevelItem(g)->child(0));
    }
    window.findChild<QPushButton*>(QStringLiteral("fixButton"))->click();
    save(&window, QStringLiteral("problems-compare"));
    window.findChild<QToolButton*>(QStringLiteral("mergeButton"))->click();
    save(&window, QStringLiteral("problems-compare-merged"));
    window.findChild<QToolButton*>(QStringLiteral("mergeInfoButton"))->click();
    save(KQMergeInfoViewCtrl::sharedMergeInfoViewCtrl(), QStringLiteral("merge-info"));
    KQMergeInfoViewCtrl::sharedMergeInfoViewCtrl()->close();
    window.editViewCtrl()->findChild<QPushButton*>(QStringLiteral("closeButton"))->click();

    auto* names = KQConflictDupNameCfgWndCtrl::shareConflictDupNameCfgWndCtrl();
    names->setConflictDupName(KQPreferences::sharePreferences()->conflictMetaDuplicateName());
    names->beginSheetForModalWindow(&window, {});
    save(names, QStringLiteral("duplicate-name-sheet"));
    names->cancelAction();
    auto* prefixes = KQConflictPrefixCfgWndCtrl::sharedConflictPrefixCfgWndCtrl();
    prefixes->setConflictPrefix(KQPreferences::sharePreferences()->conflictMetaPrefix());
    prefixes->beginSheetForModalWindow(&window, {});
    save(prefixes, QStringLiteral("allowed-prefixes-sheet"));
    prefixes->cancelOperation();
    return 0;
}
