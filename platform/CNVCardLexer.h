#pragma once
// The byte-level part of vCard reading: content lines with their unfolding (CRLF or LF, space or
// tab, quoted-printable soft line breaks), property names, groups and parameters, and the value
// encodings (quoted-printable, base64, backslash escapes). Works on the file's bytes without
// copying where a line needs no unfolding.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <vector>

struct CNVCardParameter
{
    QByteArrayView name; // empty for a bare vCard 2.1 parameter (";HOME")
    QByteArrayView value;
};

struct CNVCardProperty
{
    int line = 0;
    QByteArrayView group; // "item1" of "item1.TEL"
    QByteArrayView name;
    std::vector<CNVCardParameter> parameters;
    QByteArrayView parameterText; // everything between the name and the colon, as written
    QByteArrayView value;
    bool hasValue = false; // false for a line without a colon
    // Worked out once with the parameters: every value of a line asks for them.
    bool quotedPrintable = false;
    bool base64 = false;
    QByteArrayView charset; // the first CHARSET parameter's value; empty without one

    // The values of a parameter (case-insensitive name); a TYPE list "WORK,VOICE" gives one entry per value.
    QByteArrayView parameter(QByteArrayView parameterName) const;
    // TYPE values and bare 2.1 parameters that are no encoding.
    void types(std::vector<QByteArrayView>& out) const;
    bool isQuotedPrintable() const { return quotedPrintable; }
    bool isBase64() const { return base64; }
};

class CNVCardLexer
{
public:
    explicit CNVCardLexer(QByteArrayView data);

    // The next content line, unfolded; false at the end of the data. Blank lines are skipped.
    // The views in the property stay valid until the next call.
    bool next(CNVCardProperty& property);

private:
    struct Line
    {
        const char* begin;
        const char* end;
        int number;
    };
    bool readLine(Line& line);
    bool peekLine(Line& line);
    void parseHeader(QByteArrayView text, CNVCardProperty& property);

    const char* m_pos;
    const char* m_end;
    char m_separator;
    int m_lineNumber = 0;
    bool m_havePeek = false;
    Line m_peek{};
    QByteArray m_joined;
};

namespace CNVCardCodec {

// ASCII case-insensitive equality; property names, parameters and types are ASCII.
inline bool equalsNoCase(QByteArrayView a, QByteArrayView b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        const char x = a[i];
        const char y = b[i];
        if (x == y)
            continue;
        // Only letters differ in case, and only by the 0x20 bit.
        const char lower = static_cast<char>(x | 0x20);
        if ((x ^ y) != 0x20 || lower < 'a' || lower > 'z')
            return false;
    }
    return true;
}

// Quoted-printable decoding; false when an "=" is followed by no two hex digits.
bool appendQuotedPrintable(QByteArrayView in, QByteArray& out);
// Base64: whitespace is skipped, a missing padding or a cut-off last group is tolerated; any other
// character, or data after the padding, fails.
bool appendBase64(QByteArrayView in, QByteArray& out);
enum class TextKind
{
    PlainAscii,   // ASCII without a backslash: the text as it is
    EscapedAscii, // ASCII with backslash escapes
    Other         // bytes above 0x7F: UTF-8 or another charset
};
// What a value's bytes need before they are text; one pass, eight bytes at a time.
TextKind classify(QByteArrayView bytes);
// Backslash escapes of text values (\n \N \, \; \: \\); an unknown escape keeps its backslash.
QString unescapeText(QByteArrayView utf8);
// Splits a structured value at the semicolons that are not escaped.
void splitComponents(QByteArrayView value, std::vector<QByteArrayView>& out);
// RFC 6868 caret escapes of parameter values (^n ^' ^^).
QString decodeParameter(QByteArrayView value);

} // namespace CNVCardCodec
