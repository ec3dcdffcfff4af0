#include "platform/CNVCardLexer.h"

#include "platform/CNContactValueCodec.h"

#include <QVarLengthArray>
#include <array>
#include <cstring>

namespace {

bool isSpace(char c)
{
    return c == ' ' || c == '\t';
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

template <size_t N> bool is(QByteArrayView a, const char (&b)[N])
{
    return CNVCardCodec::equalsNoCase(a, QByteArrayView(b, N - 1));
}

bool is(QByteArrayView a, QByteArrayView b)
{
    return CNVCardCodec::equalsNoCase(a, b);
}

bool isEncodingToken(QByteArrayView v)
{
    return is(v, "QUOTED-PRINTABLE") || is(v, "BASE64") || is(v, "B") || is(v, "8BIT") || is(v, "7BIT");
}

bool startsWithNoCase(QByteArrayView text, QByteArrayView prefix)
{
    return text.size() >= prefix.size() && is(text.first(prefix.size()), prefix);
}

} // namespace

QByteArrayView CNVCardProperty::parameter(QByteArrayView parameterName) const
{
    for (const CNVCardParameter& p : parameters) {
        if (CNVCardCodec::equalsNoCase(p.name, parameterName))
            return p.value;
    }
    return {};
}

void CNVCardProperty::types(std::vector<QByteArrayView>& out) const
{
    out.clear();
    for (const CNVCardParameter& p : parameters) {
        if (p.name.isEmpty()) {
            if (!isEncodingToken(p.value))
                out.push_back(p.value);
        } else if (is(p.name, "TYPE")) {
            // A quoted list ("voice,home") arrives as one value.
            QByteArrayView rest = p.value;
            while (!rest.isEmpty()) {
                const qsizetype comma = rest.indexOf(',');
                out.push_back((comma < 0 ? rest : rest.first(comma)).trimmed());
                rest = comma < 0 ? QByteArrayView() : rest.sliced(comma + 1);
            }
        }
    }
}

CNVCardLexer::CNVCardLexer(QByteArrayView data) : m_pos(data.data()), m_end(data.data() + data.size())
{
    // Files from old systems end their lines with CR alone.
    m_separator = (data.indexOf('\n') < 0 && data.indexOf('\r') >= 0) ? '\r' : '\n';
}

bool CNVCardLexer::readLine(Line& line)
{
    if (m_havePeek) {
        m_havePeek = false;
        line = m_peek;
        return true;
    }
    if (m_pos >= m_end)
        return false;
    const auto* found = static_cast<const char*>(std::memchr(m_pos, m_separator, static_cast<size_t>(m_end - m_pos)));
    line.begin = m_pos;
    line.end = found ? found : m_end;
    // Some writers end lines with CR CR LF.
    while (m_separator == '\n' && line.end > line.begin && line.end[-1] == '\r')
        --line.end;
    m_pos = found ? found + 1 : m_end;
    line.number = ++m_lineNumber;
    return true;
}

bool CNVCardLexer::peekLine(Line& line)
{
    if (!m_havePeek) {
        if (!readLine(m_peek))
            return false;
        m_havePeek = true;
    }
    line = m_peek;
    return true;
}

bool CNVCardLexer::next(CNVCardProperty& property)
{
    Line first;
    const char* begin = nullptr;
    for (;;) {
        if (!readLine(first))
            return false;
        begin = first.begin;
        while (begin < first.end && isSpace(*begin))
            ++begin;
        if (begin < first.end)
            break;
    }

    QByteArrayView text(begin, first.end - begin);
    bool joined = false;
    const auto join = [&](const char* from, const char* to, bool dropLast) {
        if (!joined) {
            // Emptied but not freed: the next folded line reuses the room.
            m_joined.resize(0);
            m_joined.append(text);
            joined = true;
        }
        if (dropLast)
            m_joined.chop(1);
        m_joined.append(from, to - from);
        text = m_joined;
    };

    bool headerParsed = false;
    bool quotedPrintable = false;
    Line next;
    while (peekLine(next)) {
        if (next.begin < next.end && isSpace(*next.begin)) {
            join(next.begin + 1, next.end, false);
            headerParsed = false;
            m_havePeek = false;
            continue;
        }
        if (!headerParsed) {
            parseHeader(text, property);
            headerParsed = true;
            quotedPrintable = property.hasValue && property.isQuotedPrintable();
        }
        if (!quotedPrintable)
            break;
        // Quoted-printable values go on after a soft line break ("=" at the end), and some
        // writers also break without one before a line that starts with an encoded byte.
        const QByteArrayView nextText(next.begin, next.end - next.begin);
        const bool softBreak = text.endsWith('=');
        const bool encodedStart =
            nextText.size() >= 3 && nextText[0] == '=' && hexValue(nextText[1]) >= 0 && hexValue(nextText[2]) >= 0;
        if ((!softBreak && !encodedStart) || startsWithNoCase(nextText, "END:VCARD") ||
            startsWithNoCase(nextText, "BEGIN:VCARD"))
            break;
        join(next.begin, next.end, softBreak);
        headerParsed = false;
        m_havePeek = false;
    }
    if (!headerParsed)
        parseHeader(text, property);
    property.line = first.number;
    return true;
}

void CNVCardLexer::parseHeader(QByteArrayView text, CNVCardProperty& property)
{
    property.parameters.clear();
    property.parameterText = {};
    property.group = {};
    property.value = {};
    property.hasValue = false;
    property.quotedPrintable = false;
    property.base64 = false;
    property.charset = {};
    bool haveCharset = false;
    // The encoding and charset parameters, from a bare 2.1 parameter or a named one.
    const auto note = [&](QByteArrayView name, QByteArrayView value) {
        if (name.isEmpty() || is(name, "ENCODING")) {
            if (is(value, "QUOTED-PRINTABLE"))
                property.quotedPrintable = true;
            else if (is(value, "BASE64") || (!name.isEmpty() && is(value, "B")))
                property.base64 = true;
        } else if (!haveCharset && is(name, "CHARSET")) {
            property.charset = value;
            haveCharset = true;
        }
    };

    const qsizetype n = text.size();
    const char* s = text.data();
    qsizetype i = 0;
    qsizetype nameStart = 0;
    while (i < n && s[i] != ';' && s[i] != ':') {
        if (s[i] == '.' && nameStart == 0) {
            property.group = text.first(i);
            nameStart = i + 1;
        }
        ++i;
    }
    property.name = text.sliced(nameStart, i - nameStart);
    const qsizetype parametersStart = i;

    while (i < n && s[i] == ';') {
        const qsizetype nameBegin = ++i;
        while (i < n && s[i] != '=' && s[i] != ';' && s[i] != ':')
            ++i;
        const QByteArrayView parameterName = text.sliced(nameBegin, i - nameBegin).trimmed();
        if (i >= n || s[i] != '=') {
            if (!parameterName.isEmpty()) {
                property.parameters.push_back({{}, parameterName});
                note({}, parameterName);
            }
            continue;
        }
        ++i;
        for (;;) {
            qsizetype valueBegin = i;
            qsizetype valueEnd;
            if (i < n && s[i] == '"') {
                valueBegin = ++i;
                while (i < n && s[i] != '"')
                    ++i;
                valueEnd = i;
                if (i < n)
                    ++i;
                while (i < n && s[i] != ',' && s[i] != ';' && s[i] != ':')
                    ++i;
            } else {
                while (i < n && s[i] != ',' && s[i] != ';' && s[i] != ':')
                    ++i;
                valueEnd = i;
            }
            property.parameters.push_back({parameterName, text.sliced(valueBegin, valueEnd - valueBegin)});
            note(parameterName, property.parameters.back().value);
            if (i < n && s[i] == ',') {
                ++i;
                continue;
            }
            break;
        }
    }
    property.parameterText = text.sliced(parametersStart, i - parametersStart);
    if (i < n && s[i] == ':') {
        property.hasValue = true;
        property.value = text.sliced(i + 1);
    }
}

bool CNVCardCodec::appendQuotedPrintable(QByteArrayView in, QByteArray& out)
{
    const qsizetype n = in.size();
    const qsizetype base = out.size();
    out.resize(base + n);
    char* w = out.data() + base;
    for (qsizetype i = 0; i < n; ++i) {
        const char c = in[i];
        if (c != '=') {
            *w++ = c;
            continue;
        }
        if (i + 1 == n)
            break; // a soft break at the very end
        if (i + 2 < n && hexValue(in[i + 1]) >= 0 && hexValue(in[i + 2]) >= 0) {
            *w++ = static_cast<char>(hexValue(in[i + 1]) * 16 + hexValue(in[i + 2]));
            i += 2;
            continue;
        }
        out.truncate(w - out.data());
        return false;
    }
    out.truncate(w - out.data());
    return true;
}

bool CNVCardCodec::appendBase64(QByteArrayView in, QByteArray& out)
{
    static const auto table = [] {
        std::array<signed char, 256> t{};
        t.fill(-1);
        const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        for (int k = 0; k < 64; ++k)
            t[static_cast<unsigned char>(alphabet[k])] = static_cast<signed char>(k);
        t['-'] = 62; // the URL-safe alphabet
        t['_'] = 63;
        return t;
    }();
    const qsizetype base = out.size();
    out.resize(base + in.size() * 3 / 4 + 3);
    char* w = out.data() + base;
    quint32 buffer = 0;
    int bits = 0;
    int padding = 0;
    bool ok = true;
    // Whole groups of four characters at a time; whitespace, padding and the end go one by one.
    const auto* p = reinterpret_cast<const unsigned char*>(in.data());
    const auto* const end = p + in.size();
    for (;;) {
        while (end - p >= 4) {
            const int a = table[p[0]], b = table[p[1]], c = table[p[2]], d = table[p[3]];
            if ((a | b | c | d) < 0)
                break;
            const quint32 group = quint32(a) << 18 | quint32(b) << 12 | quint32(c) << 6 | quint32(d);
            w[0] = static_cast<char>(group >> 16);
            w[1] = static_cast<char>(group >> 8);
            w[2] = static_cast<char>(group);
            w += 3;
            p += 4;
        }
        // Whitespace between groups is skipped; anything else is left to the loop below.
        if (p == end || (*p != ' ' && *p != '\t' && *p != '\r' && *p != '\n'))
            break;
        ++p;
    }
    for (const char ch : QByteArrayView(p, end - p)) {
        const auto c = static_cast<unsigned char>(ch);
        const int v = table[c];
        if (v >= 0 && padding == 0) {
            buffer = (buffer << 6) | static_cast<quint32>(v);
            bits += 6;
            if (bits >= 8) {
                bits -= 8;
                *w++ = static_cast<char>((buffer >> bits) & 0xFF);
            }
        } else if (c == '=') {
            ++padding;
        } else if (c != ' ' && c != '\t' && c != '\r' && c != '\n') {
            ok = false;
            break;
        }
    }
    out.truncate(w - out.data());
    // A last group cut short is dropped, as some exporters write them.
    return ok && padding <= 2;
}

CNVCardCodec::TextKind CNVCardCodec::classify(QByteArrayView bytes)
{
    constexpr quint64 Ones = 0x0101010101010101ULL;
    constexpr quint64 HighBits = 0x8080808080808080ULL;
    constexpr quint64 Backslashes = Ones * '\\';
    const char* s = bytes.data();
    const qsizetype n = bytes.size();
    quint64 high = 0;
    quint64 backslash = 0;
    qsizetype i = 0;
    for (; i + 8 <= n; i += 8) {
        quint64 word;
        std::memcpy(&word, s + i, 8);
        high |= word;
        // A zero byte in word ^ Backslashes is a backslash in word.
        const quint64 x = word ^ Backslashes;
        backslash |= (x - Ones) & ~x;
    }
    for (; i < n; ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        high |= c;
        backslash |= c == '\\' ? HighBits : 0;
    }
    if (high & HighBits)
        return TextKind::Other;
    return backslash & HighBits ? TextKind::EscapedAscii : TextKind::PlainAscii;
}

QString CNVCardCodec::unescapeText(QByteArrayView utf8)
{
    const qsizetype n = utf8.size();
    const char* s = utf8.data();
    if (n == 0)
        return {};
    if (!std::memchr(s, '\\', static_cast<size_t>(n)))
        return CNContactValueCodec::textFromUtf8(s, n);
    QVarLengthArray<char, 512> out(n);
    char* w = out.data();
    for (qsizetype i = 0; i < n; ++i) {
        const char c = s[i];
        if (c != '\\' || i + 1 == n) {
            *w++ = c;
            continue;
        }
        const char e = s[++i];
        switch (e) {
        case 'n':
        case 'N':
            *w++ = '\n';
            break;
        case ',':
        case ';':
        case ':':
        case '\\':
            *w++ = e;
            break;
        default:
            *w++ = '\\';
            *w++ = e;
        }
    }
    return CNContactValueCodec::textFromUtf8(out.data(), w - out.data());
}

void CNVCardCodec::splitComponents(QByteArrayView value, std::vector<QByteArrayView>& out)
{
    out.clear();
    qsizetype start = 0;
    const qsizetype n = value.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (value[i] == '\\')
            ++i;
        else if (value[i] == ';') {
            out.push_back(value.sliced(start, i - start));
            start = i + 1;
        }
    }
    out.push_back(value.sliced(std::min(start, n)));
}

QString CNVCardCodec::decodeParameter(QByteArrayView value)
{
    if (value.indexOf('^') < 0)
        return QString::fromUtf8(value);
    QByteArray out;
    const qsizetype n = value.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (value[i] == '^' && i + 1 < n) {
            const char e = value[i + 1];
            if (e == 'n' || e == 'N') {
                out.append('\n');
                ++i;
                continue;
            }
            if (e == '\'') {
                out.append('"');
                ++i;
                continue;
            }
            if (e == '^') {
                out.append('^');
                ++i;
                continue;
            }
        }
        out.append(value[i]);
    }
    return QString::fromUtf8(out);
}
