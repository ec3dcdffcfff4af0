#pragma once
// The Numbers writer: the template's spreadsheet document with one table of 51 rows, grown to the
// contacts when there are 50 or more (and to the columns when there are more than the template
// has), its data source replaced by the header and row cells.

#include "exchange/packages/KQTablePackageSerialization.h"

class KQContactNumbersSerialization : public KQTablePackageSerialization
{
protected:
    void beginExport() override;
    void endExport() override;
    void writeExtraRow(QByteArray& out) override;
};
