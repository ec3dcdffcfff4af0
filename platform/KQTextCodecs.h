#pragma once
// Character-set conversion for imported text: whole files in UTF-16, and single values tagged with
// a legacy charset name (ISO-8859-x, Windows-125x, Shift_JIS, ...). Legacy charsets go through the
// C library's iconv, so every charset the system knows is available without another dependency.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <memory>
#include <optional>

namespace KQTextCodecs {

// True when the bytes are well-formed UTF-8 (no overlongs, no surrogates, nothing above U+10FFFF).
bool isValidUtf8(QByteArrayView bytes);

// The text of a whole file as UTF-8: a UTF-16 file (with a byte-order mark, or without one but
// recognisable by its zero bytes) is converted; a UTF-8 byte-order mark is dropped; anything else
// is returned unchanged. wasConverted tells whether the file was UTF-16.
QByteArray fileToUtf8(const QByteArray& data, bool* wasConverted = nullptr);

} // namespace KQTextCodecs

// Converts byte strings of named charsets to UTF-8. Keeps the iconv handles it opened, so one
// instance should serve a whole file. Not thread-safe; use one per thread.
class KQCharsetDecoder
{
public:
    KQCharsetDecoder();
    ~KQCharsetDecoder();
    KQCharsetDecoder(const KQCharsetDecoder&) = delete;
    KQCharsetDecoder& operator=(const KQCharsetDecoder&) = delete;

    // Whether the charset name is known (UTF-8 and ASCII always are).
    bool isKnown(QByteArrayView charset);
    // The bytes converted from the charset to UTF-8 and appended to out; none when the charset is
    // unknown. Bytes the charset does not define become U+FFFD.
    bool appendUtf8(QByteArrayView bytes, QByteArrayView charset, QByteArray& out);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
