#pragma once

#include <QString>
#include <QStringView>

#include <string>

// Wildcard matching of file names against masks: "*" matches any run of characters (none
// included), "?" exactly one character, every other character itself. Characters are Unicode
// code points. Any number of "*" is allowed; matching takes time proportional to the product of
// the two lengths at worst and never fails.

// Case-sensitive match of S against Mask.
bool CompareWildString(QStringView mask, QStringView s);

// CompareWildString of both texts upper-cased character by character: the case-insensitive
// match that game types use.
bool CompareWildText(QStringView mask, QStringView s);

// A mask prepared once for CompareWildText against many texts.
class TWildTextMask final
{
public:
    explicit TWildTextMask(QStringView mask);
    bool Matches(QStringView s) const;

private:
    std::u32string FMask; // upper-cased code points
};
