#include "SingleInstance.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString SystemError(const QString& path, int code)
{
    return QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path),
                                        QString::fromLocal8Bit(std::strerror(code)));
}

// Opens Path as a folder that only this user can write: a real folder (a link is not followed),
// this user's, and closed to the writes of others. With Repair, write rights of others on a
// folder of this user's are taken away. Returns the folder's descriptor, or -1 with Error set.
int OpenPrivateFolder(const QString& path, bool repair, QString& error)
{
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        error = errno == ENOTDIR || errno == ELOOP
                    ? QStringLiteral("%1 is not a folder of its own (a link or a file)")
                          .arg(QDir::toNativeSeparators(path))
                    : SystemError(path, errno);
        return -1;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        error = SystemError(path, errno);
    } else if (st.st_uid != ::geteuid()) {
        error = QStringLiteral("%1 belongs to another user").arg(QDir::toNativeSeparators(path));
    } else if ((st.st_mode & (S_IWGRP | S_IWOTH)) &&
               (!repair || ::fchmod(fd, st.st_mode & 0700) != 0)) {
        error =
            QStringLiteral("%1 can be written by other users").arg(QDir::toNativeSeparators(path));
    } else {
        return fd;
    }
    ::close(fd);
    return -1;
}

// The folder for the lock files: the runtime folder when it is private, else our own folder in
// the user's cache folder. Returns its descriptor, or -1 with Error set.
int OpenLockFolder(QString& folder, QString& error)
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty()) {
        QString ignored;
        const int fd = OpenPrivateFolder(runtime, false, ignored);
        if (fd >= 0) {
            folder = runtime;
            return fd;
        }
    }
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (cache.isEmpty()) {
        error = QStringLiteral("there is neither a runtime folder nor a cache folder");
        return -1;
    }
    folder = QDir(cache).filePath(QStringLiteral("KOVA"));
    QDir().mkpath(cache);
    if (::mkdir(QFile::encodeName(folder).constData(), 0700) != 0 && errno != EEXIST) {
        error = SystemError(folder, errno);
        return -1;
    }
    return OpenPrivateFolder(folder, true, error);
}

QString LockFileName(const QString& name)
{
    QString safe;
    for (QChar c : name)
        safe += (c.isLetterOrNumber() || c == QLatin1Char('-') || c == QLatin1Char('_'))
                    ? c
                    : QLatin1Char('_');
    return safe + QStringLiteral(".lock");
}

} // namespace

TSingleInstance::TSingleInstance(const QString& name)
{
    QString folder;
    const int folderFd = OpenLockFolder(folder, FError);
    if (folderFd < 0)
        return;
    const QString fileName = LockFileName(name);
    const QString path = QDir(folder).filePath(fileName);
    // Not handed on to the programs we start, which would otherwise keep holding the lock after
    // we end.
    FFd = ::openat(folderFd, QFile::encodeName(fileName).constData(),
                   O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    const int openError = errno;
    ::close(folderFd);
    if (FFd < 0) {
        FError = SystemError(path, openError);
        return;
    }
    struct stat st;
    if (::fstat(FFd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) {
        FError =
            QStringLiteral("%1 is not a file of this user's").arg(QDir::toNativeSeparators(path));
        return;
    }
    int result;
    do {
        result = ::flock(FFd, LOCK_EX | LOCK_NB);
    } while (result < 0 && errno == EINTR);
    if (result == 0)
        FState = siAcquired;
    else if (errno == EWOULDBLOCK)
        FState = siAlreadyRunning;
    else
        FError = SystemError(path, errno);
}

TSingleInstance::~TSingleInstance()
{
    // Closing drops the lock. The file stays: removing it could let a third copy lock a new
    // file while a second still holds the old one.
    if (FFd >= 0)
        ::close(FFd);
}
