#include "FolderTotals.h"

#include "FileMask.h"

#include <QFile>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct TFileRecord
{
    dev_t Device;
    ino_t Inode;
    qint64 Size;
};

class TFolderWalk final
{
public:
    TFolderWalk(const TFileMask* mask, bool recursive)
        : FMask(mask)
        , FRecursive(recursive)
    {}

    // Walks the folder open as Fd and closes it.
    void Walk(int fd)
    {
        struct stat self;
        if (::fstat(fd, &self) != 0 || !FFolders.insert({self.st_dev, self.st_ino}).second) {
            ::close(fd);
            return; // a folder seen before (a bind mount into itself)
        }
        // The listing reads through a copy of the descriptor, so Fd stays open for the status
        // calls and the subfolders once the listing is closed.
        const int listed = ::dup(fd);
        DIR* dir = listed >= 0 ? ::fdopendir(listed) : nullptr;
        if (!dir) {
            if (listed >= 0)
                ::close(listed);
            ::close(fd);
            return;
        }
        std::vector<std::string> subfolders;
        while (const dirent* entry = ::readdir(dir)) {
            const char* name = entry->d_name;
            if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
                continue;
            switch (entry->d_type) {
            case DT_DIR:
                if (FRecursive)
                    subfolders.emplace_back(name);
                break;
            case DT_REG:
                if (Wanted(name))
                    AddFile(fd, name, false);
                break;
            case DT_LNK:
                if (Wanted(name))
                    AddFile(fd, name, true);
                break;
            case DT_UNKNOWN: {
                // File systems that give no type need a status call of their own.
                struct stat st;
                if (::fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
                    break;
                if (S_ISDIR(st.st_mode)) {
                    if (FRecursive)
                        subfolders.emplace_back(name);
                } else if ((S_ISREG(st.st_mode) || S_ISLNK(st.st_mode)) && Wanted(name)) {
                    AddFile(fd, name, S_ISLNK(st.st_mode));
                }
                break;
            }
            default:
                break; // devices, pipes, sockets
            }
        }
        ::closedir(dir);
        for (const std::string& name : subfolders) {
            const int sub =
                ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (sub >= 0)
                Walk(sub);
        }
        ::close(fd);
    }

    TFolderTotals Totals()
    {
        TFolderTotals totals;
        if (FShared) {
            std::sort(FFiles.begin(), FFiles.end(), [](const TFileRecord& a, const TFileRecord& b) {
                return std::pair(a.Device, a.Inode) < std::pair(b.Device, b.Inode);
            });
            FFiles.erase(std::unique(FFiles.begin(), FFiles.end(),
                                     [](const TFileRecord& a, const TFileRecord& b) {
                                         return a.Device == b.Device && a.Inode == b.Inode;
                                     }),
                         FFiles.end());
        }
        totals.Count = qint64(FFiles.size());
        for (const TFileRecord& file : FFiles)
            totals.Size += file.Size;
        return totals;
    }

private:
    bool Wanted(const char* name) const
    {
        if (!FMask)
            return true;
        // Most names are ASCII, which needs no decoder.
        const size_t length = std::strlen(name);
        for (size_t i = 0; i < length; ++i) {
            if (static_cast<unsigned char>(name[i]) >= 0x80)
                return FMask->Matches(
                    QFile::decodeName(QByteArray::fromRawData(name, qsizetype(length))));
        }
        return FMask->Matches(QString::fromLatin1(name, qsizetype(length)));
    }

    void AddFile(int fd, const char* name, bool link)
    {
        struct stat st;
        if (::fstatat(fd, name, &st, link ? 0 : AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode))
            return; // dangling, or a link to a folder or a device
        // Only a link or a file with several names can be met twice.
        FShared = FShared || link || st.st_nlink > 1;
        FFiles.push_back({st.st_dev, st.st_ino, qint64(st.st_size)});
    }

    const TFileMask* FMask;
    bool FRecursive;
    bool FShared = false;
    std::vector<TFileRecord> FFiles;
    std::set<std::pair<dev_t, ino_t>> FFolders;
};

} // namespace

TFolderTotals SumFolderFiles(const QString& folder, const TFileMask* mask, bool recursive)
{
    if (folder.isEmpty())
        return {};
    const int fd =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return {};
    TFolderWalk walk(mask, recursive);
    walk.Walk(fd);
    return walk.Totals();
}
