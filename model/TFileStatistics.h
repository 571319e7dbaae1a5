#pragma once

#include <QtGlobal>

// The number of files of one group of the installation and their total size in bytes.
struct TFileStatistics
{
    qint64 Count = 0;
    qint64 Size = 0;

    friend bool operator==(const TFileStatistics&, const TFileStatistics&) = default;
};
