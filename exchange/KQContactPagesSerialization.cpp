#include "exchange/KQContactPagesSerialization.h"

#include "exchange/packages/KQXmlPart.h"

#include <algorithm>

QString KQContactPagesSerialization::pageWidth(int numcols)
{
    constexpr double base = 841.8897705078125;
    const double width =
        numcols >= 10 ? static_cast<double>(static_cast<float>(numcols * 94 - 846) + float(base)) : base;
    return QString::asprintf("%f", width);
}

QString KQContactPagesSerialization::pageHeight(qint64 numrows)
{
    constexpr double base = 595.2755737304688;
    const double height =
        numrows >= 13 ? static_cast<double>(static_cast<float>(numrows * 50 - 600) + float(base)) : base;
    return QString::asprintf("%f", height);
}

void KQContactPagesSerialization::beginExport()
{
    setCellStyles({"SFTCellStyle-6", "41.347656", "24"}, {"SFTCellStyle-2", "29.347656", "24"});
    setEmptyBodyText(QStringLiteral(" "));
    m_numcols = std::min(columCount(), kMaxColumns);
    m_numrows = qint64(contacts().size()) + 1;
    setMaxCells(m_numcols);
    setFirstBodyCount(257 - m_numcols);
    if (!setupPackage(QStringLiteral("pages")))
        return;
    pugi::xml_document index;
    if (!loadIndex(index))
        return;
    const pugi::xml_node document = KQXmlPart::findElement(index, "sl:document");

    // The page grows with the table; the size is known now, so it is set before the part streams.
    pugi::xml_node printInfo = KQXmlPart::elementAt(document, 3);
    for (const char* name : {"sl:page-width", "sl:page-height", "sl:page-scale"})
        printInfo.remove_attribute(name);
    printInfo.append_attribute("sl:page-width") = pageWidth(m_numcols).toLatin1().constData();
    printInfo.append_attribute("sl:page-height") = pageHeight(m_numrows).toLatin1().constData();
    printInfo.append_attribute("sl:page-scale") = "1";

    pugi::xml_node holder = document;
    for (int position : {10, 1, 0, 0, 2})
        holder = KQXmlPart::elementAt(holder, position);
    pugi::xml_node grid = holder.child("sf:grid");
    if (!grid) {
        fail(QStringLiteral("the template's table is not where it belongs"));
        return;
    }
    for (const char* name : {"sf:ocnt", "sf:numcols", "sf:numrows"})
        grid.remove_attribute(name);
    grid.append_attribute("sf:ocnt") = static_cast<long long>(m_numrows * m_numcols);
    grid.append_attribute("sf:numcols") = m_numcols;
    grid.append_attribute("sf:numrows") = static_cast<long long>(m_numrows);
    grid.remove_child(KQXmlPart::elementAt(grid, 4));
    pugi::xml_node dataSource = grid.append_child("sf:datasource");

    const qint64 contactCount = qint64(contacts().size());
    pugi::xml_node rows = KQXmlPart::elementAt(grid, 2);
    qint64 extraRows = 0;
    if (contactCount >= 2) {
        rows.remove_attribute("sf:count");
        rows.append_attribute("sf:count") = static_cast<long long>(contactCount + 1);
        extraRows = contactCount - 1;
    }
    if (m_numcols >= 3) {
        pugi::xml_node columns = KQXmlPart::elementAt(grid, 0);
        columns.remove_attribute("sf:count");
        columns.append_attribute("sf:count") = m_numcols;
        for (int i = 0; i < m_numcols - 2; ++i) {
            pugi::xml_node column = columns.append_child("sf:grid-column");
            column.append_attribute("sf:width") = "80.787406921386719";
            column.append_attribute("sf:preferred-width") = "80.787406921386719";
            column.append_attribute("sf:fitting-width") = "9";
        }
    }
    startIndex(index, rows, dataSource, extraRows);
}

void KQContactPagesSerialization::writeExtraRow(QByteArray& out)
{
    out.append("<sf:grid-row sf:height=\"38.196876525878906\" sf:preferred-height=\"38.196876525878906\" "
               "sf:fitting-height=\"25\" sf:nc=\"1\" sf:ncoc=\"1\"/>\n");
}

void KQContactPagesSerialization::endExport()
{
    finishPackage({QStringLiteral("QuickLook"), QStringLiteral("mm"), QStringLiteral("buildVersionHistory.plist"),
                   QStringLiteral("index.xml")});
}
