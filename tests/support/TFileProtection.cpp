#include "TFileProtection.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>

#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

constexpr uid_t KNobody = 65534;

void OpenToAll(const QString& path, bool folder)
{
    struct stat st;
    const QByteArray native = QFile::encodeName(path);
    if (::stat(native.constData(), &st) == 0)
        ::chmod(native.constData(), (st.st_mode & 07777) | (folder ? 0055 : 0044));
}

} // namespace

TFileProtection::TFileProtection(const QString& root)
{
    if (geteuid() != 0)
        return;
    OpenToAll(root, true);
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        OpenToAll(path, it.fileInfo().isDir());
    }
    FDroppedRoot = seteuid(KNobody) == 0;
}

TFileProtection::~TFileProtection()
{
    if (FDroppedRoot && seteuid(0) != 0)
        qFatal("TFileProtection: cannot become root again");
}

bool SetMode(const QString& path, unsigned mode)
{
    return ::chmod(QFile::encodeName(path).constData(), mode) == 0;
}

TRefusingTrash::TRefusingTrash(const QString& dataHome)
    : FTrash(dataHome + u"/Trash"_s)
{
    QDir().mkpath(FTrash + u"/files"_s);
    if (::geteuid() == 0) {
        // Folder modes do not bind the super-user: "info" then names a folder where no file can
        // be made by anyone, while the trash's own "info" waits beside it.
        QDir(FTrash).rename(u"info"_s, u"info.kept"_s);
        QFile::link(u"/proc"_s, FTrash + u"/info"_s);
    } else {
        QDir().mkpath(FTrash + u"/info"_s);
        SetMode(FTrash + u"/info"_s, 0500);
    }
    SetMode(FTrash, 0500);
    SetMode(FTrash + u"/files"_s, 0500);
}

TRefusingTrash::~TRefusingTrash()
{
    SetMode(FTrash, 0700);
    SetMode(FTrash + u"/files"_s, 0700);
    if (::geteuid() != 0) {
        SetMode(FTrash + u"/info"_s, 0700);
    } else {
        QFile::remove(FTrash + u"/info"_s);
        QDir(FTrash).rename(u"info.kept"_s, u"info"_s);
    }
}
