#pragma once

#include <QString>

// A postal address. Plain value: every field may be set (the editable form is the same class).
class CNPostalAddress
{
public:
    QString street;
    QString subLocality;
    QString city;
    QString subAdministrativeArea;
    QString state;
    QString postalCode;
    QString country;
    QString isoCountryCode;

    bool isEmpty() const
    {
        return street.isEmpty() && subLocality.isEmpty() && city.isEmpty() && subAdministrativeArea.isEmpty() &&
               state.isEmpty() && postalCode.isEmpty() && country.isEmpty() && isoCountryCode.isEmpty();
    }

    friend bool operator==(const CNPostalAddress&, const CNPostalAddress&) = default;
};
