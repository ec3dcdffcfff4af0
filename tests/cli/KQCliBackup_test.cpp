// peoplekeeper-cli backup, backups and restore, run as the built program over a store of its own.

#include "KQCliTestSupport.h"
#include "platform/CNContactStore.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class CliBackupTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(home.isValid());
        ASSERT_TRUE(QDir().mkpath(folder()));
        CNContactStore store(storePath());
        CNGroup group(CNMakeIdentifier(), QStringLiteral("Friends"));
        CNSaveRequest request;
        request.addGroup(group, store.defaultContainerIdentifier());
        for (const char* name : {"Alice", "Bob", "Carol"}) {
            CNMutableContact contact;
            contact.setGivenName(QString::fromLatin1(name));
            request.addContact(contact, store.defaultContainerIdentifier());
            request.addMember(contact, group);
        }
        ASSERT_TRUE(store.executeSaveRequest(request));
    }

    QString storePath() const { return home.filePath(QStringLiteral("data/contacts/store.sqlite")); }
    QString folder() const { return home.filePath(QStringLiteral("backups")); }

    QStringList names() const
    {
        CNContactStore store(storePath());
        QStringList list;
        CNContactFetchRequest request({CNContactGivenNameKey});
        store.enumerateContactsWithFetchRequest(request, nullptr,
                                                [&list](const CNContactPtr& c, bool*) { list.append(c->givenName()); });
        list.sort();
        return list;
    }

    KQCliRun cli(const QStringList& arguments, const QByteArray& input = {}) const
    {
        return kqRunCli(home, arguments, input, 60000);
    }

    QTemporaryDir home;
};

TEST_F(CliBackupTest, BacksUpListsAndRestoresWithConfirmation)
{
    const KQCliRun noFolder = cli({QStringLiteral("backup")});
    EXPECT_NE(noFolder.status, 0);
    EXPECT_TRUE(noFolder.err.contains(QLatin1String("--folder"))) << noFolder.err.toStdString();

    const KQCliRun backup = cli({QStringLiteral("backup"), QStringLiteral("--folder"), folder()});
    ASSERT_EQ(backup.status, 0) << backup.err.toStdString();
    EXPECT_TRUE(backup.out.contains(QLatin1String("backed up 3 contacts"))) << backup.out.toStdString();
    const QStringList files = QDir(folder()).entryList({QStringLiteral("*.vorlankqbck")});
    ASSERT_EQ(files.size(), 1);

    const KQCliRun list = cli({QStringLiteral("backups")});
    ASSERT_EQ(list.status, 0) << list.err.toStdString();
    EXPECT_TRUE(list.out.contains(QLatin1String("3 contacts"))) << list.out.toStdString();
    EXPECT_TRUE(list.out.contains(files.first())) << list.out.toStdString();

    {
        CNContactStore store(storePath());
        CNSaveRequest request;
        CNContactFetchRequest all({CNContactGivenNameKey});
        store.enumerateContactsWithFetchRequest(all, nullptr, [&request](const CNContactPtr& c, bool*) {
            if (c->givenName() == QLatin1String("Bob"))
                request.deleteContact(*c);
        });
        ASSERT_TRUE(store.executeSaveRequest(request));
    }

    const KQCliRun refused = cli({QStringLiteral("restore"), files.first()}, "n\n");
    EXPECT_EQ(refused.status, 1);
    EXPECT_TRUE(refused.err.contains(QLatin1String("add 1 contacts, update 2 and delete 0")))
        << refused.err.toStdString();
    EXPECT_TRUE(refused.err.contains(QLatin1String("cancelled"))) << refused.err.toStdString();
    EXPECT_EQ(names(), (QStringList{QStringLiteral("Alice"), QStringLiteral("Carol")}));

    const KQCliRun restored = cli({QStringLiteral("restore"), QStringLiteral("--yes"), files.first()});
    ASSERT_EQ(restored.status, 0) << restored.err.toStdString();
    EXPECT_EQ(names(), (QStringList{QStringLiteral("Alice"), QStringLiteral("Bob"), QStringLiteral("Carol")}));
    // The account as it stood was kept first.
    EXPECT_EQ(cli({QStringLiteral("backups")}).out.count(QLatin1String("contacts")), 2);
}

TEST_F(CliBackupTest, BadBackupsFailWithAClearMessage)
{
    const QString garbage = home.filePath(QStringLiteral("garbage.vorlankqbck"));
    QFile file(garbage);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(100, 'x'));
    file.close();
    const KQCliRun bad = cli({QStringLiteral("restore"), QStringLiteral("--yes"), garbage});
    EXPECT_NE(bad.status, 0);
    EXPECT_TRUE(bad.err.contains(QLatin1String("is not a backup file"))) << bad.err.toStdString();
    EXPECT_TRUE(bad.err.contains(QLatin1String("nothing was changed"))) << bad.err.toStdString();

    const KQCliRun missing = cli({QStringLiteral("restore"), QStringLiteral("nosuch")});
    EXPECT_NE(missing.status, 0);
    EXPECT_TRUE(missing.err.contains(QLatin1String("no backup"))) << missing.err.toStdString();
    EXPECT_EQ(names().size(), 3);
}

} // namespace
