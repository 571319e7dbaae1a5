#include "FileChangeMonitor.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <time.h>
#include <unistd.h>

namespace {

constexpr uint32_t KFileEvents =
    IN_MODIFY | IN_ATTRIB | IN_CLOSE_WRITE | IN_MOVE_SELF | IN_DELETE_SELF | IN_DONT_FOLLOW;
constexpr uint32_t KFolderEvents = IN_MOVE_SELF | IN_DELETE_SELF | IN_ONLYDIR;

// How long a watched file goes without a look at its times, and how old a modification time
// must be before a comparison of times can be trusted.
constexpr qint64 KRecheckNs = 1'000'000'000;
constexpr qint64 KTrustAfterNs = 1'000'000'000;

// The coarse clock is enough for a one-second period and costs a fraction of the fine one.
qint64 MonotonicNs()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    return qint64(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

qint64 WallNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

qint64 ToNs(const timespec& t)
{
    return qint64(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

// File systems whose changes all pass through this kernel, so that its reports are complete.
// Network and user-space file systems are left to the comparison of times.
bool ReportsEveryChange(const QByteArray& path)
{
    struct statfs fs;
    if (::statfs(path.constData(), &fs) != 0)
        return false;
    switch (static_cast<unsigned long>(fs.f_type)) {
    case 0xEF53:     // ext2, ext3, ext4
    case 0x58465342: // xfs
    case 0x9123683E: // btrfs
    case 0x01021994: // tmpfs
    case 0x858458F6: // ramfs
    case 0x794C7630: // overlayfs
    case 0xF2F52010: // f2fs
    case 0x52654973: // reiserfs
    case 0x3153464A: // jfs
    case 0x2FC12FC1: // zfs
    case 0xCA451A4E: // bcachefs
    case 0x4D44:     // vfat
    case 0x2011BAB0: // exfat
    case 0x5346544E: // ntfs3
    case 0x482B:     // hfsplus
        return true;
    default:
        return false;
    }
}

void ReadIdentity(const QByteArray& path, TFileVersion& version)
{
    struct stat st;
    version.Exists = ::stat(path.constData(), &st) == 0;
    if (!version.Exists) {
        version.Device = version.Inode = 0;
        version.Size = version.ModifiedNs = version.ChangedNs = 0;
        return;
    }
    version.Device = st.st_dev;
    version.Inode = st.st_ino;
    version.Size = st.st_size;
    version.ModifiedNs = ToNs(st.st_mtim);
    version.ChangedNs = ToNs(st.st_ctim);
}

bool SameIdentity(const TFileVersion& a, const TFileVersion& b)
{
    return a.Exists == b.Exists && a.Device == b.Device && a.Inode == b.Inode && a.Size == b.Size &&
           a.ModifiedNs == b.ModifiedNs && a.ChangedNs == b.ChangedNs;
}

} // namespace

TFileChangeMonitor::TFileChangeMonitor()
    : FQueue(inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
{}

TFileChangeMonitor::~TFileChangeMonitor()
{
    if (FQueue >= 0)
        ::close(FQueue);
}

TFileVersion TFileChangeMonitor::Watch(const QString& fileName)
{
    TFileVersion version;
    version.NativePath = QFile::encodeName(fileName);
    struct stat link;
    const bool plainFile =
        ::lstat(version.NativePath.constData(), &link) == 0 && S_ISREG(link.st_mode);
    if (FQueue >= 0 && plainFile && ReportsEveryChange(version.NativePath)) {
        const int file = inotify_add_watch(FQueue, version.NativePath.constData(), KFileEvents);
        if (file >= 0) {
            AddRef(file);
            const QByteArray folder = QFile::encodeName(QFileInfo(fileName).absolutePath());
            const int parent = inotify_add_watch(FQueue, folder.constData(), KFolderEvents);
            if (parent >= 0) {
                AddRef(parent);
                version.FileWatch = file;
                version.FolderWatch = parent;
            } else {
                RemoveRef(file);
            }
        }
    }
    // Reports queued so far belong to the past; whatever comes after this makes it stale.
    Drain();
    version.Epoch = FEpoch;
    ReadIdentity(version.NativePath, version);
    version.CheckedAtNs = MonotonicNs();
    version.Trusted = version.FileWatch >= 0 || !version.Exists ||
                      (WallNs() - version.ModifiedNs > KTrustAfterNs);
    return version;
}

bool TFileChangeMonitor::IsUnchanged(TFileVersion& version)
{
    if (!version.Trusted)
        return false;
    if (version.FileWatch >= 0) {
        Drain();
        if (FOverflowEpoch > version.Epoch || Changed(version.FileWatch, version.Epoch) ||
            Changed(version.FolderWatch, version.Epoch))
            return false;
        const qint64 now = MonotonicNs();
        if (now - version.CheckedAtNs < KRecheckNs)
            return true;
        version.CheckedAtNs = now;
    }
    TFileVersion current;
    ReadIdentity(version.NativePath, current);
    return SameIdentity(version, current);
}

void TFileChangeMonitor::Release(const TFileVersion& version)
{
    RemoveRef(version.FileWatch);
    RemoveRef(version.FolderWatch);
}

void TFileChangeMonitor::Drain()
{
    if (FQueue < 0)
        return;
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(FQueue, buffer, sizeof buffer);
        if (n <= 0) {
            if (n < 0 && errno == EINTR)
                continue;
            return;
        }
        for (ssize_t pos = 0; pos < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + pos);
            pos += ssize_t(sizeof(inotify_event) + event->len);
            if (event->mask & IN_Q_OVERFLOW) {
                FOverflowEpoch = ++FEpoch;
                continue;
            }
            const auto it = FWatches.find(event->wd);
            if (it != FWatches.end())
                it->second.ChangedEpoch = ++FEpoch;
        }
    }
}

void TFileChangeMonitor::AddRef(int watch)
{
    ++FWatches[watch].Refs;
}

void TFileChangeMonitor::RemoveRef(int watch)
{
    if (watch < 0)
        return;
    const auto it = FWatches.find(watch);
    if (it == FWatches.end() || --it->second.Refs > 0)
        return;
    FWatches.erase(it);
    inotify_rm_watch(FQueue, watch);
}

bool TFileChangeMonitor::Changed(int watch, quint64 epoch) const
{
    const auto it = FWatches.find(watch);
    return it == FWatches.end() || it->second.ChangedEpoch > epoch;
}
