#include "TextCodec.h"

#include <cstring>

namespace {

// Unicode of the bytes 0x80..0x9F; the five bytes Windows-1252 leaves undefined keep their
// C1 control code points so that every byte survives a round trip.
const char16_t KHighControls[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char EncodeOne(char16_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return static_cast<char>(c);
    for (int i = 0; i < 32; ++i) {
        if (KHighControls[i] == c)
            return static_cast<char>(0x80 + i);
    }
    return '?';
}

} // namespace

QString DecodeWindows1252(const QByteArray& bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (const char b : bytes) {
        const auto u = static_cast<unsigned char>(b);
        *out++ = (u >= 0x80 && u < 0xA0) ? QChar(KHighControls[u - 0x80]) : QChar(u);
    }
    return text;
}

QByteArray EncodeWindows1252(const QString& text)
{
    QByteArray bytes(text.size(), Qt::Uninitialized);
    char* out = bytes.data();
    for (const QChar c : text)
        *out++ = EncodeOne(c.unicode());
    return bytes;
}

namespace {

// UTF-16 of either byte order; High is the index (0 or 1) of each unit's high byte.
QString DecodeUtf16(const QByteArray& bytes, int high)
{
    const qsizetype count = bytes.size() / 2;
    QString text(count, Qt::Uninitialized);
    QChar* out = text.data();
    const auto* in = reinterpret_cast<const unsigned char*>(bytes.constData());
    for (qsizetype i = 0; i < count; ++i)
        out[i] = QChar(static_cast<char16_t>((in[2 * i + high] << 8) | in[2 * i + 1 - high]));
    return text;
}

QByteArray EncodeUtf16(QStringView text, int high)
{
    QByteArray bytes(text.size() * 2, Qt::Uninitialized);
    char* out = bytes.data();
    for (qsizetype i = 0; i < text.size(); ++i) {
        out[2 * i + high] = static_cast<char>(text[i].unicode() >> 8);
        out[2 * i + 1 - high] = static_cast<char>(text[i].unicode() & 0xFF);
    }
    return bytes;
}

} // namespace

QString DecodeUtf16LE(const QByteArray& bytes)
{
    return DecodeUtf16(bytes, 1);
}

QByteArray EncodeUtf16LE(const QString& text)
{
    return EncodeUtf16(text, 1);
}

QString TTextForm::Decode(const QByteArray& fileBytes) const
{
    const QByteArray body = fileBytes.mid(MarkSize);
    switch (Encoding) {
    case TTextEncoding::teUtf16LE:
        return DecodeUtf16(body, 1);
    case TTextEncoding::teUtf16BE:
        return DecodeUtf16(body, 0);
    case TTextEncoding::teWindows1252:
        break;
    }
    return DecodeWindows1252(body);
}

QByteArray TTextForm::Encode(QStringView text) const
{
    switch (Encoding) {
    case TTextEncoding::teUtf16LE:
        return EncodeUtf16(text, 1);
    case TTextEncoding::teUtf16BE:
        return EncodeUtf16(text, 0);
    case TTextEncoding::teWindows1252:
        break;
    }
    return EncodeWindows1252(text.toString());
}

TTextForm DetectTextForm(const QByteArray& fileBytes)
{
    if (fileBytes.startsWith("\xFF\xFE"))
        return {TTextEncoding::teUtf16LE, 2, true};
    if (fileBytes.startsWith("\xFE\xFF"))
        return {TTextEncoding::teUtf16BE, 2, true};
    const qsizetype size = fileBytes.size();
    if (!std::memchr(fileBytes.constData(), 0, size_t(size)))
        return {};
    // The lines, keys and brackets of these files are ASCII, whose characters have a zero high
    // byte in UTF-16: zeros in many odd places mean little-endian, in many even places
    // big-endian. A few zeros in the other places come from characters such as U+0100.
    qsizetype evenZeros = 0;
    qsizetype oddZeros = 0;
    for (qsizetype i = 0; i < size; ++i) {
        if (fileBytes[i] == 0)
            ++((i & 1) ? oddZeros : evenZeros);
    }
    const qsizetype units = size / 2;
    if (size % 2 == 0) {
        if (oddZeros * 4 >= units && evenZeros * 4 <= oddZeros)
            return {TTextEncoding::teUtf16LE, 0, true};
        if (evenZeros * 4 >= units && oddZeros * 4 <= evenZeros)
            return {TTextEncoding::teUtf16BE, 0, true};
    }
    return {TTextEncoding::teWindows1252, 0, false};
}

QString DecodeText(const QByteArray& fileBytes)
{
    return DetectTextForm(fileBytes).Decode(fileBytes);
}
