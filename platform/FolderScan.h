#pragma once

#include <QString>
#include <QVector>

// The raw listing beneath the file masks, the file search and the file operations.

// A file's or folder's identity on its file system: two paths with the same identity are the
// same file (links, or another spelling on a case-insensitive mount).
struct TFileId
{
    quint64 Device = 0;
    quint64 Inode = 0;
    friend bool operator==(const TFileId&, const TFileId&) = default;
};

// The identity of what Path names, links followed. False when it does not exist.
bool GetFileId(const QString& path, TFileId& id);

struct TFolderEntry
{
    QString Name;
    bool IsFolder = false;
};

// The entries of a folder as one block of names, for walks over many folders, where a string
// per entry would cost more than the walk itself.
struct TFolderNames
{
    struct TName
    {
        qsizetype Start;
        qsizetype Size;
        bool IsFolder;
    };
    QString Text;         // every name, one after the other
    QVector<TName> Names; // in the order of the file system, until sorted
    QStringView Name(qsizetype index) const
    {
        return QStringView(Text).sliced(Names[index].Start, Names[index].Size);
    }
};

// ScanFolder into one block of names.
bool ScanFolderNames(const QString& folder, TFolderNames& names, TFileId* id = nullptr);

// The entries of Folder in the order of the file system: "." and ".." left out, a link taken as
// what it points to, dangling links and entries that are neither regular files nor folders
// (devices, pipes, sockets) left out. False when the folder cannot be read; Id, when given,
// receives the folder's own identity.
bool ScanFolder(const QString& folder, QVector<TFolderEntry>& entries, TFileId* id = nullptr);
