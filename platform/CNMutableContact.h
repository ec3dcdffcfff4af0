#pragma once

#include "platform/CNContact.h"

// An editable contact. Setting a field makes it available, so that a contact built field by field
// can be saved and read back.
class CNMutableContact : public CNContact
{
public:
    CNMutableContact() = default;
    CNMutableContact(CNContactData data, CNKeySet availableKeys) : CNContact(std::move(data), availableKeys) {}

    void setContactType(const CNContactType& v) { set(CNKeyId::Type, d.contactType, v); }
    void setNamePrefix(const QString& v) { setRare(CNKeyId::NamePrefix, &CNContactRareFields::namePrefix, v); }
    void setGivenName(const QString& v) { set(CNKeyId::GivenName, d.givenName, v); }
    void setMiddleName(const QString& v) { setRare(CNKeyId::MiddleName, &CNContactRareFields::middleName, v); }
    void setFamilyName(const QString& v) { set(CNKeyId::FamilyName, d.familyName, v); }
    void setPreviousFamilyName(const QString& v)
    {
        setRare(CNKeyId::PreviousFamilyName, &CNContactRareFields::previousFamilyName, v);
    }
    void setNameSuffix(const QString& v) { setRare(CNKeyId::NameSuffix, &CNContactRareFields::nameSuffix, v); }
    void setNickname(const QString& v) { setRare(CNKeyId::Nickname, &CNContactRareFields::nickname, v); }
    void setOrganizationName(const QString& v) { set(CNKeyId::OrganizationName, d.organizationName, v); }
    void setDepartmentName(const QString& v) { set(CNKeyId::DepartmentName, d.departmentName, v); }
    void setJobTitle(const QString& v) { set(CNKeyId::JobTitle, d.jobTitle, v); }
    void setPhoneticGivenName(const QString& v)
    {
        setRare(CNKeyId::PhoneticGivenName, &CNContactRareFields::phoneticGivenName, v);
    }
    void setPhoneticMiddleName(const QString& v)
    {
        setRare(CNKeyId::PhoneticMiddleName, &CNContactRareFields::phoneticMiddleName, v);
    }
    void setPhoneticFamilyName(const QString& v)
    {
        setRare(CNKeyId::PhoneticFamilyName, &CNContactRareFields::phoneticFamilyName, v);
    }
    void setPhoneticOrganizationName(const QString& v)
    {
        setRare(CNKeyId::PhoneticOrganizationName, &CNContactRareFields::phoneticOrganizationName, v);
    }
    void setBirthday(const std::optional<CNDateComponents>& v)
    {
        setRare(CNKeyId::Birthday, &CNContactRareFields::birthday, v);
    }
    void setNonGregorianBirthday(const std::optional<CNDateComponents>& v)
    {
        setRare(CNKeyId::NonGregorianBirthday, &CNContactRareFields::nonGregorianBirthday, v);
    }
    void setNote(const QString& v) { set(CNKeyId::Note, d.note, v); }
    void setImageData(const QByteArray& v);
    void setThumbnailImageData(const QByteArray& v) { set(CNKeyId::ThumbnailImageData, d.thumbnailImageData, v); }
    void setPhoneNumbers(const CNPhoneNumberList& v)
    {
        setCoded(CNKeyId::PhoneNumbers, CNCodedList::PhoneNumbers, d.phoneNumbers, v);
    }
    void setEmailAddresses(const CNStringValueList& v)
    {
        setCoded(CNKeyId::EmailAddresses, CNCodedList::EmailAddresses, d.emailAddresses, v);
    }
    void setPostalAddresses(const CNPostalAddressList& v)
    {
        setCoded(CNKeyId::PostalAddresses, CNCodedList::PostalAddresses, d.postalAddresses, v);
    }
    void setDates(const CNDateList& v) { setRare(CNKeyId::Dates, &CNContactRareFields::dates, v); }
    void setUrlAddresses(const CNStringValueList& v)
    {
        setRare(CNKeyId::UrlAddresses, &CNContactRareFields::urlAddresses, v);
    }
    void setContactRelations(const CNRelationList& v)
    {
        setRare(CNKeyId::Relations, &CNContactRareFields::contactRelations, v);
    }
    void setSocialProfiles(const CNSocialProfileList& v)
    {
        setRare(CNKeyId::SocialProfiles, &CNContactRareFields::socialProfiles, v);
    }
    void setInstantMessageAddresses(const CNInstantMessageList& v)
    {
        setRare(CNKeyId::InstantMessageAddresses, &CNContactRareFields::instantMessageAddresses, v);
    }
    void setCardUID(const QString& uid) { d.cardUID = uid; }

    // Only the store and the archiver give a contact a known identifier.
    void setIdentifier(const QString& identifier) { d.identifier = identifier; }

private:
    template <typename T>
    void set(CNKeyId key, T& field, const T& value)
    {
        field = value;
        m_available.set(static_cast<size_t>(key));
    }
    // A field the store may have handed over coded: the coded form is dropped first.
    template <typename T> void setCoded(CNKeyId key, CNCodedList list, T& field, const T& value)
    {
        codedListWasSet(list);
        set(key, field, value);
    }
    // A contact without rare fields gets its block only when one of them is given a value.
    template <typename T> void setRare(CNKeyId key, T CNContactRareFields::*field, const T& value)
    {
        if (!(d.rare().*field == value))
            d.editRare().*field = value;
        m_available.set(static_cast<size_t>(key));
    }
};

using CNMutableContactPtr = std::shared_ptr<CNMutableContact>;
