#include "TextCodec.h"

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

QString DecodeUtf16LE(const QByteArray& bytes)
{
    const qsizetype count = bytes.size() / 2;
    QString text(count, Qt::Uninitialized);
    QChar* out = text.data();
    const auto* in = reinterpret_cast<const unsigned char*>(bytes.constData());
    for (qsizetype i = 0; i < count; ++i)
        out[i] = QChar(static_cast<char16_t>(in[2 * i] | (in[2 * i + 1] << 8)));
    return text;
}

QByteArray EncodeUtf16LE(const QString& text)
{
    QByteArray bytes(text.size() * 2, Qt::Uninitialized);
    char* out = bytes.data();
    for (const QChar c : text) {
        *out++ = static_cast<char>(c.unicode() & 0xFF);
        *out++ = static_cast<char>(c.unicode() >> 8);
    }
    return bytes;
}

TTextEncoding DetectTextEncoding(const QByteArray& fileBytes)
{
    return fileBytes.startsWith("\xFF\xFE") ? TTextEncoding::teUtf16LE
                                            : TTextEncoding::teWindows1252;
}

QString DecodeText(const QByteArray& fileBytes)
{
    if (DetectTextEncoding(fileBytes) == TTextEncoding::teUtf16LE)
        return DecodeUtf16LE(fileBytes.mid(2));
    return DecodeWindows1252(fileBytes);
}
