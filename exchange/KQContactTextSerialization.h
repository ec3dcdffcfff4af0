#pragma once
// Plain-text export: one block of lines per contact, each line a title, a colon and the value in
// single quotes; blocks are separated by three CR LF pairs. A labelled field contributes its
// first value only.
//
// Contract: the file is written whole (UTF-8, no byte-order mark) or not at all; a cancelled
// export still writes the blocks built so far.

#include "exchange/KQContactSerialization.h"

class KQContactTextSerialization
{
public:
    // False with no keys (nothing written) or when the file cannot be written (error says why).
    static bool exportContacts(const std::vector<KQContactHelperPtr>& contacts, const QStringList& keys,
                               const QString& path, const KQProgressBlock& progressBlock, QString* error = nullptr);
    static QString recordStringFromContact(KQContactHelper& contact, const QStringList& keys);
    static QStringList fieldValuesFromContact(KQContactHelper& contact, const QString& key);
    // The same with the record's effective contact already at hand (read once per record).
    static QStringList fieldValuesFromContact(KQContactHelper& contact, const CNContact& effective, const QString& key);
    static QString titleForPropertyKey(const QString& key);
};
