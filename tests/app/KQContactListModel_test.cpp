// The contact list's model while a large node loads: preview rows appended a slice at a time, then
// the records, which take the rows' places when they come in the same order.
#include "KQAppTestSupport.h"
#include "app/windows/KQContactListModel.h"
#include "store/KQContactPasteDataStore.h"

#include <QAbstractItemModelTester>
#include <QMimeData>
#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

KQContactHelperPtr named(const QString& given)
{
    auto contact = std::make_shared<CNMutableContact>();
    contact->setGivenName(given);
    contact->setContactType(CNContactType::Person);
    return KQContactHelper::create(contact, true);
}

std::vector<KQContactListRow> rowsOf(const KQContactHelperList& records, size_t from, size_t to)
{
    std::vector<KQContactListRow> rows;
    for (size_t at = from; at < to; ++at)
        rows.push_back(KQContactListFilter::listRow(*records[at]->contact(), static_cast<int>(at), false));
    return rows;
}

class ContactListModelTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (const char* name : {"Ada", "Alan", "Grace", "Edsger", "Barbara"})
            records.push_back(named(QString::fromUtf8(name)));
        tester =
            std::make_unique<QAbstractItemModelTester>(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    }

    QStringList shown() const
    {
        QStringList out;
        for (int row = 0; row < model.rowCount(); ++row)
            out << model.index(row).data().toString();
        return out;
    }

    KQContactListModel model;
    std::unique_ptr<QAbstractItemModelTester> tester;
    KQContactHelperList records;
};

} // namespace

TEST_F(ContactListModelTest, PreviewRowsShowTheirNamesButCanBeNeitherSelectedNorDragged)
{
    model.beginPreview();
    model.appendPreviewRows(rowsOf(records, 0, 2));
    model.appendPreviewRows(rowsOf(records, 2, 5));
    EXPECT_TRUE(model.isPreview());
    EXPECT_EQ(shown(), (QStringList{QStringLiteral("Ada"), QStringLiteral("Alan"), QStringLiteral("Grace"),
                                    QStringLiteral("Edsger"), QStringLiteral("Barbara")}));
    EXPECT_TRUE(model.contactHelpers().empty());
    EXPECT_EQ(model.contactAt(0), nullptr);
    EXPECT_EQ(model.index(1).data(KQContactListModel::IdentifierRole).toString(), records[1]->identifier());
    const Qt::ItemFlags flags = model.flags(model.index(0));
    EXPECT_TRUE(flags & Qt::ItemIsEnabled);
    EXPECT_FALSE(flags & Qt::ItemIsSelectable);
    EXPECT_FALSE(flags & Qt::ItemIsDragEnabled);
    std::unique_ptr<QMimeData> dragged(model.mimeData({model.index(0)}));
    EXPECT_TRUE(dragged->data(KQContactPasteboardType).isEmpty());
}

TEST_F(ContactListModelTest, RecordsInThePreviewsOrderTakeTheRowsPlacesWithoutAReset)
{
    model.beginPreview();
    model.appendPreviewRows(rowsOf(records, 0, 5));
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    QSignalSpy changes(&model, &QAbstractItemModel::dataChanged);
    model.setContactHelpers(records);
    EXPECT_EQ(resets.count(), 0);
    EXPECT_EQ(changes.count(), 1);
    EXPECT_FALSE(model.isPreview());
    EXPECT_EQ(model.contactAt(3), records[3]);
    EXPECT_TRUE(model.flags(model.index(0)) & Qt::ItemIsSelectable);
}

TEST_F(ContactListModelTest, RecordsThatDifferFromThePreviewReplaceIt)
{
    model.beginPreview();
    model.appendPreviewRows(rowsOf(records, 0, 5));
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    // Another order, and a partial preview: both replace the rows as a whole.
    model.setContactHelpers({records[1], records[0], records[2], records[3], records[4]});
    EXPECT_EQ(resets.count(), 1);
    EXPECT_EQ(shown().first(), QStringLiteral("Alan"));
    model.beginPreview();
    model.appendPreviewRows(rowsOf(records, 0, 2));
    model.setContactHelpers(records);
    EXPECT_EQ(resets.count(), 3);
    EXPECT_EQ(model.rowCount(), 5);
    // Rows arriving after the records are dropped.
    model.appendPreviewRows(rowsOf(records, 2, 5));
    EXPECT_EQ(model.rowCount(), 5);
    EXPECT_EQ(model.contactAt(4), records[4]);
}

TEST_F(ContactListModelTest, AnUnchangedListIsNotResetSoTheSelectionStays)
{
    model.setContactHelpers(records);
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    model.setContactHelpers(records);
    EXPECT_EQ(resets.count(), 0);
    model.setContactHelpers({records[0]});
    EXPECT_EQ(resets.count(), 1);
}
