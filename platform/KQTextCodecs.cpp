#include "platform/KQTextCodecs.h"

#include <QStringDecoder>
#include <cerrno>
#include <cstring>
#include <iconv.h>
#include <vector>

namespace {

const char kReplacementUtf8[] = "\xEF\xBF\xBD";

bool isUtf8Name(QByteArrayView name)
{
    return name.compare("UTF-8", Qt::CaseInsensitive) == 0 || name.compare("UTF8", Qt::CaseInsensitive) == 0 ||
           name.compare("US-ASCII", Qt::CaseInsensitive) == 0 || name.compare("ASCII", Qt::CaseInsensitive) == 0;
}

bool isLatin1Name(QByteArrayView name)
{
    return name.compare("ISO-8859-1", Qt::CaseInsensitive) == 0 ||
           name.compare("ISO8859-1", Qt::CaseInsensitive) == 0 || name.compare("LATIN1", Qt::CaseInsensitive) == 0;
}

void appendLatin1AsUtf8(QByteArrayView bytes, QByteArray& out)
{
    out.reserve(out.size() + bytes.size() * 2);
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            out.append(ch);
        } else {
            out.append(static_cast<char>(0xC0 | (c >> 6)));
            out.append(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
}

} // namespace

bool KQTextCodecs::isValidUtf8(QByteArrayView bytes)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* end = p + bytes.size();
    while (p < end) {
        // Most text is ASCII, also between accented letters: skip it eight bytes at a time.
        while (end - p >= 8) {
            quint64 word;
            std::memcpy(&word, p, 8);
            if (word & 0x8080808080808080ULL)
                break;
            p += 8;
        }
        if (p == end)
            break;
        const unsigned c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        int extra = 0;
        unsigned min = 0;
        unsigned cp = 0;
        if ((c & 0xE0) == 0xC0) {
            extra = 1, min = 0x80, cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2, min = 0x800, cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3, min = 0x10000, cp = c & 0x07;
        } else {
            return false;
        }
        if (end - p <= extra)
            return false;
        for (int i = 1; i <= extra; ++i) {
            if ((p[i] & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (p[i] & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        p += extra + 1;
    }
    return true;
}

QByteArray KQTextCodecs::fileToUtf8(const QByteArray& data, bool* wasConverted)
{
    if (wasConverted)
        *wasConverted = false;
    const auto byte = [&data](qsizetype i) { return static_cast<unsigned char>(data.at(i)); };
    std::optional<QStringConverter::Encoding> encoding;
    qsizetype skip = 0;
    if (data.size() >= 2 && byte(0) == 0xFF && byte(1) == 0xFE) {
        encoding = QStringConverter::Utf16LE, skip = 2;
    } else if (data.size() >= 2 && byte(0) == 0xFE && byte(1) == 0xFF) {
        encoding = QStringConverter::Utf16BE, skip = 2;
    } else if (data.size() >= 3 && byte(0) == 0xEF && byte(1) == 0xBB && byte(2) == 0xBF) {
        return data.mid(3);
    } else if (data.size() >= 4) {
        // No mark: text that starts with ASCII shows its width by where the zero bytes are.
        if (byte(0) == 0 && byte(1) != 0 && byte(2) == 0 && byte(3) != 0)
            encoding = QStringConverter::Utf16BE;
        else if (byte(0) != 0 && byte(1) == 0 && byte(2) != 0 && byte(3) == 0)
            encoding = QStringConverter::Utf16LE;
    }
    if (!encoding)
        return data;
    QStringDecoder decoder(*encoding, QStringConverter::Flag::Stateless);
    const QString text = decoder.decode(QByteArrayView(data).sliced(skip));
    if (wasConverted)
        *wasConverted = true;
    return text.toUtf8();
}

struct KQCharsetDecoder::Impl
{
    struct Entry
    {
        QByteArray name;
        iconv_t handle;
    };
    std::vector<Entry> entries;

    iconv_t handleFor(QByteArrayView charset)
    {
        for (const Entry& e : entries) {
            if (charset.compare(e.name, Qt::CaseInsensitive) == 0)
                return e.handle;
        }
        const QByteArray name = charset.toByteArray();
        iconv_t handle = iconv_open("UTF-8", name.constData());
        entries.push_back({name, handle});
        return handle;
    }

    ~Impl()
    {
        for (const Entry& e : entries) {
            if (e.handle != reinterpret_cast<iconv_t>(-1))
                iconv_close(e.handle);
        }
    }
};

KQCharsetDecoder::KQCharsetDecoder() : d(std::make_unique<Impl>()) {}

KQCharsetDecoder::~KQCharsetDecoder() = default;

bool KQCharsetDecoder::isKnown(QByteArrayView charset)
{
    if (isUtf8Name(charset) || isLatin1Name(charset))
        return true;
    return d->handleFor(charset) != reinterpret_cast<iconv_t>(-1);
}

bool KQCharsetDecoder::appendUtf8(QByteArrayView bytes, QByteArrayView charset, QByteArray& out)
{
    if (isUtf8Name(charset)) {
        out.append(bytes);
        return true;
    }
    if (isLatin1Name(charset)) {
        appendLatin1AsUtf8(bytes, out);
        return true;
    }
    iconv_t handle = d->handleFor(charset);
    if (handle == reinterpret_cast<iconv_t>(-1))
        return false;
    iconv(handle, nullptr, nullptr, nullptr, nullptr);

    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = static_cast<size_t>(bytes.size());
    char buffer[1024];
    while (inLeft > 0) {
        char* outPtr = buffer;
        size_t outLeft = sizeof buffer;
        const size_t rc = iconv(handle, &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer, outPtr - buffer);
        if (rc != static_cast<size_t>(-1))
            continue;
        if (errno == E2BIG)
            continue;
        // An undefined or cut-off byte: mark it and go on with the next one.
        out.append(kReplacementUtf8, 3);
        if (errno == EINVAL)
            break;
        ++in;
        --inLeft;
        iconv(handle, nullptr, nullptr, nullptr, nullptr);
    }
    char* outPtr = buffer;
    size_t outLeft = sizeof buffer;
    iconv(handle, nullptr, nullptr, &outPtr, &outLeft);
    out.append(buffer, outPtr - buffer);
    return true;
}
