#pragma once

#include <QString>

class CNContactRelation
{
public:
    CNContactRelation() = default;
    explicit CNContactRelation(QString relationName) : name(std::move(relationName)) {}

    QString name;

    friend bool operator==(const CNContactRelation&, const CNContactRelation&) = default;
};
