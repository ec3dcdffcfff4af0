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
#include <QByteArrayView>
#include <QExplicitlySharedDataPointer>
#include <QString>
#include <QStringList>
#include <array>
#include <atomic>
#include <bitset>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <utility>
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

// The multi-valued fields that a store may hand a contact in the value codec's form, to be decoded
// on first access: a list shows names, and most of its contacts are never opened.
enum class CNCodedList : quint8
{
    PhoneNumbers = 0,
    EmailAddresses = 1,
    PostalAddresses = 2
};
constexpr int CNCodedListCount = 3;
// One coded field per CNCodedList; an empty view for a field that is empty or not given coded.
using CNCodedLists = std::array<QByteArrayView, CNCodedListCount>;

// A short text kept as UTF-8 in one block that its copies share: one pointer where it is empty,
// as for most contacts, and little more where it is not.
class CNCompactText
{
public:
    CNCompactText() = default;
    CNCompactText(const QString& text); // NOLINT: stands for the text, so converts like it
    CNCompactText(const CNCompactText& other);
    CNCompactText(CNCompactText&& other) noexcept : m_block(std::exchange(other.m_block, nullptr)) {}
    CNCompactText& operator=(const CNCompactText& other);
    CNCompactText& operator=(CNCompactText&& other) noexcept;
    ~CNCompactText();

    bool isEmpty() const { return m_block == nullptr; }
    QString toString() const;

    friend bool operator==(const CNCompactText& a, const CNCompactText& b);

private:
    struct Block;
    Block* m_block = nullptr;
};

// The fields most contacts leave empty: kept out of line, so that a contact with none of them
// carries one null pointer for all of them instead of about 500 bytes.
struct CNContactRareFields
{
    QString namePrefix;
    QString middleName;
    QString previousFamilyName;
    QString nameSuffix;
    QString nickname;
    QString phoneticGivenName;
    QString phoneticMiddleName;
    QString phoneticFamilyName;
    QString phoneticOrganizationName;
    std::optional<CNDateComponents> birthday;
    std::optional<CNDateComponents> nonGregorianBirthday;
    CNDateList dates;
    CNStringValueList urlAddresses;
    CNRelationList contactRelations;
    CNSocialProfileList socialProfiles;
    CNInstantMessageList instantMessageAddresses;

    friend bool operator==(const CNContactRareFields&, const CNContactRareFields&) = default;
};

// The rare fields of one contact: nothing until one of them is written. Copies share the block
// until one of them writes, as Qt's own value classes do.
class CNContactRareBlock
{
public:
    const CNContactRareFields& get() const { return m_block ? m_block->fields : empty(); }
    bool isAllocated() const { return static_cast<bool>(m_block); }
    // The fields to write, in a block of this holder's own.
    CNContactRareFields& edit();

    friend bool operator==(const CNContactRareBlock& a, const CNContactRareBlock& b)
    {
        return a.m_block == b.m_block || a.get() == b.get();
    }

private:
    struct Shared : QSharedData
    {
        CNContactRareFields fields;
    };
    static const CNContactRareFields& empty();

    QExplicitlySharedDataPointer<Shared> m_block;
};

// Every field of a contact as plain data. The store, the archiver and the vCard reader build
// contacts from it; the program reads contacts through CNContact. The rare fields are read through
// rare() and written through editRare().
struct CNContactData
{
    QString identifier;
    CNContactType contactType = CNContactType::Person;
    QString givenName;
    QString familyName;
    QString organizationName;
    QString departmentName;
    QString jobTitle;
    QString note;
    QByteArray imageData;
    QByteArray thumbnailImageData;
    CNPhoneNumberList phoneNumbers;
    CNStringValueList emailAddresses;
    CNPostalAddressList postalAddresses;
    CNContactRareBlock rareFields;
    // The UID of the vCard the contact was read from, kept so that an export or a later
    // synchronisation can name the same card; empty for a contact that came from no card. It is
    // an identity, not content: content comparisons leave it out.
    CNCompactText cardUID;

    const CNContactRareFields& rare() const { return rareFields.get(); }
    CNContactRareFields& editRare() { return rareFields.edit(); }
    // Writes one rare field; a contact without the block gets one only for a value that is not empty.
    template <typename T, typename V> void setRare(T CNContactRareFields::*field, V&& value)
    {
        T v(std::forward<V>(value));
        if (rareFields.isAllocated() || !(v == T{}))
            editRare().*field = std::move(v);
    }

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
    // For stores and readers: a contact whose fields fill(CNContactData&, CNKeySet&) writes in
    // place, before anyone else sees it; a list of a hundred thousand contacts is built without
    // moving each one's fields in from elsewhere. fill may take keys whose fields it cannot read
    // out of the set.
    template <typename Fill> static std::shared_ptr<CNContact> make(CNKeySet availableKeys, Fill&& fill)
    {
        auto contact = std::make_shared<CNContact>(InPlace{}, availableKeys);
        fill(contact->d, contact->m_available);
        contact->m_available.set(static_cast<size_t>(CNKeyId::Identifier));
        return contact;
    }
    // As make(), into this contact, which first loses every field it had: a store's reader hands
    // one contact out for row after row when its caller only reads each row once.
    template <typename Fill> void refill(CNKeySet availableKeys, Fill&& fill)
    {
        clearForRefill(availableKeys);
        fill(d, m_available);
        m_available.set(static_cast<size_t>(CNKeyId::Identifier));
    }
    virtual ~CNContact();
    CNContact(const CNContact&);
    CNContact& operator=(const CNContact&);

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
    // Whether a multi-valued field holds any entry, without decoding a field that waits coded;
    // false for a field that was not fetched or a key that names no multi-valued field.
    bool hasValues(CNKeyId key) const;
    // The UID of the card this contact was read from; empty when it came from no card.
    QString cardUID() const { return d.cardUID.toString(); }

    bool isKeyAvailable(const QString& key) const;
    bool isKeyAvailable(CNKeyId key) const { return m_available.test(static_cast<size_t>(key)); }
    bool areKeysAvailable(const QStringList& keys) const;
    // True when every key was fetched; otherwise false with a PropertyNotFetched error naming the
    // first missing key.
    bool checkKeys(std::initializer_list<CNKeyId> keys, CNError* error) const;
    const CNKeySet& availableKeys() const { return m_available; }

    // Unchecked access to every field, for the store, the archiver and serializers. The image
    // bytes of a contact whose image is read on first use are not in it: see loadedImageData().
    const CNContactData& data() const
    {
        decodeCodedLists(AllCodedLists);
        return d;
    }

    // The image bytes, read now if the contact's store left them for later; unchecked.
    const QByteArray& loadedImageData() const;
    // For stores: the image bytes are read by load on the first access to them (from any thread,
    // once); until then the contact has an image. Setting the image data replaces the loader.
    void setImageLoader(std::function<QByteArray()> load);
    // For stores, before anyone else sees the contact: the fields given coded (checked with
    // CNContactValueCodec::check, and holding at least one entry) are decoded on the first access
    // to them, from any thread, once. The bytes are copied.
    void setCodedLists(const CNCodedLists& coded);

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
    friend bool operator==(const CNContact& a, const CNContact& b);

protected:
    // The image is replaced: the loader, if any, is dropped.
    void imageDataWasSet();
    // The field is replaced: its coded form, if it is still waiting, is dropped.
    void codedListWasSet(CNCodedList list);

    static constexpr quint8 AllCodedLists = (1U << CNCodedListCount) - 1;
    static constexpr quint8 codedListBit(CNCodedList list) { return static_cast<quint8>(1U << static_cast<int>(list)); }
    // Decodes those of the fields (a mask of codedListBit) that are still waiting.
    void decodeCodedLists(quint8 lists) const
    {
        if (m_codedListsWaiting.load(std::memory_order_acquire) & lists)
            decodeWaitingLists(lists);
    }

    CNContactData d;
    CNKeySet m_available;

private:
    struct InPlace
    {
    };

public:
    // Only make() can name the tag: the fields are empty until it fills them.
    CNContact(InPlace, CNKeySet availableKeys);

private:
    struct LazyImage;
    struct CodedBytes;
    void clearForRefill(CNKeySet availableKeys);
    void decodeWaitingLists(quint8 lists) const;
    void dropCodedLists();
    // Shared by the copies of the contact, so that the bytes are read at most once. One pointer:
    // a list holds hundreds of thousands of contacts.
    QExplicitlySharedDataPointer<LazyImage> m_lazyImage;
    // The coded fields not decoded yet: the bits say which, and the block holds their bytes. The
    // block is read only under the lock that decoding takes, or by the contact's one writer.
    mutable std::atomic<quint8> m_codedListsWaiting{0};
    mutable CodedBytes* m_codedLists = nullptr;
};

using CNContactPtr = std::shared_ptr<CNContact>;
using CNContactList = std::vector<CNContactPtr>;
