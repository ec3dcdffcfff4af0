#pragma once
// The tabular export engine: turns contact records and an ordered list of property keys into one
// header of column titles and one row of cells per contact, and hands them to a format through
// eight output hooks. Each tabular format is a subclass that overrides the hooks; the base class's
// hooks do nothing.
//
// Contract: exportWithFile() calls beginExport, the header, each row and endExport in that order,
// reporting progress i x 100 / n after row i. A callback that sets the stop flag ends the rows and
// endExport is not called, so formats that write their file there write nothing. The answer is
// true when the format reported no failure (see errorString()).

#include "exchange/KQExportKeys.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

// percent from 0 to 100; setting *stop cancels.
using KQProgressBlock = std::function<void(double percent, bool* stop)>;

class KQContactSerialization
{
public:
    KQContactSerialization() = default;
    virtual ~KQContactSerialization() = default;
    KQContactSerialization(const KQContactSerialization&) = delete;
    KQContactSerialization& operator=(const KQContactSerialization&) = delete;

    // The writer of the format type (CSV and CSV(Outlook) the CSV writer, any other type this
    // class), with the columns of contacts under keys already computed.
    static std::unique_ptr<KQContactSerialization>
    contactSerializationWithFormat(qint32 formatType, const std::vector<KQContactHelperPtr>& contacts,
                                   const QStringList& keys);

    bool exportWithFile(const QString& path, KQProgressBlock progressBlk);

    qint32 formatType() const { return m_formatType; }
    int columCount() const { return m_columCount; }
    const QString& exportFilePath() const { return m_exportFilePath; }
    const QStringList& exportKeys() const { return m_exportKeys; }
    const std::vector<KQContactHelperPtr>& contacts() const { return m_contacts; }
    // Each key's column titles, in column order.
    const QStringList& colums(const QString& key) const;
    const QString& curenPropertytKey() const { return m_curenPropertytKey; }
    bool stopExport() const { return m_stopExport; }
    // Why the last export failed; empty when it did not.
    const QString& errorString() const { return m_errorString; }

    // --- the columns
    void columnTitlesFromContacts(const std::vector<KQContactHelperPtr>& contacts, const QStringList& keys);
    // One contact's titles for a labelled key, before merging with the other contacts'.
    QStringList contactTitles(const CNContact& contact, const QString& key) const;
    // One cell per title of the key.
    QStringList fieldValuesFromContact(const CNContact& contact, const QString& key, const QStringList& titles) const;
    QStringList fieldValuesFromContact(const CNContact& contact, const QString& key, const QStringList& titles,
                                       const QStringList& foldedTitles) const;
    // The cells of one contact, key by key, in column order.
    QStringList setupRowWithContact(KQContactHelper& contact);

    // Where the package formats build their files: the application data folder's
    // "people_keeper_temp".
    static QString exportCacheFolder();
    static bool resetExportFolder(const QString& folder);
    static bool removeExportFolder(const QString& folder);

protected:
    // --- output hooks, in call order
    virtual void beginExport() {}
    virtual void beginSetTableHeader() {}
    virtual void addTableHeaderItemWithTitle(const QString& title) { Q_UNUSED(title); }
    virtual void endSetTableHeader() {}
    virtual void beginAddRow() {}
    virtual void addRowItemWithTitle(const QString& title) { Q_UNUSED(title); }
    virtual void endAddRow() {}
    virtual void endExport() {}

    void setErrorString(const QString& error) { m_errorString = error; }

private:
    void setupHeader();

    bool m_stopExport = false;
    qint32 m_formatType = 0;
    int m_columCount = 0;
    QString m_exportFilePath;
    std::vector<KQContactHelperPtr> m_contacts;
    QStringList m_exportKeys;
    QHash<QString, QStringList> m_colums;
    QHash<QString, QStringList> m_foldedColums; // the titles in lower case, matched per contact
    QString m_curenPropertytKey;
    KQProgressBlock m_progressBlk;
    QString m_errorString;
};
