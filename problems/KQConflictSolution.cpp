#include "problems/KQConflictSolution.h"

KQConflictSolution::KQConflictSolution(KQConflictSolutionType type, QString name, QString description)
    : m_type(type), m_name(std::move(name)), m_description(std::move(description))
{
}

bool KQConflictSolution::isEqualTo(const KQConflictSolution* other) const
{
    return other && m_name == other->m_name && m_description == other->m_description;
}

KQConflictSolutionPtr KQConflictSolution::copy() const
{
    return create(m_type, m_name, m_description);
}
