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
    // Room for every part at once; a name of one part shares that part's text instead.
    qsizetype total = 0;
    int parts = 0;
    for (const std::optional<QString>* part : {&prefix, &given, &middle, &family, &suffix}) {
        if (!*part)
            break;
        if (!(*part)->isEmpty()) {
            total += (*part)->size() + 1;
            ++parts;
        }
    }
    if (parts > 1)
        text.reserve(total);
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

// A contact's job line: title, department and company, the empty and unfetched ones skipped,
// joined by single spaces.
inline QString kqJoinJobName(const std::optional<QString>& title, const std::optional<QString>& department,
                             const std::optional<QString>& organization)
{
    QString text;
    for (const std::optional<QString>* part : {&title, &department, &organization}) {
        if (!*part || (*part)->isEmpty())
            continue;
        if (!text.isEmpty())
            text.append(QLatin1Char(' '));
        text.append(**part);
    }
    return text;
}

// The key a display name sorts by: the name in lower case. Most names are plain ASCII, which is
// lowered here without Qt's Unicode tables; any other name is lowered by QString::toLower.
inline QString kqSortKey(const QString& name)
{
    const qsizetype size = name.size();
    QString key(size, Qt::Uninitialized);
    const QChar* in = name.constData();
    QChar* out = key.data();
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t c = in[i].unicode();
        if (c >= 0x80)
            return name.toLower();
        out[i] = QChar(c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + (u'a' - u'A')) : c);
    }
    return key;
}
