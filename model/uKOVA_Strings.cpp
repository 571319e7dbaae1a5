#include "uKOVA_Strings.h"

QStringList SplitString(const QString& delimiter, const QString& s, int limit)
{
    if (limit < 0 || s.isEmpty())
        return {};
    if (delimiter.isEmpty())
        return {s};
    QStringList parts;
    qsizetype pos = 0;
    while (pos < s.size()) {
        if (limit > 0 && parts.size() == limit - 1) {
            parts.append(s.mid(pos));
            break;
        }
        const qsizetype found = s.indexOf(delimiter, pos, Qt::CaseSensitive);
        if (found < 0) {
            parts.append(s.mid(pos));
            break;
        }
        parts.append(s.mid(pos, found - pos));
        pos = found + delimiter.size();
    }
    return parts;
}

bool SameTextAscii(const QString& a, const QString& b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        char16_t x = a.at(i).unicode();
        char16_t y = b.at(i).unicode();
        if (x >= u'a' && x <= u'z')
            x -= u'a' - u'A';
        if (y >= u'a' && y <= u'z')
            y -= u'a' - u'A';
        if (x != y)
            return false;
    }
    return true;
}
