#include "platform/CNContact.h"

#include "platform/CNMutableContact.h"
#include "platform/CNUuidText.h"

#include <QRandomGenerator>
#include <array>
#include <type_traits>

namespace {

// Version 4 UUIDs without a system call for each one: a xoshiro256** generator per thread,
// seeded once from the system's random source.
class UuidGenerator
{
public:
    UuidGenerator()
    {
        for (quint64& word : m_state)
            word = QRandomGenerator::system()->generate64();
    }

    QUuid next()
    {
        quint64 hi = step();
        quint64 lo = step();
        hi = (hi & ~0xF000ULL) | 0x4000ULL;
        lo = (lo & ~(0xC0ULL << 56)) | (0x80ULL << 56);
        std::array<char, 16> bytes;
        for (int i = 0; i < 8; ++i) {
            bytes[static_cast<size_t>(i)] = static_cast<char>(hi >> (56 - 8 * i));
            bytes[static_cast<size_t>(8 + i)] = static_cast<char>(lo >> (56 - 8 * i));
        }
        return QUuid::fromRfc4122(QByteArrayView(bytes.data(), 16));
    }

private:
    static quint64 rotl(quint64 x, int k) { return (x << k) | (x >> (64 - k)); }
    quint64 step()
    {
        const quint64 result = rotl(m_state[1] * 5, 7) * 9;
        const quint64 t = m_state[1] << 17;
        m_state[2] ^= m_state[0];
        m_state[3] ^= m_state[1];
        m_state[1] ^= m_state[2];
        m_state[0] ^= m_state[3];
        m_state[2] ^= t;
        m_state[3] = rotl(m_state[3], 45);
        return result;
    }

    quint64 m_state[4];
};

QUuid makeUuid()
{
    thread_local UuidGenerator generator;
    return generator.next();
}

} // namespace

QString CNMakeIdentifier()
{
    const QByteArray bytes = makeUuid().toRfc4122();
    return CNUuidTextFromBytes(reinterpret_cast<const unsigned char*>(bytes.constData()));
}

CNEntryIdentifier::CNEntryIdentifier() : m_uuid(makeUuid()) {}

CNEntryIdentifier::CNEntryIdentifier(const QString& text)
{
    unsigned char bytes[16];
    if (CNUuidBytesFromText(text, bytes)) {
        m_uuid = QUuid::fromRfc4122(QByteArrayView(bytes, 16));
    } else {
        m_other = new Other;
        m_other->text = text;
    }
}

QString CNEntryIdentifier::text() const
{
    if (m_other)
        return m_other->text;
    if (m_uuid.isNull())
        return {};
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

namespace {
// What a field reads as when the contact was not fetched with it. Trivially empty values, so their
// destruction at exit leaves nothing a late reader could trip over.
template <typename T> const T kNotFetched{};
} // namespace

CNContact::CNContact() : m_available(CNAllKeysSet())
{
    d.identifier = CNMakeIdentifier();
}

CNContact::CNContact(CNContactData data, CNKeySet availableKeys) : d(std::move(data)), m_available(availableKeys)
{
    m_available.set(static_cast<size_t>(CNKeyId::Identifier));
}

CNContact::~CNContact() = default;

bool CNContact::checkKeys(std::initializer_list<CNKeyId> keys, CNError* error) const
{
    for (const CNKeyId key : keys) {
        if (!isKeyAvailable(key))
            return CNReportError(error, CNError::make(CNError::PropertyNotFetched,
                                                      QStringLiteral("A property was not requested when contact "
                                                                     "was fetched (%1).")
                                                          .arg(CNKeyName(key))));
    }
    return true;
}

#define KQ_CHECKED_GETTER(type, name, key)                                                                             \
    type CNContact::name() const                                                                                       \
    {                                                                                                                  \
        return isKeyAvailable(CNKeyId::key) ? d.name : kNotFetched<std::remove_cvref_t<type>>;                         \
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
    return isKeyAvailable(CNKeyId::ImageDataAvailable) && !d.imageData.isEmpty();
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
