#include "GamePath.h"

#include "FileMask.h"
#include "FolderScan.h"

#include <QDir>
#include <QFileInfo>

namespace {

bool IsSeparator(QChar c)
{
    return c == QLatin1Char('/') || c == QLatin1Char('\\');
}

bool IsDriveLetterPath(const QString& path)
{
    if (path.size() < 2 || path[1] != QLatin1Char(':'))
        return false;
    const char16_t letter = path[0].unicode();
    if (!((letter >= u'a' && letter <= u'z') || (letter >= u'A' && letter <= u'Z')))
        return false;
    return path.size() == 2 || IsSeparator(path[2]);
}

QString WinePrefix()
{
    QString prefix = qEnvironmentVariable("WINEPREFIX");
    if (prefix.isEmpty())
        prefix = QDir::homePath() + QStringLiteral("/.wine");
    return WithoutTrailingSeparator(prefix);
}

// The entry of Folder whose name equals Name without regard to case; the first in sorted order
// when several do. Empty when there is none.
QString FindCaseInsensitive(const QString& folder, const QString& name)
{
    QVector<TFolderEntry> entries;
    if (!ScanFolder(folder, entries))
        return QString();
    QString best;
    for (const TFolderEntry& entry : entries) {
        if (entry.Name.compare(name, Qt::CaseInsensitive) == 0 &&
            (best.isEmpty() || FileNameLess(entry.Name, best)))
            best = entry.Name;
    }
    return best;
}

QString Joined(const QString& base, const QString& component)
{
    if (base.isEmpty())
        return component;
    return base.endsWith(QLatin1Char('/')) ? base + component : base + QLatin1Char('/') + component;
}

} // namespace

QString LocalPathFromWindows(const QString& path)
{
    QString result = path;
    result.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (!IsDriveLetterPath(result))
        return result;
    const QChar letter = result[0].toLower();
    const QString prefix = WinePrefix();
    QString drive = prefix + QStringLiteral("/dosdevices/") + letter + QLatin1Char(':');
    if (!PathPresent(drive) && letter == QLatin1Char('c'))
        drive = prefix + QStringLiteral("/drive_c");
    return drive + result.mid(2);
}

QString ResolveGamePath(const QString& path)
{
    const QString local = LocalPathFromWindows(path);
    if (local.isEmpty() || PathPresent(local))
        return local;

    const bool absolute = local.startsWith(QLatin1Char('/'));
    const bool trailing = local.endsWith(QLatin1Char('/'));
    const QStringList parts = local.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    const QString root = absolute ? QStringLiteral("/") : QString();

    // Usually only the last component or two differ in case: find the deepest ancestor that
    // exists as written, then resolve forward from there.
    qsizetype known = parts.size() - 1;
    QString base;
    for (; known > 0; --known) {
        base = root + parts.mid(0, known).join(QLatin1Char('/'));
        if (PathPresent(base))
            break;
    }
    if (known <= 0) {
        known = 0;
        base = root;
    }

    qsizetype i = known;
    for (; i < parts.size(); ++i) {
        const QString& component = parts[i];
        const QString exact = Joined(base, component);
        if (component == QLatin1String(".") || component == QLatin1String("..") ||
            PathPresent(exact)) {
            base = exact;
            continue;
        }
        const QString match =
            FindCaseInsensitive(base.isEmpty() ? QStringLiteral(".") : base, component);
        if (match.isEmpty())
            break;
        base = Joined(base, match);
    }
    for (; i < parts.size(); ++i)
        base = Joined(base, parts[i]);
    if (trailing && !base.endsWith(QLatin1Char('/')))
        base += QLatin1Char('/');
    return base;
}

bool GameFileExists(const QString& path)
{
    return QFileInfo(ResolveGamePath(path)).isFile();
}

bool GameFolderExists(const QString& path)
{
    const QString resolved = ResolveGamePath(path);
    return !resolved.isEmpty() && QFileInfo(resolved).isDir();
}

QString JoinPath(const QString& folder, const QString& name)
{
    qsizetype end = folder.size();
    while (end > 0 && IsSeparator(folder[end - 1]))
        --end;
    qsizetype start = 0;
    while (start < name.size() && IsSeparator(name[start]))
        ++start;
    if (folder.isEmpty())
        return name.mid(start);
    return folder.left(end) + QLatin1Char('/') + name.mid(start);
}

QString WithTrailingSeparator(const QString& path)
{
    if (path.isEmpty())
        return path;
    QString result = path;
    result.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (!result.endsWith(QLatin1Char('/')))
        result += QLatin1Char('/');
    return result;
}

QString WithoutTrailingSeparator(const QString& path)
{
    QString result = path;
    result.replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (result.size() > 1 && result.endsWith(QLatin1Char('/')))
        result.chop(1);
    return result;
}

bool PathPresent(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}
