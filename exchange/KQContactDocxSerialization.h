#pragma once
// The word-processing (DOCX) writer: a document holding one table, the header row and one row per
// contact, at most 28 columns (further titles and cells are dropped in every row alike). The main
// document is streamed from seven text snippets (resources "TJDocString_A", "_B", "_WR1", "_WR2",
// "_WC1", "_WC2", "_H") and the escaped cell texts; the rest of the package comes from the
// template.
//
// Contract: the destination is replaced only by a complete package; a cancelled export writes
// nothing.

#include "exchange/packages/KQPackageSerialization.h"

#include <QByteArray>
#include <memory>

class KQDeflateStream;

class KQContactDocxSerialization : public KQPackageSerialization
{
public:
    static constexpr int kMaxColumns = 28;

    KQContactDocxSerialization();
    ~KQContactDocxSerialization() override;

    // "&", "<", ">", "'" and the double quotation mark as entities (characters XML cannot hold
    // are left out).
    static QByteArray adjustString(const QString& text);

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
    void writeCell(const QString& text);
    void write(const QByteArray& bytes);

    QByteArray m_a, m_b, m_wr1, m_wr2, m_wc1, m_wc2, m_h;
    std::unique_ptr<KQDeflateStream> m_document;
    int m_tempColumCount = 0;
};
