#pragma once

#include "TFileStatistics.h"

#include <QString>
#include <QStringList>

#include <array>

class TKOVASettings;

// File counts and byte totals of five groups of the installation's files, and the game's
// version. Keeps the settings object (not owned) and nothing else: every call searches afresh.
class TUT2003Statistics final
{
public:
    // The groups, as bits of Collect's Flags and indexes of its records.
    static constexpr int KAllFiles = 1;    // record 0: every file of the game folder, recursive
    static constexpr int KAddOns = 2;      // record 1: "*.u" of System
    static constexpr int KMaps = 4;        // record 2: "*.ut2" of Maps
    static constexpr int KScreenShots = 8; // record 3: "Shot?????.bmp" of ScreenShots
    static constexpr int KDemos = 16;      // record 4: "*" + the demo extension of Demos
    static constexpr int KAllGroups = 31;

    explicit TUT2003Statistics(const TKOVASettings& settings);

    // The size of a file; 0 for a folder or a missing file.
    static qint64 FileSize(const QString& fileName);
    // The sum of FileSize over the paths of List.
    static qint64 SumSizes(const QStringList& list);

    // All five records zeroed, then each group whose bit is set in Flags counted; nothing is
    // counted without a valid game folder. A missing folder counts 0 files of 0 bytes. A file
    // reached twice (through a symbolic link) counts once; a link to a folder is not followed.
    void Collect(int flags, std::array<TFileStatistics, 5>& stats) const;
    // Every group, and FirstRun := the value "FirstRun" of section "FirstRun" of the game's main
    // INI file, 0 when it is missing or not a number.
    void GetAll(TFileStatistics& allFiles, TFileStatistics& addOns, TFileStatistics& maps,
                TFileStatistics& screenShots, TFileStatistics& demos, int& firstRun) const;

    const TKOVASettings& Settings;
};
