#include "../core/KQConflictTestBooks.h"
#include "KQCliTestSupport.h"
#include "platform/CNContactVCardSerialization.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

KQCliRun runCli(const QStringList& arguments, const QTemporaryDir& home)
{
    return kqRunCli(home, QStringList{QStringLiteral("scan")} + arguments, {}, 300000);
}

// What the library finds in the same files, named as the front end names contacts.
QJsonArray libraryScan(const QStringList& files, const KQConflictScanKinds& kinds)
{
    KQContactHelperList contacts;
    for (const QString& path : files) {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        for (const CNContactPtr& card : CNContactVCardSerialization::contactsWithData(file.readAll()))
            contacts.push_back(KQContactHelper::create(card, true));
    }
    QHash<const KQContactHelper*, QJsonValue> names;
    for (size_t i = 0; i < contacts.size(); ++i) {
        const QString uid = contacts[i]->contact()->cardUID();
        names.insert(contacts[i].get(), uid.isEmpty() ? QJsonValue(static_cast<qint64>(i + 1)) : QJsonValue(uid));
    }
    const auto task = KQConflictScanTask::initWithContactHelpers(contacts);
    task->setKinds(kinds);
    const KQConflictResultPtr result = task->scan({});
    QJsonArray groups;
    for (const auto& group : result->conflictGroups()) {
        QJsonArray items;
        for (const auto& item : group->conflictItems()) {
            QJsonArray members;
            for (const auto& contact : item->contactHelpers())
                members.append(names.value(contact.get()));
            items.append(members);
        }
        groups.append(
            QJsonObject{{QStringLiteral("kind"), group->conflictMeta()->name()}, {QStringLiteral("items"), items}});
    }
    return groups;
}

QJsonArray parsed(const QByteArray& json)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
    return document.array();
}

} // namespace

TEST(CliScan, CorpusCardsGiveTheLibrarysResult)
{
    const QDir corpus(QStringLiteral(KQ_CORPUS_DIR));
    if (!corpus.exists())
        GTEST_SKIP() << "no corpus";
    QStringList files;
    QDirIterator it(corpus.path(), {QStringLiteral("*.vcf"), QStringLiteral("*.VCF")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(it.next());
    files.sort();
    ASSERT_FALSE(files.isEmpty());
    QTemporaryDir home;
    for (const QString& file : std::as_const(files)) {
        const KQCliRun run =
            runCli({QStringLiteral("--kinds"), QStringLiteral("all"), QStringLiteral("--json"), file}, home);
        if (run.status != 0) {
            // A file the reader cannot take at all must be refused with a message, not a crash.
            EXPECT_EQ(run.status, 1) << file.toStdString();
            EXPECT_FALSE(run.err.isEmpty()) << file.toStdString();
            continue;
        }
        EXPECT_EQ(parsed(run.out.toUtf8()), libraryScan({file}, kqscan::allKinds())) << file.toStdString();
    }
    // All files as one working list, in the order given.
    const KQCliRun all = runCli(QStringList{QStringLiteral("--json")} + files, home);
    if (all.status == 0) {
        EXPECT_EQ(parsed(all.out.toUtf8()),
                  libraryScan(files, KQConflictScanKinds{KQConflictMeta::avaliableConflictMetas()}));
    }
}

TEST(CliScan, AGeneratedBookOfTenThousandGivesTheLibrarysResult)
{
    QTemporaryDir home;
    kqscan::BookGenerator generator(2024);
    CNContactList contacts;
    for (CNContactData& d : generator.book(10000)) {
        if (generator.chance(70))
            d.cardUID = CNMakeIdentifier();
        contacts.push_back(std::make_shared<CNContact>(d, CNAllKeysSet()));
    }
    const QString path = home.filePath(QStringLiteral("book.vcf"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_GT(file.write(CNContactVCardSerialization::dataWithContacts(contacts)), 0);
    file.close();
    const KQCliRun run = runCli({QStringLiteral("--json"), path}, home);
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    const QJsonArray expected = libraryScan({path}, KQConflictScanKinds{KQConflictMeta::avaliableConflictMetas()});
    EXPECT_FALSE(expected.isEmpty());
    EXPECT_EQ(parsed(run.out.toUtf8()), expected);
}

struct RefusalCase
{
    const char* title;
    QStringList arguments;
    const char* message;
};

void PrintTo(const RefusalCase& c, std::ostream* os)
{
    *os << c.title;
}

class CliScanRefuses : public ::testing::TestWithParam<RefusalCase>
{
};

TEST_P(CliScanRefuses, WithAMessageAndAFailureStatus)
{
    QTemporaryDir home;
    const KQCliRun run = runCli(GetParam().arguments, home);
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.status, -1) << "crashed or hung";
    EXPECT_TRUE(run.err.contains(QString::fromUtf8(GetParam().message))) << run.err.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    , CliScanRefuses,
    ::testing::Values(RefusalCase{"an unreadable file", {QStringLiteral("/nonexistent/book.vcf")}, "cannot read"},
                      RefusalCase{"an unknown kind",
                                  {QStringLiteral("--kinds"), QStringLiteral("Blank name,Odd names")},
                                  "unknown kind"},
                      RefusalCase{"a mask out of range", {QStringLiteral("--mask"), QStringLiteral("32")}, "--mask"},
                      RefusalCase{"an unknown account",
                                  {QStringLiteral("--account"), QStringLiteral("No Such Account")},
                                  "No Such Account"}),
    [](const auto& p) {
        std::string name = p.param.title;
        std::replace(name.begin(), name.end(), ' ', '_');
        return name;
    });
