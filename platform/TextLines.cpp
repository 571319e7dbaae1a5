#include "TextLines.h"

std::vector<TTextLine> SplitLines(QStringView text)
{
    std::vector<TTextLine> lines;
    lines.reserve(size_t(text.size() / 24 + 1));
    for (qsizetype start = 0; start < text.size();) {
        const qsizetype lf = text.indexOf(u'\n', start);
        const qsizetype next = lf < 0 ? text.size() : lf + 1;
        qsizetype end = lf < 0 ? text.size() : lf;
        if (lf >= 0 && end > start && text[end - 1] == u'\r')
            --end;
        lines.push_back({start, end, next});
        start = next;
    }
    return lines;
}
