#include "platform/KQCountryTable.h"

#include <QHash>
#include <QLocale>
#include <algorithm>

namespace {

bool isAlpha2(const QString& code)
{
    return code.size() == 2 && std::all_of(code.cbegin(), code.cend(),
                                           [](QChar c) { return c >= QLatin1Char('A') && c <= QLatin1Char('Z'); });
}

struct Table
{
    QList<KQCountryTable::Entry> entries;
    QHash<QString, QString> nameByCode;
    QHash<QString, QString> codeByName;

    Table()
    {
        // Letter codes Qt carries for groupings of countries, not places one can address mail to.
        const QStringList groupings{QStringLiteral("EU"), QStringLiteral("EZ"), QStringLiteral("UN"),
                                    QStringLiteral("QO")};
        for (int value = QLocale::AnyTerritory + 1; value <= QLocale::LastTerritory; ++value) {
            const auto territory = static_cast<QLocale::Territory>(value);
            const QString code = QLocale::territoryToCode(territory);
            const QString name = QLocale::territoryToString(territory);
            if (!isAlpha2(code) || name.isEmpty() || groupings.contains(code) || nameByCode.contains(code))
                continue;
            entries.append({code, name});
            nameByCode.insert(code, name);
            codeByName.insert(name, code);
        }
        std::sort(entries.begin(), entries.end(),
                  [](const KQCountryTable::Entry& a, const KQCountryTable::Entry& b) { return a.code < b.code; });
    }
};

const Table& table()
{
    static const Table instance;
    return instance;
}

} // namespace

const QList<KQCountryTable::Entry>& KQCountryTable::entries()
{
    return table().entries;
}

QStringList KQCountryTable::names()
{
    QStringList result = table().codeByName.keys();
    std::sort(result.begin(), result.end());
    return result;
}

std::optional<QString> KQCountryTable::nameForCode(const QString& code)
{
    const auto it = table().nameByCode.constFind(code.toUpper());
    if (it == table().nameByCode.cend())
        return std::nullopt;
    return *it;
}

std::optional<QString> KQCountryTable::codeForName(const QString& name)
{
    const auto it = table().codeByName.constFind(name);
    if (it == table().codeByName.cend())
        return std::nullopt;
    return *it;
}
