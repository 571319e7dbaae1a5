#include "WineRegistry.h"

#include "GamePath.h"

#include <QDir>
#include <QFile>

namespace {

int HexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

// Decodes the escaped text of the registry file from Pos up to the closing quote (or the end
// of the line for a key name, Terminator ']'). Pos ends after the terminator. Nothing when the
// terminator is missing.
std::optional<QString> Unescape(const QString& line, qsizetype& pos, QChar terminator)
{
    QString result;
    while (pos < line.size()) {
        const QChar c = line[pos++];
        if (c == terminator)
            return result;
        if (c != QLatin1Char('\\') || pos >= line.size()) {
            result += c;
            continue;
        }
        const QChar e = line[pos++];
        switch (e.unicode()) {
        case u'a':
            result += QChar(7);
            break;
        case u'b':
            result += QChar(8);
            break;
        case u'e':
            result += QChar(27);
            break;
        case u'f':
            result += QChar(12);
            break;
        case u'n':
            result += QChar(10);
            break;
        case u'r':
            result += QChar(13);
            break;
        case u't':
            result += QChar(9);
            break;
        case u'v':
            result += QChar(11);
            break;
        case u'x': {
            uint value = 0;
            int digits = 0;
            for (; digits < 4 && pos < line.size() && HexDigit(line[pos]) >= 0; ++digits)
                value = value * 16 + uint(HexDigit(line[pos++]));
            result += digits ? QChar(char16_t(value)) : QChar(u'x');
            break;
        }
        default:
            if (e >= QLatin1Char('0') && e <= QLatin1Char('7')) {
                uint value = uint(e.unicode() - u'0');
                for (int digits = 1; digits < 3 && pos < line.size() &&
                                     line[pos] >= QLatin1Char('0') && line[pos] <= QLatin1Char('7');
                     ++digits)
                    value = value * 8 + uint(line[pos++].unicode() - u'0');
                result += QChar(char16_t(value));
            } else {
                result += e; // "\\", "\"" and anything else stand for themselves
            }
        }
    }
    return std::nullopt;
}

QString NormalizedKey(QString key)
{
    key.replace(QLatin1Char('/'), QLatin1Char('\\'));
    while (key.startsWith(QLatin1Char('\\')))
        key.remove(0, 1);
    while (key.endsWith(QLatin1Char('\\')))
        key.chop(1);
    for (const QLatin1String root :
         {QLatin1String("HKEY_LOCAL_MACHINE\\"), QLatin1String("HKLM\\")})
        if (key.startsWith(root, Qt::CaseInsensitive))
            key.remove(0, root.size());
    return key;
}

// The 32-bit view first: the game and the tool are 32-bit programs, and a 64-bit prefix keeps
// their keys under Wow6432Node.
QStringList KeyViews(const QString& key)
{
    const QString software = QStringLiteral("Software\\");
    if (key.startsWith(software, Qt::CaseInsensitive) &&
        !key.mid(software.size()).startsWith(QLatin1String("Wow6432Node\\"), Qt::CaseInsensitive))
        return {software + QStringLiteral("Wow6432Node\\") + key.mid(software.size()), key};
    return {key};
}

std::optional<QString> ReadFromFile(QFile& file, const QString& key, const QString& valueName)
{
    file.seek(0);
    bool inKey = false;
    while (!file.atEnd()) {
        QString line = QString::fromUtf8(file.readLine());
        while (line.endsWith(QLatin1Char('\n')) || line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.startsWith(QLatin1Char('['))) {
            qsizetype pos = 1;
            const std::optional<QString> name = Unescape(line, pos, QLatin1Char(']'));
            inKey = name && name->compare(key, Qt::CaseInsensitive) == 0;
            continue;
        }
        if (!inKey)
            continue;
        qsizetype pos = 0;
        std::optional<QString> name;
        if (line.startsWith(QLatin1Char('@'))) {
            name = QString();
            pos = 1;
        } else if (line.startsWith(QLatin1Char('"'))) {
            pos = 1;
            name = Unescape(line, pos, QLatin1Char('"'));
        }
        if (!name || name->compare(valueName, Qt::CaseInsensitive) != 0)
            continue;
        if (pos >= line.size() || line[pos] != QLatin1Char('='))
            continue;
        ++pos;
        // Only plain strings; "str(2):", "hex:", "dword:" and the like are other types.
        if (pos >= line.size() || line[pos] != QLatin1Char('"'))
            return std::nullopt;
        ++pos;
        return Unescape(line, pos, QLatin1Char('"'));
    }
    return std::nullopt;
}

} // namespace

std::optional<QString> ReadLocalMachineString(const QString& key, const QString& valueName)
{
    QString prefix = qEnvironmentVariable("WINEPREFIX");
    if (prefix.isEmpty())
        prefix = QDir::homePath() + QStringLiteral("/.wine");
    QFile file(JoinPath(prefix, QStringLiteral("system.reg")));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    // "@" or an empty name is the key's default value.
    const QString name = valueName == QLatin1String("@") ? QString() : valueName;
    for (const QString& view : KeyViews(NormalizedKey(key))) {
        if (std::optional<QString> value = ReadFromFile(file, view, name))
            return value;
    }
    return std::nullopt;
}
