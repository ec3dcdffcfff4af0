#pragma once

#include "model/KQLabeledValueHelper.h"

class KQLabeledRelation : public KQLabeledValueHelper
{
    Q_OBJECT
    Q_PROPERTY(QString name READ name WRITE setName NOTIFY valueChanged)
public:
    explicit KQLabeledRelation(const KQAnyLabeledValue& labeledValue);

    const std::optional<CNContactRelation>& relation() const { return m_relation; }
    const QString& name() const { return m_name; }
    void setName(const QString& name);

    KQAnyLabeledValue editedLabeledValue() const override;
    QString valueString() const override { return m_name; }

private:
    std::optional<CNContactRelation> m_relation;
    QString m_name;
};
