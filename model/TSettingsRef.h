#pragma once

#include <functional>

class TKOVASettings;

// Where a manager finds the main window's settings object: read at each use, so the manager
// always sees the current object (which the main window replaces after a new game folder). It
// may give nullptr while there are no settings.
using TSettingsRef = std::function<TKOVASettings*()>;
