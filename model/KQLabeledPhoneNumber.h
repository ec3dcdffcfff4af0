#pragma once

#include "model/KQLabeledValueHelper.h"

#include <optional>

class KQLabeledPhoneNumber : public KQLabeledValueHelper
{
    Q_OBJECT
    Q_PROPERTY(
        QString phoneNumberStringValue READ phoneNumberStringValue WRITE setPhoneNumberStringValue NOTIFY valueChanged)
public:
    explicit KQLabeledPhoneNumber(const KQAnyLabeledValue& labeledValue);

    const std::optional<CNPhoneNumber>& phoneNumaber() const { return m_number; }
    void setPhoneNumaber(const std::optional<CNPhoneNumber>& number);
    QString phoneNumberStringValue() const;
    // An empty text changes nothing: a number cannot be emptied this way.
    void setPhoneNumberStringValue(const QString& text);
    // The number's digits only.
    QString phoneNumberStringNOCharacter() const;

    KQAnyLabeledValue editedLabeledValue() const override;
    QString valueString() const override;
    bool containString(const QString& text) const override;
    bool isEqualToValue(const KQLabeledValueHelper* other) const override;

private:
    std::optional<CNPhoneNumber> m_number;
};
