#pragma once

#include <QString>

// An account of the store (local, Exchange, CardDAV, ...).
enum class CNContainerType : int { Unassigned = 0, Local = 1, Exchange = 2, CardDAV = 3 };

class CNContainer
{
public:
    CNContainer() = default;
    CNContainer(QString identifier, QString name, CNContainerType type)
        : m_identifier(std::move(identifier)), m_name(std::move(name)), m_type(type)
    {
    }

    const QString& identifier() const { return m_identifier; }
    const QString& name() const { return m_name; }
    CNContainerType type() const { return m_type; }

    friend bool operator==(const CNContainer&, const CNContainer&) = default;

private:
    QString m_identifier;
    QString m_name;
    CNContainerType m_type = CNContainerType::Unassigned;
};
