#pragma once

#include "model/KQLabeledValueHelper.h"

#include <optional>

class KQLabeledInstantMsg : public KQLabeledValueHelper
{
    Q_OBJECT
    Q_PROPERTY(QString usrName READ usrName WRITE setUsrName NOTIFY valueChanged)
    Q_PROPERTY(QString serviceName READ serviceName WRITE setServiceName NOTIFY valueChanged)
public:
    explicit KQLabeledInstantMsg(const KQAnyLabeledValue& labeledValue);

    const std::optional<CNInstantMessageAddress>& instantMsgAddress() const { return m_address; }
    const QString& usrName() const { return m_usrName; }
    void setUsrName(const QString& name);
    // The display text of the service.
    const QString& serviceName() const { return m_serviceName; }
    void setServiceName(const QString& name);

    KQAnyLabeledValue editedLabeledValue() const override;
    QString valueString() const override;

    // Display texts of the offered services, in menu order.
    static QStringList availableServices();
    // The service constant whose display text is text; text itself for a custom service.
    static QString seriveNameForLocalString(const QString& text);

private:
    std::optional<CNInstantMessageAddress> m_address;
    QString m_usrName;
    QString m_serviceName;
};
