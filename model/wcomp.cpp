#include "wcomp.h"

#include <QChar>

namespace {

std::u32string CodePoints(QStringView text, bool upper)
{
    std::u32string result;
    result.reserve(static_cast<std::size_t>(text.size()));
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text[i].unicode(), text[i + 1].unicode());
            ++i;
        }
        // One character for one: a mapping that would change the length ("ß" to "SS") is not
        // taken, so "?" keeps meaning one character of the name as written.
        result.push_back(upper ? QChar::toUpper(c) : c);
    }
    return result;
}

// Backtracking to the latest "*" alone is enough: an earlier star could only take characters
// that the latest one can take as well. So no stack of stars is needed and there is no limit.
bool Match(std::u32string_view mask, std::u32string_view s)
{
    std::size_t p = 0;
    std::size_t t = 0;
    std::size_t starP = std::u32string_view::npos;
    std::size_t starT = 0;
    while (t < s.size()) {
        if (p < mask.size() && mask[p] == U'*') {
            starP = p++;
            starT = t;
        } else if (p < mask.size() && (mask[p] == U'?' || mask[p] == s[t])) {
            ++p;
            ++t;
        } else if (starP != std::u32string_view::npos) {
            p = starP + 1;
            t = ++starT;
        } else {
            return false;
        }
    }
    while (p < mask.size() && mask[p] == U'*')
        ++p;
    return p == mask.size();
}

} // namespace

bool CompareWildString(QStringView mask, QStringView s)
{
    return Match(CodePoints(mask, false), CodePoints(s, false));
}

bool CompareWildText(QStringView mask, QStringView s)
{
    return Match(CodePoints(mask, true), CodePoints(s, true));
}

TWildTextMask::TWildTextMask(QStringView mask)
    : FMask(CodePoints(mask, true))
{}

bool TWildTextMask::Matches(QStringView s) const
{
    return Match(FMask, CodePoints(s, true));
}
