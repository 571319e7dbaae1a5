#include "TUT2003Statistics.h"

#include "FileMask.h"
#include "FolderTotals.h"
#include "GamePath.h"
#include "TKOVASettings.h"
#include "uKOVA_Misc.h"

#include <iterator>
#include <optional>

namespace {

// An unset folder stays empty, which the walk takes as nothing to count; a bare "/" would be
// the whole file system.
QString SearchFolder(const QString& folder)
{
    return folder.isEmpty() ? QString() : ResolveGamePath(folder);
}

} // namespace

TUT2003Statistics::TUT2003Statistics(const TKOVASettings& settings)
    : Settings(settings)
{}

qint64 TUT2003Statistics::FileSize(const QString& fileName)
{
    return GetFileSizeOf(fileName);
}

qint64 TUT2003Statistics::SumSizes(const QStringList& list)
{
    qint64 sum = 0;
    for (const QString& path : list)
        sum += FileSize(path);
    return sum;
}

void TUT2003Statistics::Collect(int flags, std::array<TFileStatistics, 5>& stats) const
{
    stats.fill(TFileStatistics());
    // Without a game folder there is nothing to count; a folder typed by mistake ("/") would
    // have the whole file system walked.
    if (!Settings.IsValidUTDir(Settings.UTDir))
        return;
    struct TGroup
    {
        int Bit;
        QString Folder;
        QString Mask;
        bool Recursive;
    };
    const TGroup groups[] = {
        {KAllFiles, Settings.UTDir, QStringLiteral("*.*"), true},
        {KAddOns, Settings.GetPath(TMapPaths::mpSystem), QStringLiteral("*.u"), false},
        {KMaps, Settings.GetPath(TMapPaths::mpMaps), QStringLiteral("*.ut2"), false},
        {KScreenShots, Settings.GetPath(TMapPaths::mpScreenShots), QStringLiteral("Shot?????.bmp"),
         false},
        {KDemos, Settings.GetPath(TMapPaths::mpDemos), QLatin1Char('*') + Settings.DemoExt, false},
    };
    for (size_t i = 0; i < std::size(groups); ++i) {
        const TGroup& group = groups[i];
        if (!(flags & group.Bit))
            continue;
        // "*.*" matches every name: the whole-folder walk decodes no name at all.
        const std::optional<TFileMask> mask =
            group.Bit == KAllFiles ? std::nullopt : std::optional<TFileMask>(group.Mask);
        const TFolderTotals totals =
            SumFolderFiles(SearchFolder(group.Folder), mask ? &*mask : nullptr, group.Recursive);
        stats[i].Count = totals.Count;
        stats[i].Size = totals.Size;
    }
}

void TUT2003Statistics::GetAll(TFileStatistics& allFiles, TFileStatistics& addOns,
                               TFileStatistics& maps, TFileStatistics& screenShots,
                               TFileStatistics& demos, int& firstRun) const
{
    std::array<TFileStatistics, 5> stats;
    Collect(KAllGroups, stats);
    allFiles = stats[0];
    addOns = stats[1];
    maps = stats[2];
    screenShots = stats[3];
    demos = stats[4];
    bool ok = false;
    firstRun = ReadIniValue(QStringLiteral("FirstRun"), QStringLiteral("FirstRun"),
                            ResolveGamePath(Settings.GetGameIniFile()))
                   .toInt(&ok);
    if (!ok)
        firstRun = 0;
}
