#pragma once

#include "wcomp.h"

#include <QString>

// One game type of maps: a display name and a mask that sorts map files into it by name.
class TMapGameType final
{
public:
    TMapGameType(const QString& name, const QString& mask);

    const QString& Name() const { return FName; }
    const QString& Mask() const { return FMask; }
    // Whether the mask matches BareName (a file name without folder) without regard to case.
    bool Matches(QStringView bareName) const { return FMatcher.Matches(bareName); }

private:
    QString FName;
    QString FMask;
    TWildTextMask FMatcher;
};
