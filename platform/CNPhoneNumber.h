#pragma once

#include <QString>

// A phone number as the user typed it; the text is kept unchanged.
class CNPhoneNumber
{
public:
    CNPhoneNumber() = default;
    explicit CNPhoneNumber(QString stringValue) : m_stringValue(std::move(stringValue)) {}

    static CNPhoneNumber phoneNumberWithStringValue(const QString& text) { return CNPhoneNumber(text); }

    const QString& stringValue() const { return m_stringValue; }

    friend bool operator==(const CNPhoneNumber&, const CNPhoneNumber&) = default;

private:
    QString m_stringValue;
};
