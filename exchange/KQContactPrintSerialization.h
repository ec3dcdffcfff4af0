#pragma once
// The printout: one block of bare values per contact (no titles), blocks separated by three CR LF
// pairs, a labelled field contributing its first value only. printContacts() builds the text on
// the calling worker and hands it to a presenter on the main thread, which shows the print dialog
// (in the application) or renders the pages to a file (KQContactPrintRenderer).

#include "exchange/KQContactSerialization.h"

#include <functional>

// Receives the text to print, on the main thread.
using KQPrintPresenter = std::function<void(const QString& text)>;

class KQContactPrintSerialization
{
public:
    // Builds the text with progress i x 100 / n; a set stop flag ends the building and keeps the
    // text so far. Then calls presenter on the main thread (unless it is empty).
    static void printContacts(const std::vector<KQContactHelperPtr>& contacts, const QStringList& fields,
                              const KQProgressBlock& progressBlock, const KQPrintPresenter& presenter);
    static QString stringContacts(const std::vector<KQContactHelperPtr>& contacts, const QStringList& fields,
                                  const KQProgressBlock& progressBlock);
    static QString recordStringFromContact(KQContactHelper& contact, const QStringList& keys);
    // The record's lines for one key (none for a labelled key without a value).
    static QStringList fieldValuesFromContact(KQContactHelper& contact, const QString& key);
    static QString titleForPropertyKey(const QString& key);
};
