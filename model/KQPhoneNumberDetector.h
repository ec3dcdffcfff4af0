#pragma once
// Finds phone numbers in text, leniently (any string that could be a number for the user's region).

#include <QString>

class KQPhoneNumberDetector
{
public:
    // A detector for the region of the user's locale; "US" when the locale names no region.
    static const KQPhoneNumberDetector& shared();
    explicit KQPhoneNumberDetector(QString regionCode);

    const QString& regionCode() const { return m_region; }
    // True when the first phone number found starts at the first character and spans the whole text.
    bool matchesWholeText(const QString& text) const;

private:
    QString m_region;
};
