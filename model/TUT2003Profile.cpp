#include "TUT2003Profile.h"

#include "uKOVA_Strings.h"

#include "GamePath.h"
#include "uKOVA_Misc.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include <algorithm>

namespace {

bool IsRegularFile(const QString& fileName)
{
    return QFileInfo(fileName).isFile();
}

// A profile name becomes a file name in the Profiles folder: it must stay in that folder and be
// a name the game's platform can hold too.
bool IsPlainFileName(const QString& name)
{
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    return std::none_of(name.begin(), name.end(), [](QChar c) {
        return c.category() == QChar::Other_Control || QStringView(u"/\\:*?\"<>|").contains(c);
    });
}

} // namespace

TUT2003Profile::TUT2003Profile(const QString& gameDir, const QString& profilesDir,
                               const QString& backupsDir)
    : FProfilesDir(WithTrailingSeparator(profilesDir))
    , FBackupsDir(WithTrailingSeparator(backupsDir))
{
    GameDir = gameDir;
    if (GameDir.endsWith(QLatin1Char('/')) || GameDir.endsWith(QLatin1Char('\\')))
        GameDir.chop(1);
    Refresh();
}

QString TUT2003Profile::ActiveFileName() const
{
    // No game folder is no "/System/User.ini" at the file system's root.
    if (GameDir.isEmpty())
        return QString();
    return ResolveGamePath(GameDir + QLatin1String("/System/User.ini"));
}

void TUT2003Profile::Refresh()
{
    FItems.clear();
    for (const QString& file : FindFiles(ProfilesDir(), QStringLiteral("*.ini"), false))
        FItems.push_back(std::make_unique<TUTProfile>(file));
    auto active = GetActive();
    if (active->IsDefault)
        FItems.insert(FItems.begin(), std::move(active));
}

TUTProfile* TUT2003Profile::GetItem(int index) const
{
    if (index < 0 || index >= GetCount())
        return nullptr;
    return FItems[static_cast<size_t>(index)].get();
}

int TUT2003Profile::GetCount() const
{
    return static_cast<int>(FItems.size());
}

std::unique_ptr<TUTProfile> TUT2003Profile::GetActive() const
{
    return std::make_unique<TUTProfile>(ActiveFileName());
}

TResult<void> TUT2003Profile::Activate(const TUTProfile& profile)
{
    // Refresh frees Profile when it is one of ours.
    const QString source = profile.FileName;
    const QString target = ActiveFileName();
    const bool isActiveItself =
        IsRegularFile(source) && IsRegularFile(target) &&
        QFileInfo(source).canonicalFilePath() == QFileInfo(target).canonicalFilePath();
    if (IsRegularFile(source) && !isActiveItself) {
        // An unmanaged "User.ini" exists nowhere else: never replace it without its backup.
        if (const auto active = GetActive(); active->IsDefault) {
            if (const TResult<void> saved = Backup(*active); !saved)
                return TError{saved.Error().Code,
                              QStringLiteral("The current User.ini could not be backed up, so "
                                             "it was not replaced: %1")
                                  .arg(saved.Error().Message),
                              target};
        }
        if (const TResult<void> copied = ShellFileOperationOne(
                nullptr, FO_COPY, source, target, FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI);
            !copied)
            return TError{copied.Error().Code,
                          QStringLiteral("%1 could not be copied to %2: %3")
                              .arg(source, target, copied.Error().Message),
                          target};
    }
    Refresh();
    return {};
}

QString TUT2003Profile::NextBackupFileName() const
{
    const QDateTime now = QDateTime::currentDateTime();
    QString stamp = QLocale::system().monthName(now.date().month(), QLocale::ShortFormat) +
                    now.toString(QStringLiteral("_dd_yyyy_HH:mm:ss"));
    stamp.replace(QLatin1Char(':'), QLatin1Char('_'));
    QString target = BackupsDir() + QStringLiteral("User.ini.%1.backup").arg(stamp);
    for (int n = 0; QFileInfo::exists(target); ++n)
        target = BackupsDir() + QStringLiteral("User.ini.%1_%2.backup").arg(stamp).arg(n);
    return target;
}

TResult<void> TUT2003Profile::Backup(const TUTProfile& profile)
{
    if (!IsRegularFile(profile.FileName))
        return TError{TErrorCode::ecNotFound,
                      QStringLiteral("%1 does not exist.").arg(profile.FileName), profile.FileName};
    return ShellFileOperationOne(nullptr, FO_COPY, profile.FileName, NextBackupFileName(),
                                 FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI);
}

TResult<void> TUT2003Profile::DeleteProfile(int index)
{
    const TUTProfile* profile = GetItem(index);
    if (!profile)
        return TError{
            TErrorCode::ecNotFound, QStringLiteral("There is no profile %1.").arg(index), {}};
    if (IsRegularFile(profile->FileName)) {
        // Without FOF_ALLOWUNDO: profiles are deleted for good, not to the trash.
        if (const TResult<void> deleted =
                ShellFileOperationOne(nullptr, FO_DELETE, profile->FileName, QString(),
                                      FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI);
            !deleted)
            return deleted;
    }
    Remove(index);
    return {};
}

TResult<void> TUT2003Profile::CheckProfileName(const QString& name) const
{
    const QString fileName = name + QLatin1String(".ini");
    const QString target = ProfilesDir() + fileName;
    if (!IsPlainFileName(name))
        return TError{TErrorCode::ecInvalid,
                      QStringLiteral("\"%1\" is not a valid profile name: it must not be empty, "
                                     "\".\" or \"..\", nor hold / \\ : * ? \" < > | or a "
                                     "control character.")
                          .arg(name),
                      target};
    // The game's platform tells no letter case apart: "mine" would replace "Mine".
    const QDir folder(ProfilesDir());
    for (const QString& existing :
         folder.entryList(QDir::AllEntries | QDir::Hidden | QDir::System)) {
        if (existing.compare(fileName, Qt::CaseInsensitive) == 0)
            return TError{TErrorCode::ecInvalid,
                          QStringLiteral("A profile named \"%1\" exists already (%2).")
                              .arg(name, folder.filePath(existing)),
                          folder.filePath(existing)};
    }
    return {};
}

TResult<TUTProfile*> TUT2003Profile::CreateProfile(const QString& name, const QString& sourceFile)
{
    const QString target = ProfilesDir() + name + QLatin1String(".ini");
    if (const TResult<void> checked = CheckProfileName(name); !checked)
        return checked.Error();
    if (const TResult<void> copied =
            ShellFileOperationOne(nullptr, FO_COPY, sourceFile, target, FOF_SILENT | FOF_NOERRORUI);
        !copied)
        return copied.Error();

    const TUTProfile source(sourceFile);
    auto profile = std::make_unique<TUTProfile>(target, &source);
    profile->RefreshState();
    TResult<void> named = profile->NewID();
    if (named)
        named = profile->SetName(name);
    if (!named) {
        // An unnamed copy would list as a second default profile.
        QFile::remove(target);
        return named.Error();
    }
    profile->IsDefault = false;
    // A profile file replaced meanwhile must not stay listed twice.
    for (int i = GetCount() - 1; i >= 0; --i)
        if (FItems[static_cast<size_t>(i)]->FileName == target)
            Remove(i);
    Add(std::move(profile));
    return FItems.back().get();
}

TResult<void> TUT2003Profile::RestoreBackup(const QString& backupFile)
{
    // The caller reports a failure: the shell shows none of its own.
    return ShellFileOperationOne(nullptr, FO_COPY, backupFile, ActiveFileName(),
                                 FOF_SILENT | FOF_NOERRORUI);
}

QStringList TUT2003Profile::ListNames() const
{
    QStringList names;
    for (const auto& profile : FItems)
        names.append(profile->Name);
    return names;
}

void TUT2003Profile::Add(std::unique_ptr<TUTProfile> profile)
{
    if (profile)
        FItems.push_back(std::move(profile));
}

void TUT2003Profile::Insert(int index, std::unique_ptr<TUTProfile> profile)
{
    if (!profile)
        return;
    index = std::clamp(index, 0, GetCount());
    FItems.insert(FItems.begin() + index, std::move(profile));
}

void TUT2003Profile::Remove(int index)
{
    if (index < 0 || index >= GetCount())
        return;
    FItems.erase(FItems.begin() + index);
}

int TUT2003Profile::IndexOf(const QString& s) const
{
    for (int i = 0; i < GetCount(); ++i) {
        const TUTProfile& profile = *FItems[static_cast<size_t>(i)];
        if (profile.FileName.compare(s, Qt::CaseInsensitive) == 0 || SameTextAscii(profile.Name, s))
            return i;
    }
    return -1;
}

int TUT2003Profile::IndexOfID(const QUuid& id) const
{
    for (int i = 0; i < GetCount(); ++i)
        if (FItems[static_cast<size_t>(i)]->ID == id)
            return i;
    return -1;
}
