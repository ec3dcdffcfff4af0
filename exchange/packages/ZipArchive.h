#pragma once
// Zip archives over minizip: extraction of the export templates (and of any archive the program
// opens), and writing of the package formats.
//
// Extraction contract:
// - An entry is never written outside the destination folder: names holding a ".." component,
//   absolute names, names starting with a drive letter and symbolic-link entries are refused, each
//   with a log line and an ErrorMessage to the delegate.
// - An entry whose data inflates past maxEntrySize() (counted while inflating, whatever the
//   entry's header claims), or an archive whose entries together inflate past maxTotalSize(), is
//   refused; a file whose data fails its CRC check is refused too. A refused file leaves nothing
//   behind: each file is written next to its target and renamed into place only when complete.
// - UnzipFileTo() answers false when anything was refused or failed; the other entries are still
//   extracted.
//
// Writing contract: CreateZipFile2() opens a new archive, addFileToZip() / addDeflatedEntry() /
// addFolderEntry() add entries (deflated, no extra attributes), CloseZipFile2() finishes it. The
// archive is only valid after CloseZipFile2() answered true.

#include "exchange/packages/KQDeflatedData.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <memory>

class ZipArchiveDelegate
{
public:
    virtual ~ZipArchiveDelegate() = default;
    virtual void ErrorMessage(const QString& message) { Q_UNUSED(message); }
    // Whether the existing file at path may be replaced.
    virtual bool OverWriteOperation(const QString& path)
    {
        Q_UNUSED(path);
        return true;
    }
};

class ZipArchive
{
public:
    static constexpr qint64 kDefaultMaxEntrySize = qint64(256) << 20;
    static constexpr qint64 kDefaultMaxTotalSize = qint64(1) << 30;

    ZipArchive();
    ~ZipArchive();
    ZipArchive(const ZipArchive&) = delete;
    ZipArchive& operator=(const ZipArchive&) = delete;

    void setDelegate(const std::shared_ptr<ZipArchiveDelegate>& delegate) { m_delegate = delegate; }
    void setLimits(qint64 maxEntrySize, qint64 maxTotalSize);
    qint64 maxEntrySize() const { return m_maxEntrySize; }
    qint64 maxTotalSize() const { return m_maxTotalSize; }

    // --- reading. path may name a Qt resource (":/...").
    bool UnzipOpenFile(const QString& path);
    bool UnzipOpenFile(const QString& path, const QString& password);
    bool UnzipFileTo(const QString& folder, bool overWrite);
    bool UnzipCloseFile();
    // Names of the entries the last extraction refused, with why ("name: reason").
    const QStringList& refusedEntries() const { return m_refused; }

    // The entry name as a relative path inside a folder ("/"-separated), or an empty text when
    // the name would land outside it (reason says why).
    static QString safeEntryPath(const QString& name, QString* reason = nullptr);

    // --- writing
    bool CreateZipFile2(const QString& path);
    bool CreateZipFile2(const QString& path, const QString& password);
    bool addFileToZip(const QString& file, const QString& newname);
    bool addDeflatedEntry(const QString& name, const KQDeflatedData& data, const QDateTime& date);
    bool addFolderEntry(const QString& name, const QDateTime& date);
    bool CloseZipFile2();

    // Raw deflate of data at level (zlib's 0..9), with its CRC-32.
    static KQDeflatedData deflateData(QByteArrayView data, int level);

    // 1 January 1980, the earliest date a zip entry can carry.
    static QDateTime Date1980();

private:
    void report(const QString& message);
    void refuse(const QString& name, const QString& reason);
    bool extractCurrentEntry(const QString& folder, bool overWrite, qint64* total);

    void* m_zipFile = nullptr; // zipFile being written
    void* m_unzFile = nullptr; // unzFile being read
    QString m_password;
    std::shared_ptr<ZipArchiveDelegate> m_delegate;
    QString m_resourceCopy; // a resource archive copied to a real file for minizip
    qint64 m_maxEntrySize = kDefaultMaxEntrySize;
    qint64 m_maxTotalSize = kDefaultMaxTotalSize;
    QStringList m_refused;
};
