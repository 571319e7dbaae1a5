#include "TMapGameType.h"

TMapGameType::TMapGameType(const QString& name, const QString& mask)
    : FName(name)
    , FMask(mask)
    , FMatcher(mask)
{}
