#pragma once
// What the contact list shows of a node: the records that carry the current tag and match the
// search text, in the chosen order. Large nodes are filtered on a worker, so records are read only
// through their thread-safe field accessors and their caches are never filled here.
//
// A node's records are indexed once (sort names, the entries kept in ascending order, and the
// search texts); each keystroke then only scans the index. The texts are the larger part and a list
// that nobody searches does not need them: an index may be built without them and given them later
// (withSearchTexts), before the first search.

#include "model/KQContactHelper.h"

#include <QSet>
#include <QString>
#include <compare>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

using KQContactHelperList = std::vector<KQContactHelperPtr>;

// The first eight UTF-16 units of a sort key packed into two numbers, so that two keys whose
// prefixes differ compare as their prefixes do (and as keys, an empty one being greater than any
// other); a sort compares the texts only when the prefixes are equal. Eight units get past most
// common first names.
struct KQSortPrefix
{
    quint64 high = 0;
    quint64 low = 0;
    friend auto operator<=>(const KQSortPrefix&, const KQSortPrefix&) = default;
};
KQSortPrefix kqSortPrefix(const QString& sortKey);

// One row as the list shows it before the node's records are in: made from a contact fetched with
// the list's keys only, so the first screen can be drawn long before every record is loaded.
struct KQContactListRow
{
    QString identifier;
    QString name;            // the display name
    QString subtitle;        // the second line
    QString sortKey;         // the display name in lower case
    KQSortPrefix sortPrefix; // kqSortPrefix(sortKey)
    int position = 0;        // place in the node's order
};

// The list's order over rows, as a total order (ties go by node order), so that the first rows can
// be sorted ahead of the rest with the same result as sorting all of them.
struct KQContactListRowOrder
{
    int sortType = 0; // as KQContactListQuery
    bool operator()(const KQContactListRow& a, const KQContactListRow& b) const;
};

struct KQContactListQuery
{
    // Trimmed search text; empty shows everyone.
    QString searchText;
    // Identifiers of the records that carry the current tag; none when no tag is current.
    std::optional<QSet<QString>> taggedIdentifiers;
    // 0 ascending, 1 descending, 2 the node's own order.
    int sortType = 0;
    // The name order of the preferences, read once on the main thread.
    bool familyNameFirst = false;
};

class KQContactSearchIndex : public std::enable_shared_from_this<KQContactSearchIndex>
{
public:
    struct Entry
    {
        KQContactHelperPtr contact;
        QString folded;          // full name, job line and note, in lower case
        QString exact;           // phone numbers as written and by their digits, e-mail addresses
        QString sortKey;         // the display name in lower case
        KQSortPrefix sortPrefix; // kqSortPrefix(sortKey)
        int position = 0;
        bool matches(const QString& text, const QString& lowerText, bool searchNote) const;
    };

    // None when stop answered true meanwhile. Without searchTexts the entries carry sort names only.
    static std::shared_ptr<const KQContactSearchIndex> build(const KQContactHelperList& contacts, bool familyNameFirst,
                                                             bool searchNote = true,
                                                             const std::function<bool()>& stop = {},
                                                             bool searchTexts = true);
    static Entry makeEntry(const KQContactHelperPtr& contact, int position, bool familyNameFirst, bool searchNote);
    // The same index with the search texts; itself when it has them, none when stop answered true.
    std::shared_ptr<const KQContactSearchIndex> withSearchTexts(const std::function<bool()>& stop = {}) const;
    bool hasSearchTexts() const { return m_hasSearchTexts; }

    // within, when given, lists the only entries to look at (places in the index, ascending), as a
    // previous answer left them; matched, when given, receives the places of the entries kept. A
    // search text needs an index with its search texts.
    KQContactHelperList filter(const KQContactListQuery& query, const std::function<bool()>& stop = {},
                               const std::vector<int>* within = nullptr, std::vector<int>* matched = nullptr) const;
    bool familyNameFirst() const { return m_familyNameFirst; }
    size_t size() const { return m_sorted.size(); }

private:
    static void addSearchTexts(Entry& entry, bool familyNameFirst, bool searchNote);

    std::vector<Entry> m_sorted; // ascending by sort key, empty keys last, ties in node order
    bool m_familyNameFirst = false;
    bool m_searchNote = true;
    bool m_hasSearchTexts = true;
};

class KQContactListFilter
{
public:
    enum SortType
    {
        Ascending = 0,
        Descending = 1,
        Unsorted = 2
    };

    // Indexes contacts and filters them (for a list filtered once).
    static KQContactHelperList filter(const KQContactHelperList& contacts, const KQContactListQuery& query,
                                      const std::function<bool()>& stop = {});

    // The full name, the job line, a phone number (as written or by its digits), an e-mail
    // address or (with searchNote) the note contains text; names and note ignore case.
    static bool matchesSearch(const KQContactHelper& contact, const QString& text, bool familyNameFirst,
                              bool searchNote = true);

    // The record's sort name: its display name in lower case, as nameForSort gives it.
    static QString sortName(const KQContactHelper& contact, bool familyNameFirst);
    // The full name with the name order given (the record's own reads the settings every call).
    static QString fullName(const KQContactHelper& contact, bool familyNameFirst);

    // Sorts by sort name with a plain comparison; an empty sort name is greater than any other.
    // Type 2 keeps the order given.
    static KQContactHelperList sortContactHelpers(const KQContactHelperList& contacts, int type, bool familyNameFirst);

    // The keys a row needs: identifier, kind, names and the job line.
    static QStringList listKeys();
    // The row of a contact fetched with at least listKeys(), named as its record would be.
    static KQContactListRow listRow(const CNContact& contact, int position, bool familyNameFirst);
    // Orders rows as the list orders records of the same names (type as sortContactHelpers).
    static void sortRows(std::vector<KQContactListRow>& rows, int type);
};
