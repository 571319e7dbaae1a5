#include "DemoScript.h"

#include "AtomicFile.h"
#include "GamePath.h"
#include "TextCodec.h"

#include <QDir>
#include <QFileInfo>

namespace {

TError NotPlayed(TErrorCode code, const QString& demo, const QString& reason)
{
    return TError{code,
                  QStringLiteral("The demo \"%1\" is not played: %2")
                      .arg(QDir::toNativeSeparators(demo), reason),
                  demo};
}

} // namespace

QString DemoScriptName()
{
    return QStringLiteral("kova.txt");
}

TResult<QByteArray> DemoScript(const QString& demoFile)
{
    const QString name = QFileInfo(LocalPathFromWindows(demoFile)).completeBaseName();
    const QByteArray bytes = EncodeWindows1252(name);
    if (DecodeWindows1252(bytes) != name)
        return NotPlayed(TErrorCode::ecInvalid, demoFile,
                         QStringLiteral("the game cannot read a demo name with these "
                                        "characters. Rename the demo and play it again."));
    return QByteArray("demoplay ") + bytes + "\r\n";
}

TResult<void> PrepareDemoPlayback(TWindowHandle owner, const QString& demoFile,
                                  const QString& demosFolder, const QString& systemFolder)
{
    const QString demo = QFileInfo(ResolveGamePath(demoFile)).absoluteFilePath();
    if (!QFileInfo(demo).isFile())
        return NotPlayed(TErrorCode::ecNotFound, demoFile, QStringLiteral("it does not exist."));
    const TResult<QByteArray> script = DemoScript(demo);
    if (!script)
        return script.Error();

    const QString folder = ResolveGamePath(demosFolder);
    if (!QDir().mkpath(folder))
        return NotPlayed(TErrorCode::ecFailed, demo,
                         QStringLiteral("the game's demo folder \"%1\" could not be made.")
                             .arg(QDir::toNativeSeparators(folder)));
    const QString target = ResolveGamePath(JoinPath(folder, QFileInfo(demo).fileName()));
    if (!SameFile(demo, target)) {
        // The game finds demos in its own folder only. Errors are told once, here, with the
        // reason the copy gave.
        const TResult<void> copied =
            ShellFileOperationOne(owner, FO_COPY, demo, target, FOF_SILENT | FOF_NOERRORUI);
        if (!copied) {
            const TErrorCode code = copied.Error().Code;
            const QString reason =
                code == TErrorCode::ecFailed
                    ? QStringLiteral("it could not be copied into the game's demo folder. %1")
                          .arg(copied.Error().Message)
                    : QStringLiteral("the demo of that name in the game's demo folder was kept, "
                                     "and the game plays demos from that folder only.");
            return NotPlayed(code, demo, reason);
        }
    }

    const QString scriptFile = ResolveGamePath(JoinPath(systemFolder, DemoScriptName()));
    QString error;
    if (!WriteFileAtomically(scriptFile, *script, &error))
        return NotPlayed(TErrorCode::ecFailed, demo,
                         QStringLiteral("\"%1\" could not be written: %2")
                             .arg(QDir::toNativeSeparators(scriptFile), error));
    return {};
}
