#include "CNContact.h"

#include "CNMutableContact.h"

QString CNMakeIdentifier()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

CNEntryIdentifier::CNEntryIdentifier(const QString& text)
{
    const QUuid uuid = QUuid::fromString(text);
    if (!uuid.isNull() && text.size() == 36 && uuid.toString(QUuid::WithoutBraces).toUpper() == text)
        m_uuid = uuid;
    else
        m_other = text;
}

QString CNEntryIdentifier::text() const
{
    if (!m_other.isNull() || m_uuid.isNull())
        return m_other;
    return m_uuid.toString(QUuid::WithoutBraces).toUpper();
}

CNKeySet CNKeySetFromKeys(const QStringList& keys)
{
    CNKeySet set;
    for (const QString& key : keys) {
        if (const auto id = CNKeyIdForName(key))
            set.set(static_cast<size_t>(*id));
    }
    set.set(static_cast<size_t>(CNKeyId::Identifier));
    return set;
}

CNKeySet CNAllKeysSet()
{
    CNKeySet set;
    set.set();
    return set;
}

CNContactPropertyNotFetchedException::CNContactPropertyNotFetchedException(const QString& key)
    : std::runtime_error("A property was not requested when the contact was fetched: " + key.toStdString()), m_key(key)
{
}

QString CNContactPropertyNotFetchedException::description() const
{
    return QStringLiteral("CNPropertyNotFetchedException: A property was not requested when contact was fetched (%1).")
        .arg(m_key);
}

CNContact::CNContact() : m_available(CNAllKeysSet())
{
    d.identifier = CNMakeIdentifier();
}

CNContact::CNContact(CNContactData data, CNKeySet availableKeys) : d(std::move(data)), m_available(availableKeys)
{
    m_available.set(static_cast<size_t>(CNKeyId::Identifier));
}

CNContact::~CNContact() = default;

void CNContact::require(CNKeyId key) const
{
    if (!isKeyAvailable(key))
        throw CNContactPropertyNotFetchedException(CNKeyName(key));
}

#define KQ_CHECKED_GETTER(type, name, key)                                                                             \
    type CNContact::name() const                                                                                       \
    {                                                                                                                  \
        require(CNKeyId::key);                                                                                         \
        return d.name;                                                                                                 \
    }

KQ_CHECKED_GETTER(CNContactType, contactType, Type)
KQ_CHECKED_GETTER(const QString&, namePrefix, NamePrefix)
KQ_CHECKED_GETTER(const QString&, givenName, GivenName)
KQ_CHECKED_GETTER(const QString&, middleName, MiddleName)
KQ_CHECKED_GETTER(const QString&, familyName, FamilyName)
KQ_CHECKED_GETTER(const QString&, previousFamilyName, PreviousFamilyName)
KQ_CHECKED_GETTER(const QString&, nameSuffix, NameSuffix)
KQ_CHECKED_GETTER(const QString&, nickname, Nickname)
KQ_CHECKED_GETTER(const QString&, organizationName, OrganizationName)
KQ_CHECKED_GETTER(const QString&, departmentName, DepartmentName)
KQ_CHECKED_GETTER(const QString&, jobTitle, JobTitle)
KQ_CHECKED_GETTER(const QString&, phoneticGivenName, PhoneticGivenName)
KQ_CHECKED_GETTER(const QString&, phoneticMiddleName, PhoneticMiddleName)
KQ_CHECKED_GETTER(const QString&, phoneticFamilyName, PhoneticFamilyName)
KQ_CHECKED_GETTER(const QString&, phoneticOrganizationName, PhoneticOrganizationName)
KQ_CHECKED_GETTER(const std::optional<CNDateComponents>&, birthday, Birthday)
KQ_CHECKED_GETTER(const std::optional<CNDateComponents>&, nonGregorianBirthday, NonGregorianBirthday)
KQ_CHECKED_GETTER(const QString&, note, Note)
KQ_CHECKED_GETTER(const QByteArray&, imageData, ImageData)
KQ_CHECKED_GETTER(const QByteArray&, thumbnailImageData, ThumbnailImageData)
KQ_CHECKED_GETTER(const CNPhoneNumberList&, phoneNumbers, PhoneNumbers)
KQ_CHECKED_GETTER(const CNStringValueList&, emailAddresses, EmailAddresses)
KQ_CHECKED_GETTER(const CNPostalAddressList&, postalAddresses, PostalAddresses)
KQ_CHECKED_GETTER(const CNDateList&, dates, Dates)
KQ_CHECKED_GETTER(const CNStringValueList&, urlAddresses, UrlAddresses)
KQ_CHECKED_GETTER(const CNRelationList&, contactRelations, Relations)
KQ_CHECKED_GETTER(const CNSocialProfileList&, socialProfiles, SocialProfiles)
KQ_CHECKED_GETTER(const CNInstantMessageList&, instantMessageAddresses, InstantMessageAddresses)

#undef KQ_CHECKED_GETTER

bool CNContact::imageDataAvailable() const
{
    require(CNKeyId::ImageDataAvailable);
    return !d.imageData.isEmpty();
}

bool CNContact::isKeyAvailable(const QString& key) const
{
    const auto id = CNKeyIdForName(key);
    return id && isKeyAvailable(*id);
}

bool CNContact::areKeysAvailable(const QStringList& keys) const
{
    for (const QString& key : keys) {
        if (!isKeyAvailable(key))
            return false;
    }
    return true;
}

std::shared_ptr<CNContact> CNContact::copy() const
{
    return std::make_shared<CNContact>(d, m_available);
}

std::shared_ptr<CNMutableContact> CNContact::mutableCopy() const
{
    return std::make_shared<CNMutableContact>(d, m_available);
}

void CNMutableContact::setImageData(const QByteArray& v)
{
    set(CNKeyId::ImageData, d.imageData, v);
    m_available.set(static_cast<size_t>(CNKeyId::ImageDataAvailable));
}
