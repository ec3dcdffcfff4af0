#pragma once
// Reads vCard 2.1, 3.0 and 4.0 data into contacts. A card that cannot be read (no END line, a
// value whose encoding or charset cannot be decoded) is skipped and described in the problems;
// text outside any card is reported too and costs no card.
//
// A card without a name (N missing or empty) takes its name from FN, unless FN is the company
// name or the card is a company card: the last word of FN becomes the family name and the words
// before it the given name; FN without a space (a single word, or a name in a script written
// without spaces) becomes the given name.

#include "platform/CNContact.h"
#include "platform/CNError.h"

#include <vector>

class CNVCardReader
{
public:
    struct Result
    {
        CNContactList contacts;
        // CorruptData errors whose position is the line (from 1) they concern: the BEGIN line of a
        // card without an end, the line that made a card unreadable, a line outside any card.
        std::vector<CNError> problems;
    };

    static Result read(const QByteArray& data);
};
