#pragma once
// Structural check of a binary property list ("bplist00") before it goes to the property-list codec,
// which trusts the counts, offsets and references it reads. Passes only data whose every object
// lies inside the object area, whose references all name existing objects, whose containers form
// no cycle and nest at most maxDepth deep, and whose parsed tree stays within a small multiple of
// the data's size (a reference may be shared, and the codec copies shared objects once per use).

#include "platform/CNError.h"

#include <QByteArray>
#include <QString>

class KQBinaryPlistValidator
{
public:
    static constexpr int maxDepth = 32;

    // True when data is safe to parse; otherwise false with *error saying what is wrong (CorruptData)
    // and, where an object is at fault, its byte offset.
    static bool validate(const QByteArray& data, CNError* error);
};
