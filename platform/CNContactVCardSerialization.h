#pragma once
// vCard reading and writing for store contacts.
//
// contactsWithData reads vCard 2.1, 3.0 and 4.0 as real programs write them (any number of cards,
// any of the common encodings). A card that cannot be read is skipped and named in the error
// (with its line number); the other cards are still returned. Group cards are not contacts.
//
// dataWithContacts writes each contact as one vCard 3.0 card in UTF-8, lines folded at 75 octets
// and ending in CR LF; it writes no NOTE and no PHOTO line, and each card's last 11 bytes are
// "END:VCARD\r\n".

#include "platform/CNContact.h"
#include "platform/CNError.h"

#include <QByteArray>
#include <QStringList>

class CNContactVCardSerialization
{
public:
    // The keys a contact must have been fetched with to be written.
    static QStringList descriptorForRequiredKeys();
    static QByteArray dataWithContacts(const CNContactList& contacts, CNError* error = nullptr);
    static CNContactList contactsWithData(const QByteArray& data, CNError* error = nullptr);
};
