#include "exchange/packages/KQTablePackageSerialization.h"

#include "exchange/packages/KQXmlPart.h"
#include "exchange/packages/KQXmlText.h"

#include <QFile>

namespace {

constexpr char kRowsMark[] = "kq-rows";
constexpr char kCellsMark[] = "kq-cells";

} // namespace

bool KQTablePackageSerialization::loadIndex(pugi::xml_document& document)
{
    const QString path = cachePath(QStringLiteral("index.xml"));
    const bool loaded = KQXmlPart::load(document, path);
    QFile::remove(path);
    if (!loaded)
        fail(QStringLiteral("the template's index.xml is missing or unreadable"));
    return loaded;
}

bool KQTablePackageSerialization::startIndex(const pugi::xml_document& document, pugi::xml_node rows,
                                             pugi::xml_node dataSource, qint64 extraRows)
{
    std::vector<const char*> marks;
    if (extraRows > 0) {
        KQStreamedXmlPart::mark(rows, kRowsMark);
        marks.push_back(kRowsMark);
    }
    KQStreamedXmlPart::mark(dataSource, kCellsMark);
    marks.push_back(kCellsMark);
    if (!m_index.start(document, marks)) {
        fail(QStringLiteral("the template's table could not be prepared"));
        return false;
    }
    if (extraRows > 0) {
        for (qint64 i = 0; i < extraRows; ++i) {
            writeExtraRow(m_index.buffer());
            m_index.commit();
        }
        m_index.nextPiece();
    }
    return true;
}

void KQTablePackageSerialization::beginRow(bool header)
{
    m_headerRow = header;
    m_cellIndex = 0;
}

void KQTablePackageSerialization::addCell(const QString& text)
{
    if (!m_index.started() || m_cellIndex >= m_maxCells)
        return;
    const CellStyle& style = m_headerRow ? m_header : m_body;
    QByteArray& out = m_index.buffer();
    out.append("<sf:t sf:s=\"").append(style.style);
    out.append("\" sf:w=\"").append(style.width);
    out.append("\" sf:h=\"").append(style.height).append('"');
    if (m_cellIndex == 0)
        out.append(" sf:ct=\"").append(QByteArray::number(m_headerRow ? 0 : m_firstBodyCount)).append('"');
    out.append("><sf:ct sfa:s=\"");
    KQXmlText::appendEscaped(out, !m_headerRow && text.isEmpty() ? m_emptyBodyText : text, true);
    out.append("\"/></sf:t>\n");
    m_index.commit();
    ++m_cellIndex;
}

void KQTablePackageSerialization::finishPackage(const QStringList& members)
{
    if (!m_index.started()) {
        removeExportFolder(cacheFolder());
        if (errorString().isEmpty())
            fail(QStringLiteral("the package could not be prepared"));
        return;
    }
    KQDeflatedData index = m_index.finish();
    if (!index.ok) {
        fail(QStringLiteral("index.xml could not be written"));
        removeExportFolder(cacheFolder());
        return;
    }
    addStreamedPart(QStringLiteral("index.xml"), std::move(index));
    compressToFile(exportFilePath(), members);
}
