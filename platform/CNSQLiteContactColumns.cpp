#include "platform/CNSQLiteContactColumns.h"

#include "platform/CNContactValueCodec.h"

#include <array>

namespace {

template <QString CNContactData::*Field> bool readText(sqlite3_stmt* s, int column, CNContactData& d)
{
    if (const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(s, column)))
        d.*Field = CNContactValueCodec::textFromUtf8(text, sqlite3_column_bytes(s, column));
    return true;
}

template <QString CNContactData::*Field> void bindText(CNSQLiteStatement& statement, int index, const CNContactData& d)
{
    statement.bind(index, d.*Field);
}

template <QByteArray CNContactData::*Field> bool readBytes(sqlite3_stmt* s, int column, CNContactData& d)
{
    if (const auto* bytes = static_cast<const char*>(sqlite3_column_blob(s, column)))
        d.*Field = QByteArray(bytes, sqlite3_column_bytes(s, column));
    return true;
}

template <QByteArray CNContactData::*Field>
void bindBytes(CNSQLiteStatement& statement, int index, const CNContactData& d)
{
    statement.bind(index, d.*Field);
}

// Lists go through the value codec; a fetch hands them to the contact coded (see codedList).
template <typename T, T CNContactData::*Field>
void bindCoded(CNSQLiteStatement& statement, int index, const CNContactData& d)
{
    statement.bind(index, CNContactValueCodec::encode(d.*Field));
}

// The rare fields: a contact gets its block of them only for a column that holds a value.
template <QString CNContactRareFields::*Field> bool readRareText(sqlite3_stmt* s, int column, CNContactData& d)
{
    // Most of these columns are NULL: no call for their size.
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(s, column));
    if (!text)
        return true;
    if (const int size = sqlite3_column_bytes(s, column); size > 0)
        d.editRare().*Field = CNContactValueCodec::textFromUtf8(text, size);
    return true;
}

template <QString CNContactRareFields::*Field>
void bindRareText(CNSQLiteStatement& statement, int index, const CNContactData& d)
{
    statement.bind(index, d.rare().*Field);
}

template <typename T, T CNContactRareFields::*Field> bool readRareCoded(sqlite3_stmt* s, int column, CNContactData& d)
{
    if (sqlite3_column_type(s, column) == SQLITE_NULL)
        return true;
    T value{};
    if (!CNContactValueCodec::decode(static_cast<const char*>(sqlite3_column_blob(s, column)),
                                     sqlite3_column_bytes(s, column), value))
        return false;
    if (!(value == T{}))
        d.editRare().*Field = std::move(value);
    return true;
}

template <typename T, T CNContactRareFields::*Field>
void bindRareCoded(CNSQLiteStatement& statement, int index, const CNContactData& d)
{
    statement.bind(index, CNContactValueCodec::encode(d.rare().*Field));
}

bool readType(sqlite3_stmt* s, int column, CNContactData& d)
{
    const int type = sqlite3_column_int(s, column);
    if (type != static_cast<int>(CNContactType::Person) && type != static_cast<int>(CNContactType::Organization))
        return false;
    d.contactType = static_cast<CNContactType>(type);
    return true;
}

void bindType(CNSQLiteStatement& statement, int index, const CNContactData& d)
{
    statement.bind(index, static_cast<qint64>(d.contactType));
}

#define KQ_TEXT(key, column, field)                                                                                    \
    {                                                                                                                  \
        CNKeyId::key, column, false, readText<&CNContactData::field>, bindText<&CNContactData::field>                  \
    }
#define KQ_CODED(key, column, type, field)                                                                             \
    {                                                                                                                  \
        CNKeyId::key, column, false, nullptr, bindCoded<type, &CNContactData::field>, CNCodedList::key                 \
    }
#define KQ_RARE_TEXT(key, column, field)                                                                               \
    {                                                                                                                  \
        CNKeyId::key, column, false, readRareText<&CNContactRareFields::field>,                                        \
            bindRareText<&CNContactRareFields::field>                                                                  \
    }
#define KQ_RARE_CODED(key, column, type, field)                                                                        \
    {                                                                                                                  \
        CNKeyId::key, column, false, readRareCoded<type, &CNContactRareFields::field>,                                 \
            bindRareCoded<type, &CNContactRareFields::field>                                                           \
    }

// In the column order of the contacts table.
const std::array<CNSQLiteContactColumn, 26> contactsColumns = {{
    {CNKeyId::Type, "contact_type", false, readType, bindType},
    KQ_RARE_TEXT(NamePrefix, "name_prefix", namePrefix),
    KQ_TEXT(GivenName, "given_name", givenName),
    KQ_RARE_TEXT(MiddleName, "middle_name", middleName),
    KQ_TEXT(FamilyName, "family_name", familyName),
    KQ_RARE_TEXT(PreviousFamilyName, "previous_family_name", previousFamilyName),
    KQ_RARE_TEXT(NameSuffix, "name_suffix", nameSuffix),
    KQ_RARE_TEXT(Nickname, "nickname", nickname),
    KQ_TEXT(OrganizationName, "organization_name", organizationName),
    KQ_TEXT(DepartmentName, "department_name", departmentName),
    KQ_TEXT(JobTitle, "job_title", jobTitle),
    KQ_RARE_TEXT(PhoneticGivenName, "phonetic_given_name", phoneticGivenName),
    KQ_RARE_TEXT(PhoneticMiddleName, "phonetic_middle_name", phoneticMiddleName),
    KQ_RARE_TEXT(PhoneticFamilyName, "phonetic_family_name", phoneticFamilyName),
    KQ_RARE_TEXT(PhoneticOrganizationName, "phonetic_organization_name", phoneticOrganizationName),
    KQ_RARE_CODED(Birthday, "birthday", std::optional<CNDateComponents>, birthday),
    KQ_RARE_CODED(NonGregorianBirthday, "non_gregorian_birthday", std::optional<CNDateComponents>,
                  nonGregorianBirthday),
    KQ_TEXT(Note, "note", note),
    KQ_CODED(PhoneNumbers, "phone_numbers", CNPhoneNumberList, phoneNumbers),
    KQ_CODED(EmailAddresses, "email_addresses", CNStringValueList, emailAddresses),
    KQ_CODED(PostalAddresses, "postal_addresses", CNPostalAddressList, postalAddresses),
    KQ_RARE_CODED(Dates, "dates", CNDateList, dates),
    KQ_RARE_CODED(UrlAddresses, "url_addresses", CNStringValueList, urlAddresses),
    KQ_RARE_CODED(Relations, "contact_relations", CNRelationList, contactRelations),
    KQ_RARE_CODED(SocialProfiles, "social_profiles", CNSocialProfileList, socialProfiles),
    KQ_RARE_CODED(InstantMessageAddresses, "instant_message_addresses", CNInstantMessageList, instantMessageAddresses),
}};

#undef KQ_TEXT
#undef KQ_CODED
#undef KQ_RARE_TEXT
#undef KQ_RARE_CODED

const CNSQLiteContactColumn imageColumn = {CNKeyId::ImageData, "image", true, readBytes<&CNContactData::imageData>,
                                           bindBytes<&CNContactData::imageData>};
const CNSQLiteContactColumn imageAvailableColumn = {CNKeyId::ImageDataAvailable, "image", true,
                                                    readBytes<&CNContactData::imageData>,
                                                    bindBytes<&CNContactData::imageData>};
const CNSQLiteContactColumn thumbnailColumn = {CNKeyId::ThumbnailImageData, "thumbnail", true,
                                               readBytes<&CNContactData::thumbnailImageData>,
                                               bindBytes<&CNContactData::thumbnailImageData>};

} // namespace

const CNSQLiteContactColumn* CNSQLiteContactColumns::column(CNKeyId key)
{
    static const std::array<const CNSQLiteContactColumn*, CNKeyCount> byKey = [] {
        std::array<const CNSQLiteContactColumn*, CNKeyCount> table{};
        for (const auto& c : contactsColumns)
            table[static_cast<size_t>(c.key)] = &c;
        table[static_cast<size_t>(CNKeyId::ImageData)] = &imageColumn;
        table[static_cast<size_t>(CNKeyId::ImageDataAvailable)] = &imageAvailableColumn;
        table[static_cast<size_t>(CNKeyId::ThumbnailImageData)] = &thumbnailColumn;
        return table;
    }();
    return byKey[static_cast<size_t>(key)];
}

const std::vector<const CNSQLiteContactColumn*>& CNSQLiteContactColumns::contactsTableColumns()
{
    static const std::vector<const CNSQLiteContactColumn*> columns = [] {
        std::vector<const CNSQLiteContactColumn*> list;
        for (const auto& c : contactsColumns)
            list.push_back(&c);
        return list;
    }();
    return columns;
}
