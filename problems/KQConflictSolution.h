#pragma once
// One way of dealing with a found problem, as offered to the user: a short title, a one-sentence
// explanation and the kind of action. The review list marks the chosen one with `selected`.

#include <QString>
#include <memory>

enum class KQConflictSolutionType : qint32
{
    Unknown = 0,
    Ignore = 1,
    Edit = 2,
    Delete = 3,
    RemoveSpace = 4
};

class KQConflictSolution;
using KQConflictSolutionPtr = std::shared_ptr<KQConflictSolution>;

class KQConflictSolution
{
public:
    KQConflictSolution(KQConflictSolutionType type, QString name, QString description);
    static KQConflictSolutionPtr create(KQConflictSolutionType type, QString name, QString description)
    {
        return std::make_shared<KQConflictSolution>(type, std::move(name), std::move(description));
    }

    KQConflictSolutionType type() const { return m_type; }
    const QString& solutionName() const { return m_name; }
    const QString& solutionDescription() const { return m_description; }
    bool selected() const { return m_selected; }
    void setSelected(bool selected) { m_selected = selected; }

    // Same name and same description; the type and the mark are not compared.
    bool isEqualTo(const KQConflictSolution* other) const;
    bool isEqual(const KQConflictSolution* other) const { return isEqualTo(other); }
    friend bool operator==(const KQConflictSolution& a, const KQConflictSolution& b) { return a.isEqualTo(&b); }

    // Same type, name and description, not selected.
    KQConflictSolutionPtr copy() const;

private:
    KQConflictSolutionType m_type;
    QString m_name;
    QString m_description;
    bool m_selected = false;
};
