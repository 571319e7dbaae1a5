#include "FileOperation.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStorageInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// QFile::moveToTrash waits forever for a free name in a trash whose "info" folder cannot be
// written to. So the trash folder it will pick is found the same way first (top folder of the
// file's mount, then the user's own), made as it would make it, and tried with a probe file.

namespace {

bool MakeTrashFolder(const QString& parent, const QString& name, QString& result)
{
    const QString path = QDir(parent).filePath(name);
    if (QDir(parent).mkdir(name))
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (!QFileInfo(path).isDir())
        return false;
    result = path;
    return true;
}

bool IsStickyFolder(const QString& path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISDIR(st.st_mode) &&
           (st.st_mode & S_ISVTX);
}

QString TrashFolderFor(const QString& absolutePath)
{
    QString trash;
    const QStorageInfo sourceStorage(absolutePath);
    if (sourceStorage != QStorageInfo(QDir::home())) {
        const QString top = sourceStorage.rootPath();
        const QString userId = QString::number(::getuid());
        const QString dotTrash = QDir(top).filePath(QStringLiteral(".Trash"));
        if (IsStickyFolder(dotTrash) && MakeTrashFolder(dotTrash, userId, trash))
            return trash;
        if (MakeTrashFolder(top, QStringLiteral(".Trash-") + userId, trash))
            return trash;
    }
    MakeTrashFolder(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation),
                    QStringLiteral("Trash"), trash);
    return trash;
}

// Whether a new file can be made in Folder, tried for real: permissions alone do not tell for
// the super-user, a read-only mount or a full disk.
bool CanCreateIn(const QString& folder, QString& reason)
{
    const QByteArray probe =
        QFile::encodeName(folder) + "/.kova-probe-" + QByteArray::number(qint64(::getpid()));
    const int fd = ::open(probe.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        reason = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    ::close(fd);
    ::unlink(probe.constData());
    return true;
}

} // namespace

bool MoveToTrash(const QString& path, QString* error)
{
    auto fail = [&](const QString& reason) {
        if (error)
            *error = QStringLiteral("\"%1\" could not be moved to the trash: %2").arg(path, reason);
        return false;
    };
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return fail(QStringLiteral("it does not exist."));

    const QString trash = TrashFolderFor(info.absoluteFilePath());
    if (trash.isEmpty())
        return fail(QStringLiteral("there is no trash folder."));
    const QDir trashDir(trash);
    trashDir.mkdir(QStringLiteral("files"));
    trashDir.mkdir(QStringLiteral("info"));
    if (!QFileInfo(trashDir.filePath(QStringLiteral("files"))).isDir() ||
        !QFileInfo(trashDir.filePath(QStringLiteral("info"))).isDir())
        return fail(QStringLiteral("the trash folder \"%1\" cannot be used.").arg(trash));
    QString reason;
    if (!CanCreateIn(trashDir.filePath(QStringLiteral("info")), reason))
        return fail(QStringLiteral("the trash folder \"%1\" cannot be written to (%2).")
                        .arg(trash, reason));

    QFile file(path);
    if (!file.moveToTrash()) {
        // The file stays where it is; a permanent delete is never the fallback.
        return fail(file.errorString().isEmpty() ? QStringLiteral("the trash refused it.")
                                                 : file.errorString());
    }
    return true;
}
