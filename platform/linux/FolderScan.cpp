#include "FolderScan.h"

#include <QFile>

#include <cstring>
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

bool ScanFolderNames(const QString& folder, TFolderNames& names, TFileId* id)
{
    names.Text.clear();
    names.Names.clear();
    // Room for the names of a few hundred files, so that most folders need no second block.
    names.Text.reserve(16384);
    names.Names.reserve(512);
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
        // Most names are ASCII, which needs no decoder and no string of its own.
        const qsizetype start = names.Text.size();
        const size_t length = std::strlen(name);
        bool ascii = true;
        for (size_t i = 0; i < length && ascii; ++i)
            ascii = static_cast<unsigned char>(name[i]) < 0x80;
        if (ascii)
            names.Text.append(QLatin1StringView(name, qsizetype(length)));
        else
            names.Text.append(QFile::decodeName(QByteArray::fromRawData(name, qsizetype(length))));
        names.Names.append({start, names.Text.size() - start, isFolder});
    }
    ::closedir(dir);
    return true;
}

bool ScanFolder(const QString& folder, QVector<TFolderEntry>& entries, TFileId* id)
{
    TFolderNames names;
    if (!ScanFolderNames(folder, names, id))
        return false;
    entries.reserve(entries.size() + names.Names.size());
    for (qsizetype i = 0; i < names.Names.size(); ++i)
        entries.append({names.Name(i).toString(), names.Names[i].IsFolder});
    return true;
}
