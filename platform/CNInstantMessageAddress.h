#pragma once

#include <QString>

class CNInstantMessageAddress
{
public:
    CNInstantMessageAddress() = default;
    CNInstantMessageAddress(QString user, QString serviceName)
        : username(std::move(user)), service(std::move(serviceName))
    {
    }

    QString username;
    QString service;

    friend bool operator==(const CNInstantMessageAddress&, const CNInstantMessageAddress&) = default;
};
