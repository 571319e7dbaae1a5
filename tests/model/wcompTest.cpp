#include "wcomp.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

bool Wild(const char* mask, const char* s)
{
    return CompareWildString(QString::fromUtf8(mask), QString::fromUtf8(s));
}

} // namespace

TEST(WildcardTest, MasksCaseAndCharactersBeyondAscii)
{
    EXPECT_TRUE(Wild("*", ""));
    EXPECT_FALSE(Wild("?", ""));
    EXPECT_FALSE(Wild("", "a"));
    // The star must try every split and still refuse more text after the extension.
    EXPECT_FALSE(Wild("*.ut2", "DM-Rankin.ut2.bak"));
    EXPECT_TRUE(Wild("*a?c", "xxabcabc"));
    EXPECT_FALSE(Wild("DM-*", "dm-rankin.ut2"));
    EXPECT_TRUE(CompareWildText(u"DM-É?"_s, u"dm-éa"_s));
    // "?" is one character, also outside the 16-bit range and where upper case would be two.
    EXPECT_TRUE(Wild("DM-?.ut2", "DM-\xF0\x9F\x98\x80.ut2"));
    EXPECT_TRUE(CompareWildText(u"?"_s, u"ß"_s));
}

TEST(WildcardTest, AnyNumberOfStarsWithoutFailure)
{
    EXPECT_TRUE(Wild("a*********", "a"));
    EXPECT_FALSE(Wild("*a*b*c*d*e*f*g*h*i*j*k", "0a1b2c3d4e5f6g7h8i9j0"));
    // A mask that makes a naive backtracking search explode ends at once.
    const QString text(4000, u'a');
    EXPECT_FALSE(CompareWildString(QString(u"*a"_s).repeated(30) + u'b', text));
    EXPECT_TRUE(CompareWildString(QString(u"*a"_s).repeated(30) + u'*', text));
}
