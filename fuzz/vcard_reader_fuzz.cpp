// Feeds arbitrary bytes to the vCard reader. Besides crashes and memory errors it checks that
// whatever the reader accepts, the writer turns into cards that read back cleanly, one per contact.
#include "platform/CNContactVCardSerialization.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    CNError error;
    const CNContactList contacts = CNContactVCardSerialization::contactsWithData(input, &error);
    const QByteArray written = CNContactVCardSerialization::dataWithContacts(contacts);
    CNError again;
    const CNContactList reread = CNContactVCardSerialization::contactsWithData(written, &again);
    if (again.isError() || reread.size() != contacts.size())
        __builtin_trap();
    return 0;
}
