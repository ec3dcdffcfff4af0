#pragma once
// Country and region names by ISO 3166-1 alpha-2 code, in English, as Qt's locale data spells them
// ("Germany", "United Kingdom", "Ivory Coast"). Built once per process from every territory Qt knows
// that has a two-letter code; multi-country groupings (European Union, Outlying Oceania) and
// numeric regions (World, Europe, Latin America) are left out.

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

class KQCountryTable
{
public:
    struct Entry
    {
        QString code; // upper-case alpha-2, e.g. "DE"
        QString name; // English name, e.g. "Germany"
    };

    // Every entry, ordered by code.
    static const QList<Entry>& entries();
    // Every name, sorted by plain text comparison.
    static QStringList names();

    // The name for a two-letter code (any letter case); none for an unknown code.
    static std::optional<QString> nameForCode(const QString& code);
    // The code for a name, matched exactly as written; none for a name not in the table.
    static std::optional<QString> codeForName(const QString& name);
};
