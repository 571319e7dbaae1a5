#include "SingleInstance.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

QString LockFilePath(const QString& name)
{
    QString safe;
    for (QChar c : name)
        safe += (c.isLetterOrNumber() || c == QLatin1Char('-') || c == QLatin1Char('_'))
                    ? c
                    : QLatin1Char('_');
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir())
        return QDir(runtime).filePath(safe + QStringLiteral(".lock"));
    // The temp folder is shared between users: the user's id keeps their locks apart.
    return QDir(QDir::tempPath())
        .filePath(safe + QLatin1Char('-') + QString::number(::getuid()) + QStringLiteral(".lock"));
}

} // namespace

TSingleInstance::TSingleInstance(const QString& name)
{
    const QByteArray path = QFile::encodeName(LockFilePath(name));
    // Not followed through a link (someone else's file in a shared folder), and not handed on
    // to the programs we start, which would otherwise keep holding the lock after we end.
    FFd = ::open(path.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (FFd < 0) {
        FState = siFailed;
        return;
    }
    int result;
    do {
        result = ::flock(FFd, LOCK_EX | LOCK_NB);
    } while (result < 0 && errno == EINTR);
    if (result == 0)
        FState = siAcquired;
    else
        FState = errno == EWOULDBLOCK ? siAlreadyRunning : siFailed;
}

TSingleInstance::~TSingleInstance()
{
    // Closing drops the lock. The file stays: removing it could let a third copy lock a new
    // file while a second still holds the old one.
    if (FFd >= 0)
        ::close(FFd);
}
