#pragma once

#include <optional>

#include <QString>

// Read-only access to the registry of the Wine prefix ($WINEPREFIX, default ~/.wine), which
// stands for the game's registry on this platform.

// A string value under HKEY_LOCAL_MACHINE (the prefix's system.reg), for example key
// "SOFTWARE\Unreal Technology\Installed Apps\UT2004" and value "Folder". Key and value names
// match without regard to letter case; the key is looked up under both the 64- and the 32-bit
// view (Wow6432Node). Escapes of the file ("\\", "\"", "\xNNNN") are decoded. Nothing when the
// prefix, the file, the key or the value is missing, or the value is not a string.
std::optional<QString> ReadLocalMachineString(const QString& key, const QString& valueName);
