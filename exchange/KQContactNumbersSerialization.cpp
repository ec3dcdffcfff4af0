#include "exchange/KQContactNumbersSerialization.h"

#include "exchange/packages/KQXmlPart.h"

void KQContactNumbersSerialization::beginExport()
{
    setCellStyles({"SFTCellStyle-105", "30.469574", "14"}, {"SFTCellStyle-100", "30.469574", "14"});
    setEmptyBodyText(QString());
    setFirstBodyCount(257 - columCount());
    if (!setupPackage(QStringLiteral("numbers")))
        return;
    pugi::xml_document index;
    if (!loadIndex(index))
        return;
    pugi::xml_node holder = KQXmlPart::findElement(index, "ls:document");
    for (int position : {2, 0, 0, 1, 1, 1, 0, 2})
        holder = KQXmlPart::elementAt(holder, position);
    pugi::xml_node grid = holder.child("sf:grid");
    if (!grid) {
        fail(QStringLiteral("the template's table is not where it belongs"));
        return;
    }
    grid.remove_child(KQXmlPart::elementAt(grid, 4));
    pugi::xml_node dataSource = grid.append_child("sf:datasource");
    dataSource.append_attribute("sfa:ID") = "SFTConcreteTableDataSource-0";

    const qint64 contactCount = qint64(contacts().size());
    pugi::xml_node rows = KQXmlPart::elementAt(grid, 2);
    qint64 extraRows = 0;
    if (contactCount >= 50) {
        grid.attribute("sf:numrows").set_value(static_cast<long long>(contactCount + 1));
        rows.remove_attribute("sf:count");
        rows.append_attribute("sf:count") = static_cast<long long>(contactCount + 1);
        extraRows = contactCount - 49;
    }
    // Every column is written, so a table wider than the template's gets the columns it needs.
    const int templateColumns = grid.attribute("sf:numcols").as_int();
    if (columCount() > templateColumns) {
        grid.attribute("sf:numcols").set_value(columCount());
        pugi::xml_node columns = KQXmlPart::elementAt(grid, 0);
        columns.attribute("sf:count").set_value(columCount());
        for (int i = templateColumns; i < columCount(); ++i) {
            pugi::xml_node column = columns.append_child("sf:grid-column");
            column.append_attribute("sf:width") = "98";
            column.append_attribute("sf:preferred-width") = "98";
            column.append_attribute("sf:fitting-width") = "9";
        }
    }
    startIndex(index, rows, dataSource, extraRows);
}

void KQContactNumbersSerialization::writeExtraRow(QByteArray& out)
{
    out.append("<sf:grid-row sf:height=\"14.25\" sf:fitting-height=\"14.25\"/>\n");
}

void KQContactNumbersSerialization::endExport()
{
    finishPackage(
        {QStringLiteral("QuickLook"), QStringLiteral("buildVersionHistory.plist"), QStringLiteral("index.xml")});
}
