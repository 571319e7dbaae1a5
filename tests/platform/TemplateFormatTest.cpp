#include "TemplateFormat.h"

#include <QLocale>

#include <gtest/gtest.h>

namespace {

class TTemplateFormat : public ::testing::Test
{
protected:
    void SetUp() override { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void TearDown() override { QLocale::setDefault(QLocale::c()); }
};

TEST_F(TTemplateFormat, Conversions)
{
    EXPECT_EQ(FormatTemplate("%d Byte", {qint64(1023)}), "1023 Byte");
    EXPECT_EQ(FormatTemplate("%s has %d maps", {"DM", 12}), "DM has 12 maps");
    EXPECT_EQ(FormatTemplate("%D|%S", {-7, "x"}), "-7|x"); // letters in any case
    EXPECT_EQ(FormatTemplate("%u", {-1}), "4294967295");
    EXPECT_EQ(FormatTemplate("%x %.4x", {255, 10}), "FF 000A");
    EXPECT_EQ(FormatTemplate("%.3d", {-5}), "-005");
    EXPECT_EQ(FormatTemplate("%f", {2.5}), "2.50");
    EXPECT_EQ(FormatTemplate("%.1f", {1234.56}), "1234.6");
    EXPECT_EQ(FormatTemplate("%e", {1234.5}), "1.23450000000000E+003");
    EXPECT_EQ(FormatTemplate("%g", {0.5}), "0.5");
    EXPECT_EQ(FormatTemplate("%.3s", {"abcdef"}), "abc");
    EXPECT_EQ(FormatTemplate("100%%", {}), "100%");
}

TEST_F(TTemplateFormat, NumbersTakeTheLocaleSeparators)
{
    EXPECT_EQ(FormatTemplate("%2n KB", {1024.0}), "1,024.00 KB");
    EXPECT_EQ(FormatTemplate("%2n", {1.0}), "1.00");
    EXPECT_EQ(FormatTemplate("%n", {-1234567.891}), "-1,234,567.89");
    EXPECT_EQ(FormatTemplate("%.0n", {999999.6}), "1,000,000");
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(FormatTemplate("%2n MB", {1234.5}), "1.234,50 MB");
    EXPECT_EQ(FormatTemplate("%f", {0.25}), "0,25");
    // Digits stay ASCII where the locale has digits of its own.
    QLocale::setDefault(QLocale(QLocale::Arabic, QLocale::Egypt));
    const QString arabic = FormatTemplate("%n", {1234.5});
    EXPECT_TRUE(arabic.startsWith("1") && arabic.endsWith("50")) << qPrintable(arabic);
}

TEST_F(TTemplateFormat, IndexWidthAndJustification)
{
    EXPECT_EQ(FormatTemplate("%1:s %0:s %s", {"a", "b", "c"}), "b a b");
    EXPECT_EQ(FormatTemplate("[%5s][%-5s]", {"ab", "cd"}), "[   ab][cd   ]");
    EXPECT_EQ(FormatTemplate("[%2n]", {5.0}), "[5.00]");
    EXPECT_EQ(FormatTemplate("[%8n]", {5.0}), "[    5.00]");
    EXPECT_EQ(FormatTemplate("[%*d][%-*.*d]", {4, 7, 5, 3, 9}), "[   7][009  ]");
}

TEST_F(TTemplateFormat, ArgumentsOfAnotherKind)
{
    EXPECT_EQ(FormatTemplate("%d", {"42"}), "42");
    EXPECT_EQ(FormatTemplate("%d", {"many"}), "many");
    EXPECT_EQ(FormatTemplate("%d", {2.6}), "3");
    EXPECT_EQ(FormatTemplate("%s", {12}), "12");
    EXPECT_EQ(FormatTemplate("%2n", {"1.5"}), "1.50");
    EXPECT_EQ(FormatTemplate("%f", {"none"}), "none");
}

TEST_F(TTemplateFormat, BadTemplatesAndMissingArgumentsGiveBestEffortText)
{
    // Too few arguments: the conversion stays as written, the rest goes on.
    EXPECT_EQ(FormatTemplate("%s and %s", {"one"}), "one and %s");
    EXPECT_EQ(FormatTemplate("%d files in %s", {}), "%d files in %s");
    EXPECT_EQ(FormatTemplate("%5:s then %s", {"a"}), "%5:s then %s");
    EXPECT_EQ(FormatTemplate("%*d", {}), "%*d");
    // A bad conversion: copied as it stands from there on.
    EXPECT_EQ(FormatTemplate("a %q %s", {"x"}), "a %q %s");
    EXPECT_EQ(FormatTemplate("50%", {}), "50%");
    EXPECT_EQ(FormatTemplate("%s %", {"x"}), "x %");
    EXPECT_EQ(FormatTemplate("%.d", {1}), "%.d");
    EXPECT_EQ(FormatTemplate("%10-s", {"x"}), "%10-s");
    // Huge widths are capped instead of building a gigantic text.
    EXPECT_LE(FormatTemplate("%999999999999s", {"x"}).size(), 4096);
    EXPECT_EQ(FormatTemplate({}, {1}), QString());
}

} // namespace
