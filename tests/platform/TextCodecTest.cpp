#include "TextCodec.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace Qt::StringLiterals;

namespace {

TEST(TextCodec, EveryWindows1252ByteSurvivesARoundTrip)
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    const QString text = DecodeWindows1252(all);
    ASSERT_EQ(text.size(), 256);
    EXPECT_EQ(EncodeWindows1252(text), all);
    // The bytes that Windows-1252 gives meaning to, and one it leaves undefined.
    EXPECT_EQ(text[0x80], QChar(0x20AC));
    EXPECT_EQ(text[0x9F], QChar(0x0178));
    EXPECT_EQ(text[0xE9], QChar(0x00E9));
    EXPECT_EQ(text[0x81], QChar(0x0081));
    EXPECT_EQ(text[0x1B], QChar(0x001B));
    // What it cannot hold becomes a question mark.
    EXPECT_EQ(EncodeWindows1252(u"a\u0416\u20ac\U0001F600b"_s), "a?\x80??b");
}

TEST(TextCodec, Utf16LittleEndian)
{
    const QString text = u"A\u00e9\u0416\U0001F600"_s;
    const QByteArray bytes = EncodeUtf16LE(text);
    EXPECT_EQ(bytes, QByteArray("A\0\xe9\0\x16\x04\x3d\xd8\x00\xde", 10));
    EXPECT_EQ(DecodeUtf16LE(bytes), text);
    EXPECT_EQ(DecodeUtf16LE(bytes + "\x41"), text); // an odd last byte is dropped
}

TEST(TextCodec, WholeFilesByTheirMarkOrTheirZeroBytes)
{
    const auto form = [](const QByteArray& bytes) {
        const TTextForm f = DetectTextForm(bytes);
        return std::make_tuple(f.Encoding, f.MarkSize, f.Known);
    };
    using E = TTextEncoding;
    EXPECT_EQ(form("\xff\xfe[\0"), std::make_tuple(E::teUtf16LE, 2, true));
    EXPECT_EQ(form("\xfe\xff\0["), std::make_tuple(E::teUtf16BE, 2, true));
    EXPECT_EQ(form("\xff"), std::make_tuple(E::teWindows1252, 0, true));
    EXPECT_EQ(form({}), std::make_tuple(E::teWindows1252, 0, true));
    EXPECT_EQ(form(QByteArray("[\0S\0]\0", 6)), std::make_tuple(E::teUtf16LE, 0, true));
    EXPECT_EQ(form(QByteArray("\0[\0S\0]", 6)), std::make_tuple(E::teUtf16BE, 0, true));
    // A Hangul syllable U+AC00 has a zero low byte among the ASCII high ones.
    EXPECT_EQ(form(QByteArray("[\0S\0]\0\r\0\n\0K\0=\0\0\xac", 16)),
              std::make_tuple(E::teUtf16LE, 0, true));
    // Zero bytes in no UTF-16 pattern, or in an odd-sized file: the encoding cannot be told.
    EXPECT_FALSE(DetectTextForm(QByteArray("[S]\0\0\r\nK=1", 11)).Known);
    EXPECT_FALSE(DetectTextForm(QByteArray("[\0S\0]", 5)).Known);

    EXPECT_EQ(DecodeText(QByteArray("\xff\xfe"
                                    "A\0=\0",
                                    6)),
              "A=");
    EXPECT_EQ(DecodeText(QByteArray("\xfe\xff\0A\x04\x16", 6)), u"A\u0416"_s);
    EXPECT_EQ(DecodeText("Caf\xe9"), u"Caf\u00e9"_s);
    EXPECT_EQ(DecodeText("\xff\xfe"), QString());
}

} // namespace
