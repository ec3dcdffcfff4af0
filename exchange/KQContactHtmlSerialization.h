#pragma once
// The HTML writer: one XHTML 1.0 Transitional document holding a table, the header row and one
// row per contact. The document is streamed to the file as the rows come (every text escaped), so
// memory does not grow with the table.
//
// Contract: the file is written whole or not at all (an existing file is replaced only by a
// complete document); a cancelled export writes nothing.

#include "exchange/KQContactSerialization.h"

#include <QByteArray>
#include <memory>

class QSaveFile;

class KQContactHtmlSerialization : public KQContactSerialization
{
public:
    KQContactHtmlSerialization();
    ~KQContactHtmlSerialization() override;

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
    void addCell(const QString& text);
    void flushBuffer(bool force);
    void failWith(const QString& error);

    std::unique_ptr<QSaveFile> m_file;
    QByteArray m_buffer;
};
