#include "TestFiles.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

bool WriteBytes(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

QByteArray ReadBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList FileTree(const QString& root)
{
    QStringList items;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        const QString name = QDir(root).relativeFilePath(info.filePath());
        if (info.isSymLink())
            items << name + u" -> "_s + info.symLinkTarget();
        else if (info.isDir())
            items << name + QLatin1Char('/');
        else
            items << name + u" %1"_s.arg(info.size());
    }
    items.sort();
    return items;
}

std::optional<QByteArray> RunTool(const QString& program, const QStringList& arguments,
                                  const QString& folder)
{
    const QString path = QStandardPaths::findExecutable(program);
    if (path.isEmpty() && !QFileInfo(program).isExecutable())
        return std::nullopt;
    QProcess process;
    process.setWorkingDirectory(folder);
    process.start(path.isEmpty() ? program : path, arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0)
        return std::nullopt;
    return process.readAllStandardOutput();
}

QStringList UnzipNames(const QString& archive)
{
    return QString::fromUtf8(RunTool(u"unzip"_s, {u"-Z1"_s, archive}).value_or(QByteArray()))
        .split(u'\n', Qt::SkipEmptyParts);
}
