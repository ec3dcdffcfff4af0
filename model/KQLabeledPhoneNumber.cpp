#include "model/KQLabeledPhoneNumber.h"

KQLabeledPhoneNumber::KQLabeledPhoneNumber(const KQAnyLabeledValue& labeledValue) : KQLabeledValueHelper(labeledValue)
{
    if (const auto* v = std::get_if<CNLabeledValue<CNPhoneNumber>>(&labeledValue))
        m_number = v->value();
}

void KQLabeledPhoneNumber::setPhoneNumaber(const std::optional<CNPhoneNumber>& number)
{
    m_number = number;
    Q_EMIT valueChanged();
    labelValueDidChanged();
}

QString KQLabeledPhoneNumber::phoneNumberStringValue() const
{
    return m_number ? m_number->stringValue() : QString();
}

void KQLabeledPhoneNumber::setPhoneNumberStringValue(const QString& text)
{
    if (text.isEmpty())
        return;
    setPhoneNumaber(CNPhoneNumber::phoneNumberWithStringValue(text));
}

QString KQLabeledPhoneNumber::phoneNumberStringNOCharacter() const
{
    const QString text = phoneNumberStringValue();
    QString digits;
    digits.reserve(text.size());
    for (const QChar c : text) {
        // Characters are taken modulo 256, as the number's stored form was compared byte-wise.
        const int code = c.unicode() % 256;
        if (code >= '0' && code <= '9')
            digits.append(QLatin1Char(static_cast<char>(code)));
    }
    return digits;
}

KQAnyLabeledValue KQLabeledPhoneNumber::editedLabeledValue() const
{
    if (!m_number)
        return originalLabeledValue();
    return CNLabeledValue<CNPhoneNumber>(entryIdentifier(), label(), *m_number);
}

QString KQLabeledPhoneNumber::valueString() const
{
    const KQAnyLabeledValue edited = editedLabeledValue();
    const auto* phone = std::get_if<CNLabeledValue<CNPhoneNumber>>(&edited);
    return phone ? phone->value().stringValue() : QString();
}

bool KQLabeledPhoneNumber::containString(const QString& text) const
{
    return phoneNumberStringValue().contains(text) || phoneNumberStringNOCharacter().contains(text);
}

bool KQLabeledPhoneNumber::isEqualToValue(const KQLabeledValueHelper* other) const
{
    const auto* phone = qobject_cast<const KQLabeledPhoneNumber*>(other);
    if (phone == nullptr)
        return false;
    if (!m_number || !phone->m_number)
        return !m_number && !phone->m_number;
    return m_number->stringValue() == phone->m_number->stringValue();
}
