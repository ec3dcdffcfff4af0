#pragma once
// CSV files: reading contacts from them with a column-to-field map, and writing them as plain CSV
// or with Outlook's column names, through the tabular engine's hooks.
//
// Reading contract: contactsWithCSVFile() answers a result whose status says why nothing (or only
// part) was read, with the log line's text as description. Each contact is handed to the progress
// callback as soon as its record is read; setting the stop flag ends the reading.
//
// Encoding of a file: a byte-order mark decides (UTF-8, UTF-16 big or little endian); without one,
// well-formed UTF-8 is read as UTF-8 and anything else as Windows-1252, which is what spreadsheet
// programs and mail clients write; the choice is logged.

#include "exchange/KQContactSerialization.h"

#include <QByteArray>
#include <QStringList>
#include <deque>
#include <functional>
#include <optional>

// titles: the column titles; keys: the proposed keys, which the callback may replace. An empty
// answer cancels the import, an answer of another length is ignored.
using KQFieldMapBlock = std::function<void(const QStringList& titles, QStringList& keys)>;
// Each new contact, the stop flag and the percentage of records read.
using KQImportProgressBlock = std::function<void(const KQContactHelperPtr& contact, bool* stop, double percent)>;

struct KQCSVReadResult
{
    enum Status
    {
        Read,       // every record was read
        Cancelled,  // the field map or the progress callback cancelled
        Unreadable, // the file could not be opened
        Empty,      // "Empty CSV File."
        NoData,     // "No contact data exist."
        NoColumns   // "Can not read column information."
    };
    Status status = Read;
    QString description;
    int contacts = 0;
    bool ok() const { return status == Read; }
};

class KQContactCSVSerialization : public KQContactSerialization
{
public:
    // --- reading
    static KQCSVReadResult contactsWithCSVFile(const QString& path, const KQFieldMapBlock& fieldMap,
                                               const KQImportProgressBlock& progressBlock);
    // The file's text by the encoding rule above; the log line names the encoding chosen.
    static QString decodeCSVData(const QByteArray& data);
    static QString decodeWindows1252(QByteArrayView bytes);

    // Splits text at separator outside quotes, walking by user-perceived characters: a quote or
    // separator followed by a combining mark or a joiner is not one. With removeQuotes every quote
    // character is deleted from the fields. A trailing separator gives no trailing empty field.
    static QStringList trySeparatedString(const QString& text, QChar separator, QChar quote, bool removeQuotes);
    // The header's titles and the separator that split it ("," then ";" then a tab).
    static QStringList splitColLine(const QString& header, QChar* separator);
    static QString mapColumnToPropertyKey(const QString& title);
    static QStringList mapColsToPropertyKey(const QStringList& titles);
    static QStringList splitRecord(const QString& record, QChar separator);
    // One record's fields made into a new contact (not yet tagged; see contactsFromRecords).
    static KQContactHelperPtr contactFromRecord(const QStringList& fields, const QStringList& titles,
                                                const QStringList& keys);
    // Reads the records of text from offset from on (the header lies before it), handing each
    // contact to progressBlock with the percentage of that part of the text read. Returns the
    // number of contacts made.
    static int contactsFromRecords(const QString& text, qsizetype from, QChar separator, const QStringList& titles,
                                   const QStringList& keys, const KQImportProgressBlock& progressBlock,
                                   bool* cancelled);
    static bool updatePostalAddress(CNPostalAddress& address, const QString& title, const QString& value);
    static void setMergeAddress(CNPostalAddress& address, const QString& value);
    static std::optional<CNDateComponents> dateComponentFromString(const QString& text);
    static QString instantMessageServerWithString(const QString& value);
    static CNInstantMessageAddress instantMessageAddressWithValueString(const QString& value);

    // --- writing
    void resetOutLookLabel();
    QString standOutLookLabel(const QString& title);
    QString standOutLookEmailLabel(const QString& title);
    static QString standOutLookAddressLabel(const QString& title);
    const QByteArray& exportString() const { return m_exportString; }

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
    void appendItem(const QString& text);

    QByteArray m_exportString;
    bool m_tempIsFirstItem = true;
    std::deque<QString> m_outLookEmailLabels;
};
