#pragma once
// What the four package formats (DOCX, XLSX, Pages, Numbers) share: the export cache folder, the
// template package extracted into it, parts deflated while they are written, and the compression
// of the folder's members into the destination.
//
// Contract: setupPackage() empties the cache folder and extracts the template "Assist.<ext>" into
// it (a missing template leaves the folder empty). compressToFile() writes the archive next to the
// destination and renames it into place, so an existing file is replaced only by a complete
// package; it then removes the cache folder. An export that stops before that (cancelled or
// failed) removes the folder when the writer goes. Failures are logged and kept in errorString().

#include "exchange/KQContactSerialization.h"
#include "exchange/packages/KQDeflatedData.h"

#include <utility>
#include <vector>

class KQPackageSerialization : public KQContactSerialization
{
public:
    ~KQPackageSerialization() override;

    // The resource holding the template package of an extension ("xlsx", "docx", ...).
    static QString templateResource(const QString& extension);
    // This export's folder inside exportCacheFolder(): one per process, so that two programs
    // exporting at the same time do not share it.
    static QString packageCacheFolder();

protected:
    bool setupPackage(const QString& templateExtension);
    const QString& cacheFolder() const { return m_cacheFolder; }
    QString cachePath(const QString& relative) const;
    bool makeFolder(const QString& relative);
    // A part kept deflated in memory rather than in the folder; it joins the archive after the
    // member it belongs to.
    void addStreamedPart(const QString& name, KQDeflatedData data);
    bool compressToFile(const QString& destination, const QStringList& members);
    void fail(const QString& error);

private:
    QString m_cacheFolder;
    std::vector<std::pair<QString, KQDeflatedData>> m_streamed;
};
