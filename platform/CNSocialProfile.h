#pragma once

#include <QString>

class CNSocialProfile
{
public:
    CNSocialProfile() = default;
    CNSocialProfile(QString url, QString user, QString userId, QString serviceName)
        : urlString(std::move(url)), username(std::move(user)), userIdentifier(std::move(userId)),
          service(std::move(serviceName))
    {
    }

    QString urlString;
    QString username;
    QString userIdentifier;
    QString service;

    friend bool operator==(const CNSocialProfile&, const CNSocialProfile&) = default;
};
