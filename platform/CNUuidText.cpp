#include "platform/CNUuidText.h"

namespace {

int hexValue(char16_t c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

bool isDash(int i)
{
    return i == 8 || i == 13 || i == 18 || i == 23;
}

} // namespace

bool CNUuidBytesFromText(const QString& text, unsigned char* out)
{
    if (text.size() != 36)
        return false;
    const char16_t* s = reinterpret_cast<const char16_t*>(text.constData());
    int byte = 0;
    for (int i = 0; i < 36;) {
        if (isDash(i)) {
            if (s[i] != u'-')
                return false;
            ++i;
            continue;
        }
        const int hi = hexValue(s[i]);
        const int lo = hexValue(s[i + 1]);
        if (hi < 0 || lo < 0)
            return false;
        out[byte++] = static_cast<unsigned char>(hi << 4 | lo);
        i += 2;
    }
    return true;
}

QString CNUuidTextFromBytes(const unsigned char* bytes)
{
    static constexpr char16_t digits[] = u"0123456789ABCDEF";
    QString text(36, Qt::Uninitialized);
    auto* out = reinterpret_cast<char16_t*>(text.data());
    int byte = 0;
    for (int i = 0; i < 36;) {
        if (isDash(i)) {
            out[i++] = u'-';
            continue;
        }
        out[i++] = digits[bytes[byte] >> 4];
        out[i++] = digits[bytes[byte] & 0xF];
        ++byte;
    }
    return text;
}
