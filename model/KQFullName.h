#pragma once
// How a contact's full name is built from its parts: prefix, then given and family name in the
// order the preferences choose, with the middle name between them, then suffix, joined by single
// spaces. Empty parts are skipped; a part that was not fetched (none) ends the name built so far.

#include <QString>
#include <optional>

inline QString kqJoinFullName(const std::optional<QString>& prefix, const std::optional<QString>& given,
                              const std::optional<QString>& middle, const std::optional<QString>& family,
                              const std::optional<QString>& suffix, bool familyNameFirst)
{
    QString text;
    const auto append = [&text](const std::optional<QString>& part) -> bool {
        if (!part)
            return false;
        if (!part->isEmpty()) {
            if (!text.isEmpty())
                text.append(QLatin1Char(' '));
            text.append(*part);
        }
        return true;
    };
    append(prefix) && append(familyNameFirst ? family : given) && append(middle) &&
        append(familyNameFirst ? given : family) && append(suffix);
    return text;
}
