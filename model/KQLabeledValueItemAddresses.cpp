#include "model/KQLabeledValueItemAddresses.h"

KQLabeledValueItemAddresses::KQLabeledValueItemAddresses(const KQLabeledValueHelperPtr& entry, bool editable)
    : m_entry(entry), m_editable(editable)
{
    if (KQLabeledPostalAddress* address = postalAddresses()) {
        m_countryCode = address->isoCountryCode();
        connect(address, &KQLabeledValueHelper::valueChanged, this, [this] {
            if (!m_settingCode)
                m_countryCode = postalAddresses()->isoCountryCode();
        });
    }
}

KQLabeledPostalAddress* KQLabeledValueItemAddresses::postalAddresses() const
{
    return qobject_cast<KQLabeledPostalAddress*>(m_entry.get());
}

void KQLabeledValueItemAddresses::setCountryCode(const QString& code)
{
    m_countryCode = code;
    if (KQLabeledPostalAddress* address = postalAddresses()) {
        m_settingCode = true;
        address->setIsoCountryCode(code);
        m_settingCode = false;
    }
}

bool KQLabeledValueItemAddresses::hiddenSubLocality() const
{
    return !m_editable || (m_countryCode != QLatin1String("CN") && m_countryCode != QLatin1String("CHN"));
}

bool KQLabeledValueItemAddresses::hiddenState() const
{
    return !m_editable || m_countryCode == QLatin1String("GB") || m_countryCode == QLatin1String("GBR");
}

bool KQLabeledValueItemAddresses::hiddenSubAdministrativeArea() const
{
    return !m_editable || (m_countryCode != QLatin1String("GB") && m_countryCode != QLatin1String("GBR"));
}

int KQLabeledValueItemAddresses::addressLineCount() const
{
    const KQLabeledPostalAddress* address = postalAddresses();
    if (address == nullptr)
        return 0;
    const QString formatted = address->formatPostalAddresses();
    int lines = formatted.isEmpty() ? 0 : static_cast<int>(formatted.count(QLatin1Char('\n'))) + 1;
    if (m_editable) {
        // One more line for each empty field the form still shows a box for.
        lines += address->street().isEmpty() ? 1 : 0;
        lines += address->country().isEmpty() ? 1 : 0;
        lines += (address->state().isEmpty() && !hiddenState()) ? 1 : 0;
        lines += address->postalCode().isEmpty() ? 1 : 0;
        lines += (address->city().isEmpty() && address->subLocality().isEmpty()) ? 1 : 0;
    }
    return lines;
}

int KQLabeledValueItemAddresses::height() const
{
    return std::max(106, addressLineCount() * (m_editable ? 20 : 18));
}
