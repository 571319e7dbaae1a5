#include "SystemImages.h"

#include "IDialogs.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QStyle>

int TSystemImages::GetFileIconIndex(const QString& fileName, bool)
{
    static const QMimeDatabase database;
    const QMimeType type = database.mimeTypeForFile(fileName, QMimeDatabase::MatchExtension);
    const qsizetype known = FTypes.indexOf(type.name());
    if (known >= 0)
        return int(known);
    // Themes name icons by type, then by the type's generic kind; without either the style's
    // plain file icon serves.
    QIcon icon = QIcon::fromTheme(type.iconName());
    if (icon.isNull())
        icon = QIcon::fromTheme(type.genericIconName());
    if (icon.isNull())
        icon = QApplication::style()->standardIcon(QStyle::SP_FileIcon);
    FTypes.append(type.name());
    FIcons.append(icon);
    return int(FIcons.size() - 1);
}

QIcon TSystemImages::Icon(int index) const
{
    return index >= 0 && index < FIcons.size() ? FIcons.at(index) : QIcon();
}

QIcon TSystemImages::FileIcon(const QString& fileName)
{
    const qsizetype dot = fileName.lastIndexOf(u'.');
    // A name without an extension may still have a type of its own ("Makefile").
    if (dot < 0 || fileName.indexOf(u'/', dot) >= 0)
        return Icon(GetFileIconIndex(fileName));
    const QString extension = fileName.mid(dot + 1).toLower();
    auto known = FIndexOfExtension.constFind(extension);
    if (known == FIndexOfExtension.constEnd())
        known = FIndexOfExtension.insert(extension, GetFileIconIndex(fileName));
    return Icon(*known);
}

TSystemImages& SystemImages()
{
    static TSystemImages images;
    return images;
}

int GetFileIconIndex(const QString& fileName, bool small)
{
    return SystemImages().GetFileIconIndex(fileName, small);
}

bool BrowseForFolder(int rootCSIDL, const QString& title, QString& path)
{
    QString start = path;
    if (start.isEmpty() || !QFileInfo(start).isDir())
        start = rootCSIDL == CSIDL_DESKTOP ? QDir::homePath() : QDir::rootPath();
    if (!Dialogs().BrowseForFolder(QApplication::activeWindow(), title, start))
        return false;
    path = start;
    return true;
}
