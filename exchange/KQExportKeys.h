#pragma once
// The property keys that exports and imports speak of: the store's contact keys plus the program's
// own pseudo-keys, the key lists an export chooses from, and the text of each field of a contact
// as the tabular formats write it.

#include "model/KQContactHelper.h"

#include <QString>
#include <QStringList>
#include <vector>

using KQContactHelperList = std::vector<KQContactHelperPtr>;

// The whole name as one field, the whole phonetic name, each postal address as one merged text,
// the contact's tags, and a CSV column that is not imported.
extern const QString KQPropertyKeyName;
extern const QString KQPropertyKeyPhoneticName;
extern const QString KQPropertyKeyAddress;
extern const QString KQPropertyKeyTags;
extern const QString KQPropertyKeyUnknownColumn;

// One labelled value of a contact as the exports see it.
struct KQExportEntry
{
    QString label;                            // the stored label (may be empty)
    QString value;                            // the entry's text
    const CNPostalAddress* address = nullptr; // postal entries only; points into the contact
};

namespace KQExportKeys {

// Keys whose cells come from labelled values: the eight multi-valued fields and "Address".
bool isLabeledKey(const QString& key);
// The key's display name ("Phone"); the key itself when it has none.
QString keyText(const QString& key);
// The label's display text, the label itself when it has none, "Other" for an empty label.
QString labelText(const QString& label);

// Every labelled value of the contact under key (postal addresses for "Address"), in order; empty
// when the field was not fetched.
std::vector<KQExportEntry> labeledEntries(const CNContact& contact, const QString& key);
// The text of a single-valued field: texts unchanged, dates as year/month/day, empty when missing.
QString textValue(const CNContact& contact, const QString& key);
// Sets a single-valued text field by key; false for keys that name no such field.
bool setTextValue(CNMutableContact& contact, const QString& key, const QString& value);

// The key lists of an export, in export order.
QStringList allPropertyKeys(bool splitName, bool mergeAddress);
QStringList availablePropertyKeys(const std::vector<KQContactHelperPtr>& contacts, bool splitName, bool mergeAddress);
QStringList generalPropertyKeys(bool splitName, bool mergeAddress);

} // namespace KQExportKeys
