#include "TUT2003Statistics.h"

#include "FolderScan.h"
#include "GamePath.h"
#include "TKOVASettings.h"
#include "uKOVA_Misc.h"

#include <iterator>
#include <set>
#include <utility>

namespace {

// An unset folder stays empty, which the file search takes as nothing to search; a bare "/"
// would be the whole file system.
QString SearchFolder(const QString& folder)
{
    return folder.isEmpty() ? QString() : WithTrailingSeparator(ResolveGamePath(folder));
}

// A file reached twice (a link to it, or a second hard link) is one file.
QStringList DistinctFiles(const QStringList& paths)
{
    QStringList distinct;
    std::set<std::pair<quint64, quint64>> seen;
    distinct.reserve(paths.size());
    for (const QString& path : paths) {
        TFileId id;
        if (GetFileId(path, id) && !seen.insert({id.Device, id.Inode}).second)
            continue;
        distinct.append(path);
    }
    return distinct;
}

} // namespace

TUT2003Statistics::TUT2003Statistics(const TKOVASettings& settings)
    : Settings(settings)
{}

qint64 TUT2003Statistics::FileSize(const QString& fileName)
{
    return GetFileSizeOf(fileName);
}

qint64 TUT2003Statistics::SumSizes(const QStringList* list)
{
    if (!list)
        return 0;
    qint64 sum = 0;
    for (const QString& path : *list)
        sum += FileSize(path);
    return sum;
}

void TUT2003Statistics::Collect(int flags, std::array<TFileStatistics, 5>& stats) const
{
    stats.fill(TFileStatistics());
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
        QStringList found;
        FindFiles(SearchFolder(group.Folder), group.Mask, group.Recursive, found);
        found = DistinctFiles(found);
        stats[i].Count = found.size();
        stats[i].Size = SumSizes(&found);
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
