#include "ProgramFolders.h"

#include "AtomicFile.h"
#include "GamePath.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#ifndef KOVA_SHIPPED_DATA_RELATIVE
#define KOVA_SHIPPED_DATA_RELATIVE "../share/kova"
#endif

namespace {

const QString KFolderName = QStringLiteral("kova");
const QString KSettingsName = QStringLiteral("settings.xml");

QString UserFolder(QStandardPaths::StandardLocation location)
{
    // The generic locations do not depend on the application's name, which tests change.
    return JoinPath(QStandardPaths::writableLocation(location), KFolderName);
}

void SetError(QString* error, const QString& text)
{
    if (error)
        *error = text;
}

} // namespace

TProgramFolders::TProgramFolders(const QString& programDir)
    : FProgramDir(WithoutTrailingSeparator(QDir::cleanPath(programDir)))
    , FPortable(QFileInfo(JoinPath(FProgramDir, PortableMarker())).isFile())
{
    // Installed, the shipped files have a folder of their own; in the build tree (and in a
    // folder unpacked by hand) they lie beside the program.
    const QString installed =
        QDir::cleanPath(JoinPath(FProgramDir, QStringLiteral(KOVA_SHIPPED_DATA_RELATIVE)));
    FShippedDir = QFileInfo(installed).isDir() ? installed : FProgramDir;
}

QString TProgramFolders::PortableMarker()
{
    return QStringLiteral("kova-portable");
}

QString TProgramFolders::ConfigDir() const
{
    return FPortable ? FProgramDir : UserFolder(QStandardPaths::GenericConfigLocation);
}

QString TProgramFolders::DataDir() const
{
    return FPortable ? FProgramDir : UserFolder(QStandardPaths::GenericDataLocation);
}

QString TProgramFolders::CacheDir() const
{
    return FPortable ? FProgramDir : UserFolder(QStandardPaths::GenericCacheLocation);
}

QString TProgramFolders::SettingsFile() const
{
    return JoinPath(ConfigDir(), KSettingsName);
}

QString TProgramFolders::ShippedSettingsFile() const
{
    return JoinPath(FShippedDir, KSettingsName);
}

QString TProgramFolders::ProfilesDir() const
{
    return JoinPath(DataDir(), QStringLiteral("Profiles"));
}

QString TProgramFolders::BackupsDir() const
{
    return JoinPath(ProfilesDir(), QStringLiteral("Backups"));
}

QString TProgramFolders::MapCacheFile() const
{
    return JoinPath(CacheDir(), QStringLiteral("cache.xml"));
}

QStringList TProgramFolders::LanguageDirs() const
{
    QStringList dirs{FShippedDir};
    if (DataDir() != FShippedDir)
        dirs << DataDir();
    return dirs;
}

QString TProgramFolders::DocumentFile(const QString& name) const
{
    for (const QString& dir : LanguageDirs()) {
        const QString file = JoinPath(dir, name);
        if (QFileInfo(file).isFile())
            return file;
    }
    return JoinPath(FShippedDir, name);
}

QString TProgramFolders::TransferDir() const
{
    return FPortable ? FProgramDir : QDir::homePath();
}

QString TProgramFolders::FindExternalSettings(const QString& name, QString* error) const
{
    QStringList places{ConfigDir()};
    if (FProgramDir != ConfigDir())
        places << FProgramDir;
    for (const QString& place : places) {
        const QString file = JoinPath(place, name);
        if (QFileInfo(file).isFile())
            return file;
    }
    const QString first = QDir::toNativeSeparators(places.first());
    SetError(error,
             places.size() == 1
                 ? QStringLiteral("The settings file \"%1\" was not found in %2.").arg(name, first)
                 : QStringLiteral("The settings file \"%1\" was found neither in %2 nor in %3.")
                       .arg(name, first, QDir::toNativeSeparators(places.last())));
    return QString();
}

bool TProgramFolders::PrepareSettings(QString* error) const
{
    const QString settings = SettingsFile();
    // Portable in the build tree, the shipped file is the user's; a missing one is the
    // loader's to report.
    if (settings == ShippedSettingsFile() || QFileInfo::exists(settings))
        return true;
    // Written anew, so that the user's file never takes over the protection of an installed
    // one: the user could not save.
    QByteArray bytes;
    QString reason;
    if (!QDir().mkpath(ConfigDir()))
        reason = QStringLiteral("its folder could not be made");
    else if (ReadWholeFile(ShippedSettingsFile(), bytes, &reason) &&
             WriteFileAtomically(settings, bytes, &reason))
        return true;
    SetError(error, QStringLiteral("%1 could not be made from %2: %3")
                        .arg(QDir::toNativeSeparators(settings),
                             QDir::toNativeSeparators(ShippedSettingsFile()), reason));
    return false;
}

void TProgramFolders::MakeUserFolders() const
{
    QDir().mkpath(BackupsDir());
    QDir().mkpath(CacheDir());
}
