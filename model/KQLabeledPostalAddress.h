#pragma once

#include "model/KQLabeledValueHelper.h"

#include <optional>

// A postal address entry. The first change of any field makes an editable copy of the stored
// address; reads go to that copy from then on.
class KQLabeledPostalAddress : public KQLabeledValueHelper
{
    Q_OBJECT
    Q_PROPERTY(QString formatPostalAddresses READ formatPostalAddresses NOTIFY valueChanged)
public:
    explicit KQLabeledPostalAddress(const KQAnyLabeledValue& labeledValue);

    const CNPostalAddress& postalAddresses() const { return m_address; }
    const std::optional<CNPostalAddress>& mutablePostalAddresses() const { return m_mutable; }
    const CNPostalAddress& effectivePostalAddresses() const { return m_mutable ? *m_mutable : m_address; }

    QString street() const { return effectivePostalAddresses().street; }
    QString city() const { return effectivePostalAddresses().city; }
    QString subLocality() const { return effectivePostalAddresses().subLocality; }
    QString state() const { return effectivePostalAddresses().state; }
    QString postalCode() const { return effectivePostalAddresses().postalCode; }
    QString country() const { return effectivePostalAddresses().country; }
    QString isoCountryCode() const { return effectivePostalAddresses().isoCountryCode; }
    QString subAdministrativeArea() const { return effectivePostalAddresses().subAdministrativeArea; }
    void setStreet(const QString& value);
    void setCity(const QString& value);
    void setSubLocality(const QString& value);
    void setState(const QString& value);
    void setPostalCode(const QString& value);
    void setCountry(const QString& value);
    void setIsoCountryCode(const QString& value);
    void setSubAdministrativeArea(const QString& value);

    // The address in mailing style, lines separated by line breaks.
    QString formatPostalAddresses() const;

    KQAnyLabeledValue editedLabeledValue() const override;
    QString valueString() const override;
    // The eight fields by the text rule; the label is not compared.
    bool isEqualToValue(const KQLabeledValueHelper* other) const override;

    // Country names of the current locale, sorted; and lookups between names and ISO codes.
    static QStringList availableCountryOrRegionNames();
    static std::optional<QString> countryOrRegionNameFromCode(const QString& code);
    static std::optional<QString> countryOrRegionCodeFromName(const QString& name);

private:
    void setField(QString CNPostalAddress::*field, const QString& value);

    CNPostalAddress m_address;
    std::optional<CNPostalAddress> m_mutable;
};
