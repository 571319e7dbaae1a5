#pragma once

#include "TKOVASettings.h"

#include <functional>
#include <memory>

// Where the main window keeps its settings object. The managers that hold one read the
// settings through it at each use, so they see the object the window holds at that moment and
// never own it. An empty reference gives none.
class TSettingsRef final
{
public:
    TSettingsRef() = default;
    // The window's pointer, or its owning pointer; the location must outlive the reference.
    TSettingsRef(TKOVASettings* const* location)
        : FGet(location ? std::function<TKOVASettings*()>([location] { return *location; })
                        : nullptr)
    {}
    TSettingsRef(const std::unique_ptr<TKOVASettings>* location)
        : FGet(location ? std::function<TKOVASettings*()>([location] { return location->get(); })
                        : nullptr)
    {}

    // The settings object now held there; none for an empty reference.
    TKOVASettings* Get() const { return FGet ? FGet() : nullptr; }

private:
    std::function<TKOVASettings*()> FGet;
};
