// A save whose n-th write or sync fails, for every n the save makes: the save reports the failure
// and the store keeps exactly what it held before.
#include "platform/CNContactKeys.h"
#include "platform/CNMutableContact.h"
#include "platform/CNSQLiteContactStore.h"
#include "platform/CNSaveRequest.h"

#include <QFile>
#include <QTemporaryDir>
#include <atomic>
#include <gtest/gtest.h>
#include <sqlite3.h>

namespace {

// A file-system layer over SQLite's own that fails one chosen write or sync call.
namespace shim {

sqlite3_vfs* base = nullptr;
sqlite3_vfs vfs;
std::atomic<int> calls{0};
std::atomic<int> failAt{0}; // 0: nothing fails
std::atomic<bool> failed{false};

struct File
{
    sqlite3_file base;
    sqlite3_file* real;
};

sqlite3_file* real(sqlite3_file* file)
{
    return reinterpret_cast<File*>(file)->real;
}

bool failHere()
{
    if (failAt.load() == 0)
        return false;
    if (++calls != failAt.load())
        return false;
    failed = true;
    return true;
}

int xClose(sqlite3_file* f)
{
    return real(f)->pMethods->xClose(real(f));
}
int xRead(sqlite3_file* f, void* p, int n, sqlite3_int64 o)
{
    return real(f)->pMethods->xRead(real(f), p, n, o);
}
int xWrite(sqlite3_file* f, const void* p, int n, sqlite3_int64 o)
{
    return failHere() ? SQLITE_IOERR_WRITE : real(f)->pMethods->xWrite(real(f), p, n, o);
}
int xTruncate(sqlite3_file* f, sqlite3_int64 size)
{
    return real(f)->pMethods->xTruncate(real(f), size);
}
int xSync(sqlite3_file* f, int flags)
{
    return failHere() ? SQLITE_IOERR_FSYNC : real(f)->pMethods->xSync(real(f), flags);
}
int xFileSize(sqlite3_file* f, sqlite3_int64* size)
{
    return real(f)->pMethods->xFileSize(real(f), size);
}
int xLock(sqlite3_file* f, int level)
{
    return real(f)->pMethods->xLock(real(f), level);
}
int xUnlock(sqlite3_file* f, int level)
{
    return real(f)->pMethods->xUnlock(real(f), level);
}
int xCheckReservedLock(sqlite3_file* f, int* out)
{
    return real(f)->pMethods->xCheckReservedLock(real(f), out);
}
int xFileControl(sqlite3_file* f, int op, void* arg)
{
    return real(f)->pMethods->xFileControl(real(f), op, arg);
}
int xSectorSize(sqlite3_file* f)
{
    return real(f)->pMethods->xSectorSize(real(f));
}
int xDeviceCharacteristics(sqlite3_file* f)
{
    return real(f)->pMethods->xDeviceCharacteristics(real(f));
}
int xShmMap(sqlite3_file* f, int region, int size, int extend, void volatile** out)
{
    return real(f)->pMethods->xShmMap(real(f), region, size, extend, out);
}
int xShmLock(sqlite3_file* f, int offset, int n, int flags)
{
    return real(f)->pMethods->xShmLock(real(f), offset, n, flags);
}
void xShmBarrier(sqlite3_file* f)
{
    real(f)->pMethods->xShmBarrier(real(f));
}
int xShmUnmap(sqlite3_file* f, int deleteFlag)
{
    return real(f)->pMethods->xShmUnmap(real(f), deleteFlag);
}

const sqlite3_io_methods methods = {
    2,
    xClose,
    xRead,
    xWrite,
    xTruncate,
    xSync,
    xFileSize,
    xLock,
    xUnlock,
    xCheckReservedLock,
    xFileControl,
    xSectorSize,
    xDeviceCharacteristics,
    xShmMap,
    xShmLock,
    xShmBarrier,
    xShmUnmap,
    nullptr,
    nullptr,
};

int xOpen(sqlite3_vfs*, const char* name, sqlite3_file* file, int flags, int* outFlags)
{
    auto* wrapped = reinterpret_cast<File*>(file);
    wrapped->real = reinterpret_cast<sqlite3_file*>(wrapped + 1);
    const int rc = base->xOpen(base, name, wrapped->real, flags, outFlags);
    wrapped->base.pMethods = rc == SQLITE_OK && wrapped->real->pMethods ? &methods : nullptr;
    return rc;
}

// Makes the layer the default for every connection opened while it lives.
struct Installed
{
    Installed()
    {
        base = sqlite3_vfs_find(nullptr);
        vfs = *base;
        vfs.zName = "kq-fault-injection";
        vfs.szOsFile = static_cast<int>(sizeof(File)) + base->szOsFile;
        vfs.xOpen = xOpen;
        vfs.pNext = nullptr;
        sqlite3_vfs_register(&vfs, 1);
    }
    ~Installed()
    {
        sqlite3_vfs_unregister(&vfs);
        sqlite3_vfs_register(base, 1);
    }
};

void arm(int n)
{
    calls = 0;
    failed = false;
    failAt = n;
}

} // namespace shim

QStringList givenNames(CNSQLiteContactStore& store)
{
    QStringList names;
    CNError error;
    store.enumerateContacts(std::nullopt, CNKeySetFromKeys({CNContactGivenNameKey}), &error,
                            [&names](const CNContactPtr& contact, bool*) { names.append(contact->givenName()); });
    names.sort();
    return names;
}

CNSaveRequest addAndChange(CNSQLiteContactStore& store, const QString& added)
{
    CNSaveRequest request;
    auto contact = std::make_shared<CNMutableContact>();
    contact->setGivenName(added);
    contact->setNote(QString(3000, QLatin1Char('n'))); // more than one page
    request.addContact(*contact, store.defaultContainerIdentifier());
    return request;
}

} // namespace

TEST(CNSQLiteFaultInjection, EachFailedWriteOrSyncOfASaveLeavesTheStoreAsItWas)
{
    const shim::Installed installed;
    int failuresTried = 0;
    bool completedWithoutFailure = false;
    for (int n = 1; n <= 200 && !completedWithoutFailure; ++n) {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("contacts.db"));
        QStringList before;
        {
            CNSQLiteContactStore store(path, {});
            ASSERT_TRUE(store.isOpen());
            for (const QString& name : {QStringLiteral("Ann"), QStringLiteral("Bob")})
                ASSERT_TRUE(store.executeSaveRequest(addAndChange(store, name), nullptr));
            before = givenNames(store);

            shim::arm(n);
            CNError error;
            const bool saved = store.executeSaveRequest(addAndChange(store, QStringLiteral("New")), &error);
            const bool injected = shim::failed;
            shim::arm(0);
            if (!injected) {
                // The save made fewer than n writes and syncs: every one has been failed in turn.
                EXPECT_TRUE(saved) << error.localizedDescription.toStdString();
                completedWithoutFailure = true;
                continue;
            }
            ++failuresTried;
            EXPECT_FALSE(saved) << "call " << n;
            EXPECT_TRUE(error.isError()) << "call " << n;
            EXPECT_EQ(givenNames(store), before) << "call " << n;
        }
        // A new run finds the store whole and as it was, and can save again.
        CNSQLiteContactStore reopened(path, {});
        ASSERT_TRUE(reopened.isOpen()) << "call " << n;
        EXPECT_EQ(givenNames(reopened), before) << "call " << n;
        EXPECT_TRUE(reopened.executeSaveRequest(addAndChange(reopened, QStringLiteral("Again")), nullptr));
    }
    EXPECT_TRUE(completedWithoutFailure);
    EXPECT_GT(failuresTried, 0);
}
