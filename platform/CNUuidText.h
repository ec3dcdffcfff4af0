#pragma once
// The identifier texts this program hands out: upper-case UUIDs with dashes
// ("0123ABCD-..."), converted to and from their 16 bytes.

#include <QString>

// The 16 bytes of text when it is exactly that canonical form; false for any other text.
bool CNUuidBytesFromText(const QString& text, unsigned char* out);
// The canonical text of 16 bytes.
QString CNUuidTextFromBytes(const unsigned char* bytes);
