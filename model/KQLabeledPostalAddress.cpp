#include "model/KQLabeledPostalAddress.h"

#include "platform/CNPostalAddressFormatter.h"
#include "platform/KQCountryTable.h"

KQLabeledPostalAddress::KQLabeledPostalAddress(const KQAnyLabeledValue& labeledValue)
    : KQLabeledValueHelper(labeledValue)
{
    if (const auto* v = std::get_if<CNLabeledValue<CNPostalAddress>>(&labeledValue))
        m_address = v->value();
}

void KQLabeledPostalAddress::setField(QString CNPostalAddress::*field, const QString& value)
{
    if (!m_mutable)
        m_mutable = m_address;
    (*m_mutable).*field = value;
    Q_EMIT valueChanged();
    labelValueDidChanged();
}

void KQLabeledPostalAddress::setStreet(const QString& value)
{
    setField(&CNPostalAddress::street, value);
}
void KQLabeledPostalAddress::setCity(const QString& value)
{
    setField(&CNPostalAddress::city, value);
}
void KQLabeledPostalAddress::setSubLocality(const QString& value)
{
    setField(&CNPostalAddress::subLocality, value);
}
void KQLabeledPostalAddress::setState(const QString& value)
{
    setField(&CNPostalAddress::state, value);
}
void KQLabeledPostalAddress::setPostalCode(const QString& value)
{
    setField(&CNPostalAddress::postalCode, value);
}
void KQLabeledPostalAddress::setCountry(const QString& value)
{
    setField(&CNPostalAddress::country, value);
}
void KQLabeledPostalAddress::setIsoCountryCode(const QString& value)
{
    setField(&CNPostalAddress::isoCountryCode, value);
}
void KQLabeledPostalAddress::setSubAdministrativeArea(const QString& value)
{
    setField(&CNPostalAddress::subAdministrativeArea, value);
}

QString KQLabeledPostalAddress::formatPostalAddresses() const
{
    return CNPostalAddressFormatter::stringFromPostalAddress(effectivePostalAddresses());
}

KQAnyLabeledValue KQLabeledPostalAddress::editedLabeledValue() const
{
    if (!m_mutable)
        return originalLabeledValue();
    return CNLabeledValue<CNPostalAddress>(entryIdentifier(), label(), *m_mutable);
}

QString KQLabeledPostalAddress::valueString() const
{
    const KQAnyLabeledValue edited = editedLabeledValue();
    const auto* address = std::get_if<CNLabeledValue<CNPostalAddress>>(&edited);
    return address ? CNPostalAddressFormatter::stringFromPostalAddress(address->value()) : QString();
}

bool KQLabeledPostalAddress::isEqualToValue(const KQLabeledValueHelper* other) const
{
    const auto* address = qobject_cast<const KQLabeledPostalAddress*>(other);
    if (address == nullptr)
        return false;
    const CNPostalAddress& a = effectivePostalAddresses();
    const CNPostalAddress& b = address->effectivePostalAddresses();
    const auto same = [](const QString& x, const QString& y) {
        if (x.isEmpty() || y.isEmpty())
            return x.isEmpty() && y.isEmpty();
        return x == y;
    };
    return same(a.city, b.city) && same(a.street, b.street) && same(a.state, b.state) && same(a.country, b.country) &&
           same(a.postalCode, b.postalCode) && same(a.isoCountryCode, b.isoCountryCode) &&
           same(a.subLocality, b.subLocality) && same(a.subAdministrativeArea, b.subAdministrativeArea);
}

QStringList KQLabeledPostalAddress::availableCountryOrRegionNames()
{
    return KQCountryTable::names();
}

std::optional<QString> KQLabeledPostalAddress::countryOrRegionNameFromCode(const QString& code)
{
    return KQCountryTable::nameForCode(code);
}

std::optional<QString> KQLabeledPostalAddress::countryOrRegionCodeFromName(const QString& name)
{
    return KQCountryTable::codeForName(name);
}
