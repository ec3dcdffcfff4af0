#pragma once
// What the Pages and Numbers writers share: "index.xml" of the template is edited as a tree, its
// table's data source is replaced by one cell element per header title and per row item, and the
// cells are streamed into the part as they come.
//
// A cell is <sf:t sf:s=STYLE sf:w=WIDTH sf:h=HEIGHT [sf:ct=N]><sf:ct sfa:s=TEXT/></sf:t>; sf:ct on
// the element itself only on the first cell of a row.

#include "exchange/packages/KQPackageSerialization.h"
#include "exchange/packages/KQStreamedXmlPart.h"

#include <pugixml.hpp>

class KQTablePackageSerialization : public KQPackageSerialization
{
public:
    struct CellStyle
    {
        const char* style;
        const char* width;
        const char* height;
    };

protected:
    // Loads the template's "index.xml" (and removes it from the folder: the part is streamed).
    bool loadIndex(pugi::xml_document& document);
    // Starts streaming the edited tree; the data source holds the cells mark, and the rows list
    // the rows mark when extraRows is above zero.
    bool startIndex(const pugi::xml_document& document, pugi::xml_node rows, pugi::xml_node dataSource,
                    qint64 extraRows);
    // One extra row element of the rows list, written extraRows times between the marks.
    virtual void writeExtraRow(QByteArray& out) = 0;
    // Finishes the part and compresses the members.
    void finishPackage(const QStringList& members);

    void setCellStyles(CellStyle header, CellStyle body)
    {
        m_header = header;
        m_body = body;
    }
    // At most this many cells per row are written.
    void setMaxCells(int cells) { m_maxCells = cells; }
    // What an empty body cell holds.
    void setEmptyBodyText(const QString& text) { m_emptyBodyText = text; }
    // sf:ct of the first body cell of a row.
    void setFirstBodyCount(qint64 count) { m_firstBodyCount = count; }

    void beginSetTableHeader() override { beginRow(true); }
    void addTableHeaderItemWithTitle(const QString& title) override { addCell(title); }
    void beginAddRow() override { beginRow(false); }
    void addRowItemWithTitle(const QString& title) override { addCell(title); }

    KQStreamedXmlPart m_index;

private:
    void beginRow(bool header);
    void addCell(const QString& text);

    CellStyle m_header{};
    CellStyle m_body{};
    int m_maxCells = 1 << 30;
    QString m_emptyBodyText;
    qint64 m_firstBodyCount = 0;
    bool m_headerRow = false;
    int m_cellIndex = 0;
};
