#include "TUT2003Profile.h"

#include "uKOVA_Strings.h"

#include "GamePath.h"
#include "uKOVA_Misc.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include <algorithm>

namespace {

bool IsRegularFile(const QString& fileName)
{
    return QFileInfo(fileName).isFile();
}

// The first error of a shell operation that did not do everything, for a message.
QString FailureText(const TFileOpResult& result)
{
    for (const TFileOpItem& item : result.Items) {
        switch (item.Outcome) {
        case TFileOpOutcome::fooDone:
            break;
        case TFileOpOutcome::fooFailed:
            return item.Error.isEmpty() ? QStringLiteral("The file operation failed.") : item.Error;
        case TFileOpOutcome::fooSkipped:
            return QStringLiteral("The file operation was declined.");
        case TFileOpOutcome::fooCancelled:
            return QStringLiteral("The file operation was cancelled.");
        }
    }
    return QStringLiteral("The file operation failed.");
}

// A shell operation on one file that reports the file as done.
bool OneFileDone(int code, const TFileOpResult& result)
{
    return code == 0 && !result.Aborted && result.Items.size() == 1 &&
           result.Items.front().Outcome == TFileOpOutcome::fooDone;
}

// A profile name becomes a file name in the Profiles folder; it must not leave that folder.
bool IsPlainFileName(const QString& name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\')) &&
           !name.contains(QChar(0));
}

void SetError(QString* error, const QString& text)
{
    if (error)
        *error = text;
}

} // namespace

EProfileError::EProfileError(const QString& message)
    : std::runtime_error(message.toStdString())
{}

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
    return ResolveGamePath(GameDir + QLatin1String("/System/User.ini"));
}

void TUT2003Profile::Refresh()
{
    FItems.clear();
    QStringList files;
    FindFiles(ProfilesDir(), QStringLiteral("*.ini"), false, files);
    for (const QString& file : files)
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

void TUT2003Profile::Activate(const TUTProfile& profile)
{
    // Refresh frees Profile when it is one of ours.
    const QString source = profile.FileName;
    const QString target = ActiveFileName();
    const bool isActiveItself =
        IsRegularFile(source) && IsRegularFile(target) &&
        QFileInfo(source).canonicalFilePath() == QFileInfo(target).canonicalFilePath();
    if (IsRegularFile(source) && !isActiveItself) {
        const auto active = GetActive();
        // An unmanaged "User.ini" exists nowhere else: never replace it without its backup.
        QString error;
        if (active->IsDefault && !Backup(*active, &error))
            throw EProfileError(
                QStringLiteral("The current User.ini could not be backed up, so it was not "
                               "replaced: %1")
                    .arg(error));
        TFileOpResult result;
        const int code = ShellFileOperationStr(nullptr, FO_COPY, source, target,
                                               FOF_SILENT | FOF_NOCONFIRMATION, &result);
        if (!OneFileDone(code, result))
            throw EProfileError(QStringLiteral("%1 could not be copied to %2: %3")
                                    .arg(source, target, FailureText(result)));
    }
    Refresh();
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

bool TUT2003Profile::Backup(const TUTProfile& profile, QString* error)
{
    if (!IsRegularFile(profile.FileName)) {
        SetError(error, QStringLiteral("%1 does not exist.").arg(profile.FileName));
        return false;
    }
    const QString target = NextBackupFileName();
    TFileOpResult result;
    const int code =
        ShellFileOperationStr(nullptr, FO_COPY, profile.FileName, target,
                              FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI, &result);
    if (OneFileDone(code, result))
        return true;
    SetError(error, FailureText(result));
    return false;
}

bool TUT2003Profile::DeleteProfile(int index, QString* error)
{
    const TUTProfile* profile = GetItem(index);
    if (!profile) {
        SetError(error, QStringLiteral("There is no profile %1.").arg(index));
        return false;
    }
    if (IsRegularFile(profile->FileName)) {
        TFileOpResult result;
        // Without FOF_ALLOWUNDO: profiles are deleted for good, not to the trash.
        const int code =
            ShellFileOperationStr(nullptr, FO_DELETE, profile->FileName, QString(),
                                  FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI, &result);
        if (!OneFileDone(code, result)) {
            SetError(error, FailureText(result));
            return false;
        }
    }
    Remove(index);
    return true;
}

TUTProfile* TUT2003Profile::CreateProfile(const QString& name, const QString& sourceFile,
                                          TFileOpResult* result)
{
    TFileOpResult local;
    TFileOpResult& outcome = result ? *result : local;
    outcome = TFileOpResult();
    const QString target = ProfilesDir() + name + QLatin1String(".ini");
    if (!IsPlainFileName(name)) {
        TFileOpItem item;
        item.Source = sourceFile;
        item.Target = target;
        item.Outcome = TFileOpOutcome::fooFailed;
        item.Error = QStringLiteral("\"%1\" is not a valid profile name.").arg(name);
        outcome.Items.append(item);
        return nullptr;
    }
    const int code =
        ShellFileOperationStr(nullptr, FO_COPY, sourceFile, target, FOF_SILENT, &outcome);
    if (!OneFileDone(code, outcome))
        return nullptr;

    const TUTProfile source(sourceFile);
    auto profile = std::make_unique<TUTProfile>(target, &source);
    try {
        profile->RefreshState();
        profile->NewID();
        profile->SetName(name);
    } catch (...) {
        // An unnamed copy would list as a second default profile.
        QFile::remove(target);
        throw;
    }
    profile->IsDefault = false;
    // A replaced profile file must not stay listed twice.
    for (int i = GetCount() - 1; i >= 0; --i)
        if (FItems[static_cast<size_t>(i)]->FileName == target)
            Remove(i);
    Add(std::move(profile));
    return FItems.back().get();
}

bool TUT2003Profile::RestoreBackup(const QString& backupFile, TFileOpResult* result)
{
    TFileOpResult local;
    TFileOpResult& outcome = result ? *result : local;
    outcome = TFileOpResult();
    const int code =
        ShellFileOperationStr(nullptr, FO_COPY, backupFile, ActiveFileName(), FOF_SILENT, &outcome);
    return OneFileDone(code, outcome);
}

void TUT2003Profile::ListNames(QStringList* list) const
{
    if (!list)
        return;
    for (const auto& profile : FItems)
        list->append(profile->Name);
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
