#pragma once

#include <QString>

#include <memory>

// A group of contacts inside one account; a group may be the subgroup of one other group.
class CNGroup
{
public:
    CNGroup();
    CNGroup(QString identifier, QString name) : m_identifier(std::move(identifier)), m_name(std::move(name)) {}
    virtual ~CNGroup() = default;
    CNGroup(const CNGroup&) = default;
    CNGroup& operator=(const CNGroup&) = default;

    const QString& identifier() const { return m_identifier; }
    const QString& name() const { return m_name; }

    std::shared_ptr<class CNMutableGroup> mutableCopy() const;

    friend bool operator==(const CNGroup&, const CNGroup&) = default;

protected:
    QString m_identifier;
    QString m_name;
};

class CNMutableGroup : public CNGroup
{
public:
    CNMutableGroup() = default;
    explicit CNMutableGroup(const CNGroup& group) : CNGroup(group) {}
    void setName(const QString& name) { m_name = name; }
};

using CNGroupPtr = std::shared_ptr<CNGroup>;
using CNMutableGroupPtr = std::shared_ptr<CNMutableGroup>;
