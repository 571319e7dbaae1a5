#include "TServerPackage.h"

#include "AtomicFile.h"
#include "GamePath.h"
#include "TServerPackages.h"
#include "TextCodec.h"
#include "TextLines.h"

#include <QFileInfo>

#include <algorithm>

namespace {

// Trimmed of everything up to the blank at both ends, control characters included.
QString TrimmedLine(const QString& line)
{
    qsizetype b = 0;
    qsizetype e = line.size();
    while (b < e && line[b].unicode() <= u' ')
        ++b;
    while (e > b && line[e - 1].unicode() <= u' ')
        --e;
    return line.mid(b, e - b);
}

// Name with its extension (the text from the last dot of its last component) replaced by Ext.
QString ChangeFileExt(const QString& name, const QString& ext)
{
    const qsizetype dot = name.lastIndexOf(u'.');
    qsizetype separator = -1;
    for (const QChar c : {QChar(u'/'), QChar(u'\\'), QChar(u':')})
        separator = std::max(separator, name.lastIndexOf(c));
    return (dot > separator ? name.left(dot) : name) + ext;
}

QString ExtensionOf(const QString& path)
{
    const QString name = QFileInfo(path).fileName();
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot < 0 ? QString() : name.mid(dot);
}

} // namespace

TServerPackage::TServerPackage(const QString& line, TServerPackages* owner)
    : Owner(owner)
    , Line(TrimmedLine(line))
{}

bool TServerPackage::IsEnabled() const
{
    return !Line.startsWith(u';');
}

void TServerPackage::SetEnabled(bool value)
{
    if (value == IsEnabled())
        return;
    if (value)
        Line.remove(0, 1);
    else
        Line.prepend(u';');
}

QString TServerPackage::GetPackageName() const
{
    const qsizetype eq = Line.indexOf(u'=');
    return eq < 0 ? QString() : Line.mid(eq + 1);
}

QString TServerPackage::GetFileName() const
{
    const QString name = GetPackageName();
    if (name.isEmpty())
        return QString();
    QString ext;
    QByteArray bytes;
    if (Owner && GameFileExists(Owner->IniFile) &&
        ReadWholeFile(ResolveGamePath(Owner->IniFile), bytes)) {
        const QString systemDir = Owner->GetSystemDir();
        const QString text = DecodeText(bytes);
        // Only the game's own search paths count: a "Paths" key, not a commented one or a key
        // that merely ends in "Paths".
        for (const TTextLine& textLine : SplitLines(text)) {
            const QStringView line =
                QStringView(text).sliced(textLine.Start, textLine.End - textLine.Start).trimmed();
            if (!line.startsWith(QLatin1String("Paths=")))
                continue;
            const QString pattern = line.sliced(6).toString().replace(u'\\', u'/');
            const QString candidate =
                ResolveGamePath(JoinPath(systemDir, QString(pattern).replace(u'*', name)));
            if (QFileInfo(candidate).isFile()) {
                ext = ExtensionOf(candidate);
                break;
            }
        }
    }
    return ChangeFileExt(name, ext);
}
