#pragma once

#include <QByteArray>
#include <QList>
#include <QtGlobal>

#include <functional>

// Windows bitmap files made by code, as the game writes its screenshots: a BITMAPFILEHEADER and
// BITMAPINFOHEADER, bottom-up rows padded to four bytes. Colours are 0xRRGGBB.

// A 24-bit bitmap whose pixel (x, y), y counted from the top, has the colour Pixel gives.
QByteArray BitmapBytes24(int width, int height, const std::function<quint32(int x, int y)>& pixel);

// An 8-bit bitmap with a palette of up to 256 colours; Index gives each pixel's palette entry.
QByteArray BitmapBytes8(int width, int height, const QList<quint32>& palette,
                        const std::function<int(int x, int y)>& index);

// Four coloured quadrants (red top left, green top right, blue bottom left, white bottom right),
// easy to recognise again after a lossy conversion.
quint32 QuadrantColour(int x, int y, int width, int height);
