// Keyed-archive form of contacts: one object per contact holding every fetched field under its key
// name, the list of fetched keys, and the multi-valued fields as arrays of labelled values.

#include "platform/CNContact.h"
#include "platform/CNMutableContact.h"

#include <array>
#include <limits>
#include <mutex>
#include <type_traits>

namespace {

const QString contactClass = QStringLiteral("CNContact");
const QString mutableContactClass = QStringLiteral("CNMutableContact");
const QString labeledValueClass = QStringLiteral("CNLabeledValue");
const QString objectClass = QStringLiteral("NSObject");
const QString availableKeysKey = QStringLiteral("availableKeys");
const QString labeledIdentifierKey = QStringLiteral("identifier");
const QString labeledLabelKey = QStringLiteral("label");
const QString labeledValueKey = QStringLiteral("value");

QString text(KQKeyedUnarchiver& coder, const QString& key)
{
    return coder.decodeString(key).value_or(QString());
}

// How each value class of a labelled value is named and written.
template <typename T> struct ValueTraits;

template <> struct ValueTraits<CNPhoneNumber>
{
    static QString className() { return QStringLiteral("CNPhoneNumber"); }
    static void encode(const CNPhoneNumber& v, KQKeyedArchiver& c) { c.encodeString(v.stringValue(), key()); }
    static CNPhoneNumber decode(KQKeyedUnarchiver& c) { return CNPhoneNumber(text(c, key())); }
    static QString key() { return QStringLiteral("stringValue"); }
};

template <> struct ValueTraits<CNPostalAddress>
{
    static QString className() { return QStringLiteral("CNPostalAddress"); }
    static auto fields()
    {
        using F = std::pair<const QString*, QString CNPostalAddress::*>;
        return std::array{F{&CNPostalAddressStreetKey, &CNPostalAddress::street},
                          F{&CNPostalAddressSubLocalityKey, &CNPostalAddress::subLocality},
                          F{&CNPostalAddressCityKey, &CNPostalAddress::city},
                          F{&CNPostalAddressSubAdministrativeAreaKey, &CNPostalAddress::subAdministrativeArea},
                          F{&CNPostalAddressStateKey, &CNPostalAddress::state},
                          F{&CNPostalAddressPostalCodeKey, &CNPostalAddress::postalCode},
                          F{&CNPostalAddressCountryKey, &CNPostalAddress::country},
                          F{&CNPostalAddressISOCountryCodeKey, &CNPostalAddress::isoCountryCode}};
    }
    static void encode(const CNPostalAddress& v, KQKeyedArchiver& c)
    {
        for (const auto& [key, member] : fields())
            c.encodeString(v.*member, *key);
    }
    static CNPostalAddress decode(KQKeyedUnarchiver& c)
    {
        CNPostalAddress v;
        for (const auto& [key, member] : fields())
            v.*member = text(c, *key);
        return v;
    }
};

template <> struct ValueTraits<CNSocialProfile>
{
    static QString className() { return QStringLiteral("CNSocialProfile"); }
    static void encode(const CNSocialProfile& v, KQKeyedArchiver& c)
    {
        c.encodeString(v.urlString, QStringLiteral("urlString"));
        c.encodeString(v.username, QStringLiteral("username"));
        c.encodeString(v.userIdentifier, QStringLiteral("userIdentifier"));
        c.encodeString(v.service, QStringLiteral("service"));
    }
    static CNSocialProfile decode(KQKeyedUnarchiver& c)
    {
        return CNSocialProfile(text(c, QStringLiteral("urlString")), text(c, QStringLiteral("username")),
                               text(c, QStringLiteral("userIdentifier")), text(c, QStringLiteral("service")));
    }
};

template <> struct ValueTraits<CNInstantMessageAddress>
{
    static QString className() { return QStringLiteral("CNInstantMessageAddress"); }
    static void encode(const CNInstantMessageAddress& v, KQKeyedArchiver& c)
    {
        c.encodeString(v.username, QStringLiteral("username"));
        c.encodeString(v.service, QStringLiteral("service"));
    }
    static CNInstantMessageAddress decode(KQKeyedUnarchiver& c)
    {
        return CNInstantMessageAddress(text(c, QStringLiteral("username")), text(c, QStringLiteral("service")));
    }
};

template <> struct ValueTraits<CNContactRelation>
{
    static QString className() { return QStringLiteral("CNContactRelation"); }
    static void encode(const CNContactRelation& v, KQKeyedArchiver& c)
    {
        c.encodeString(v.name, QStringLiteral("name"));
    }
    static CNContactRelation decode(KQKeyedUnarchiver& c) { return CNContactRelation(text(c, QStringLiteral("name"))); }
};

template <> struct ValueTraits<CNDateComponents>
{
    static QString className() { return QStringLiteral("NSDateComponents"); }
    static auto fields()
    {
        using F = std::pair<QString, std::optional<int> CNDateComponents::*>;
        return std::array{
            F{QStringLiteral("year"), &CNDateComponents::year}, F{QStringLiteral("month"), &CNDateComponents::month},
            F{QStringLiteral("day"), &CNDateComponents::day}, F{QStringLiteral("hour"), &CNDateComponents::hour},
            F{QStringLiteral("minute"), &CNDateComponents::minute}};
    }
    static QString calendarKey() { return QStringLiteral("calendar"); }
    static QString leapMonthKey() { return QStringLiteral("leapMonth"); }
    static void encode(const CNDateComponents& v, KQKeyedArchiver& c)
    {
        for (const auto& [key, member] : fields()) {
            if (v.*member)
                c.encodeInt(*(v.*member), key);
        }
        if (!v.calendarIdentifier.isEmpty())
            c.encodeString(v.calendarIdentifier, calendarKey());
        if (v.isLeapMonth)
            c.encodeBool(true, leapMonthKey());
    }
    static CNDateComponents decode(KQKeyedUnarchiver& c)
    {
        CNDateComponents v;
        for (const auto& [key, member] : fields()) {
            if (c.valueKindForKey(key) == KQArchiveValueKind::None)
                continue;
            const qint64 number = c.decodeInt(key);
            if (number < std::numeric_limits<int>::min() || number > std::numeric_limits<int>::max()) {
                c.failWithError(QStringLiteral("date part \"%1\" out of range").arg(key));
                return v;
            }
            v.*member = static_cast<int>(number);
        }
        v.calendarIdentifier = text(c, calendarKey());
        if (c.valueKindForKey(leapMonthKey()) != KQArchiveValueKind::None)
            v.isLeapMonth = c.decodeBool(leapMonthKey());
        return v;
    }
};

QStringList classChain(const QString& name)
{
    return {name, objectClass};
}

// A value of a labelled value (or a birthday) as an archivable object.
template <typename T> class ValueCoding final : public KQCoding
{
public:
    explicit ValueCoding(T v) : value(std::move(v)) {}
    QStringList archiveClassNames() const override { return classChain(ValueTraits<T>::className()); }
    void encodeWithCoder(KQKeyedArchiver& coder) const override { ValueTraits<T>::encode(value, coder); }

    static KQCodingPtr decode(KQKeyedUnarchiver& coder)
    {
        T v = ValueTraits<T>::decode(coder);
        if (coder.failed())
            return nullptr;
        return std::make_shared<ValueCoding<T>>(std::move(v));
    }

    T value;
};

const QSet<QString>& valueClasses()
{
    static const QSet<QString> classes{
        ValueTraits<CNPhoneNumber>::className(),     ValueTraits<CNPostalAddress>::className(),
        ValueTraits<CNSocialProfile>::className(),   ValueTraits<CNInstantMessageAddress>::className(),
        ValueTraits<CNContactRelation>::className(), ValueTraits<CNDateComponents>::className()};
    return classes;
}

// One labelled value; e-mail and URL values are plain strings, the others objects.
class LabeledValueCoding final : public KQCoding
{
public:
    QString identifier;
    QString label;
    std::optional<QString> stringValue;
    std::shared_ptr<const KQCoding> objectValue;

    QStringList archiveClassNames() const override { return classChain(labeledValueClass); }

    void encodeWithCoder(KQKeyedArchiver& coder) const override
    {
        coder.encodeString(identifier, labeledIdentifierKey);
        coder.encodeString(label, labeledLabelKey);
        if (stringValue)
            coder.encodeString(stringValue, labeledValueKey);
        else
            coder.encodeRetainedObject(objectValue, labeledValueKey);
    }

    static KQCodingPtr decode(KQKeyedUnarchiver& coder)
    {
        auto result = std::make_shared<LabeledValueCoding>();
        result->identifier = text(coder, labeledIdentifierKey);
        result->label = text(coder, labeledLabelKey);
        switch (coder.valueKindForKey(labeledValueKey)) {
        case KQArchiveValueKind::String:
            result->stringValue = coder.decodeString(labeledValueKey);
            break;
        case KQArchiveValueKind::Object:
            result->objectValue = coder.decodeObjectOfClasses(valueClasses(), labeledValueKey);
            break;
        default:
            coder.failWithError(QStringLiteral("a labeled value has no usable value"));
            break;
        }
        if (coder.failed())
            return nullptr;
        return result;
    }
};

template <typename T>
void encodeList(KQKeyedArchiver& coder, const std::vector<CNLabeledValue<T>>& list, const QString& key)
{
    std::vector<std::shared_ptr<const KQCoding>> items;
    items.reserve(list.size());
    for (const CNLabeledValue<T>& entry : list) {
        auto item = std::make_shared<LabeledValueCoding>();
        item->identifier = entry.identifier();
        item->label = entry.label();
        if constexpr (std::is_same_v<T, QString>)
            item->stringValue = entry.value();
        else
            item->objectValue = std::make_shared<ValueCoding<T>>(entry.value());
        items.push_back(std::move(item));
    }
    coder.encodeRetainedArray(std::move(items), key);
}

template <typename T>
void decodeList(KQKeyedUnarchiver& coder, std::vector<CNLabeledValue<T>>& list, const QString& key)
{
    static const QSet<QString> classes{labeledValueClass};
    const std::vector<KQCodingPtr> items = coder.decodeArrayOfClasses(classes, key);
    for (const KQCodingPtr& item : items) {
        const auto entry = std::dynamic_pointer_cast<LabeledValueCoding>(item);
        if (!entry)
            return coder.failWithError(QStringLiteral("%1: an entry is no labeled value").arg(key));
        if constexpr (std::is_same_v<T, QString>) {
            if (!entry->stringValue)
                return coder.failWithError(QStringLiteral("%1: an entry's value is not a string").arg(key));
            list.emplace_back(entry->identifier, entry->label, *entry->stringValue);
        } else {
            const auto value = std::dynamic_pointer_cast<const ValueCoding<T>>(entry->objectValue);
            if (!value)
                return coder.failWithError(
                    QStringLiteral("%1: an entry's value is not a %2").arg(key, ValueTraits<T>::className()));
            list.emplace_back(entry->identifier, entry->label, value->value);
        }
    }
}

void encodeDate(KQKeyedArchiver& coder, const std::optional<CNDateComponents>& date, const QString& key)
{
    if (date)
        coder.encodeRetainedObject(std::make_shared<ValueCoding<CNDateComponents>>(*date), key);
    else
        coder.encodeObject(nullptr, key);
}

std::optional<CNDateComponents> decodeDate(KQKeyedUnarchiver& coder, const QString& key)
{
    static const QSet<QString> classes{ValueTraits<CNDateComponents>::className()};
    const auto object = coder.decodeObjectOfClass<const ValueCoding<CNDateComponents>>(classes, key);
    if (!object) {
        if (!coder.failed() && coder.valueKindForKey(key) != KQArchiveValueKind::None)
            coder.failWithError(QStringLiteral("%1 is not a date").arg(key));
        return std::nullopt;
    }
    return object->value;
}

// The text fields in archive order; each is a field of the contact or one of its rare fields.
struct TextField
{
    CNKeyId key;
    QString CNContactData::*member = nullptr;
    QString CNContactRareFields::*rareMember = nullptr;

    const QString& of(const CNContactData& d) const { return member ? d.*member : d.rare().*rareMember; }
};

constexpr TextField textFields[] = {
    {CNKeyId::NamePrefix, nullptr, &CNContactRareFields::namePrefix},
    {CNKeyId::GivenName, &CNContactData::givenName},
    {CNKeyId::MiddleName, nullptr, &CNContactRareFields::middleName},
    {CNKeyId::FamilyName, &CNContactData::familyName},
    {CNKeyId::PreviousFamilyName, nullptr, &CNContactRareFields::previousFamilyName},
    {CNKeyId::NameSuffix, nullptr, &CNContactRareFields::nameSuffix},
    {CNKeyId::Nickname, nullptr, &CNContactRareFields::nickname},
    {CNKeyId::OrganizationName, &CNContactData::organizationName},
    {CNKeyId::DepartmentName, &CNContactData::departmentName},
    {CNKeyId::JobTitle, &CNContactData::jobTitle},
    {CNKeyId::PhoneticGivenName, nullptr, &CNContactRareFields::phoneticGivenName},
    {CNKeyId::PhoneticMiddleName, nullptr, &CNContactRareFields::phoneticMiddleName},
    {CNKeyId::PhoneticFamilyName, nullptr, &CNContactRareFields::phoneticFamilyName},
    {CNKeyId::PhoneticOrganizationName, nullptr, &CNContactRareFields::phoneticOrganizationName},
    {CNKeyId::Note, &CNContactData::note},
};

KQCodingPtr decodeContact(KQKeyedUnarchiver& coder, bool isMutable)
{
    CNContactData data;
    data.identifier = text(coder, CNContactIdentifierKey);
    if (!coder.failed() && data.identifier.isEmpty())
        coder.failWithError(QStringLiteral("a contact has no identifier"));
    if (!coder.failed() && coder.valueKindForKey(availableKeysKey) != KQArchiveValueKind::Object)
        coder.failWithError(QStringLiteral("a contact has no list of fetched keys"));
    const CNKeySet available = CNKeySetFromKeys(coder.decodeStringArray(availableKeysKey));
    const auto has = [&available](CNKeyId key) { return available.test(static_cast<size_t>(key)); };

    if (has(CNKeyId::Type)) {
        const qint64 type = coder.decodeInt(CNContactTypeKey);
        if (type != static_cast<int>(CNContactType::Person) && type != static_cast<int>(CNContactType::Organization))
            coder.failWithError(QStringLiteral("unknown contact type %1").arg(type));
        data.contactType = static_cast<CNContactType>(type);
    }
    // The rare fields are read aside: the contact gets a block for them only when one has a value.
    CNContactRareFields rare;
    for (const TextField& field : textFields) {
        if (has(field.key))
            (field.member ? data.*field.member : rare.*field.rareMember) = text(coder, CNKeyName(field.key));
    }
    if (has(CNKeyId::Birthday))
        rare.birthday = decodeDate(coder, CNContactBirthdayKey);
    if (has(CNKeyId::NonGregorianBirthday))
        rare.nonGregorianBirthday = decodeDate(coder, CNContactNonGregorianBirthdayKey);
    if (has(CNKeyId::ImageData))
        data.imageData = coder.decodeData(CNContactImageDataKey).value_or(QByteArray());
    if (has(CNKeyId::ThumbnailImageData))
        data.thumbnailImageData = coder.decodeData(CNContactThumbnailImageDataKey).value_or(QByteArray());
    if (has(CNKeyId::PhoneNumbers))
        decodeList(coder, data.phoneNumbers, CNContactPhoneNumbersKey);
    if (has(CNKeyId::EmailAddresses))
        decodeList(coder, data.emailAddresses, CNContactEmailAddressesKey);
    if (has(CNKeyId::PostalAddresses))
        decodeList(coder, data.postalAddresses, CNContactPostalAddressesKey);
    if (has(CNKeyId::Dates))
        decodeList(coder, rare.dates, CNContactDatesKey);
    if (has(CNKeyId::UrlAddresses))
        decodeList(coder, rare.urlAddresses, CNContactUrlAddressesKey);
    if (has(CNKeyId::Relations))
        decodeList(coder, rare.contactRelations, CNContactRelationsKey);
    if (has(CNKeyId::SocialProfiles))
        decodeList(coder, rare.socialProfiles, CNContactSocialProfilesKey);
    if (has(CNKeyId::InstantMessageAddresses))
        decodeList(coder, rare.instantMessageAddresses, CNContactInstantMessageAddressesKey);
    if (!(rare == CNContactRareFields{}))
        data.editRare() = std::move(rare);

    if (coder.failed())
        return nullptr;
    if (isMutable)
        return std::make_shared<CNMutableContact>(std::move(data), available);
    return std::make_shared<CNContact>(std::move(data), available);
}

} // namespace

QStringList CNContact::archiveClassNames() const
{
    if (dynamic_cast<const CNMutableContact*>(this))
        return {mutableContactClass, contactClass, objectClass};
    return classChain(contactClass);
}

void CNContact::encodeWithCoder(KQKeyedArchiver& coder) const
{
    decodeCodedLists(AllCodedLists);
    coder.encodeString(d.identifier, CNContactIdentifierKey);
    QStringList keys;
    for (int i = 0; i < CNKeyCount; ++i) {
        if (m_available.test(static_cast<size_t>(i)))
            keys.append(CNKeyName(static_cast<CNKeyId>(i)));
    }
    coder.encodeStringArray(keys, availableKeysKey);
    const auto has = [this](CNKeyId key) { return isKeyAvailable(key); };

    if (has(CNKeyId::Type))
        coder.encodeInt(static_cast<int>(d.contactType), CNContactTypeKey);
    for (const TextField& field : textFields) {
        if (has(field.key))
            coder.encodeString(field.of(d), CNKeyName(field.key));
    }
    if (has(CNKeyId::Birthday))
        encodeDate(coder, d.rare().birthday, CNContactBirthdayKey);
    if (has(CNKeyId::NonGregorianBirthday))
        encodeDate(coder, d.rare().nonGregorianBirthday, CNContactNonGregorianBirthdayKey);
    if (has(CNKeyId::ImageData))
        coder.encodeData(loadedImageData(), CNContactImageDataKey);
    if (has(CNKeyId::ThumbnailImageData))
        coder.encodeData(d.thumbnailImageData, CNContactThumbnailImageDataKey);
    // Derived from the image; written for readers that look for it, never read back.
    if (has(CNKeyId::ImageDataAvailable) && has(CNKeyId::ImageData))
        coder.encodeBool(!loadedImageData().isEmpty(), CNContactImageDataAvailableKey);
    if (has(CNKeyId::PhoneNumbers))
        encodeList(coder, d.phoneNumbers, CNContactPhoneNumbersKey);
    if (has(CNKeyId::EmailAddresses))
        encodeList(coder, d.emailAddresses, CNContactEmailAddressesKey);
    if (has(CNKeyId::PostalAddresses))
        encodeList(coder, d.postalAddresses, CNContactPostalAddressesKey);
    if (has(CNKeyId::Dates))
        encodeList(coder, d.rare().dates, CNContactDatesKey);
    if (has(CNKeyId::UrlAddresses))
        encodeList(coder, d.rare().urlAddresses, CNContactUrlAddressesKey);
    if (has(CNKeyId::Relations))
        encodeList(coder, d.rare().contactRelations, CNContactRelationsKey);
    if (has(CNKeyId::SocialProfiles))
        encodeList(coder, d.rare().socialProfiles, CNContactSocialProfilesKey);
    if (has(CNKeyId::InstantMessageAddresses))
        encodeList(coder, d.rare().instantMessageAddresses, CNContactInstantMessageAddressesKey);
}

void CNContact::registerArchiveClasses()
{
    static std::once_flag once;
    std::call_once(once, [] {
        KQRegisterArchiveClass(contactClass, [](KQKeyedUnarchiver& c) { return decodeContact(c, false); });
        KQRegisterArchiveClass(mutableContactClass, [](KQKeyedUnarchiver& c) { return decodeContact(c, true); });
        KQRegisterArchiveClass(labeledValueClass, &LabeledValueCoding::decode);
        KQRegisterArchiveClass(ValueTraits<CNPhoneNumber>::className(), &ValueCoding<CNPhoneNumber>::decode);
        KQRegisterArchiveClass(ValueTraits<CNPostalAddress>::className(), &ValueCoding<CNPostalAddress>::decode);
        KQRegisterArchiveClass(ValueTraits<CNSocialProfile>::className(), &ValueCoding<CNSocialProfile>::decode);
        KQRegisterArchiveClass(ValueTraits<CNInstantMessageAddress>::className(),
                               &ValueCoding<CNInstantMessageAddress>::decode);
        KQRegisterArchiveClass(ValueTraits<CNContactRelation>::className(), &ValueCoding<CNContactRelation>::decode);
        KQRegisterArchiveClass(ValueTraits<CNDateComponents>::className(), &ValueCoding<CNDateComponents>::decode);
    });
}

QSet<QString> CNContact::archiveClasses()
{
    // Asking for the classes registers them, so a caller cannot forget to.
    registerArchiveClasses();
    // Made once: every decoded record asks for it.
    static const QSet<QString> classes =
        valueClasses() + QSet<QString>{contactClass, mutableContactClass, labeledValueClass};
    return classes;
}
