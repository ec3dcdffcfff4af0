#pragma once

#include "model/KQLabeledValueHelper.h"

class KQLabeledEmail : public KQLabeledValueHelper
{
    Q_OBJECT
    Q_PROPERTY(QString email READ email WRITE setEmail NOTIFY valueChanged)
public:
    explicit KQLabeledEmail(const KQAnyLabeledValue& labeledValue);

    const QString& email() const { return m_email; }
    void setEmail(const QString& email);

    KQAnyLabeledValue editedLabeledValue() const override;
    QString valueString() const override { return m_email; }
    // An empty address equals nothing, not even another empty one.
    bool isEqualToValue(const KQLabeledValueHelper* other) const override;

private:
    QString m_email;
};
