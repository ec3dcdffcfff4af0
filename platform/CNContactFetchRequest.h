#pragma once

#include "platform/CNPredicate.h"

#include <QStringList>

#include <optional>

// What to fetch: the keys to fill and which contacts (all when there is no predicate).
class CNContactFetchRequest
{
public:
    explicit CNContactFetchRequest(QStringList keysToFetch) : m_keys(std::move(keysToFetch)) {}

    const QStringList& keysToFetch() const { return m_keys; }
    void setPredicate(const CNContactPredicate& p) { m_predicate = p; }
    const std::optional<CNContactPredicate>& predicate() const { return m_predicate; }
    // This store never links contacts across accounts; the flag is kept for callers' clarity.
    void setUnifyResults(bool unify) { m_unify = unify; }
    bool unifyResults() const { return m_unify; }

private:
    QStringList m_keys;
    std::optional<CNContactPredicate> m_predicate;
    bool m_unify = true;
};
