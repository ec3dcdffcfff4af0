#pragma once
// The spreadsheet (XLSX) writer: one worksheet "Page 1" holding the header row and one row per
// contact, every cell its own shared string (string k is the k-th cell written: the header, then
// the rows left to right, top to bottom). The template's workbook, relationship, style and
// content-type parts are edited as trees; the worksheet and the shared strings are streamed and
// deflated while the rows are written, so memory does not grow with the text of the table.
//
// Contract: the destination is replaced only by a complete package; a cancelled export writes
// nothing. errorString() says why a package could not be written.

#include "exchange/packages/KQPackageSerialization.h"

#include <QByteArray>
#include <memory>
#include <vector>

class KQDeflateStream;

class KQContactExcelSerialization : public KQPackageSerialization
{
public:
    KQContactExcelSerialization();
    ~KQContactExcelSerialization() override;

    // The cell reference of column (from 1) in row: A1 ... Z1, AA1 ... ZZ1, AAA1 ...
    static QByteArray cellReference(int column, int row);

protected:
    void beginExport() override;
    void beginSetTableHeader() override;
    void addTableHeaderItemWithTitle(const QString& title) override;
    void endSetTableHeader() override;
    void beginAddRow() override;
    void addRowItemWithTitle(const QString& title) override;
    void endAddRow() override;
    void endExport() override;

private:
    void editWorkbookRelationships();
    void editWorkbook();
    void editStyles();
    void editContentTypes();
    bool writeSheetRelationships();
    void beginRow();
    void addCell(const QString& text);
    void endRow();

    std::unique_ptr<KQDeflateStream> m_sheet;
    std::unique_ptr<KQDeflateStream> m_sharedStrings;
    std::vector<QByteArray> m_columnLetters;
    int m_tempFlagRow = 1;  // column (from 1) of the next cell
    qint64 m_flagCount = 0; // shared strings written
    qint64 m_flagV = 0;     // index of the next shared string
    qint64 m_expectedStrings = 0;
    int m_rowIndex = 0; // rows finished
    bool m_ready = false;
};
