#pragma once

#include <QHash>
#include <QIcon>
#include <QList>
#include <QString>

// The shared list of small file-type icons the main window's file lists show, taken from the
// desktop's icon theme. An icon is added the first time its file type is asked for.
class TSystemImages final
{
public:
    // The index of the icon for files of FileName's type (the file need not exist); the small
    // icon is the only size the lists use.
    int GetFileIconIndex(const QString& fileName, bool small = true);
    QIcon Icon(int index) const;
    int Count() const { return int(FIcons.size()); }
    // Icon(GetFileIconIndex(FileName)), looked up once per extension (letter case aside): the
    // file lists show thousands of files of a handful of types, and a type lookup is slow.
    QIcon FileIcon(const QString& fileName);

private:
    QList<QString> FTypes; // MIME type name per index
    QList<QIcon> FIcons;
    QHash<QString, int> FIndexOfExtension; // lower case, without the dot
};

// The program's one list (the main window's FSystemImages).
TSystemImages& SystemImages();

// The free routine the pages call: SystemImages().GetFileIconIndex.
int GetFileIconIndex(const QString& fileName, bool small);

// Root folders the folder picker may start in.
constexpr int CSIDL_DESKTOP = 0;
constexpr int CSIDL_DRIVES = 17;

// The folder picker, owned by the active window and starting at Path (else at the root that
// RootCSIDL names: the file system's root for the drives, the home folder for the desktop).
// Path becomes the chosen folder (true); on cancel it stays as it was (false).
bool BrowseForFolder(int rootCSIDL, const QString& title, QString& path);
