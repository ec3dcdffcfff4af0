#pragma once
// Where each contact key lives in the database: its column (in the contacts table or, for the
// image keys, the images table) and how to read it into and bind it from a CNContactData.

#include "platform/CNContact.h"
#include "platform/CNSQLiteStatement.h"

#include <optional>
#include <vector>

struct CNSQLiteContactColumn
{
    CNKeyId key;
    const char* name;
    bool inImagesTable;
    // Reads the column of the current row into data; false when the stored value is damaged. Null
    // for a coded list.
    bool (*read)(sqlite3_stmt* statement, int column, CNContactData& data);
    void (*bind)(CNSQLiteStatement& statement, int index, const CNContactData& data);
    // For a field that a fetch hands its contact coded (see CNContact::setCodedLists) instead of
    // reading it.
    std::optional<CNCodedList> codedList = std::nullopt;
};

class CNSQLiteContactColumns
{
public:
    // The column holding a key; nullptr for the identifier. The image-available key reads the
    // image column, since the contact answers it from the image data.
    static const CNSQLiteContactColumn* column(CNKeyId key);
    // Every column of the contacts table besides id, identifier and container, in schema order.
    static const std::vector<const CNSQLiteContactColumn*>& contactsTableColumns();
};
