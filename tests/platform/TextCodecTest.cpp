#include "TextCodec.h"

#include <gtest/gtest.h>

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
}

TEST(TextCodec, UnmappableCharactersBecomeQuestionMarks)
{
    EXPECT_EQ(EncodeWindows1252(QStringLiteral("a\u0416\u20ac\U0001F600b")), "a?\x80??b");
}

TEST(TextCodec, Utf16LittleEndian)
{
    const QString text = QStringLiteral("A\u00e9\u0416\U0001F600");
    const QByteArray bytes = EncodeUtf16LE(text);
    EXPECT_EQ(bytes, QByteArray("A\0\xe9\0\x16\x04\x3d\xd8\x00\xde", 10));
    EXPECT_EQ(DecodeUtf16LE(bytes), text);
    EXPECT_EQ(DecodeUtf16LE(bytes + "\x41"), text); // an odd last byte is dropped
}

TEST(TextCodec, WholeFilesByTheirByteOrderMark)
{
    EXPECT_EQ(DetectTextEncoding("\xff\xfe[\0"), TTextEncoding::teUtf16LE);
    EXPECT_EQ(DetectTextEncoding("\xff"), TTextEncoding::teWindows1252);
    EXPECT_EQ(DetectTextEncoding("\xfe\xff"), TTextEncoding::teWindows1252);
    EXPECT_EQ(DetectTextEncoding({}), TTextEncoding::teWindows1252);
    EXPECT_EQ(DecodeText(QByteArray("\xff\xfe"
                                    "A\0=\0",
                                    6)),
              "A=");
    EXPECT_EQ(DecodeText("Caf\xe9"), QStringLiteral("Caf\u00e9"));
    EXPECT_EQ(DecodeText("\xff\xfe"), QString());
}

} // namespace
