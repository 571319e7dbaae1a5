#include "AtomicFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

void SetError(QString* error, const QString& text)
{
    if (error)
        *error = text;
}

} // namespace

bool WriteFileAtomically(const QString& fileName, const QByteArray& bytes, QString* error)
{
    // The rename would succeed over a read-only file in a writable folder; the file's own
    // protection must hold, as it did where these files come from.
    const QFileInfo info(fileName);
    if (info.exists()) {
        if (info.isDir()) {
            SetError(error, QStringLiteral("it is a folder"));
            return false;
        }
        QFile probe(fileName);
        if (!probe.open(QIODevice::WriteOnly | QIODevice::Append)) {
            SetError(error, probe.errorString());
            return false;
        }
    }
    // QSaveFile writes beside the file (through a symbolic link to its target), syncs, keeps
    // the old permissions and renames over the old file; on failure it removes its temporary.
    QSaveFile file(fileName);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly)) {
        SetError(error, file.errorString());
        return false;
    }
    if (file.write(bytes) != bytes.size()) {
        SetError(error, file.errorString());
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        SetError(error, file.errorString());
        return false;
    }
    return true;
}

bool ReadWholeFile(const QString& fileName, QByteArray& bytes, QString* error)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        SetError(error, file.errorString());
        return false;
    }
    bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        SetError(error, file.errorString());
        bytes.clear();
        return false;
    }
    return true;
}
