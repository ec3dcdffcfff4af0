#include "exchange/packages/KQXmlText.h"

namespace {

bool allowed(char32_t c)
{
    if (c < 0x20)
        return c == 0x9 || c == 0xA || c == 0xD;
    if (c >= 0xD800 && c <= 0xDFFF)
        return false;
    return c != 0xFFFE && c != 0xFFFF;
}

} // namespace

void KQXmlText::appendEscaped(QByteArray& out, QStringView text, bool attribute)
{
    const qsizetype n = text.size();
    const char16_t* s = text.utf16();
    for (qsizetype i = 0; i < n; ++i) {
        char32_t c = s[i];
        if (c < 0x80) {
            switch (c) {
            case '&':
                out.append("&amp;", 5);
                continue;
            case '<':
                out.append("&lt;", 4);
                continue;
            case '>':
                out.append("&gt;", 4);
                continue;
            case '\'':
                out.append("&apos;", 6);
                continue;
            case '"':
                out.append("&quot;", 6);
                continue;
            case '\n':
            case '\r':
            case '\t':
                if (attribute) {
                    out.append(c == '\n' ? "&#10;" : c == '\r' ? "&#13;" : "&#9;");
                    continue;
                }
                out.append(static_cast<char>(c));
                continue;
            default:
                if (allowed(c))
                    out.append(static_cast<char>(c));
                continue;
            }
        }
        if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(s[i + 1])) {
            c = QChar::surrogateToUcs4(static_cast<char16_t>(c), s[i + 1]);
            ++i;
        } else if (!allowed(c)) {
            continue;
        }
        if (c < 0x800) {
            out.append(static_cast<char>(0xC0 | (c >> 6)));
            out.append(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.append(static_cast<char>(0xE0 | (c >> 12)));
            out.append(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.append(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.append(static_cast<char>(0xF0 | (c >> 18)));
            out.append(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            out.append(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.append(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
}

QByteArray KQXmlText::escaped(QStringView text)
{
    QByteArray out;
    out.reserve(text.size() + 16);
    appendEscaped(out, text);
    return out;
}

QString KQXmlText::xmlSafe(const QString& text)
{
    QString out;
    out.reserve(text.size());
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < n && text.at(i + 1).isLowSurrogate()) {
            out.append(c);
            out.append(text.at(++i));
        } else if (allowed(c.unicode())) {
            out.append(c);
        }
    }
    return out;
}
