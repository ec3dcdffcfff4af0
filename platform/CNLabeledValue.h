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
// as 16 bytes (a contact list holds hundreds of thousands of them) and any other text as a
// pointer to a shared copy, in the same 16 bytes.
class CNEntryIdentifier
{
public:
    CNEntryIdentifier();
    explicit CNEntryIdentifier(const QString& text);
    // The identifier whose canonical text these 16 bytes stand for.
    static CNEntryIdentifier fromBytes(const unsigned char* bytes);
    CNEntryIdentifier(const CNEntryIdentifier& other);
    CNEntryIdentifier(CNEntryIdentifier&& other) noexcept : m_high(other.m_high), m_low(other.m_low)
    {
        other.m_high = other.m_low = 0;
    }
    CNEntryIdentifier& operator=(const CNEntryIdentifier& other);
    CNEntryIdentifier& operator=(CNEntryIdentifier&& other) noexcept;
    ~CNEntryIdentifier();

    QString text() const;
    // The 16 bytes of an identifier with a canonical UUID text; false for any other identifier.
    bool bytes(unsigned char* out) const;

    friend bool operator==(const CNEntryIdentifier& a, const CNEntryIdentifier& b)
    {
        if (a.isText() || b.isText())
            return a.isText() && b.isText() && a.sharedText() == b.sharedText();
        return a.m_high == b.m_high && a.m_low == b.m_low;
    }

private:
    struct Text;
    // The first half of an identifier that is any other text; a UUID text with this first half is
    // kept as text too, so that no UUID is mistaken for a pointer.
    static constexpr quint64 TextMarker = ~quint64(0);

    CNEntryIdentifier(quint64 high, quint64 low) : m_high(high), m_low(low) {}
    bool isText() const { return m_high == TextMarker; }
    const QString& sharedText() const;
    void release();

    // The UUID's bytes, most significant first (all zero: no identifier); or TextMarker and a Text*.
    quint64 m_high = 0;
    quint64 m_low = 0;
};

// A label text. Every distinct text is kept once for the life of the program and a value holds
// a pointer to it: lists hold hundreds of thousands of values and only a few distinct labels.
class CNLabelText
{
public:
    CNLabelText() = default;
    CNLabelText(const QString& text) : m_text(intern(text)) {} // NOLINT: converts like the text it stands for

    const QString& text() const { return m_text ? *m_text : empty(); }

    friend bool operator==(const CNLabelText&, const CNLabelText&) = default;

private:
    static const QString* intern(const QString& text);
    static const QString& empty();

    const QString* m_text = nullptr; // nullptr: the empty label
};

template <typename T> class CNLabeledValue
{
public:
    CNLabeledValue() = default;
    CNLabeledValue(const QString& label, T value) : m_label(label), m_value(std::move(value)) {}
    CNLabeledValue(const QString& identifier, const QString& label, T value)
        : m_identifier(identifier), m_label(label), m_value(std::move(value))
    {
    }

    static CNLabeledValue labeledValueWithLabel(const QString& label, const T& value) { return {label, value}; }

    QString identifier() const { return m_identifier.text(); }
    const CNEntryIdentifier& entryIdentifier() const { return m_identifier; }
    const QString& label() const { return m_label.text(); }
    const T& value() const { return m_value; }

    CNLabeledValue labeledValueBySettingLabel(const QString& label) const { return {m_identifier, label, m_value}; }
    CNLabeledValue labeledValueBySettingValue(const T& value) const
    {
        return CNLabeledValue(m_identifier, m_label, value);
    }
    CNLabeledValue labeledValueBySettingLabelValue(const QString& label, const T& value) const
    {
        return {m_identifier, label, value};
    }

    static QString localizedStringForLabel(const QString& label) { return CNLocalizedStringForLabel(label); }

    friend bool operator==(const CNLabeledValue&, const CNLabeledValue&) = default;

    CNLabeledValue(CNEntryIdentifier identifier, const QString& label, T value)
        : m_identifier(std::move(identifier)), m_label(label), m_value(std::move(value))
    {
    }

private:
    CNLabeledValue(const CNEntryIdentifier& identifier, const CNLabelText& label, const T& value)
        : m_identifier(identifier), m_label(label), m_value(value)
    {
    }

    CNEntryIdentifier m_identifier;
    CNLabelText m_label;
    T m_value;
};
