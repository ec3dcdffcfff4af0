#pragma once
// Compact binary form of a contact's multi-valued fields and date parts, one blob per field, so
// that a fetch decodes only the fields it was asked for and a list of values costs one column.
//
// A list is a count followed by its entries (identifier, label, value fields); every text is a
// length-prefixed UTF-8 string, except that label and service constants are stored as small
// codes and canonical identifiers as their 16 bytes. The format is part of the database schema:
// change it only together with a schema migration.

#include "platform/CNContact.h"

#include <QByteArray>
#include <optional>

class CNContactValueCodec
{
public:
    // An empty list or no date encodes as an empty array (stored as NULL).
    static QByteArray encode(const CNPhoneNumberList& values);
    static QByteArray encode(const CNStringValueList& values);
    static QByteArray encode(const CNPostalAddressList& values);
    static QByteArray encode(const CNDateList& values);
    static QByteArray encode(const CNRelationList& values);
    static QByteArray encode(const CNSocialProfileList& values);
    static QByteArray encode(const CNInstantMessageList& values);
    static QByteArray encode(const std::optional<CNDateComponents>& date);

    // False when the bytes are not exactly one value of that kind; out is then left empty.
    static bool decode(const char* data, qsizetype size, CNPhoneNumberList& out);
    static bool decode(const char* data, qsizetype size, CNStringValueList& out);
    static bool decode(const char* data, qsizetype size, CNPostalAddressList& out);
    static bool decode(const char* data, qsizetype size, CNDateList& out);
    static bool decode(const char* data, qsizetype size, CNRelationList& out);
    static bool decode(const char* data, qsizetype size, CNSocialProfileList& out);
    static bool decode(const char* data, qsizetype size, CNInstantMessageList& out);
    static bool decode(const char* data, qsizetype size, std::optional<CNDateComponents>& out);

    // True when the bytes decode as one list of that field, as decode would read them; nothing is
    // made. A store checks what it hands a contact coded, so that decoding later cannot fail.
    // entries, when given, receives the number of entries.
    static bool check(CNCodedList list, const char* data, qsizetype size, quint64* entries = nullptr);

    // Stored UTF-8 text as a QString; ASCII text, the most common, is widened without the
    // general decoder. Null for no bytes.
    static QString textFromUtf8(const char* data, qsizetype size);
};
