#pragma once
// The Pages writer: the template's word-processing document whose body holds one table, resized
// to the contacts (at most 60 columns), its data source replaced by the header and row cells, and
// the page made large enough for the table.

#include "exchange/packages/KQTablePackageSerialization.h"

class KQContactPagesSerialization : public KQTablePackageSerialization
{
public:
    static constexpr int kMaxColumns = 60;

    // The page size written for a table of numcols columns and numrows rows ("%f" texts).
    static QString pageWidth(int numcols);
    static QString pageHeight(qint64 numrows);

protected:
    void beginExport() override;
    void endExport() override;
    void writeExtraRow(QByteArray& out) override;

private:
    int m_numcols = 0;
    qint64 m_numrows = 0;
};
