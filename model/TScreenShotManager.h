#pragma once

#include "TScreenShot.h"

#include <QString>

#include <memory>
#include <vector>

// The screenshots of one folder, in the order the file search lists them. Owns its items.
class TScreenShotManager final
{
public:
    // One screenshot per file of Dir matching Mask (not recursive); the main window passes the
    // ScreenShots folder and "Shot?????.bmp". A missing folder gives an empty list.
    TScreenShotManager(const QString& dir, const QString& mask);
    TScreenShotManager(const TScreenShotManager&) = delete;
    TScreenShotManager& operator=(const TScreenShotManager&) = delete;

    TScreenShot* GetItem(int index) const; // nullptr when Index is out of range
    int GetCount() const;
    // The list takes ownership.
    void Add(std::unique_ptr<TScreenShot> shot);
    // With DeleteFile, first sends the file to the trash; the item is then removed and freed.
    // Fails, with the item kept, with ecNotFound for an index out of range, or as
    // TScreenShot::Delete.
    TResult<void> Delete(int index, bool deleteFile);
    // The first screenshot whose full path, or file name without folder, equals S (ASCII letter
    // case ignored); -1 when none does.
    int IndexOf(const QString& s) const;

private:
    std::vector<std::unique_ptr<TScreenShot>> FItems;
};
