#include "model/KQLabeledInstantMsg.h"

namespace {

const QList<QString>& offeredServices()
{
    // Never destroyed: workers may still read it while the program exits.
    static const QList<QString>& services = *new QList<QString>{
        CNInstantMessageServiceAIM,        CNInstantMessageServiceFacebook, CNInstantMessageServiceGaduGadu,
        CNInstantMessageServiceGoogleTalk, CNInstantMessageServiceICQ,      CNInstantMessageServiceJabber,
        CNInstantMessageServiceMSN,        CNInstantMessageServiceSkype,    CNInstantMessageServiceQQ,
        CNInstantMessageServiceYahoo};
    return services;
}

} // namespace

KQLabeledInstantMsg::KQLabeledInstantMsg(const KQAnyLabeledValue& labeledValue) : KQLabeledValueHelper(labeledValue)
{
    if (const auto* v = std::get_if<CNLabeledValue<CNInstantMessageAddress>>(&labeledValue)) {
        m_address = v->value();
        m_usrName = v->value().username;
        m_serviceName = CNLocalizedStringForInstantMessageService(v->value().service);
    }
}

void KQLabeledInstantMsg::setUsrName(const QString& name)
{
    m_usrName = name;
    Q_EMIT valueChanged();
    labelValueDidChanged();
}

void KQLabeledInstantMsg::setServiceName(const QString& name)
{
    m_serviceName = name;
    Q_EMIT valueChanged();
    labelValueDidChanged();
}

KQAnyLabeledValue KQLabeledInstantMsg::editedLabeledValue() const
{
    const QString service = m_serviceName.isEmpty() ? QString() : seriveNameForLocalString(m_serviceName);
    return CNLabeledValue<CNInstantMessageAddress>(entryIdentifier(), label(),
                                                   CNInstantMessageAddress(m_usrName, service));
}

QString KQLabeledInstantMsg::valueString() const
{
    if (m_serviceName.isEmpty())
        return m_usrName;
    if (m_usrName.isEmpty())
        return m_serviceName;
    return m_serviceName + QLatin1Char(' ') + m_usrName;
}

QStringList KQLabeledInstantMsg::availableServices()
{
    QStringList names;
    for (const QString& service : offeredServices())
        names.append(CNLocalizedStringForInstantMessageService(service));
    return names;
}

QString KQLabeledInstantMsg::seriveNameForLocalString(const QString& text)
{
    for (const QString& service : offeredServices()) {
        if (CNLocalizedStringForInstantMessageService(service) == text)
            return service;
    }
    return text;
}
