#include "BitmapWriter.h"

#include <QtEndian>

namespace {

void PutU16(QByteArray& bytes, quint16 value)
{
    char raw[2];
    qToLittleEndian(value, raw);
    bytes.append(raw, 2);
}

void PutU32(QByteArray& bytes, quint32 value)
{
    char raw[4];
    qToLittleEndian(value, raw);
    bytes.append(raw, 4);
}

QByteArray Headers(int width, int height, int bitCount, int paletteSize, int rowSize)
{
    const quint32 pixelOffset = 14 + 40 + 4 * paletteSize;
    const quint32 imageSize = static_cast<quint32>(rowSize * height);
    QByteArray bytes;
    bytes.append("BM", 2);
    PutU32(bytes, pixelOffset + imageSize);
    PutU32(bytes, 0); // reserved
    PutU32(bytes, pixelOffset);
    PutU32(bytes, 40);
    PutU32(bytes, static_cast<quint32>(width));
    PutU32(bytes, static_cast<quint32>(height)); // positive: bottom-up
    PutU16(bytes, 1);                            // planes
    PutU16(bytes, static_cast<quint16>(bitCount));
    PutU32(bytes, 0); // BI_RGB
    PutU32(bytes, imageSize);
    PutU32(bytes, 2835); // 72 dpi
    PutU32(bytes, 2835);
    PutU32(bytes, static_cast<quint32>(paletteSize));
    PutU32(bytes, 0);
    return bytes;
}

} // namespace

QByteArray BitmapBytes24(int width, int height, const std::function<quint32(int x, int y)>& pixel)
{
    const int rowSize = (width * 3 + 3) & ~3;
    QByteArray bytes = Headers(width, height, 24, 0, rowSize);
    QByteArray row(rowSize, '\0');
    for (int y = height - 1; y >= 0; --y) {
        for (int x = 0; x < width; ++x) {
            const quint32 colour = pixel(x, y);
            row[3 * x] = static_cast<char>(colour & 0xff);
            row[3 * x + 1] = static_cast<char>((colour >> 8) & 0xff);
            row[3 * x + 2] = static_cast<char>((colour >> 16) & 0xff);
        }
        bytes.append(row);
    }
    return bytes;
}

QByteArray BitmapBytes8(int width, int height, const QList<quint32>& palette,
                        const std::function<int(int x, int y)>& index)
{
    const int rowSize = (width + 3) & ~3;
    QByteArray bytes = Headers(width, height, 8, static_cast<int>(palette.size()), rowSize);
    for (quint32 colour : palette)
        PutU32(bytes, colour & 0xffffff); // blue, green, red, reserved
    QByteArray row(rowSize, '\0');
    for (int y = height - 1; y >= 0; --y) {
        for (int x = 0; x < width; ++x)
            row[x] = static_cast<char>(index(x, y));
        bytes.append(row);
    }
    return bytes;
}

quint32 QuadrantColour(int x, int y, int width, int height)
{
    const bool right = x >= width / 2;
    const bool bottom = y >= height / 2;
    if (!bottom)
        return right ? 0x00ff00 : 0xff0000;
    return right ? 0xffffff : 0x0000ff;
}
