#include "exchange/KQContactDocxSerialization.h"

#include "exchange/packages/KQDeflateStream.h"
#include "exchange/packages/KQXmlPart.h"
#include "exchange/packages/KQXmlText.h"

#include <QFile>

namespace {

QByteArray snippet(const char* name)
{
    QFile file(QStringLiteral(":/templates/") + QString::fromLatin1(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void insertDefaultAt1(pugi::xml_node types, const char* extension, const char* contentType)
{
    const pugi::xml_node before = KQXmlPart::elementAt(types, 1);
    pugi::xml_node entry = before ? types.insert_child_before("Default", before) : types.append_child("Default");
    entry.append_attribute("Extension") = extension;
    entry.append_attribute("ContentType") = contentType;
}

} // namespace

KQContactDocxSerialization::KQContactDocxSerialization()
    : m_a(snippet("TJDocString_A")), m_b(snippet("TJDocString_B")), m_wr1(snippet("TJDocString_WR1")),
      m_wr2(snippet("TJDocString_WR2")), m_wc1(snippet("TJDocString_WC1")), m_wc2(snippet("TJDocString_WC2")),
      m_h(snippet("TJDocString_H"))
{
}

KQContactDocxSerialization::~KQContactDocxSerialization() = default;

QByteArray KQContactDocxSerialization::adjustString(const QString& text)
{
    return KQXmlText::escaped(text);
}

void KQContactDocxSerialization::write(const QByteArray& bytes)
{
    if (m_document)
        m_document->write(bytes);
}

void KQContactDocxSerialization::beginExport()
{
    m_document.reset();
    if (!setupPackage(QStringLiteral("docx")) || !makeFolder(QStringLiteral("word/media")))
        return;
    const QString typesPath = cachePath(QStringLiteral("[Content_Types].xml"));
    pugi::xml_document types;
    KQXmlPart::load(types, typesPath);
    if (pugi::xml_node root = KQXmlPart::findElement(types, "Types")) {
        insertDefaultAt1(root, "jpeg", "image/jpeg");
        insertDefaultAt1(root, "png", "image/png");
        if (!KQXmlPart::save(types, typesPath, true))
            fail(QStringLiteral("cannot write %1").arg(typesPath));
    }
    // The main document is streamed into the package instead of the template's.
    QFile::remove(cachePath(QStringLiteral("word/document.xml")));
    m_document = std::make_unique<KQDeflateStream>();
    write(m_a);
}

void KQContactDocxSerialization::writeCell(const QString& text)
{
    if (m_tempColumCount >= kMaxColumns || !m_document)
        return;
    QByteArray& out = m_document->buffer();
    out.append(m_wc1);
    KQXmlText::appendEscaped(out, text);
    out.append(m_wc2);
    ++m_tempColumCount;
}

void KQContactDocxSerialization::beginSetTableHeader()
{
    write(m_wr1);
    write(m_h);
    m_tempColumCount = 0;
}

void KQContactDocxSerialization::addTableHeaderItemWithTitle(const QString& title)
{
    writeCell(title);
}

void KQContactDocxSerialization::endSetTableHeader()
{
    write(m_wr2);
}

void KQContactDocxSerialization::beginAddRow()
{
    write(m_wr1);
    m_tempColumCount = 0;
}

void KQContactDocxSerialization::addRowItemWithTitle(const QString& title)
{
    writeCell(title);
}

void KQContactDocxSerialization::endAddRow()
{
    write(m_wr2);
}

void KQContactDocxSerialization::endExport()
{
    if (!m_document) {
        removeExportFolder(cacheFolder());
        if (errorString().isEmpty())
            fail(QStringLiteral("the document package could not be prepared"));
        return;
    }
    write(m_b);
    KQDeflatedData document = m_document->finish();
    m_document.reset();
    if (!document.ok) {
        fail(QStringLiteral("the document part could not be written"));
        removeExportFolder(cacheFolder());
        return;
    }
    addStreamedPart(QStringLiteral("word/document.xml"), std::move(document));
    compressToFile(exportFilePath(), {QStringLiteral("_rels"), QStringLiteral("[Content_Types].xml"),
                                      QStringLiteral("docProps"), QStringLiteral("word")});
}
