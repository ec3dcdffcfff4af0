// The printout's and the text file's line rules: bare values (print) or title:'value' lines
// (text), the first value of a labelled field only, an empty tag line, records separated by three
// CR LF pairs, and a cancel that keeps the records built so far.
#include "KQExchangeTestSupport.h"
#include "exchange/KQContactPrintSerialization.h"
#include "exchange/KQContactTextSerialization.h"

#include <QCoreApplication>
#include <QThread>
#include <atomic>
#include <thread>

namespace {

KQContactHelperPtr person(const QString& given, const QString& family, const QStringList& phones)
{
    auto c = std::make_shared<CNMutableContact>();
    c->setGivenName(given);
    c->setFamilyName(family);
    std::vector<CNLabeledValue<CNPhoneNumber>> values;
    for (const QString& phone : phones)
        values.push_back({CNLabelHome, CNPhoneNumber(phone)});
    c->setPhoneNumbers(values);
    c->setJobTitle(QString());
    return KQContactHelper::create(c, true);
}

// A function: the key constants live in another translation unit.
QStringList recordKeys()
{
    return {KQPropertyKeyName, CNContactPhoneNumbersKey, CNContactJobTitleKey, KQPropertyKeyTags};
}

TEST(PrintText, PrintedRecordsHoldBareValuesFirstPhoneOnlyAndAnEmptyTagLine)
{
    const KQContactHelperList contacts{person(QStringLiteral("Ada"), QStringLiteral("Lovelace"),
                                              {QStringLiteral("111"), QStringLiteral("222"), QStringLiteral("333")}),
                                       person(QStringLiteral("Grace"), QStringLiteral("Hopper"), {})};
    const QString text = KQContactPrintSerialization::stringContacts(contacts, recordKeys(), nullptr);
    // Ada: name, first phone, empty job title, empty tags; Grace has no phone line.
    EXPECT_EQ(text, QStringLiteral("Ada Lovelace\r\n111\r\n\r\n\r\n\r\n\r\nGrace Hopper\r\n\r\n"));
}

TEST(PrintText, TextRecordsHoldTitledLinesWithTheSameRules)
{
    const KQContactHelperList contacts{
        person(QStringLiteral("Ada"), QStringLiteral("Lovelace"), {QStringLiteral("111"), QStringLiteral("222")}),
        person(QStringLiteral("Grace"), QStringLiteral("Hopper"), {})};
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("out.txt"));
    ASSERT_TRUE(KQContactTextSerialization::exportContacts(contacts, recordKeys(), path, nullptr));
    const QString text = QString::fromUtf8(exchangetest::readFile(path));
    const QStringList records = text.split(QStringLiteral("\r\n\r\n\r\n"));
    ASSERT_EQ(records.size(), 2);
    EXPECT_EQ(records[0].split(QStringLiteral("\r\n")),
              (QStringList{QStringLiteral("Name:'Ada Lovelace'"), QStringLiteral("home:'111'"),
                           QStringLiteral("Job title:''"), QStringLiteral("tag:''")}));
    EXPECT_EQ(
        records[1].split(QStringLiteral("\r\n")),
        (QStringList{QStringLiteral("Name:'Grace Hopper'"), QStringLiteral("Job title:''"), QStringLiteral("tag:''")}));
}

TEST(PrintText, CancelAfterTheSecondOfFiveKeepsTwoPrintedRecords)
{
    KQContactHelperList contacts;
    for (int i = 0; i < 5; ++i)
        contacts.push_back(person(QStringLiteral("P%1").arg(i), QStringLiteral("Q"), {QStringLiteral("1")}));
    int calls = 0;
    std::vector<double> percents;
    const QString text =
        KQContactPrintSerialization::stringContacts(contacts, {KQPropertyKeyName}, [&](double percent, bool* stop) {
            percents.push_back(percent);
            *stop = ++calls == 2;
        });
    EXPECT_EQ(text, QStringLiteral("P0 Q\r\n\r\n\r\nP1 Q"));
    EXPECT_EQ(percents, (std::vector<double>{20.0, 40.0}));
}

TEST(PrintText, PrintJobHandsTheTextToThePresenterOnTheMainThread)
{
    const KQContactHelperList contacts{person(QStringLiteral("Ada"), QStringLiteral("L"), {QStringLiteral("9")})};
    QString shown;
    bool onMain = false;
    KQImportExportMgr manager;
    std::atomic<bool> done = false;
    std::thread worker([&] {
        manager.runPrint(contacts, true, [&](const QString& text) {
            shown = text;
            onMain = QThread::currentThread() == QCoreApplication::instance()->thread();
        });
        done = true;
    });
    while (!done)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    worker.join();
    EXPECT_TRUE(onMain);
    // The default fields: name, phone numbers, merged address (absent here).
    EXPECT_EQ(shown, QStringLiteral("Ada L\r\n9"));
}

} // namespace
