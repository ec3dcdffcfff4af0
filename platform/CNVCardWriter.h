#pragma once
// Writes contacts as vCard 3.0 cards in UTF-8. Standard labels become TYPE parameters, any other
// label an item group with X-ABLabel; lines are folded at 75 octets without splitting a UTF-8
// sequence; line breaks in values are written as \n (CR LF and CR alike). No NOTE and no PHOTO
// line is written. Fields the contact was not fetched with are left out.

#include "platform/CNContact.h"

#include <QByteArray>
#include <QStringList>

class CNVCardWriter
{
public:
    // The keys whose fields the writer reads.
    static QStringList requiredKeys();
    // Appends the contact's card to out; the card's last 11 bytes are "END:VCARD\r\n".
    static void append(const CNContact& contact, QByteArray& out);
};
