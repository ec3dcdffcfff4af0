#include "exchange/packages/KQPackageSerialization.h"

#include "exchange/packages/ZipArchive.h"
#include "platform/KQLog.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <algorithm>
#include <cstdio>
#include <zlib.h>

KQPackageSerialization::~KQPackageSerialization()
{
    if (!m_cacheFolder.isEmpty() && QFileInfo::exists(m_cacheFolder)) {
        removeExportFolder(m_cacheFolder);
        QDir().rmdir(exportCacheFolder()); // only when no other export uses it
    }
}

QString KQPackageSerialization::templateResource(const QString& extension)
{
    return QStringLiteral(":/templates/Assist.") + extension;
}

QString KQPackageSerialization::packageCacheFolder()
{
    return QDir(exportCacheFolder()).filePath(QString::number(QCoreApplication::applicationPid()));
}

QString KQPackageSerialization::cachePath(const QString& relative) const
{
    return QDir(m_cacheFolder).filePath(relative);
}

void KQPackageSerialization::fail(const QString& error)
{
    KQLog(QStringLiteral("error: ") + error);
    if (errorString().isEmpty())
        setErrorString(error);
}

bool KQPackageSerialization::makeFolder(const QString& relative)
{
    if (QDir().mkpath(cachePath(relative)))
        return true;
    fail(QStringLiteral("cannot create the folder %1").arg(cachePath(relative)));
    return false;
}

bool KQPackageSerialization::setupPackage(const QString& templateExtension)
{
    m_streamed.clear();
    m_cacheFolder = packageCacheFolder();
    if (!resetExportFolder(m_cacheFolder)) {
        fail(QStringLiteral("cannot reset the export folder %1").arg(m_cacheFolder));
        return false;
    }
    ZipArchive archive;
    if (archive.UnzipOpenFile(templateResource(templateExtension))) {
        if (!archive.UnzipFileTo(m_cacheFolder, true))
            KQLog(QStringLiteral("Warning: the %1 template was not extracted whole").arg(templateExtension));
        archive.UnzipCloseFile();
    }
    return makeFolder(QStringLiteral("mm/images"));
}

void KQPackageSerialization::addStreamedPart(const QString& name, KQDeflatedData data)
{
    m_streamed.emplace_back(name, std::move(data));
}

bool KQPackageSerialization::compressToFile(const QString& destination, const QStringList& members)
{
    const QFileInfo target(destination);
    QTemporaryFile temp(
        target.absoluteDir().filePath(QStringLiteral(".") + target.fileName() + QStringLiteral(".XXXXXX")));
    if (!temp.open()) {
        fail(QStringLiteral("cannot write %1: %2").arg(destination, temp.errorString()));
        return false;
    }
    temp.close(); // minizip writes it by name; the object still removes it on failure

    ZipArchive archive;
    bool ok = archive.CreateZipFile2(temp.fileName());
    const QDir root(m_cacheFolder);
    const QDateTime now = QDateTime::currentDateTime();
    std::vector<bool> streamedDone(m_streamed.size(), false);
    const auto addStreamedUnder = [&](const QString& member) {
        for (size_t i = 0; i < m_streamed.size() && ok; ++i) {
            const QString& name = m_streamed[i].first;
            if (streamedDone[i] || (name != member && !name.startsWith(member + QLatin1Char('/'))))
                continue;
            streamedDone[i] = true;
            ok = archive.addDeflatedEntry(name, m_streamed[i].second, now);
        }
    };
    for (const QString& member : members) {
        if (!ok)
            break;
        const QFileInfo info(root.filePath(member));
        if (info.isFile()) {
            ok = archive.addFileToZip(info.filePath(), member);
        } else if (info.isDir()) {
            QStringList entries;
            QDirIterator it(info.filePath(), QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                            QDirIterator::Subdirectories);
            while (it.hasNext())
                entries.append(root.relativeFilePath(it.next()));
            entries.sort();
            for (const QString& entry : std::as_const(entries)) {
                if (!ok)
                    break;
                const QFileInfo item(root.filePath(entry));
                if (item.isDir()) {
                    if (QDir(item.filePath()).isEmpty())
                        ok = archive.addFolderEntry(entry, item.lastModified());
                } else if (item.isFile() && !item.isSymLink()) {
                    ok = archive.addFileToZip(item.filePath(), entry);
                }
            }
        }
        addStreamedUnder(member);
    }
    m_streamed.clear();
    if (!archive.CloseZipFile2())
        ok = false;
    if (!ok) {
        fail(QStringLiteral("cannot write the package %1").arg(destination));
        removeExportFolder(m_cacheFolder);
        return false;
    }
    // rename() replaces an existing destination in one step.
    if (std::rename(QFile::encodeName(temp.fileName()).constData(), QFile::encodeName(destination).constData()) != 0) {
        fail(QStringLiteral("cannot replace %1").arg(destination));
        removeExportFolder(m_cacheFolder);
        return false;
    }
    temp.setAutoRemove(false);
    QFile::setPermissions(destination, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                                           QFileDevice::ReadOther);
    removeExportFolder(m_cacheFolder);
    QDir().rmdir(exportCacheFolder()); // only when no other export uses it
    return true;
}
