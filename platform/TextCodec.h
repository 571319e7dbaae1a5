#pragma once

#include <QByteArray>
#include <QString>

// The game's text files are single-byte Windows-1252, or UTF-16LE with a byte-order mark. Files
// that editors wrote come as UTF-16 without the mark or big-endian too.

enum class TTextEncoding
{
    teWindows1252,
    teUtf16LE,
    teUtf16BE
};

// How a file's bytes hold its text, with the means to map characters back to those bytes.
struct TTextForm
{
    TTextEncoding Encoding = TTextEncoding::teWindows1252;
    qsizetype MarkSize = 0; // bytes of the byte-order mark before the text
    // False when the bytes fit no encoding that can be told (text bytes with zero bytes among
    // them in no UTF-16 pattern): the text is then read as Windows-1252 but never written back.
    bool Known = true;

    qsizetype UnitSize() const { return Encoding == TTextEncoding::teWindows1252 ? 1 : 2; }
    // Byte offset in the file of a character position of the decoded text.
    qsizetype ByteOffset(qsizetype charPos) const { return MarkSize + charPos * UnitSize(); }
    // The text of a whole file's bytes, without the mark; an odd last byte of UTF-16 is dropped.
    QString Decode(const QByteArray& fileBytes) const;
    // Text as the file holds it (without a mark).
    QByteArray Encode(QStringView text) const;
};

// The form of a whole file's bytes: a UTF-16 byte-order mark (FF FE, FE FF) decides; without
// one, zero bytes in many odd (little-endian) or even (big-endian) places of an even-sized file
// mark UTF-16 without a mark, and a file without zero bytes is Windows-1252.
TTextForm DetectTextForm(const QByteArray& fileBytes);

// Windows-1252 to Unicode. Every byte maps to one character and back, including the five bytes
// that Windows-1252 leaves undefined (they map to U+0081, U+008D, U+008F, U+0090, U+009D), so
// a decode followed by an encode gives the same bytes.
QString DecodeWindows1252(const QByteArray& bytes);

// Unicode to Windows-1252; a character that has no byte becomes '?'.
QByteArray EncodeWindows1252(const QString& text);

// UTF-16LE bytes (without the byte-order mark) to Unicode; an odd last byte is dropped.
QString DecodeUtf16LE(const QByteArray& bytes);
QByteArray EncodeUtf16LE(const QString& text);

// A whole file's bytes to text in its detected form, the byte-order mark removed.
QString DecodeText(const QByteArray& fileBytes);
