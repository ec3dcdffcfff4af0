#include "exchange/packages/ZipArchive.h"

#include "platform/KQLog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTemporaryFile>
#include <QTimeZone>
#include <algorithm>
#include <unzip.h>
#include <zip.h>
#include <zlib.h>

namespace {

constexpr uLong kHostUnix = 3;
constexpr uLong kTypeMask = 0170000;
constexpr uLong kTypeLink = 0120000;

unzFile unz(void* file)
{
    return static_cast<unzFile>(file);
}

zipFile zf(void* file)
{
    return static_cast<zipFile>(file);
}

QDateTime entryDate(const tm_unz& date)
{
    const QDate day(static_cast<int>(date.tm_year), static_cast<int>(date.tm_mon) + 1, static_cast<int>(date.tm_mday));
    const QTime time(static_cast<int>(date.tm_hour), static_cast<int>(date.tm_min), static_cast<int>(date.tm_sec));
    return QDateTime(day, time);
}

zip_fileinfo zipInfo(const QDateTime& when, uLong externalAttributes = 0)
{
    zip_fileinfo info{};
    const QDateTime date = when.isValid() && when >= ZipArchive::Date1980() ? when : ZipArchive::Date1980();
    info.tmz_date.tm_sec = static_cast<uInt>(date.time().second());
    info.tmz_date.tm_min = static_cast<uInt>(date.time().minute());
    info.tmz_date.tm_hour = static_cast<uInt>(date.time().hour());
    info.tmz_date.tm_mday = static_cast<uInt>(date.date().day());
    info.tmz_date.tm_mon = static_cast<uInt>(date.date().month() - 1);
    info.tmz_date.tm_year = static_cast<uInt>(date.date().year());
    info.external_fa = externalAttributes;
    return info;
}

} // namespace

ZipArchive::ZipArchive() = default;

ZipArchive::~ZipArchive()
{
    UnzipCloseFile();
    if (m_zipFile)
        zipClose(zf(m_zipFile), nullptr);
}

void ZipArchive::setLimits(qint64 maxEntrySize, qint64 maxTotalSize)
{
    m_maxEntrySize = maxEntrySize;
    m_maxTotalSize = maxTotalSize;
}

QDateTime ZipArchive::Date1980()
{
    return QDateTime(QDate(1980, 1, 1), QTime(0, 0));
}

void ZipArchive::report(const QString& message)
{
    if (m_delegate)
        m_delegate->ErrorMessage(message);
}

void ZipArchive::refuse(const QString& name, const QString& reason)
{
    KQLog(QStringLiteral("Warning: zip entry \"%1\" refused: %2").arg(name, reason));
    m_refused.append(name + QStringLiteral(": ") + reason);
    report(QStringLiteral("Refused %1: %2").arg(name, reason));
}

QString ZipArchive::safeEntryPath(const QString& name, QString* reason)
{
    const auto fail = [reason](const QString& why) {
        if (reason)
            *reason = why;
        return QString();
    };
    if (name.isEmpty())
        return fail(QStringLiteral("empty name"));
    if (name.contains(QChar(0)))
        return fail(QStringLiteral("NUL in the name"));
    QString path = name;
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (path.startsWith(QLatin1Char('/')))
        return fail(QStringLiteral("absolute path"));
    static const QRegularExpression drive(QStringLiteral("^[A-Za-z]:"));
    if (drive.match(path).hasMatch())
        return fail(QStringLiteral("drive letter"));
    QStringList parts;
    for (const QString& part : path.split(QLatin1Char('/'))) {
        if (part == QLatin1String(".."))
            return fail(QStringLiteral("\"..\" in the path"));
        if (part.isEmpty() || part == QLatin1String("."))
            continue;
        parts.append(part);
    }
    if (parts.isEmpty())
        return fail(QStringLiteral("no file name"));
    QString clean = parts.join(QLatin1Char('/'));
    if (path.endsWith(QLatin1Char('/')))
        clean += QLatin1Char('/');
    return clean;
}

bool ZipArchive::UnzipOpenFile(const QString& path)
{
    UnzipCloseFile();
    QString real = path;
    if (path.startsWith(QLatin1Char(':'))) {
        // minizip reads real files only: a resource archive is copied out first.
        QFile resource(path);
        if (!resource.open(QIODevice::ReadOnly))
            return false;
        QTemporaryFile copy(QDir::temp().filePath(QStringLiteral("kq-archive-XXXXXX.zip")));
        copy.setAutoRemove(false);
        const QByteArray bytes = resource.readAll();
        if (!copy.open() || copy.write(bytes) != bytes.size() || !copy.flush()) {
            copy.remove();
            return false;
        }
        m_resourceCopy = copy.fileName();
        real = m_resourceCopy;
    }
    m_unzFile = unzOpen64(QFile::encodeName(real).constData());
    if (!m_unzFile) {
        if (!m_resourceCopy.isEmpty()) {
            QFile::remove(m_resourceCopy);
            m_resourceCopy.clear();
        }
        return false;
    }
    unz_global_info64 info{};
    unzGetGlobalInfo64(unz(m_unzFile), &info);
    return true;
}

bool ZipArchive::UnzipOpenFile(const QString& path, const QString& password)
{
    m_password = password;
    return UnzipOpenFile(path);
}

bool ZipArchive::UnzipCloseFile()
{
    bool ok = true;
    if (m_unzFile)
        ok = unzClose(unz(m_unzFile)) == UNZ_OK;
    m_unzFile = nullptr;
    if (!m_resourceCopy.isEmpty()) {
        QFile::remove(m_resourceCopy);
        m_resourceCopy.clear();
    }
    return ok;
}

bool ZipArchive::UnzipFileTo(const QString& folder, bool overWrite)
{
    m_refused.clear();
    if (!m_unzFile)
        return false;
    if (unzGoToFirstFile(unz(m_unzFile)) != UNZ_OK) {
        report(QStringLiteral("Failed"));
        return false;
    }
    if (!QDir().mkpath(folder))
        return false;
    bool allWell = true;
    qint64 total = 0;
    int status = UNZ_OK;
    while (status == UNZ_OK) {
        if (!extractCurrentEntry(folder, overWrite, &total))
            allWell = false;
        if (total > m_maxTotalSize)
            break; // the archive as a whole is a bomb: stop reading it
        status = unzGoToNextFile(unz(m_unzFile));
    }
    return allWell && status == UNZ_END_OF_LIST_OF_FILE;
}

bool ZipArchive::extractCurrentEntry(const QString& folder, bool overWrite, qint64* total)
{
    unz_file_info64 info{};
    char rawName[4096];
    if (unzGetCurrentFileInfo64(unz(m_unzFile), &info, rawName, sizeof rawName, nullptr, 0, nullptr, 0) != UNZ_OK) {
        report(QStringLiteral("Error occurs while getting file info"));
        return false;
    }
    const QString name = QString::fromUtf8(rawName, static_cast<qsizetype>(qstrnlen(rawName, sizeof rawName)));
    QString why;
    const QString relative = safeEntryPath(name, &why);
    if (relative.isEmpty()) {
        refuse(name, why);
        return false;
    }
    if ((info.version >> 8) == kHostUnix && ((info.external_fa >> 16) & kTypeMask) == kTypeLink) {
        refuse(name, QStringLiteral("symbolic link"));
        return false;
    }
    const QString target = QDir(folder).filePath(relative);
    const QString root = QFileInfo(folder).canonicalFilePath();
    if (relative.endsWith(QLatin1Char('/'))) {
        if (!QDir().mkpath(target)) {
            report(QStringLiteral("Failed to create %1").arg(target));
            return false;
        }
        return true;
    }
    const QString parent = QFileInfo(target).absolutePath();
    if (!QDir().mkpath(parent)) {
        report(QStringLiteral("Failed to create %1").arg(parent));
        return false;
    }
    // A link already inside the folder must not carry the entry out of it either.
    const QString realParent = QFileInfo(parent).canonicalFilePath();
    if (realParent != root && !realParent.startsWith(root + QLatin1Char('/'))) {
        refuse(name, QStringLiteral("its folder leads outside the destination"));
        return false;
    }
    if (QFileInfo(target).isSymLink() || QFileInfo(target).isDir()) {
        refuse(name, QStringLiteral("the target is a link or a folder"));
        return false;
    }
    if (qint64(info.uncompressed_size) > m_maxEntrySize) {
        refuse(name, QStringLiteral("claims %1 bytes").arg(info.uncompressed_size));
        *total += qint64(info.uncompressed_size);
        return false;
    }
    if (QFileInfo::exists(target) && !overWrite && m_delegate && !m_delegate->OverWriteOperation(target))
        return true;

    const QByteArray password = m_password.toUtf8();
    const int opened = m_password.isEmpty() ? unzOpenCurrentFile(unz(m_unzFile))
                                            : unzOpenCurrentFilePassword(unz(m_unzFile), password.constData());
    if (opened != UNZ_OK) {
        report(QStringLiteral("Error occurs"));
        return false;
    }
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly)) {
        unzCloseCurrentFile(unz(m_unzFile));
        report(QStringLiteral("Failed to create %1").arg(target));
        return false;
    }
    char buffer[65536];
    qint64 written = 0;
    QString failure;
    for (;;) {
        const int n = unzReadCurrentFile(unz(m_unzFile), buffer, sizeof buffer);
        if (n == 0)
            break;
        if (n < 0) {
            failure = QStringLiteral("Failed to reading zip file");
            break;
        }
        written += n;
        *total += n;
        if (written > m_maxEntrySize || *total > m_maxTotalSize) {
            failure = QStringLiteral("inflates past %1 bytes")
                          .arg(written > m_maxEntrySize ? m_maxEntrySize : m_maxTotalSize);
            break;
        }
        if (out.write(buffer, n) != n) {
            failure = QStringLiteral("cannot write %1: %2").arg(target, out.errorString());
            break;
        }
    }
    // The CRC check happens when the entry is closed: a short or altered entry fails there.
    const int closed = unzCloseCurrentFile(unz(m_unzFile));
    if (failure.isEmpty() && closed == UNZ_CRCERROR)
        failure = QStringLiteral("its data does not match its CRC (size or content differ from the header)");
    if (failure.isEmpty() && (!out.flush() || !out.commit()))
        failure = QStringLiteral("cannot write %1: %2").arg(target, out.errorString());
    if (!failure.isEmpty()) {
        out.cancelWriting();
        refuse(name, failure);
        return false;
    }
    QFile stamped(target);
    if (!stamped.open(QIODevice::ReadWrite | QIODevice::ExistingOnly) ||
        !stamped.setFileTime(entryDate(info.tmu_date), QFileDevice::FileModificationTime))
        KQLog(QStringLiteral("Failed to set attributes"));
    return true;
}

bool ZipArchive::CreateZipFile2(const QString& path)
{
    if (m_zipFile)
        zipClose(zf(m_zipFile), nullptr);
    m_zipFile = zipOpen64(QFile::encodeName(path).constData(), APPEND_STATUS_CREATE);
    return m_zipFile != nullptr;
}

bool ZipArchive::CreateZipFile2(const QString& path, const QString& password)
{
    m_password = password;
    return CreateZipFile2(path);
}

bool ZipArchive::addFileToZip(const QString& file, const QString& newname)
{
    if (!m_zipFile)
        return false;
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    const QByteArray data = in.readAll();
    if (in.error() != QFileDevice::NoError)
        return false;
    const QDateTime date = QFileInfo(file).lastModified();
    if (m_password.isEmpty())
        return addDeflatedEntry(newname, deflateData(data, Z_DEFAULT_COMPRESSION), date);
    // Encrypted entries need minizip's own deflate (the CRC goes into the encryption header).
    const zip_fileinfo info = zipInfo(date);
    const QByteArray name = newname.toUtf8();
    const QByteArray password = m_password.toUtf8();
    const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(data.constData()), static_cast<uInt>(data.size()));
    if (zipOpenNewFileInZip3_64(zf(m_zipFile), name.constData(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                                Z_DEFAULT_COMPRESSION, 0, -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY,
                                password.constData(), crc, data.size() >= 0xffffffffLL) != ZIP_OK)
        return false;
    const bool ok = zipWriteInFileInZip(zf(m_zipFile), data.constData(), static_cast<unsigned>(data.size())) == ZIP_OK;
    return zipCloseFileInZip(zf(m_zipFile)) == ZIP_OK && ok;
}

bool ZipArchive::addDeflatedEntry(const QString& name, const KQDeflatedData& data, const QDateTime& date)
{
    if (!m_zipFile || !data.ok)
        return false;
    const zip_fileinfo info = zipInfo(date);
    const QByteArray utf8 = name.toUtf8();
    const int zip64 = data.size >= 0xffffffffULL || quint64(data.compressed.size()) >= 0xffffffffULL;
    if (zipOpenNewFileInZip3_64(zf(m_zipFile), utf8.constData(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                                Z_DEFAULT_COMPRESSION, 1, -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY, nullptr, 0,
                                zip64) != ZIP_OK)
        return false;
    bool ok = true;
    const char* bytes = data.compressed.constData();
    qint64 left = data.compressed.size();
    while (ok && left > 0) {
        const unsigned chunk = static_cast<unsigned>(std::min<qint64>(left, 1 << 30));
        ok = zipWriteInFileInZip(zf(m_zipFile), bytes, chunk) == ZIP_OK;
        bytes += chunk;
        left -= chunk;
    }
    return zipCloseFileInZipRaw64(zf(m_zipFile), data.size, data.crc) == ZIP_OK && ok;
}

bool ZipArchive::addFolderEntry(const QString& name, const QDateTime& date)
{
    if (!m_zipFile)
        return false;
    const zip_fileinfo info = zipInfo(date, 0x10); // MS-DOS directory attribute
    QByteArray utf8 = name.toUtf8();
    if (!utf8.endsWith('/'))
        utf8.append('/');
    if (zipOpenNewFileInZip3_64(zf(m_zipFile), utf8.constData(), &info, nullptr, 0, nullptr, 0, nullptr, 0, 0, 0,
                                -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY, nullptr, 0, 0) != ZIP_OK)
        return false;
    return zipCloseFileInZip(zf(m_zipFile)) == ZIP_OK;
}

bool ZipArchive::CloseZipFile2()
{
    if (!m_zipFile)
        return true;
    const bool ok = zipClose(zf(m_zipFile), nullptr) == ZIP_OK;
    m_zipFile = nullptr;
    return ok;
}

KQDeflatedData ZipArchive::deflateData(QByteArrayView data, int level)
{
    KQDeflatedData result;
    result.size = quint64(data.size());
    result.crc = static_cast<quint32>(
        crc32_z(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<z_size_t>(data.size())));
    z_stream stream{};
    if (deflateInit2(&stream, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return result;
    result.compressed.resize(static_cast<qsizetype>(deflateBound(&stream, static_cast<uLong>(data.size()))));
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(result.compressed.data());
    stream.avail_out = static_cast<uInt>(result.compressed.size());
    const int status = deflate(&stream, Z_FINISH);
    result.compressed.resize(static_cast<qsizetype>(stream.total_out));
    deflateEnd(&stream);
    result.ok = status == Z_STREAM_END;
    return result;
}
