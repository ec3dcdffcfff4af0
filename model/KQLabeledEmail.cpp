#include "model/KQLabeledEmail.h"

KQLabeledEmail::KQLabeledEmail(const KQAnyLabeledValue& labeledValue) : KQLabeledValueHelper(labeledValue)
{
    if (const auto* v = std::get_if<CNLabeledValue<QString>>(&labeledValue))
        m_email = v->value();
}

void KQLabeledEmail::setEmail(const QString& email)
{
    m_email = email;
    Q_EMIT valueChanged();
    labelValueDidChanged();
}

KQAnyLabeledValue KQLabeledEmail::editedLabeledValue() const
{
    return CNLabeledValue<QString>(entryIdentifier(), label(), m_email);
}

bool KQLabeledEmail::isEqualToValue(const KQLabeledValueHelper* other) const
{
    const auto* email = qobject_cast<const KQLabeledEmail*>(other);
    return email != nullptr && !m_email.isEmpty() && !email->m_email.isEmpty() && m_email == email->m_email;
}
