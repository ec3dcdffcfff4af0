#include "model/KQLabeledURL.h"

KQLabeledURL::KQLabeledURL(const KQAnyLabeledValue& labeledValue) : KQLabeledValueHelper(labeledValue)
{
    if (const auto* v = std::get_if<CNLabeledValue<QString>>(&labeledValue))
        m_url = v->value();
}

void KQLabeledURL::setUrlString(const QString& url)
{
    m_url = url;
    Q_EMIT valueChanged();
    labelValueDidChanged();
}

KQAnyLabeledValue KQLabeledURL::editedLabeledValue() const
{
    return CNLabeledValue<QString>(entryIdentifier(), label(), m_url);
}

bool KQLabeledURL::isEqualToValue(const KQLabeledValueHelper* other) const
{
    const auto* url = qobject_cast<const KQLabeledURL*>(other);
    return url != nullptr && m_url.isEmpty() == url->m_url.isEmpty() && m_url == url->m_url;
}
