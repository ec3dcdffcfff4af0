// The orchestrator: imports delivered to their place, round trips through every format, cancels.
#include "KQExchangeTestSupport.h"
#include "KQTestPython.h"
#include "KQTestUtil.h"
#include "exchange/KQContactCSVSerialization.h"
#include "exchange/KQContactTextSerialization.h"
#include "exchange/KQImportPlacement.h"
#include "platform/CNContactFetchRequest.h"
#include "platform/CNContactStore.h"
#include "platform/CNContactVCardSerialization.h"
#include "store/KQContactManager.h"
#include "store/KQContactStoreHelper.h"
#include "store/KQGroupHelper.h"
#include "store/KQStorage.h"

using namespace exchangetest;

namespace {

class ImportExport : public ::testing::Test
{
protected:
    void SetUp() override
    {
        KQContactManager::sharedContactManager(); // the tags live there
        manager.setDelegate(recorder);
    }

    QString path(const QString& name) const { return dir.filePath(name); }

    KQContactHelperList importFile(const QString& file)
    {
        recorder->received.clear();
        recorder->completed = false;
        manager.runImport({file});
        EXPECT_TRUE(kqWaitUntil([this] { return recorder->completed; }));
        return recorder->received;
    }

    KQImportExportMgr manager;
    std::shared_ptr<RecordingDelegate> recorder = std::make_shared<RecordingDelegate>();
    QTemporaryDir dir;
};

QStringList phones(const CNContact& c)
{
    QStringList out;
    for (const auto& v : c.phoneNumbers())
        out.append(v.value().stringValue());
    return out;
}

QStringList mails(const CNContact& c)
{
    QStringList out;
    for (const auto& v : c.emailAddresses())
        out.append(v.value());
    return out;
}

struct CsvFlavour
{
    const char* name;
    qint32 type;
};

void PrintTo(const CsvFlavour& f, std::ostream* os)
{
    *os << f.name;
}

class CsvRoundTrip : public ImportExport, public ::testing::WithParamInterface<CsvFlavour>
{
};

TEST_P(CsvRoundTrip, ThousandContactsKeepNamesPhonesAndMails)
{
    const KQContactHelperList originals = generatedRecords(1000);
    KQContactFormat format(GetParam().type);
    format.setContactFields(KQContactFormat::AllFields);
    format.setSplitContactName(true);
    const QString file = path(QStringLiteral("out.csv"));
    ASSERT_TRUE(manager.runExport(originals, file, format)) << manager.lastJobErrors().join(u'\n').toStdString();
    const KQContactHelperList back = importFile(file);
    ASSERT_EQ(back.size(), originals.size());
    for (size_t i = 0; i < back.size(); ++i) {
        const CNContact& a = *originals[i]->contact();
        const CNContact& b = *back[i]->contact();
        ASSERT_EQ(b.givenName(), a.givenName()) << i;
        ASSERT_EQ(b.middleName(), a.middleName()) << i;
        ASSERT_EQ(b.familyName(), a.familyName()) << i;
        ASSERT_EQ(b.namePrefix(), a.namePrefix()) << i;
        ASSERT_EQ(phones(b), phones(a)) << i;
        ASSERT_EQ(mails(b), mails(a)) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Flavours, CsvRoundTrip,
                         ::testing::Values(CsvFlavour{"CsvSplitNames", KQContactFormat::CSV},
                                           CsvFlavour{"CsvOutlook", KQContactFormat::CSVOutlook}),
                         [](const ::testing::TestParamInfo<CsvFlavour>& p) { return std::string(p.param.name); });

// b's content under a's identity: identifiers (store, card, entries) and pictures (re-encoded)
// are not content.
CNContactData comparable(const CNContactData& a, const CNContactData& b)
{
    CNContactData d = b;
    d.identifier = a.identifier;
    d.cardUID = a.cardUID;
    d.imageData = a.imageData;
    d.thumbnailImageData = a.thumbnailImageData;
    const auto adopt = [](auto& mine, const auto& theirs) {
        for (size_t i = 0; i < mine.size() && i < theirs.size(); ++i)
            mine[i] = theirs[i].labeledValueBySettingLabelValue(mine[i].label(), mine[i].value());
    };
    adopt(d.phoneNumbers, a.phoneNumbers);
    adopt(d.emailAddresses, a.emailAddresses);
    adopt(d.postalAddresses, a.postalAddresses);
    adopt(d.editRare().dates, a.rare().dates);
    adopt(d.editRare().urlAddresses, a.rare().urlAddresses);
    adopt(d.editRare().contactRelations, a.rare().contactRelations);
    adopt(d.editRare().socialProfiles, a.rare().socialProfiles);
    adopt(d.editRare().instantMessageAddresses, a.rare().instantMessageAddresses);
    return d;
}

TEST_F(ImportExport, VCardRoundTripKeepsWholeRecordsNotesPhotosAndIdentity)
{
    const KQContactHelperList originals = generatedRecords(1000);
    const QString file = path(QStringLiteral("out.vcf"));
    ASSERT_TRUE(manager.runExport(originals, file, KQContactFormat(KQContactFormat::VCard)));
    const KQContactHelperList back = importFile(file);
    ASSERT_EQ(back.size(), originals.size());
    for (size_t i = 0; i < back.size(); ++i) {
        const CNContact& a = *originals[i]->contact();
        const CNContact& b = *back[i]->contact();
        const CNContactData read = comparable(a.data(), b.data());
        // (the reader's own round-trip test names the fields that differ)
        ASSERT_TRUE(read == a.data()) << "contact " << i << " differs";
        EXPECT_EQ(b.cardUID(), a.identifier()); // the card names the store contact it came from
        if (!a.imageData().isEmpty()) {
            EXPECT_EQ(QImage::fromData(b.imageData()).size(), QImage::fromData(a.imageData()).size()) << i;
            EXPECT_EQ(QImage::fromData(b.imageData()).isNull(), false);
        }
    }
    // Exported again, a card keeps the UID it was read with.
    const QString again = path(QStringLiteral("again.vcf"));
    ASSERT_TRUE(manager.runExport({back.front()}, again, KQContactFormat(KQContactFormat::VCard)));
    EXPECT_TRUE(readFile(again).contains((QStringLiteral("UID:") + originals.front()->identifier()).toUtf8()));
}

// An independent reader (unfolding and unescaping in Python) sees one NOTE per card with the
// whole multi-line note, and a JPEG photo.
TEST_F(ImportExport, VCardNoteIsEscapedFoldedAndReadableByPython)
{
    auto c = generatedContact(0);
    c->setNote(QString(300, QLatin1Char('x')) + QStringLiteral(",;\nzweite Zeile ü"));
    const QString file = path(QStringLiteral("note.vcf"));
    ASSERT_TRUE(manager.runExport({KQContactHelper::create(c, true)}, file, KQContactFormat(KQContactFormat::VCard)));
    const auto out = KQRunPythonOnData(
        QStringLiteral("import sys,re,base64\n"
                       "t=open(sys.argv[1],'rb').read().decode('utf-8')\n"
                       "t=re.sub(r'\\r?\\n[ \\t]','',t)\n"
                       "lines=[l for l in re.split(r'\\r?\\n',t) if l]\n"
                       "note=[l for l in lines if l.startswith('NOTE:')]\n"
                       "v=note[0][5:].replace('\\\\n','\\n').replace('\\\\,',',').replace('\\\\;',';')\n"
                       "photo=[l for l in lines if l.startswith('PHOTO')][0].split(':',1)[1]\n"
                       "print(len(note), len(v), v.splitlines()[1], base64.b64decode(photo)[:2].hex())\n"),
        readFile(file));
    if (!out)
        GTEST_SKIP() << "python3 is not installed";
    EXPECT_EQ(*out, QString::fromUtf8("1 317 zweite Zeile ü ffd8"));
    for (const QByteArray& line : readFile(file).split('\n')) {
        if (!line.startsWith("PHOTO")) {
            EXPECT_LE(line.size(), 76) << line.constData();
        }
    }
}

TEST_F(ImportExport, TextWriterLinesAndCancelKeepsRecordsSoFar)
{
    auto c = std::make_shared<CNMutableContact>();
    c->setGivenName(QStringLiteral("Ada"));
    c->setPhoneNumbers(
        {{CNLabelHome, CNPhoneNumber(QStringLiteral("1"))}, {CNLabelWork, CNPhoneNumber(QStringLiteral("2"))}});
    KQContactHelperList five;
    for (int i = 0; i < 5; ++i)
        five.push_back(KQContactHelper::create(c->mutableCopy(), true));
    const QString file = path(QStringLiteral("out.txt"));
    int calls = 0;
    ASSERT_TRUE(KQContactTextSerialization::exportContacts(
        five, {KQPropertyKeyName, CNContactPhoneNumbersKey, CNContactJobTitleKey, KQPropertyKeyTags}, file,
        [&calls](double, bool* stop) { *stop = ++calls == 2; }));
    const QString record = QStringLiteral("Name:'Ada'\r\nhome:'1'\r\nJob title:''\r\ntag:''");
    EXPECT_EQ(QString::fromUtf8(readFile(file)), record + QStringLiteral("\r\n\r\n\r\n") + record);
}

TEST_F(ImportExport, CancelledTabularExportWritesNothingAndVCardKeepsCardsSoFar)
{
    const KQContactHelperList records = generatedRecords(5, false);
    recorder->cancelAt = 10; // the first report after the first contact
    const QString csv = path(QStringLiteral("c.csv"));
    EXPECT_FALSE(manager.runExport(records, csv, KQContactFormat(KQContactFormat::CSV)));
    EXPECT_FALSE(QFile::exists(csv));
    EXPECT_TRUE(manager.lastJobCancelled());

    recorder->cancelAt = 0;
    const QString vcf = path(QStringLiteral("c.vcf"));
    EXPECT_TRUE(manager.runExport(records, vcf, KQContactFormat(KQContactFormat::VCard)));
    EXPECT_EQ(readFile(vcf).count("BEGIN:VCARD"), 1);
}

TEST_F(ImportExport, ImportOfSeveralFilesSkipsUnsupportedAndReportsUnreadable)
{
    ASSERT_TRUE(writeFile(path(QStringLiteral("a.csv")), "First Name\nAda\nGrace\n"));
    ASSERT_TRUE(writeFile(path(QStringLiteral("b.txt")), "nothing"));
    recorder->completed = false;
    manager.runImport({path(QStringLiteral("a.csv")), path(QStringLiteral("b.txt")), path(QStringLiteral("gone.vcf"))});
    ASSERT_TRUE(kqWaitUntil([this] { return recorder->completed; }));
    EXPECT_EQ(recorder->received.size(), 2u);
    EXPECT_EQ(recorder->titles, QStringList{QStringLiteral("First Name")});
    EXPECT_EQ(manager.lastJobErrors().size(), 2);
    EXPECT_EQ(recorder->progress.back(), 100.0);
}

class Placement : public ImportExport
{
protected:
    void SetUp() override
    {
        ImportExport::SetUp();
        store = KQContactStoreHelper::shared();
        CNContactStore* s = store->contactStore();
        const QString local = s->defaultContainerIdentifier();
        for (const CNContainer& c : s->containersMatchingPredicate(std::nullopt))
            if (c.identifier() == local)
                account = std::make_shared<KQContainerHelper>(c);
        ASSERT_TRUE(account);
        group = CNGroup(CNMakeIdentifier(), QStringLiteral("Imported"));
        CNSaveRequest request;
        request.addGroup(group, local);
        ASSERT_TRUE(s->executeSaveRequest(request));
        ASSERT_TRUE(
            writeFile(path(QStringLiteral("in.vcf")),
                      CNContactVCardSerialization::dataWithContacts(
                          {generatedContact(1, false), generatedContact(2, false), generatedContact(3, false)})));
    }

    int countIn(const CNContactPredicate& predicate) const
    {
        return static_cast<int>(
            store->contactStore()->unifiedContactsMatchingPredicate(predicate, {CNContactGivenNameKey}).size());
    }

    // Runs an import with placement and waits for its end; answers whether it succeeded.
    bool place(const std::shared_ptr<KQImportPlacement>& placement)
    {
        bool done = false;
        bool result = false;
        placement->setFinished([&](bool ok, const QString&, int) {
            done = true;
            result = ok;
        });
        manager.setDelegate(placement);
        manager.runImport({path(QStringLiteral("in.vcf"))});
        EXPECT_TRUE(kqWaitUntil([&done] { return done; }, 10000));
        return result;
    }

    KQContactStoreHelper* store = nullptr;
    KQContainerHelperPtr account;
    CNGroup group;
};

TEST_F(Placement, AccountAndGroupReceiveEveryContactInOneRequest)
{
    const int before =
        countIn(CNContactPredicate::predicateForContactsInContainerWithIdentifier(account->identifier()));
    auto node = std::make_shared<KQGroupHelper>(group);
    ASSERT_TRUE(place(std::make_shared<KQImportPlacement>(account, node, store)));
    EXPECT_EQ(countIn(CNContactPredicate::predicateForContactsInContainerWithIdentifier(account->identifier())),
              before + 3);
    EXPECT_EQ(countIn(CNContactPredicate::predicateForContactsInGroupWithIdentifier(group.identifier())), 3);
}

TEST_F(Placement, RefusedOrCancelledImportAddsNothing)
{
    const int before =
        countIn(CNContactPredicate::predicateForContactsInContainerWithIdentifier(account->identifier()));
    // A group the store does not know makes the one request fail as a whole.
    auto missing = std::make_shared<KQGroupHelper>(CNGroup(CNMakeIdentifier(), QStringLiteral("Gone")));
    EXPECT_FALSE(place(std::make_shared<KQImportPlacement>(account, missing, store)));
    auto cancelling = std::make_shared<KQImportPlacement>(account, nullptr, store);
    cancelling->setProgress([](double percent, const QString&) { return percent > 30; });
    EXPECT_FALSE(place(cancelling));
    EXPECT_EQ(countIn(CNContactPredicate::predicateForContactsInContainerWithIdentifier(account->identifier())),
              before);
}

TEST_F(Placement, LastImportGrowsAndIsSavedUnlessCancelled)
{
    QTemporaryDir folder;
    KQStorage storage(folder.path());
    auto latest = std::make_shared<KQContainerLatestImport>();
    ASSERT_TRUE(place(std::make_shared<KQImportPlacement>(latest, &storage)));
    ASSERT_TRUE(place(std::make_shared<KQImportPlacement>(latest, &storage)));
    EXPECT_EQ(latest->countOfContacts(), 6);
    EXPECT_FALSE(latest->needSaveLatestImport());
    EXPECT_EQ(storage.loadDefaultContainerLatestImport()->countOfContacts(), 6);

    auto cancelling = std::make_shared<KQImportPlacement>(latest, &storage);
    cancelling->setProgress([](double, const QString&) { return true; });
    EXPECT_FALSE(place(cancelling));
    EXPECT_EQ(latest->countOfContacts(), 6);
    EXPECT_EQ(storage.loadDefaultContainerLatestImport()->countOfContacts(), 6);
}

} // namespace
