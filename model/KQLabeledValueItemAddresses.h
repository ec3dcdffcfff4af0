#pragma once
// The rules of the editor's row for one postal address: which fields it shows for a country and
// how tall it is. The row widget itself belongs to the detail editor.

#include "model/KQLabeledPostalAddress.h"

#include <QObject>
#include <QPointer>

class KQLabeledValueItemAddresses : public QObject
{
    Q_OBJECT
public:
    KQLabeledValueItemAddresses(const KQLabeledValueHelperPtr& entry, bool editable);

    // The row's entry when it is an address, else nullptr.
    KQLabeledPostalAddress* postalAddresses() const;
    const QString& countryCode() const { return m_countryCode; }
    // Writes the code into the entry without reacting to the entry's own change.
    void setCountryCode(const QString& code);
    bool editable() const { return m_editable; }
    void setEditable(bool editable) { m_editable = editable; }

    // Sub-locality only for China while editing; state hidden for the United Kingdom; the
    // sub-administrative area only for the United Kingdom while editing.
    bool hiddenSubLocality() const;
    bool hiddenState() const;
    bool hiddenSubAdministrativeArea() const;

    int addressLineCount() const;
    // 20 points a line while editing, 18 read-only; at least 106.
    int height() const;

private:
    KQLabeledValueHelperPtr m_entry;
    QString m_countryCode;
    bool m_editable;
    bool m_settingCode = false;
};
