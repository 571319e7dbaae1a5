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
