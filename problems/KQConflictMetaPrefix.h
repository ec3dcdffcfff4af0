#pragma once
// The "Unusual prefix" and "Unusual suffix" kinds, each with the user's list of allowed values.

#include "problems/KQConflictMeta.h"

#include <QList>
#include <QStringList>
#include <optional>

class KQConflictMetaPrefix : public KQConflictMeta
{
    Q_OBJECT
public:
    static constexpr int NotFound = -1;

    // Fills the allowed list with the default prefixes or suffixes for the two kind names; for any
    // other name there is no list.
    explicit KQConflictMetaPrefix(QString name);

    // The default lists, built for the current locale on every call ("fr_FR" has its own).
    static QStringList defaultAvailablePrefix();
    static QStringList defaultAvailableSuffix();
    // The identifier of the current locale, such as "fr_FR" or "fr_CA"; a language without a
    // region stays as it is ("fr").
    static QString currentLocaleIdentifier();

    bool hasAvailableFixs() const { return m_fixs.has_value(); }
    // A copy of the list; empty when there is none.
    QStringList availableFixs() const;
    // Removes all entries, then inserts the new ones, each step one change.
    void setAvailableFixs(const QStringList& fixs);

    // Observable list accessors; out-of-range indexes change nothing.
    int countOfAvailableFixs() const;
    std::optional<QString> objectInAvailableFixsAtIndex(int index) const;
    void insertObjectInAvailableFixsAtIndex(const QString& fix, int index);
    // Indexes are positions in the resulting list, paired with the entries in ascending order.
    void insertAvailableFixsAtIndexes(const QStringList& fixs, QList<int> indexes);
    void removeObjectFromAvailableFixsAtIndex(int index);
    void removeAvailableFixsAtIndexes(QList<int> indexes);
    void replaceObjectInAvailableFixsAtIndex(int index, const QString& fix);

    // Appends, even when an equal entry is present.
    void addAvailableFix(const QString& fix);
    // Removes the first equal entry, if any.
    void removeAvailableFix(const QString& fix);
    // The index of the first equal entry, or NotFound.
    int indexOfAvailableFix(const QString& fix) const;

    // Whether text (lower-cased, as one token) matches no allowed entry (lower-cased).
    bool isUnusualFix(const QString& text) const;

    // --- keyed archive: the base keys, then "availableFixs" (left out when there is no list)
    QStringList archiveClassNames() const override;
    void encodeWithCoder(KQKeyedArchiver& coder) const override;
    static KQCodingPtr decodeWithCoder(KQKeyedUnarchiver& coder);

Q_SIGNALS:
    void availableFixsInserted(const QList<int>& indexes);
    void availableFixsRemoved(const QList<int>& indexes);
    void availableFixsReplaced(const QList<int>& indexes);

private:
    QStringList& fixs();

    std::optional<QStringList> m_fixs;
};
