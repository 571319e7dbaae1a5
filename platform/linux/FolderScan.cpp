#include "FolderScan.h"

#include <QFile>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

bool GetFileId(const QString& path, TFileId& id)
{
    struct stat st;
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &st) != 0)
        return false;
    id.Device = st.st_dev;
    id.Inode = st.st_ino;
    return true;
}

bool ScanFolder(const QString& folder, QVector<TFolderEntry>& entries, TFileId* id)
{
    DIR* dir = ::opendir(QFile::encodeName(folder.isEmpty() ? QStringLiteral(".") : folder));
    if (!dir)
        return false;
    const int fd = ::dirfd(dir);
    if (id) {
        struct stat st;
        if (::fstat(fd, &st) == 0) {
            id->Device = st.st_dev;
            id->Inode = st.st_ino;
        }
    }
    while (const dirent* entry = ::readdir(dir)) {
        const char* name = entry->d_name;
        if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
            continue;
        bool isFolder;
        // The type from the folder itself saves a stat per file; links and file systems that
        // give no type need one.
        switch (entry->d_type) {
        case DT_REG:
            isFolder = false;
            break;
        case DT_DIR:
            isFolder = true;
            break;
        case DT_LNK:
        case DT_UNKNOWN: {
            struct stat st;
            if (::fstatat(fd, name, &st, 0) != 0)
                continue;
            if (S_ISDIR(st.st_mode))
                isFolder = true;
            else if (S_ISREG(st.st_mode))
                isFolder = false;
            else
                continue;
            break;
        }
        default:
            continue;
        }
        entries.append({QFile::decodeName(name), isFolder});
    }
    ::closedir(dir);
    return true;
}
