#pragma once

#include "model/KQLabeledValueHelper.h"

class KQLabeledURL : public KQLabeledValueHelper
{
    Q_OBJECT
    Q_PROPERTY(QString urlString READ urlString WRITE setUrlString NOTIFY valueChanged)
public:
    explicit KQLabeledURL(const KQAnyLabeledValue& labeledValue);

    const QString& urlString() const { return m_url; }
    void setUrlString(const QString& url);

    KQAnyLabeledValue editedLabeledValue() const override;
    QString valueString() const override { return m_url; }
    // Two empty texts are equal.
    bool isEqualToValue(const KQLabeledValueHelper* other) const override;

private:
    QString m_url;
};
