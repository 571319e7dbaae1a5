#include "AtomicFile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
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

// Our own temporaries that a killed writer left (those of TargetName, or of any target when it
// is empty): regular files, this user's, and untouched for a while, so that no running writer
// loses its file.
void RemoveStale(const QString& folder, const QString& targetName)
{
    DIR* dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir)
        return;
    const int fd = ::dirfd(dir);
    const time_t now = std::time(nullptr);
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] != '.')
            continue;
        const QString name = QFile::decodeName(entry->d_name);
        if (targetName.isEmpty() ? !IsTemporaryName(name) : !IsTemporaryFor(name, targetName))
            continue;
        struct stat st;
        if (::fstatat(fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) &&
            st.st_uid == ::geteuid() && now - st.st_mtime > KStaleSeconds)
            ::unlinkat(fd, entry->d_name, 0);
    }
    ::closedir(dir);
}

// Syncs when asked, closes and reports; file systems without a sync (some network and FUSE
// ones) pass.
bool SyncAndClose(int fd, bool sync, QString* error)
{
    int code = 0;
    if (sync && ::fsync(fd) != 0 && errno != EINVAL && errno != ENOTSUP && errno != ENOSYS)
        code = errno;
    if (::close(fd) != 0 && errno != EINTR && code == 0)
        code = errno;
    if (code != 0)
        SetError(error, SystemError(code));
    return code == 0;
}

} // namespace

void RemoveStaleTemporaries(const QString& folder)
{
    RemoveStale(folder, QString());
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
    const QString name = NameOf(FTarget);
    if (FSweep)
        RemoveStale(folder, name);
    for (int attempt = 0; attempt < KNameAttempts; ++attempt) {
        const QString temporary = (folder == QLatin1String("/") ? QString() : folder) +
                                  QLatin1Char('/') + TemporaryNameFor(name);
        FFd = ::open(QFile::encodeName(temporary).constData(),
                     O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (FFd >= 0) {
            FTemporary = temporary;
            return true;
        }
        if (errno != EEXIST)
            break;
    }
    SetError(error, SystemError(errno));
    return false;
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
    const int fd = FFd;
    FFd = -1;
    if (!SyncAndClose(fd, sync, error)) {
        ::unlink(QFile::encodeName(FTemporary).constData());
        FTemporary.clear();
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
        ::unlink(QFile::encodeName(FTemporary).constData());
        FTemporary.clear();
        return false;
    }
    FKept = true;
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
    if (FFd >= 0) {
        ::close(FFd);
        FFd = -1;
    }
    if (!FKept && !FTemporary.isEmpty()) {
        ::unlink(QFile::encodeName(FTemporary).constData());
        FTemporary.clear();
    }
}
