#include "FolderScan.h"

#include <QFile>

#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
    const int fd =
        ::open(QFile::encodeName(folder.isEmpty() ? QStringLiteral(".") : folder).constData(),
               O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    if (id) {
        struct stat st;
        if (::fstat(fd, &st) == 0) {
            id->Device = st.st_dev;
            id->Inode = st.st_ino;
        }
    }
    // The entries straight from the kernel into one buffer on the stack: a folder walk reads
    // many folders, and a listing object per folder would cost more than the reading.
    alignas(8) char buffer[32768];
    bool ok = true;
    for (;;) {
        const ssize_t got = ::getdents64(fd, buffer, sizeof(buffer));
        if (got <= 0) {
            ok = got == 0;
            break;
        }
        for (ssize_t at = 0; at < got;) {
            const auto* entry = reinterpret_cast<const dirent64*>(buffer + at);
            at += entry->d_reclen;
            const char* name = entry->d_name;
            if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
                continue;
            bool isFolder;
            // The type from the folder itself saves a stat per file; links and file systems
            // that give no type need one.
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
            const QLatin1StringView bytes(name, qsizetype(std::strlen(name)));
            if (QtPrivate::isAscii(bytes))
                names.Text.append(bytes);
            else
                names.Text.append(
                    QFile::decodeName(QByteArray::fromRawData(bytes.data(), bytes.size())));
            names.Names.append({start, names.Text.size() - start, isFolder});
        }
    }
    ::close(fd);
    return ok;
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
