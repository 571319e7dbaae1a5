#pragma once

#include <functional>
#include <memory>

#include "TKOVASettings.h"

// Where a manager finds the main window's settings object: read at each use, so the manager
// always sees the object the window holds at that moment, and never owns it. An empty reference
// gives none.
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
    // Any function that gives the current object.
    TSettingsRef(std::function<TKOVASettings*()> get)
        : FGet(std::move(get))
    {}
    template <class TFunction,
              class = std::enable_if_t<std::is_invocable_r_v<TKOVASettings*, TFunction>>>
    TSettingsRef(TFunction get)
        : FGet(std::move(get))
    {}

    // The settings object now held there; none for an empty reference.
    TKOVASettings* Get() const { return FGet ? FGet() : nullptr; }
    TKOVASettings* operator()() const { return Get(); }

private:
    std::function<TKOVASettings*()> FGet;
};
