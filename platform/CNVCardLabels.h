#pragma once
// How labels and services of labelled values appear in vCards: TYPE parameters for the standard
// labels, property names and URI schemes for instant-message services. Shared by the reader and
// the writer so that what one writes the other reads back as the same constant.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <vector>

enum class CNVCardValueKind
{
    Phone,
    Email,
    Address,
    Url,
    Date,
    Relation,
    InstantMessage,
    SocialProfile
};

// The label that a property's TYPE values stand for ("HOME", "WORK,FAX", "cell"); an empty text
// when they name no label. TYPE values that only qualify the value (pref, voice, internet, postal)
// are ignored; a single value that is no known type becomes the label text itself.
QString CNVCardLabelForTypes(CNVCardValueKind kind, const std::vector<QByteArrayView>& types);

// The TYPE values that stand for a label, comma-separated ("WORK,FAX"); empty when the label has
// no TYPE form and must be written as a group label (X-ABLabel).
QByteArray CNVCardTypesForLabel(CNVCardValueKind kind, const QString& label);

// Whether a TYPE value only qualifies a value (pref, voice, internet, ...) and names no label.
bool CNVCardIsQualifierType(QByteArrayView type);

// Instant-message services: from a service text (X-SERVICE-TYPE, "GTalk", "Gadu-Gadu"), from a URI
// scheme ("xmpp", "aim") and from a property name ("X-AIM", "X-GOOGLE-TALK"); empty when unknown
// (a service text that is no known service is returned unchanged).
QString CNVCardInstantMessageServiceForName(const QString& service);
QString CNVCardInstantMessageServiceForScheme(QByteArrayView scheme);
QString CNVCardInstantMessageServiceForProperty(QByteArrayView propertyName);
// The URI scheme written for a service ("x-im" for services without their own).
QByteArray CNVCardSchemeForInstantMessageService(const QString& service);

// Social-profile services by name, case-insensitively; an unknown name is returned unchanged.
QString CNVCardSocialProfileServiceForName(const QString& service);
