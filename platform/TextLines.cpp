#include "TextLines.h"

std::vector<TTextLine> SplitLines(QStringView text)
{
    std::vector<TTextLine> lines;
    lines.reserve(size_t(text.size() / 24 + 1));
    // A text without any LF was written with CR alone ending its lines.
    const char16_t ending = text.contains(u'\n') || !text.contains(u'\r') ? u'\n' : u'\r';
    for (qsizetype start = 0; start < text.size();) {
        const qsizetype found = text.indexOf(ending, start);
        const qsizetype next = found < 0 ? text.size() : found + 1;
        qsizetype end = found < 0 ? text.size() : found;
        if (ending == u'\n' && found >= 0 && end > start && text[end - 1] == u'\r')
            --end;
        lines.push_back({start, end, next});
        start = next;
    }
    return lines;
}
