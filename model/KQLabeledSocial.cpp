#include "model/KQLabeledSocial.h"

KQLabeledSocial::KQLabeledSocial(const KQAnyLabeledValue& labeledValue) : KQLabeledValueHelper(labeledValue)
{
    if (const auto* v = std::get_if<CNLabeledValue<CNSocialProfile>>(&labeledValue)) {
        m_profile = v->value();
        m_usrName = v->value().username;
        m_urlString = v->value().urlString;
        m_usrIdentifier = v->value().userIdentifier;
    }
}

void KQLabeledSocial::setUsrName(const QString& name)
{
    m_usrName = name;
    Q_EMIT valueChanged();
    labelValueDidChanged();
}

void KQLabeledSocial::setUrlString(const QString& url)
{
    m_urlString = url;
    Q_EMIT valueChanged();
    labelValueDidChanged();
}

void KQLabeledSocial::setUsrIdentifier(const QString& identifier)
{
    m_usrIdentifier = identifier;
    Q_EMIT valueChanged();
    labelValueDidChanged();
}

KQAnyLabeledValue KQLabeledSocial::editedLabeledValue() const
{
    return CNLabeledValue<CNSocialProfile>(entryIdentifier(), label(),
                                           CNSocialProfile(m_urlString, m_usrName, m_usrIdentifier, label()));
}

QString KQLabeledSocial::valueString() const
{
    QString text;
    if (!m_usrName.isEmpty())
        text = QStringLiteral("user name %1").arg(m_usrName);
    if (!m_urlString.isEmpty())
        text += text.isEmpty() ? QStringLiteral("url %1").arg(m_urlString) : QStringLiteral("|url %1").arg(m_urlString);
    return text;
}
