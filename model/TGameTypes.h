#pragma once

#include "TMapGameType.h"
#include "TResult.h"
#include "TSettingsRef.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

// The game types of maps, read from the "gametypes" section of the settings file, in file order.
class TGameTypes final
{
public:
    // Creates the list and loads it; a load that fails leaves the list empty and is logged.
    explicit TGameTypes(TSettingsRef settingsRef);
    TGameTypes(const TGameTypes&) = delete;
    TGameTypes& operator=(const TGameTypes&) = delete;

    // Reads the game types again from the settings file: each child element of "gametypes",
    // its text as the name and its attribute "mask" as the mask (empty when missing, which
    // matches no file). Fails when the settings file cannot be read or parsed; the list is then
    // empty. Without settings, or with a root other than "kovasettings" or no "gametypes", the
    // list is empty.
    TResult<void> Load();

    int GetCount() const { return static_cast<int>(FItems.size()); }
    // None outside the list.
    const TMapGameType* GetItem(int index) const;

    // The first game type whose mask matches the file name of FileName (the part after its last
    // "/", "\" or ":") without regard to case; none when no mask matches.
    const TMapGameType* FindForFile(QStringView fileName) const;
    // The first game type named exactly S, else the first whose name or mask contains S (letter
    // case counting); none for an empty S or when no game type does.
    const TMapGameType* FindByText(const QString& s) const;
    // Every name in list order.
    QStringList ListNames() const;

private:
    TSettingsRef FSettingsRef;
    std::vector<std::unique_ptr<TMapGameType>> FItems;
};

// The part of FileName after its last "/", "\" or ":".
QStringView BareFileName(QStringView fileName);
