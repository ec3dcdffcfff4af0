#pragma once
// One entry of a multi-valued contact field: a label (a label constant or any text), a value and
// a stable identifier that survives edits of label and value.

#include "CNLabels.h"

#include <QString>
#include <QUuid>

QString CNMakeIdentifier();

template <typename T>
class CNLabeledValue
{
public:
    CNLabeledValue() : m_identifier(CNMakeIdentifier()) {}
    CNLabeledValue(QString label, T value)
        : m_identifier(CNMakeIdentifier()), m_label(std::move(label)), m_value(std::move(value))
    {
    }
    CNLabeledValue(QString identifier, QString label, T value)
        : m_identifier(std::move(identifier)), m_label(std::move(label)), m_value(std::move(value))
    {
    }

    static CNLabeledValue labeledValueWithLabel(const QString& label, const T& value) { return {label, value}; }

    const QString& identifier() const { return m_identifier; }
    const QString& label() const { return m_label; }
    const T& value() const { return m_value; }

    CNLabeledValue labeledValueBySettingLabel(const QString& label) const { return {m_identifier, label, m_value}; }
    CNLabeledValue labeledValueBySettingValue(const T& value) const { return {m_identifier, m_label, value}; }
    CNLabeledValue labeledValueBySettingLabelValue(const QString& label, const T& value) const
    {
        return {m_identifier, label, value};
    }

    static QString localizedStringForLabel(const QString& label) { return CNLocalizedStringForLabel(label); }

    friend bool operator==(const CNLabeledValue&, const CNLabeledValue&) = default;

private:
    QString m_identifier;
    QString m_label;
    T m_value;
};
