#include "exchange/KQContactExcelSerialization.h"

#include "exchange/packages/KQDeflateStream.h"
#include "exchange/packages/KQXmlPart.h"
#include "exchange/packages/KQXmlText.h"
#include "platform/KQLog.h"

#include <QFile>
#include <charconv>
#include <string>

namespace {

constexpr char kMainNamespace[] = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
constexpr char kRelationshipsNamespace[] = "http://schemas.openxmlformats.org/package/2006/relationships";
constexpr char kOfficeRelationships[] = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
constexpr char kWorksheetType[] = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet";
constexpr char kSharedStringsType[] =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings";
constexpr char kPrinterSettingsType[] =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/printerSettings";

const QString kSheetPath = QStringLiteral("xl/worksheets/sheet%1.xml");
const QString kSheetRelsPath = QStringLiteral("xl/worksheets/_rels/sheet%1.xml.rels");

void appendNumber(QByteArray& out, qint64 value)
{
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, result.ptr - digits);
}

} // namespace

KQContactExcelSerialization::KQContactExcelSerialization() = default;
KQContactExcelSerialization::~KQContactExcelSerialization() = default;

QByteArray KQContactExcelSerialization::cellReference(int column, int row)
{
    QByteArray letters;
    for (int c = column; c > 0; c = (c - 1) / 26)
        letters.prepend(static_cast<char>('A' + (c - 1) % 26));
    appendNumber(letters, row);
    return letters;
}

void KQContactExcelSerialization::beginExport()
{
    m_flagCount = 0;
    m_flagV = 0;
    m_rowIndex = 0;
    m_ready = false;
    if (!setupPackage(QStringLiteral("xlsx")))
        return;
    for (const char* folder : {"xl/media", "xl/drawings/_rels"})
        makeFolder(QString::fromLatin1(folder));
    editWorkbookRelationships();
    editWorkbook();
    editStyles();
    editContentTypes();
    // The template's own sheets and shared strings give way to the streamed ones.
    for (int n = 1; n <= 3; ++n) {
        QFile::remove(cachePath(kSheetRelsPath.arg(n)));
        QFile::remove(cachePath(kSheetPath.arg(n)));
    }
    QFile::remove(cachePath(QStringLiteral("xl/sharedStrings.xml")));
    if (!writeSheetRelationships())
        return;

    m_columnLetters.clear();
    for (int c = 1; c <= columCount(); ++c) {
        QByteArray letters = cellReference(c, 0);
        letters.chop(1); // the row number "0"
        m_columnLetters.push_back(letters);
    }
    const bool empty = contacts().empty() || exportKeys().isEmpty();
    m_expectedStrings = empty ? 0 : qint64(contacts().size() + 1) * columCount();

    m_sheet = std::make_unique<KQDeflateStream>();
    m_sharedStrings = std::make_unique<KQDeflateStream>();
    QByteArray& sheet = m_sheet->buffer();
    sheet.append("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<worksheet xmlns=\"");
    sheet.append(kMainNamespace).append("\" xmlns:r=\"").append(kOfficeRelationships).append("\">\n");
    sheet.append("  <dimension ref=\"A1:L111\"/>\n"
                 "  <sheetViews>\n"
                 "    <sheetView tabSelected=\"1\" workbookViewId=\"0\"/>\n"
                 "  </sheetViews>\n"
                 "  <sheetFormatPr baseColWith=\"21\" defaultRowHeight=\"15\"/>\n");
    sheet.append(empty ? "  <sheetData/>\n" : "  <sheetData>\n");
    QByteArray& strings = m_sharedStrings->buffer();
    strings.append("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<sst xmlns=\"");
    strings.append(kMainNamespace).append("\" count=\"");
    appendNumber(strings, m_expectedStrings);
    strings.append("\" uniqueCount=\"");
    appendNumber(strings, m_expectedStrings);
    strings.append(m_expectedStrings == 0 ? "\"/>\n" : "\">\n");
    m_ready = true;
}

void KQContactExcelSerialization::editWorkbookRelationships()
{
    const QString path = cachePath(QStringLiteral("xl/_rels/workbook.xml.rels"));
    pugi::xml_document document;
    KQXmlPart::load(document, path);
    pugi::xml_node relationships = KQXmlPart::findElement(document, "Relationships");
    if (!relationships)
        return;
    int n = 0;
    for (pugi::xml_node child : relationships.children())
        n += child.type() == pugi::node_element;
    for (int i = 0; i < 3; ++i)
        relationships.remove_child(KQXmlPart::elementAt(relationships, 0));
    pugi::xml_node sheet = relationships.append_child("Relationship");
    sheet.append_attribute("Id") = "rId1";
    sheet.append_attribute("Type") = kWorksheetType;
    sheet.append_attribute("Target") = "worksheets/sheet1.xml";
    pugi::xml_node strings = relationships.append_child("Relationship");
    strings.append_attribute("Id") = ("rId" + std::to_string(n + 1)).c_str();
    strings.append_attribute("Type") = kSharedStringsType;
    strings.append_attribute("Target") = "sharedStrings.xml";
    if (!KQXmlPart::save(document, path, true))
        fail(QStringLiteral("cannot write %1").arg(path));
}

void KQContactExcelSerialization::editWorkbook()
{
    const QString path = cachePath(QStringLiteral("xl/workbook.xml"));
    pugi::xml_document document;
    KQXmlPart::load(document, path);
    pugi::xml_node root = document.document_element();
    if (!root)
        return;
    root.remove_child(KQXmlPart::elementAt(root, 3));
    const pugi::xml_node before = KQXmlPart::elementAt(root, 3);
    pugi::xml_node sheets = before ? root.insert_child_before("sheets", before) : root.append_child("sheets");
    pugi::xml_node sheet = sheets.append_child("sheet");
    sheet.append_attribute("name") = QStringLiteral("Page %1").arg(1).toUtf8().constData();
    sheet.append_attribute("sheetId") = "1";
    sheet.append_attribute("r:id") = "rId1";
    if (!KQXmlPart::save(document, path, true))
        fail(QStringLiteral("cannot write %1").arg(path));
}

void KQContactExcelSerialization::editStyles()
{
    const QString path = cachePath(QStringLiteral("xl/styles.xml"));
    pugi::xml_document document;
    KQXmlPart::load(document, path);
    pugi::xml_node root = document.document_element();
    pugi::xml_node old = root.child("cellXfs");
    if (!old)
        return;
    pugi::xml_node cellXfs = root.insert_child_before("cellXfs", old);
    root.remove_child(old);
    cellXfs.append_attribute("count") = "2";
    for (int i = 0; i < 2; ++i) {
        pugi::xml_node xf = cellXfs.append_child("xf");
        for (const char* name : {"numFmtId", "fontId", "fillId", "borderId", "xfId"})
            xf.append_attribute(name) = "0";
        xf.append_attribute("applyAlignment") = "1";
        pugi::xml_node alignment = xf.append_child("alignment");
        alignment.append_attribute("horizontal") = "left";
        alignment.append_attribute("vertical") = "top";
        alignment.append_attribute("wrapText") = "1";
    }
    if (!KQXmlPart::save(document, path, true))
        fail(QStringLiteral("cannot write %1").arg(path));
}

void KQContactExcelSerialization::editContentTypes()
{
    const QString path = cachePath(QStringLiteral("[Content_Types].xml"));
    pugi::xml_document document;
    KQXmlPart::load(document, path);
    pugi::xml_node types = KQXmlPart::findElement(document, "Types");
    if (!types)
        return;
    for (int i = 0; i < 3; ++i)
        types.remove_child(KQXmlPart::elementAt(types, 7));
    pugi::xml_node sheet = types.append_child("Override");
    sheet.append_attribute("PartName") = "/xl/worksheets/sheet1.xml";
    sheet.append_attribute("ContentType") = "application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml";
    pugi::xml_node strings = types.append_child("Override");
    strings.append_attribute("PartName") = "/xl/sharedStrings.xml";
    strings.append_attribute("ContentType") =
        "application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml";
    if (!KQXmlPart::save(document, path, true))
        fail(QStringLiteral("cannot write %1").arg(path));
}

bool KQContactExcelSerialization::writeSheetRelationships()
{
    if (!makeFolder(QStringLiteral("xl/worksheets/_rels")))
        return false;
    pugi::xml_document document;
    pugi::xml_node root = document.append_child("Relationships");
    root.append_attribute("xmlns") = kRelationshipsNamespace;
    pugi::xml_node relationship = root.append_child("Relationship");
    relationship.append_attribute("Id") = "rId1";
    relationship.append_attribute("Type") = kPrinterSettingsType;
    relationship.append_attribute("Target") = "../slideLayouts/printerSettings1.bin";
    const QString path = cachePath(kSheetRelsPath.arg(1));
    if (KQXmlPart::save(document, path, true))
        return true;
    fail(QStringLiteral("cannot write %1").arg(path));
    return false;
}

void KQContactExcelSerialization::beginRow()
{
    if (!m_ready)
        return;
    m_tempFlagRow = 1;
    QByteArray& sheet = m_sheet->buffer();
    sheet.append("    <row r=\"");
    appendNumber(sheet, m_rowIndex + 1);
    sheet.append("\" spans=\"1:87\">\n");
}

void KQContactExcelSerialization::addCell(const QString& text)
{
    if (!m_ready)
        return;
    QByteArray& sheet = m_sheet->buffer();
    sheet.append("      <c r=\"");
    const size_t column = static_cast<size_t>(m_tempFlagRow - 1);
    if (column < m_columnLetters.size())
        sheet.append(m_columnLetters[column]);
    else
        sheet.append(cellReference(m_tempFlagRow, 0).chopped(1));
    appendNumber(sheet, m_rowIndex + 1);
    sheet.append("\" s=\"1\" t=\"s\"><v>");
    appendNumber(sheet, m_flagV++);
    sheet.append("</v></c>\n");

    QByteArray& strings = m_sharedStrings->buffer();
    strings.append("  <si><t xml:space=\"preserve\">");
    KQXmlText::appendEscaped(strings, text);
    strings.append("</t><phoneticPr fontId=\"1\" type=\"noConversion\"/></si>\n");
    ++m_flagCount;
    ++m_tempFlagRow;
    m_sharedStrings->commit();
}

void KQContactExcelSerialization::endRow()
{
    if (!m_ready)
        return;
    m_sheet->buffer().append("    </row>\n");
    m_sheet->commit();
    ++m_rowIndex;
}

void KQContactExcelSerialization::beginSetTableHeader()
{
    beginRow();
}

void KQContactExcelSerialization::addTableHeaderItemWithTitle(const QString& title)
{
    addCell(title);
}

void KQContactExcelSerialization::endSetTableHeader()
{
    endRow();
}

void KQContactExcelSerialization::beginAddRow()
{
    beginRow();
}

void KQContactExcelSerialization::addRowItemWithTitle(const QString& title)
{
    addCell(title);
}

void KQContactExcelSerialization::endAddRow()
{
    endRow();
}

void KQContactExcelSerialization::endExport()
{
    if (!m_ready) {
        removeExportFolder(cacheFolder());
        if (errorString().isEmpty())
            fail(QStringLiteral("the spreadsheet package could not be prepared"));
        return;
    }
    m_ready = false;
    QByteArray& sheet = m_sheet->buffer();
    if (m_expectedStrings > 0)
        sheet.append("  </sheetData>\n");
    sheet.append("  <phoneticPr fontId=\"1\" type=\"noConversion\"/>\n"
                 "  <pageMargins left=\"0.7\" right=\"0.7\" top=\"0.75\" bottom=\"0.75\" header=\"0.3\" "
                 "footer=\"0.3\"/>\n"
                 "  <pageSetup paperSize=\"0\" orientation=\"portrait\" horizontalDpi=\"0\" verticalDpi=\"0\" "
                 "copies=\"0\"/>\n"
                 "</worksheet>\n");
    if (m_expectedStrings > 0)
        m_sharedStrings->buffer().append("</sst>\n");
    KQDeflatedData sheetData = m_sheet->finish();
    KQDeflatedData stringsData = m_sharedStrings->finish();
    m_sheet.reset();
    m_sharedStrings.reset();
    if (m_flagCount != m_expectedStrings || !sheetData.ok || !stringsData.ok) {
        fail(QStringLiteral("the spreadsheet's parts could not be written"));
        removeExportFolder(cacheFolder());
        return;
    }
    addStreamedPart(kSheetPath.arg(1), std::move(sheetData));
    addStreamedPart(QStringLiteral("xl/sharedStrings.xml"), std::move(stringsData));
    compressToFile(exportFilePath(), {QStringLiteral("_rels"), QStringLiteral("[Content_Types].xml"),
                                      QStringLiteral("docProps"), QStringLiteral("xl")});
}
