#pragma once

#include <QByteArray>
#include <QString>

// The game's text files are single-byte Windows-1252, or UTF-16LE with a byte-order mark.

enum class TTextEncoding
{
    teWindows1252,
    teUtf16LE
};

// Windows-1252 to Unicode. Every byte maps to one character and back, including the five bytes
// that Windows-1252 leaves undefined (they map to U+0081, U+008D, U+008F, U+0090, U+009D), so
// a decode followed by an encode gives the same bytes.
QString DecodeWindows1252(const QByteArray& bytes);

// Unicode to Windows-1252; a character that has no byte becomes '?'.
QByteArray EncodeWindows1252(const QString& text);

// UTF-16LE bytes (without the byte-order mark) to Unicode; an odd last byte is dropped.
QString DecodeUtf16LE(const QByteArray& bytes);
QByteArray EncodeUtf16LE(const QString& text);

// The encoding of a whole file's bytes: UTF-16LE when it starts with FF FE, else Windows-1252.
TTextEncoding DetectTextEncoding(const QByteArray& fileBytes);

// A whole file's bytes to text, the byte-order mark removed.
QString DecodeText(const QByteArray& fileBytes);
