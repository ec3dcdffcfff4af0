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
    void setNamePrefix(const QString& v) { set(CNKeyId::NamePrefix, d.namePrefix, v); }
    void setGivenName(const QString& v) { set(CNKeyId::GivenName, d.givenName, v); }
    void setMiddleName(const QString& v) { set(CNKeyId::MiddleName, d.middleName, v); }
    void setFamilyName(const QString& v) { set(CNKeyId::FamilyName, d.familyName, v); }
    void setPreviousFamilyName(const QString& v) { set(CNKeyId::PreviousFamilyName, d.previousFamilyName, v); }
    void setNameSuffix(const QString& v) { set(CNKeyId::NameSuffix, d.nameSuffix, v); }
    void setNickname(const QString& v) { set(CNKeyId::Nickname, d.nickname, v); }
    void setOrganizationName(const QString& v) { set(CNKeyId::OrganizationName, d.organizationName, v); }
    void setDepartmentName(const QString& v) { set(CNKeyId::DepartmentName, d.departmentName, v); }
    void setJobTitle(const QString& v) { set(CNKeyId::JobTitle, d.jobTitle, v); }
    void setPhoneticGivenName(const QString& v) { set(CNKeyId::PhoneticGivenName, d.phoneticGivenName, v); }
    void setPhoneticMiddleName(const QString& v) { set(CNKeyId::PhoneticMiddleName, d.phoneticMiddleName, v); }
    void setPhoneticFamilyName(const QString& v) { set(CNKeyId::PhoneticFamilyName, d.phoneticFamilyName, v); }
    void setPhoneticOrganizationName(const QString& v)
    {
        set(CNKeyId::PhoneticOrganizationName, d.phoneticOrganizationName, v);
    }
    void setBirthday(const std::optional<CNDateComponents>& v) { set(CNKeyId::Birthday, d.birthday, v); }
    void setNonGregorianBirthday(const std::optional<CNDateComponents>& v)
    {
        set(CNKeyId::NonGregorianBirthday, d.nonGregorianBirthday, v);
    }
    void setNote(const QString& v) { set(CNKeyId::Note, d.note, v); }
    void setImageData(const QByteArray& v);
    void setThumbnailImageData(const QByteArray& v) { set(CNKeyId::ThumbnailImageData, d.thumbnailImageData, v); }
    void setPhoneNumbers(const CNPhoneNumberList& v) { set(CNKeyId::PhoneNumbers, d.phoneNumbers, v); }
    void setEmailAddresses(const CNStringValueList& v) { set(CNKeyId::EmailAddresses, d.emailAddresses, v); }
    void setPostalAddresses(const CNPostalAddressList& v) { set(CNKeyId::PostalAddresses, d.postalAddresses, v); }
    void setDates(const CNDateList& v) { set(CNKeyId::Dates, d.dates, v); }
    void setUrlAddresses(const CNStringValueList& v) { set(CNKeyId::UrlAddresses, d.urlAddresses, v); }
    void setContactRelations(const CNRelationList& v) { set(CNKeyId::Relations, d.contactRelations, v); }
    void setSocialProfiles(const CNSocialProfileList& v) { set(CNKeyId::SocialProfiles, d.socialProfiles, v); }
    void setInstantMessageAddresses(const CNInstantMessageList& v)
    {
        set(CNKeyId::InstantMessageAddresses, d.instantMessageAddresses, v);
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
};

using CNMutableContactPtr = std::shared_ptr<CNMutableContact>;
