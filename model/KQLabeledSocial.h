#pragma once

#include "model/KQLabeledValueHelper.h"

#include <optional>

class KQLabeledSocial : public KQLabeledValueHelper
{
    Q_OBJECT
    Q_PROPERTY(QString usrName READ usrName WRITE setUsrName NOTIFY valueChanged)
    Q_PROPERTY(QString urlString READ urlString WRITE setUrlString NOTIFY valueChanged)
    Q_PROPERTY(QString usrIdentifier READ usrIdentifier WRITE setUsrIdentifier NOTIFY valueChanged)
public:
    explicit KQLabeledSocial(const KQAnyLabeledValue& labeledValue);

    const std::optional<CNSocialProfile>& socialProfile() const { return m_profile; }
    const QString& usrName() const { return m_usrName; }
    void setUsrName(const QString& name);
    const QString& urlString() const { return m_urlString; }
    void setUrlString(const QString& url);
    const QString& usrIdentifier() const { return m_usrIdentifier; }
    void setUsrIdentifier(const QString& identifier);

    // The service of the profile is the label's text.
    KQAnyLabeledValue editedLabeledValue() const override;
    // "user name NAME", then "|url URL" ("url URL" without a user name).
    QString valueString() const override;

private:
    std::optional<CNSocialProfile> m_profile;
    QString m_usrName;
    QString m_urlString;
    QString m_usrIdentifier;
};
