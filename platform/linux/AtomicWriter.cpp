#include "AtomicFile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A temporary untouched this long belongs to a writer that was killed.
constexpr time_t KStaleSeconds = 60;
constexpr int KNameAttempts = 100;

QString SystemError(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

void SetError(QString* error, const QString& text)
{
    if (error)
        *error = text;
}

QString FolderOf(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash < 0)
        return QStringLiteral(".");
    return slash == 0 ? QStringLiteral("/") : path.left(slash);
}

QString NameOf(const QString& path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

// Field 22 of /proc/<pid>/stat: the process's start, in clock ticks since boot. 0 when it
// cannot be read; ENOENT in Missing when there is no such process.
quint64 ProcessStart(qint64 pid, bool* missing = nullptr)
{
    if (missing)
        *missing = false;
    const QByteArray path = "/proc/" + QByteArray::number(pid) + "/stat";
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        // Without /proc at all nothing can be told.
        if (missing && errno == ENOENT && ::access("/proc/self/stat", R_OK) == 0)
            *missing = true;
        return 0;
    }
    char buffer[1024];
    ssize_t size;
    do {
        size = ::read(fd, buffer, sizeof buffer - 1);
    } while (size < 0 && errno == EINTR);
    ::close(fd);
    if (size <= 0)
        return 0;
    buffer[size] = '\0';
    // The command name (field 2) is in parentheses and may hold anything, blanks included.
    const char* field = std::strrchr(buffer, ')');
    if (!field)
        return 0;
    // Fields 3 to 21 come before the start time.
    for (int i = 0; i < 20 && field; ++i)
        field = std::strchr(field + 1, ' ');
    return field ? std::strtoull(field + 1, nullptr, 10) : 0;
}

enum class TWriterAlive
{
    waRunning,
    waGone,
    waUnknown,
};

TWriterAlive WriterAlive(const TWriterId& writer)
{
    if (writer.Pid <= 0 || writer.Start == 0)
        return TWriterAlive::waUnknown;
    if (writer == CurrentWriter())
        return TWriterAlive::waRunning;
    bool missing = false;
    const quint64 start = ProcessStart(writer.Pid, &missing);
    if (missing)
        return TWriterAlive::waGone;
    if (start == 0)
        return TWriterAlive::waUnknown;
    // Another process got the id since.
    return start == writer.Start ? TWriterAlive::waRunning : TWriterAlive::waGone;
}

bool SameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Locks the file open at Fd for as long as the descriptor returned (Fd's duplicate) stays open,
// so that the lock outlives Fd's closing until the rename. -1 where the file system keeps no
// locks: the file is then guarded by its writer's id alone.
int HoldLock(int fd)
{
    int locked;
    do {
        locked = ::flock(fd, LOCK_EX);
    } while (locked != 0 && errno == EINTR);
    return locked == 0 ? ::fcntl(fd, F_DUPFD_CLOEXEC, 0) : -1;
}

// Removes the temporary Name in the folder open at DirFd unless its writer holds its lock: a
// writer in another process namespace has an id that means nothing here. Old: whether it must be
// untouched for a while first, its writer being unknown.
void RemoveUnlocked(int dirFd, const char* name, bool old)
{
    // Opened without following a link, and without waiting should it have become a pipe.
    int fd = ::openat(dirFd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0 && errno == EACCES) // permissions a writer gave the file just before its rename
        fd = ::openat(dirFd, name, O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return;
    // The name is checked again once the lock is ours: the file may have been renamed into
    // place, or replaced, since it was opened.
    struct stat opened, named;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &opened) == 0 &&
        S_ISREG(opened.st_mode) && opened.st_uid == ::geteuid() &&
        (!old || std::time(nullptr) - opened.st_mtime > KStaleSeconds) &&
        ::fstatat(dirFd, name, &named, AT_SYMLINK_NOFOLLOW) == 0 && SameFile(opened, named))
        ::unlinkat(dirFd, name, 0);
    ::close(fd);
}

// Our own temporaries that a killed writer left, whatever target they were for: regular files,
// this user's, unlocked, whose writer is gone, or, where that cannot be told, untouched for a
// while, so that no running writer loses its file.
void RemoveStale(const QString& folder)
{
    DIR* dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir)
        return;
    const int fd = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] != '.')
            continue;
        TWriterId writer;
        if (!IsTemporaryName(QFile::decodeName(entry->d_name), &writer))
            continue;
        struct stat st;
        if (::fstatat(fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode) ||
            st.st_uid != ::geteuid())
            continue;
        const TWriterAlive alive = WriterAlive(writer);
        if (alive != TWriterAlive::waRunning)
            RemoveUnlocked(fd, entry->d_name, alive == TWriterAlive::waUnknown);
    }
    ::closedir(dir);
}

// Makes a temporary for a target named Name in Folder with Make (given its path), under new
// names while the name is taken; the path made, or empty with errno telling why.
template <typename TMake> QString MakeNamed(const QString& folder, const QString& name, TMake make)
{
    const QString prefix = folder == QLatin1String("/") ? QString() : folder;
    for (int attempt = 0; attempt < KNameAttempts; ++attempt) {
        const QString temporary = prefix + QLatin1Char('/') + TemporaryNameFor(name);
        if (make(QFile::encodeName(temporary)))
            return temporary;
        if (errno != EEXIST)
            break;
    }
    return QString();
}

} // namespace

TWriterId CurrentWriter()
{
    // The start of a process never changes; its id changes in a forked child.
    thread_local TWriterId writer;
    const qint64 pid = ::getpid();
    if (writer.Pid != pid)
        writer = TWriterId{pid, ProcessStart(pid)};
    return writer;
}

void RemoveStaleTemporaries(const QString& folder)
{
    RemoveStale(folder);
}

TAtomicWriter::TAtomicWriter(const QString& target, TLinkAtTarget links)
    : FTarget(target)
{
    if (links == TLinkAtTarget::latFollow && QFileInfo(target).isSymLink()) {
        const QString resolved = QFileInfo(target).canonicalFilePath();
        if (!resolved.isEmpty())
            FTarget = resolved;
    }
}

TAtomicWriter::~TAtomicWriter()
{
    Discard();
}

bool TAtomicWriter::Open(QString* error)
{
    if (FFd >= 0 || FKept) {
        SetError(error, QStringLiteral("the file is open already"));
        return false;
    }
    const QString folder = FolderOf(FTarget);
    if (FSweep)
        RemoveStale(folder);
    // Unnamed until it is whole, so that a kill leaves nothing; file systems without unnamed
    // files refuse, and the named way below gives the reason of any other failure.
    FFd = ::open(QFile::encodeName(folder).constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (FFd >= 0) {
        FUnnamed = true;
        FLock = HoldLock(FFd);
        return true;
    }
    FTemporary = MakeNamed(folder, NameOf(FTarget), [this](const QByteArray& path) {
        FFd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (FFd < 0)
            return false;
        FLock = HoldLock(FFd);
        // A sweep that judged this writer gone by its id (from another process namespace) may
        // have removed the file before it was locked; then another name is tried.
        struct stat opened, named;
        if (::fstat(FFd, &opened) == 0 && ::lstat(path.constData(), &named) == 0 &&
            SameFile(opened, named))
            return true;
        ReleaseFiles();
        errno = EEXIST;
        return false;
    });
    if (FFd >= 0)
        return true;
    SetError(error, SystemError(errno));
    return false;
}

void TAtomicWriter::ReleaseFiles()
{
    for (int* fd : {&FFd, &FLock}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

bool TAtomicWriter::GiveName(QString* error)
{
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(FFd);
    const QString named =
        MakeNamed(FolderOf(FTarget), NameOf(FTarget), [&](const QByteArray& path) {
            if (::linkat(AT_FDCWD, self.constData(), AT_FDCWD, path.constData(),
                         AT_SYMLINK_FOLLOW) == 0)
                return true;
            // Without /proc the file itself can be linked, where the system allows it.
            return errno == ENOENT &&
                   ::linkat(FFd, "", AT_FDCWD, path.constData(), AT_EMPTY_PATH) == 0;
        });
    if (named.isEmpty()) {
        SetError(error, SystemError(errno));
        return false;
    }
    FTemporary = named;
    FUnnamed = false;
    return true;
}

bool TAtomicWriter::Write(const char* data, qint64 size, QString* error)
{
    if (FFd < 0) {
        SetError(error, QStringLiteral("the file is not open"));
        return false;
    }
    while (size > 0) {
        const ssize_t written = ::write(FFd, data, size_t(size));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            SetError(error, SystemError(errno));
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

bool TAtomicWriter::Finish(bool sync, QString* error)
{
    if (FFd < 0) {
        SetError(error, QStringLiteral("the file is not open"));
        return false;
    }
    // A new file's permissions came from the mode it was made with and the user's umask.
    // Failures here are no reason to lose the file: some file systems keep no modes or times.
    struct stat old;
    if (FPermissions) {
        // Qt's permission bits give the owner's twice, as owner and as user.
        const int p = int(*FPermissions);
        const mode_t mode = mode_t(((p >> 12) & 07) << 6 | ((p >> 4) & 07) << 3 | (p & 07));
        ::fchmod(FFd, mode);
    } else if (::stat(QFile::encodeName(FTarget).constData(), &old) == 0 && S_ISREG(old.st_mode)) {
        ::fchmod(FFd, old.st_mode & 07777);
    }
    if (FModified.isValid()) {
        const qint64 ms = FModified.toMSecsSinceEpoch();
        const timespec times[2] = {{0, UTIME_OMIT},
                                   {time_t(ms / 1000), long(ms % 1000) * 1000000L}};
        ::futimens(FFd, times);
    }
    // File systems without a sync (some network and FUSE ones) pass.
    if (sync && ::fsync(FFd) != 0 && errno != EINVAL && errno != ENOTSUP && errno != ENOSYS) {
        SetError(error, SystemError(errno));
        Discard();
        return false;
    }
    // The name comes last, when only the rename is left to do.
    if (FUnnamed && !GiveName(error)) {
        Discard();
        return false;
    }
    const int fd = FFd;
    FFd = -1;
    if (::close(fd) != 0 && errno != EINTR) {
        SetError(error, SystemError(errno));
        Discard();
        return false;
    }
    return true;
}

bool TAtomicWriter::Commit(QString* error)
{
    if (!Finish(true, error))
        return false;
    // The rename replaces whatever has the target's name, a link included, as a whole.
    if (::rename(QFile::encodeName(FTemporary).constData(),
                 QFile::encodeName(FTarget).constData()) != 0) {
        SetError(error, SystemError(errno));
        Discard();
        return false;
    }
    FKept = true;
    ReleaseFiles();
    return true;
}

bool TAtomicWriter::Close(QString* error)
{
    if (!Finish(false, error))
        return false;
    FKept = true;
    return true;
}

void TAtomicWriter::Discard()
{
    // The name goes before the lock, so that no sweep finds it unguarded; an unnamed file goes
    // with its last descriptor.
    if (!FKept && !FTemporary.isEmpty()) {
        ::unlink(QFile::encodeName(FTemporary).constData());
        FTemporary.clear();
    }
    ReleaseFiles();
    FUnnamed = false;
}
