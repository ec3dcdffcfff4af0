#pragma once
// One entry of a multi-valued contact field: a label (a label constant or any text), a value and
// a stable identifier that survives edits of label and value.

#include "platform/CNLabels.h"

#include <QExplicitlySharedDataPointer>
#include <QSharedData>
#include <QString>
#include <QUuid>

QString CNMakeIdentifier();

// An entry identifier. Identifiers made by this program are upper-case UUID texts; they are kept
// as 16 bytes (a contact list holds hundreds of thousands of them) and any other text as is.
class CNEntryIdentifier
{
public:
    CNEntryIdentifier();
    explicit CNEntryIdentifier(const QString& text);
    // The identifier whose canonical text these 16 bytes stand for.
    static CNEntryIdentifier fromBytes(const unsigned char* bytes);

    QString text() const;
    // The 16 bytes of an identifier with a canonical UUID text; false for any other identifier.
    bool bytes(unsigned char* out) const;

    friend bool operator==(const CNEntryIdentifier& a, const CNEntryIdentifier& b)
    {
        if (a.m_other || b.m_other)
            return a.m_other && b.m_other && a.m_other->text == b.m_other->text;
        return a.m_uuid == b.m_uuid;
    }

private:
    explicit CNEntryIdentifier(QUuid uuid) : m_uuid(uuid) {}

    struct Other : QSharedData
    {
        QString text;
    };

    QUuid m_uuid;
    // Set only for identifiers that are not canonical UUID texts; a pointer keeps the common case small.
    QExplicitlySharedDataPointer<Other> m_other;
};

template <typename T> class CNLabeledValue
{
public:
    CNLabeledValue() = default;
    CNLabeledValue(QString label, T value) : m_label(std::move(label)), m_value(std::move(value)) {}
    CNLabeledValue(const QString& identifier, QString label, T value)
        : m_identifier(identifier), m_label(std::move(label)), m_value(std::move(value))
    {
    }

    static CNLabeledValue labeledValueWithLabel(const QString& label, const T& value) { return {label, value}; }

    QString identifier() const { return m_identifier.text(); }
    const CNEntryIdentifier& entryIdentifier() const { return m_identifier; }
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

    CNLabeledValue(CNEntryIdentifier identifier, QString label, T value)
        : m_identifier(std::move(identifier)), m_label(std::move(label)), m_value(std::move(value))
    {
    }

private:

    CNEntryIdentifier m_identifier;
    QString m_label;
    T m_value;
};
