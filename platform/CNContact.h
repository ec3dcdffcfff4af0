#pragma once
// The store's contact: every field of the contact record, and which of them were fetched.
// Reading a field that the contact was not fetched with yields the empty value; callers that must
// tell "empty" from "not fetched" ask checkKeys(), which says which key is missing.

#include "platform/CNContactKeys.h"
#include "platform/CNContactRelation.h"
#include "platform/CNDateComponents.h"
#include "platform/CNError.h"
#include "platform/CNInstantMessageAddress.h"
#include "platform/CNLabeledValue.h"
#include "platform/CNPhoneNumber.h"
#include "platform/CNPostalAddress.h"
#include "platform/CNSocialProfile.h"
#include "platform/KQKeyedArchiver.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <bitset>
#include <initializer_list>
#include <memory>
#include <optional>
#include <vector>

class CNMutableContact;

enum class CNContactType : int
{
    Person = 0,
    Organization = 1
};

using CNPhoneNumberList = std::vector<CNLabeledValue<CNPhoneNumber>>;
using CNStringValueList = std::vector<CNLabeledValue<QString>>;
using CNPostalAddressList = std::vector<CNLabeledValue<CNPostalAddress>>;
using CNDateList = std::vector<CNLabeledValue<CNDateComponents>>;
using CNRelationList = std::vector<CNLabeledValue<CNContactRelation>>;
using CNSocialProfileList = std::vector<CNLabeledValue<CNSocialProfile>>;
using CNInstantMessageList = std::vector<CNLabeledValue<CNInstantMessageAddress>>;

// Every field of a contact as plain data. The store, the archiver and the vCard reader build
// contacts from it; the program reads contacts through CNContact.
struct CNContactData
{
    QString identifier;
    CNContactType contactType = CNContactType::Person;
    QString namePrefix;
    QString givenName;
    QString middleName;
    QString familyName;
    QString previousFamilyName;
    QString nameSuffix;
    QString nickname;
    QString organizationName;
    QString departmentName;
    QString jobTitle;
    QString phoneticGivenName;
    QString phoneticMiddleName;
    QString phoneticFamilyName;
    QString phoneticOrganizationName;
    std::optional<CNDateComponents> birthday;
    std::optional<CNDateComponents> nonGregorianBirthday;
    QString note;
    QByteArray imageData;
    QByteArray thumbnailImageData;
    CNPhoneNumberList phoneNumbers;
    CNStringValueList emailAddresses;
    CNPostalAddressList postalAddresses;
    CNDateList dates;
    CNStringValueList urlAddresses;
    CNRelationList contactRelations;
    CNSocialProfileList socialProfiles;
    CNInstantMessageList instantMessageAddresses;
    // The UID of the vCard the contact was read from, kept so that an export or a later
    // synchronisation can name the same card; empty for a contact that came from no card. It is
    // an identity, not content: content comparisons leave it out.
    QString cardUID;

    friend bool operator==(const CNContactData&, const CNContactData&) = default;
};

using CNKeySet = std::bitset<CNKeyCount>;

// The key set for a list of key names; names that are no contact key are ignored.
CNKeySet CNKeySetFromKeys(const QStringList& keys);
CNKeySet CNAllKeysSet();

class CNContact : public KQCoding
{
public:
    // A new, empty contact with a fresh identifier and every key available.
    CNContact();
    CNContact(CNContactData data, CNKeySet availableKeys);
    virtual ~CNContact();
    CNContact(const CNContact&) = default;
    CNContact& operator=(const CNContact&) = default;

    const QString& identifier() const { return d.identifier; }
    CNContactType contactType() const;
    const QString& namePrefix() const;
    const QString& givenName() const;
    const QString& middleName() const;
    const QString& familyName() const;
    const QString& previousFamilyName() const;
    const QString& nameSuffix() const;
    const QString& nickname() const;
    const QString& organizationName() const;
    const QString& departmentName() const;
    const QString& jobTitle() const;
    const QString& phoneticGivenName() const;
    const QString& phoneticMiddleName() const;
    const QString& phoneticFamilyName() const;
    const QString& phoneticOrganizationName() const;
    const std::optional<CNDateComponents>& birthday() const;
    const std::optional<CNDateComponents>& nonGregorianBirthday() const;
    const QString& note() const;
    const QByteArray& imageData() const;
    const QByteArray& thumbnailImageData() const;
    bool imageDataAvailable() const;
    const CNPhoneNumberList& phoneNumbers() const;
    const CNStringValueList& emailAddresses() const;
    const CNPostalAddressList& postalAddresses() const;
    const CNDateList& dates() const;
    const CNStringValueList& urlAddresses() const;
    const CNRelationList& contactRelations() const;
    const CNSocialProfileList& socialProfiles() const;
    const CNInstantMessageList& instantMessageAddresses() const;
    // The UID of the card this contact was read from; empty when it came from no card.
    const QString& cardUID() const { return d.cardUID; }

    bool isKeyAvailable(const QString& key) const;
    bool isKeyAvailable(CNKeyId key) const { return m_available.test(static_cast<size_t>(key)); }
    bool areKeysAvailable(const QStringList& keys) const;
    // True when every key was fetched; otherwise false with a PropertyNotFetched error naming the
    // first missing key.
    bool checkKeys(std::initializer_list<CNKeyId> keys, CNError* error) const;
    const CNKeySet& availableKeys() const { return m_available; }

    // Unchecked access to every field, for the store, the archiver and serializers.
    const CNContactData& data() const { return d; }

    // Keyed-archive form: class "CNContact" (or "CNMutableContact"), every field, and the fetched keys.
    QStringList archiveClassNames() const override;
    void encodeWithCoder(KQKeyedArchiver& coder) const override;
    // Registers the contact classes and their value classes with the unarchiver. Idempotent.
    static void registerArchiveClasses();
    // Class names a caller allows to decode a contact with all its values.
    static QSet<QString> archiveClasses();

    std::shared_ptr<CNContact> copy() const;
    std::shared_ptr<CNMutableContact> mutableCopy() const;

    // Same fields and same fetched keys (identifier included).
    friend bool operator==(const CNContact& a, const CNContact& b)
    {
        return a.m_available == b.m_available && a.d == b.d;
    }

protected:
    CNContactData d;
    CNKeySet m_available;
};

using CNContactPtr = std::shared_ptr<CNContact>;
using CNContactList = std::vector<CNContactPtr>;
