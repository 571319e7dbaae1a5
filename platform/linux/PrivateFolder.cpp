#include "PrivateFolder.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void SetError(QString* error, const QString& text)
{
    if (error)
        *error = text;
}

} // namespace

QString PrivateTempFolder(const QString& name, QString* error)
{
    const QString path = QDir::tempPath() + QLatin1Char('/') + name + QLatin1Char('-') +
                         QString::number(::geteuid());
    const QByteArray native = QFile::encodeName(path);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST) {
        SetError(
            error,
            QStringLiteral("\"%1\": %2").arg(path, QString::fromLocal8Bit(std::strerror(errno))));
        return QString();
    }
    // What is there now is checked without following a link, so nobody else's folder or link
    // can take the place of ours.
    struct stat st;
    if (::lstat(native.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) {
        SetError(error, QStringLiteral("\"%1\" is no folder of this user's own").arg(path));
        return QString();
    }
    if ((st.st_mode & 077) != 0 && ::chmod(native.constData(), 0700) != 0) {
        SetError(
            error,
            QStringLiteral("\"%1\": %2").arg(path, QString::fromLocal8Bit(std::strerror(errno))));
        return QString();
    }
    return path;
}
