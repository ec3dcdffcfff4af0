#include "model/KQLabeledRelation.h"

KQLabeledRelation::KQLabeledRelation(const KQAnyLabeledValue& labeledValue) : KQLabeledValueHelper(labeledValue)
{
    if (const auto* v = std::get_if<CNLabeledValue<CNContactRelation>>(&labeledValue)) {
        m_relation = v->value();
        m_name = v->value().name;
    }
}

void KQLabeledRelation::setName(const QString& name)
{
    m_name = name;
    Q_EMIT valueChanged();
    labelValueDidChanged();
}

KQAnyLabeledValue KQLabeledRelation::editedLabeledValue() const
{
    return CNLabeledValue<CNContactRelation>(entryIdentifier(), label(), CNContactRelation(m_name));
}
